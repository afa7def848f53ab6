#include "runtime/core/folders.h"

#include "runtime/platform/plat_core.h"
#include "runtime/platform/plat_folders.h"
#include "runtime/platform/plat_report.h"

std::string folder_of_program(const char* relative) { return plat_program_relative(relative); }
std::string folder_user_data() { return plat_user_data_folder(); }
std::string folder_user_settings() { return plat_user_config_folder(); }
std::string folder_current() { return plat_current_folder(); }
std::string folder_art_advice() { return plat_art_advice(); }
std::string file_shown(const std::string& name) { return plat_path(name.c_str()); }
int folder_enter(const char* path) { return plat_change_folder(path); }

int file_writable(const char* name) {
  PlatWriteFile probe;
  if (!plat_write_begin(&probe, name)) return 0;
  plat_write_end(&probe, 0);
  return 1;
}
int folder_takes_files(const char* folder) {
  return file_writable((std::string(folder) + "/.write-probe").c_str());
}
int folder_make(const char* path) { return plat_make_folders(path); }
int folder_list(const char* path, std::vector<std::string>* names) {
  return plat_list_folder(path, names);
}
int folder_remove_leftovers(const char* folder) { return plat_remove_leftovers(folder); }

int file_link(const char* target, const char* name) { return plat_link_file(target, name); }
std::string file_odd_entry(const char* name) { return plat_odd_entry(name); }
int64_t file_written(const char* name) {
  int64_t written = -1;
  return plat_file_kind(name, nullptr, &written) == PLAT_FILE ? written : -1;
}
int file_remove(const char* name) { return plat_remove_file(name); }

int file_read_all(const char* name, std::vector<uint8_t>* out, size_t max_bytes) {
  return plat_read_file(name, out, max_bytes);
}

int file_write_all(const char* name, const std::vector<uint8_t>& bytes) {
  PlatWriteFile file;
  if (!plat_write_begin(&file, name)) return 0;
  return plat_write_end(&file, fwrite(bytes.data(), 1, bytes.size(), file.file) == bytes.size());
}
