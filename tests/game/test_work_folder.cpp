// Where the game works: the current folder when it holds see/ and hear/, else
// the player's own folder made from the installed art, else the installed
// folder itself; what the player is told when something stands in the way; a
// version change; and what killed copies of the game left behind.
#include "game/options.h"
#include "game/work_folder.h"
#include "runtime/input_sound/key_bindings.h"
#include "runtime/input_sound/keyboard.h"
#include "tests/support/null_game.h"
#include "tests/support/private_disk.h"
#include "tests/support/test_files.h"

#include <gtest/gtest.h>
#include <set>
#include <sys/stat.h>
#include <sys/wait.h>

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

// An installed game: two pictures, a sound and its version's stamp.
struct WorkFolder : ::testing::Test {
  ScratchDir start, installed, home;
  std::string user; // the player's folder under home
  void SetUp() override {
    fs::create_directories(installed / "see");
    fs::create_directories(installed / "hear");
    write_file(installed / "see/sir0.png", "picture");
    write_file(installed / "see/rox0.png", "picture");
    write_file(installed / "hear/jjj.wav", "sound");
    write_file(installed / "version", "9.99\n");
    user = home / ".local/share/quillmoor";
  }
  Choice choose_here() { return choose(start.path, installed.path, nullptr, home.path.c_str()); }
  // The game's own pictures and sounds in place of the stand-ins.
  void install_the_art() {
    for (const auto& e : fs::directory_iterator(std::string(QUILL_DATA_DIR) + "/see"))
      if (!e.path().filename().string().ends_with("_x4.png"))
        fs::copy_file(e.path(), installed / ("see/" + e.path().filename().string()),
                      fs::copy_options::overwrite_existing);
    fs::copy(std::string(QUILL_DATA_DIR) + "/hear", installed / "hear",
             fs::copy_options::overwrite_existing);
  }
  // Runs the game in the folder it works in until Escape (after a Tab and two
  // Ctrl+F), and how many pictures it had: the named cells of the frame table
  // (40), the five singles and the panels (10).
  int pictures_of_a_game() {
    null_reset();
    null_keyboard_script([](uint32_t read, uint8_t* keys) {
      if (read >= 5 && read < 8) keys[KEY_TAB] = 0x80;
      // To the full screen and back: every picture loaded twice more.
      if ((read >= 10 && read < 12) || (read >= 14 && read < 16)) keys[KEY_F] = 0x80;
      if (read >= 10 && read < 17) keys[KEY_LCONTROL] = 0x80;
      if (read == 20) keys[KEY_ESCAPE] = 0x80;
    });
    EXPECT_EQ(run_game_to_exit(), 0);
    int pictures = game.panel_count;
    for (const auto& row : game.anim_frames)
      for (int sprite : row) pictures += sprite != 0;
    for (int s :
         {game.lite_sprite, game.bsh_sprite, game.twigs_sprite, game.mag_sprite, game.feet_sprite})
      pictures += s != 0;
    game_state_reset();
    return pictures;
  }
};

// The number of a process that has ended.
pid_t ended_process() {
  pid_t pid = fork();
  if (pid == 0) _exit(0);
  waitpid(pid, nullptr, 0);
  return pid;
}
} // namespace

TEST_F(WorkFolder, NotInstalledTheCurrentFolderIsKeptAndWhatItLacksIsNamedOnce) {
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
    ScratchDir start, home; // of their own, for each case
    for (const char* part : c.parts) fs::create_directory(start / part);
    Choice got = choose(start.path, start / "not-installed", nullptr, home.path.c_str());
    EXPECT_EQ(got.report, c.report);
    EXPECT_EQ(got.result, c.report.empty());
    EXPECT_EQ(got.folder, start.path);
    EXPECT_TRUE(fs::is_empty(home.path)) << "nothing is made for a game that is not installed";
    EXPECT_EQ(work_folder_writable(), c.report.empty()) << "no folder of the game's: none written";
  }
}

