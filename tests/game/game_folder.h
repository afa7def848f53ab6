// A scratch working folder for a whole game run: the game's art from the build's
// data folder (sources only, so the scaled copies are made afresh), entered for
// the life of the record.
#pragma once

#include "tests/support/test_files.h"

#include <filesystem>
#include <string>

struct GameFolder {
  ScratchDir dir;
  std::filesystem::path previous;
  bool ready = false;

  explicit GameFolder(const std::string& data_dir) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::create_directories(dir / "see", ec);
    fs::create_directories(dir / "hear", ec);
    for (const auto& entry : fs::directory_iterator(data_dir + "/see", ec)) {
      const std::string name = entry.path().filename().string();
      if (entry.path().extension() != ".png" || name.ends_with("_x4.png") || name == "temp.png")
        continue;
      fs::copy_file(entry.path(), dir / ("see/" + name), ec);
    }
    ready = fs::exists(dir / "see/sir0.png") && fs::exists(dir / "see/urth.png");
    previous = fs::current_path();
    fs::current_path(dir.path);
  }
  ~GameFolder() {
    std::error_code ec;
    std::filesystem::current_path(previous, ec);
  }
};
