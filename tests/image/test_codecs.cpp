// The PNG and BMP codecs: conformance against an independent decoder over the
// public corpora, round trips through the encoders, and the damaged-file cases.
#include "runtime/image/codecs.h"
#include "runtime/image/quantizer.h"
#include "tests/image/reference.h"
#include "tests/support/test_files.h"

#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <thread>

namespace {

struct Codecs : ::testing::Test {
  static void SetUpTestSuite() {
    codec_registry_init();
    bmp_decoder_register();
    png_encoder_register();
    png_decoder_register();
  }
  ScratchDir dir;
};

std::string base_name(const std::string& path) {
  return std::filesystem::path(path).filename().string();
}

// Bottom-up 32-bit rows from a function of x, y (y from the top).
template <class F> std::vector<uint8_t> make_rows(int w, int h, int depth, int row_size, F colour) {
  std::vector<uint8_t> rows((size_t)row_size * h, 0);
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++) {
      uint32_t c = colour(x, y);
      uint8_t* p = &rows[(size_t)(h - 1 - y) * row_size + (size_t)x * (depth / 8)];
      for (int k = 0; k < depth / 8; k++) p[k] = (uint8_t)(c >> (8 * k));
    }
  return rows;
}

uint32_t u32_at(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | (uint32_t)b[at + 1] << 8 | (uint32_t)b[at + 2] << 16 | (uint32_t)b[at + 3] << 24;
}

// PngSuite names carry the colour type (5th character) and bit depth (7th and 8th).
int expected_png_file_depth(const std::string& name) {
  int colour = name[4] - '0', bits = std::stoi(name.substr(6, 2));
  return colour == 2 ? 24 : colour == 6 ? 32 : bits;
}

} // namespace

TEST_F(Codecs, PngSuiteDecodesLikeTheReferenceInBothRowOrders) {
  SKIP_WITHOUT_CORPORA();
  int checked = 0;
  for (const std::string& path : corpus_files("pngsuite", ".png")) {
    std::string name = base_name(path);
    if (name[0] == 'x') continue;
    SCOPED_TRACE(name);
    RefImage ref;
    ASSERT_TRUE(reference_load(path, &ref));
    for (int flags : {0, (int)ROWS_BOTTOM_UP})
      for (int from_memory : {0, 1}) {
        Decoded d;
        ASSERT_TRUE(decode_path(path, flags, &d, from_memory));
        ASSERT_EQ(d.info.width, ref.width);
        ASSERT_EQ(d.info.height, ref.height);
        EXPECT_EQ(d.info.file_depth, expected_png_file_depth(name));
        int mismatches = 0;
        for (int y = 0; y < ref.height; y++)
          for (int x = 0; x < ref.width; x++) {
            const uint8_t* p = d.at(x, y);
            const uint8_t* r = ref.at(x, y);
            if (p[0] != r[2] || p[1] != r[1] || p[2] != r[0] ||
                (d.info.depth == 32 && p[3] != r[3]))
              mismatches++;
          }
        EXPECT_EQ(mismatches, 0) << "flags " << flags << " memory " << from_memory;
      }
    checked++;
  }
  EXPECT_GT(checked, 150);
}

TEST_F(Codecs, PngSuiteCorruptFilesAreRefused) {
  SKIP_WITHOUT_CORPORA();
  int checked = 0;
  for (const std::string& path : corpus_files("pngsuite", ".png")) {
    std::string name = base_name(path);
    if (name[0] != 'x') continue;
    SCOPED_TRACE(name);
    Decoded d;
    EXPECT_FALSE(decode_path(path, 0, &d));
    EXPECT_FALSE(decode_path(path, ROWS_BOTTOM_UP, &d, 1));
    checked++;
  }
  EXPECT_EQ(checked, 14);
}

