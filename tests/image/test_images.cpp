// Image objects: loading by file kind and depth, numbers, copy, resize, save.
#include "runtime/image/codecs.h"
#include "runtime/image/images.h"
#include "runtime/platform/plat_core.h"
#include "tests/image/reference.h"
#include "tests/support/test_files.h"

#include <cstring>
#include <gtest/gtest.h>

namespace {

struct Images : ::testing::Test {
  static void SetUpTestSuite() {
    codec_registry_init();
    bmp_decoder_register();
    png_encoder_register();
    png_decoder_register();
  }
  void SetUp() override { image_init(); }
  void TearDown() override {
    image_shutdown();
    image_alpha_unload();
  }
  ScratchDir dir;
};

// B, G, R (, A) of image n at x, y from the top-left.
uint8_t* px(int n, int x, int y) {
  ImageRecord* r = image_lookup(n);
  const PlatBitmap* b = r->bitmap;
  return b->pixels + (size_t)(b->height - 1 - y) * b->row_size + (size_t)x * (b->depth / 8);
}

void set_px(int n, int x, int y, uint32_t bgra) {
  uint8_t* p = px(n, x, y);
  for (int k = 0; k < image_lookup(n)->depth / 8; k++) p[k] = (uint8_t)(bgra >> (8 * k));
}

uint32_t get_px(int n, int x, int y) {
  uint8_t* p = px(n, x, y);
  uint32_t v = 0;
  for (int k = 0; k < image_lookup(n)->depth / 8; k++) v |= (uint32_t)p[k] << (8 * k);
  return v;
}

uint32_t crc32_of(const uint8_t* p, size_t n) {
  uint32_t crc = 0xFFFFFFFF;
  for (size_t i = 0; i < n; i++) {
    crc ^= p[i];
    for (int k = 0; k < 8; k++) crc = crc >> 1 ^ (0xEDB88320 & (0 - (crc & 1)));
  }
  return ~crc;
}

void put_be32(std::vector<uint8_t>& b, uint32_t v) {
  for (int k = 24; k >= 0; k -= 8) b.push_back((uint8_t)(v >> k));
}

// A PNG chunk with its checksum right, whatever the data holds.
void put_chunk(std::vector<uint8_t>& png, const char* type, const std::vector<uint8_t>& data) {
  put_be32(png, (uint32_t)data.size());
  std::vector<uint8_t> body(type, type + 4);
  body.insert(body.end(), data.begin(), data.end());
  png.insert(png.end(), body.begin(), body.end());
  put_be32(png, crc32_of(body.data(), body.size()));
}

// An 8 x 8 colour PNG whose rows are stored uncompressed; zlib's checksum of
// them sits alone in the last image data chunk, as a long file may have it.
// damage_at flips a bit of the stored pixels; with_end 0 leaves out the end
// chunk; rows above 8 store more image data than the picture holds; a bad end
// gives the end chunk a wrong checksum.
std::vector<uint8_t> stored_png(int damage_at, bool with_end, int rows = 8, bool bad_end = false) {
  std::vector<uint8_t> raw;
  for (int y = 0; y < rows; y++) {
    raw.push_back(0); // no filter
    for (int x = 0; x < 8; x++) raw.insert(raw.end(), {(uint8_t)(x * 30), (uint8_t)(y * 30), 77});
  }
  uint32_t a = 1, b = 0;
  for (uint8_t v : raw) a = (a + v) % 65521, b = (b + a) % 65521;
  std::vector<uint8_t> z = {0x78,
                            0x01,
                            0x01,
                            (uint8_t)raw.size(),
                            (uint8_t)(raw.size() >> 8),
                            (uint8_t)~raw.size(),
                            (uint8_t)(~raw.size() >> 8)};
  z.insert(z.end(), raw.begin(), raw.end());
  if (damage_at >= 0) z[7 + damage_at] ^= 0x40;
  std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}, sum;
  put_chunk(png, "IHDR", {0, 0, 0, 8, 0, 0, 0, 8, 8, 2, 0, 0, 0});
  put_chunk(png, "IDAT", z);
  put_be32(sum, b << 16 | a);
  put_chunk(png, "IDAT", sum);
  if (with_end) put_chunk(png, "IEND", {});
  if (bad_end) png.back() ^= 1;
  return png;
}