// Without a folder of the player's own the installed folder serves, untouched:
// the scaled copies are kept in memory and no screenshot is written there.
TEST_F(WorkFolder, ThePlayersFolderFollowsTheBaseDirectoryRulesOrTheInstalledFolderServes) {
  write_file(home / "file", "");
  ScratchDir other; // a player's folder whose see/ is a file
  fs::create_directories(other / ".local/share/quillmoor");
  write_file(other / ".local/share/quillmoor/see", "");
  const std::string xdg = home / "xdg",
                    in_memory = "; the scaled pictures are kept in memory only\n";
  struct Case {
    const char* xdg;
    std::string home, folder, report;
  } cases[] = {
      {xdg.c_str(), home.path, xdg + "/quillmoor", ""},
      // Relative values are ignored.
      {"relative", home.path, home / ".local/share/quillmoor", ""},
      {nullptr, "relative", installed.path,
       "quillmoor: neither XDG_DATA_HOME nor HOME names a folder for the game's files" + in_memory},
      {nullptr, home / "file", installed.path,
       "quillmoor: cannot make " + home / "file/.local/share/quillmoor: Not a directory" +
           in_memory},
      {nullptr, other.path, installed.path,
       "quillmoor: cannot make " + other / ".local/share/quillmoor/see: Not a directory" +
           in_memory},
  };
  for (const Case& c : cases) {
    Choice got = choose(start.path, installed.path, c.xdg, c.home.c_str());
    EXPECT_EQ(got.report, c.report) << c.folder;
    EXPECT_EQ(got.folder, c.folder);
    EXPECT_EQ(got.result, 1);
    EXPECT_EQ(work_folder_writable(), c.report.empty());
    // The first hint's mark: in the player's folder, else beside keys.conf.
    set_env("XDG_CONFIG_HOME", "/settings");
    EXPECT_EQ(work_folder_own_file("played"),
              c.report.empty() ? ".\\played" : "/settings/quillmoor/played");
    set_env("XDG_CONFIG_HOME", nullptr);
    if (!c.report.empty()) continue;
    // A screenshot as the player finds it, the home folder as ~.
    const std::string old_home = getenv("HOME");
    set_env("HOME", c.home.c_str());
    EXPECT_EQ(work_folder_shown("see/screen1.bmp"),
              "~" + c.folder.substr(c.home.size()) + "/see/screen1.bmp");
    set_env("HOME", old_home.c_str());
    // Links to the installed files, and the installed version's stamp.
    EXPECT_EQ(fs::read_symlink(c.folder + "/see/sir0.png"), installed / "see/sir0.png");
    EXPECT_EQ(fs::read_symlink(c.folder + "/hear/jjj.wav"), installed / "hear/jjj.wav");
    EXPECT_EQ(read_file(c.folder + "/version"), read_file(installed / "version"));
  }
  EXPECT_EQ(fs::directory_iterator(installed / "see")->path().filename(), "rox0.png")
      << "nothing written into the installed folder";
}

// A folder its installer marked is the installer's: never worked in, though it
// holds the art and takes files (an elevated player could write Program Files).
TEST_F(WorkFolder, AFolderItsInstallerMarkedIsNeverWorkedIn) {
  EXPECT_EQ(choose(installed.path, installed.path, nullptr, home.path.c_str()).folder,
            installed.path);
  write_file(installed / "installed", "AllUsers\r\n");
  Choice got = choose(installed.path, installed.path, nullptr, home.path.c_str());
  EXPECT_EQ(got.folder, user);
  EXPECT_EQ(got.report, "");
  EXPECT_EQ(work_folder_writable(), 1);
}

// A folder where a link should be is named and left alone; the other links are
// made, and the installed file serves in its place.
TEST_F(WorkFolder, AStrayFolderIsNamedAndTheInstalledFileServesInItsPlace) {
  fs::create_directories(user + "/see/sir0.png/the player's");
  Choice got = choose_here();
  EXPECT_EQ(got.result, 1);
  EXPECT_EQ(got.folder, user);
  EXPECT_EQ(got.report, "quillmoor: cannot link " + user +
                            "/see/sir0.png: Is a directory; the installed files are used in "
                            "their place\n");
  EXPECT_TRUE(fs::exists(user + "/see/sir0.png/the player's"));
  EXPECT_EQ(fs::read_symlink(user + "/see/rox0.png"), installed / "see/rox0.png");
  EXPECT_EQ(fs::read_symlink(user + "/hear/jjj.wav"), installed / "hear/jjj.wav");
  const fs::path before = fs::current_path();
  fs::current_path(user);
  EXPECT_EQ(work_folder_file(".\\see\\sir0.png"), installed / "see\\sir0.png");
  EXPECT_EQ(work_folder_file(".\\see\\rox0.png"), ".\\see\\rox0.png");
  EXPECT_EQ(work_folder_file(".\\hear\\jjj.wav"), ".\\hear\\jjj.wav");
  // The game itself, with the figure's first frame read from the installed folder.
  install_the_art();
  EXPECT_EQ(pictures_of_a_game(), 55);
  fs::current_path(before);
}