TEST_F(Codecs, PngWithAlphaDecodesToBlueGreenRedAlphaBottomUp) {
  // 2 x 2, top row red opaque and green half, bottom row blue clear and white.
  auto rows = make_rows(2, 2, 32, 8, [](int x, int y) {
    static const uint32_t c[4] = {0xFF0000FF, 0x8000FF00, 0x00FF0000, 0xFFFFFFFF};
    return c[y * 2 + x];
  });
  std::string path = dir / "a.png";
  ASSERT_TRUE(
      encode_rows(path.c_str(), rows.data(), IMAGE_FORMAT_PNG, 2, 2, 8, 32, ROWS_BOTTOM_UP, 7, 32));
  auto bytes = read_file(path);
  EXPECT_EQ(bytes[25], 6) << "colour type";
  Decoded d;
  ASSERT_TRUE(decode_path(path, ROWS_BOTTOM_UP, &d));
  EXPECT_EQ(d.info.depth, 32);
  EXPECT_EQ(d.info.file_depth, 32);
  EXPECT_EQ(d.rows, rows);
  const uint8_t first_row[8] = {0, 0, 255, 0, 255, 255, 255, 255};
  EXPECT_EQ(0, std::memcmp(d.rows.data(), first_row, 8)) << "bottom row first, B G R A";
}

TEST_F(Codecs, PngColourRoundTripsAreExact) {
  for (int depth : {24, 32}) {
    for (int flags : {0, (int)ROWS_BOTTOM_UP}) {
      const int w = 37, h = 23, row_size = (w * depth / 8 + 3) & ~3;
      auto rows = make_rows(w, h, depth, row_size, [](int x, int y) {
        return (uint32_t)(x * 7 | y * 11 << 8 | (x ^ y) << 16 | (x * y) << 24);
      });
      std::string path = dir / "c.png";
      ASSERT_TRUE(encode_rows(path.c_str(), rows.data(), IMAGE_FORMAT_PNG, w, h, row_size, depth,
                              flags, 7, depth));
      Decoded d;
      ASSERT_TRUE(decode_path(path, flags, &d));
      EXPECT_EQ(d.info.file_depth, depth);
      ASSERT_EQ(d.row_size, row_size);
      int mismatches = 0;
      for (int y = 0; y < h; y++)
        mismatches += std::memcmp(&d.rows[(size_t)y * row_size], &rows[(size_t)y * row_size],
                                  (size_t)w * depth / 8) != 0;
      EXPECT_EQ(mismatches, 0) << depth << " bits, flags " << flags;
    }
  }
}

TEST_F(Codecs, PngPaletteSavesMapEveryPixelToItsNearestEntry) {
  const int w = 50, h = 40, row_size = w * 4;
  auto rows = make_rows(w, h, 32, row_size, [](int x, int y) {
    return 0xFF000000u | (uint32_t)(x * 5) << 16 | (uint32_t)(y * 6) << 8 | (uint32_t)((x + y) * 2);
  });
  for (int depth : {1, 2, 4, 8}) {
    SCOPED_TRACE(depth);
    std::string path = dir / "p.png";
    ASSERT_TRUE(encode_rows(path.c_str(), rows.data(), IMAGE_FORMAT_PNG, w, h, row_size, 32,
                            ROWS_BOTTOM_UP, 7, depth));
    auto bytes = read_file(path);
    EXPECT_EQ(bytes[24], depth) << "bit depth";
    EXPECT_EQ(bytes[25], 3) << "colour type";
    std::string text(bytes.begin(), bytes.end());
    size_t gama = text.find("gAMA");
    ASSERT_NE(gama, std::string::npos);
    EXPECT_EQ(__builtin_bswap32(u32_at(bytes, gama + 4)), 180000u);
    EXPECT_EQ(text.find("tRNS"), std::string::npos);

    // The same quantizer gives the palette the file must carry.
    Quantizer* q = quantizer_create(rows.data(), w, h, 32, row_size, depth, 7);
    ASSERT_TRUE(q);
    const uint8_t* pal = quantizer_palette(q);
    size_t plte = text.find("PLTE");
    ASSERT_NE(plte, std::string::npos);
    EXPECT_EQ(__builtin_bswap32(u32_at(bytes, plte - 4)), 3u << depth);
    for (int i = 0; i < (1 << depth); i++)
      for (int k = 0; k < 3; k++) EXPECT_EQ(bytes[plte + 4 + i * 3 + k], pal[i * 4 + 2 - k]);

    Decoded d;
    ASSERT_TRUE(decode_path(path, 0, &d));
    EXPECT_EQ(d.info.file_depth, depth);
    int wrong = 0;
    for (int y = 0; y < h; y++)
      for (int x = 0; x < w; x++) {
        const uint8_t* s = &rows[(size_t)(h - 1 - y) * row_size + x * 4];
        // Opaque pixels: colour distance plus the entry's alpha distance.
        auto dist = [&](const uint8_t* e, int alpha) {
          int d0 = e[0] - s[0], d1 = e[1] - s[1], d2 = e[2] - s[2], d3 = alpha - 255;
          return d0 * d0 + d1 * d1 + d2 * d2 + d3 * d3;
        };
        int best = 1 << 30, got = 1 << 30;
        for (int i = 0; i < (1 << depth); i++) {
          best = std::min(best, dist(pal + i * 4, pal[i * 4 + 3]));
          if (!std::memcmp(pal + i * 4, d.at(x, y), 3))
            got = std::min(got, dist(pal + i * 4, pal[i * 4 + 3]));
        }
        if (got != best) wrong++;
      }
    EXPECT_EQ(wrong, 0);
    quantizer_free(q);
  }
}

