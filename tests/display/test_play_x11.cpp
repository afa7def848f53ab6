// The game played as a player would, on a private X server: a fresh working
// folder, the scaled copies made at the first start, a Tab screenshot checked
// against the X server's own picture of the window, Ctrl+F there and back,
// Escape, and a second start that uses the copies as they are and ends on
// SIGTERM; a window twice the size, ended by SIGINT.
#include "tests/support/test_files.h"
#include "tests/support/xvfb.h"

#include <chrono>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>

namespace fs = std::filesystem;

namespace {
const std::string game_program = std::string(QUILL_BINARY_DIR) + "/quillmoor";
const char* const window_caption = "Quillmoor: Ctrl+F for full screen.";

uint32_t big_endian(const uint8_t* p) {
  return (uint32_t)p[0] << 24 | (uint32_t)p[1] << 16 | (uint32_t)p[2] << 8 | p[3];
}

// Width and height from a PNG file's header; 0, 0 when it is not a PNG.
std::pair<uint32_t, uint32_t> png_size(const std::string& path) {
  std::vector<uint8_t> bytes = read_file(path);
  if (bytes.size() < 24 || std::memcmp(bytes.data() + 12, "IHDR", 4) != 0) return {0, 0};
  return {big_endian(&bytes[16]), big_endian(&bytes[20])};
}

// A picture as 0xRRGGBB values, top row first.
struct Picture {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;
  bool all_black() const {
    for (uint32_t p : pixels)
      if (p) return false;
    return true;
  }
};

// A 24-bit bottom-up BMP file; empty when it is anything else.
Picture read_bmp24(const std::vector<uint8_t>& b) {
  Picture p;
  if (b.size() < 54 || b[0] != 'B' || b[1] != 'M' || b[28] != 24) return p;
  auto le32 = [&b](size_t at) {
    return (int32_t)(b[at] | b[at + 1] << 8 | b[at + 2] << 16 | b[at + 3] << 24);
  };
  int w = le32(18), h = le32(22);
  size_t row = ((size_t)w * 3 + 3) & ~(size_t)3, at = (size_t)le32(10);
  if (w <= 0 || h <= 0 || at + row * h > b.size()) return p;
  p.width = w, p.height = h;
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++) {
      const uint8_t* q = &b[at + (size_t)(h - 1 - y) * row + 3 * (size_t)x];
      p.pixels.push_back((uint32_t)q[2] << 16 | q[1] << 8 | q[0]);
    }
  return p;
}

// The window's picture as the X server holds it (xwd: a 32-bit TrueColor
// Z pixmap in the server's byte order); empty when that is not what came back.
Picture x_window_picture(const std::string& window) {
  Picture p;
  char name[] = "/tmp/quill-xwd-XXXXXX";
  int fd = mkstemp(name);
  if (fd < 0) return p;
  close(fd);
  command_output("xwd -silent -id " + window + " -out " + name + " 2>/dev/null");
  std::vector<uint8_t> b = read_file(name);
  unlink(name);
  // The header: 25 big-endian 32-bit fields, the window's name; then 12-byte
  // colour entries and the pixels.
  const uint32_t z_pixmap = 2, colour_entry = 12;
  if (b.size() < 100) return p;
  auto field = [&b](size_t index) { return big_endian(&b[4 * index]); };
  uint32_t header_size = field(0), format = field(2), w = field(4), h = field(5),
           byte_order = field(7), bits = field(11), line = field(12), colours = field(19);
  size_t at = header_size + (size_t)colours * colour_entry;
  if (format != z_pixmap || bits != 32 || at + (size_t)line * h > b.size()) return p;
  p.width = (int)w, p.height = (int)h;
  for (uint32_t y = 0; y < h; y++)
    for (uint32_t x = 0; x < w; x++) {
      const uint8_t* q = &b[at + (size_t)y * line + 4 * x];
      uint32_t v =
          byte_order == 0 ? (uint32_t)(q[0] | q[1] << 8 | q[2] << 16 | q[3] << 24) : big_endian(q);
      p.pixels.push_back(v & 0xFFFFFF);
    }
  return p;
}

