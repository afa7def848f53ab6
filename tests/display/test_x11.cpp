// The SDL2 platform with real windows on a private X server (Xvfb), keys sent
// with xdotool, and the game program itself.
#include "tests/display/sdl2_runtime.h"
#include "tests/display/x11_close.h"
#include "tests/display/x_game.h"

#include <gtest/gtest.h>
#include <png.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

namespace {
const char* const game_caption = "Quillmoor: Ctrl+F for full screen.";

// The shown X window with this exact title, waiting up to 60 s for it; "" if none.
std::string find_window(const std::string& title) {
  std::string id;
  xgame::wait_until([&] { return !(id = xgame::window_named(title)).empty(); });
  return id;
}

// The game started on a private server in its working folder.
void start_game_on(Child* game, const std::string& display) {
  ASSERT_TRUE(game->start(game_program, QUILL_DATA_DIR,
                          {"DISPLAY=" + display, "SDL_VIDEODRIVER=x11", "SDL_AUDIODRIVER=dummy",
                           "ASAN_OPTIONS=detect_leaks=0"},
                          {"--no-hint"}));
}

// Where a window is, as xdotool says: "X=... Y=... WIDTH=... HEIGHT=...".
std::string geometry(const std::string& window) {
  std::string all = command_output("xdotool getwindowgeometry --shell " + window +
                                   " | grep -v -e WINDOW -e SCREEN | tr '\\n' ' '");
  return all.empty() ? all : all.substr(0, all.size() - 1);
}

// The game's full screen, drawn, after Ctrl+F in its window; "" when none came.
std::string full_screen_from(Child* game, const std::string& window) {
  if (!xgame::switch_screen(window, game_caption, window)) return "";
  return xgame::playing_window("Quillmoor", game);
}

struct RealWindow : ::testing::Test {
  Xvfb x;
  void SetUp() override {
    if (!x.start()) GTEST_SKIP() << "Xvfb could not start here, so no real window can be tested";
    setenv("DISPLAY", x.display.c_str(), 1);
  }
  void start_game(Child* game) { start_game_on(game, x.display); }
};
} // namespace

// The pixels of a PNG file as 0xAARRGGBB, top row first; empty when unreadable.
std::vector<unsigned long> png_argb(const std::string& path, int* width) {
  png_image image = {};
  image.version = PNG_IMAGE_VERSION;
  std::vector<uint8_t> bytes;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return {};
  image.format = PNG_FORMAT_BGRA; // as little-endian 0xAARRGGBB
  bytes.resize(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, bytes.data(), 0, nullptr)) return {};
  std::vector<unsigned long> pixels(bytes.size() / 4);
  for (size_t i = 0; i < pixels.size(); i++)
    pixels[i] = bytes[4 * i] | bytes[4 * i + 1] << 8 | bytes[4 * i + 2] << 16 |
                (unsigned long)bytes[4 * i + 3] << 24;
  *width = (int)image.width;
  return pixels;
}

TEST_F(RealWindow, TheGameWindowHasItsCaptionSizeAndIconCanGrowAndEndsOnEscape) {
  Child game;
  start_game(&game);
  // Keys count only once the frames run, which the first drawn frame shows.
  std::string id = xgame::playing_window(game_caption, &game);
  ASSERT_FALSE(id.empty()) << game.error_output();
  // Centred on the 1280x1024 screen (no window manager adds a frame here).
  EXPECT_EQ(command_output("xdotool getwindowgeometry --shell " + id + " | tr '\\n' ' '"),
            "WINDOW=" + id + " X=320 Y=272 WIDTH=640 HEIGHT=480 SCREEN=0 ");
  // Window managers may make it bigger, and show the installed 64-pixel icon on it.
  EXPECT_EQ(window_has_maximum_size(x.display, std::stoul(id)), 0);
  int width = 0;
  std::vector<unsigned long> icon = window_icon(x.display, std::stoul(id)),
                             installed = png_argb(QUILL_BINARY_DIR "/icons/icon64.png", &width);
  ASSERT_EQ(installed.size(), 64u * 64u);
  ASSERT_EQ(icon.size(), 2 + installed.size());
  EXPECT_EQ(icon[0], 64u);
  EXPECT_EQ(icon[1], 64u);
  EXPECT_TRUE(std::equal(installed.begin(), installed.end(), icon.begin() + 2));
  // Escape acts while held: held until the game has ended.
  xgame::keys(id, "keydown Escape");
  EXPECT_EQ(game.wait(60000), 0) << game.error_output();
  command_output("xdotool keyup Escape");
}

TEST_F(RealWindow, TheDesktopsCloseRequestEndsTheGameInAWindowAndInFullScreen) {
  for (bool full : {false, true}) {
    SCOPED_TRACE(full ? "full screen" : "window");
    Child game;
    start_game(&game);
    // SDL may make the window afresh while it sets up drawing; by the first
    // drawn frame it is the one that stays.
    std::string id = xgame::playing_window(game_caption, &game);
    ASSERT_FALSE(id.empty()) << game.error_output();
    if (full) id = full_screen_from(&game, id);
    ASSERT_FALSE(id.empty()) << game.error_output();
    ASSERT_TRUE(request_close(x.display, std::stoul(id)));
    EXPECT_EQ(game.wait(60000), 0) << game.error_output();
  }
}

