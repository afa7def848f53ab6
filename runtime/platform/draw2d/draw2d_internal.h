// What the files of the 2D layer share: pixel access by format, raster
// operations on spans, and the font records with their glyph caches.
#pragma once

#include "runtime/platform/draw2d/draw2d.h"

#include <cstddef>
#include <cstring>
#include <vector>

// Surfaces with null pixels, an unknown format or a pitch shorter than a row are refused.
inline int d2d_surface_ok(const Surface* s) {
  if (!s || !s->pixels || s->width <= 0 || s->height <= 0) return 0;
  int bpp = surface_bytes_per_pixel(s->format);
  if (!bpp) return 0;
  long long row = (long long)s->width * bpp;
  long long pitch = s->pitch < 0 ? -(long long)s->pitch : s->pitch;
  return pitch >= row;
}

inline uint8_t* d2d_at(const Surface* s, int x, int y) {
  return s->pixels + (ptrdiff_t)y * s->pitch + (ptrdiff_t)x * surface_bytes_per_pixel(s->format);
}

// The pixel value of a colour. Alpha formats get opaque pixels: what is drawn is meant to show.
inline uint32_t d2d_native(int format, D2dColour c) {
  uint32_t r = c & 0xFF, g = (c >> 8) & 0xFF, b = (c >> 16) & 0xFF;
  switch (format) {
  case FMT_A8R8G8B8:
  case FMT_X8R8G8B8: return 0xFF000000u | r << 16 | g << 8 | b;
  case FMT_R5G6B5: return (r >> 3) << 11 | (g >> 2) << 5 | (b >> 3);
  case FMT_X1R5G5B5:
  case FMT_A1R5G5B5: return 0x8000u | (r >> 3) << 10 | (g >> 3) << 5 | (b >> 3);
  }
  return 0;
}

// The colour bits of a pixel value; raster operations and comparisons touch only these.
inline uint32_t d2d_colour_bits(int format) {
  switch (format) {
  case FMT_A8R8G8B8:
  case FMT_X8R8G8B8: return 0x00FFFFFF;
  case FMT_R5G6B5: return 0xFFFF;
  }
  return 0x7FFF;
}

// The colour of a pixel value, low bits filled from the high ones so white stays white.
inline D2dColour d2d_colour_of(int format, uint32_t v) {
  return surface_swap_red_blue(surface_to_argb(v, format));
}

// The colour of the pixel at x, y (inside the surface).
inline D2dColour d2d_colour_at(const Surface* s, int x, int y) {
  return d2d_colour_of(s->format,
                       surface_load(d2d_at(s, x, y), surface_bytes_per_pixel(s->format)));
}

// Paints pixels x0 to x1 - 1 of row y with a pixel value, copying or by
// exclusive-or, clipped to the surface.
void d2d_span(const Surface* s, int y, int x0, int x1, uint32_t value, int rop2);

// Fonts.
struct D2dGlyph {
  int ready;
  int left, top;                 // the bitmap's top-left from the pen position, y down
  int width, height;             // of the coverage bitmap
  int adv_x, adv_y;              // pen movement in 1/64 pixel, y down
  std::vector<uint8_t> coverage; // width * height, 0-255
};

struct D2dFontFace; // the FreeType side of a font

struct D2dFont {
  int handle;
  D2dFontDesc desc;
  D2dFontFace* face; // null: the built-in bitmap font
  int scale;         // built-in font: the size of its pixels
  int ascent, descent;
  int rotated; // escapement not a multiple of 360 degrees
  double cos_a, sin_a;
  int underline_pos, underline_size; // below the baseline, pixels
  int strike_pos, strike_size;       // above the baseline, pixels
  D2dGlyph glyphs[256];              // by byte of the text, rendered on first use
};

// The font of a handle; the system font for handles that are gone.
D2dFont* d2d_font_get(int handle);
// The rendered glyph of one byte of text.
const D2dGlyph* d2d_glyph(D2dFont* font, uint8_t byte);

// The built-in font: cell and bitmap of one character at scale 1.
enum { SYSFONT_CELL_W = 6, SYSFONT_CELL_H = 10, SYSFONT_ASCENT = 8 };
// Renders byte at the font's scale and rotation into g.
void sysfont_render(const D2dFont* font, uint8_t byte, D2dGlyph* g);
