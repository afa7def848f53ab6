// Sprites on the null platform's device, pixel for pixel.
#include "runtime/image/codecs.h"
#include "runtime/image/drawing.h"
#include "runtime/image/images.h"
#include "runtime/image/picture_cache.h"
#include "runtime/image/start_ahead.h"
#include "runtime/platform/plat_core.h"
#include "tests/display/null_screen.h"
#include "tests/support/test_files.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>

namespace {
struct Sprites : NullDisplay {
  void SetUp() override {
    NullDisplay::SetUp();
    open_windowed();
  }
};

const uint32_t grey = 0x202020, magenta = 0xFF00FF;

// Column colours of a 4-wide test sprite.
uint32_t column_colour(int i, int) { return 0x101010u * (uint32_t)(i + 1); }
} // namespace

TEST_F(Sprites, ClippingAtEveryEdgeOfTheBuffer) {
  int n = make_sprite(4, 2, column_colour);
  ASSERT_NE(n, 0);
  screen_clear(0);
  sprite_draw(n, -4, 0); // just off the left edge
  EXPECT_EQ(pixel(0, 0), 0u);
  sprite_draw(n, -3, 0); // only its rightmost column shows, at x = 0
  EXPECT_EQ(pixel(0, 0), column_colour(3, 0));
  EXPECT_EQ(pixel(1, 0), 0u);
  sprite_draw(n, 640, 10); // at x = buffer width
  sprite_draw(n, 10, 480);
  EXPECT_EQ(pixel(639, 10), 0u);
  EXPECT_EQ(pixel(10, 479), 0u);
  sprite_draw(n, 638, 479); // two columns and one row left
  EXPECT_EQ(pixel(638, 479), column_colour(0, 0));
  EXPECT_EQ(pixel(639, 479), column_colour(1, 0));
  EXPECT_EQ(pixel(637, 479), 0u);
  sprite_draw(n, 100, 100); // texel (i, j) onto pixel (x + i, y + j)
  for (int i = 0; i < 4; i++) EXPECT_EQ(pixel(100 + i, 101), column_colour(i, 1));
  EXPECT_EQ(pixel(104, 100), 0u);
  EXPECT_EQ(pixel(100, 102), 0u);
}

// Keys are given blue, green, red (0x00BBGGRR), pixels here red, green, blue.
// Orange tells the two orders apart, which magenta cannot; at 16 bits only the
// top five bits of each channel count.
TEST_F(Sprites, OnlyTheKeyColourIsLeftOutAtBothDepths) {
  const struct {
    int depth, key;
    uint32_t row[3]; // 0xRRGGBB
    bool keyed[3];
  } cases[] = {
      {32, 0xFF00FF, {magenta, 0xFE00FF, 0x00FF00}, {true, false, false}},
      {32, 0x0080FF, {0xFF8000, 0x0080FF, 0xFF8001}, {true, false, false}},
      {16, 0xFF00FF, {0xFA05FA, 0xF000FF, 0x00FF00}, {true, false, false}},
      {16, 0x0080FF, {0xFC8403, 0x0080FF, 0xFF8800}, {true, false, false}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.depth << " bits, key " << std::hex << c.key);
    if (c.depth == 16) {
      ASSERT_TRUE(screen_open_full(640, 480, 16, "test"));
    }
    int n = make_sprite(3, 1, [&](int i, int) { return c.row[i]; });
    sprite_set_key_colour(n, c.key);
    screen_clear(grey);
    const uint32_t background = pixel(5, 5);
    sprite_draw_keyed(n, 10, 10);
    for (int i = 0; i < 3; i++) EXPECT_EQ(pixel(10 + i, 10) == background, c.keyed[i]) << i;
    sprite_draw(n, 10, 20); // drawn unkeyed, the key colour shows
    EXPECT_NE(pixel(10, 20), background);
  }
}

// The opaque runs of a keyed sprite are taken once: a new key must still count.
TEST_F(Sprites, ANewKeyAfterAKeyedDrawTakesEffect) {
  const uint32_t row[3] = {magenta, 0xFE00FF, 0x00FF00};
  int n = make_sprite(3, 1, [&](int i, int) { return row[i]; });
  sprite_set_key_colour(n, 0xFF00FF);
  screen_clear(grey);
  sprite_draw_keyed(n, 10, 10);
  EXPECT_EQ(pixel(10, 10), grey);
  sprite_set_key_colour(n, 0x00FF00);
  sprite_draw_keyed(n, 10, 30);
  EXPECT_EQ(pixel(10, 30), magenta);
  EXPECT_EQ(pixel(12, 30), grey);
}

