// The game played as a player would, on a private X server: a fresh working
// folder, the scaled copies made at the first start, a Tab screenshot checked
// against the X server's own picture of the window, Ctrl+F there and back,
// Escape, and a second start that uses the copies as they are and ends on
// SIGTERM; a window twice the size, ended by SIGINT. Then the game installed
// into a fresh prefix and started from anywhere.
#include "tests/display/sdl2_runtime.h"
#include "tests/display/x_game.h"
#include "tests/support/sharp_fit.h"
#include "tests/support/test_files.h"

#include <chrono>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>

namespace fs = std::filesystem;

namespace {
using namespace xgame;
const char* const window_caption = "Quillmoor: Ctrl+F for full screen.";

// Width and height from a PNG file's header; 0, 0 when it is not a PNG.
std::pair<uint32_t, uint32_t> png_size(const std::string& path) {
  std::vector<uint8_t> bytes = read_file(path);
  if (bytes.size() < 24 || std::memcmp(bytes.data() + 12, "IHDR", 4) != 0) return {0, 0};
  return {big_endian(&bytes[16]), big_endian(&bytes[20])};
}

// The pixels of a window showing a 640x480 screenshot scaled into the
// rectangle x, y, w, h that differ from what they stand for (the screenshot's
// pixels as blocks, smoothed at their edges where the size is not a whole
// multiple), or that are not black around it; -1 when the sizes are wrong.
int pixels_unlike(const Picture& saved, const Picture& shown, int x, int y, int w, int h) {
  if (saved.width != 640 || saved.height != 480 || x < 0 || y < 0 || x + w > shown.width ||
      y + h > shown.height)
    return -1;
  std::vector<uint32_t> inside;
  int unlike = 0;
  for (int row = 0; row < shown.height; row++)
    for (int col = 0; col < shown.width; col++) {
      uint32_t p = shown.pixels[(size_t)row * shown.width + col];
      if (row >= y && row < y + h && col >= x && col < x + w)
        inside.push_back(p);
      else
        unlike += p != 0;
    }
  return unlike + sharp_fit::pixels_unlike(saved.pixels, 640, 480, inside, w, h);
}

// A screenshot file (screen + digits + .bmp) in the folder, or "".
std::string screenshot_in(const fs::path& folder) {
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(folder, ec)) {
    std::string n = e.path().filename().string();
    if (n.starts_with("screen") && n.ends_with(".bmp")) return e.path().string();
  }
  return "";
}

struct PlayedGame : ::testing::Test {
  Xvfb x;
  ScratchDir folder;
  void SetUp() override {
    if (!x.start()) GTEST_SKIP() << "Xvfb could not start here, so no real window can be tested";
    // A fresh copy of the working folder: the sources, the sounds, no copies.
    std::error_code ec;
    fs::create_directories(folder / "see");
    fs::copy(std::string(QUILL_DATA_DIR) + "/hear", folder / "hear", ec);
    for (const auto& e : fs::directory_iterator(std::string(QUILL_DATA_DIR) + "/see", ec)) {
      std::string n = e.path().filename().string();
      if (e.path().extension() == ".png" && !n.ends_with("_x4.png") && n != "temp.png")
        fs::copy_file(e.path(), folder / ("see/" + n));
    }
  }
  // Started without the first hint unless args ask for nothing else.
  void start(Child* game, const std::vector<std::string>& args = {"--no-hint"},
             const std::vector<std::string>& env = {}) {
    std::vector<std::string> all = {"DISPLAY=" + x.display, "SDL_VIDEODRIVER=x11",
                                    "SDL_AUDIODRIVER=dummy", "ASAN_OPTIONS=detect_leaks=0"};
    all.insert(all.end(), env.begin(), env.end());
    ASSERT_TRUE(game->start(game_program, folder.path, all, args));
  }
  // Ends a playing game with a signal: out through the ordinary way, whose
  // fade-out alone takes 21 steps of 50 ms, with exit code 0.
  void end_with(Child* game, int sig) {
    auto asked = std::chrono::steady_clock::now();
    kill(game->pid, sig);
    EXPECT_EQ(game->wait(60000), 0) << game->error_output();
    EXPECT_GE(std::chrono::steady_clock::now() - asked, std::chrono::milliseconds(1050));
  }
  // Tab until a whole screenshot file is in see/, and its picture. (Another
  // press in the same second would write the same still picture again.)
  Picture screenshot(const std::string& window) {
    std::string shot;
    bool made = tap_until(window, "Tab", [&] {
      shot = screenshot_in(folder / "see");
      return !shot.empty() && fs::file_size(shot) == 921654;
    });
    EXPECT_TRUE(made) << "no 921,654-byte screenshot in see/";
    return made ? read_bmp24(read_file(shot)) : Picture();
  }
};

