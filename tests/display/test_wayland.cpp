// The game on Wayland: weston nested in a private X server (its x11 backend,
// drawn by pixman), the game on SDL's Wayland driver, keys sent with xdotool to
// weston's window and the picture read from it; and weston's headless backend,
// a compositor without a seat.
#include "tests/display/sdl2_runtime.h"
#include "tests/display/x_game.h"
#include "tests/support/sharp_fit.h"
#include "tests/support/test_files.h"

#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {
using namespace xgame;
const char* const window_caption = "Quillmoor: Ctrl+F for full screen.";

// A weston of its own: its socket in a private runtime folder, its log in a file.
struct Weston {
  ScratchDir runtime;
  std::string socket = "quill-wayland-" + std::to_string(getpid());
  Child process;
  ~Weston() {
    if (process.running()) kill(process.pid, SIGTERM); // a clean end takes its clients along
    process.wait(10000);
  }
  bool start(const std::vector<std::string>& env, const std::vector<std::string>& args) {
    chmod(runtime.path.c_str(), 0700);
    std::vector<std::string> all = {"XDG_RUNTIME_DIR=" + runtime.path, "WAYLAND_DISPLAY="};
    all.insert(all.end(), env.begin(), env.end());
    // --idle-time=0: no screen lock, however long the test takes.
    std::vector<std::string> options = {"--socket=" + socket, "--no-config", "--idle-time=0",
                                        "--log=" + runtime.path + "/weston.log"};
    options.insert(options.end(), args.begin(), args.end());
    return process.start("/usr/bin/weston", runtime.path, all, options) &&
           wait_until([&] { return fs::exists(runtime / socket) || !process.running(); }, 60) &&
           process.running();
  }
  // What a client of this weston needs in its environment.
  std::vector<std::string> client_env() const {
    return {"XDG_RUNTIME_DIR=" + runtime.path,
            "WAYLAND_DISPLAY=" + socket,
            "DISPLAY=",
            "SDL_VIDEODRIVER=wayland",
            "SDL_AUDIODRIVER=dummy",
            "ASAN_OPTIONS=detect_leaks=0"};
  }
};

bool have_weston() { return access("/usr/bin/weston", X_OK) == 0; }

// Where the 640x480 picture saved shows, pixel for pixel, in shown; {-1, -1} if nowhere.
std::pair<int, int> find_picture(const Picture& saved, const Picture& shown) {
  auto at = [](const Picture& p, int x, int y) { return p.pixels[(size_t)y * p.width + x]; };
  for (int y = 0; y + saved.height <= shown.height; y++)
    for (int x = 0; x + saved.width <= shown.width; x++) {
      if (at(shown, x, y) != at(saved, 0, 0) ||
          at(shown, x + saved.width - 1, y + saved.height - 1) !=
              at(saved, saved.width - 1, saved.height - 1))
        continue;
      bool same = true;
      for (int row = 0; row < saved.height && same; row++)
        same = !memcmp(&shown.pixels[(size_t)(y + row) * shown.width + x],
                       &saved.pixels[(size_t)row * saved.width], 4 * (size_t)saved.width);
      if (same) return {x, y};
    }
  return {-1, -1};
}

} // namespace

