#include "runtime/platform/plat_core.h"
#include "runtime/platform/plat_folders.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

std::string plat_program_relative(const char* relative) {
  std::vector<char> buf(4096);
  ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size());
  if (n <= 0 || (size_t)n >= buf.size()) return "";
  std::filesystem::path program(std::string(buf.data(), (size_t)n));
  return (program.parent_path() / plat_path(relative)).lexically_normal().string();
}

std::string plat_user_data_folder() {
  // Relative values are to be ignored, as the base-directory rules say.
  const char* data = getenv("XDG_DATA_HOME");
  if (data && data[0] == '/') return std::string(data) + "/quillmoor";
  const char* home = getenv("HOME");
  if (home && home[0] == '/') return std::string(home) + "/.local/share/quillmoor";
  return "";
}

std::string plat_user_config_folder() {
  const char* config = getenv("XDG_CONFIG_HOME");
  if (config && config[0] == '/') return std::string(config) + "/quillmoor";
  const char* home = getenv("HOME");
  if (home && home[0] == '/') return std::string(home) + "/.config/quillmoor";
  return "";
}

int plat_make_folders(const char* path) {
  std::string p = plat_path(path);
  if (p.empty()) return errno = ENOENT, 0;
  for (size_t at = 1; at <= p.size(); at++) {
    if (at < p.size() && p[at] != '/') continue;
    std::string part = p.substr(0, at);
    struct stat st;
    if (stat(part.c_str(), &st) == 0) {
      if (!S_ISDIR(st.st_mode)) return errno = ENOTDIR, 0;
    } else if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
      return 0;
    }
  }
  return 1;
}

int plat_list_folder(const char* path, std::vector<std::string>* names) {
  names->clear();
  DIR* dir = opendir(plat_path(path).c_str());
  if (!dir) return 0;
  while (dirent* e = readdir(dir)) {
    std::string name = e->d_name;
    if (name != "." && name != "..") names->push_back(name);
  }
  closedir(dir);
  std::sort(names->begin(), names->end());
  return 1;
}

int plat_link_file(const char* target, const char* name) {
  std::string t = plat_path(target), n = plat_path(name);
  std::vector<char> buf(t.size() + 1);
  if (readlink(n.c_str(), buf.data(), buf.size()) == (ssize_t)t.size() &&
      std::equal(t.begin(), t.end(), buf.begin()))
    return 1;
  // A link made beside it and renamed over it: a reader never finds the name missing.
  std::string temp = n + ".link";
  unlink(temp.c_str());
  if (symlink(t.c_str(), temp.c_str()) != 0) return 0;
  if (rename(temp.c_str(), n.c_str()) != 0) {
    int why = errno;
    unlink(temp.c_str());
    return errno = why, 0;
  }
  return 1;
}

int plat_remove_file(const char* name) {
  return unlink(plat_path(name).c_str()) == 0 || errno == ENOENT;
}

int plat_change_folder(const char* path) {
  std::string p = plat_path(path);
  return !p.empty() && chdir(p.c_str()) == 0;
}
