// Folders for a program installed on the system: where its installed files lie,
// the user's own data folder, and the few operations that make and keep a
// working folder there. Names go through plat_path, as for every file.
#pragma once

#include <string>
#include <vector>

// relative taken from the folder of the running program, with "." and ".."
// resolved; "" when the program's own file cannot be known.
std::string plat_program_relative(const char* relative);
// The player's own folder for the game's files: quillmoor/ in $XDG_DATA_HOME
// when that is an absolute path, else in $HOME/.local/share (on Windows,
// Quillmoor\ in %LOCALAPPDATA%); "" when none is named.
std::string plat_user_data_folder();
// The player's own folder for the game's settings: quillmoor/ in
// $XDG_CONFIG_HOME when that is an absolute path, else in $HOME/.config (on
// Windows, Quillmoor\ in %APPDATA%); "" when none is named.
std::string plat_user_config_folder();
// Makes a folder (owner only) and any missing parents; 0 when it cannot be
// had, with errno saying why.
int plat_make_folders(const char* path);
// The names in a folder, sorted, without "." and ".."; 0 when it cannot be read.
int plat_list_folder(const char* path, std::vector<std::string>* names);
// Makes name a symbolic link to target unless it already is one, replacing any
// other file of that name in one step; 0 on failure, with errno saying why.
int plat_link_file(const char* target, const char* name);
// Removes a file or link; 0 when it is there and cannot be removed.
int plat_remove_file(const char* name);
// Makes path the working folder; 0 on failure, with errno saying why.
int plat_change_folder(const char* path);