// The desktop may make a full screen 1 pixel wide: it draws what fits and
// takes keys as before, squeezed and sized back. Keys go to the window that
// has the focus, which is left as it is.
TEST_F(RealWindow, AFullScreenSqueezedToOnePixelKeepsTakingKeys) {
  Child game;
  start_game(&game);
  std::string window = xgame::playing_window(game_caption, &game);
  ASSERT_FALSE(window.empty()) << game.error_output();
  std::string full = full_screen_from(&game, window);
  ASSERT_FALSE(full.empty()) << game.error_output();
  auto squeeze = [&](int width, int height) {
    std::string w = std::to_string(width), h = std::to_string(height);
    command_output("xdotool windowsize " + full + " " + w + " " + h);
    return xgame::wait_until(
        [&] { return geometry(full).ends_with(" WIDTH=" + w + " HEIGHT=" + h); });
  };
  ASSERT_TRUE(squeeze(1, 1));
  ASSERT_TRUE(xgame::switch_screen(full, "Quillmoor", "")) << "Ctrl+F went unheard at 1x1";
  window = xgame::playing_window(game_caption, &game);
  ASSERT_FALSE(window.empty()) << game.error_output();
  full = full_screen_from(&game, window);
  ASSERT_FALSE(full.empty()) << game.error_output();
  ASSERT_TRUE(squeeze(1, 480));
  ASSERT_TRUE(squeeze(1280, 1024));
  xgame::keys("", "keydown Escape");
  EXPECT_EQ(game.wait(60000), 0) << "Escape went unheard after 1x480";
  command_output("xdotool keyup Escape");
}

// On a desktop of two monitors the full screen covers the monitor the game's
// window was on, and the window comes back to the middle of it.
TEST(TwoMonitorDesktop, TheFullScreenStaysOnTheMonitorOfTheWindow) {
  TwoMonitors x;
  if (!x.start())
    GTEST_SKIP() << "Xorg could not start on its dummy driver here (root only), so no desktop of "
                    "two monitors can be tested";
  setenv("DISPLAY", x.display.c_str(), 1);
  Child game;
  start_game_on(&game, x.display);
  std::string window = xgame::playing_window(game_caption, &game);
  ASSERT_FALSE(window.empty()) << game.error_output();
  EXPECT_EQ(geometry(window), "X=192 Y=144 WIDTH=640 HEIGHT=480"); // the left monitor's middle
  command_output("xdotool windowmove " + window + " 1100 40");
  ASSERT_TRUE(xgame::wait_until([&] { return geometry(window).starts_with("X=1100 Y=40 "); }));
  std::string full = full_screen_from(&game, window);
  ASSERT_FALSE(full.empty()) << game.error_output();
  EXPECT_EQ(geometry(full), "X=1024 Y=0 WIDTH=800 HEIGHT=600");
  ASSERT_TRUE(xgame::switch_screen(full, "Quillmoor", full));
  window = xgame::playing_window(game_caption, &game);
  ASSERT_FALSE(window.empty()) << game.error_output();
  EXPECT_EQ(geometry(window), "X=1104 Y=60 WIDTH=640 HEIGHT=480");
  xgame::keys(window, "keydown Escape");
  EXPECT_EQ(game.wait(60000), 0) << game.error_output();
  command_output("xdotool keyup Escape");
}

// With no sound device, one line of the game's own says so; nothing from the
// sound libraries. The runtime folder is another user's, as in a root shell
// that kept a user's environment, where PulseAudio's library complains too.
TEST_F(RealWindow, WithoutASoundDeviceTheGameSaysSoInOneLineOfItsOwn) {
  if (access("/dev/snd", F_OK) == 0 || access("/run/pulse/native", F_OK) == 0)
    GTEST_SKIP() << "this machine has a sound device";
  // Another user's folder, with a PulseAudio socket in it that nobody answers.
  ScratchDir others;
  std::string runtime_dir = "/";
  if (geteuid() == 0) {
    mkdir((others / "pulse").c_str(), 0700);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    snprintf(address.sun_path, sizeof address.sun_path, "%s", (others / "pulse/native").c_str());
    int s = socket(AF_UNIX, SOCK_STREAM, 0);
    if (s >= 0 && bind(s, (sockaddr*)&address, sizeof address) == 0 &&
        chown((others / "pulse").c_str(), 65534, 65534) == 0 &&
        chown(others.path.c_str(), 65534, 65534) == 0)
      runtime_dir = others.path;
    if (s >= 0) close(s);
  }
  Child game;
  ASSERT_TRUE(game.start(game_program, QUILL_DATA_DIR,
                         {"DISPLAY=" + x.display, "SDL_VIDEODRIVER=x11", "SDL_AUDIODRIVER=",
                          "XDG_RUNTIME_DIR=" + runtime_dir, "PULSE_SERVER=", "PIPEWIRE_REMOTE=",
                          "PIPEWIRE_RUNTIME_DIR=", "AUDIODEVICE=", "ASAN_OPTIONS=detect_leaks=0"},
                         {"--no-hint"}));
  std::string id = xgame::playing_window(game_caption, &game);
  ASSERT_FALSE(id.empty()) << game.error_output();
  xgame::keys(id, "keydown Escape");
  EXPECT_EQ(game.wait(60000), 0);
  command_output("xdotool keyup Escape");
  EXPECT_EQ(game.error_output(), "quillmoor: no sound device; playing silently");
}