// The scaled copies in a see/ folder and when each was last written.
std::map<std::string, fs::file_time_type> copies(const fs::path& see) {
  std::map<std::string, fs::file_time_type> found;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(see, ec))
    if (e.path().filename().string().ends_with("_x4.png"))
      found[e.path().filename().string()] = fs::last_write_time(e.path());
  return found;
}
} // namespace

TEST_F(PlayedGame, FirstStartScreenshotSwitchesAndQuitThenASecondStart) {
  setenv("DISPLAY", x.display.c_str(), 1);
  Child game;
  start(&game);
  std::string window = playing_window(window_caption, &game);
  ASSERT_FALSE(window.empty()) << game.error_output();

  // Every picture but the landscape got its copy, at four times its size.
  std::map<std::string, fs::file_time_type> made = copies(folder / "see");
  int sources = 0;
  for (const auto& e : fs::directory_iterator(folder / "see")) {
    std::string n = e.path().stem().string();
    if (e.path().extension() != ".png" || n.ends_with("_x4") || n == "temp" || n == "urth")
      continue;
    sources++;
    auto [w, h] = png_size(e.path().string());
    EXPECT_GT(w, 0u) << n;
    EXPECT_EQ(png_size((folder / "see/") + n + "_x4.png"), std::make_pair(4 * w, 4 * h)) << n;
  }
  EXPECT_EQ(made.size(), (size_t)sources);
  EXPECT_GE(sources, 45);

  Picture saved = screenshot(window);
  // The world stands still while nobody presses a key, so once the note that
  // says where the screenshot went has gone (2 s), the X server shows the frame
  // it was taken of.
  int unlike = -1;
  auto shows_it = [&](const std::string& shown, int x, int y, int w, int h) {
    return wait_until(
        [&] { return (unlike = pixels_unlike(saved, window_picture(shown), x, y, w, h)) == 0; },
        20);
  };
  EXPECT_TRUE(shows_it(window, 0, 0, 640, 480)) << unlike << " pixels unlike";

  // Ctrl+F: the window the game leaves goes at once, before the art is loaded again.
  ASSERT_TRUE(switch_screen(window, window_caption, window)) << "Ctrl+F left the window as it was";
  std::string full = playing_window("Quillmoor", &game);
  ASSERT_FALSE(full.empty()) << "no full screen";
  // With no window manager to make it so, the full screen still covers the
  // screen, the picture twice its size in the middle.
  EXPECT_EQ(command_output("xdotool getwindowgeometry --shell " + full + " | tr '\\n' ' '"),
            "WINDOW=" + full + " X=0 Y=0 WIDTH=1280 HEIGHT=1024 SCREEN=0 ");
  EXPECT_TRUE(shows_it(full, 0, 32, 1280, 960)) << unlike << " pixels unlike";
  ASSERT_TRUE(switch_screen(full, "Quillmoor", full)) << "Ctrl+F left the full screen as it was";
  window = playing_window(window_caption, &game);
  ASSERT_FALSE(window.empty()) << "no window after the second Ctrl+F";
  EXPECT_EQ(command_output("xdotool getwindowgeometry --shell " + window + " | tr '\\n' ' '"),
            "WINDOW=" + window + " X=320 Y=272 WIDTH=640 HEIGHT=480 SCREEN=0 ");
  // Escape acts while held: held until the game has ended.
  keys(window, "keydown Escape");
  EXPECT_EQ(game.wait(60000), 0) << game.error_output();
  command_output("xdotool keyup Escape");

  // A second start loads the copies without writing them again.
  Child again;
  start(&again);
  window = playing_window(window_caption, &again);
  ASSERT_FALSE(window.empty()) << again.error_output();
  end_with(&again, SIGTERM);
  EXPECT_EQ(copies(folder / "see"), made);
}

