// The colour quantizer: palettes, packing, transparency and dithering.
#include "runtime/image/quantizer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <vector>

namespace {

// 32-bit B, G, R, A pixels, rows width * 4 bytes apart.
struct Picture {
  int width, height;
  std::vector<uint8_t> px;
  Picture(int w, int h) : width(w), height(h), px((size_t)w * h * 4, 0) {}
  uint8_t* at(int x, int y) { return &px[((size_t)y * width + x) * 4]; }
  void set(int x, int y, uint32_t bgra) {
    for (int k = 0; k < 4; k++) at(x, y)[k] = (uint8_t)(bgra >> (8 * k));
  }
  Quantizer* quantize(int depth, int options = 7) {
    return quantizer_create(px.data(), width, height, 32, width * 4, depth, options);
  }
};

int index_at(const uint8_t* row, int x, int depth) {
  int bit = x * depth;
  int v = (row[bit / 8] << 8 | row[bit / 8 + 1]) >> (16 - depth - bit % 8);
  return v & ((1 << depth) - 1);
}

// Many colours, so that the palette is learned rather than copied.
Picture gradient(int w, int h) {
  Picture p(w, h);
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++)
      p.set(x, y,
            0xFF000000u | (uint32_t)(x * 255 / (w - 1)) << 16 | (uint32_t)(y * 255 / (h - 1)) << 8 |
                60);
  return p;
}

// A hash (FNV-1a) of a quantizer's palette and every packed row.
uint64_t result_hash(Quantizer* q, int width, int height, int depth) {
  uint64_t h = 14695981039346656037ull;
  auto add = [&h](const uint8_t* p, size_t n) {
    for (size_t i = 0; i < n; i++) h = (h ^ p[i]) * 1099511628211ull;
  };
  add(quantizer_palette(q), 4u << depth);
  for (int y = 0; y < height; y++) add(quantizer_row(q, y), ((size_t)width * depth + 7) / 8);
  return h;
}

} // namespace

// What the quantizer gives is pinned, so that making it faster cannot change
// it: the palettes and indexes of a picture of many colours, opaque,
// translucent and clear, both above the size that is sampled (every second
// pixel here) and below it, with and without dithering.
TEST(Quantizer, ResultsStayAsPinned) {
  auto busy = [](int w, int h) {
    Picture p(w, h);
    for (int y = 0; y < h; y++)
      for (int x = 0; x < w; x++) {
        const int zone = (x / 80 + y / 60) % 5;
        const uint32_t a = zone == 0 ? 0 : zone == 1 ? 128 + (x & 127) : 255;
        p.set(x, y,
              a << 24 | (uint32_t)((x * y / 64) & 255) << 16 | (uint32_t)(y * 255 / (h - 1)) << 8 |
                  (uint32_t)(x * 255 / (w - 1)));
      }
    return p;
  };
  const struct {
    int width, height, depth, options;
    uint64_t hash;
  } cases[] = {
      {640, 480, 1, 7, 17623168904511682002ull},
      {640, 480, 2, 7, 17298281758920937584ull},
      {640, 480, 4, 7, 16825673228227449632ull},
      {640, 480, 8, 7, 6890657568406073070ull},
      {200, 150, 2, 7, 13827759564221193017ull},
      {200, 150, 4, QUANT_DITHER, 5769738201838497536ull},
      {200, 150, 8, QUANT_DITHER, 5216391766649420111ull},
  };
  for (const auto& c : cases) {
    Picture p = busy(c.width, c.height);
    Quantizer* q = p.quantize(c.depth, c.options);
    ASSERT_TRUE(q);
    EXPECT_EQ(result_hash(q, c.width, c.height, c.depth), c.hash)
        << c.width << " x " << c.height << " to depth " << c.depth << ", options " << c.options;
    quantizer_free(q);
  }
}