TEST_F(Codecs, BmpSuiteGoodFilesDecodeLikeTheReference) {
  SKIP_WITHOUT_CORPORA();
  int checked = 0;
  for (const std::string& path : corpus_files("bmpsuite/g", ".bmp")) {
    std::string name = base_name(path);
    SCOPED_TRACE(name);
    // The reference reads no run-length files: those are checked against their plain twins.
    std::string twin = path;
    if (name == "pal8rle.bmp") twin = corpus("bmpsuite/g/pal8.bmp");
    if (name == "pal4rle.bmp") twin = corpus("bmpsuite/g/pal4.bmp");
    if (name == "rgb16-565pal.bmp") twin = corpus("bmpsuite/g/rgb16-565.bmp");
    if (name == "rgb24pal.bmp") twin = corpus("bmpsuite/g/rgb24.bmp");
    RefImage ref;
    ASSERT_TRUE(reference_load(twin, &ref));
    auto bytes = read_file(path);
    int bits = bytes[14] == 12 ? bytes[24] : bytes[28];
    // The decoder maps 1-bit pixels to black and white, whatever the colour table.
    uint32_t table0 = u32_at(bytes, 14 + u32_at(bytes, 14)) & 0xFFFFFF;
    for (int flags : {0, (int)ROWS_BOTTOM_UP}) {
      Decoded d;
      ASSERT_TRUE(decode_path(path, flags, &d, flags != 0));
      ASSERT_EQ(d.info.width, ref.width);
      ASSERT_EQ(d.info.height, ref.height);
      EXPECT_EQ(d.info.depth, 24);
      EXPECT_EQ(d.info.file_depth, bits);
      int tolerance = bits == 16 ? 7 : 0; // 5-bit channels are widened by 8 here, by 255 / 31 there
      int mismatches = 0;
      for (int y = 0; y < ref.height; y++)
        for (int x = 0; x < ref.width; x++) {
          const uint8_t* p = d.at(x, y);
          const uint8_t* r = ref.at(x, y);
          uint8_t want[3] = {r[2], r[1], r[0]};
          if (bits == 1) {
            uint32_t rgb = r[2] | r[1] << 8 | r[0] << 16;
            std::memset(want, rgb == table0 ? 0 : 255, 3);
          }
          for (int k = 0; k < 3; k++)
            if (std::abs(p[k] - want[k]) > tolerance) mismatches++;
        }
      EXPECT_EQ(mismatches, 0) << "flags " << flags;
    }
    checked++;
  }
  EXPECT_EQ(checked, 23);
}