TEST_F(Sprites, DefaultKeyColourAppliesToSpritesMadeLater) {
  int black_keyed = make_sprite(1, 1, [](int, int) { return 0u; });
  sprite_set_key_colour(-1, 0xFF00FF);
  int magenta_keyed = make_sprite(2, 1, [](int i, int) { return i ? 0u : magenta; });
  screen_clear(grey);
  sprite_draw_keyed(black_keyed, 0, 0);
  sprite_draw_keyed(magenta_keyed, 10, 0);
  EXPECT_EQ(pixel(0, 0), grey);  // made under the black default, unchanged by the new one
  EXPECT_EQ(pixel(10, 0), grey); // magenta left out
  EXPECT_EQ(pixel(11, 0), 0u);   // black drawn
}

TEST_F(Sprites, SettingTheSameKeyAgainLeavesThePixelsAlone) {
  int n = make_sprite(2, 1, [](int i, int) { return i ? 0x00FF00u : magenta; });
  sprite_set_key_colour(n, 0xFF00FF);
  SpriteTexture* t = sprite_lookup(n)->texture;
  auto alpha = [t](int i) {
    uint32_t texel;
    std::memcpy(&texel, t->surface->pixels + 4 * i, 4);
    return texel >> 24;
  };
  EXPECT_EQ(alpha(0), 0u);
  EXPECT_EQ(alpha(1), 0xFFu);
  int pitch;
  uint8_t* texels = gfx_texture_lock(t->texture, &pitch, 0);
  ASSERT_NE(texels, nullptr);
  texels[7] = 0; // marked, so any rewrite would show
  gfx_texture_unlock(t->texture);
  sprite_set_key_colour(n, 0xFF00FF);
  EXPECT_EQ(alpha(1), 0u);
  sprite_set_key_colour(n, 0x00FF00); // a new key recomputes every alpha
  EXPECT_EQ(alpha(0), 0xFFu);
  EXPECT_EQ(alpha(1), 0u);
}

TEST_F(Sprites, GrabStaysInsideTheBuffer) {
  int whole = sprite_grab(-1, 0, 0, 640, 480);
  EXPECT_NE(whole, 0);
  EXPECT_EQ(sprite_width(whole), 640);
  EXPECT_EQ(sprite_grab(-1, 1, 0, 640, 480), 0);
  EXPECT_EQ(sprite_grab(-1, 0, 1, 640, 480), 0);
  EXPECT_EQ(sprite_grab(-1, -1, 0, 10, 10), 0);
  EXPECT_EQ(sprite_grab(-1, 0, 0, 0, 10), 0);
  EXPECT_EQ(sprite_grab(-1, 0, 0, 0x7FFFFFFF, 1), 0);
  EXPECT_NE(sprite_grab(7, 630, 470, 10, 10), 0);
  EXPECT_EQ(sprite_width(7), 10);
}

TEST_F(Sprites, GrabAgainKeepsTheNumberAndResetsTheKey) {
  put(0, 0, magenta);
  int n = sprite_grab(-1, 0, 0, 4, 4);
  sprite_set_key_colour(n, 0xFF00FF);
  EXPECT_EQ(sprite_lookup(n)->texture->key_colour, 0xFF00FF);
  EXPECT_NE(sprite_grab(n, 0, 0, 4, 4), 0); // same size: reused, key back to the default
  EXPECT_EQ(sprite_lookup(n)->texture->key_colour, 0);
  EXPECT_NE(sprite_grab(n, 0, 0, 8, 2), 0); // another size, same any-number
  EXPECT_EQ(sprite_width(n), 8);
  EXPECT_EQ(sprite_height(n), 2);
}