TEST(Quantizer, IndexesArePackedMostSignificantFirstAtEveryDepth) {
  // Two colours alternating in pairs: 0 0 1 1 0 0 1 1 ...
  Picture p(21, 2);
  for (int y = 0; y < 2; y++)
    for (int x = 0; x < 21; x++) p.set(x, y, (x / 2) % 2 ? 0xFFFFFFFF : 0xFF000000);
  for (int depth = 1; depth <= 8; depth++) {
    SCOPED_TRACE(depth);
    Quantizer* q = p.quantize(depth);
    ASSERT_TRUE(q);
    EXPECT_EQ(quantizer_colours(q), 1 << depth);
    const uint8_t* pal = quantizer_palette(q);
    const uint8_t* row = quantizer_row(q, 1);
    ASSERT_TRUE(row);
    for (int x = 0; x < 21; x++) {
      int i = index_at(row, x, depth);
      ASSERT_LT(i, 1 << depth);
      EXPECT_EQ(pal[i * 4], (x / 2) % 2 ? 255 : 0) << x;
    }
    // Nothing after the last index: the packed row is followed by zero bits.
    int used = 21 * depth;
    if (used % 8) {
      EXPECT_EQ(row[used / 8] & ((1 << (8 - used % 8)) - 1), 0);
    }
    EXPECT_FALSE(quantizer_row(q, 2));
    EXPECT_FALSE(quantizer_row(q, -1));
    quantizer_free(q);
  }
  // Depth 1: eight indexes a byte, the first pixel in bit 7.
  Quantizer* q = p.quantize(1);
  const uint8_t* row = quantizer_row(q, 0);
  int first = row[0] >> 7;
  EXPECT_EQ(row[0], first ? 0xCC : 0x33);
  quantizer_free(q);
}

TEST(Quantizer, PicturesWithFewColoursKeepThemExactly) {
  // A sprite on the magenta key colour must come back with the key exact.
  Picture p(40, 30);
  const uint32_t colours[5] = {0xFFFF00FF, 0xFF102030, 0xFFE0C0A0, 0xFF5A5A5A, 0x80FFFFFF};
  for (int y = 0; y < 30; y++)
    for (int x = 0; x < 40; x++) p.set(x, y, colours[(x * x + y) % 5]);
  for (int depth : {3, 4, 8}) {
    Quantizer* q = p.quantize(depth);
    ASSERT_TRUE(q);
    const uint8_t* pal = quantizer_palette(q);
    for (int y = 0; y < 30; y++) {
      const uint8_t* row = quantizer_row(q, y);
      for (int x = 0; x < 40; x++)
        ASSERT_EQ(0, std::memcmp(pal + index_at(row, x, depth) * 4, p.at(x, y), 4))
            << x << "," << y;
    }
    quantizer_free(q);
  }
}

TEST(Quantizer, LearnedPalettesFollowThePicture) {
  // 400 colours in a 20 x 20 picture, smaller than the sampling stride.
  Picture small = gradient(20, 20);
  Picture big = gradient(256, 256);
  for (Picture* p : {&small, &big}) {
    Quantizer* q = p->quantize(8);
    ASSERT_TRUE(q);
    const uint8_t* pal = quantizer_palette(q);
    double error = 0;
    for (int y = 0; y < p->height; y++) {
      const uint8_t* row = quantizer_row(q, y);
      for (int x = 0; x < p->width; x++)
        for (int k = 0; k < 3; k++) error += std::abs(pal[row[x] * 4 + k] - p->at(x, y)[k]);
    }
    // A few hundred samples teach less than sixty thousand.
    EXPECT_LT(error / (p->width * p->height * 3), p->width == 20 ? 12.0 : 4.0) << p->width;
    quantizer_free(q);
  }
}

