// The game and its message box on a private X server, at the edges of the
// process: standard streams closed at the start, and a request to end while an
// error box is shown.
#include "runtime/platform/plat_core.h"
#include "tests/display/sdl2_runtime.h"
#include "tests/display/x_game.h"

#include <dirent.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/wait.h>

namespace fs = std::filesystem;

// A top-level window with this title in UTF-8 on the display (x11_close.cpp).
bool top_window_titled(const std::string& display, const std::string& title);

namespace {
struct XEdges : ::testing::Test {
  Xvfb x;
  void SetUp() override {
    if (!x.start()) GTEST_SKIP() << "Xvfb could not start here, so no real window can be tested";
    setenv("DISPLAY", x.display.c_str(), 1);
  }
};

// The processes whose parent is pid.
std::vector<pid_t> children_of(pid_t pid) {
  std::vector<pid_t> found;
  DIR* proc = opendir("/proc");
  while (dirent* e = proc ? readdir(proc) : nullptr) {
    std::ifstream stat(std::string("/proc/") + e->d_name + "/stat");
    std::string line;
    if (!std::getline(stat, line) || line.rfind(')') == std::string::npos) continue;
    // After "pid (name) " come the state and the parent's number.
    std::istringstream rest(line.substr(line.rfind(')') + 2));
    char state;
    pid_t parent = 0;
    rest >> state >> parent;
    if (parent == pid) found.push_back(std::stoi(e->d_name));
  }
  if (proc) closedir(proc);
  return found;
}

bool runs(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  // A process that has ended but not been waited for is no box any more.
  return std::getline(stat, line) && line.find(") Z") == std::string::npos;
}

// A process of its own that shows an error box as the game's end does, after
// catching the quit signals; it ends with 0 when the box call returned 0 (the
// box was closed by a quit signal), 1 when it returned otherwise.
// With asked_first, a quit signal comes before the box.
pid_t show_box(bool asked_first = false) {
  pid_t pid = fork();
  if (pid == 0) {
    alarm(120);
    setenv("SDL_VIDEODRIVER", "x11", 1);
    plat_quit_signals(1);
    if (asked_first) raise(SIGTERM);
    _exit(plat_message_box("Quillmoor - Error", "Screen fail :(", 16) == 0 ? 0 : 1);
  }
  return pid;
}

int exit_code_within(pid_t pid, int seconds) {
  int status = -1;
  bool ended = xgame::wait_until([&] { return waitpid(pid, &status, WNOHANG) == pid; }, seconds);
  if (!ended) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
} // namespace

// Started with its standard error (and then all three streams) closed, the
// game must not hand their numbers to the X connection, where what it or the
// sound library writes to standard error would end up. Here the game has a
// picture to name as missing once the window is open.
TEST_F(XEdges, ClosedStandardStreamsLeaveTheDisplayConnectionAlone) {
  ScratchDir folder;
  fs::create_directories(folder / "see");
  fs::copy(std::string(QUILL_DATA_DIR) + "/hear", folder / "hear");
  for (const auto& e : fs::directory_iterator(std::string(QUILL_DATA_DIR) + "/see"))
    if (e.path().filename() != "mag.png" && e.path().filename() != "mag_x4.png")
      fs::copy_file(e.path(), folder / ("see/" + e.path().filename().string()));
  for (int closed : {2, 0}) { // standard error only, then all three from 0
    SCOPED_TRACE(closed ? "standard error closed" : "all three closed");
    Child game;
    ASSERT_TRUE(game.start(game_program, folder.path,
                           {"DISPLAY=" + x.display, "SDL_VIDEODRIVER=x11", "SDL_AUDIODRIVER=alsa",
                            "ASAN_OPTIONS=detect_leaks=0"},
                           {}, [closed] {
                             for (int fd = closed; fd <= 2; fd++) close(fd);
                           }));
    std::string window = xgame::playing_window("Quillmoor: Ctrl+F for full screen.");
    ASSERT_FALSE(window.empty());
    kill(game.pid, SIGTERM);
    EXPECT_EQ(game.wait(60000), 0);
  }
}

// A quit signal while the error box waits for its OK closes the box, and the
// box call returns 0; the box's own process is gone with it.
TEST_F(XEdges, AQuitSignalClosesAnErrorBox) {
  pid_t shower = show_box();
  ASSERT_TRUE(xgame::wait_until([&] { return top_window_titled(x.display, "Quillmoor - Error"); }))
      << "no box shown (SDL needs the X fonts of xfonts-base)";
  std::vector<pid_t> box = children_of(shower);
  ASSERT_FALSE(box.empty());
  kill(shower, SIGTERM);
  EXPECT_EQ(exit_code_within(shower, 30), 0);
  for (pid_t p : box) EXPECT_TRUE(xgame::wait_until([p] { return !runs(p); }, 30)) << p;
  EXPECT_TRUE(
      xgame::wait_until([&] { return !top_window_titled(x.display, "Quillmoor - Error"); }));
  // Asked before, the program shows no box to wait on at all.
  EXPECT_EQ(exit_code_within(show_box(true), 30), 1);
}

// A box never outlives the program that showed it, however that ends.
TEST_F(XEdges, AnErrorBoxDiesWithItsProgram) {
  pid_t shower = show_box();
  ASSERT_TRUE(xgame::wait_until([&] { return top_window_titled(x.display, "Quillmoor - Error"); }))
      << "no box shown (SDL needs the X fonts of xfonts-base)";
  std::vector<pid_t> box = children_of(shower);
  ASSERT_FALSE(box.empty());
  kill(shower, SIGKILL);
  waitpid(shower, nullptr, 0);
  for (pid_t p : box) EXPECT_TRUE(xgame::wait_until([p] { return !runs(p); }, 30)) << p;
}

// An X server that turns the game's first connection away, as one that other
// clients keep busy now and then does, is tried again and the game plays. A
// display with no server is tried once: "Screen fail :(" and 1, at once (the
// second connection noted is the error box's).
TEST_F(XEdges, ADisplayThatTurnsTheGameAwayIsTriedAgainOneThatIsNotThereOnce) {
  ScratchDir notes;
  auto start = [&](Child* game, const std::string& display) {
    return game->start(game_program, QUILL_DATA_DIR,
                       {"DISPLAY=" + display, "SDL_VIDEODRIVER=x11", "SDL_AUDIODRIVER=dummy",
                        "WAYLAND_DISPLAY=", "XDG_RUNTIME_DIR=", "LD_PRELOAD=" REFUSING_DISPLAY_SHIM,
                        "QUILL_SHIM_NOTES=" + notes / "connections",
                        "ASAN_OPTIONS=detect_leaks=0:verify_asan_link_order=0"},
                       {"--no-hint"});
  };
  Child game;
  ASSERT_TRUE(start(&game, x.display));
  std::string window = xgame::playing_window("Quillmoor: Ctrl+F for full screen.", &game);
  ASSERT_FALSE(window.empty()) << game.error_output();
  xgame::keys(window, "keydown Escape");
  EXPECT_EQ(game.wait(60000), 0) << game.error_output();
  command_output("xdotool keyup Escape");
  // Opened, SDL's X driver holds two connections.
  EXPECT_EQ(command_output("cat " + notes / "connections"), "refused\nopened\nopened");

  int free_number = 4000;
  while (access(("/tmp/.X11-unix/X" + std::to_string(free_number)).c_str(), F_OK) == 0)
    free_number++;
  unlink((notes / "connections").c_str());
  Child missing;
  ASSERT_TRUE(start(&missing, ":" + std::to_string(free_number)));
  EXPECT_EQ(missing.wait(60000), 1) << missing.error_output();
  EXPECT_EQ(missing.error_output(), "Quillmoor - Error: Screen fail :(");
  EXPECT_EQ(command_output("cat " + notes / "connections"), "refused\nfailed");
}
