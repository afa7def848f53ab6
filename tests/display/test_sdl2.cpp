// The SDL2 platform headless, on SDL's dummy video driver.
#include "tests/display/sdl2_runtime.h"
#include "tests/support/xvfb.h"

#include <gtest/gtest.h>

TEST(SdlHeadless, ScreensOpenAndPresentOnTheDummyDriver) {
  Runtime runtime;
  ASSERT_TRUE(display_init());
  ASSERT_TRUE(keyboard_init());
  ASSERT_TRUE(window_open(0, 0, 0, 640, 480, "dummy", 0xC80001));
  ASSERT_TRUE(screen_open_windowed(window_handle(0), 0, 0, 640, 480, 0, 0, 0));
  EXPECT_EQ(screen_depth_bits(), 32);
  screen_clear(0x0000FF);
  int n = sprite_grab(-1, 0, 0, 64, 64);
  EXPECT_NE(n, 0);
  sprite_draw_keyed(n, 10, 10);
  EXPECT_EQ(screen_flip(), 1);
  // Nothing on the dummy driver can take the focus from the window shown.
  EXPECT_EQ(keyboard_sample(), 1);
  while (window_event()) {}
  for (int depth : {32, 16}) {
    ASSERT_TRUE(screen_open_full(640, 480, depth, "full"));
    screen_clear(0x00FF00);
    EXPECT_EQ(screen_flip(), 1);
  }
  screen_close();
  EXPECT_TRUE(screen_open_windowed(window_handle(0), 0, 0, 640, 480, 0, 0, 0));
}

TEST(SdlHeadless, WithoutADisplayTheGameSaysSoAndEndsWithZero) {
  Child game;
  ASSERT_TRUE(
      game.start(game_program, QUILL_DATA_DIR,
                 {"DISPLAY=", "WAYLAND_DISPLAY=", "SDL_VIDEODRIVER=x11", "SDL_AUDIODRIVER=dummy"}));
  EXPECT_EQ(game.wait(20000), 0);
  EXPECT_NE(game.error_output().find("Quillmoor - Error: Screen fail :("), std::string::npos)
      << game.error_output();
}
