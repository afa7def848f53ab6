// The Windows game under Wine on a private X server, as a player would meet it:
// unpacked from its zip and started in its folder (caption, a Tab screenshot
// equal to the window's pixels, Escape), with bad input, and installed by its
// installer with the copies kept in %LOCALAPPDATA%\Quillmoor, then uninstalled.
// Built beside a Windows build (tools/windows.sh --tests), which it names in
// QUILL_WINDOWS_BUILD.
#include "tests/display/x_game.h"
#include "tests/support/test_files.h"

#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {
using namespace xgame;
const char* const window_caption = "Quillmoor: Ctrl+F for full screen.";
const std::string build = QUILL_WINDOWS_BUILD;
const std::string wine_run = std::string(QUILL_SOURCE_DIR) + "/tools/wine_run.sh";

// Wine draws a window's frame itself where no window manager does, so the
// picture's client area lies inside the X window: the pixels of the best
// placement of the screenshot that differ from it; -1 when it does not fit.
int pixels_unlike(const Picture& saved, const Picture& shown) {
  if (saved.width != 640 || saved.height != 480 || shown.width < 640 || shown.height < 480)
    return -1;
  int best = -1;
  for (int dy = 0; dy + 480 <= shown.height; dy++)
    for (int dx = 0; dx + 640 <= shown.width; dx++) {
      int differing = 0;
      for (int y = 0; y < 480 && (best < 0 || differing < best); y++)
        for (int x = 0; x < 640; x++)
          differing += shown.pixels[(size_t)(y + dy) * shown.width + x + dx] !=
                       saved.pixels[(size_t)y * 640 + x];
      if (best < 0 || differing < best) best = differing;
    }
  return best;
}

// A whole screenshot file (screen + digits + .bmp, 921,654 bytes) in the folder, or "".
std::string screenshot_in(const fs::path& folder) {
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(folder, ec)) {
    std::string n = e.path().filename().string();
    if (n.starts_with("screen") && n.ends_with(".bmp") && fs::file_size(e.path(), ec) == 921654)
      return e.path().string();
  }
  return "";
}

int copies_in(const fs::path& see) {
  int n = 0;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(see, ec))
    n += e.path().filename().string().ends_with("_x4.png");
  return n;
}

struct WineGame : ::testing::Test {
  Xvfb x;
  ScratchDir scratch;
  std::string prefix; // this test's Wine prefix
  std::string game;   // the unpacked zip
  void SetUp() override {
    if (!x.start()) GTEST_SKIP() << "Xvfb could not start here, so no real window can be tested";
    setenv("DISPLAY", x.display.c_str(), 1); // for xdotool and xwd
    std::string version = read_text(build + "/version");
    ASSERT_FALSE(version.empty()) << "no Windows build in " << build;
    const std::string name = "Quillmoor-" + version;
    ASSERT_EQ(command_output("cd " + scratch.path + " && unzip -q " + build + "/" + name +
                             "-windows.zip && echo ok"),
              "ok");
    game = scratch / name;
    // The windows' prefix is kept between runs beside the build; its server
    // holds the display it started with, so none of another test may linger.
    prefix = build + "/wine-window";
    setenv("QUILL_WINEPREFIX", prefix.c_str(), 1);
    end_wine();
  }
  void TearDown() override {
    if (!prefix.empty()) end_wine();
  }
  static std::string read_text(const std::string& path) {
    std::vector<uint8_t> b = read_file(path);
    std::string s(b.begin(), b.end());
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
    return s;
  }
  // Ends every Wine process of the prefix, within a time limit.
  void end_wine() {
    command_output("WINEPREFIX=" + prefix + " timeout -k 5 60 wineserver -k 2>/dev/null; " +
                   "WINEPREFIX=" + prefix + " timeout -k 5 60 wineserver -w 2>/dev/null");
  }
  bool start(Child* child, const std::string& folder, const std::vector<std::string>& args) {
    return child->start(wine_run, folder, environment(), args);
  }
  // What the game under Wine is given: this display, SDL's own choice of
  // drivers (not the test's dummy ones), this prefix.
  std::vector<std::string> environment() const {
    return {"DISPLAY=" + x.display,
            "SDL_VIDEODRIVER=", "SDL_AUDIODRIVER=", "QUILL_WINEPREFIX=" + prefix,
            "QUILL_WINE_TIMEOUT=600"};
  }
  // Holds Escape until the game has ended; its exit code.
  int escape(Child* child, const std::string& window) {
    keys(window, "keydown Escape");
    int code = child->wait(120000);
    command_output("xdotool keyup Escape");
    return code;
  }
};
} // namespace

TEST_F(WineGame, FromTheZipCaptionScreenshotAndEscape) {
  Child g;
  // Without the first hint, as the screenshot is compared with the window.
  ASSERT_TRUE(start(&g, game, {game + "/quillmoor.exe", "--no-hint"}));
  // The first start makes the scaled copies, which under Wine takes a while.
  std::string window = playing_window(window_caption);
  ASSERT_FALSE(window.empty()) << g.error_output();
  EXPECT_EQ(copies_in(game + "/see"), 45) << "the copies belong beside the art it was started in";

  std::string shot;
  ASSERT_TRUE(tap_until(window, "Tab", [&] {
    return !(shot = screenshot_in(game + "/see")).empty();
  })) << "no screenshot in see\\";
  // The world stands still while nobody presses a key: once the note that says
  // where the screenshot went has gone (2 s), the window shows the frame it
  // was taken of.
  const Picture saved = read_bmp24(read_file(shot));
  int unlike = -1;
  EXPECT_TRUE(
      wait_until([&] { return (unlike = pixels_unlike(saved, window_picture(window))) == 0; }, 30))
      << unlike << " pixels unlike";

  auto asked = std::chrono::steady_clock::now();
  EXPECT_EQ(escape(&g, window), 0) << g.error_output();
  // Out the ordinary way: its fade takes about a second, and no more than a few.
  EXPECT_GE(std::chrono::steady_clock::now() - asked, std::chrono::milliseconds(1000));
}