TEST_F(Codecs, BmpSuiteQuestionableAndBadFilesStayInBounds) {
  SKIP_WITHOUT_CORPORA();
  // Decoded or refused, never a crash or a read or write outside the buffers (the
  // sanitizer build watches); these must be refused outright.
  const std::vector<std::string> refused = {"badbitcount.bmp", "badplanes.bmp",  "badwidth.bmp",
                                            "reallybig.bmp",   "rletopdown.bmp", "shortfile.bmp"};
  for (const char* folder : {"bmpsuite/q", "bmpsuite/b"})
    for (const std::string& path : corpus_files(folder, ".bmp")) {
      std::string name = base_name(path);
      SCOPED_TRACE(name);
      for (int flags : {0, (int)ROWS_BOTTOM_UP}) {
        Decoded d;
        int ok = decode_path(path, flags, &d, flags != 0);
        if (std::find(refused.begin(), refused.end(), name) != refused.end()) {
          EXPECT_FALSE(ok);
        }
        if (ok) {
          EXPECT_LE((long long)d.info.width * d.info.height, CODEC_MAX_PIXELS);
        }
      }
    }
}

TEST_F(Codecs, DamagedHeadersAreRefusedBeforeAnyAllocation) {
  // A valid 1 x 1 24-bit bitmap, then the same with fields broken one at a time.
  std::vector<uint8_t> good(58, 0);
  good[0] = 'B', good[1] = 'M', good[10] = 54, good[14] = 40, good[18] = 1, good[22] = 1,
  good[26] = 1, good[28] = 24;
  DecodeInfo info;
  ASSERT_TRUE(decode_open_memory(good.data(), good.size(), &info));
  decode_close();
  auto broken = [&](size_t at, std::vector<uint8_t> value) {
    auto b = good;
    std::copy(value.begin(), value.end(), b.begin() + at);
    return b;
  };
  const std::vector<std::vector<uint8_t>> cases = {
      broken(6, {1}),                       // reserved word set
      broken(18, {0xFF, 0xFF, 0, 0}),       // 65535 wide: rows reach past the file
      broken(22, {0, 0, 0, 0x40}),          // a billion high
      broken(18, {0xFF, 0xFF, 0xFF, 0x7F}), // 2^31 - 1 wide
      broken(10, {0xFF, 0xFF, 0, 0}),       // pixels past the end
      broken(14, {0xFF, 0xFF, 0, 0}),       // header longer than the file
      broken(28, {2}),                      // 2 bits per pixel
      broken(30, {4}),                      // embedded JPEG
      std::vector<uint8_t>(good.begin(), good.begin() + 13),
  };
  for (size_t i = 0; i < cases.size(); i++) {
    EXPECT_FALSE(decode_open_memory(cases[i].data(), cases[i].size(), &info)) << "case " << i;
    uint8_t row[4];
    EXPECT_FALSE(decode_rows(row, 4, 0)) << "nothing is open after a refusal";
  }
  // A PNG claiming 100000 x 100000 pixels, with a correct checksum.
  std::string path = dir / "big.png";
  std::vector<uint8_t> rows(4 * 4, 0);
  ASSERT_TRUE(encode_rows(path.c_str(), rows.data(), IMAGE_FORMAT_PNG, 1, 1, 4, 32, 0, 7, 32));
  auto png = read_file(path);
  for (int k = 0; k < 8; k++)
    png[16 + k] = (uint8_t)(k % 4 == 1 ? 0x01 : k % 4 == 2 ? 0x86 : k % 4 == 3 ? 0xA0 : 0);
  uint32_t crc = 0xFFFFFFFF;
  for (size_t i = 12; i < 29; i++) {
    crc ^= png[i];
    for (int k = 0; k < 8; k++) crc = crc >> 1 ^ (0xEDB88320 & (0 - (crc & 1)));
  }
  crc = ~crc;
  for (int k = 0; k < 4; k++) png[29 + k] = (uint8_t)(crc >> (24 - 8 * k));
  EXPECT_FALSE(decode_open_memory(png.data(), png.size(), &info));
  EXPECT_FALSE(decode_open_memory(png.data(), 7, &info)) << "fewer than 8 bytes";
  EXPECT_FALSE(decode_open_file((dir / "missing.png").c_str(), &info));
}

