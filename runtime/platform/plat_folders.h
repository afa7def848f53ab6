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
// Makes name a symbolic link to target unless it already is one, replacing a
// link of that name in one step; 1 when it already was, 2 when it was made.
// A folder is left alone (0 with EISDIR), and so is a regular file, which is
// the player's own (0 with EEXIST; where links are copies, as on Windows, a
// copy that differs from target is replaced instead). 0 on any other failure,
// with errno saying why. The link is made under a temporary name of this
// process's own (NAME.PID.link) and renamed over name, so programs making the
// same links at once never disturb each other; when the rename fails but name
// is by then a link to target (made by another), that counts as success.
int plat_link_file(const char* target, const char* name);
// What stands at name when it is neither missing nor a regular file (nor a
// link to one), in words: "a folder", "a pipe (FIFO)", "a device", "a socket",
// "a link to /dev/zero, a device"; "" otherwise.
std::string plat_odd_entry(const char* name);
// Removes a file or link; 0 when it is there and cannot be removed.
int plat_remove_file(const char* name);
// Makes path the working folder; 0 on failure, with errno saying why.
int plat_change_folder(const char* path);
// The working folder as an absolute path; "" when it cannot be known.
std::string plat_current_folder();
// Removes the temporary files that plat_write_begin (NAME.PID.part) and
// plat_link_file (NAME.PID.link) left in folder when their process was killed,
// for each PID of a process that no longer runs; others are left alone. Meant
// for the start of the program. 0 when the folder cannot be read.
int plat_remove_leftovers(const char* folder);
