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
  // Nearest entry by the sum of absolute differences, searching every entry
  // (what earlier notes compared against: not how the classic algorithm maps).
  int map_full(int b, int g, int r) const {
    int best = 1 << 30, index = 0;
    for (int i = 0; i < n; i++) {
      int d = abs(net[i][0] - b) + abs(net[i][1] - g) + abs(net[i][2] - r);
      if (d < best) best = d, index = i;
    }
    return index;
  }

  // The classic index: the entries sorted on green (a copy, so net keeps its
  // order) and, for each green value, where the search starts.
  int sorted[256][4];
  void build_index() {
    std::copy(&net[0][0], &net[0][0] + 256 * 4, &sorted[0][0]);
    int previous = 0, start = 0;
    for (int i = 0; i < n; i++) {
      int smallest = i;
      for (int j = i + 1; j < n; j++)
        if (sorted[j][1] < sorted[smallest][1]) smallest = j;
      for (int k = 0; k < 4; k++) std::swap(sorted[i][k], sorted[smallest][k]);
      if (sorted[i][1] != previous) {
        netindex[previous] = (start + i) >> 1;
        for (int j = previous + 1; j < sorted[i][1]; j++) netindex[j] = i;
        previous = sorted[i][1];
        start = i;
      }
    }
    netindex[previous] = (start + n - 1) >> 1;
    for (int j = previous + 1; j < 256; j++) netindex[j] = n - 1;
  }
  // The classic search: outwards from the green value, each side stopping once
  // its green difference alone is no better than the best sum so far.
  int map(int b, int g, int r) const {
    int best_d = 1000, best = 0, i = netindex[g], j = i - 1;
    auto visit = [&](const int* p) {
      int d = abs(p[1] - g) + abs(p[0] - b);
      if (d < best_d && (d += abs(p[2] - r)) < best_d) best_d = d, best = p[3];
    };
    while (i < n || j >= 0) {
      if (i < n) {
        if (sorted[i][1] - g >= best_d)
          i = n;
        else
          visit(sorted[i++]);
      }
      if (j >= 0) {
        if (g - sorted[j][1] >= best_d)
          j = -1;
        else
          visit(sorted[j--]);
      }
    }
    return best;
  }
};

// The mapping cache of our quantizer (1024 slots, the same hash), given to the
// classic peer so that both map through the same cache.
struct MapCache {
  uint32_t pixel[1024];
  uint8_t index[1024];
  uint8_t used[1024] = {};
  template <typename Map> int lookup(const uint8_t* p, Map map) {
    uint32_t key = p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
    uint32_t slot = (key * 2654435761u) >> 22;
    if (!used[slot] || pixel[slot] != key) {
      pixel[slot] = key;
      index[slot] = (uint8_t)map(p);
      used[slot] = 1;
    }
    return index[slot];
  }
};