TEST_F(WineGame, MissingOrDamagedArtIsSaidAndNeverHangs) {
  // A damaged picture: no copy is made of it, nothing else is harmed.
  write_file(game + "/see/sir0.png", std::string("\x89PNG\r\n\x1a\n damaged", 17));
  Child g;
  ASSERT_TRUE(start(&g, game, {game + "/quillmoor.exe"}));
  std::string window = playing_window(window_caption);
  ASSERT_FALSE(window.empty()) << g.error_output();
  EXPECT_EQ(escape(&g, window), 0) << g.error_output();
  EXPECT_FALSE(fs::exists(game + "/see/sir0_x4.png"));
  EXPECT_EQ(copies_in(game + "/see"), 44);

  // No pictures at all, started from another folder: said on its error output.
  fs::remove_all(game + "/see");
  Child bare;
  ASSERT_TRUE(start(&bare, scratch.path, {game + "/quillmoor.exe"}));
  std::string blank;
  ASSERT_TRUE(wait_until([&] { return !(blank = window_named(window_caption)).empty(); }, 120))
      << bare.error_output();
  EXPECT_EQ(escape(&bare, blank), 0);
  EXPECT_NE(bare.error_output().find("quillmoor: no pictures in ./see"), std::string::npos)
      << bare.error_output();
}

// The installer's silent install for all users, the game started as its Start
// menu entry starts it, the copies and the screenshot in %LOCALAPPDATA%, then
// the silent uninstall. A player cannot write to Program Files; root under Wine
// can, so a read-only mount in a mount namespace of the game's own stands in.
TEST_F(WineGame, InstalledItKeepsItsFilesInLocalAppDataAndUninstalls) {
  if (geteuid() != 0) GTEST_SKIP() << "a read-only Program Files needs a mount, which needs root";
  // A chroot or an unprivileged container has none to give.
  if (command_output("unshare -m true 2>/dev/null && echo yes") != "yes")
    GTEST_SKIP() << "no private mount namespace here";
  prefix = build + "/wine-install"; // made afresh: the installer changes it
  end_wine();
  fs::remove_all(prefix);
  const std::string drive = prefix + "/drive_c", installed = drive + "/Program Files/Quillmoor",
                    entry =
                        "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Quillmoor.lnk";
  const std::string setup = build + "/Quillmoor-" + read_text(build + "/version") + "-setup.exe";
  Child install;
  ASSERT_TRUE(start(&install, scratch.path, {setup, "/S"}));
  ASSERT_EQ(install.wait(600000), 0) << install.error_output();
  end_wine();
  for (const char* f : {"quillmoor.exe", "uninstall.exe", "see/sir0.png", "hear/jjj.wav",
                        "fonts/LiberationSans-Regular.ttf", "licences/SDL2.txt"})
    EXPECT_TRUE(fs::is_regular_file(installed + "/" + f)) << f;
  const std::string menu =
      drive + "/ProgramData/Microsoft/Windows/Start Menu/Programs/Quillmoor.lnk";
  EXPECT_TRUE(fs::is_regular_file(menu));

  Child g;
  ASSERT_TRUE(g.start("/usr/bin/unshare", scratch.path, environment(),
                      {"-m", "sh", "-c",
                       "mount --bind \"$1\" \"$1\" && mount -o remount,bind,ro \"$1\" && "
                       "exec \"$2\" start /wait \"$3\"",
                       "sh", installed, wine_run, entry}));
  std::string window = playing_window(window_caption);
  ASSERT_FALSE(window.empty()) << g.error_output();
  std::string local = command_output("ls -d " + drive + "/users/*/AppData/Local/Quillmoor");
  ASSERT_FALSE(local.empty());
  std::string shot;
  EXPECT_TRUE(tap_until(window, "Tab", [&] {
    return !(shot = screenshot_in(local + "/see")).empty();
  })) << "no screenshot in %LOCALAPPDATA%\\Quillmoor\\see";
  EXPECT_EQ(escape(&g, window), 0) << g.error_output();
  EXPECT_EQ(copies_in(local + "/see"), 45);
  EXPECT_EQ(copies_in(installed + "/see"), 0);
  EXPECT_EQ(screenshot_in(installed + "/see"), "");
  end_wine();

  // The uninstaller runs a copy of itself and returns at once; the server's
  // end is the copy's end.
  Child remove;
  ASSERT_TRUE(start(&remove, scratch.path, {installed + "/uninstall.exe", "/S"}));
  EXPECT_EQ(remove.wait(600000), 0) << remove.error_output();
  command_output("WINEPREFIX=" + prefix + " timeout -k 5 300 wineserver -w 2>/dev/null");
  EXPECT_FALSE(fs::exists(installed));
  EXPECT_FALSE(fs::exists(menu));
  EXPECT_FALSE(shot.empty() || !fs::is_regular_file(shot)) << "the player's screenshot was removed";
  EXPECT_EQ(copies_in(local + "/see"), 0);
  EXPECT_FALSE(fs::exists(local + "/see/sir0.png"));
  EXPECT_FALSE(fs::exists(local + "/hear"));
  end_wine();
  fs::remove_all(prefix);
}
