// The screen on the null platform: opening, formats, clear, flip and activity.
#include "runtime/core/clock_random.h"
#include "tests/display/null_screen.h"

using Screen = NullDisplay;

TEST(Display, InitNeedsADisplayAndRunsOnce) {
  null_reset();
  null_display_present(0);
  EXPECT_EQ(display_init(), 0);
  display_shutdown();
  null_display_present(1);
  EXPECT_EQ(display_init(), 1);
  EXPECT_EQ(display_init(), 0); // already up
  EXPECT_NE(base_window(), nullptr);
  display_shutdown();
  EXPECT_EQ(base_window(), nullptr);
  EXPECT_EQ(screen_open_full(640, 480, 32, "x"), 0);
}

TEST_F(Screen, BackBufferFormatFollowsTheDepthOrTheDesktop) {
  ASSERT_TRUE(screen_open_full(640, 480, 32, "full"));
  EXPECT_EQ(gfx_device_params(screen_device())->back_buffer_format, FMT_X8R8G8B8);
  EXPECT_EQ(screen_pixel_format(), PIXEL_X8R8G8B8);
  EXPECT_EQ(screen_depth_bits(), 32);
  // 16 bits: both 5-6-5 and 1-5-5-5 pass, and the last one tested wins.
  ASSERT_TRUE(screen_open_full(640, 480, 16, "full"));
  EXPECT_EQ(gfx_device_params(screen_device())->back_buffer_format, FMT_X1R5G5B5);
  EXPECT_EQ(screen_pixel_format(), PIXEL_X1R5G5B5);
  EXPECT_EQ(screen_depth_bits(), 16);
  screen_close();

  null_display_set(1024, 768, FMT_R5G6B5, 60);
  open_windowed();
  EXPECT_EQ(screen_pixel_format(), PIXEL_R5G6B5);
  EXPECT_EQ(screen_depth_bits(), 16);
  // A desktop layout no back buffer has: the window still opens, on 32 bits.
  null_display_set(1024, 768, 20, 60);
  open_windowed();
  EXPECT_EQ(screen_depth_bits(), 32);
}

TEST_F(Screen, AFailedOpenLeavesNoScreenNoSpritesAndTheCursorShown) {
  open_windowed();
  int n = sprite_grab(-1, 0, 0, 8, 8);
  ASSERT_NE(n, 0);
  EXPECT_EQ(screen_open_full(640, 480, 24, "full"), 0);
  EXPECT_EQ(sprite_width(n), 0);
  EXPECT_EQ(screen_device(), nullptr);
  EXPECT_EQ(screen_is_active(), 0);
  EXPECT_EQ(screen_flip(), 0);
  EXPECT_EQ(null_cursor_shown(), 1);
  EXPECT_EQ(screen_open_windowed(nullptr, 0, 0, 640, 480, 0, 0, 0), 0);
}

TEST_F(Screen, RefreshRateMinusOneAsksForTheDisplaysDefault) {
  ASSERT_TRUE(screen_open_full(640, 480, 32, "full"));
  EXPECT_EQ(gfx_device_params(screen_device())->full_screen_refresh_rate, 0);
  ASSERT_TRUE(screen_open_full(640, 480, 32, "full", 0, 75));
  EXPECT_EQ(gfx_device_params(screen_device())->full_screen_refresh_rate, 75);
  open_windowed(); // a window takes the desktop's rate, whatever was asked before
  EXPECT_EQ(gfx_device_params(screen_device())->full_screen_refresh_rate, 0);
  EXPECT_EQ(gfx_device_params(screen_device())->swap_effect, GFX_SWAP_COPY);
}

TEST_F(Screen, ClearTakesBlueGreenRedColours) {
  open_windowed();
  screen_clear(0x0000FF);
  EXPECT_EQ(pixel(0, 0), 0xFF0000u); // red
  EXPECT_EQ(pixel(639, 479), 0xFF0000u);
  screen_clear(0xFF0000);
  EXPECT_EQ(pixel(320, 240), 0x0000FFu); // blue
  screen_close();
  screen_clear(0x00FF00); // no device: nothing happens
}

TEST_F(Screen, FullScreenShowsTheBaseWindowScaledByAWholeFactor) {
  null_display_set(1920, 1080, FMT_X8R8G8B8, 60);
  ASSERT_TRUE(screen_open_full(640, 480, 32, "Full title"));
  PlatWindow* base = base_window();
  EXPECT_STREQ(null_window_title(base), "Full title");
  EXPECT_EQ(null_window_full(base), 1);
  EXPECT_EQ(null_cursor_shown(), 0);
  EXPECT_EQ(screen_top_window(), base);
  screen_clear(0x00FF00);
  ASSERT_EQ(screen_flip(), 1);
  PlatRect at;
  const Surface* frame = null_window_frame(base, &at);
  ASSERT_NE(frame, nullptr);
  EXPECT_EQ(at.x, 320); // 2 x 640 = 1280 of 1920, centred
  EXPECT_EQ(at.y, 60);  // 2 x 480 = 960 of 1080
  EXPECT_EQ(at.width, 1280);
  EXPECT_EQ(at.height, 960);
  EXPECT_EQ(((uint32_t*)frame->pixels)[0] & 0xFFFFFF, 0x00FF00u);
  screen_close();
  EXPECT_EQ(null_window_visible(base), 0);
  EXPECT_EQ(null_cursor_shown(), 1);

  null_display_set(800, 600, FMT_X8R8G8B8, 60);
  ASSERT_TRUE(screen_open_full(640, 480, 32, "x"));
  ASSERT_EQ(screen_flip(), 1);
  null_window_frame(base, &at);
  EXPECT_EQ(at.x, 80);
  EXPECT_EQ(at.width, 640);
}

