// One frame of the game's kind on the software graphics device, next to SDL2's
// own software blitter doing the same scene: two 640x480 panels clipped at
// x = -320 and x = 320, fifteen keyed sprites from 24x40 to 128x160, a 600x100
// box, and the copy of the finished frame into a streaming texture.
//
//   cmake --build build-test --target bench_frame && build-test/bench/bench_frame
#include "runtime/platform/plat_window.h"
#include "runtime/platform/softgfx/softgfx.h"

#include <SDL.h>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {
const int screen_w = 640, screen_h = 480, sprite_count = 15;
const uint32_t magenta = 0xFF00FF;

struct SpriteShape {
  int w, h, x, y;
};

SpriteShape shape(int i) {
  int w = 24 + 104 * i / (sprite_count - 1), h = 40 + 120 * i / (sprite_count - 1);
  return {w, h, (i * 97) % (screen_w - 64) - 16, screen_h - h - (i * 53) % 200};
}

// A sprite's picture as 0xRRGGBB: a filled ellipse on magenta, the way the
// game's figures stand on their key colour.
uint32_t sprite_pixel(int i, int x, int y, int w, int h) {
  double dx = (x + 0.5) / w - 0.5, dy = (y + 0.5) / h - 0.5;
  if (dx * dx + dy * dy > 0.25) return magenta;
  return 0x203040u + (uint32_t)(i * 0x0A0705) + (uint32_t)((x ^ y) & 15);
}

uint32_t panel_pixel(int p, int x, int y) {
  return (uint32_t)(p * 0x300000 + (y / 4) * 0x100 + x / 3);
}

// The streaming texture both sides copy their finished frame into.
struct Target {
  SDL_Window* window = nullptr;
  SDL_Renderer* renderer = nullptr;
  SDL_Texture* texture = nullptr;
  Target() {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    SDL_InitSubSystem(SDL_INIT_VIDEO);
    window = SDL_CreateWindow("bench", 0, 0, screen_w, screen_h, SDL_WINDOW_HIDDEN);
    renderer = SDL_CreateRenderer(window, -1, 0);
    texture = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING,
                                screen_w, screen_h);
  }
  ~Target() {
    SDL_DestroyTexture(texture);
    SDL_DestroyRenderer(renderer);
    SDL_DestroyWindow(window);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
  }
};

struct SoftScene {
  GfxSystem* gfx;
  PlatWindow* window;
  GfxDevice* device;
  Surface* back;
  GfxTexture* panels[2];
  GfxTexture* sprites[sprite_count];

  static GfxTexture* texture(GfxDevice* d, int w, int h, uint32_t (*pixel)(int, int, int, int, int),
                             int index) {
    GfxTexture* t = gfx_texture_create(d, w, h, 1, 0, FMT_A8R8G8B8, GFX_POOL_MANAGED);
    Surface* s = gfx_texture_level(t);
    for (int y = 0; y < h; y++)
      for (int x = 0; x < w; x++) {
        uint32_t c = pixel(index, x, y, w, h);
        uint32_t p = c == magenta ? c : 0xFF000000u | c; // the key's alpha rule
        std::memcpy(s->pixels + (size_t)y * s->pitch + 4 * (size_t)x, &p, 4);
      }
    return t;
  }

  SoftScene() {
    gfx = gfx_create();
    window = plat_window_create(0, 0, screen_w, screen_h, "soft", PLAT_WINDOW_HIDDEN);
    GfxPresentParams p{};
    p.back_buffer_width = screen_w;
    p.back_buffer_height = screen_h;
    p.back_buffer_format = FMT_X8R8G8B8;
    p.back_buffer_count = 1;
    p.device_window = window;
    p.windowed = 1;
    device = gfx_device_create(gfx, window, GFX_CREATE_SOFTWARE_VERTEXPROCESSING, &p);
    back = gfx_device_back_buffer(device);
    for (int i = 0; i < 2; i++)
      panels[i] = texture(
          device, screen_w, screen_h,
          [](int p, int x, int y, int, int) { return panel_pixel(p, x, y); }, i);
    for (int i = 0; i < sprite_count; i++)
      sprites[i] = texture(device, shape(i).w, shape(i).h, sprite_pixel, i);
    gfx_set_fvf(device, GFX_FVF_XYZRHW_TEX1);
    gfx_set_render_state(device, GFX_RS_ALPHABLENDENABLE, 1);
  }
  ~SoftScene() {
    for (GfxTexture* t : panels) gfx_texture_release(t);
    for (GfxTexture* t : sprites) gfx_texture_release(t);
    gfx_back_buffer_release(device);
    gfx_device_release(device);
    plat_window_destroy(window);
    gfx_release(gfx);
  }

