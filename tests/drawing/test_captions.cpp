// The game's text layer on the null platform: the caption font chosen at
// start-up, and the caption box drawn by the frame into the back buffer.
#include "game/captions.h"
#include "game/frame_loop.h"
#include "game/game_state.h"
#include "game/screen_modes.h"
#include "runtime/display/screen.h"
#include "runtime/image/drawing.h"
#include "runtime/platform/null/null_platform.h"
#include "tests/support/null_game.h"
#include "tests/support/test_files.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {
const char* const NO_FONTS = QUILL_SOURCE_DIR "/tests/drawing/data/no-fonts.conf";
const char* const REFERENCE = QUILL_SOURCE_DIR "/tests/drawing/data/caption_sunlight.ppm";

// 0xRRGGBB of a back-buffer pixel.
uint32_t pixel(int x, int y) {
  const Surface* s = screen_back_buffer();
  uint32_t p;
  std::memcpy(&p, s->pixels + (size_t)y * s->pitch + 4 * (size_t)x, 4);
  return p & 0xFFFFFF;
}

struct Box {
  int left = 640, top = 480, right = -1, bottom = -1; // inclusive
  void add(int x, int y) {
    left = std::min(left, x), right = std::max(right, x);
    top = std::min(top, y), bottom = std::max(bottom, y);
  }
};

// Where pixels of one colour are, within a rectangle of the screen.
Box where(uint32_t rgb, int x0 = 0, int y0 = 0, int x1 = 640, int y1 = 480) {
  Box b;
  for (int y = y0; y < y1; y++)
    for (int x = x0; x < x1; x++)
      if (pixel(x, y) == rgb) b.add(x, y);
  return b;
}

// The game started in an empty folder (no art: nothing but the caption shows),
// one frame drawn by the test with a caption on.
struct CaptionFrame : ::testing::Test {
  ScratchDir dir;
  std::string previous;
  void SetUp() override {
    previous = std::filesystem::current_path().string();
    std::filesystem::current_path(dir.path);
    null_reset();
    start_game_in_test();
  }
  void TearDown() override {
    end_game_in_test();
    std::filesystem::current_path(previous);
  }
  // One frame showing caption over a grey flash (or, during the ending, on black).
  void show(const char* caption, int ending = 0) {
    game.caption_on = 1;
    game.caption = caption;
    game.caption_time = game.now;
    game.ending = ending;
    game.flash = 0x808080;
    game_frame();
  }
};
} // namespace

TEST(CaptionFont, ArialComesFirstInTheChain) {
  null_reset();
  game_startup();
  D2dFontDesc desc;
  if (!game.font) GTEST_SKIP() << "no caption font installed";
  ASSERT_TRUE(d2d_font_desc(game.font, &desc));
  EXPECT_STREQ(desc.face, "Arial"); // Liberation Sans stands in for it on Debian
  EXPECT_EQ(desc.height, -19);
  close_game_screen();
  shutdown_runtime();
  EXPECT_FALSE(d2d_font_desc(game.font, &desc)); // freed with the runtime
  game_state_reset();
}

TEST_F(CaptionFrame, BoxGeometryInTheBuiltInFont) {
  game.font = 0; // the drawing layer's own font: every size below is exact
  show("|FFFFFF\\Hi");
  Box frame = where(0), panel = where(0x000040); // the panel's 0x400000 is dark blue
  // One short line: the narrowest box, 213 + 22 wide, centred on the screen.
  EXPECT_EQ(frame.right - frame.left + 1, 235);
  EXPECT_EQ(frame.left, 320 - 235 / 2);
  EXPECT_EQ(frame.bottom - frame.top + 1, 20 + 22); // one line of the font's 20
  EXPECT_EQ(frame.top, 240 - 42 / 2);
  EXPECT_EQ(panel.left - frame.left, 4);
  EXPECT_EQ(frame.right - panel.right, 4);
  EXPECT_EQ(panel.top - frame.top, 4);
  EXPECT_EQ(frame.bottom - panel.bottom, 4);
  // The line's cell starts at top + L - L / 2; "H" is lit from the cell's third row.
  Box text = where(0xFFFFFF);
  EXPECT_EQ(text.top, frame.top + 20 - 10 + 2);
  EXPECT_EQ(text.left, (640 - 24) / 2 + 1);
  EXPECT_EQ(pixel(0, 0), 0x808080u); // the world's background around it
}

TEST_F(CaptionFrame, LinesAtTheirHeightsInTheirColours) {
  game.font = 0;
  show("|FFFFFF\\Use the arrow keys to move around and jump.|00FFFF\\SUNLIGHT|0\\ |0000FF\\X");
  Box frame = where(0);
  int w = 43 * 12; // the longest line sets the width
  EXPECT_EQ(frame.right - frame.left + 1, w + 22);
  EXPECT_EQ(frame.bottom - frame.top + 1, 4 * 20 + 22);
  int top = 240 - (4 * 20 + 22) / 2;
  Box white = where(0xFFFFFF), yellow = where(0xFFFF00), red = where(0xFF0000);
  EXPECT_EQ(white.top, top + 1 * 20 - 10 + 2);
  EXPECT_EQ(yellow.top, top + 2 * 20 - 10 + 2);
  EXPECT_EQ(red.top, top + 4 * 20 - 10 + 2); // the blank third line keeps its place
  EXPECT_EQ(yellow.left, (640 - 8 * 12) / 2 + 1);
  EXPECT_EQ(white.left, (640 - w) / 2 + 1);
}