// A new version drops the copies of its pictures, and only those.
TEST_F(WorkFolder, AVersionChangeRemovesOnlyTheCopiesOfInstalledPictures) {
  ASSERT_EQ(choose_here().folder, user);
  for (const char* copy : {"sir0_x4.png", "rox0_x4.png", "old_x4.png"})
    write_file(user + "/see/" + copy, "copy");
  fs::create_directory(user + "/see/mine_x4.png");
  ASSERT_EQ(choose_here().report, "");
  EXPECT_TRUE(fs::exists(user + "/see/sir0_x4.png")) << "the same version keeps its copies";
  write_file(installed / "version", "10.0\n");
  EXPECT_EQ(choose_here().report, "");
  EXPECT_FALSE(fs::exists(user + "/see/sir0_x4.png"));
  EXPECT_FALSE(fs::exists(user + "/see/rox0_x4.png"));
  EXPECT_TRUE(fs::exists(user + "/see/old_x4.png")) << "a file of the player's own";
  EXPECT_TRUE(fs::is_directory(user + "/see/mine_x4.png"));
  EXPECT_EQ(read_file(user + "/version"), read_file(installed / "version"));
}

// The new stamp is written once every copy is gone; one that could not be
// removed is removed at a later start, never kept for good.
TEST_F(WorkFolder, AVersionStampFollowsOnlyEveryRemoval) {
  PrivateDisks disks;
  if (!disks.mount(user + "/see", "size=1m")) GTEST_SKIP() << "no private mount namespace here";
  ASSERT_EQ(choose_here().folder, user);
  write_file(user + "/see/sir0_x4.png", "copy");
  write_file(installed / "version", "10.0\n");
  ASSERT_TRUE(disks.read_only(user + "/see"));
  EXPECT_EQ(choose_here().folder, user);
  EXPECT_TRUE(fs::exists(user + "/see/sir0_x4.png"));
  EXPECT_EQ(read_file(user + "/version"), std::vector<uint8_t>({'9', '.', '9', '9', '\n'}));
  ASSERT_TRUE(disks.read_only(user + "/see", 0));
  EXPECT_EQ(choose_here().report, "");
  EXPECT_FALSE(fs::exists(user + "/see/sir0_x4.png"));
  EXPECT_EQ(read_file(user + "/version"), read_file(installed / "version"));
}

// A stamp that cannot be read (a folder: named at each start) or written (a
// read-only folder) cannot tell old copies: those older than their pictures go
// and the rest stay, instead of every copy being made again at every start.
TEST_F(WorkFolder, AStampThatCannotBeReadOrWrittenKeepsTheCopiesNewerThanTheirPictures) {
  ASSERT_EQ(choose_here().folder, user);
  auto copies = [&] {
    for (const char* copy : {"sir0_x4.png", "rox0_x4.png"}) write_file(user + "/see/" + copy, "");
    write_file(installed / "see/rox0.png", "a newer picture");
  };
  auto kept = [&] {
    return std::pair(fs::exists(user + "/see/sir0_x4.png"), fs::exists(user + "/see/rox0_x4.png"));
  };
  fs::remove(user + "/version");
  fs::create_directory(user + "/version");
  copies();
  const std::string named = "quillmoor: cannot read the version stamp " + user +
                            "/version (it is a folder); the scaled copies older than their "
                            "pictures are made again\n";
  EXPECT_EQ(choose_here().report, named);
  EXPECT_EQ(kept(), std::pair(true, false));
  EXPECT_EQ(choose_here().report, named);
  EXPECT_EQ(kept(), std::pair(true, false));

  PrivateDisks disks;
  if (!disks.mount(user, "size=1m")) GTEST_SKIP() << "no private mount namespace here";
  ASSERT_TRUE(disks.mount(user + "/see", "size=1m"));
  ASSERT_EQ(choose_here().report, "");
  copies();
  write_file(installed / "version", "10.0\n");
  ASSERT_TRUE(disks.read_only(user));
  EXPECT_EQ(choose_here().report, "");
  EXPECT_EQ(kept(), std::pair(true, false));
  EXPECT_EQ(choose_here().report, "");
  EXPECT_EQ(kept(), std::pair(true, false));
}

