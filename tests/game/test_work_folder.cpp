// Where the game works: the current folder when it holds see/ and hear/, else
// the player's own folder made from the installed art; and what the player is
// told when neither can be had.
#include "game/work_folder.h"
#include "tests/support/test_files.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {
struct Choice {
  int result;
  std::string report;
  std::string folder; // the working folder afterwards
};

// Chooses from the folder start with XDG_DATA_HOME and HOME as given (null:
// unset), then restores the test's folder and environment.
Choice choose(const std::string& start, const std::string& installed, const char* xdg,
              const char* home) {
  const fs::path before = fs::current_path();
  const std::string old_home = getenv("HOME") ? getenv("HOME") : "";
  auto set = [](const char* name, const char* value) {
    value ? setenv(name, value, 1) : unsetenv(name);
  };
  set("XDG_DATA_HOME", xdg);
  set("HOME", home);
  fs::current_path(start);
  Choice c;
  c.result = work_folder_choose(installed, &c.report);
  c.folder = fs::current_path().string();
  fs::current_path(before);
  set("XDG_DATA_HOME", nullptr);
  set("HOME", old_home.c_str());
  return c;
}

const std::string hint = " (start the game from its data folder, build/data)";
} // namespace

TEST(WorkFolder, NotInstalledTheCurrentFolderIsKeptAndWhatItLacksIsNamedOnce) {
  struct Case {
    std::vector<const char*> parts; // what the current folder holds
    std::string report;
  } cases[] = {
      {{"see", "hear"}, ""},
      {{"see"}, "quillmoor: no sounds in ./hear" + hint + "\n"},
      {{"hear"}, "quillmoor: no pictures in ./see" + hint + "\n"},
      {{},
       "quillmoor: no pictures in ./see" + hint + "\nquillmoor: no sounds in ./hear" + hint + "\n"},
  };
  for (const Case& c : cases) {
    ScratchDir start, home;
    for (const char* part : c.parts) fs::create_directory(start / part);
    Choice got = choose(start.path, start / "not-installed", nullptr, home.path.c_str());
    EXPECT_EQ(got.report, c.report);
    EXPECT_EQ(got.result, c.report.empty());
    EXPECT_EQ(got.folder, start.path);
    EXPECT_TRUE(fs::is_empty(home.path)) << "nothing is made for a game that is not installed";
  }
}

TEST(WorkFolder, InstalledThePlayersFolderFollowsTheBaseDirectoryRules) {
  ScratchDir start, installed, home;
  fs::create_directories(installed / "see");
  fs::create_directories(installed / "hear");
  write_file(installed / "see/sir0.png", "picture");
  write_file(installed / "hear/jjj.wav", "sound");
  write_file(installed / "version", "9.99\n");
  write_file(home / "file", "");
  const std::string xdg = home / "xdg",
                    nowhere = "quillmoor: no pictures in ./see\nquillmoor: no sounds in ./hear\n";
  struct Case {
    const char* xdg;
    std::string home, folder, report;
  } cases[] = {
      {xdg.c_str(), home.path, xdg + "/quillmoor", ""},
      // Relative values are ignored.
      {"relative", home.path, home / ".local/share/quillmoor", ""},
      {nullptr, "relative", start.path,
       "quillmoor: neither XDG_DATA_HOME nor HOME names a folder for the game's files\n" + nowhere},
      {nullptr, home / "file", start.path,
       "quillmoor: cannot make " + home / "file/.local/share/quillmoor: Not a directory\n" +
           nowhere},
  };
  for (const Case& c : cases) {
    Choice got = choose(start.path, installed.path, c.xdg, c.home.c_str());
    EXPECT_EQ(got.report, c.report) << c.folder;
    EXPECT_EQ(got.folder, c.folder);
    EXPECT_EQ(got.result, c.report.empty());
    if (!c.report.empty()) continue;
    // Links to the installed files, and the installed version's stamp.
    EXPECT_EQ(fs::read_symlink(c.folder + "/see/sir0.png"), installed / "see/sir0.png");
    EXPECT_EQ(fs::read_symlink(c.folder + "/hear/jjj.wav"), installed / "hear/jjj.wav");
    EXPECT_EQ(read_file(c.folder + "/version"), read_file(installed / "version"));
  }
}
