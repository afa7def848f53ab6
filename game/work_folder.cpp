#include "game/work_folder.h"

#include "runtime/core/dates.h"
#include "runtime/core/folders.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

struct WorkFolderState {
  std::string installed; // the installed folder when the player's folder is used, else ""
  std::string user;      // the player's folder when it is worked in, else ""
  int read_only;         // copies and screenshots are not written in the working folder
  int own;               // the working folder is the game's: the data folder or the player's
};
// Until a folder is chosen (a test's own), the current one is the game's.
static WorkFolderState work = {"", "", 0, 1};

// The file an installer leaves beside the installed art: that folder is the
// installer's, never the game's to write, even where it could.
static const char* const INSTALLED_MARK = "installed";

static const char* const parts[2][2] = {{"see", "pictures"}, {"hear", "sounds"}};

static bool holds_art(const std::string& folder) {
  return file_size((folder + "/see").c_str()) == -2 && file_size((folder + "/hear").c_str()) == -2;
}

// A few names, then how many more.
static std::string some_of(const std::vector<std::string>& names) {
  std::string out;
  for (size_t i = 0; i < names.size() && i < 4; i++) out += (i ? ", " : "") + names[i];
  if (names.size() > 4) out += " and " + std::to_string(names.size() - 4) + " more";
  return out;
}

// The scaled copy of a picture in the player's folder ("" for a sound).
static std::string copy_of(const std::string& user, const std::string& part, const std::string& n) {
  if (part != "see" || !n.ends_with(".png")) return "";
  return user + "/see/" + n.substr(0, n.size() - 4) + "_x4.png";
}

// The scaled copies were made from the art of the installed version named in
// the folder's stamp; another version's art may differ, so the copies of its
// pictures go (a file of the player's own, even one named like a copy, stays).
// The new stamp is written only once every one of them is gone: one that could
// not be removed is tried again at the next start, never kept for good. A
// stamp that cannot be read or written cannot say which copies are old: then
// only those older than their pictures go, so that the rest are not made again
// at every start.
static void check_stamp(const std::string& installed, const std::string& user,
                        std::string* report) {
  const std::string stamp = user + "/version";
  std::vector<uint8_t> theirs, mine;
  file_read_all((installed + "/version").c_str(), &theirs, 256);
  const bool read = file_read_all(stamp.c_str(), &mine, 256);
  if (read && mine == theirs) return;
  if (!read && file_size(stamp.c_str()) != -1) {
    const std::string odd = file_odd_entry(stamp.c_str());
    *report += "quillmoor: cannot read the version stamp " + stamp + " (" +
               (odd.empty() ? std::string(strerror(errno)) : "it is " + odd) +
               "); the scaled copies older than their pictures are made again\n";
  }
  const bool stamped = read && file_writable(stamp.c_str());
  std::vector<std::string> names;
  if (!folder_list((user + "/see").c_str(), &names)) return;
  bool all_gone = true;
  for (const std::string& n : names) {
    if (!n.ends_with("_x4.png")) continue;
    const std::string source = installed + "/see/" + n.substr(0, n.size() - 7) + ".png",
                      copy = user + "/see/" + n;
    if (file_size(source.c_str()) < 0 || file_size(copy.c_str()) < 0) continue;
    if (!stamped && file_written(copy.c_str()) > file_written(source.c_str())) continue;
    if (!file_remove(copy.c_str())) all_gone = false;
  }
  if (all_gone) file_write_all(stamp.c_str(), theirs);
}

