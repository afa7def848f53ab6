// What a picture shown larger or smaller than itself should look like, worked
// out in floating point: along a side where the new size is a whole multiple,
// each pixel a block; along any other, the picture first taken to the least
// whole multiple at least that size, nearest, then linearly to size, sampled at
// pixel centres.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
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
inline int pixels_unlike(const std::vector<uint32_t>& source, int sw, int sh,
                         const std::vector<uint32_t>& shown, int tw, int th, int tolerance = 2) {
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

} // namespace sharp_fit