TEST(Quantizer, TransparentPixelsAreLearnedAsTransparentBlack) {
  Picture p = gradient(64, 64);
  for (int y = 0; y < 64; y++)
    for (int x = 0; x < 32; x++) p.at(x, y)[3] = 0; // left half clear, colours left behind
  Quantizer* q = p.quantize(8);
  ASSERT_TRUE(q);
  const uint8_t* pal = quantizer_palette(q);
  for (int y = 0; y < 64; y += 7) {
    const uint8_t* row = quantizer_row(q, y);
    for (int x = 0; x < 32; x += 5) {
      const uint8_t* e = pal + row[x] * 4;
      EXPECT_EQ(e[3], 0);
      EXPECT_EQ(e[0] | e[1] | e[2], 0) << "learned as black";
    }
    EXPECT_GT(pal[row[40] * 4 + 3], 240) << "opaque pixels stay opaque";
  }
  quantizer_free(q);

  // The network starts as greys g[i x 256 / n], translucent (alpha 16 i) up to
  // the sixteenth neuron. Among transparent pixels and sixteen opaque ones the
  // last of sixteen neurons is never reached: it keeps g[240] = 247 (241 back
  // through the output gamma) and alpha 240.
  Picture few(64, 64);
  for (int i = 0; i < 16; i++)
    few.set(i * 7 % 64, i * 7 / 64,
            0xFF000000u | (uint32_t)(i * 8) << 16 | (uint32_t)(255 - i * 16) << 8 |
                (uint32_t)(i * 16));
  q = few.quantize(4);
  ASSERT_TRUE(q);
  const uint8_t* last = quantizer_palette(q) + 15 * 4;
  EXPECT_EQ(std::vector<int>(last, last + 4), (std::vector<int>{241, 241, 241, 240}));
  quantizer_free(q);
}

// A grey that fills the picture is learned exactly as g = floor((v / 255)^(1 / 1.8)
// x 255 + 0.5) and comes back as floor((g / 255)^1.8 x 256): 2 is learned as 17
// and comes back as 1. A black and a white pixel make the palette learned.
TEST(Quantizer, AFlatGreyComesBackThroughBothGammaTables) {
  const struct {
    int grey, learned, back;
  } cases[] = {{2, 17, 1}, {4, 25, 3}, {18, 58, 17}, {51, 104, 50}};
  for (const auto& c : cases) {
    Picture p(64, 1);
    for (int x = 0; x < 64; x++) p.set(x, 0, 0xFF000000u | (uint32_t)c.grey * 0x010101u);
    p.set(0, 0, 0xFF000000);
    p.set(1, 0, 0xFFFFFFFF);
    Quantizer* q = p.quantize(1, 0);
    ASSERT_TRUE(q);
    const uint8_t* entry = quantizer_palette(q) + 4 * index_at(quantizer_row(q, 0), 2, 1);
    EXPECT_EQ(std::vector<int>(entry, entry + 4), (std::vector<int>{c.back, c.back, c.back, 255}))
        << "grey " << c.grey << ", learned as " << c.learned;
    quantizer_free(q);
  }
}