// Links every installed picture and sound into the player's folder, so an
// upgrade's art is used at once; the copies and screenshots are the folder's
// own. A file of the player's where a link goes is theirs (their own art is a
// mod): it is used, and its copy made from it. Any other entry in a link's
// way (a folder) is left alone and named in *report; the installed file
// serves in its place. 0 when a folder cannot be had, with *failed naming it.
static int fill_user_folder(const std::string& installed, const std::string& user,
                            std::string* report, std::string* failed) {
  for (const std::string& folder : {user, user + "/see", user + "/hear"})
    if (!folder_make(folder.c_str())) return *failed = folder, 0;
  check_stamp(installed, user, report);
  std::string first;
  int more = 0;
  std::vector<std::string> own;
  for (const auto& part : parts) {
    std::vector<std::string> names;
    if (!folder_list((installed + "/" + part[0]).c_str(), &names)) return *failed = user, 0;
    for (const std::string& n : names) {
      const std::string from = installed + "/" + part[0] + "/" + n,
                        link = user + "/" + part[0] + "/" + n, copy = copy_of(user, part[0], n);
      const int linked = file_link(from.c_str(), link.c_str()), why = errno;
      const bool mine = !linked && why == EEXIST;
      // A copy is made from the picture in place when it was made: one that
      // stood here before the link, or before the player's own file.
      if (!copy.empty() &&
          (linked == 2 || (mine && file_written(copy.c_str()) <= file_written(link.c_str()))))
        file_remove(copy.c_str());
      if (linked) continue;
      if (mine) {
        own.push_back(std::string(part[0]) + "/" + n);
      } else if (first.empty()) {
        first = link + ": " + strerror(why);
      } else {
        more++;
      }
    }
  }
  if (!folder_enter(user.c_str())) return *failed = user, 0;
  if (!own.empty())
    *report += "quillmoor: your own files in " + user +
               " stand in for the installed ones: " + some_of(own) + "\n";
  if (!first.empty())
    *report += "quillmoor: cannot link " + first +
               (more ? " (and " + std::to_string(more) + " more)" : std::string()) +
               "; the installed files are used in their place\n";
  return 1;
}

// What a killed copy of the game left half-written in the working folder.
static void remove_leftovers() {
  for (const char* folder : {".", "see", "hear"}) folder_remove_leftovers(folder);
}

int work_folder_choose(const std::string& installed, std::string* report) {
  work = WorkFolderState{};
  // The scaled copies and screenshots go to see/; a folder that holds the art
  // but cannot take them, or that an installer marked as its own (which an
  // elevated player could write), is worked in only when no better one can be had.
  const bool here = holds_art(".");
  if (here && file_size(INSTALLED_MARK) < 0 && folder_takes_files("see")) {
    work.own = 1;
    remove_leftovers();
    return 1;
  }
  const bool is_installed = !installed.empty() && holds_art(installed);
  if (is_installed) {
    const std::string user = folder_user_data();
    std::string why =
        "quillmoor: neither XDG_DATA_HOME nor HOME names a folder for the game's files";
    if (!user.empty()) {
      std::string failed;
      if (fill_user_folder(installed, user, report, &failed)) {
        work.installed = installed;
        work.user = user;
        work.own = 1;
        remove_leftovers();
        return 1;
      }
      why = "quillmoor: cannot make " + failed + ": " + strerror(errno);
    }
    // The game still runs, from the art here or the installed art, its copies
    // kept in memory.
    if (here || folder_enter(installed.c_str())) {
      work.read_only = 1;
      *report += why + "; the scaled pictures are kept in memory only\n";
      return 1;
    }
    *report += why + "\n";
  }
  // Art here that cannot take the copies: they are made in memory.
  if (here) return 1;
  // Run on here, with whatever this folder holds.
  work.read_only = 1; // nothing written: it is no folder of the game's
  const std::string hint = is_installed ? "" : folder_art_advice();
  for (const auto& part : parts)
    if (file_size(part[0]) != -2)
      *report += std::string("quillmoor: no ") + part[1] + " in " +
                 file_shown(std::string("./") + part[0]) + hint + "\n";
  return 0;
}

std::string work_folder_file(const std::string& name) {
  if (work.installed.empty() || file_size(name.c_str()) >= 0) return name;
  size_t skip = name.starts_with(".\\") || name.starts_with("./") ? 2 : 0;
  return work.installed + "/" + name.substr(skip);
}

int work_folder_writable() { return !work.read_only; }

std::string work_folder_own_file(const char* name) {
  if (work.own) return std::string(".\\") + name;
  const std::string settings = folder_user_settings();
  return settings.empty() ? "" : settings + "/" + name;
}

int work_folder_keep(const char* name, const std::string& text) {
  const std::string path = work_folder_own_file(name);
  if (path.empty() || (!work.own && !folder_make(folder_user_settings().c_str()))) return 0;
  return file_write_all(path.c_str(), std::vector<uint8_t>(text.begin(), text.end()));
}

std::string work_folder_shown(const std::string& name) {
  std::string folder = work.user;
  if (folder.empty()) return file_shown(name);
  const char* home = getenv("HOME");
  const size_t h = home ? strlen(home) : 0;
  if (h > 1 && folder.compare(0, h, home) == 0 && folder[h] == '/') folder = "~" + folder.substr(h);
  return file_shown(folder + "/" + name);
}
