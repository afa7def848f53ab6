// A block of pixels in one of the graphics device's formats: the back buffer, a
// texture's level, a system-memory copy. Rows are pitch bytes apart.
#pragma once

#include <cstdint>
#include <cstring>

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
  int locked; // its pixels are handed out by a lock
  int dc_out; // a device context on it is handed out
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

// The pixel value at p, for 4- or 2-byte pixels.
inline uint32_t surface_load(const uint8_t* p, int bytes_per_pixel) {
  if (bytes_per_pixel == 4) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
  }
  uint16_t v;
  std::memcpy(&v, p, 2);
  return v;
}

inline void surface_store(uint8_t* p, int bytes_per_pixel, uint32_t v) {
  if (bytes_per_pixel == 4) {
    std::memcpy(p, &v, 4);
  } else {
    uint16_t h = (uint16_t)v;
    std::memcpy(p, &h, 2);
  }
}

// Largest side of a surface; keeps a damaged size from asking for gigabytes.
const int SURFACE_MAX_SIDE = 16384;

// A zero-filled surface owning its pixels; null for an unknown format, a side
// below 1 or above SURFACE_MAX_SIDE, or no memory.
Surface* surface_create(int width, int height, int format);
// Frees a surface made by surface_create, pixels and all.
void surface_free(Surface* s);

// A colour 0x00BBGGRR, as the runtime's callers give colours, as the devices'
// 0x00RRGGBB, or back again: red and blue change places, the top byte goes.
inline uint32_t surface_swap_red_blue(uint32_t c) {
  return (c & 0xFF) << 16 | (c & 0xFF00) | (c >> 16 & 0xFF);
}

// A pixel of format as 0xAARRGGBB (formats without alpha give alpha 0xFF;
// 5- and 6-bit channels are widened by repeating their top bits).
uint32_t surface_to_argb(uint32_t pixel, int format);
// 0xAARRGGBB as a pixel of format (channels cut to their top bits).
uint32_t surface_from_argb(uint32_t argb, int format);

// Fills the rectangle x, y, width, height (clipped to the surface) with a
// colour given as 0x00RRGGBB.
void surface_fill(Surface* s, int x, int y, int width, int height, uint32_t rgb);
// Blends a colour given as 0x00RRGGBB over every pixel, percent (0-100) of it
// to the rest, rounded to nearest; alpha is kept.
void surface_tint(Surface* s, uint32_t rgb, int percent);
// Copies width x height pixels from src at sx, sy to dst at dx, dy, converting
// between formats, clipped to both surfaces (a bit copy between two device
// contexts); 0 when a format is unknown.
int surface_copy(Surface* dst, int dx, int dy, const Surface* src, int sx, int sy, int width,
                 int height);