// A grab into a sprite already drawn keyed: the draw after it shows the new
// pixels, not the runs of opaque texels taken from the old ones.
TEST_F(Sprites, AGrabIntoASpriteAlreadyDrawnShowsItsNewPixels) {
  const uint32_t before[4] = {0x00FF00, 0, 0x0000FF, 0x0000FF},
                 after[4] = {0, 0xFF0000, 0, 0x00FF00};
  int n = make_sprite(4, 1, [&](int i, int) { return before[i]; });
  screen_clear(grey);
  sprite_draw_keyed(n, 10, 10); // black, the default key, left out
  EXPECT_EQ(pixel(11, 10), grey);
  for (int i = 0; i < 4; i++) put(i, 0, after[i]);
  ASSERT_NE(sprite_grab(n, 0, 0, 4, 1), 0);
  screen_clear(grey);
  sprite_draw_keyed(n, 10, 10);
  for (int i = 0; i < 4; i++) EXPECT_EQ(pixel(10 + i, 10), after[i] ? after[i] : grey) << i;
}

TEST_F(Sprites, SpritesDieWithTheirScreen) {
  int n = make_sprite(2, 2, column_colour);
  ASSERT_TRUE(sprite_grab(3, 0, 0, 2, 2));
  sprite_free(3);
  EXPECT_EQ(sprite_width(3), 0);
  sprite_free(3);
  screen_close();
  EXPECT_EQ(sprite_width(n), 0);
  EXPECT_EQ(sprite_grab(-1, 0, 0, 2, 2), 0); // no screen, no sprite
  sprite_draw(n, 0, 0);                      // nothing to draw, and no harm
}

TEST_F(Sprites, BlendStatesAreSentOnlyWhenTheyChangeAndAgainAfterAReset) {
  int n = make_sprite(2, 1, [](int i, int) { return i ? 0x00FF00u : magenta; });
  sprite_set_key_colour(n, 0xFF00FF);
  GfxDevice* device = screen_device();
  int sends = gfx_device_state_sends(device);
  sprite_draw_keyed(n, 0, 0);
  EXPECT_EQ(gfx_device_state_sends(device) - sends, 4);
  sprite_draw_keyed(n, 0, 0);
  EXPECT_EQ(gfx_device_state_sends(device) - sends, 4);
  sprite_draw(n, 0, 0); // source and destination factors change
  EXPECT_EQ(gfx_device_state_sends(device) - sends, 6);
  sprite_draw_keyed(n, 0, 0);
  ASSERT_EQ(screen_flip(), 1);

  gfx_device_simulate(device, GFX_DEVICENOTRESET, 0);
  ASSERT_EQ(screen_flip(), 1);   // resets the device, whose states are back to their defaults
  EXPECT_EQ(sprite_width(n), 2); // managed textures survive
  sends = gfx_device_state_sends(device);
  screen_clear(grey);
  sprite_draw_keyed(n, 0, 0);
  EXPECT_EQ(gfx_device_state_sends(device) - sends, 4);
  EXPECT_EQ(pixel(0, 0), grey);
  EXPECT_EQ(pixel(1, 0), 0x00FF00u);
}

TEST_F(Sprites, NothingIsDrawnWhileTheDeviceIsLost) {
  int n = make_sprite(1, 1, [](int, int) { return 0x00FF00u; });
  ASSERT_EQ(screen_flip(), 1);
  screen_clear(grey);
  gfx_device_simulate(screen_device(), GFX_DEVICELOST, -1);
  sprite_draw(n, 0, 0);
  sprite_draw_keyed(n, 0, 0);
  screen_clear(0);
  EXPECT_EQ(pixel(0, 0), grey);
}

// ---- Sprites from files and back ----

namespace {
void put_u32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; i++) b[at + i] = (uint8_t)(v >> (8 * i));
}

// A 24-bit BMP file of w x h pixels, pixel (i, j) of colour rgb(i, j) (0xRRGGBB).
template <typename F> std::vector<uint8_t> bmp24(int w, int h, F rgb) {
  size_t row = ((size_t)w * 3 + 3) & ~(size_t)3;
  std::vector<uint8_t> b(54 + row * h, 0);
  b[0] = 'B';
  b[1] = 'M';
  put_u32(b, 2, (uint32_t)b.size());
  put_u32(b, 10, 54);
  put_u32(b, 14, 40);
  put_u32(b, 18, (uint32_t)w);
  put_u32(b, 22, (uint32_t)h);
  b[26] = 1;
  b[28] = 24;
  for (int j = 0; j < h; j++)
    for (int i = 0; i < w; i++) {
      uint32_t c = rgb(i, j);
      uint8_t* p = &b[54 + (size_t)(h - 1 - j) * row + (size_t)i * 3];
      p[0] = (uint8_t)c;
      p[1] = (uint8_t)(c >> 8);
      p[2] = (uint8_t)(c >> 16);
    }
  return b;
}

