// The game's text layer: the caption font chosen at start-up.
#include "game/frame_loop.h"
#include "game/game_state.h"
#include "game/screen_modes.h"
#include "runtime/image/drawing.h"
#include "runtime/platform/null/null_platform.h"

#include <cstdlib>
#include <gtest/gtest.h>

TEST(CaptionFont, ArialComesFirstInTheChain) {
  null_reset();
  game_startup();
  D2dFontSpec spec;
  if (!game.font) GTEST_SKIP() << "no caption font installed";
  ASSERT_TRUE(d2d_font_spec(game.font, &spec));
  EXPECT_STREQ(spec.face, "Arial"); // Liberation Sans stands in for it on Debian
  EXPECT_EQ(spec.height, -19);
  shutdown_runtime();
  EXPECT_FALSE(d2d_font_spec(game.font, &spec)); // freed with the runtime
}

TEST(CaptionFont, WithNoFontsTheGameKeepsFontZero) {
  setenv("FONTCONFIG_FILE", QUILL_SOURCE_DIR "/tests/drawing/data/no-fonts.conf", 1);
  null_reset();
  game_startup();
  EXPECT_EQ(game.font, 0);
  shutdown_runtime();
  unsetenv("FONTCONFIG_FILE");
}