// Installed and started from "/" for a player with an empty home: the game
// works in the player's folder, keeps its copies there between starts and
// makes them again when the installed art comes with another version.
TEST_F(PlayedGame, InstalledItWorksInThePlayersFolder) {
  setenv("DISPLAY", x.display.c_str(), 1);
  ScratchDir prefix, home;
  ASSERT_EQ(system((std::string(QUILL_CMAKE " --install " QUILL_BINARY_DIR " --prefix ") +
                    prefix.path + " >/dev/null")
                       .c_str()),
            0);
  const std::string program = prefix / "games/quillmoor",
                    installed = prefix / "share/games/quillmoor",
                    user = home / ".local/share/quillmoor";
  // One start: the window drawn, then Tab pressed until a screenshot is in the
  // player's folder (when asked), then Escape held until the game has ended.
  auto play = [&](bool screenshot) {
    Child game;
    ASSERT_TRUE(game.start(program, "/",
                           {"DISPLAY=" + x.display, "SDL_VIDEODRIVER=x11", "SDL_AUDIODRIVER=dummy",
                            "ASAN_OPTIONS=detect_leaks=0", "HOME=" + home.path, "XDG_DATA_HOME="},
                           {"--no-hint"}));
    std::string window = playing_window(window_caption, &game);
    ASSERT_FALSE(window.empty()) << game.error_output();
    if (screenshot) {
      EXPECT_TRUE(tap_until(window, "Tab", [&] {
        std::string shot = screenshot_in(user + "/see");
        return !shot.empty() && fs::file_size(shot) == 921654;
      })) << "no screenshot in the player's folder";
    }
    keys(window, "keydown Escape");
    EXPECT_EQ(game.wait(60000), 0) << game.error_output();
    command_output("xdotool keyup Escape");
  };

  // The first start scales every picture but the landscape into the player's folder.
  play(true);
  std::map<std::string, fs::file_time_type> made = copies(user + "/see");
  EXPECT_EQ(made.size(), 45u);
  EXPECT_TRUE(copies(installed + "/see").empty()) << "copies written into the installed folder";

  play(false);
  EXPECT_EQ(copies(user + "/see"), made);

  // New art under a new version: feet.png becomes the 9 by 9 magnifying glass.
  fs::copy_file(installed + "/see/mag.png", installed + "/see/feet.png",
                fs::copy_options::overwrite_existing);
  write_file(installed + "/version", "next\n");
  play(false);
  EXPECT_EQ(png_size(user + "/see/feet_x4.png"), std::make_pair(36u, 36u));
}

// OpenGL's libraries in a running program (its memory map names them).
bool opengl_loaded(const Child& game) {
  std::string maps = command_output("cat /proc/" + std::to_string(game.pid) + "/maps");
  return maps.find("/libGL") != std::string::npos;
}

// --scale 3 on a screen where only twice the size fits: said once, and each
// pixel of the screen a 2x2 block. Resized, the window shows the screen as large
// as it fits: smoothed where no whole multiple of 2 or more fits. The same
// pixels through the window's own surface, without OpenGL, and through SDL's
// renderer when QUILL_PRESENT asks for it.
TEST_F(PlayedGame, ThreeTimesBecomesTwiceAndAResizedWindowShowsTheScreenshotScaledToFit) {
  setenv("DISPLAY", x.display.c_str(), 1);
  for (std::string present : {"", "renderer"}) {
    SCOPED_TRACE("QUILL_PRESENT=" + present);
    std::error_code ec;
    fs::remove(screenshot_in(folder / "see"), ec);
    Child game;
    start(&game, {"--scale", "3", "--no-hint"}, {"QUILL_PRESENT=" + present});
    std::string window = playing_window(window_caption, &game);
    ASSERT_FALSE(window.empty()) << game.error_output();
    EXPECT_EQ(opengl_loaded(game), !present.empty());
    EXPECT_EQ(command_output("xdotool getwindowgeometry --shell " + window + " | tr '\\n' ' '"),
              "WINDOW=" + window + " X=0 Y=32 WIDTH=1280 HEIGHT=960 SCREEN=0 ");
    EXPECT_EQ(game.error_output(),
              "quillmoor: --scale 3 does not fit this desktop; the window is 2 times 640x480");

    Picture saved = screenshot(window);
    int unlike = -1; // until the note that says where it went has gone
    EXPECT_TRUE(wait_until(
        [&] {
          return (unlike = pixels_unlike(saved, window_picture(window), 0, 0, 1280, 960)) == 0;
        },
        20))
        << unlike << " pixels unlike";
    const struct {
      int width, height;
      int x, y, w, h; // where the screen goes
    } sizes[] = {
        {1000, 700, 33, 0, 933, 700}, {1270, 990, 0, 19, 1270, 952}, {1280, 990, 0, 15, 1280, 960}};
    for (const auto& s : sizes) {
      command_output("xdotool windowsize " + window + " " + std::to_string(s.width) + " " +
                     std::to_string(s.height));
      int unlike = -1;
      EXPECT_TRUE(wait_until([&] {
        return (unlike = pixels_unlike(saved, window_picture(window), s.x, s.y, s.w, s.h)) == 0;
      })) << s.width
          << "x" << s.height << ": " << unlike << " pixels unlike";
    }
    end_with(&game, SIGINT);
  }
}