struct SpriteFiles : Sprites {
  ScratchDir dir;
  void SetUp() override {
    Sprites::SetUp();
    codec_registry_init();
    bmp_decoder_register();
  }
};
} // namespace

// Seven columns: a step of four pixels and the three after it.
TEST_F(SpriteFiles, LoadedPixelsLandWhereTheyBelongKeyedByTheDefaultThenByTheirOwn) {
  std::string path = dir / "picture.bmp";
  // Rows 0 and 1 alike, 2 like them but for its last pixel, 3 like 2.
  auto colour = [](int i, int j) {
    int k = j >= 2 && i == 6 ? 1 : 0;
    return (i + k) % 3 ? 0x000040u * (i + 1) + k : magenta;
  };
  write_file(path, bmp24(7, 4, colour));
  int n = sprite_load(-1, path.c_str());
  ASSERT_LT(n, -1); // an any-number
  EXPECT_EQ(sprite_width(n), 7);
  EXPECT_EQ(sprite_height(n), 4);
  screen_clear(grey);
  sprite_draw_keyed(n, 5, 7); // the default key, black, leaves out nothing here
  sprite_set_key_colour(n, 0xFF00FF);
  sprite_draw_keyed(n, 5, 17);
  for (int j = 0; j < 4; j++)
    for (int i = 0; i < 7; i++) {
      EXPECT_EQ(pixel(5 + i, 7 + j), colour(i, j)) << i << "," << j;
      EXPECT_EQ(pixel(5 + i, 17 + j), colour(i, j) == magenta ? grey : colour(i, j)) << i;
    }
  EXPECT_NE(sprite_load(9, path.c_str()), 0); // a slot number: just nonzero
  EXPECT_EQ(sprite_width(9), 7);
}

TEST_F(SpriteFiles, AMissingFileKeepsTheSpriteAFileNoDecoderTakesFreesIt) {
  std::string path = dir / "picture.bmp", text = dir / "notes.txt";
  write_file(path, bmp24(4, 4, column_colour));
  write_file(text, std::string("not a picture"));
  ASSERT_NE(sprite_load(5, path.c_str()), 0);
  EXPECT_EQ(sprite_load(5, (dir / "missing.bmp").c_str()), 0);
  EXPECT_EQ(sprite_width(5), 4);
  EXPECT_EQ(sprite_load(5, text.c_str()), 0);
  EXPECT_EQ(sprite_width(5), 0);
  EXPECT_EQ(sprite_load(-1, dir.path.c_str()), 0); // a folder
}

TEST_F(SpriteFiles, DamagedPicturesGiveNothing) {
  std::vector<uint8_t> huge = bmp24(2, 2, column_colour);
  put_u32(huge, 18, 0x7FFFFFFF); // a width no texture can have
  EXPECT_EQ(sprite_decode(-1, huge.data(), huge.size(), 0), 0);
  std::vector<uint8_t> cut = bmp24(64, 64, column_colour);
  cut.resize(200); // rows missing
  ASSERT_NE(sprite_grab(3, 0, 0, 2, 2), 0);
  EXPECT_EQ(sprite_decode(3, cut.data(), cut.size(), 0), 0);
  EXPECT_EQ(sprite_width(3), 0);
  EXPECT_EQ(sprite_decode(-1, nullptr, 0, 0), 0);
}

TEST_F(SpriteFiles, SixteenBitScreensKeyOnTheTopFiveBitsOfDecodedColours) {
  ASSERT_TRUE(screen_open_full(640, 480, 16, "test"));
  std::vector<uint8_t> bmp = bmp24(2, 1, [](int i, int) { return i ? 0x00FF00u : 0xFA05FAu; });
  int n = sprite_decode(-1, bmp.data(), bmp.size(), 0);
  ASSERT_NE(n, 0);
  sprite_set_key_colour(n, 0xFF00FF);
  screen_clear(grey);
  sprite_draw_keyed(n, 0, 0);
  EXPECT_EQ(pixel(0, 0), pixel(5, 5));
  EXPECT_EQ(pixel(1, 0), 0x00FF00u);
}

