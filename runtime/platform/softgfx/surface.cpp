#include "runtime/platform/softgfx/surface.h"

#include <cstdlib>
#include <cstring>

Surface* surface_create(int width, int height, int format) {
  int bpp = surface_bytes_per_pixel(format);
  if (!bpp || width < 1 || height < 1 || width > SURFACE_MAX_SIDE || height > SURFACE_MAX_SIDE)
    return nullptr;
  Surface* s = (Surface*)calloc(1, sizeof(Surface));
  if (!s) return nullptr;
  // Rows start on 16-byte boundaries (malloc's alignment), for wide loads and
  // stores. calloc: memory fresh from the system is not cleared a second time.
  int pitch = (width * bpp + 15) & ~15;
  s->pixels = (uint8_t*)calloc((size_t)pitch, (size_t)height);
  if (!s->pixels) {
    free(s);
    return nullptr;
  }
  s->width = width;
  s->height = height;
  s->pitch = pitch;
  s->format = format;
  return s;
}

void surface_free(Surface* s) {
  if (!s) return;
  free(s->pixels);
  free(s);
}

static uint32_t widen5(uint32_t c) { return (c << 3) | (c >> 2); }
static uint32_t widen6(uint32_t c) { return (c << 2) | (c >> 4); }

uint32_t surface_to_argb(uint32_t p, int format) {
  switch (format) {
  case FMT_A8R8G8B8: return p;
  case FMT_X8R8G8B8: return p | 0xFF000000u;
  case FMT_R5G6B5:
    return 0xFF000000u | widen5((p >> 11) & 31) << 16 | widen6((p >> 5) & 63) << 8 | widen5(p & 31);
  case FMT_X1R5G5B5:
  case FMT_A1R5G5B5: {
    uint32_t a = (format == FMT_X1R5G5B5 || (p & 0x8000)) ? 0xFF000000u : 0;
    return a | widen5((p >> 10) & 31) << 16 | widen5((p >> 5) & 31) << 8 | widen5(p & 31);
  }
  }
  return 0;
}

uint32_t surface_from_argb(uint32_t c, int format) {
  uint32_t r = (c >> 16) & 0xFF, g = (c >> 8) & 0xFF, b = c & 0xFF;
  switch (format) {
  case FMT_A8R8G8B8: return c;
  case FMT_X8R8G8B8: return c & 0xFFFFFF;
  case FMT_R5G6B5: return (r >> 3) << 11 | (g >> 2) << 5 | b >> 3;
  case FMT_X1R5G5B5: return (r >> 3) << 10 | (g >> 3) << 5 | b >> 3;
  case FMT_A1R5G5B5: return (c >> 31) << 15 | (r >> 3) << 10 | (g >> 3) << 5 | b >> 3;
  }
  return 0;
}

// Four pixels a store: a caption box is 60,000 pixels every frame.
static void fill_row_32(uint8_t* p, int n, uint32_t v) {
  typedef uint32_t u32x4 __attribute__((vector_size(16)));
  u32x4 four = {v, v, v, v};
  int i = 0;
  for (; i + 4 <= n; i += 4) std::memcpy(p + 4 * (size_t)i, &four, 16);
  for (; i < n; i++) std::memcpy(p + 4 * (size_t)i, &v, 4);
}

void surface_fill(Surface* s, int x, int y, int width, int height, uint32_t rgb) {
  int bpp = surface_bytes_per_pixel(s->format);
  if (!bpp) return;
  int x0 = x < 0 ? 0 : x, y0 = y < 0 ? 0 : y;
  int64_t x1 = (int64_t)x + width, y1 = (int64_t)y + height;
  if (x1 > s->width) x1 = s->width;
  if (y1 > s->height) y1 = s->height;
  if (x0 >= x1 || y0 >= y1) return;
  uint32_t v = surface_from_argb(0xFF000000u | rgb, s->format);
  for (int row = y0; row < y1; row++) {
    uint8_t* p = s->pixels + (size_t)row * s->pitch + (size_t)x0 * bpp;
    if (bpp == 4) {
      fill_row_32(p, (int)(x1 - x0), v);
    } else {
      uint16_t* q = (uint16_t*)p;
      for (int i = 0; i < x1 - x0; i++) q[i] = (uint16_t)v;
    }
  }
}

// Formats whose pixels copy byte for byte (an alpha bit or byte becomes the
// unused one and back).
static int same_layout(int a, int b) {
  auto base = [](int f) {
    return f == FMT_A8R8G8B8 ? FMT_X8R8G8B8 : f == FMT_A1R5G5B5 ? FMT_X1R5G5B5 : f;
  };
  return base(a) == base(b);
}

int surface_copy(Surface* dst, int dx, int dy, const Surface* src, int sx, int sy, int width,
                 int height) {
  int dbpp = surface_bytes_per_pixel(dst->format), sbpp = surface_bytes_per_pixel(src->format);
  if (!dbpp || !sbpp) return 0;
  // Clip the rectangle against both surfaces, moving both corners together.
  if (sx < 0) {
    width += sx;
    dx -= sx;
    sx = 0;
  }
  if (sy < 0) {
    height += sy;
    dy -= sy;
    sy = 0;
  }
  if (dx < 0) {
    width += dx;
    sx -= dx;
    dx = 0;
  }
  if (dy < 0) {
    height += dy;
    sy -= dy;
    dy = 0;
  }
  if (width > src->width - sx) width = src->width - sx;
  if (width > dst->width - dx) width = dst->width - dx;
  if (height > src->height - sy) height = src->height - sy;
  if (height > dst->height - dy) height = dst->height - dy;
  if (width <= 0 || height <= 0) return 1;

  for (int row = 0; row < height; row++) {
    const uint8_t* s = src->pixels + (size_t)(sy + row) * src->pitch + (size_t)sx * sbpp;
    uint8_t* d = dst->pixels + (size_t)(dy + row) * dst->pitch + (size_t)dx * dbpp;
    if (same_layout(src->format, dst->format)) {
      std::memmove(d, s, (size_t)width * sbpp);
      continue;
    }
    for (int i = 0; i < width; i++)
      surface_store(
          d + i * dbpp, dbpp,
          surface_from_argb(surface_to_argb(surface_load(s + i * sbpp, sbpp), src->format),
                            dst->format));
  }
  return 1;
}

void surface_tint(Surface* s, uint32_t rgb, int percent) {
  int bpp = surface_bytes_per_pixel(s->format);
  if (!bpp || percent <= 0) return;
  if (percent > 100) percent = 100;
  for (int row = 0; row < s->height; row++) {
    uint8_t* p = s->pixels + (size_t)row * s->pitch;
    for (int i = 0; i < s->width; i++, p += bpp) {
      uint32_t argb = surface_to_argb(surface_load(p, bpp), s->format);
      uint32_t out = argb & 0xFF000000u;
      for (int shift = 0; shift < 24; shift += 8) {
        uint32_t was = argb >> shift & 0xFF, over = rgb >> shift & 0xFF;
        out |= (was * (100 - percent) + over * percent + 50) / 100 << shift;
      }
      surface_store(p, bpp, surface_from_argb(out, s->format));
    }
  }
}
