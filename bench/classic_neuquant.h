// The classic integer NeuQuant (three channels, no alpha, no gamma), written
// here as the peer of the quantizer in its benchmark: same picture, same
// sampling factor, so time and PSNR can be set side by side.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

struct ClassicNeuQuant {
  int n;
  int net[256][4]; // b, g, r scaled by 16, then the original index
  int bias[256], freq[256], radpower[32], netindex[256];

  void learn(const uint8_t* px, int pixels, int samplefac) { // px: 4 bytes a pixel
    n = n ? n : 256;
    for (int i = 0; i < n; i++) {
      net[i][0] = net[i][1] = net[i][2] = (i << 12) / n;
      freq[i] = (1 << 16) / n;
      bias[i] = 0;
    }
    const int alphadec = 30 + (samplefac - 1) / 3;
    const int samples = pixels / samplefac;
    int delta = samples / 100;
    if (!delta) delta = 1;
    int alpha = 1024, radius = (n >> 3) << 6, rad = radius >> 6;
    if (rad <= 1) rad = 0;
    set_rad(rad, alpha);
    int step = pixels % 499 ? 499 : pixels % 491 ? 491 : pixels % 487 ? 487 : 503;
    long long pos = 0;
    for (int i = 0; i < samples;) {
      const uint8_t* p = px + pos * 4;
      int b = p[0] << 4, g = p[1] << 4, r = p[2] << 4;
      int j = contest(b, g, r);
      net[j][0] -= alpha * (net[j][0] - b) / 1024;
      net[j][1] -= alpha * (net[j][1] - g) / 1024;
      net[j][2] -= alpha * (net[j][2] - r) / 1024;
      if (rad) neighbours(rad, j, b, g, r);
      pos = (pos + step) % pixels;
      if (++i % delta == 0) {
        alpha -= alpha / alphadec;
        radius -= radius / 30;
        rad = radius >> 6;
        if (rad <= 1) rad = 0;
        set_rad(rad, alpha);
      }
    }
    for (int i = 0; i < n; i++) {
      for (int k = 0; k < 3; k++) net[i][k] = std::min(255, std::max(0, (net[i][k] + 8) >> 4));
      net[i][3] = i;
    }
  }
  void set_rad(int rad, int alpha) {
    for (int i = 0; i < rad; i++) radpower[i] = alpha * (((rad * rad - i * i) * 256) / (rad * rad));
  }
  int contest(int b, int g, int r) {
    int bestd = 1 << 30, bestbiasd = bestd, bestpos = 0, bestbiaspos = 0;
    for (int i = 0; i < n; i++) {
      int dist = abs(net[i][0] - b) + abs(net[i][1] - g) + abs(net[i][2] - r);
      if (dist < bestd) bestd = dist, bestpos = i;
      int biasdist = dist - (bias[i] >> 12);
      if (biasdist < bestbiasd) bestbiasd = biasdist, bestbiaspos = i;
      int betafreq = freq[i] >> 10;
      freq[i] -= betafreq;
      bias[i] += betafreq << 10;
    }
    freq[bestpos] += 64;
    bias[bestpos] -= 65536;
    return bestbiaspos;
  }
  void neighbours(int rad, int i, int b, int g, int r) {
    int lo = std::max(i - rad, -1), hi = std::min(i + rad, n), j = i + 1, k = i - 1, m = 1;
    while (j < hi || k > lo) {
      int a = radpower[m++];
      for (int* q : {j < hi ? net[j++] : nullptr, k > lo ? net[k--] : nullptr})
        if (q) {
          q[0] -= a * (q[0] - b) / (1 << 18);
          q[1] -= a * (q[1] - g) / (1 << 18);
          q[2] -= a * (q[2] - r) / (1 << 18);
        }
    }
  }
  // Nearest entry by the sum of absolute differences (a full search suffices here).
  int map(int b, int g, int r) const {
    int best = 1 << 30, index = 0;
    for (int i = 0; i < n; i++) {
      int d = abs(net[i][0] - b) + abs(net[i][1] - g) + abs(net[i][2] - r);
      if (d < best) best = d, index = i;
    }
    return index;
  }
};