TEST_F(Screen, FullScreenFollowsTheBaseWindowsActivation) {
  ASSERT_TRUE(screen_open_full(640, 480, 32, "x"));
  window_dispatch_all(); // the activation of its showing
  ASSERT_EQ(screen_is_active(), 1);
  null_set_focus(0);
  EXPECT_EQ(screen_is_active(), 1); // nothing dispatched the news yet
  EXPECT_EQ(screen_flip(), 1);
  EXPECT_EQ(screen_is_active(), 0);
  int presents = null_window_presents(base_window());
  EXPECT_EQ(screen_flip(), 1); // inactive: handled without presenting
  EXPECT_EQ(null_window_presents(base_window()), presents);
  null_set_focus(1);
  EXPECT_EQ(screen_flip(), 1); // the flip's own dispatch sees the focus return
  EXPECT_EQ(screen_is_active(), 1);
  EXPECT_EQ(null_window_presents(base_window()), presents + 1);
}

TEST_F(Screen, WindowScreenIsActiveWithTheFocusYetAlwaysPresents) {
  open_windowed();
  EXPECT_EQ(screen_is_active(), 1);
  EXPECT_EQ(screen_top_window(), window_handle(0));
  null_set_focus(0);
  EXPECT_EQ(screen_is_active(), 0);
  int presents = null_window_presents(window_handle(0));
  screen_clear(0x0000FF);
  EXPECT_EQ(screen_flip(), 1);
  EXPECT_EQ(null_window_presents(window_handle(0)), presents + 1);
  PlatRect at;
  const Surface* frame = null_window_frame(window_handle(0), &at);
  EXPECT_EQ(at.x, 0);
  EXPECT_EQ(at.width, 640);
  EXPECT_EQ(((uint32_t*)frame->pixels)[0] & 0xFFFFFF, 0xFF0000u);
}

TEST_F(Screen, ARepaintShowsTheLastFrameAgain) {
  open_windowed();
  screen_clear(0x0000FF);
  ASSERT_EQ(screen_flip(), 1);
  PlatWindow* w = window_handle(0);
  int presents = null_window_presents(w);
  null_window_send(w, PLAT_EVENT_EXPOSED);
  while (window_event()) {}
  EXPECT_EQ(null_window_presents(w), presents + 1);
  EXPECT_EQ(((uint32_t*)null_window_frame(w, nullptr)->pixels)[0] & 0xFFFFFF, 0xFF0000u);
}

TEST_F(Screen, AStretchedChildAreaFollowsItsWindow) {
  ASSERT_TRUE(window_open(0, 0, 0, 800, 600, "big", 0xC80001));
  ASSERT_TRUE(screen_open_windowed(window_handle(0), 10, 20, 640, 480, 1, 30, 40));
  ASSERT_EQ(screen_flip(), 1);
  PlatRect at;
  null_window_frame(window_handle(0), &at);
  EXPECT_EQ(at.x, 10);
  EXPECT_EQ(at.y, 20);
  EXPECT_EQ(at.width, 800 - 30 - 10); // the whole buffer stretched into the area
  EXPECT_EQ(at.height, 600 - 40 - 20);
}

TEST_F(Screen, LostDeviceWaitsUpTo32MsThenGivesUp) {
  open_windowed();
  gfx_device_simulate(screen_device(), GFX_DEVICELOST, -1);
  uint32_t start = clock_ms();
  EXPECT_EQ(screen_flip(), 0);
  EXPECT_GE(clock_ms() - start, 32u);
  EXPECT_LE(clock_ms() - start, 34u);
  // Back within the wait: reset, then shown.
  gfx_device_simulate(screen_device(), GFX_DEVICELOST, 5);
  int presents = gfx_device_presents(screen_device());
  EXPECT_EQ(screen_flip(), 1);
  EXPECT_EQ(gfx_device_presents(screen_device()), presents + 1);
  EXPECT_NE(screen_back_buffer(), nullptr);
}

TEST_F(Screen, DriverErrorFailsTheFlip) {
  ASSERT_TRUE(screen_open_full(640, 480, 32, "x"));
  gfx_device_simulate(screen_device(), GFX_DRIVERINTERNALERROR, -1);
  EXPECT_EQ(screen_flip(), 0);
  EXPECT_EQ(screen_is_active(), 0);
  EXPECT_EQ(screen_flip(), 1); // inactive full screen: skipped
}

TEST_F(Screen, WindowScreenPresentsAgainOnceTheDeviceRecovers) {
  open_windowed();
  gfx_device_simulate(screen_device(), GFX_DEVICELOST, -1);
  EXPECT_EQ(screen_flip(), 0);
  gfx_device_simulate(screen_device(), GFX_DEVICENOTRESET, 0);
  int presents = gfx_device_presents(screen_device());
  EXPECT_EQ(screen_flip(), 1);
  EXPECT_EQ(gfx_device_presents(screen_device()), presents + 1);
}

TEST_F(Screen, CloseIsSafeTwiceAndClosingTheWindowClosesItsScreen) {
  screen_close();
  open_windowed();
  int n = sprite_grab(-1, 0, 0, 4, 4);
  window_close(0); // the screen cannot outlive the window it is shown in
  EXPECT_EQ(screen_device(), nullptr);
  EXPECT_EQ(sprite_width(n), 0);
  EXPECT_EQ(screen_top_window(), nullptr);
  screen_close();
}