// Entries of the player's at a copy's name are named for what they are, and
// left; those pictures are kept in memory.
TEST_F(WorkFolder, EntriesAtACopysNameAreNamedForWhatTheyAreAndThePicturesKeptInMemory) {
  install_the_art();
  ASSERT_EQ(choose_here().folder, user);
  fs::create_directory(user + "/see/sir0_x4.png");
  ASSERT_EQ(mkfifo((user + "/see/rox0_x4.png").c_str(), 0600), 0);
  fs::create_symlink("/dev/zero", user + "/see/tree3_x4.png");
  const fs::path before = fs::current_path();
  fs::current_path(user);
  testing::internal::CaptureStderr();
  EXPECT_EQ(pictures_of_a_game(), 55);
  const std::string said = testing::internal::GetCapturedStderr();
  fs::current_path(before);
  const std::string kept = ", not a scaled picture; that picture is kept in memory\n";
  EXPECT_EQ(said, "quillmoor: " + user + "/see/sir0_x4.png is a folder" + kept +
                      "quillmoor: " + user + "/see/rox0_x4.png is a pipe (FIFO)" + kept +
                      "quillmoor: " + user + "/see/tree3_x4.png is a link to /dev/zero, a device" +
                      kept + "quillmoor: no sound device; playing silently\n");
  EXPECT_TRUE(fs::is_directory(user + "/see/sir0_x4.png"));
  EXPECT_TRUE(fs::is_fifo(user + "/see/rox0_x4.png"));
  EXPECT_EQ(fs::read_symlink(user + "/see/tree3_x4.png"), "/dev/zero");
}

// A file of the player's where a link goes is theirs: kept, used, named at
// each start, and its scaled copy made from it. Taken away, the link comes
// back, and with it the copy of the installed picture.
TEST_F(WorkFolder, AFileOfThePlayersOwnStandsInForTheInstalledOne) {
  install_the_art();
  ASSERT_EQ(choose_here().folder, user);
  const std::string mine = user + "/see/sir0.png", copy = user + "/see/sir0_x4.png";
  write_file(copy, "made from the installed picture");
  // Two of the player's, one with a copy made from the installed picture.
  for (const std::string& own : {mine, user + "/see/rox0.png"}) {
    fs::remove(own);
    fs::copy_file(installed / "see/rox0.png", own);
  }
  // Put in place with an older time of its own, as cp -p, mv or tar keep it.
  fs::last_write_time(mine, fs::last_write_time(mine) - std::chrono::hours(24 * 365));
  const std::string own = "quillmoor: your own files in " + user +
                          " stand in for the installed ones: see/rox0.png, see/sir0.png\n";
  EXPECT_EQ(choose_here().report, own);
  EXPECT_EQ(read_file(mine), read_file(installed / "see/rox0.png"));
  EXPECT_FALSE(fs::exists(copy)) << "made from the picture that stood there before";
  const fs::path before = fs::current_path();
  fs::current_path(user);
  EXPECT_EQ(pictures_of_a_game(), 55);
  fs::current_path(before);
  EXPECT_EQ(read_file(copy), read_file(user + "/see/rox0_x4.png"));
  const auto made = fs::last_write_time(copy);
  EXPECT_EQ(choose_here().report, own);
  EXPECT_EQ(fs::last_write_time(copy), made);

  fs::remove(mine);
  EXPECT_EQ(choose_here().report, "quillmoor: your own files in " + user +
                                      " stand in for the installed ones: see/rox0.png\n");
  EXPECT_EQ(fs::read_symlink(mine), installed / "see/sir0.png");
  EXPECT_FALSE(fs::exists(copy));
}