TEST_F(Codecs, RowsThatDoNotFitTheRowSizeAreRefused) {
  SKIP_WITHOUT_CORPORA();
  DecodeInfo info;
  std::string path = corpus("pngsuite/basn2c08.png");
  ASSERT_TRUE(decode_open_file(path.c_str(), &info));
  std::vector<uint8_t> rows(32 * 95, 0);
  EXPECT_FALSE(decode_rows(rows.data(), 95, 0)) << "32 pixels of 3 bytes need 96";
  EXPECT_FALSE(decode_rows(rows.data(), 96, 0)) << "the source was closed";
}

TEST_F(Codecs, BmpWriterOutputReadsBackAtEveryDepth) {
  const int w = 13, h = 7;
  for (int depth : {24, 32}) {
    const int row_size = (w * depth / 8 + 3) & ~3;
    // Few colours, so that a 16-colour palette holds them exactly.
    auto rows = make_rows(w, h, depth, row_size, [](int x, int y) {
      static const uint32_t c[4] = {0xFF000000, 0xFFFFFFFF, 0xFF2040C0, 0xFF80FF10};
      return c[(x / 3 + y) % 4];
    });
    // A 2-bit or 16-bit file depth is written as the nearest depth BMP readers know.
    for (int asked : {1, 2, 4, 8, 16, 24, 32}) {
      const int out = asked == 2 ? 4 : asked == 16 ? 24 : asked;
      SCOPED_TRACE(std::to_string(depth) + " to " + std::to_string(asked));
      std::string path = dir / "w.bmp";
      ASSERT_TRUE(
          bmp_write(path.c_str(), rows.data(), w, h, row_size, depth, ROWS_BOTTOM_UP, 7, asked));
      auto bytes = read_file(path);
      size_t file_row = ((size_t)w * out + 31) / 32 * 4;
      size_t offset = 54 + (out <= 8 ? 4u << out : 0);
      EXPECT_EQ(bytes.size(), offset + file_row * h);
      EXPECT_EQ(u32_at(bytes, 2), bytes.size());
      EXPECT_EQ(u32_at(bytes, 10), offset);
      RefImage ref;
      ASSERT_TRUE(reference_load(path, &ref));
      Decoded d;
      ASSERT_TRUE(decode_path(path, 0, &d));
      EXPECT_EQ(d.info.file_depth, out);
      int wrong = 0, wrong_ours = 0;
      for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
          const uint8_t* s = &rows[(size_t)(h - 1 - y) * row_size + (size_t)x * depth / 8];
          const uint8_t* r = ref.at(x, y);
          const uint8_t* p = d.at(x, y);
          if (out == 1) {
            // Two entries; the decoder reads index 0 as black and 1 as white.
            uint32_t e0 = u32_at(bytes, 54) & 0xFFFFFF, e1 = u32_at(bytes, 58) & 0xFFFFFF;
            uint32_t rgb = r[2] | r[1] << 8 | r[0] << 16;
            if (rgb != e0 && rgb != e1) wrong++;
            if (p[0] != (rgb == e1 && e1 != e0 ? 255 : 0)) wrong_ours++;
            continue;
          }
          for (int k = 0; k < 3; k++) {
            if (std::abs(r[2 - k] - s[k]) > (out <= 8 ? 2 : 0)) wrong++;
            if (std::abs(p[k] - s[k]) > (out <= 8 ? 2 : 0)) wrong_ours++;
          }
        }
      EXPECT_EQ(wrong, 0);
      EXPECT_EQ(wrong_ours, 0);
    }
  }
}

