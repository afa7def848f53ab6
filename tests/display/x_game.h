// Driving the real game on a private X server as a player would: wait until it
// shows its first frame, then hold each key until its effect is seen. A loaded
// machine may take long over a frame, so nothing relies on a fixed sleep.
#pragma once

#include "tests/support/test_files.h"
#include "tests/support/xvfb.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <unistd.h>
#include <vector>

namespace xgame {

inline uint32_t big_endian(const uint8_t* p) {
  return (uint32_t)p[0] << 24 | (uint32_t)p[1] << 16 | (uint32_t)p[2] << 8 | p[3];
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

// The window's picture as the X server holds it (xwd: a 32-bit TrueColor
// Z pixmap in the server's byte order); empty when that is not what came back.
inline Picture window_picture(const std::string& window) {
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

// A 24-bit bottom-up BMP file; empty when it is anything else.
inline Picture read_bmp24(const std::vector<uint8_t>& b) {
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

// Asks until the answer is yes, for up to seconds; false when it never was.
template <class Test> bool wait_until(Test test, int seconds = 60) {
  auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (!test()) {
    if (std::chrono::steady_clock::now() > until) return false;
    usleep(50000);
  }
  return true;
}

// The first visible window with this exact title, or "".
inline std::string window_named(const std::string& title) {
  std::string pattern;
  for (char c : title) {
    if (std::string("\\^$.|?*+()[]{}").find(c) != std::string::npos) pattern += '\\';
    pattern += c;
  }
  return command_output("xdotool search --onlyvisible --name '^" + pattern + "$' | head -n 1");
}

// The shown window with this exact title once a picture is drawn in it, or ""
// after 60 s, or as soon as the game (when given) has ended. Every screen opens
// black and loads the art before the frames run, and keys pressed meanwhile
// would come and go unseen. Asked afresh each time, as a window may be made
// again while it becomes a full screen.
inline std::string playing_window(const std::string& title, const Child* game = nullptr) {
  std::string window;
  bool drawn = wait_until([&] {
    if (game && !game->running()) return true;
    window = window_named(title);
    if (window.empty()) return false;
    // As a player clicks into it: the game draws only while its window has the focus.
    command_output("xdotool windowfocus --sync " + window + " 2>/dev/null");
    return !window_picture(window).all_black();
  });
  return drawn && (!game || game->running()) ? window : "";
}

// Sends xdotool key commands to the window, given the focus first; with no
// window, to the window that has the focus, leaving it as it is.
inline void keys(const std::string& window, const std::string& script) {
  std::string focus = window.empty() ? "" : "windowfocus --sync " + window + " ";
  command_output("xdotool " + focus + script + " 2>/dev/null");
}

// For a key that acts when it is let go: presses and lets go until done() says
// its effect came, holding it twice as long each time (0.1 s to 6.4 s). After
// each press the effect has 10 s to show, so a slow frame is not taken for a
// press the game missed (which would then act twice).
template <class Done> bool tap_until(const std::string& window, const std::string& key, Done done) {
  for (int hold_ms = 100; hold_ms <= 6400; hold_ms *= 2) {
    keys(window, "keydown " + key + " sleep " + std::to_string(hold_ms / 1000.0) + " keyup " + key);
    if (wait_until(done, 10)) return true;
  }
  return false;
}

// Ctrl+F: left Ctrl held while F is tapped until the window shown with this
// title is no longer `shown` (the game left it for the other screen); false
// when that never came. Keys go to `to` (see keys).
inline bool switch_screen(const std::string& shown, const std::string& title,
                          const std::string& to) {
  keys(to, "keydown Control_L");
  bool gone = tap_until(to, "f", [&] { return window_named(title) != shown; });
  keys(to, "keyup Control_L");
  return gone;
}

} // namespace xgame
