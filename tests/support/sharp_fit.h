// What a picture shown larger or smaller than itself should look like. The
// reference, worked out in floating point: along a side where the new size is a
// whole multiple, each pixel a block; along any other, the picture first taken
// to the least whole multiple at least that size, nearest, then linearly to
// size, sampled at pixel centres. The runtime's scaler rounds each mix to the
// nearest step, so it keeps within a step of the reference; its exact pixels
// are pinned by the fit's own tests, and the windows that show a frame must
// show exactly those.
#pragma once

#include "runtime/platform/plat_window.h"
#include "runtime/platform/softgfx/surface.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace sharp_fit {

struct Sample {
  int s0, s1; // the two source pixels
  double f;   // how much s1 counts
};

// Where output pixel j of out takes its colour from a side of in pixels.
inline Sample sample(int in, int out, int j) {
  int k = (out + in - 1) / in, big = k * in;
  double at = (j + 0.5) * big / out - 0.5;
  int i0 = (int)std::floor(at);
  double f = at - i0;
  int i1 = std::min(i0 + 1, big - 1);
  return {i0 / k, i1 / k, f};
}

inline double channel(uint32_t c, int shift) { return (c >> shift) & 0xFF; }

// The pixels (0xRRGGBB, top row first) of a sw x sh picture shown at tw x th,
// each channel within `tolerance` of the reference value, that are not; -1 when
// shown is not tw x th.
inline int pixels_off_reference(const std::vector<uint32_t>& source, int sw, int sh,
                                const std::vector<uint32_t>& shown, int tw, int th, int tolerance) {
  if (shown.size() != (size_t)tw * th || source.size() != (size_t)sw * sh) return -1;
  int unlike = 0;
  for (int y = 0; y < th; y++) {
    Sample v = sample(sh, th, y);
    for (int x = 0; x < tw; x++) {
      Sample u = sample(sw, tw, x);
      uint32_t c00 = source[(size_t)v.s0 * sw + u.s0], c01 = source[(size_t)v.s0 * sw + u.s1],
               c10 = source[(size_t)v.s1 * sw + u.s0], c11 = source[(size_t)v.s1 * sw + u.s1];
      uint32_t got = shown[(size_t)y * tw + x];
      for (int shift : {0, 8, 16}) {
        double top = channel(c00, shift) * (1 - u.f) + channel(c01, shift) * u.f;
        double bottom = channel(c10, shift) * (1 - u.f) + channel(c11, shift) * u.f;
        double want = top * (1 - v.f) + bottom * v.f;
        if (std::abs(channel(got, shift) - want) > tolerance) {
          unlike++;
          break;
        }
      }
    }
  }
  return unlike;
}

// The runtime's scaler's picture of a sw x sh picture at tw x th (0xRRGGBB,
// top row first); empty when it refuses.
inline std::vector<uint32_t> scaled(const std::vector<uint32_t>& source, int sw, int sh, int tw,
                                    int th) {
  std::vector<uint32_t> out;
  Surface* from = surface_create(sw, sh, FMT_X8R8G8B8);
  Surface* to = surface_create(tw, th, FMT_X8R8G8B8);
  if (from && to && source.size() == (size_t)sw * sh) {
    for (int y = 0; y < sh; y++)
      std::memcpy(from->pixels + (size_t)y * from->pitch, &source[(size_t)y * sw], 4 * (size_t)sw);
    PlatRect all = {0, 0, sw, sh}, at = {0, 0, tw, th};
    if (plat_scale_frame(to, &at, from, &all))
      for (int y = 0; y < th; y++)
        for (int x = 0; x < tw; x++)
          out.push_back(((const uint32_t*)(to->pixels + (size_t)y * to->pitch))[x] & 0xFFFFFF);
  }
  surface_free(from);
  surface_free(to);
  return out;
}

// The pixels of shown (0xRRGGBB, top row first) that are not exactly what the
// runtime's scaler makes of a sw x sh picture at tw x th; -1 when shown is not
// tw x th.
inline int pixels_unlike(const std::vector<uint32_t>& source, int sw, int sh,
                         const std::vector<uint32_t>& shown, int tw, int th) {
  std::vector<uint32_t> want = scaled(source, sw, sh, tw, th);
  if (shown.size() != (size_t)tw * th || want.size() != shown.size()) return -1;
  int unlike = 0;
  for (size_t i = 0; i < want.size(); i++) unlike += (shown[i] & 0xFFFFFF) != want[i];
  return unlike;
}

} // namespace sharp_fit