TEST_F(Codecs, BmpWriterLayoutOfScreenshotsAndNarrowRows) {
  std::vector<uint8_t> screen(640 * 3 * 480, 0x40);
  std::string shot = dir / "screen.bmp";
  ASSERT_TRUE(encode_rows(shot.c_str(), screen.data(), IMAGE_FORMAT_BMP, 640, 480, 1920, 24,
                          ROWS_BOTTOM_UP, 7, 24));
  EXPECT_EQ(std::filesystem::file_size(shot), 921654u);

  // 3 pixels of 24 bits: 9 bytes of pixels and 3 of padding per row.
  std::vector<uint8_t> rows(12 * 5);
  for (size_t i = 0; i < rows.size(); i++) rows[i] = (uint8_t)(i % 12 < 9 ? i : 0xEE);
  std::string narrow = dir / "narrow.bmp";
  ASSERT_TRUE(encode_rows(narrow.c_str(), rows.data(), IMAGE_FORMAT_BMP, 3, 5, 12, 24, 0, 7, 24));
  auto bytes = read_file(narrow);
  ASSERT_EQ(bytes.size(), 54u + 12 * 5);
  EXPECT_EQ(u32_at(bytes, 34), 60u);
  // Top-down source: the file starts with the source's last row, padding zeroed.
  for (int k = 0; k < 9; k++) EXPECT_EQ(bytes[54 + k], rows[48 + k]);
  for (int k = 9; k < 12; k++) EXPECT_EQ(bytes[54 + k], 0);
}

TEST_F(Codecs, ThirtyTwoBitRowsFlattenOntoWhite) {
  // A clear pixel, a half-covered red one, an opaque blue one.
  const uint8_t px[12] = {0, 0, 0, 0, 0, 0, 255, 128, 255, 0, 0, 255};
  std::vector<uint8_t> rows(px, px + 12);
  std::string path = dir / "flat.bmp";
  ASSERT_TRUE(encode_rows(path.c_str(), rows.data(), IMAGE_FORMAT_BMP, 3, 1, 12, 32, 0, 7, 24));
  auto bytes = read_file(path);
  const uint8_t want[9] = {255, 255, 255, 127, 127, 255, 255, 0, 0};
  EXPECT_EQ(0, std::memcmp(bytes.data() + 54, want, 9));

  // A 32-bit bottom-up source saved at 32 bits keeps its alpha bytes; any other way writes 0.
  ASSERT_TRUE(encode_rows(path.c_str(), rows.data(), IMAGE_FORMAT_BMP, 3, 1, 12, 32, ROWS_BOTTOM_UP,
                          7, 32));
  EXPECT_EQ(0, std::memcmp(read_file(path).data() + 54, px, 12));
  ASSERT_TRUE(encode_rows(path.c_str(), rows.data(), IMAGE_FORMAT_BMP, 3, 1, 12, 32, 0, 7, 32));
  EXPECT_EQ(read_file(path)[54 + 3], 0);

  // An encoder without a 32-bit writer gets the flattened rows, 3 bytes a pixel.
  static std::vector<uint8_t> seen;
  static int seen_row_size;
  static const EncoderOps only24 = {
      0x545354, // "TST"
      [](const char*, const uint8_t* r, int w, int h, int row_size, int, int, int) {
        seen_row_size = row_size;
        seen.assign(r, r + (size_t)row_size * h);
        return w == 3 ? 1 : 0;
      },
      nullptr};
  static int registered = encoder_register(&only24);
  ASSERT_TRUE(registered);
  ASSERT_TRUE(encode_rows("unused", rows.data(), 0x545354, 3, 1, 12, 32, 0, 7, 24));
  EXPECT_EQ(seen_row_size, 12);
  EXPECT_EQ(0, std::memcmp(seen.data(), want, 9));
}

