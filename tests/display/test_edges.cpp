// The real game at the edges of its process, without a display or on SDL's
// dummy drivers: outputs that cannot be written, a request to end in its first
// moments, and several first starts at once.
#include "tests/display/sdl2_runtime.h"
#include "tests/support/test_files.h"
#include "tests/support/xvfb.h"

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {
// Where no display answers: SDL finds none and tries no other.
const std::vector<std::string> no_display = {"DISPLAY=", "WAYLAND_DISPLAY=", "XDG_RUNTIME_DIR=",
                                             "SDL_VIDEODRIVER=", "SDL_AUDIODRIVER=dummy"};

// 1 once process pid has a handler of its own for SIGTERM.
bool catches_sigterm(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);)
    if (line.starts_with("SigCgt:"))
      return std::stoull(line.substr(7), nullptr, 16) & (1ull << (SIGTERM - 1));
  return false;
}
} // namespace

// --help and --version whose text cannot be written end with 1 and say why,
// as any program does; read, they end with 0.
TEST(GameEdges, HelpOrVersionThatCannotBeWrittenEndsWithOne) {
  for (const char* option : {"--help", "--version"}) {
    SCOPED_TRACE(option);
    Child game;
    ASSERT_TRUE(game.start(game_program, "/", no_display, {option}, [] {
      int full = open("/dev/full", O_WRONLY);
      dup2(full, 1);
    }));
    EXPECT_EQ(game.wait(20000), 1);
    EXPECT_EQ(game.error_output(),
              "quillmoor: cannot write to standard output: No space left on device");
    Child read;
    ASSERT_TRUE(read.start(game_program, "/", no_display, {option}));
    EXPECT_EQ(read.wait(20000), 0);
  }
}

// Outputs into a pipe nobody reads (quillmoor 2>&1 | true) make its writes
// fail, and nothing else: the game ends as it would, here in error without a
// display.
TEST(GameEdges, OutputsIntoAClosedPipeOnlyFailTheWrites) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  close(fds[0]);
  Child game;
  ASSERT_TRUE(game.start(game_program, QUILL_DATA_DIR, no_display, {}, [&] {
    dup2(fds[1], 1);
    dup2(fds[1], 2);
  }));
  close(fds[1]);
  int signal = 0;
  EXPECT_EQ(game.wait(20000, &signal), 1) << "ended by signal " << signal;
}

// A request to end that comes as soon as the game has started (here raised
// when main first asks for its program's folder) is heeded the ordinary way:
// the game ends at its first frame with exit code 0.
TEST(GameEdges, ARequestToEndInTheFirstMomentsEndsTheGameAsAQuit) {
  Child game;
  ASSERT_TRUE(game.start(game_program, QUILL_DATA_DIR,
                         {"LD_PRELOAD=" EARLY_SIGNAL_SHIM, "SDL_VIDEODRIVER=dummy",
                          "SDL_AUDIODRIVER=dummy", "ASAN_OPTIONS=verify_asan_link_order=0"}));
  int signal = 0;
  EXPECT_EQ(game.wait(60000, &signal), 0) << "ended by signal " << signal << "\n"
                                          << game.error_output();
}

// Ten first starts at once of a game installed for a player with an empty home
// all make their folder, link the art and load every picture: each says
// nothing on standard error (a picture that cannot be loaded would be named)
// and ends on SIGTERM as a quit.
TEST(GameEdges, TenFirstStartsAtOnceAllGetTheirArt) {
  ScratchDir prefix, home;
  const std::string program = prefix / "games/quillmoor",
                    installed = prefix / "share/games/quillmoor";
  fs::create_directories(prefix / "games");
  fs::copy_file(game_program, program);
  fs::create_directories(installed + "/see");
  fs::copy(std::string(QUILL_DATA_DIR) + "/hear", installed + "/hear");
  for (const auto& e : fs::directory_iterator(std::string(QUILL_DATA_DIR) + "/see")) {
    std::string n = e.path().filename().string();
    if (e.path().extension() == ".png" && !n.ends_with("_x4.png"))
      fs::copy_file(e.path(), installed + "/see/" + n);
  }
  write_file(installed + "/version", "1\n");
  std::vector<Child> games(10);
  for (Child& game : games)
    ASSERT_TRUE(game.start(program, "/",
                           {"SDL_VIDEODRIVER=dummy", "SDL_AUDIODRIVER=dummy",
                            "ASAN_OPTIONS=detect_leaks=0", "HOME=" + home.path, "XDG_DATA_HOME="}));
  // Each is asked to end once it can take the request; it does at its first frame.
  for (Child& game : games) {
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!catches_sigterm(game.pid) && std::chrono::steady_clock::now() < until) usleep(2000);
    kill(game.pid, SIGTERM);
  }
  for (Child& game : games) {
    EXPECT_EQ(game.wait(240000), 0);
    EXPECT_EQ(game.error_output(), "");
  }
  int copies = 0;
  for (const auto& e : fs::directory_iterator(home / ".local/share/quillmoor/see"))
    copies += e.path().filename().string().ends_with("_x4.png");
  EXPECT_EQ(copies, 45);
}
