// A runtime with the window library and the display up on the null platform,
// and helpers to read and write the back buffer.
#pragma once

#include "runtime/display/screen.h"
#include "runtime/display/sprites.h"
#include "runtime/display/window.h"
#include "runtime/platform/null/null_platform.h"

#include <cstring>
#include <gtest/gtest.h>

struct NullDisplay : ::testing::Test {
  void SetUp() override {
    null_reset();
    event_queue_init();
    window_library_init();
    ASSERT_TRUE(display_init());
  }
  void TearDown() override {
    window_close_all();
    gui_end();
    display_shutdown();
  }

  // Window 0 with a 640x480 screen inside, as the game opens it.
  void open_windowed(int width = 640, int height = 480) {
    ASSERT_TRUE(window_open(0, 0, 0, width, height, "test", 0xC80001));
    ASSERT_TRUE(screen_open_windowed(window_handle(0), 0, 0, width, height, 0, 0, 0));
  }

  static uint32_t pixel(int x, int y) {
    const Surface* s = screen_back_buffer();
    uint32_t p = 0;
    std::memcpy(&p,
                s->pixels + (size_t)y * s->pitch + (size_t)x * surface_bytes_per_pixel(s->format),
                (size_t)surface_bytes_per_pixel(s->format));
    return surface_to_argb(p, s->format) & 0xFFFFFF;
  }
  static void put(int x, int y, uint32_t rgb) {
    Surface* s = screen_back_buffer();
    int bpp = surface_bytes_per_pixel(s->format);
    uint32_t p = surface_from_argb(0xFF000000u | rgb, s->format);
    std::memcpy(s->pixels + (size_t)y * s->pitch + (size_t)x * bpp, &p, (size_t)bpp);
  }
  // A w x h sprite under a new number, pixel (i, j) of colour rgb(i, j) (0xRRGGBB),
  // made by drawing into the back buffer and grabbing it.
  template <typename F> static int make_sprite(int w, int h, F rgb) {
    for (int j = 0; j < h; j++)
      for (int i = 0; i < w; i++) put(i, j, rgb(i, j));
    return sprite_grab(-1, 0, 0, w, h);
  }
};