// Every way a picture becomes a sprite: a file's rows, an image's 24-bit rows
// and an image's 32-bit rows (whose fourth byte is alpha, not the next pixel).
// At both depths the default key colour in force is left out when drawn keyed.
TEST_F(SpriteFiles, PicturesOfEveryKindLeaveOutTheDefaultKeyAtBothDepths) {
  const uint32_t row[5] = {0xF80808, magenta, 0x10F840, 0x2040F8, magenta};
  image_init();
  auto from_image = [&](int depth) {
    int image = image_create(-1, 5, 2, depth);
    const PlatBitmap* b = image_lookup(image)->bitmap;
    for (int j = 0; j < 2; j++)
      for (int i = 0; i < 5; i++) {
        uint8_t* p = b->pixels + (size_t)(1 - j) * b->row_size + (size_t)i * (depth / 8);
        p[0] = (uint8_t)row[i], p[1] = (uint8_t)(row[i] >> 8), p[2] = (uint8_t)(row[i] >> 16);
        if (depth == 32) p[3] = 0x7F;
      }
    int sprite = sprite_from_image(-1, image);
    image_free(image);
    return sprite;
  };
  const std::vector<uint8_t> bmp = bmp24(5, 2, [&](int i, int) { return row[i]; });
  for (int depth : {32, 16}) {
    SCOPED_TRACE(testing::Message() << depth << " bits");
    if (depth == 16) {
      ASSERT_TRUE(screen_open_full(640, 480, 16, "test"));
    }
    sprite_set_key_colour(-1, 0xFF00FF);
    // A colour as the back buffer holds it.
    auto shown = [](uint32_t rgb) {
      const int format = screen_back_buffer()->format;
      return surface_to_argb(surface_from_argb(0xFF000000u | rgb, format), format) & 0xFFFFFF;
    };
    const int sprites[3] = {sprite_decode(-1, bmp.data(), bmp.size(), 0), from_image(24),
                            from_image(32)};
    screen_clear(grey);
    for (int k = 0; k < 3; k++) {
      ASSERT_NE(sprites[k], 0) << k;
      sprite_draw_keyed(sprites[k], 0, 4 * k);
      for (int j = 0; j < 2; j++)
        for (int i = 0; i < 5; i++)
          EXPECT_EQ(pixel(i, 4 * k + j), row[i] == magenta ? pixel(600, 400) : shown(row[i]))
              << "sprite " << k << ", pixel " << i << "," << j;
    }
  }
  image_shutdown();
}

TEST_F(SpriteFiles, SavedRowsArePaddedAndBottomRowFirst) {
  const uint32_t top[3] = {0x010203, 0x040506, 0x070809};
  int n = make_sprite(3, 2, [&](int i, int j) { return j ? 0xFFFFFFu : top[i]; });
  std::string path = dir / "saved.bmp";
  ASSERT_NE(sprite_save(n, path.c_str()), 0);
  std::vector<uint8_t> file = read_file(path);
  ASSERT_EQ(file.size(), 54u + 12u * 2u);
  const uint8_t bottom_row[12] = {255, 255, 255, 255, 255, 255, 255, 255, 255, 0, 0, 0};
  const uint8_t top_row[12] = {3, 2, 1, 6, 5, 4, 9, 8, 7, 0, 0, 0};
  EXPECT_EQ(std::memcmp(&file[54], bottom_row, 12), 0);
  EXPECT_EQ(std::memcmp(&file[66], top_row, 12), 0);
  EXPECT_EQ(sprite_save(n, nullptr), 0);
  EXPECT_EQ(sprite_save(12345, path.c_str()), 0);
  EXPECT_EQ(sprite_save(n, (dir / "no/such/folder/x.bmp").c_str()), 0);
}

