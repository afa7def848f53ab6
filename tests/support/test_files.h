// Scratch folders and small file helpers for tests.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

// A fresh folder under the system's temporary folder, removed at the end of the test.
struct ScratchDir {
  std::string path; // UTF-8, "/" between folders on every system
  ScratchDir() {
    std::random_device random;
    for (;;) {
      auto p = std::filesystem::temp_directory_path() / ("quill-test-" + std::to_string(random()));
      if (std::filesystem::create_directory(p)) {
        std::u8string name = p.generic_u8string();
        path.assign(name.begin(), name.end());
        break;
      }
    }
  }
  ~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
  std::string operator/(const std::string& name) const { return path + "/" + name; }
};

// Sets an environment variable, or removes it when value is null.
inline void set_env(const char* name, const char* value) {
#ifdef _WIN32
  _putenv_s(name, value ? value : "");
#else
  value ? setenv(name, value, 1) : unsetenv(name);
#endif
}

inline void write_file(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary)
      .write((const char*)bytes.data(), (std::streamsize)bytes.size());
}

inline void write_file(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

inline std::vector<uint8_t> read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// The public conformance corpora live beside the checkout (../shared/corpora);
// a test that reads them says so plainly where they are missing.
#define SKIP_WITHOUT_CORPORA()                                                                     \
  do {                                                                                             \
    if (!std::filesystem::is_directory(QUILL_CORPORA))                                             \
      GTEST_SKIP() << "conformance corpora not found at " << QUILL_CORPORA;                        \
  } while (0)
