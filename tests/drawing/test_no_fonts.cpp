// With fontconfig finding no fonts at all (FONTCONFIG_FILE names an empty
// configuration), no face loads and text is still drawn in the built-in font.
#include "runtime/image/drawing.h"
#include "tests/drawing/canvas.h"

#include <cstdlib>
#include <gtest/gtest.h>

namespace {
// Fontconfig reads its configuration again after font_shutdown, so the setting holds from here.
struct NoFonts : ::testing::Test {
  void SetUp() override {
    font_shutdown();
    setenv("FONTCONFIG_FILE", QUILL_SOURCE_DIR "/tests/drawing/data/no-fonts.conf", 1);
    font_init();
  }
  void TearDown() override {
    font_shutdown();
    unsetenv("FONTCONFIG_FILE");
  }
};
} // namespace

TEST_F(NoFonts, EveryFaceFailsAndTextStillShows) {
  for (const char* face : {"Arial", "Verdana", "Helvetica", "Times", "sans-serif"})
    EXPECT_EQ(font_load(0, face, 14), 0) << face;
  Canvas c(200, 40);
  ASSERT_TRUE(draw_start(surface_output(&c.s)));
  draw_mode(DRAW_TRANSPARENT);
  EXPECT_EQ(text_height("W"), 20);
  EXPECT_EQ(draw_text(10, 10, "SUNLIGHT", 0x00FFFF), 10 + 8 * 12);
  EXPECT_GT(c.count(0x00FFFF), 100);
  draw_stop();
  EXPECT_NE(font_load(0, "System", 14), 0); // the built-in font needs no fontconfig
}