TEST_F(Codecs, UnknownFormatsAndBadArgumentsMakeNoFile) {
  std::vector<uint8_t> rows(16, 0);
  std::string path = dir / "none.xyz";
  EXPECT_FALSE(encode_rows(path.c_str(), rows.data(), 0x12345, 2, 2, 8, 24, 0, 7, 24));
  EXPECT_FALSE(encode_rows(path.c_str(), rows.data(), IMAGE_FORMAT_PNG, 2, 2, 8, 16, 0, 7, 24));
  EXPECT_FALSE(encode_rows(path.c_str(), rows.data(), IMAGE_FORMAT_PNG, 2, 2, 5, 24, 0, 7, 24));
  EXPECT_FALSE(encode_rows(path.c_str(), rows.data(), IMAGE_FORMAT_BMP, 0, 2, 8, 24, 0, 7, 24));
  EXPECT_FALSE(encode_rows(path.c_str(), rows.data(), IMAGE_FORMAT_BMP, 2, 2, 8, 24, 0, 7, 40));
  EXPECT_FALSE(encode_rows(path.c_str(), rows.data(), IMAGE_FORMAT_BMP, 2, 2, 8, 24, 0, 7, 7));
  EXPECT_FALSE(std::filesystem::exists(path));
  // A folder that cannot be written: no claim of success.
  std::string blocked = dir / "file/inside/a/file.png";
  write_file(dir / "file", std::string("x"));
  EXPECT_FALSE(encode_rows(blocked.c_str(), rows.data(), IMAGE_FORMAT_PNG, 2, 2, 8, 24, 0, 7, 24));
  EXPECT_FALSE(encode_rows(blocked.c_str(), rows.data(), IMAGE_FORMAT_BMP, 2, 2, 8, 24, 0, 7, 24));
  EXPECT_FALSE(encode_rows("/dev/full", rows.data(), IMAGE_FORMAT_PNG, 2, 2, 8, 24, 0, 7, 24));
  EXPECT_FALSE(encode_rows("/dev/full", rows.data(), IMAGE_FORMAT_BMP, 2, 2, 8, 24, 0, 7, 24));
}

TEST_F(Codecs, OneBitBitmapsDecodeBlackAndWhiteWhateverTheirTable) {
  // 8 x 1 pixels 10100101 with a table of red (0) and blue (1).
  std::vector<uint8_t> b(66, 0);
  b[0] = 'B', b[1] = 'M', b[10] = 62, b[14] = 40, b[18] = 8, b[22] = 1, b[26] = 1, b[28] = 1;
  b[54 + 2] = 255; // entry 0: blue 0, green 0, red 255
  b[58 + 0] = 255; // entry 1: blue 255
  b[62] = 0xA5;
  DecodeInfo info;
  ASSERT_TRUE(decode_open_memory(b.data(), b.size(), &info));
  EXPECT_EQ(info.file_depth, 1);
  uint8_t row[24];
  ASSERT_TRUE(decode_rows(row, 24, 0));
  for (int x = 0; x < 8; x++) {
    int bit = 0xA5 >> (7 - x) & 1;
    for (int k = 0; k < 3; k++) EXPECT_EQ(row[x * 3 + k], bit ? 255 : 0) << x;
  }
}

TEST_F(Codecs, RunLengthStreamsStayInsideThePicture) {
  // 4 x 2, 8-bit RLE: an overlong run, a delta off the top, literals past the row.
  std::vector<uint8_t> b(54 + 12, 0);
  b[0] = 'B', b[1] = 'M', b[14] = 40, b[18] = 4, b[22] = 2, b[26] = 1, b[28] = 8, b[30] = 1;
  b[54 + 4 * 1 + 1] = 200; // entry 1: green 200
  b[54 + 4 * 2 + 2] = 100; // entry 2: red 100
  b[46] = 3;               // three colours
  std::vector<uint8_t> stream = {9, 1, 0, 0, 0, 5, 2, 2, 2, 2, 2, 0, 0, 2, 0, 9, 7, 7};
  b.insert(b.end(), stream.begin(), stream.end());
  b[10] = 54 + 12;
  DecodeInfo info;
  ASSERT_TRUE(decode_open_memory(b.data(), b.size(), &info));
  std::vector<uint8_t> rows(12 * 2 + 12, 0xAB); // a guard row after the picture
  ASSERT_TRUE(decode_rows(rows.data(), 12, ROWS_BOTTOM_UP));
  for (int x = 0; x < 4; x++) {
    EXPECT_EQ(rows[x * 3 + 1], 200) << "bottom row: the run clipped to 4";
    EXPECT_EQ(rows[12 + x * 3 + 2], 100) << "second row: literals clipped to 4";
  }
  for (int k = 24; k < 36; k++) EXPECT_EQ(rows[k], 0xAB);
}