// An 8 x 8 bitmap of 8-bit run-length rows, each one run of colour 1 and an
// end of line, then the end of the picture.
std::vector<uint8_t> rle_bmp() {
  std::vector<uint8_t> b(54 + 8, 0);
  b[0] = 'B', b[1] = 'M', b[14] = 40, b[18] = 8, b[22] = 8, b[26] = 1, b[28] = 8, b[30] = 1;
  b[46] = 2, b[10] = 62;
  b[58] = 200, b[59] = 100, b[60] = 50; // colour 1
  for (int y = 0; y < 8; y++) b.insert(b.end(), {8, 1, 0, 0});
  b.insert(b.end(), {0, 1});
  return b;
}

} // namespace

TEST_F(Images, PicturesCutShortOrFailingTheirChecksumAreRefused) {
  std::vector<uint8_t> rle = rle_bmp();
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    bool whole;
  } cases[] = {
      {"stored.png", stored_png(-1, true), true},
      {"flipped.png", stored_png(5 * 25 + 4, true), false},
      {"no-end.png", stored_png(-1, false), false},
      {"extra.png", stored_png(-1, true, 9), false},
      {"bad-end.png", stored_png(-1, true, 8, true), false},
      {"rle.bmp", rle, true},
      {"rle-cut.bmp", std::vector<uint8_t>(rle.begin(), rle.begin() + rle.size() * 8 / 10), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // From a file, as the art is loaded, and from memory, as sprites are.
    write_file(dir / c.name, c.bytes);
    int n = image_load(-1, (dir / c.name).c_str());
    EXPECT_EQ(n != 0, c.whole);
    DecodeInfo info;
    std::vector<uint8_t> rows(8 * 24);
    EXPECT_EQ(decode_open_memory(c.bytes.data(), c.bytes.size(), &info) &&
                  decode_rows(rows.data(), 24, 0),
              c.whole);
    if (n) {
      EXPECT_EQ(get_px(n, 7, 7), c.name[0] == 'r' ? 0x3264C8u : 0xD2D24Du);
    }
  }
}

TEST_F(Images, PictureFilesAboveTheSizeCapAreNotRead) {
  // Good pictures with nothing after their end: only the file's size differs.
  const size_t cap = 64u << 20; // 64 MB
  ASSERT_TRUE(image_create(0, 4, 4, 24));
  for (int format : {IMAGE_FORMAT_PNG, IMAGE_FORMAT_BMP}) {
    SCOPED_TRACE(format);
    std::string path = dir / "padded";
    ASSERT_TRUE(image_save(0, path.c_str(), format));
    std::filesystem::resize_file(path, cap); // sparse: no disk is used
    EXPECT_TRUE(image_load(1, path.c_str()));
    std::filesystem::resize_file(path, cap + 1);
    EXPECT_FALSE(image_load(1, path.c_str()));
  }
}

TEST_F(Images, LoadedDepthsFollowTheFileKind) {
  SKIP_WITHOUT_CORPORA();
  struct Case {
    const char* file;
    int depth, file_depth;
  } cases[] = {
      {"pngsuite/basn2c08.png", 24, 24}, {"pngsuite/basn6a08.png", 32, 32},
      {"pngsuite/basn3p08.png", 24, 8},  {"pngsuite/basn0g16.png", 24, 16},
      {"bmpsuite/g/rgb32.bmp", 24, 32},  {"bmpsuite/g/pal8.bmp", 24, 8},
      {"bmpsuite/g/rgb16.bmp", 24, 16},  {"bmpsuite/g/pal1bg.bmp", 24, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    int n = image_load(-1, corpus(c.file).c_str());
    ASSERT_LT(n, -1) << "an any-number";
    ImageRecord* r = image_lookup(n);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->depth, c.depth);
    EXPECT_EQ(r->file_depth, c.file_depth);
    EXPECT_EQ(r->bitmap->row_size, image_row_size(r->width, r->depth));
    // Bitmap files keep their own colours here, 1-bit ones included.
    RefImage ref;
    ASSERT_TRUE(reference_load(corpus(c.file), &ref));
    ASSERT_EQ(image_width(n), ref.width);
    ASSERT_EQ(image_height(n), ref.height);
    int wrong = 0;
    for (int y = 0; y < ref.height; y++)
      for (int x = 0; x < ref.width; x++) {
        const uint8_t *p = px(n, x, y), *q = ref.at(x, y);
        int tolerance = c.file_depth == 16 && c.file[0] == 'b' ? 7 : 0;
        for (int k = 0; k < 3; k++) wrong += std::abs(p[k] - q[2 - k]) > tolerance;
        if (r->depth == 32) wrong += p[3] != q[3];
      }
    EXPECT_EQ(wrong, 0);
    image_free(n);
    EXPECT_FALSE(image_lookup(n));
  }
}