// Writes and links cut short by a killed copy of the game leave NAME.PID.part
// and NAME.PID.link; those of processes that no longer run are removed at the
// next start, in the player's folder and in a plain one.
TEST_F(WorkFolder, LeftoversOfEndedProcessesAreRemovedAtStart) {
  const pid_t ended = ended_process();
  const std::string dead = std::to_string(ended), alive = std::to_string(getpid());
  // Not a number, though read digit by digit it would be the ended process's.
  const std::string odd = std::to_string(ended / 10 - 1) + (char)('0' + 10 + ended % 10);
  ScratchDir plain;
  fs::create_directories(plain / "see");
  fs::create_directories(plain / "hear");
  for (const std::string& folder : std::vector<std::string>{user, plain.path}) {
    fs::create_directories(folder + "/see");
    fs::create_directories(folder + "/hear");
    for (const std::string& name : std::vector<std::string>{
             "/version." + dead + ".part", "/see/sir0_x4.png." + dead + ".part",
             "/see/sir0.png." + dead + ".link", "/hear/jjj.wav." + dead + ".link",
             "/see/screen1.bmp." + alive + ".part", "/see/a.part", "/see/b." + odd + ".part",
             "/see/c." + dead + ".pat"})
      write_file(folder + name, "left");
    fs::create_directory(folder + "/see/d." + dead + ".part");
  }
  ASSERT_EQ(choose_here().folder, user);
  ASSERT_EQ(choose(plain.path, installed.path, nullptr, home.path.c_str()).folder, plain.path);
  for (const std::string& folder : std::vector<std::string>{user, plain.path}) {
    std::set<std::string> left;
    for (const auto& e : fs::recursive_directory_iterator(folder))
      if (e.path().extension() == ".part" || e.path().extension() == ".link" ||
          e.path().extension() == ".pat")
        left.insert(e.path().string().substr(folder.size()));
    EXPECT_EQ(left, (std::set<std::string>{"/see/screen1.bmp." + alive + ".part", "/see/a.part",
                                           "/see/b." + odd + ".part", "/see/c." + dead + ".pat",
                                           "/see/d." + dead + ".part"}))
        << folder;
  }
}

// With no folder of its own to be had (here HOME names a file), the installed
// game runs from the installed folder with every picture, and writes nothing
// there: the scaled pictures stay in memory, Tab takes no screenshot, and the
// first hint's mark goes with the settings.
TEST_F(WorkFolder, WithoutAPlayersFolderTheGameRunsFromTheInstalledArtAndWritesNothing) {
  install_the_art();
  auto listing = [&] {
    std::set<std::string> names;
    for (const auto& e : fs::recursive_directory_iterator(installed.path))
      names.insert(e.path().string());
    return names;
  };
  const std::set<std::string> before = listing();
  write_file(home / "file", "");
  const fs::path test_folder = fs::current_path();
  setenv("HOME", (home / "file").c_str(), 1);
  unsetenv("XDG_DATA_HOME");
  std::string report;
  EXPECT_EQ(work_folder_choose(installed.path, &report), 1);
  EXPECT_EQ(fs::current_path(), installed.path);
  set_env("XDG_CONFIG_HOME", (home / "config").c_str());
  options.first_hint = 1;
  EXPECT_EQ(pictures_of_a_game(), 55);
  options.first_hint = 0;
  fs::current_path(test_folder);
  EXPECT_EQ(listing(), before);
  EXPECT_TRUE(fs::is_regular_file(home / "config/quillmoor/played")) << "beside keys.conf";
  set_env("XDG_CONFIG_HOME", nullptr);
}

// The keys file lies in the XDG folder for settings.
TEST(KeyBindingsFile, LiesInThePlayersFolderForSettings) {
  set_env("XDG_CONFIG_HOME", "/x/config");
  set_env("HOME", "/h");
  EXPECT_EQ(key_bindings_file(), "/x/config/quillmoor/keys.conf");
  set_env("XDG_CONFIG_HOME", "relative"); // ignored, as the base-directory rules say
  EXPECT_EQ(key_bindings_file(), "/h/.config/quillmoor/keys.conf");
  set_env("XDG_CONFIG_HOME", nullptr);
  set_env("HOME", nullptr);
  EXPECT_EQ(key_bindings_file(), "");
}
