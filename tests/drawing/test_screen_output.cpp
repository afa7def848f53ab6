// The screen's drawing output on the null platform: drawing lands in the back
// buffer, which is lent as a device context or as locked pixels, one at a time,
// and given back at draw_stop.
#include "runtime/image/drawing.h"
#include "tests/display/null_screen.h"

namespace {
struct ScreenOutputTest : NullDisplay {
  static int lent() { return screen_back_buffer()->dc_out + 2 * screen_back_buffer()->locked; }
};
} // namespace

TEST_F(ScreenOutputTest, NoScreenGivesNoOutput) {
  EXPECT_EQ(screen_output(), nullptr);
  EXPECT_EQ(draw_start(screen_output()), 0);
  EXPECT_EQ(draw_current(), nullptr);
}

TEST_F(ScreenOutputTest, BoxesAndTextLandInTheBackBuffer) {
  open_windowed();
  DrawContext* c = screen_output();
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->width, 640);
  EXPECT_EQ(c->depth, 32);
  EXPECT_EQ(lent(), 1); // its device context is out from the start
  ASSERT_TRUE(draw_start(c));
  draw_box(10, 10, 5, 5, 0x0000FF);
  EXPECT_EQ(draw_text(100, 100, "Hi", 0x00FFFF), 124);
  draw_stop();
  EXPECT_EQ(lent(), 0);
  EXPECT_EQ(pixel(10, 10), 0xFF0000u); // the device's 0xRRGGBB
  EXPECT_EQ(pixel(14, 14), 0xFF0000u);
  EXPECT_EQ(pixel(15, 15), 0u);
  EXPECT_EQ(pixel(100, 100), 0u); // the text cell's background is black
  // The back buffer is free again for the sprites.
  EXPECT_NE(sprite_grab(-1, 0, 0, 16, 16), 0);
}

TEST_F(ScreenOutputTest, DeviceContextAndPixelsTakeTurns) {
  open_windowed();
  ASSERT_TRUE(draw_start(screen_output()));
  uint8_t* pixels = drawing_buffer();
  ASSERT_EQ(pixels, screen_back_buffer()->pixels);
  EXPECT_EQ(lent(), 2);
  EXPECT_EQ(drawing_buffer_pitch(), screen_back_buffer()->pitch);
  EXPECT_EQ(drawing_buffer_format(), DRAW_FORMAT_32);
  plot(3, 4, 0x336699);
  plot(640, 0, 0xFFFFFF); // beyond the buffer: ignored
  draw_box(0, 0, 2, 2, 0x00FF00);
  EXPECT_EQ(lent(), 1);
  EXPECT_EQ(drawing_buffer(), pixels);
  EXPECT_EQ(lent(), 2);
  draw_stop();
  EXPECT_EQ(lent(), 0);
  EXPECT_EQ(pixel(3, 4), 0x996633u);
  EXPECT_EQ(pixel(1, 1), 0x00FF00u);
}

TEST_F(ScreenOutputTest, SixteenBitFullScreen) {
  ASSERT_TRUE(screen_open_full(640, 480, 16, "full"));
  ASSERT_TRUE(draw_start(screen_output()));
  int format = drawing_buffer_format();
  EXPECT_TRUE(format == DRAW_FORMAT_15 || format == DRAW_FORMAT_16);
  plot(1, 1, 0xFFFFFF);
  draw_box(2, 2, 1, 1, 0x0000FF);
  draw_stop();
  EXPECT_EQ(pixel(1, 1), 0xFFFFFFu);
  EXPECT_EQ(pixel(2, 2), 0xFF0000u);
}

TEST_F(ScreenOutputTest, AnOutputLeftOpenIsEndedByTheNext) {
  open_windowed();
  ASSERT_TRUE(draw_start(screen_output()));
  drawing_buffer();
  DrawContext* next = screen_output(); // the pass above never saw its draw_stop
  ASSERT_NE(next, nullptr);
  ASSERT_TRUE(draw_start(next));
  draw_stop();
  EXPECT_EQ(lent(), 0);
  screen_close();
  EXPECT_EQ(screen_output(), nullptr);
}

TEST_F(ScreenOutputTest, APassOpenWhenTheBackBufferGoesIsEnded) {
  // Closing the screen or resetting its device frees the buffer the pass draws on.
  for (bool reset : {false, true}) {
    SCOPED_TRACE(reset ? "reset" : "close");
    open_windowed();
    ASSERT_TRUE(draw_start(screen_output()));
    draw_box(0, 0, 4, 4, 0x0000FF);
    if (reset) {
      gfx_device_simulate(screen_device(), GFX_DEVICENOTRESET, 0);
      EXPECT_EQ(screen_flip(), 1);
    } else {
      screen_close();
    }
    EXPECT_EQ(draw_current(), nullptr);
    draw_box(0, 0, 4, 4, 0x00FF00); // nothing to draw on: ignored
    draw_stop();
    if (reset) {
      // The new buffer is free to lend.
      EXPECT_EQ(lent(), 0);
      ASSERT_TRUE(draw_start(screen_output()));
      draw_box(0, 0, 2, 2, 0xFF0000);
      draw_stop();
      EXPECT_EQ(pixel(1, 1), 0x0000FFu);
    }
    window_close(0);
  }
}
