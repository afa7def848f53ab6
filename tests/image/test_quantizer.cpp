// The colour quantizer: palettes, packing, transparency and dithering.
#include "runtime/image/quantizer.h"

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

} // namespace

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
}

TEST(Quantizer, DitheringSpreadsErrorButLeavesExactColoursAlone) {
  // A horizontal ramp from black to white, at two colours.
  Picture ramp(64, 16);
  for (int y = 0; y < 16; y++)
    for (int x = 0; x < 64; x++) ramp.set(x, y, 0xFF000000u | (x * 4) * 0x010101u);
  Quantizer* plain = ramp.quantize(1, 7);
  Quantizer* dithered = ramp.quantize(1, 7 | QUANT_DITHER);
  ASSERT_TRUE(plain && dithered);
  // Two entries a ramp's width apart, not two greys near its middle.
  const uint8_t* two = quantizer_palette(plain);
  EXPECT_GT(std::abs(two[0] - two[4]), 96);
  auto lit_share = [](Quantizer* q, int x0) {
    const uint8_t* pal = quantizer_palette(q);
    int lit = 0;
    for (int y = 1; y < 16; y++)
      for (int x = x0; x < x0 + 8; x++) lit += pal[index_at(quantizer_row(q, y), x, 1) * 4] > 128;
    return lit / (15.0 * 8);
  };
  // Far from the dark-light threshold nothing changes; next to it dithering mixes.
  EXPECT_EQ(lit_share(plain, 24), 0.0);
  EXPECT_GT(lit_share(dithered, 24), 0.0);
  EXPECT_EQ(lit_share(plain, 32), 1.0);
  EXPECT_LT(lit_share(dithered, 32), 1.0);
  for (int x0 : {0, 8, 48, 56}) EXPECT_EQ(lit_share(plain, x0), lit_share(dithered, x0)) << x0;
  quantizer_free(plain);
  quantizer_free(dithered);

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
