#include "game/work_folder.h"

#include "runtime/core/dates.h"
#include "runtime/core/folders.h"

#include <cerrno>
#include <cstring>

struct WorkFolderState {
  std::string installed; // the installed folder when the player's folder is used, else ""
  int read_only;         // working in the installed folder
};
static WorkFolderState work;

// The file an installer leaves beside the installed art: that folder is the
// installer's, never the game's to write, even where it could.
static const char* const INSTALLED_MARK = "installed";

static const char* const parts[2][2] = {{"see", "pictures"}, {"hear", "sounds"}};

static bool holds_art(const std::string& folder) {
  return file_size((folder + "/see").c_str()) == -2 && file_size((folder + "/hear").c_str()) == -2;
}

// The scaled copies were made from the art of the installed version named in
// the folder's stamp; another version's art may differ, so the copies of its
// pictures go (a file of the player's own, even one named like a copy, stays).
// The new stamp is written only once every one of them is gone: one that could
// not be removed is tried again at the next start, never kept for good.
static void check_stamp(const std::string& installed, const std::string& user) {
  std::vector<uint8_t> theirs, mine;
  file_read_all((installed + "/version").c_str(), &theirs, 256);
  file_read_all((user + "/version").c_str(), &mine, 256);
  if (mine == theirs) return;
  std::vector<std::string> names;
  if (!folder_list((user + "/see").c_str(), &names)) return;
  bool all_gone = true;
  for (const std::string& n : names) {
    if (!n.ends_with("_x4.png")) continue;
    const std::string source = installed + "/see/" + n.substr(0, n.size() - 7) + ".png",
                      copy = user + "/see/" + n;
    if (file_size(source.c_str()) < 0 || file_size(copy.c_str()) < 0) continue;
    if (!file_remove(copy.c_str())) all_gone = false;
  }
  if (all_gone) file_write_all((user + "/version").c_str(), theirs);
}

// Links every installed picture and sound into the player's folder, so an
// upgrade's art is used at once; the copies and screenshots are the folder's
// own. An entry that stands in a link's way (a folder of the player's) is left
// alone and named in *report; the installed file serves in its place.
static int fill_user_folder(const std::string& installed, const std::string& user,
                            std::string* report) {
  for (const auto& part : parts)
    if (!folder_make((user + "/" + part[0]).c_str())) return 0;
  check_stamp(installed, user);
  std::string first;
  int more = 0;
  for (const auto& part : parts) {
    std::vector<std::string> names;
    if (!folder_list((installed + "/" + part[0]).c_str(), &names)) return 0;
    for (const std::string& n : names) {
      const std::string from = installed + "/" + part[0] + "/" + n,
                        link = user + "/" + part[0] + "/" + n;
      if (file_link(from.c_str(), link.c_str())) continue;
      if (first.empty())
        first = link + ": " + strerror(errno);
      else
        more++;
    }
  }
  if (!folder_enter(user.c_str())) return 0;
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
    remove_leftovers();
    return 1;
  }
  const bool is_installed = !installed.empty() && holds_art(installed);
  if (is_installed) {
    const std::string user = folder_user_data();
    std::string why =
        "quillmoor: neither XDG_DATA_HOME nor HOME names a folder for the game's files";
    if (!user.empty()) {
      if (fill_user_folder(installed, user, report)) {
        work.installed = installed;
        remove_leftovers();
        return 1;
      }
      why = "quillmoor: cannot make " + user + ": " + strerror(errno);
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
