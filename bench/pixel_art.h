// A 640 x 480 stand-in for the game's art: 160 x 120 cells scaled by four,
// in hues with smooth shades (20 hues x 16 shades), 32-bit B, G, R, A, bottom row first.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

inline std::vector<uint8_t> pixel_art(int depth) {
  const int w = 640, h = 480, bytes = depth / 8, row = (w * bytes + 3) & ~3;
  const int hues = 20, shades = 16;
  std::vector<uint8_t> px((size_t)row * h, 0);
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++) {
      int cx = x / 4, cy = y / 4;
      int hue = (cx / 20 + (cy / 15) * 3) % hues;
      int shade = (int)((std::sin(cx * 0.3) + std::cos(cy * 0.25) + 2) / 4 * shades);
      if (shade >= shades) shade = shades - 1;
      double t = (shade + 1.0) / shades;
      uint8_t* p = &px[(size_t)(h - 1 - y) * row + (size_t)x * bytes];
      p[0] = (uint8_t)(t * ((hue * 97) % 256));
      p[1] = (uint8_t)(t * ((hue * 57 + 80) % 256));
      p[2] = (uint8_t)(t * ((hue * 151 + 30) % 256));
      if (bytes == 4) p[3] = 255;
    }
  return px;
}