  void draw(GfxTexture* t, int x, int y, int keyed) {
    const Surface* s = gfx_texture_level(t);
    float l = x - 0.5f, top = y - 0.5f, r = l + s->width, b = top + s->height;
    float v[4][6] = {
        {l, top, 0, 1, 0, 0}, {r, top, 0, 1, 1, 0}, {l, b, 0, 1, 0, 1}, {r, b, 0, 1, 1, 1}};
    gfx_set_render_state(device, GFX_RS_SRCBLEND, keyed ? GFX_BLEND_SRCALPHA : GFX_BLEND_ONE);
    gfx_set_render_state(device, GFX_RS_DESTBLEND, keyed ? GFX_BLEND_INVSRCALPHA : GFX_BLEND_ZERO);
    gfx_set_texture(device, 0, t);
    gfx_draw_primitive_up(device, 2, v, 24);
  }
  void sprites_only() {
    gfx_begin_scene(device);
    for (int i = 0; i < sprite_count; i++) draw(sprites[i], shape(i).x, shape(i).y, 1);
    gfx_end_scene(device);
  }
  void frame(SDL_Texture* target) {
    gfx_begin_scene(device);
    draw(panels[0], -320, 0, 0);
    draw(panels[1], 320, 0, 0);
    for (int i = 0; i < sprite_count; i++) draw(sprites[i], shape(i).x, shape(i).y, 1);
    gfx_end_scene(device);
    surface_fill(back, 20, 360, 600, 100, 0x000040); // the caption box
    void* pixels;
    int pitch;
    SDL_LockTexture(target, nullptr, &pixels, &pitch);
    Surface to = {(uint8_t*)pixels, screen_w, screen_h, pitch, FMT_X8R8G8B8, 0, 0};
    surface_copy(&to, 0, 0, back, 0, 0, screen_w, screen_h);
    SDL_UnlockTexture(target);
  }
};

struct SdlScene {
  SDL_Surface* screen;
  SDL_Surface* panels[2];
  SDL_Surface* sprites[sprite_count];

  static SDL_Surface* surface(int w, int h, uint32_t (*pixel)(int, int, int, int, int), int index) {
    SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_RGB888);
    for (int y = 0; y < h; y++)
      for (int x = 0; x < w; x++) {
        uint32_t c = pixel(index, x, y, w, h);
        std::memcpy((uint8_t*)s->pixels + (size_t)y * s->pitch + 4 * (size_t)x, &c, 4);
      }
    return s;
  }

  SdlScene() {
    screen = SDL_CreateRGBSurfaceWithFormat(0, screen_w, screen_h, 32, SDL_PIXELFORMAT_RGB888);
    for (int i = 0; i < 2; i++)
      panels[i] = surface(
          screen_w, screen_h, [](int p, int x, int y, int, int) { return panel_pixel(p, x, y); },
          i);
    for (int i = 0; i < sprite_count; i++) {
      sprites[i] = surface(shape(i).w, shape(i).h, sprite_pixel, i);
      SDL_SetColorKey(sprites[i], SDL_TRUE, magenta);
    }
  }
  ~SdlScene() {
    for (SDL_Surface* s : panels) SDL_FreeSurface(s);
    for (SDL_Surface* s : sprites) SDL_FreeSurface(s);
    SDL_FreeSurface(screen);
  }

  void sprites_only() {
    for (int i = 0; i < sprite_count; i++) {
      SDL_Rect at = {shape(i).x, shape(i).y, 0, 0};
      SDL_BlitSurface(sprites[i], nullptr, screen, &at);
    }
  }
  void frame(SDL_Texture* target) {
    SDL_Rect left = {-320, 0, 0, 0}, right = {320, 0, 0, 0};
    SDL_BlitSurface(panels[0], nullptr, screen, &left);
    SDL_BlitSurface(panels[1], nullptr, screen, &right);
    sprites_only();
    SDL_Rect box = {20, 360, 600, 100};
    SDL_FillRect(screen, &box, 0x000040);
    void* pixels;
    int pitch;
    SDL_LockTexture(target, nullptr, &pixels, &pitch);
    for (int y = 0; y < screen_h; y++)
      std::memcpy((uint8_t*)pixels + (size_t)y * pitch,
                  (const uint8_t*)screen->pixels + (size_t)y * screen->pitch, 4 * screen_w);
    SDL_UnlockTexture(target);
  }
};
} // namespace

static void BM_Frame_SoftwareDevice(benchmark::State& state) {
  Target target;
  SoftScene scene;
  for (auto _ : state) {
    scene.frame(target.texture);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_Frame_SoftwareDevice)->Unit(benchmark::kMicrosecond);

static void BM_Frame_SdlBlitSurface(benchmark::State& state) {
  Target target;
  SdlScene scene;
  for (auto _ : state) {
    scene.frame(target.texture);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_Frame_SdlBlitSurface)->Unit(benchmark::kMicrosecond);

// The fifteen keyed sprites alone, where the two blitters differ most.
static void BM_KeyedSprites_SoftwareDevice(benchmark::State& state) {
  Target target;
  SoftScene scene;
  for (auto _ : state) {
    scene.sprites_only();
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_KeyedSprites_SoftwareDevice)->Unit(benchmark::kMicrosecond);

static void BM_KeyedSprites_SdlBlitSurface(benchmark::State& state) {
  Target target;
  SdlScene scene;
  for (auto _ : state) {
    scene.sprites_only();
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_KeyedSprites_SdlBlitSurface)->Unit(benchmark::kMicrosecond);