// A whole picture decoded from memory through a source of its own gives what
// the shared source gives, top row first and rows packed, while another thread
// decodes through the shared source at the same time; damaged files give
// nothing, as there.
TEST_F(Codecs, WholePicturesFromMemoryDecodeBesideTheSharedSource) {
  std::vector<std::string> paths;
  for (int i = 0; i < 3; i++) {
    const int w = 13 + i, h = 9, depth = i ? 32 : 24, row_size = w * depth / 8;
    auto rows = make_rows(w, h, depth, row_size, [i](int x, int y) {
      return (uint32_t)(x * 9 + i) | (uint32_t)(y * 17) << 8 | (uint32_t)(x * y) << 16 |
             (uint32_t)(128 + x) << 24;
    });
    paths.push_back(dir / ("p" + std::to_string(i) + ".png"));
    ASSERT_TRUE(encode_rows(paths.back().c_str(), rows.data(), IMAGE_FORMAT_PNG, w, h, row_size,
                            depth, 0, 7, i == 2 ? 4 : depth));
  }
  if (std::filesystem::exists(corpus("pngsuite")))
    for (const char* folder : {"pngsuite", "bmpsuite/g", "bmpsuite/b"})
      for (const std::string& path : corpus_files(folder, folder[0] == 'p' ? ".png" : ".bmp"))
        paths.push_back(path);
  std::vector<Decoded> shared(paths.size());
  std::vector<int> shared_ok(paths.size());
  for (size_t i = 0; i < paths.size(); i++) shared_ok[i] = decode_path(paths[i], 0, &shared[i], 1);
  std::vector<std::vector<uint8_t>> whole(paths.size());
  std::vector<int> whole_ok(paths.size());
  std::thread beside([&] {
    for (size_t i = 0; i < paths.size(); i++) {
      const std::vector<uint8_t> bytes = read_file(paths[i]);
      DecodeInfo info;
      whole_ok[i] = decode_memory_whole(bytes.data(), bytes.size(), &info, &whole[i]);
    }
  });
  for (int round = 0; round < 3; round++) {
    Decoded d;
    for (const std::string& path : paths) decode_path(path, ROWS_BOTTOM_UP, &d);
  }
  beside.join();
  for (size_t i = 0; i < paths.size(); i++) {
    SCOPED_TRACE(paths[i]);
    const Decoded& s = shared[i];
    ASSERT_EQ(whole_ok[i], shared_ok[i]);
    if (!shared_ok[i]) {
      EXPECT_TRUE(whole[i].empty());
      continue;
    }
    const size_t row = codec_pixel_bytes(s.info.width, s.info.depth);
    ASSERT_EQ(whole[i].size(), row * s.info.height);
    for (int y = 0; y < s.info.height; y++)
      ASSERT_EQ(0, std::memcmp(&whole[i][y * row], &s.rows[(size_t)y * s.row_size], row)) << y;
  }
}

// Memory sources end where they are said to end: a PNG cut short is refused
// even when the bytes after the cut, there in memory, would complete it.
TEST_F(Codecs, APngCutShortInMemoryIsRefusedWhateverFollowsTheCut) {
  auto rows = make_rows(9, 5, 24, 27, [](int x, int y) { return (uint32_t)(x * 20 + y * 3000); });
  const std::string path = dir / "whole.png";
  ASSERT_TRUE(encode_rows(path.c_str(), rows.data(), IMAGE_FORMAT_PNG, 9, 5, 27, 24, 0, 7, 24));
  const std::vector<uint8_t> bytes = read_file(path);
  DecodeInfo info;
  std::vector<uint8_t> out;
  ASSERT_TRUE(decode_memory_whole(bytes.data(), bytes.size(), &info, &out));
  for (size_t cut : {bytes.size() - 1, bytes.size() - 12, (size_t)40}) {
    EXPECT_FALSE(decode_memory_whole(bytes.data(), cut, &info, &out)) << cut;
    std::vector<uint8_t> shared(27 * 5);
    EXPECT_FALSE(decode_open_memory(bytes.data(), cut, &info) && decode_rows(shared.data(), 27, 0))
        << cut;
  }
}