TEST_F(CaptionFrame, NoCaptionNoBox) {
  game.caption_on = 0;
  game.flash = 0x808080;
  game_frame();
  EXPECT_EQ(where(0).right, -1);
}

// Reads or writes a binary PPM of the rectangle; false when it cannot.
static bool read_ppm(const char* path, int* w, int* h, std::vector<uint8_t>* rgb) {
  FILE* f = std::fopen(path, "rb");
  if (!f) return false;
  bool ok = std::fscanf(f, "P6 %d %d 255", w, h) == 2 && std::fgetc(f) == '\n' && *w > 0 &&
            *h > 0 && *w <= 640 && *h <= 480;
  if (ok) {
    rgb->resize((size_t)*w * *h * 3);
    ok = std::fread(rgb->data(), 1, rgb->size(), f) == rgb->size();
  }
  std::fclose(f);
  return ok;
}

static std::vector<uint8_t> grab(int x0, int y0, int w, int h) {
  std::vector<uint8_t> rgb;
  for (int y = y0; y < y0 + h; y++)
    for (int x = x0; x < x0 + w; x++) {
      uint32_t p = pixel(x, y);
      rgb.insert(rgb.end(), {(uint8_t)(p >> 16), (uint8_t)(p >> 8), (uint8_t)p});
    }
  return rgb;
}

// The ending's first kind of card as the game draws it, in its caption font,
// against a picture kept in the tests. Glyph shapes may change with FreeType,
// so the text is compared coarsely (4 x 4 averages, total ink) and everything
// else exactly. QUILL_WRITE_REFERENCE=1 writes the picture anew.
TEST_F(CaptionFrame, MatchesTheReferencePicture) {
  if (!game.font) GTEST_SKIP() << "no caption font installed";
  show("|FFFFFF\\You have discovered|00FFFF\\SUNLIGHT", 1);
  Box frame = where(0x000040);
  ASSERT_GT(frame.right, 0);
  // The panel, its black frame and a margin of black screen.
  int x0 = frame.left - 8, y0 = frame.top - 8;
  int w = frame.right - frame.left + 17, h = frame.bottom - frame.top + 17;
  std::vector<uint8_t> now = grab(x0, y0, w, h);
  if (getenv("QUILL_WRITE_REFERENCE")) {
    FILE* f = std::fopen(REFERENCE, "wb");
    ASSERT_NE(f, nullptr);
    std::fprintf(f, "P6 %d %d 255\n", w, h);
    std::fwrite(now.data(), 1, now.size(), f);
    std::fclose(f);
    GTEST_SKIP() << "wrote " << REFERENCE;
  }
  int rw, rh;
  std::vector<uint8_t> ref;
  ASSERT_TRUE(read_ppm(REFERENCE, &rw, &rh, &ref));
  // The box depends on the font's line height and the longest line's width: a
  // pixel or two either way is a new FreeType, not a fault.
  ASSERT_NEAR(rw, w, 4);
  ASSERT_NEAR(rh, h, 4);
  int cw = std::min(rw, w), ch = std::min(rh, h);
  auto at = [](const std::vector<uint8_t>& img, int iw, int x, int y, int c) {
    return (int)img[((size_t)y * iw + x) * 3 + c];
  };
  long ink_now = 0, ink_ref = 0;
  int worst = 0;
  for (int by = 0; by + 4 <= ch; by += 4)
    for (int bx = 0; bx + 4 <= cw; bx += 4)
      for (int c = 0; c < 3; c++) {
        int a = 0, b = 0;
        for (int y = by; y < by + 4; y++)
          for (int x = bx; x < bx + 4; x++) a += at(now, w, x, y, c), b += at(ref, rw, x, y, c);
        worst = std::max(worst, std::abs(a - b) / 16);
        ink_now += a, ink_ref += b;
      }
  EXPECT_LT(worst, 96);
  EXPECT_NEAR((double)ink_now / ink_ref, 1.0, 0.1);
  // The corners hold the frame and the panel's colours exactly.
  for (int c = 0; c < 3; c++) {
    EXPECT_EQ(at(now, w, 9, 9, c), at(ref, rw, 9, 9, c));
    EXPECT_EQ(at(now, w, 0, 0, c), 0);
  }
  EXPECT_EQ(pixel(frame.left, frame.top), 0x000040u);
  EXPECT_EQ(pixel(frame.left - 1, frame.top - 1), 0u);
}

TEST(CaptionFont, WithNoFontsCaptionsUseTheBuiltInFont) {
  ScratchDir dir;
#ifndef QUILL_FONTCONFIG
  GTEST_SKIP() << "fonts are found through fontconfig only on Linux";
#endif
  std::string previous = std::filesystem::current_path().string();
  std::filesystem::current_path(dir.path);
  set_env("FONTCONFIG_FILE", NO_FONTS);
  null_reset();
  game_startup();
  EXPECT_EQ(game.font, 0);
  game.caption_on = 1;
  game.caption = "|00FFFF\\SUNLIGHT";
  game.caption_time = game.now;
  game_frame();
  Box text = where(0xFFFF00);
  EXPECT_EQ(text.right - text.left + 1, 8 * 12 - 2); // the last cell's spacing is blank
  close_game_screen();
  shutdown_runtime();
  game_state_reset();
  set_env("FONTCONFIG_FILE", nullptr);
  std::filesystem::current_path(previous);
}