// Floyd-Steinberg on a black and white palette, one neighbour at a time: the
// error of one dark pixel at (1, 0) reaches a grey probe in its share (7, 3, 5
// and 1 sixteenths to the right, below left, below and below right), which
// turns the probe white only when the sum reaches the middle (128). Carried
// error is halved until each channel's square is at most 100 and their sum is
// below 201. The rows below teach the palette its exact black and white.
TEST(Quantizer, DitheringCarriesTheErrorInSixteenthsAndHalvesItWhenLarge) {
  const struct {
    uint32_t dark; // 0xRRGGBB
    int x, y, grey;
    bool white;
  } cases[] = {
      {0x101010, 2, 0, 120, false}, {0x101010, 2, 0, 121, true}, // 16 x 7 / 16 = 7
      {0x101010, 0, 1, 124, false}, {0x101010, 0, 1, 125, true}, // 3
      {0x101010, 1, 1, 122, false}, {0x101010, 1, 1, 123, true}, // 5
      {0x101010, 2, 1, 126, false}, {0x101010, 2, 1, 127, true}, // 1
      {0x002000, 2, 0, 124, false}, {0x002000, 2, 0, 126, true}, // green 14 squared is over 100: 7
      {0x161616, 2, 0, 120, false}, {0x141414, 2, 0, 120, true}, // 9 each is 243 in all: 4; 8 stays
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.dark << std::dec << " to " << c.x << "," << c.y
                                    << " grey " << c.grey);
    Picture p(64, 16);
    for (int y = 0; y < 16; y++)
      for (int x = 0; x < 64; x++) p.set(x, y, y >= 2 && (x + y) % 2 ? 0xFFFFFFFF : 0xFF000000);
    p.set(1, 0, 0xFF000000 | c.dark);
    p.set(c.x, c.y, 0xFF000000 | (uint32_t)c.grey * 0x010101u);
    Quantizer* q = p.quantize(1, QUANT_DITHER);
    ASSERT_TRUE(q);
    const uint8_t* pal = quantizer_palette(q);
    ASSERT_EQ(std::vector<int>(pal, pal + 8), (std::vector<int>{0, 0, 0, 255, 255, 255, 255, 255}));
    EXPECT_EQ(index_at(quantizer_row(q, c.y), c.x, 1), c.white ? 1 : 0);
    quantizer_free(q);
  }

  // A flat picture of palette colours gets no noise.
  Picture flat(32, 32);
  for (int y = 0; y < 32; y++)
    for (int x = 0; x < 32; x++) flat.set(x, y, x < 16 ? 0xFF000000 : 0xFFFFFFFF);
  Quantizer* q = flat.quantize(1, QUANT_DITHER);
  const uint8_t* pal = quantizer_palette(q);
  for (int y = 0; y < 32; y++)
    for (int x = 0; x < 32; x++)
      ASSERT_EQ(pal[index_at(quantizer_row(q, y), x, 1) * 4], x < 16 ? 0 : 255);
  quantizer_free(q);
}

// Each pixel maps to an entry nearest by the squared distance of blue, green
// and red, weighted by 1 - (1 - alpha / 255)^2, plus the squared alpha
// difference: no entry of the palette may be nearer.
TEST(Quantizer, TranslucentPixelsMapByColourWeightedByAlpha) {
  Picture p = gradient(48, 48);
  for (int y = 0; y < 48; y++)
    for (int x = 0; x < 48; x++) p.at(x, y)[3] = (uint8_t)(255 - 5 * ((x + y) % 48));
  for (int depth : {2, 4}) {
    Quantizer* q = p.quantize(depth);
    ASSERT_TRUE(q);
    const uint8_t* pal = quantizer_palette(q);
    int farther = 0;
    for (int y = 0; y < 48; y++) {
      const uint8_t* row = quantizer_row(q, y);
      for (int x = 0; x < 48; x++) {
        const uint8_t* px = p.at(x, y);
        const double t = 1.0 - px[3] / 255.0, weight = 1.0 - t * t;
        auto distance = [&](int i) {
          const uint8_t* e = pal + 4 * i;
          double d = 0;
          for (int k = 0; k < 3; k++) d += (e[k] - px[k]) * (e[k] - px[k]);
          return weight * d + (e[3] - px[3]) * (e[3] - px[3]);
        };
        double best = 1e300;
        for (int i = 0; i < (1 << depth); i++) best = std::min(best, distance(i));
        farther += distance(index_at(row, x, depth)) > best + 1e-9;
      }
    }
    EXPECT_EQ(farther, 0) << depth;
    quantizer_free(q);
  }
}

TEST(Quantizer, BadArgumentsGiveNothing) {
  Picture p(4, 4);
  EXPECT_FALSE(quantizer_create(nullptr, 4, 4, 32, 16, 8, 0));
  EXPECT_FALSE(quantizer_create(p.px.data(), 0, 4, 32, 16, 8, 0));
  EXPECT_FALSE(quantizer_create(p.px.data(), 4, 4, 16, 16, 8, 0));
  EXPECT_FALSE(quantizer_create(p.px.data(), 4, 4, 32, 15, 8, 0));
  EXPECT_FALSE(quantizer_create(p.px.data(), 4, 4, 32, 16, 0, 0));
  EXPECT_FALSE(quantizer_create(p.px.data(), 4, 4, 32, 16, 9, 0));
  EXPECT_FALSE(quantizer_row(nullptr, 0));
  quantizer_free(nullptr);
}