// Keys held on the real keyboard reach the snapshot under their scancodes, and
// nothing else does.
TEST_F(RealWindow, KeysReachTheSnapshotWithTheirScancodes) {
  setenv("SDL_VIDEODRIVER", "x11", 1);
  Runtime runtime;
  ASSERT_TRUE(display_init());
  ASSERT_TRUE(keyboard_init());
  ASSERT_TRUE(window_open(0, 0, 0, 320, 240, "keyboard test", 0xC80001));
  ASSERT_TRUE(screen_open_windowed(window_handle(0), 0, 0, 320, 240, 0, 0, 0));
  std::string id = find_window("keyboard test");
  ASSERT_FALSE(id.empty());
  command_output("xdotool windowfocus --sync " + id);

  // Samples for up to 30 s until the snapshot satisfies want.
  auto settle = [](auto want) {
    return xgame::wait_until(
        [&] {
          while (window_event()) {}
          return keyboard_sample() && want();
        },
        30);
  };
  ASSERT_TRUE(settle([] { return true; })) << "the window never got the keyboard focus";

  // xdotool holds the left Shift or Ctrl too when it is asked for the right one.
  const struct {
    const char* key;
    int code;
    int companion;
  } keys[] = {
      {"Escape", 1, 0},       {"1", 2, 0},
      {"0", 11, 0},           {"minus", 12, 0},
      {"BackSpace", 14, 0},   {"Tab", 15, 0},
      {"q", 16, 0},           {"bracketleft", 26, 0},
      {"Return", 28, 0},      {"Control_L", 29, 0},
      {"a", 30, 0},           {"f", 33, 0},
      {"semicolon", 39, 0},   {"grave", 41, 0},
      {"Shift_L", 42, 0},     {"backslash", 43, 0},
      {"z", 44, 0},           {"slash", 53, 0},
      {"Shift_R", 54, 42},    {"KP_Multiply", 55, 0},
      {"Alt_L", 56, 0},       {"space", 57, 0},
      {"F1", 59, 0},          {"F5", 63, 0},
      {"F10", 68, 0},         {"KP_Subtract", 74, 0},
      {"KP_Add", 78, 0},      {"F11", 87, 0},
      {"F12", 88, 0},         {"KP_Enter", 156, 0},
      {"Control_R", 157, 29}, {"KP_Divide", 181, 0},
      {"Home", 199, 0},       {"Up", 200, 0},
      {"Prior", 201, 0},      {"Left", 203, 0},
      {"Right", 205, 0},      {"End", 207, 0},
      {"Down", 208, 0},       {"Next", 209, 0},
      {"Insert", 210, 0},     {"Delete", 211, 0},
      {"Super_L", 219, 0},    {"Menu", 221, 0},
  };
  for (const auto& k : keys) {
    SCOPED_TRACE(k.key);
    command_output(std::string("xdotool keydown ") + k.key);
    bool seen = settle([&] { return key_down(k.code) != 0; });
    usleep(60000); // held for at least 60 ms
    EXPECT_TRUE(seen);
    for (int code = 0; code < 256; code++) {
      if (code != k.code && code != k.companion) {
        EXPECT_EQ(key_down(code), 0) << "also down: " << code;
      }
    }
    command_output(std::string("xdotool keyup ") + k.key);
    EXPECT_TRUE(settle([] { return key_down(-1) == 0; }));
  }

  // A full screen lives on the base window, which then owns the keyboard.
  ASSERT_TRUE(screen_open_full(640, 480, 32, "full screen test"));
  std::string full = find_window("full screen test");
  ASSERT_FALSE(full.empty());
  command_output("xdotool windowfocus --sync " + full + " keydown space");
  EXPECT_TRUE(settle([] { return screen_flip() && key_down(57) != 0; }));
  command_output("xdotool keyup space");
  EXPECT_TRUE(settle([] { return key_down(-1) == 0; }));
  EXPECT_NE(command_output("xdotool search --onlyvisible --name '^full screen test$'"), "");
  screen_close(); // hides the base window again
  EXPECT_EQ(command_output("xdotool search --onlyvisible --name '^full screen test$'"), "");
}
