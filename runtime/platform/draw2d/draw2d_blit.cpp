#include "runtime/platform/draw2d/draw2d_internal.h"

#include <algorithm>
#include <cstdint>

// Writes one source colour to a destination pixel, by copy or exclusive-or.
static inline void put(const Surface* d, int bpp, uint8_t* p, D2dColour c, int rop) {
  uint32_t v = d2d_native(d->format, c);
  if (rop == D2D_SRCINVERT) v = surface_load(p, bpp) ^ (v & d2d_colour_bits(d->format));
  surface_store(p, bpp, v);
}

// The destination pixels [x0, x1) x [y0, y1) of a w by h target rectangle at
// (x, y), clipped to the surface; false when none is left.
static bool clip_target(const Surface* d, int64_t x, int64_t y, int64_t w, int64_t h, int* x0,
                        int* y0, int* x1, int* y1) {
  if (w <= 0 || h <= 0) return false;
  *x0 = (int)std::max<int64_t>(x, 0);
  *y0 = (int)std::max<int64_t>(y, 0);
  *x1 = (int)std::min<int64_t>(x + w, d->width);
  *y1 = (int)std::min<int64_t>(y + h, d->height);
  return *x0 < *x1 && *y0 < *y1;
}

int d2d_bit_copy(D2dDc* dc, int x, int y, int w, int h, const Surface* src, int sx, int sy,
                 int rop) {
  if (!d2d_surface_ok(src)) return 0;
  // The target shrinks to the part of the source that exists.
  int64_t lx = std::max<int64_t>(0, -(int64_t)sx), ly = std::max<int64_t>(0, -(int64_t)sy);
  int64_t cw = std::min<int64_t>(w, (int64_t)src->width - sx);
  int64_t ch = std::min<int64_t>(h, (int64_t)src->height - sy);
  if (cw <= lx || ch <= ly) return 1;
  const Surface* d = &dc->surface;
  int x0, y0, x1, y1;
  if (!clip_target(d, (int)(x + lx), (int)(y + ly), (int)(cw - lx), (int)(ch - ly), &x0, &y0, &x1,
                   &y1))
    return 1;
  int bpp = surface_bytes_per_pixel(d->format);
  bool same = rop == D2D_SRCCOPY && src->format == d->format;
  // Within one surface, walk away from the source so no pixel is read after it was written.
  bool overlap = src->pixels == d->pixels;
  bool up = overlap && sy < y, left = overlap && sy == y && sx < x;
  for (int n = 0; n < y1 - y0; n++) {
    int j = up ? y1 - 1 - n : y0 + n;
    int srow = sy + (j - y);
    if (same) {
      std::memmove(d2d_at(d, x0, j), d2d_at(src, sx + (x0 - x), srow), (size_t)(x1 - x0) * bpp);
      continue;
    }
    for (int m = 0; m < x1 - x0; m++) {
      int i = left ? x1 - 1 - m : x0 + m;
      put(d, bpp, d2d_at(d, i, j), d2d_colour_at(src, sx + (i - x), srow), rop);
    }
  }
  return 1;
}

// The source pixels under destination column i of n: [*a, *b) of the source's sn.
static void cover(int64_t i, int64_t n, int64_t sn, int64_t* a, int64_t* b) {
  *a = i * sn / n;
  *b = ((i + 1) * sn + n - 1) / n;
  if (*b <= *a) *b = *a + 1;
}