TEST_F(Images, NumbersAreReplacedFreedAndLeftEmptyOnFailure) {
  SKIP_WITHOUT_CORPORA();
  std::string png = corpus("pngsuite/basn2c08.png");
  int first = image_load(3, png.c_str());
  ASSERT_TRUE(first);
  int second = image_load(3, png.c_str());
  ASSERT_TRUE(second);
  EXPECT_NE(first, second) << "the first bitmap was replaced";
  EXPECT_EQ(image_lookup(3)->bitmap->handle, second);

  EXPECT_FALSE(image_load(3, (dir / "missing.png").c_str()));
  EXPECT_EQ(image_width(3), 0) << "a failed load leaves the number empty";
  write_file(dir / "junk.png", std::string("not a picture at all"));
  EXPECT_FALSE(image_load(-1, (dir / "junk.png").c_str()));
  EXPECT_FALSE(image_load(-2, png.c_str()));

  int n = image_load(-1, png.c_str());
  EXPECT_EQ(image_width(n), 32);
  image_free(n);
  EXPECT_EQ(image_width(n), 0);
  EXPECT_EQ(image_width(-1), 0);
  EXPECT_EQ(image_height(40), 0);
  image_free(-1);
  image_free(40);
  EXPECT_FALSE(image_resize(40, 8, 8, 1));
  EXPECT_FALSE(image_copy(40, -1, 0, 0, 2, 2));
  EXPECT_FALSE(image_save(40, (dir / "x.png").c_str(), IMAGE_FORMAT_PNG));
}

TEST_F(Images, RawResizeMakesSolidBlocksAndTheSameSizeKeepsTheBitmap) {
  const uint32_t c[4] = {0x0000FF, 0x00FF00, 0xFF0000, 0xFFFFFF};
  int bigger = 0;
  for (int depth : {32, 24}) {
    ASSERT_TRUE(image_create(0, 2, 2, depth));
    for (int i = 0; i < 4; i++) set_px(0, i % 2, i / 2, c[i]);
    int handle = image_lookup(0)->bitmap->handle;
    EXPECT_EQ(image_resize(0, 2, 2, 1), handle);
    EXPECT_EQ(image_resize(0, 2, 2, 0), handle);
    bigger = image_resize(0, 8, 8, 1);
    ASSERT_TRUE(bigger);
    EXPECT_NE(bigger, handle);
    EXPECT_EQ(image_width(0), 8);
    for (int y = 0; y < 8; y++)
      for (int x = 0; x < 8; x++)
        ASSERT_EQ(get_px(0, x, y) & 0xFFFFFF, c[(y / 4) * 2 + x / 4])
            << x << "," << y << " " << depth;
  }

  // Rows are padded with zeros, whatever the memory held before (freed here
  // full of ones, for the scaling to be given again).
  uint8_t* volatile used = (uint8_t*)malloc(24 * 8);
  std::memset(used, 0xFF, 24 * 8);
  free(used);
  ASSERT_TRUE(image_create(1, 2, 2, 24));
  ASSERT_TRUE(image_resize(1, 7, 8, 1));
  const PlatBitmap* b = image_lookup(1)->bitmap;
  for (int y = 0; y < 8; y++)
    for (int i = 21; i < 24; i++) ASSERT_EQ(b->pixels[(size_t)y * b->row_size + i], 0) << y;
  image_free(1);

  // A size no bitmap may have fails and leaves the image as it was.
  EXPECT_FALSE(image_resize(0, 40000, 8, 1));
  EXPECT_FALSE(image_resize(0, 0, 8, 1));
  EXPECT_EQ(image_lookup(0)->bitmap->handle, bigger);
  EXPECT_EQ(get_px(0, 7, 7), 0xFFFFFFu);
}