// At 16 bits each channel keeps its top five bits.
TEST_F(SpriteFiles, AScreenshotIsA640x480BitmapOfTheScreen) {
  for (int depth : {32, 16}) {
    SCOPED_TRACE(depth);
    if (depth == 16) {
      ASSERT_TRUE(screen_open_full(640, 480, 16, "test"));
    }
    const uint8_t full = depth == 16 ? 0xF8 : 0xFF;
    screen_clear(0x0000FF);
    put(0, 479, 0x00FF00);
    put(2, 479, 0x0000FF);
    int n = sprite_grab(-1, 0, 0, 640, 480);
    std::string path = dir / "screen.bmp";
    ASSERT_NE(sprite_save(n, path.c_str()), 0);
    std::vector<uint8_t> file = read_file(path);
    ASSERT_EQ(file.size(), 921654u);
    // Bottom-left pixel first, blue, green, red: green, then red, then blue.
    const uint8_t row[9] = {0, full, 0, 0, 0, full, full, 0, 0};
    EXPECT_EQ(std::vector<uint8_t>(&file[54], &file[63]), std::vector<uint8_t>(row, row + 9));
  }
}

// Pictures decoded ahead (here at once: the null backend has no threads) are
// taken by sprite_load and image_load under the same name and give what their
// files give, the right way up; a file changed since gives its new pixels, and
// a picture already taken, or never named, is read as usual.
TEST_F(SpriteFiles, PicturesDecodedAheadGiveWhatTheirFilesGive) {
  png_encoder_register();
  png_decoder_register();
  auto png = [&](const std::string& name, uint32_t tint) {
    auto colour = [tint](int i, int j) { return (i + j) % 3 ? tint * (i + 1) + j : magenta; };
    std::vector<uint8_t> rows(7 * 3 * 3);
    for (int j = 0; j < 3; j++)
      for (int i = 0; i < 7; i++)
        for (int k = 0; k < 3; k++) rows[(j * 7 + i) * 3 + k] = (uint8_t)(colour(i, j) >> (8 * k));
    const std::string path = dir / name;
    EXPECT_TRUE(
        encode_rows(path.c_str(), rows.data(), IMAGE_FORMAT_PNG, 7, 3, 7 * 3, 24, 0, 7, 24));
    return std::make_pair(path, colour);
  };
  auto [a, a_colour] = png("a.png", 0x000040);
  // Two tints whose files are of one size, so that only the time of writing
  // tells the changed file from what was decoded (any 200 files of 7x3 pixels
  // hold two of one size).
  std::map<uintmax_t, uint32_t> tint_of_size;
  uint32_t before = 0, after = 0;
  for (uint32_t tint = 0x004000; !after && tint < 0x004000 + 200; tint++) {
    auto [first, fresh] =
        tint_of_size.emplace(std::filesystem::file_size(png("b.png", tint).first), tint);
    if (!fresh) before = first->second, after = tint;
  }
  ASSERT_NE(after, 0u);
  const std::string b = png("b.png", before).first;
  ASSERT_TRUE(start_ahead({a, b, dir / "missing.png"}));
  auto [changed, b_now] = png("b.png", after);
  // Written within the same tick of the file system's clock, perhaps: said plainly.
  std::filesystem::last_write_time(changed, std::filesystem::last_write_time(changed) +
                                                std::chrono::hours(1));
  auto drawn_as = [&](int n, auto colour) {
    screen_clear(grey);
    sprite_set_key_colour(n, 0xFF00FF);
    sprite_draw_keyed(n, 0, 0);
    for (int j = 0; j < 3; j++)
      for (int i = 0; i < 7; i++)
        if (pixel(i, j) != (colour(i, j) == magenta ? grey : colour(i, j))) return false;
    return true;
  };
  EXPECT_TRUE(drawn_as(sprite_load(-1, a.c_str()), a_colour));
  EXPECT_TRUE(drawn_as(sprite_load(-1, a.c_str()), a_colour)) << "taken once, then read";
  EXPECT_TRUE(drawn_as(sprite_load(-1, b.c_str()), b_now)) << "changed since";
  ASSERT_TRUE(start_ahead({a}));
  int image = image_load(-1, a.c_str());
  const PlatBitmap* bitmap = image_lookup(image)->bitmap;
  for (int j = 0; j < 3; j++)
    for (int i = 0; i < 7; i++) {
      const uint8_t* p = bitmap->pixels + (size_t)(2 - j) * bitmap->row_size + 3 * i;
      EXPECT_EQ(p[0] | p[1] << 8 | p[2] << 16, (int)a_colour(i, j)) << i << "," << j;
    }
  EXPECT_EQ(image_lookup(image)->file_depth, 24);
  image_free(image);
  start_ahead_end();
  font_shutdown(); // the worker made the font lookups ready too: released as the game does
}

