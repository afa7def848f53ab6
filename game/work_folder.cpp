#include "game/work_folder.h"

#include "runtime/platform/plat_core.h"
#include "runtime/platform/plat_folders.h"

#include <cerrno>
#include <cstring>

static const char* const parts[2][2] = {{"see", "pictures"}, {"hear", "sounds"}};

static bool holds_art(const std::string& folder) {
  return plat_file_kind((folder + "/see").c_str(), nullptr) == PLAT_FOLDER &&
         plat_file_kind((folder + "/hear").c_str(), nullptr) == PLAT_FOLDER;
}

// The scaled copies were made from the art of the installed version named in
// the folder's stamp; another version's art may differ, so they are dropped.
static void check_stamp(const std::string& installed, const std::string& user) {
  std::vector<uint8_t> theirs, mine;
  plat_read_file((installed + "/version").c_str(), &theirs, 256);
  plat_read_file((user + "/version").c_str(), &mine, 256);
  if (mine == theirs) return;
  std::vector<std::string> names;
  plat_list_folder((user + "/see").c_str(), &names);
  for (const std::string& n : names)
    if (n.ends_with("_x4.png")) plat_remove_file((user + "/see/" + n).c_str());
  PlatWriteFile stamp;
  if (plat_write_begin(&stamp, (user + "/version").c_str()))
    plat_write_end(&stamp, fwrite(theirs.data(), 1, theirs.size(), stamp.file) == theirs.size());
}

// Links every installed picture and sound into the player's folder, so an
// upgrade's art is used at once; the copies and screenshots are the folder's own.
static int fill_user_folder(const std::string& installed, const std::string& user) {
  for (const auto& part : parts)
    if (!plat_make_folders((user + "/" + part[0]).c_str())) return 0;
  check_stamp(installed, user);
  for (const auto& part : parts) {
    std::vector<std::string> names;
    if (!plat_list_folder((installed + "/" + part[0]).c_str(), &names)) return 0;
    for (const std::string& n : names) {
      const std::string from = installed + "/" + part[0] + "/" + n;
      if (!plat_link_file(from.c_str(), (user + "/" + part[0] + "/" + n).c_str())) return 0;
    }
  }
  return plat_change_folder(user.c_str());
}

// The scaled copies and screenshots go to see/; a folder that holds the art but
// cannot take them (an installed game's own folder on Windows) is not worked in.
static bool takes_copies(const std::string& folder) {
  PlatWriteFile probe;
  if (!plat_write_begin(&probe, (folder + "/see/.write-probe").c_str())) return false;
  plat_write_end(&probe, 0);
  return true;
}

int work_folder_choose(const std::string& installed, std::string* report) {
  const bool here = holds_art(".");
  if (here && takes_copies(".")) return 1;
  const bool is_installed = !installed.empty() && holds_art(installed);
  if (is_installed) {
    std::string user = plat_user_data_folder();
    if (user.empty()) {
      *report += "quillmoor: neither XDG_DATA_HOME nor HOME names a folder for the game's files\n";
    } else {
      if (fill_user_folder(installed, user)) return 1;
      *report += "quillmoor: cannot make " + user + ": " + strerror(errno) + "\n";
    }
  }
  // Run on here, with whatever this folder holds.
  if (here) return 1;
  const char* hint = is_installed ? "" : " (start the game from its data folder, build/data)";
  for (const auto& part : parts)
    if (plat_file_kind(part[0], nullptr) != PLAT_FOLDER)
      *report += std::string("quillmoor: no ") + part[1] + " in ./" + part[0] + hint + "\n";
  return 0;
}
