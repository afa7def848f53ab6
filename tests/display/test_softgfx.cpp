// The software graphics device and its surfaces, below the screen.
#include "runtime/platform/null/null_platform.h"
#include "runtime/platform/softgfx/softgfx.h"

#include <cstring>
#include <gtest/gtest.h>
#include <random>
#include <vector>

namespace {
uint32_t get32(const Surface* s, int x, int y) {
  uint32_t p;
  std::memcpy(&p, s->pixels + (size_t)y * s->pitch + 4 * (size_t)x, 4);
  return p;
}
void put32(Surface* s, int x, int y, uint32_t p) {
  std::memcpy(s->pixels + (size_t)y * s->pitch + 4 * (size_t)x, &p, 4);
}
// The texels written as the device wants them written: through a lock.
void write_texels(GfxTexture* t, const void* bytes, size_t n) {
  int pitch;
  uint8_t* texels = gfx_texture_lock(t, &pitch, 0);
  ASSERT_NE(texels, nullptr);
  std::memcpy(texels, bytes, n);
  gfx_texture_unlock(t);
}
uint16_t get16(const Surface* s, int x, int y) {
  uint16_t p;
  std::memcpy(&p, s->pixels + (size_t)y * s->pitch + 2 * (size_t)x, 2);
  return p;
}

struct Device : ::testing::Test {
  GfxSystem* gfx = nullptr;
  PlatWindow* window = nullptr;
  GfxDevice* device = nullptr;
  GfxPresentParams params{};

  void SetUp() override {
    null_reset();
    gfx = gfx_create();
    ASSERT_NE(gfx, nullptr);
    window = plat_window_create(0, 0, 64, 32, "device", 0);
    params.back_buffer_width = 64;
    params.back_buffer_height = 32;
    params.back_buffer_format = FMT_X8R8G8B8;
    params.back_buffer_count = 1;
    params.device_window = window;
    params.windowed = 1;
    device = gfx_device_create(gfx, window, GFX_CREATE_SOFTWARE_VERTEXPROCESSING, &params);
    ASSERT_NE(device, nullptr);
  }
  void TearDown() override {
    gfx_device_release(device);
    plat_window_destroy(window);
    gfx_release(gfx);
  }

  GfxTexture* texture(int w, int h, int format = FMT_A8R8G8B8) {
    return gfx_texture_create(device, w, h, 1, 0, format, GFX_POOL_MANAGED);
  }
  // Draws t with its top-left corner at x, y as the sprites do.
  int draw(GfxTexture* t, int x, int y, int src_blend, int dst_blend) {
    const Surface* s = gfx_texture_level(t);
    float l = x - 0.5f, top = y - 0.5f, r = l + s->width, b = top + s->height;
    float v[4][6] = {
        {l, top, 0, 1, 0, 0}, {r, top, 0, 1, 1, 0}, {l, b, 0, 1, 0, 1}, {r, b, 0, 1, 1, 1}};
    gfx_set_render_state(device, GFX_RS_ALPHABLENDENABLE, 1);
    gfx_set_render_state(device, GFX_RS_SRCBLEND, (uint32_t)src_blend);
    gfx_set_render_state(device, GFX_RS_DESTBLEND, (uint32_t)dst_blend);
    gfx_set_fvf(device, GFX_FVF_XYZRHW_TEX1);
    gfx_set_texture(device, 0, t);
    return gfx_draw_primitive_up(device, 2, v, 24);
  }
};
} // namespace

TEST(Surfaces, CopyConvertsBetweenFormats) {
  Surface* x8 = surface_create(2, 1, FMT_X8R8G8B8);
  Surface* r565 = surface_create(2, 1, FMT_R5G6B5);
  Surface* x555 = surface_create(2, 1, FMT_X1R5G5B5);
  put32(x8, 0, 0, 0xFF0000);
  put32(x8, 1, 0, 0xFFFFFF);
  surface_copy(r565, 0, 0, x8, 0, 0, 2, 1);
  surface_copy(x555, 0, 0, x8, 0, 0, 2, 1);
  EXPECT_EQ(get16(r565, 0, 0), 0xF800);
  EXPECT_EQ(get16(x555, 0, 0), 0x7C00);
  // Widening repeats the top bits, so white comes back white.
  surface_copy(x8, 0, 0, r565, 0, 0, 2, 1);
  EXPECT_EQ(get32(x8, 1, 0) & 0xFFFFFF, 0xFFFFFFu);
  EXPECT_EQ(get32(x8, 0, 0) & 0xFFFFFF, 0xFF0000u);
  surface_copy(x8, 0, 0, x555, 0, 0, 2, 1);
  EXPECT_EQ(get32(x8, 1, 0) & 0xFFFFFF, 0xFFFFFFu);
  surface_free(x8);
  surface_free(r565);
  surface_free(x555);
}

