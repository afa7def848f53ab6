#include "runtime/core/small_files.h"

#include "runtime/platform/plat_core.h"

int small_file_write(const char* name, const std::string& bytes) {
  PlatWriteFile f;
  if (!plat_write_begin(&f, name)) return 0;
  return plat_write_end(&f, fwrite(bytes.data(), 1, bytes.size(), f.file) == bytes.size());
}

int small_file_exists(const char* name) { return plat_file_kind(name, nullptr) == PLAT_FILE; }