// Decoded rows kept in a cache file stand for the very bytes they were
// decoded from: a cache that holds them (here made to hold another picture's,
// to tell it from decoding) is read instead of the file; a damaged one, one
// of another decoder, or one whose file has changed gives what the file
// gives, and is written anew.
TEST_F(SpriteFiles, KeptDecodingsAreTrustedOnlyWhileWholeAndTrue) {
  png_encoder_register();
  png_decoder_register();
  auto write_png = [&](const std::string& path, uint32_t tint) {
    std::vector<uint8_t> rows(5 * 2 * 3);
    for (size_t i = 0; i < rows.size(); i++) rows[i] = (uint8_t)(tint >> (8 * (i % 3)));
    rows[0] ^= 1; // two colours, so that the key never takes the whole picture
    EXPECT_TRUE(encode_rows(path.c_str(), rows.data(), IMAGE_FORMAT_PNG, 5, 2, 15, 24, 0, 7, 24));
  };
  const std::string png = dir / "a.png", cache = dir / "pictures.cache";
  write_png(png, 0x00C000);
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(plat_read_file(png.c_str(), &bytes, 1 << 20));
  // What the cache is said to hold for a.png: a blue picture of its size.
  CachedPicture forged{png, bytes.size(), picture_cache_hash(bytes.data(), bytes.size()),
                       DecodeInfo{5, 2, 24, 24}, std::vector<uint8_t>(5 * 2 * 3, 0)};
  for (size_t i = 0; i < forged.rows.size(); i += 3) forged.rows[i] = 0xFF;
  auto colour_at_start = [&](uint32_t* rgb) {
    ASSERT_TRUE(start_ahead({png}, cache));
    int n = sprite_load(-1, png.c_str());
    ASSERT_NE(n, 0);
    sprite_draw(n, 0, 0);
    *rgb = pixel(1, 1);
    sprite_free(n);
    start_ahead_end();
  };
  auto forge = [&](const std::function<void(std::vector<uint8_t>*)>& damage) {
    ASSERT_TRUE(picture_cache_write(cache.c_str(), {forged}));
    std::vector<uint8_t> file;
    ASSERT_TRUE(plat_read_file(cache.c_str(), &file, 1 << 20));
    damage(&file);
    FILE* f = fopen(cache.c_str(), "wb");
    fwrite(file.data(), 1, file.size(), f);
    fclose(f);
  };
  uint32_t rgb = 0;
  forge([](std::vector<uint8_t>*) {});
  colour_at_start(&rgb);
  EXPECT_EQ(rgb, 0x0000FFu) << "a whole, true cache is read";
  // The hash of the contents follows the magic; the decoder's name follows it.
  const std::vector<std::function<void(std::vector<uint8_t>*)>> damages = {
      [](std::vector<uint8_t>* f) { f->back() ^= 0x40; },
      [](std::vector<uint8_t>* f) { f->pop_back(); },
      [](std::vector<uint8_t>* f) { f->push_back(0); },
      [](std::vector<uint8_t>* f) {
        (*f)[20] ^= 1; // another decoder, hashed as if it were whole
        const uint64_t h = picture_cache_hash(f->data() + 16, f->size() - 16);
        for (int i = 0; i < 8; i++) (*f)[8 + i] = (uint8_t)(h >> (8 * i));
      }};
  for (size_t d = 0; d < damages.size(); d++) {
    forge(damages[d]);
    colour_at_start(&rgb);
    EXPECT_EQ(rgb, 0x00C000u) << "damage " << d;
    std::vector<CachedPicture> kept;
    ASSERT_TRUE(picture_cache_read(cache.c_str(), &kept)) << "written anew after damage " << d;
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_NE(kept[0].rows, forged.rows);
  }
  // The same cache after the file changed to another picture of its size.
  forge([](std::vector<uint8_t>*) {});
  write_png(png, 0x00C001);
  ASSERT_TRUE(plat_read_file(png.c_str(), &bytes, 1 << 20));
  ASSERT_EQ(bytes.size(), forged.size);
  colour_at_start(&rgb);
  EXPECT_EQ(rgb, 0x00C001u) << "a changed file";
  font_shutdown(); // the worker made the font lookups ready too: released as the game does
}