TEST(Surfaces, TintBlendsInEveryFormatAndKeepsAlpha) {
  const struct {
    int format;
    uint32_t pixel, tinted; // green, then a quarter red over it
  } cases[] = {{FMT_X8R8G8B8, 0x0000FF00, 0x0040BF00},
               {FMT_A8R8G8B8, 0x8000FF00, 0x8040BF00},
               {FMT_R5G6B5, 0x07E0, 0x45E0}};
  for (const auto& c : cases) {
    Surface* s = surface_create(3, 2, c.format);
    int bpp = surface_bytes_per_pixel(c.format);
    surface_store(s->pixels + s->pitch + 2 * bpp, bpp, c.pixel);
    surface_tint(s, 0xFF0000, 25);
    EXPECT_EQ(surface_load(s->pixels + s->pitch + 2 * bpp, bpp), c.tinted) << c.format;
    surface_free(s);
  }
}

TEST(Surfaces, CopyIsClippedToBothSurfaces) {
  Surface* src = surface_create(4, 4, FMT_X8R8G8B8);
  Surface* dst = surface_create(4, 4, FMT_X8R8G8B8);
  for (int y = 0; y < 4; y++)
    for (int x = 0; x < 4; x++) put32(src, x, y, (uint32_t)(y * 4 + x + 1));
  // Source corner outside: the corners move together.
  surface_copy(dst, 0, 0, src, -2, -2, 4, 4);
  EXPECT_EQ(get32(dst, 2, 2), 1u);
  EXPECT_EQ(get32(dst, 3, 3), 6u);
  EXPECT_EQ(get32(dst, 1, 1), 0u);
  // Destination past the far edges: only what fits.
  surface_copy(dst, 3, 3, src, 0, 0, 100, 100);
  EXPECT_EQ(get32(dst, 3, 3), 1u);
  EXPECT_EQ(surface_copy(dst, 0, 0, src, 0, 0, -5, 2), 1);
  Surface bad = {nullptr, 4, 4, 16, 99, 0, 0};
  EXPECT_EQ(surface_copy(dst, 0, 0, &bad, 0, 0, 4, 4), 0);
  surface_free(src);
  surface_free(dst);
}