// Pixels of the caption panel's dark blue in the bottom fifth of a 640x480 window.
int hint_pixels(const Picture& p) {
  int found = 0;
  for (int y = 384; y < std::min(p.height, 480); y++)
    for (int x = 0; x < std::min(p.width, 640); x++) found += p.pixels[y * p.width + x] == 0x000040;
  return found;
}

// A new working folder: the hint of the keys from the first frame until a key
// is pressed, and never again there.
TEST_F(PlayedGame, AFirstStartShowsTheKeysUntilAKeyIsPressedAndNeverAgain) {
  setenv("DISPLAY", x.display.c_str(), 1);
  Child game;
  start(&game, {});
  std::string window = playing_window(window_caption, &game);
  ASSERT_FALSE(window.empty()) << game.error_output();
  EXPECT_GT(hint_pixels(window_picture(window)), 2000) << "no hint at the bottom";
  EXPECT_TRUE(tap_until(window, "Shift_L", [&] {
    return hint_pixels(window_picture(window)) == 0;
  })) << "the hint stayed after a key";
  EXPECT_TRUE(fs::is_regular_file(folder / "played"));
  keys(window, "keydown Escape");
  EXPECT_EQ(game.wait(60000), 0) << game.error_output();
  command_output("xdotool keyup Escape");

  Child again;
  start(&again, {});
  window = playing_window(window_caption, &again);
  ASSERT_FALSE(window.empty()) << again.error_output();
  EXPECT_EQ(hint_pixels(window_picture(window)), 0) << "the hint came again";
  end_with(&again, SIGTERM);
}

// D walks, as the Right arrow does; the player's keys file moves the
// screenshot to P and quitting to Q, and names the line it cannot use.
TEST_F(PlayedGame, WASDWalksAndThePlayersKeysFileMovesActionsToOtherKeys) {
  setenv("DISPLAY", x.display.c_str(), 1);
  ScratchDir config;
  fs::create_directory(config / "quillmoor");
  write_file(config / "quillmoor/keys.conf", "screenshot = P\nquit = Q\njump = Nope\n");
  Child game;
  start(&game, {"--no-hint"}, {"XDG_CONFIG_HOME=" + config.path});
  std::string window = playing_window(window_caption, &game);
  ASSERT_FALSE(window.empty()) << game.error_output();
  EXPECT_EQ(game.error_output(),
            "quillmoor: " + config.path +
                "/quillmoor/keys.conf:3: no key named 'Nope'; jump keeps Up, W");

  // The world stands still until a key moves the figure.
  Picture still = window_picture(window);
  keys(window, "keydown d");
  EXPECT_TRUE(wait_until([&] { return window_picture(window).pixels != still.pixels; }))
      << "D did not walk";
  keys(window, "keyup d");

  EXPECT_TRUE(tap_until(window, "p", [&] {
    std::string shot = screenshot_in(folder / "see");
    return !shot.empty() && fs::file_size(shot) == 921654;
  })) << "P took no screenshot";
  keys(window, "keydown q");
  EXPECT_EQ(game.wait(60000), 0) << game.error_output();
  command_output("xdotool keyup q");
}