// Asks until the answer is yes, for up to 60 s.
template <class Test> bool wait_until(Test test) {
  for (int i = 0; i < 600; i++) {
    if (test()) return true;
    usleep(100000);
  }
  return false;
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

// The shown window with this exact title once a picture is drawn in it, or ""
// after 60 s. Every screen opens black and loads the art before the frames
// run, and keys pressed meanwhile would come and go unseen. Asked afresh each
// time, as a window may be made again while it becomes a full screen.
std::string playing_window(const std::string& title) {
  std::string pattern;
  for (char c : title) {
    if (std::string("\\^$.|?*+()[]{}").find(c) != std::string::npos) pattern += '\\';
    pattern += c;
  }
  std::string window;
  bool drawn = wait_until([&] {
    window = command_output("xdotool search --onlyvisible --name '^" + pattern + "$' | head -n 1");
    if (window.empty()) return false;
    // As a player clicks into it: the game draws only while its window has the focus.
    command_output("xdotool windowfocus --sync " + window + " 2>/dev/null");
    return !x_window_picture(window).all_black();
  });
  return drawn ? window : "";
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
  void start(Child* game, const std::vector<std::string>& args = {}) {
    ASSERT_TRUE(game->start(game_program, folder.path,
                            {"DISPLAY=" + x.display, "SDL_VIDEODRIVER=x11", "SDL_AUDIODRIVER=dummy",
                             "ASAN_OPTIONS=detect_leaks=0"},
                            args));
  }
  // Ends a playing game with a signal: out through the ordinary way, whose
  // fade-out alone takes 21 steps of 50 ms, with exit code 0.
  void end_with(Child* game, int sig) {
    auto asked = std::chrono::steady_clock::now();
    kill(game->pid, sig);
    EXPECT_EQ(game->wait(60000), 0) << game->error_output();
    EXPECT_GE(std::chrono::steady_clock::now() - asked, std::chrono::milliseconds(1050));
  }
  // The first screenshot file in see/, once it is whole.
  Picture screenshot() {
    std::string shot;
    bool made = wait_until([&] {
      shot = screenshot_in(folder / "see");
      return !shot.empty() && fs::file_size(shot) == 921654;
    });
    EXPECT_TRUE(made) << "no 921,654-byte screenshot in see/";
    return made ? read_bmp24(read_file(shot)) : Picture();
  }
  // Keys as xdotool types them into a window given the focus first.
  void keys(const std::string& window, const std::string& script) {
    command_output("DISPLAY=" + x.display + " xdotool windowfocus --sync " + window + " " + script);
  }
  // The scaled copies in see/ and when each was last written.
  std::map<std::string, fs::file_time_type> copies() {
    std::map<std::string, fs::file_time_type> found;
    for (const auto& e : fs::directory_iterator(folder / "see"))
      if (e.path().filename().string().ends_with("_x4.png"))
        found[e.path().filename().string()] = fs::last_write_time(e.path());
    return found;
  }
};
} // namespace

TEST_F(PlayedGame, FirstStartScreenshotSwitchesAndQuitThenASecondStart) {
  setenv("DISPLAY", x.display.c_str(), 1);
  Child game;
  start(&game);
  std::string window = playing_window(window_caption);
  ASSERT_FALSE(window.empty()) << game.error_output();

  // Every picture but the landscape got its copy, at four times its size.
  std::map<std::string, fs::file_time_type> made = copies();
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

  keys(window, "keydown Tab sleep 0.2 keyup Tab");
  Picture saved = screenshot();
  ASSERT_EQ(saved.width, 640);
  ASSERT_EQ(saved.height, 480);
  // The world stands still while nobody presses a key, so what the X server
  // shows now is the frame the screenshot was taken of.
  Picture shown = x_window_picture(window);
  ASSERT_EQ(shown.width, 640);
  ASSERT_EQ(shown.height, 480);
  int differing = 0;
  for (size_t i = 0; i < saved.pixels.size(); i++) differing += saved.pixels[i] != shown.pixels[i];
  EXPECT_EQ(differing, 0) << "pixels of the screenshot unlike the window";

  keys(window, "keydown Control_L sleep 0.1 keydown f sleep 0.1 keyup f sleep 0.1 keyup Control_L");
  std::string full = playing_window("Quillmoor");
  ASSERT_FALSE(full.empty()) << "no full screen";
  keys(full, "keydown Control_L sleep 0.1 keydown f sleep 0.1 keyup f sleep 0.1 keyup Control_L");
  window = playing_window(window_caption);
  ASSERT_FALSE(window.empty()) << "no window after the second Ctrl+F";
  EXPECT_EQ(command_output("xdotool getwindowgeometry --shell " + window + " | tr '\\n' ' '"),
            "WINDOW=" + window + " X=320 Y=272 WIDTH=640 HEIGHT=480 SCREEN=0 ");
  keys(window, "keydown Escape sleep 0.1 keyup Escape");
  EXPECT_EQ(game.wait(60000), 0) << game.error_output();

  // A second start loads the copies without writing them again.
  Child again;
  start(&again);
  window = playing_window(window_caption);
  ASSERT_FALSE(window.empty()) << again.error_output();
  end_with(&again, SIGTERM);
  EXPECT_EQ(copies(), made);
}

TEST_F(PlayedGame, TwiceTheWindowShowsEachPixelOfTheScreenshotAsATwoByTwoBlock) {
  setenv("DISPLAY", x.display.c_str(), 1);
  Child game;
  start(&game, {"--scale", "2"});
  std::string window = playing_window(window_caption);
  ASSERT_FALSE(window.empty()) << game.error_output();
  EXPECT_EQ(command_output("xdotool getwindowgeometry --shell " + window + " | tr '\\n' ' '"),
            "WINDOW=" + window + " X=0 Y=32 WIDTH=1280 HEIGHT=960 SCREEN=0 ");

  keys(window, "keydown Tab sleep 0.2 keyup Tab");
  Picture saved = screenshot();
  ASSERT_EQ(saved.width, 640);
  ASSERT_EQ(saved.height, 480);
  Picture shown = x_window_picture(window);
  ASSERT_EQ(shown.width, 1280);
  ASSERT_EQ(shown.height, 960);
  int differing = 0;
  for (size_t row = 0; row < 960; row++)
    for (size_t col = 0; col < 1280; col++)
      differing += shown.pixels[row * 1280 + col] != saved.pixels[row / 2 * 640 + col / 2];
  EXPECT_EQ(differing, 0) << "pixels of the window unlike their screenshot pixel";
  end_with(&game, SIGINT);
}