TEST_F(Images, SmoothResizeAveragesAndFiltersAlphaImages) {
  // Without alpha: black and white side by side average to grey.
  ASSERT_TRUE(image_create(1, 2, 1, 24));
  set_px(1, 1, 0, 0xFFFFFF);
  ASSERT_TRUE(image_resize(1, 1, 1, 0));
  EXPECT_NEAR(px(1, 0, 0)[0], 128, 1);

  // Alpha images: a flat colour stays exactly flat through both pass orders,
  // and a ramp stays a ramp.
  for (auto size : {std::pair{9, 3}, std::pair{3, 9}, std::pair{20, 14}}) {
    ASSERT_TRUE(image_create(2, 6, 5, 32));
    ASSERT_TRUE(image_has_alpha(2));
    for (int y = 0; y < 5; y++)
      for (int x = 0; x < 6; x++) set_px(2, x, y, 0x80336699);
    ASSERT_TRUE(image_resize(2, size.first, size.second, 0));
    for (int y = 0; y < size.second; y++)
      for (int x = 0; x < size.first; x++) ASSERT_EQ(get_px(2, x, y), 0x80336699u);
  }
  ASSERT_TRUE(image_create(2, 16, 2, 32));
  for (int x = 0; x < 16; x++)
    for (int y = 0; y < 2; y++) set_px(2, x, y, 0xFF000000u | (uint32_t)(x * 16));
  ASSERT_TRUE(image_resize(2, 5, 2, 0));
  for (int x = 1; x < 5; x++) EXPECT_GT(px(2, x, 0)[0], px(2, x - 1, 0)[0]);
  EXPECT_EQ(px(2, 2, 0)[3], 255);

  // The weights: a pixel 127 above a grey of 128, upscaled by 2, is met at 0.25,
  // 0.75, 1.25 and 1.75 source pixels, where the Mitchell-Netravali cubic
  // (B = C = 1/3) weighs 0.782, 0.256, -0.023 and -0.015.
  ASSERT_TRUE(image_create(3, 8, 1, 32));
  for (int x = 0; x < 8; x++) set_px(3, x, 0, x == 3 ? 0xFFFFFFFF : 0xFF808080);
  ASSERT_TRUE(image_resize(3, 16, 1, 0));
  const int weighed[16] = {128, 128, 128, 126, 125, 161, 227, 227,
                           161, 125, 126, 128, 128, 128, 128, 128};
  for (int x = 0; x < 16; x++) {
    EXPECT_EQ(px(3, x, 0)[0], weighed[x]) << x;
    EXPECT_EQ(px(3, x, 0)[3], 255) << x;
  }
  // The pass that leaves the smaller middle picture goes first (3 x 1 here, not
  // 4 x 2); the other order rounds differently.
  ASSERT_TRUE(image_create(4, 3, 2, 32));
  for (int x = 0; x < 3; x++) {
    set_px(4, x, 0, 0xFF000000);
    set_px(4, x, 1, x ? 0xFFFFFFFF : 0xFF000000);
  }
  ASSERT_TRUE(image_resize(4, 4, 1, 0));
  const int rounded[4] = {1, 79, 132, 128};
  for (int x = 0; x < 4; x++) EXPECT_EQ(px(4, x, 0)[1], rounded[x]) << x;
}

TEST_F(Images, CopyTakesARectangleFromTheTopLeft) {
  ASSERT_TRUE(image_create(0, 4, 3, 32));
  for (int y = 0; y < 3; y++)
    for (int x = 0; x < 4; x++) set_px(0, x, y, 0xFF000000u | (uint32_t)(y * 16 + x));
  image_lookup(0)->file_depth = 8;
  int n = image_copy(0, -1, 1, 1, 2, 2);
  ASSERT_TRUE(n);
  EXPECT_EQ(image_lookup(n)->depth, 32);
  EXPECT_EQ(image_lookup(n)->file_depth, 8);
  EXPECT_EQ(get_px(n, 0, 0), 0xFF000011u);
  EXPECT_EQ(get_px(n, 1, 1), 0xFF000022u);
  // Reaching outside the source: those pixels stay black.
  int m = image_copy(0, 5, 3, 2, 2, 2);
  ASSERT_TRUE(m);
  EXPECT_EQ(get_px(5, 0, 0), 0xFF000023u);
  EXPECT_EQ(get_px(5, 1, 0), 0u);
  EXPECT_EQ(get_px(5, 0, 1), 0u);
  // Into the source's own number.
  ASSERT_TRUE(image_copy(0, 0, 2, 0, 2, 3));
  EXPECT_EQ(image_width(0), 2);
  EXPECT_EQ(get_px(0, 0, 2), 0xFF000022u);
  EXPECT_FALSE(image_copy(0, -1, 0, 0, 0, 5));
}

