// Files and folders of a program installed on the system: where its installed
// files lie, the user's own data folder, and the few operations that make and
// keep a working folder there. "\" separates folders like "/".
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// relative taken from the folder of the running program, with "." and ".."
// resolved; "" when the program's own file cannot be known.
std::string folder_of_program(const char* relative);
// The player's own folder for the program's files (quillmoor/ in the user's
// data folder); "" when none is named.
std::string folder_user_data();
// The player's own folder for the program's settings (quillmoor/ in the user's
// settings folder, where keys.conf lies); "" when none is named.
std::string folder_user_settings();
// The working folder as an absolute path; "" when it cannot be known.
std::string folder_current();
// How this system's game is laid out, as " (...)", said with art that is
// missing where the game looks for it; "" when there is nothing to advise.
std::string folder_art_advice();
// A file's name written with this system's folder separator.
std::string file_shown(const std::string& name);
// 1 when a file can be written in folder (one is begun there and dropped).
int folder_takes_files(const char* folder);
// Makes path the working folder; 0 on failure, with errno saying why.
int folder_enter(const char* path);
// Makes a folder (owner only) and any missing parents; 0 when it cannot be
// had, with errno saying why.
int folder_make(const char* path);
// The names in a folder, sorted, without "." and ".."; 0 when it cannot be read.
int folder_list(const char* path, std::vector<std::string>* names);
// Removes what writes cut short by a killed process left in folder (the
// temporary files beside the files they were writing), of processes that no
// longer run; 0 when the folder cannot be read.
int folder_remove_leftovers(const char* folder);

// Makes name a symbolic link to target unless it already is one, replacing a
// link of that name in one step: 1 when it already was, 2 when it was made.
// 0 on failure, with errno saying why: EEXIST for a regular file (the user's
// own, left as it is), EISDIR for a folder.
int file_link(const char* target, const char* name);
// What stands at name when it is neither missing nor a regular file (nor a
// link to one), in words ("a folder", "a pipe (FIFO)", "a link to /dev/zero, a
// device"); "" otherwise.
std::string file_odd_entry(const char* name);
// When a file was last written or put in place, as a number that only grows;
// -1 when name is missing or a folder.
int64_t file_written(const char* name);
// 1 when a file could be written under name now (one is begun and dropped).
int file_writable(const char* name);
// Removes a file or link; 0 when it is there and cannot be removed.
int file_remove(const char* name);
// Reads a whole regular file of at most max_bytes; 0 when it is missing,
// larger, not a regular file or cannot be read (*out then empty).
int file_read_all(const char* name, std::vector<uint8_t>* out, size_t max_bytes);
// Writes bytes as the whole file name, in place only when every byte was
// written (a failed write leaves the old file as it was); 0 on failure.
int file_write_all(const char* name, const std::vector<uint8_t>& bytes);