// Played as on a Wayland desktop: the window's title, its first frame, a Tab
// screenshot equal to what weston shows, Ctrl+F to a full screen filled with the
// sharp fit and back, and Escape ending the game with exit code 0.
TEST(Wayland, TheGamePlaysInANestedWeston) {
  if (!have_weston()) GTEST_SKIP() << "weston is not installed, so Wayland cannot be tested";
  Xvfb x;
  if (!x.start()) GTEST_SKIP() << "Xvfb could not start here, so no real window can be tested";
  setenv("DISPLAY", x.display.c_str(), 1);
  Weston weston;
  ASSERT_TRUE(weston.start({"DISPLAY=" + x.display}, {"--backend=x11-backend.so", "--use-pixman",
                                                      "--width=1024", "--height=768"}))
      << command_output("cat " + weston.runtime.path + "/weston.log");
  std::string output;
  ASSERT_TRUE(wait_until([&] {
    output = command_output("xdotool search --onlyvisible --class '^Weston Compositor$'");
    return !output.empty();
  })) << "weston's window never showed: "
      << command_output("cat " + weston.runtime.path + "/weston.log");
  // Weston draws the pointer into its picture: it goes to the top right corner,
  // over the panel, where no window comes. The keyboard goes to weston, which
  // hands it on to the game's window.
  command_output("xdotool mousemove 1023 0");
  command_output("xdotool windowfocus --sync " + output);

  // A working folder of its own, warm: the scaled copies made by earlier tests.
  ScratchDir folder;
  fs::copy(QUILL_DATA_DIR, folder.path, fs::copy_options::recursive);
  for (const auto& e : fs::directory_iterator(folder / "see"))
    if (e.path().filename().string().starts_with("screen")) fs::remove(e.path());
  Child game;
  std::vector<std::string> env = weston.client_env();
  env.push_back("WAYLAND_DEBUG=client"); // the title the window asks for
  ASSERT_TRUE(game.start(game_program, folder.path, env));

  // Tab is read only once the frames run; the file then holds what was shown.
  std::string shot;
  ASSERT_TRUE(tap_until(output, "Tab",
                        [&] {
                          for (const auto& e : fs::directory_iterator(folder / "see"))
                            if (e.path().filename().string().starts_with("screen") &&
                                fs::file_size(e.path()) == 921654)
                              shot = e.path();
                          return !shot.empty() || !game.running();
                        }) &&
              !shot.empty())
      << "no screenshot";
  Picture saved = read_bmp24(read_file(shot));
  ASSERT_EQ(saved.width, 640);
  // The world stands still while nobody presses a key.
  std::pair<int, int> at;
  EXPECT_TRUE(wait_until([&] {
    return (at = find_picture(saved, window_picture(output))).first >= 0;
  })) << "the screenshot is not what weston shows";
  EXPECT_NE(game.error_output().find(std::string("set_title(\"") + window_caption + "\")"),
            std::string::npos)
      << "no title asked for";

  // Ctrl+F: the full screen fills weston's 1024x768 output with the sharp fit.
  keys(output, "keydown Control_L");
  EXPECT_TRUE(tap_until(output, "f", [&] {
    Picture full = window_picture(output);
    return full.width == 1024 &&
           sharp_fit::pixels_unlike(saved.pixels, 640, 480, full.pixels, 1024, 768) == 0;
  })) << "no full screen of the sharp fit";
  EXPECT_TRUE(tap_until(output, "f", [&] {
    return find_picture(saved, window_picture(output)).first >= 0;
  })) << "no window after the second Ctrl+F";
  keys(output, "keyup Control_L");

  // Escape acts while held: held until the game has ended.
  keys(output, "keydown Escape");
  EXPECT_EQ(game.wait(60000), 0);
  command_output("xdotool keyup Escape");
}

// A compositor that offers no keyboard or pointer (weston's headless backend)
// is refused as a missing keyboard, with the ending the game gives when there
// is no display at all, never a crash.
TEST(Wayland, ACompositorWithoutASeatIsRefusedAsAMissingKeyboard) {
  if (!have_weston()) GTEST_SKIP() << "weston is not installed, so Wayland cannot be tested";
  Weston weston;
  ASSERT_TRUE(weston.start({}, {"--backend=headless-backend.so"}))
      << command_output("cat " + weston.runtime.path + "/weston.log");
  for (const char* drivers : {"SDL_VIDEODRIVER=wayland", "SDL_VIDEODRIVER="}) {
    Child seatless, nothing;
    std::vector<std::string> env = weston.client_env();
    env.push_back(drivers);
    ASSERT_TRUE(seatless.start(game_program, QUILL_DATA_DIR, env));
    ASSERT_TRUE(nothing.start(game_program, QUILL_DATA_DIR,
                              {"DISPLAY=", "WAYLAND_DISPLAY=", "XDG_RUNTIME_DIR=",
                               "SDL_VIDEODRIVER=", "SDL_AUDIODRIVER=dummy"}));
    int refused = seatless.wait(60000), no_display = nothing.wait(60000);
    EXPECT_NE(refused, -1) << drivers << ": " << seatless.error_output();
    EXPECT_EQ(refused, no_display) << drivers;
    EXPECT_NE(seatless.error_output().find("Quillmoor - Error: Keyboard fail :("),
              std::string::npos)
        << drivers << ": " << seatless.error_output();
  }
}