// Every texel alpha, runs of every length from 1 up, rows like the one above
// and not, clipped on any side and not: keyed and plain draws must match their
// rules. Each texture is drawn keyed, written anew through a lock, drawn plain,
// written and drawn keyed again, so anything kept from before would show.
TEST_F(Device, DrawsMatchThePlainRulesAtEveryWidthAndAfterARewrite) {
  std::mt19937 random(7);
  Surface* bb = gfx_device_back_buffer(device);
  auto rgb = [&](int i, int y) { return get32(bb, i, y) & 0xFFFFFF; };
  for (int w : {1, 2, 3, 4, 5, 7, 8, 9, 16, 19, 70}) {
    const int h = w % 2 ? 9 : 4; // nine rows: runs of like rows longer than four
    for (int x : {-3, 0, 5, 64 - w + 2}) {
      for (int y : {-1, 4, 30}) { // 30: two rows cut by the bottom edge
        GfxTexture* t = texture(w, h);
        for (int pass = 0; pass < 3; pass++) {
          const bool keyed = pass != 1;
          int pitch;
          uint8_t* texels = gfx_texture_lock(t, &pitch, 0);
          ASSERT_NE(texels, nullptr);
          // Half the textures keyed as the game keys its art, all or nothing;
          // the others with partly transparent texels too.
          const uint32_t kinds_of_alpha = random() % 2 ? 4 : 5;
          for (int j = 0; j < h; j++) {
            uint8_t* row = texels + (size_t)j * pitch;
            // 0: like the row above, 1: like it but for its last texel, 2: new.
            const int kind = j ? (int)(random() % 3) : 2;
            if (kind < 2) std::memcpy(row, row - pitch, 4 * (size_t)w);
            for (int i = kind == 0 ? w : kind == 1 ? w - 1 : 0; i < w; i++) {
              static const uint32_t alphas[] = {0, 255, 255, 0, 128};
              uint32_t texel = alphas[random() % kinds_of_alpha] << 24 | (random() & 0xFFFFFF);
              std::memcpy(row + 4 * (size_t)i, &texel, 4);
            }
          }
          gfx_texture_unlock(t);
          for (int j = 0; j < bb->height; j++)
            for (int i = 0; i < bb->width; i++) put32(bb, i, j, random() & 0xFFFFFF);
          std::vector<uint32_t> before;
          for (int j = 0; j < h; j++)
            for (int i = 0; i < 64; i++)
              before.push_back(j + y >= 0 && j + y < 32 ? rgb(i, j + y) : 0);

          ASSERT_EQ(gfx_begin_scene(device), GFX_OK);
          ASSERT_EQ(keyed ? draw(t, x, y, GFX_BLEND_SRCALPHA, GFX_BLEND_INVSRCALPHA)
                          : draw(t, x, y, GFX_BLEND_ONE, GFX_BLEND_ZERO),
                    GFX_OK);
          gfx_end_scene(device);
          for (int j = 0; j < h; j++)
            for (int i = 0; i < 64 && j + y >= 0 && j + y < 32; i++) {
              uint32_t d = before[j * 64 + i], want = d;
              if (i >= x && i < x + w) {
                uint32_t texel = get32(gfx_texture_level(t), i - x, j), a = texel >> 24;
                if (a == 255 || !keyed) want = texel & 0xFFFFFF;
                if (a == 128 && keyed) {
                  want = 0;
                  for (int shift = 0; shift < 24; shift += 8)
                    want |=
                        ((((texel >> shift) & 255) * a + ((d >> shift) & 255) * (255 - a) + 127) /
                         255)
                        << shift;
                }
              }
              ASSERT_EQ(rgb(i, j + y), want)
                  << "width " << w << " at " << x << ", " << y << ", pixel " << i << ", row " << j
                  << ", pass " << pass;
            }
        }
        gfx_texture_release(t);
      }
    }
  }
  gfx_back_buffer_release(device);
}

TEST_F(Device, OnlyTheWholeTextureTexelForPixelIsDrawn) {
  GfxTexture* t = texture(2, 2);
  float half[4][6] = {{-0.5f, -0.5f, 0, 1, 0, 0},
                      {3.5f, -0.5f, 0, 1, 1, 0},
                      {-0.5f, 1.5f, 0, 1, 0, 1},
                      {3.5f, 1.5f, 0, 1, 1, 1}}; // stretched
  gfx_set_fvf(device, GFX_FVF_XYZRHW_TEX1);
  gfx_set_texture(device, 0, t);
  EXPECT_EQ(gfx_draw_primitive_up(device, 2, half, 24), GFX_INVALIDCALL); // no scene
  ASSERT_EQ(gfx_begin_scene(device), GFX_OK);
  EXPECT_EQ(gfx_begin_scene(device), GFX_INVALIDCALL);
  EXPECT_EQ(gfx_draw_primitive_up(device, 2, half, 24), GFX_INVALIDCALL);
  float far[4][6] = {
      {3e9f, 0, 0, 1, 0, 0}, {3e9f, 0, 0, 1, 1, 0}, {3e9f, 2, 0, 1, 0, 1}, {3e9f, 2, 0, 1, 1, 1}};
  EXPECT_EQ(gfx_draw_primitive_up(device, 2, far, 24), GFX_INVALIDCALL);
  EXPECT_EQ(draw(t, 1000, 1000, GFX_BLEND_ONE, GFX_BLEND_ZERO), GFX_OK); // off the buffer
  gfx_end_scene(device);
  gfx_texture_release(t);
}

