#include "runtime/platform/plat_core.h"
#include "runtime/platform/plat_folders.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
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

// 1 when name is a symbolic link whose text is exactly target.
static bool links_to(const std::string& name, const std::string& target) {
  std::vector<char> buf(target.size() + 1);
  return readlink(name.c_str(), buf.data(), buf.size()) == (ssize_t)target.size() &&
         std::equal(target.begin(), target.end(), buf.begin());
}

int plat_link_file(const char* target, const char* name) {
  std::string t = plat_path(target), n = plat_path(name);
  if (links_to(n, t)) return 1;
  // A file of the player's own (a picture of theirs in place of ours) stays.
  struct stat st;
  if (lstat(n.c_str(), &st) == 0 && (S_ISREG(st.st_mode) || S_ISDIR(st.st_mode)))
    return errno = S_ISDIR(st.st_mode) ? EISDIR : EEXIST, 0;
  // A link made beside it and renamed over it: a reader never finds the name
  // missing. Ours alone, as another copy of the program may be making it too.
  std::string temp = n + "." + std::to_string(getpid()) + ".link";
  unlink(temp.c_str());
  if (symlink(t.c_str(), temp.c_str()) != 0) return 0;
  if (rename(temp.c_str(), n.c_str()) != 0) {
    int why = errno;
    unlink(temp.c_str());
    if (links_to(n, t)) return 1; // made meanwhile by another
    return errno = why, 0;
  }
  return 2;
}

// What a stat's mode is, when it is neither a file nor missing.
static const char* odd_kind(mode_t mode) {
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISFIFO(mode)) return "a pipe (FIFO)";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  if (S_ISSOCK(mode)) return "a socket";
  return "";
}

std::string plat_odd_entry(const char* name) {
  const std::string n = plat_path(name);
  struct stat st;
  if (lstat(n.c_str(), &st) != 0) return "";
  if (!S_ISLNK(st.st_mode)) return odd_kind(st.st_mode);
  std::vector<char> buf(4096);
  ssize_t length = readlink(n.c_str(), buf.data(), buf.size() - 1);
  if (length < 0 || stat(n.c_str(), &st) != 0 || !*odd_kind(st.st_mode)) return "";
  return "a link to " + std::string(buf.data(), (size_t)length) + ", " + odd_kind(st.st_mode);
}

int plat_remove_file(const char* name) {
  return unlink(plat_path(name).c_str()) == 0 || errno == ENOENT;
}

int plat_change_folder(const char* path) {
  std::string p = plat_path(path);
  return !p.empty() && chdir(p.c_str()) == 0;
}

std::string plat_current_folder() {
  std::error_code ec;
  std::string here = std::filesystem::current_path(ec).string();
  return ec ? "" : here;
}

// The number of the process that left NAME.PID.part or NAME.PID.link; 0 for
// any other name.
static pid_t leftover_writer(const std::string& name) {
  if (!name.ends_with(".part") && !name.ends_with(".link")) return 0;
  const size_t end = name.size() - 5;
  size_t dot = name.rfind('.', end - 1);
  if (dot == std::string::npos || dot == 0 || dot + 1 == end || end - dot > 10) return 0;
  pid_t pid = 0;
  for (size_t i = dot + 1; i < end; i++) {
    if (name[i] < '0' || name[i] > '9') return 0;
    pid = pid * 10 + (name[i] - '0');
  }
  return pid;
}

int plat_remove_leftovers(const char* folder) {
  std::vector<std::string> names;
  if (!plat_list_folder(folder, &names)) return 0;
  const std::string base = plat_path(folder) + "/";
  for (const std::string& n : names) {
    pid_t writer = leftover_writer(n);
    // Still running (or not ours to ask): the file may be in use.
    if (writer <= 0 || kill(writer, 0) == 0 || errno != ESRCH) continue;
    struct stat st;
    if (lstat((base + n).c_str(), &st) == 0 && !S_ISDIR(st.st_mode)) unlink((base + n).c_str());
  }
  return 1;
}