int d2d_stretch(D2dDc* dc, int x, int y, int w, int h, const Surface* src, int sx, int sy, int sw,
                int sh, int rop, int mode) {
  if (!d2d_surface_ok(src) || sw <= 0 || sh <= 0) return 0;
  if (w == sw && h == sh) return d2d_bit_copy(dc, x, y, w, h, src, sx, sy, rop);
  // A negative size mirrors: the target then reaches back from x to x + w + 1.
  const bool flip_x = w < 0, flip_y = h < 0;
  const int64_t left = flip_x ? (int64_t)x + w + 1 : x, top = flip_y ? (int64_t)y + h + 1 : y;
  const int64_t width = flip_x ? -(int64_t)w : w, height = flip_y ? -(int64_t)h : h;
  const Surface* d = &dc->surface;
  int x0, y0, x1, y1;
  if (!clip_target(d, left, top, width, height, &x0, &y0, &x1, &y1)) return 1;
  int bpp = surface_bytes_per_pixel(d->format);
  for (int j = y0; j < y1; j++) {
    int64_t b0, b1;
    cover(flip_y ? top + height - 1 - j : j - top, height, sh, &b0, &b1);
    for (int i = x0; i < x1; i++) {
      int64_t a0, a1;
      cover(flip_x ? left + width - 1 - i : i - left, width, sw, &a0, &a1);
      if (mode == D2D_STRETCH_NEAREST) a1 = a0 + 1, b1 = b0 + 1;
      // Pixels outside the source do not count; none at all leaves the target alone.
      uint32_t sum[3] = {0, 0, 0}, count = 0;
      for (int64_t v = std::max<int64_t>(b0 + sy, 0); v < std::min<int64_t>(b1 + sy, src->height);
           v++)
        for (int64_t u = std::max<int64_t>(a0 + sx, 0); u < std::min<int64_t>(a1 + sx, src->width);
             u++) {
          D2dColour c = d2d_colour_at(src, (int)u, (int)v);
          sum[0] += c & 0xFF, sum[1] += (c >> 8) & 0xFF, sum[2] += (c >> 16) & 0xFF;
          count++;
        }
      if (!count) continue;
      D2dColour c = (sum[0] + count / 2) / count | ((sum[1] + count / 2) / count) << 8 |
                    ((sum[2] + count / 2) / count) << 16;
      put(d, bpp, d2d_at(d, i, j), c, rop);
    }
  }
  return 1;
}

static inline uint32_t div255(uint32_t v) { return (v + 1 + (v >> 8)) >> 8; }

int d2d_alpha_blend(D2dDc* dc, int x, int y, int w, int h, const Surface* src, int sx, int sy,
                    int sw, int sh, int alpha, int per_pixel) {
  if (!d2d_surface_ok(src) || sw <= 0 || sh <= 0) return 0;
  if (per_pixel && surface_bytes_per_pixel(src->format) != 4) return 0;
  if (alpha <= 0) return 1;
  if (alpha > 255) alpha = 255;
  const Surface* d = &dc->surface;
  int x0, y0, x1, y1;
  if (!clip_target(d, x, y, w, h, &x0, &y0, &x1, &y1)) return 1;
  int bpp = surface_bytes_per_pixel(d->format);
  for (int j = y0; j < y1; j++) {
    int64_t v = sy + (int64_t)(j - y) * sh / h;
    if (v < 0 || v >= src->height) continue;
    for (int i = x0; i < x1; i++) {
      int64_t u = sx + (int64_t)(i - x) * sw / w;
      if (u < 0 || u >= src->width) continue;
      const uint8_t* desc = d2d_at(src, (int)u, (int)v);
      D2dColour sc = d2d_colour_at(src, (int)u, (int)v);
      // Source colours are premultiplied; the constant alpha scales colour and alpha alike.
      uint32_t a = per_pixel ? div255(desc[3] * (uint32_t)alpha) : (uint32_t)alpha;
      uint8_t* dp = d2d_at(d, i, j);
      D2dColour dc_ = d2d_colour_of(d->format, surface_load(dp, bpp));
      D2dColour out = 0;
      for (int k = 0; k < 24; k += 8) {
        uint32_t s = (sc >> k) & 0xFF, t = (dc_ >> k) & 0xFF;
        uint32_t r =
            per_pixel ? div255(s * alpha) + div255(t * (255 - a)) : div255(s * a + t * (255 - a));
        out |= std::min<uint32_t>(r, 255) << k;
      }
      surface_store(dp, bpp, d2d_native(d->format, out));
    }
  }
  return 1;
}