TEST_F(Device, SixteenBitTexturesOnEveryBackBuffer) {
  for (int format : {FMT_X8R8G8B8, FMT_R5G6B5, FMT_X1R5G5B5}) {
    params.back_buffer_format = format;
    ASSERT_EQ(gfx_device_reset(device, &params), GFX_OK);
    GfxTexture* t = texture(2, 1, FMT_A1R5G5B5);
    uint16_t texels[2] = {0x7C00, 0x8000 | 0x03E0}; // red, key-clear; green, shown
    write_texels(t, texels, 4);
    gfx_clear(device, 0x0000FF);
    gfx_begin_scene(device);
    draw(t, 0, 0, GFX_BLEND_SRCALPHA, GFX_BLEND_INVSRCALPHA);
    draw(t, 10, 0, GFX_BLEND_ONE, GFX_BLEND_ZERO);
    gfx_end_scene(device);
    Surface* bb = gfx_device_back_buffer(device);
    auto at = [&](int x) {
      uint32_t p = 0;
      std::memcpy(&p, bb->pixels + x * surface_bytes_per_pixel(format),
                  (size_t)surface_bytes_per_pixel(format));
      return surface_to_argb(p, format) & 0xFFFFFF;
    };
    EXPECT_EQ(at(0), 0x0000FFu) << format;
    EXPECT_EQ(at(1), 0x00FF00u) << format;
    EXPECT_EQ(at(10), 0xFF0000u) << format;
    gfx_back_buffer_release(device);
    gfx_texture_release(t);
  }
}

TEST_F(Device, ResetNeedsTheBackBufferBackAndRestoresDefaults) {
  GfxTexture* t = texture(1, 1);
  const uint32_t texel = 0xFF123456;
  write_texels(t, &texel, 4);
  gfx_set_render_state(device, GFX_RS_ALPHABLENDENABLE, 1);
  Surface* bb = gfx_device_back_buffer(device);
  (void)bb;
  gfx_device_simulate(device, GFX_DEVICELOST, 2);
  EXPECT_EQ(gfx_present(device, nullptr, nullptr), GFX_DEVICELOST);
  EXPECT_EQ(gfx_device_presents(device), 0);
  EXPECT_EQ(gfx_device_reset(device, &params), GFX_DEVICELOST);
  EXPECT_EQ(gfx_test_cooperative_level(device), GFX_DEVICELOST);
  EXPECT_EQ(gfx_test_cooperative_level(device), GFX_DEVICELOST);
  EXPECT_EQ(gfx_test_cooperative_level(device), GFX_DEVICENOTRESET);
  EXPECT_EQ(gfx_device_reset(device, &params), GFX_INVALIDCALL); // a reference is out
  gfx_back_buffer_release(device);
  EXPECT_EQ(gfx_device_reset(device, &params), GFX_OK);
  EXPECT_EQ(gfx_test_cooperative_level(device), GFX_OK);
  EXPECT_EQ(gfx_device_render_state(device, GFX_RS_ALPHABLENDENABLE), 0u);
  EXPECT_EQ(gfx_device_render_state(device, GFX_RS_SRCBLEND), (uint32_t)GFX_BLEND_ONE);
  EXPECT_EQ(get32(gfx_texture_level(t), 0, 0), 0xFF123456u); // managed: survives
  EXPECT_EQ(gfx_present(device, nullptr, nullptr), GFX_OK);
  EXPECT_EQ(gfx_device_presents(device), 1);
  gfx_texture_release(t);
}

TEST_F(Device, LocksAndDeviceContextsExcludeEachOther) {
  Surface* bb = gfx_device_back_buffer(device);
  int pitch = 0;
  ASSERT_NE(gfx_surface_lock(bb, &pitch, 0), nullptr);
  EXPECT_EQ(pitch, bb->pitch);
  EXPECT_EQ(gfx_surface_lock(bb, &pitch, 0), nullptr);
  EXPECT_EQ(gfx_surface_get_dc(bb), nullptr);
  gfx_surface_unlock(bb);
  ASSERT_EQ(gfx_surface_get_dc(bb), bb);
  EXPECT_EQ(gfx_surface_get_dc(bb), nullptr);
  EXPECT_EQ(gfx_surface_lock(bb, &pitch, 0), nullptr);
  EXPECT_EQ(gfx_surface_release_dc(bb), GFX_OK);
  EXPECT_EQ(gfx_surface_release_dc(bb), GFX_INVALIDCALL);
  Surface* alpha = surface_create(2, 2, FMT_A8R8G8B8);
  EXPECT_EQ(gfx_surface_get_dc(alpha), nullptr); // no context with alpha
  surface_free(alpha);
  GfxTexture* t = texture(2, 2);
  ASSERT_NE(gfx_texture_lock(t, &pitch, GFX_LOCK_READONLY), nullptr);
  EXPECT_EQ(gfx_texture_lock(t, &pitch, 0), nullptr) << "one lock at a time";
  EXPECT_EQ(gfx_texture_unlock(t), GFX_OK);
  EXPECT_EQ(gfx_texture_unlock(t), GFX_INVALIDCALL);
  gfx_texture_release(t);
  gfx_back_buffer_release(device);
}
