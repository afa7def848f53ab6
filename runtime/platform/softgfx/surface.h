// A block of pixels in one of the graphics device's formats: the back buffer, a
// texture's level, a system-memory copy. Rows are pitch bytes apart.
#pragma once

#include <cstdint>

// The device's pixel formats, numbered as the runtime has always numbered them.
enum SurfaceFormat {
  FMT_A8R8G8B8 = 21, // bytes B, G, R, A
  FMT_X8R8G8B8 = 22, // bytes B, G, R, unused
  FMT_R5G6B5 = 23,
  FMT_X1R5G5B5 = 24,
  FMT_A1R5G5B5 = 25,
};

struct Surface {
  uint8_t* pixels;
  int width, height;
  int pitch; // bytes from one row to the next
  int format;
};

// 4 for the 32-bit formats, 2 for the 16-bit ones, 0 for anything else.
inline int surface_bytes_per_pixel(int format) {
  switch (format) {
  case FMT_A8R8G8B8:
  case FMT_X8R8G8B8: return 4;
  case FMT_R5G6B5:
  case FMT_X1R5G5B5:
  case FMT_A1R5G5B5: return 2;
  }
  return 0;
}