TEST_F(Images, SavesUseTheFileDepthUnlessTold) {
  SKIP_WITHOUT_CORPORA();
  struct Case {
    const char* file;
    int colour_type, bit_depth;
  } cases[] = {{"pngsuite/basn2c08.png", 2, 8},
               {"pngsuite/basn6a08.png", 6, 8},
               {"pngsuite/basn3p08.png", 3, 8},
               {"pngsuite/basn3p02.png", 3, 2},
               {"pngsuite/basn0g16.png", 2, 8}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    int n = image_load(-1, corpus(c.file).c_str());
    ASSERT_TRUE(n);
    std::string out = dir / "out.png";
    ASSERT_TRUE(image_save(n, out.c_str(), IMAGE_FORMAT_PNG));
    auto bytes = read_file(out);
    EXPECT_EQ(bytes[24], c.bit_depth);
    EXPECT_EQ(bytes[25], c.colour_type);
    // Colour saves reload identically; palette ones here have few enough colours to stay exact.
    int back = image_load(-1, out.c_str());
    ASSERT_TRUE(back);
    int wrong = 0;
    for (int y = 0; y < image_height(n); y++)
      for (int x = 0; x < image_width(n); x++) wrong += get_px(n, x, y) != get_px(back, x, y);
    EXPECT_EQ(wrong, 0);
    image_free(back);
    image_free(n);
  }
  int n = image_load(-1, corpus("pngsuite/basn6a08.png").c_str());
  std::string bmp = dir / "out.bmp";
  ASSERT_TRUE(image_save_ex(n, bmp.c_str(), IMAGE_FORMAT_BMP, 7, 24));
  EXPECT_EQ(read_file(bmp)[28], 24);
  EXPECT_FALSE(image_save(n, "", IMAGE_FORMAT_PNG));
  EXPECT_FALSE(image_save(n, nullptr, IMAGE_FORMAT_PNG));
  EXPECT_FALSE(image_save(n, (dir / "x.tga").c_str(), 0x414754));
}

TEST_F(Images, ArtCacheStepsRoundTrip) {
  SKIP_WITHOUT_CORPORA();
  // Load, scale by four with hard edges, save as PNG, load the copy back.
  std::string src = corpus("pngsuite/basn3p04.png");
  int n = image_load(-1, src.c_str());
  ASSERT_TRUE(n);
  int w = image_width(n), h = image_height(n);
  ASSERT_TRUE(image_resize(n, 4 * w, 4 * h, 1));
  std::string cached = dir / "art_x4.png";
  ASSERT_TRUE(image_save(n, cached.c_str(), IMAGE_FORMAT_PNG));
  int back = image_load(-1, cached.c_str());
  ASSERT_EQ(image_width(back), 4 * w);
  EXPECT_EQ(image_lookup(back)->file_depth, 4);
  int original = image_load(-1, src.c_str());
  int wrong = 0;
  for (int y = 0; y < 4 * h; y++)
    for (int x = 0; x < 4 * w; x++) wrong += get_px(back, x, y) != get_px(original, x / 4, y / 4);
  EXPECT_EQ(wrong, 0);
}

TEST_F(Images, RowSizesFollowTheBitmapRule) {
  EXPECT_EQ(image_row_size(3, 24), 12);
  EXPECT_EQ(image_row_size(1, 24), 4);
  EXPECT_EQ(image_row_size(5, 32), 20);
  EXPECT_EQ(image_row_size(33, 1), 8);
  EXPECT_EQ(image_row_size(9, 4), 8);
  EXPECT_EQ(image_row_size(5, 8), 8);
  EXPECT_EQ(image_row_size(3, 16), 8);
  EXPECT_EQ(image_row_size(3, 15), 8);
  EXPECT_FALSE(image_create(-1, 4, 4, 16));
  EXPECT_FALSE(image_create(-1, 0, 4, 24));
}
