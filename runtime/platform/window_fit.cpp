#include "runtime/platform/plat_window.h"

#include <algorithm>
#include <vector>

PlatRect plat_fit_frame(int src_w, int src_h, int dst_w, int dst_h, int fit) {
  if (src_w < 1 || src_h < 1 || dst_w < 1 || dst_h < 1) return {0, 0, dst_w, dst_h};
  int scale = std::min(dst_w / src_w, dst_h / src_h);
  int w, h;
  if (fit == PLAT_FIT_WHOLE ? scale >= 1 : fit == PLAT_FIT_AUTO && scale >= 2) {
    // Whole factors keep every source pixel the same size on the screen.
    w = src_w * scale;
    h = src_h * scale;
  } else if ((long long)dst_w * src_h <= (long long)dst_h * src_w) {
    w = dst_w;
    h = (int)((long long)src_h * dst_w / src_w);
  } else {
    w = (int)((long long)src_w * dst_h / src_h);
    h = dst_h;
  }
  // An area 1 pixel wide or high still shows a pixel of the picture: an empty
  // one could not be presented at all.
  w = std::max(w, 1);
  h = std::max(h, 1);
  return {(dst_w - w) / 2, (dst_h - h) / 2, w, h};
}

namespace {
// Where one output column (or row) takes its colour: source pixels s0 and s1,
// s1 weighing w/256.
struct Tap {
  int s0, s1, w;
};

// The taps of `out` output pixels showing `in` source pixels: sampled at pixel
// centres from the source scaled up by k, the least whole number that makes it
// at least `out` wide, with linear weights between neighbours. Where out is a
// whole multiple of in, every sample falls on one source pixel (nearest).
std::vector<Tap> taps(int in, int out) {
  std::vector<Tap> t((size_t)out);
  long long k = (out + in - 1) / in, big = k * in;
  for (int j = 0; j < out; j++) {
    // The centre of output pixel j, in pixels of the big picture, times 2*out.
    long long at = (2LL * j + 1) * big - out;
    long long i0 = at / (2LL * out), rest = at % (2LL * out);
    int w = (int)((rest * 256 + out) / (2LL * out));
    if (w == 256) i0++, w = 0;
    long long i1 = std::min(i0 + 1, big - 1);
    int s0 = (int)(i0 / k), s1 = (int)(i1 / k);
    t[(size_t)j] = {s0, s1, s0 == s1 ? 0 : w};
  }
  return t;
}

// a and b (X8R8G8B8) mixed, b weighing w/256, each channel rounded to nearest.
inline uint32_t mix(uint32_t a, uint32_t b, int w) {
  uint32_t v = (uint32_t)(256 - w);
  uint32_t rb = ((a & 0xFF00FF) * v + (b & 0xFF00FF) * (uint32_t)w + 0x800080) >> 8 & 0xFF00FF;
  uint32_t g = ((a & 0xFF00) * v + (b & 0xFF00) * (uint32_t)w + 0x8000) >> 8 & 0xFF00;
  return rb | g;
}

inline const uint32_t* row_of(const Surface* s, int x, int y) {
  return (const uint32_t*)(s->pixels + (size_t)y * s->pitch) + x;
}
} // namespace

int plat_scale_frame(Surface* out, const PlatRect* to, const Surface* frame, const PlatRect* src) {
  if (surface_bytes_per_pixel(out->format) != 4 || surface_bytes_per_pixel(frame->format) != 4)
    return 0;
  if (src->x < 0 || src->y < 0 || src->width < 1 || src->height < 1 ||
      src->x + src->width > frame->width || src->y + src->height > frame->height || to->width < 1 ||
      to->height < 1)
    return 0;
  int x0 = std::max(0, to->x), x1 = std::min(out->width, to->x + to->width);
  int y0 = std::max(0, to->y), y1 = std::min(out->height, to->y + to->height);
  int mx = to->width / src->width, my = to->height / src->height;
  if (mx * src->width == to->width && my * src->height == to->height && x0 == to->x &&
      y0 == to->y && x1 == to->x + to->width && y1 == to->y + to->height) {
    // Whole multiples, unclipped (every frame of a window or full screen at 1x,
    // 2x, ...): each source row drawn once, then copied down.
    size_t bytes = sizeof(uint32_t) * (size_t)to->width;
    for (int sy = 0; sy < src->height; sy++) {
      const uint32_t* s = row_of(frame, src->x, src->y + sy);
      uint8_t* first = out->pixels + (size_t)(to->y + sy * my) * out->pitch;
      uint32_t* o = (uint32_t*)first + to->x;
      if (mx == 1) {
        std::memcpy(o, s, bytes);
      } else {
        for (int sx = 0; sx < src->width; sx++)
          for (int i = 0; i < mx; i++) *o++ = s[sx];
      }
      for (int i = 1; i < my; i++)
        std::memcpy(first + (size_t)i * out->pitch + 4 * (size_t)to->x, first + 4 * (size_t)to->x,
                    bytes);
    }
    return 1;
  }
  std::vector<Tap> across = taps(src->width, to->width), down = taps(src->height, to->height);
  std::vector<uint32_t> mixed((size_t)src->width); // a row between two source rows
  const uint32_t* last = nullptr;                  // the output row drawn last, to repeat it
  const Tap* last_tap = nullptr;
  for (int y = y0; y < y1; y++) {
    const Tap& d = down[(size_t)(y - to->y)];
    uint32_t* o = (uint32_t*)(out->pixels + (size_t)y * out->pitch);
    if (last && last_tap->s0 == d.s0 && last_tap->s1 == d.s1 && last_tap->w == d.w) {
      std::memcpy(o + x0, last + x0, sizeof(uint32_t) * (size_t)(x1 - x0));
      continue;
    }
    // Down first, once for each source column; then across.
    const uint32_t* row = row_of(frame, src->x, src->y + d.s0);
    if (d.w) {
      const uint32_t* below = row_of(frame, src->x, src->y + d.s1);
      for (int sx = 0; sx < src->width; sx++) mixed[(size_t)sx] = mix(row[sx], below[sx], d.w);
      row = mixed.data();
    }
    for (int x = x0; x < x1; x++) {
      const Tap& a = across[(size_t)(x - to->x)];
      o[x] = a.w ? mix(row[a.s0], row[a.s1], a.w) : row[a.s0];
    }
    last = o;
    last_tap = &d;
  }
  return 1;
}
