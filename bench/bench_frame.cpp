// One frame of the game's kind on the software graphics device, next to SDL2's
// own software blitter doing the same scene: two 640x480 panels clipped at
// x = -320 and x = 320, keyed sprites (the argument: 15, 60 or 240) from 24x40
// to 128x160, a 600x100 box, and the copy of the finished frame into a
// streaming texture.
//
// The peer to beat is SDL with run-length acceleration on its keyed sprites
// (SDL_SetSurfaceRLE), as an SDL program drawing keyed sprites sets it up.
// SDL without it is kept, labelled, because earlier notes compared against it.
// The memcpy floor moves the same rows with memcpy alone (each sprite's rows
// whole, as if it had no transparent pixels): no blitter can do much better.
//
//   cmake --build build-test --target bench_frame
//   build-test/bench/bench_frame --benchmark_repetitions=10
//       --benchmark_enable_random_interleaving=true --benchmark_report_aggregates_only=true
#include "runtime/platform/plat_window.h"
#include "runtime/platform/softgfx/softgfx.h"

#include <SDL.h>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {
const int screen_w = 640, screen_h = 480, sizes = 15;
const uint32_t magenta = 0xFF00FF;

struct SpriteShape {
  int w, h, x, y;
};

// Sprite i takes size i % 15, so every count has the same mix of sizes.
SpriteShape shape(int i) {
  int k = i % sizes;
  int w = 24 + 104 * k / (sizes - 1), h = 40 + 120 * k / (sizes - 1);
  return {w, h, (i * 97) % (screen_w - 64) - 16, screen_h - h - (i * 53) % 200};
}

// A sprite's picture as 0xRRGGBB: a filled ellipse on magenta, the way the
// game's figures stand on their key colour.
uint32_t sprite_pixel(int i, int x, int y, int w, int h) {
  double dx = (x + 0.5) / w - 0.5, dy = (y + 0.5) / h - 0.5;
  if (dx * dx + dy * dy > 0.25) return magenta;
  return 0x203040u + (uint32_t)(i * 0x0A0705) + (uint32_t)((x ^ y) & 15);
}

uint32_t panel_pixel(int p, int x, int y, int, int) {
  return (uint32_t)(p * 0x300000 + (y / 4) * 0x100 + x / 3);
}

// The streaming texture every side copies its finished frame into.
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
  // Copies a finished 640x480 frame (rows pitch bytes apart) into the texture.
  void upload(const uint8_t* pixels, int pitch) {
    void* to;
    int to_pitch;
    SDL_LockTexture(texture, nullptr, &to, &to_pitch);
    for (int y = 0; y < screen_h; y++)
      std::memcpy((uint8_t*)to + (size_t)y * to_pitch, pixels + (size_t)y * pitch, 4 * screen_w);
    SDL_UnlockTexture(texture);
  }
};

typedef uint32_t (*PixelFn)(int, int, int, int, int);

struct SoftScene {
  GfxSystem* gfx;
  PlatWindow* window;
  GfxDevice* device;
  Surface* back;
  GfxTexture* panels[2];
  std::vector<GfxTexture*> sprites;

  GfxTexture* texture(int w, int h, PixelFn pixel, int index) {
    GfxTexture* t = gfx_texture_create(device, w, h, 1, 0, FMT_A8R8G8B8, GFX_POOL_MANAGED);
    int pitch;
    uint8_t* texels = gfx_texture_lock(t, &pitch, 0);
    for (int y = 0; y < h; y++)
      for (int x = 0; x < w; x++) {
        uint32_t c = pixel(index, x, y, w, h);
        uint32_t p = c == magenta ? c : 0xFF000000u | c; // the key's alpha rule
        std::memcpy(texels + (size_t)y * pitch + 4 * (size_t)x, &p, 4);
      }
    gfx_texture_unlock(t);
    return t;
  }

  explicit SoftScene(int count) {
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
    for (int i = 0; i < 2; i++) panels[i] = texture(screen_w, screen_h, panel_pixel, i);
    for (int i = 0; i < count; i++)
      sprites.push_back(texture(shape(i).w, shape(i).h, sprite_pixel, i));
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
  void draw_sprites() {
    for (size_t i = 0; i < sprites.size(); i++)
      draw(sprites[i], shape((int)i).x, shape((int)i).y, 1);
  }
  void sprites_only() {
    gfx_begin_scene(device);
    draw_sprites();
    gfx_end_scene(device);
  }
  void frame(Target& target) {
    gfx_begin_scene(device);
    draw(panels[0], -320, 0, 0);
    draw(panels[1], 320, 0, 0);
    draw_sprites();
    gfx_end_scene(device);
    surface_fill(back, 20, 360, 600, 100, 0x000040); // the caption box
    target.upload(back->pixels, back->pitch);
  }
};

struct SdlScene {
  SDL_Surface* screen;
  SDL_Surface* panels[2];
  std::vector<SDL_Surface*> sprites;

  static SDL_Surface* surface(int w, int h, PixelFn pixel, int index) {
    SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_RGB888);
    for (int y = 0; y < h; y++)
      for (int x = 0; x < w; x++) {
        uint32_t c = pixel(index, x, y, w, h);
        std::memcpy((uint8_t*)s->pixels + (size_t)y * s->pitch + 4 * (size_t)x, &c, 4);
      }
    return s;
  }

  SdlScene(int count, bool rle) {
    screen = SDL_CreateRGBSurfaceWithFormat(0, screen_w, screen_h, 32, SDL_PIXELFORMAT_RGB888);
    for (int i = 0; i < 2; i++) panels[i] = surface(screen_w, screen_h, panel_pixel, i);
    for (int i = 0; i < count; i++) {
      SDL_Surface* s = surface(shape(i).w, shape(i).h, sprite_pixel, i);
      SDL_SetColorKey(s, SDL_TRUE, magenta);
      SDL_SetSurfaceRLE(s, rle ? 1 : 0);
      sprites.push_back(s);
    }
  }
  ~SdlScene() {
    for (SDL_Surface* s : panels) SDL_FreeSurface(s);
    for (SDL_Surface* s : sprites) SDL_FreeSurface(s);
    SDL_FreeSurface(screen);
  }

  void sprites_only() {
    for (size_t i = 0; i < sprites.size(); i++) {
      SDL_Rect at = {shape((int)i).x, shape((int)i).y, 0, 0};
      SDL_BlitSurface(sprites[i], nullptr, screen, &at);
    }
  }
  void frame(Target& target) {
    SDL_Rect left = {-320, 0, 0, 0}, right = {320, 0, 0, 0};
    SDL_BlitSurface(panels[0], nullptr, screen, &left);
    SDL_BlitSurface(panels[1], nullptr, screen, &right);
    sprites_only();
    SDL_Rect box = {20, 360, 600, 100};
    SDL_FillRect(screen, &box, 0x000040);
    target.upload((const uint8_t*)screen->pixels, screen->pitch);
  }
};

// The same rows moved by memcpy alone, from pictures laid out like SDL's.
struct MemcpyFloor {
  SdlScene scene;
  explicit MemcpyFloor(int count) : scene(count, false) {}

  static void copy_rows(SDL_Surface* to, const SDL_Surface* from, int x, int y) {
    int x0 = x < 0 ? 0 : x, x1 = x + from->w > screen_w ? screen_w : x + from->w;
    int y0 = y < 0 ? 0 : y, y1 = y + from->h > screen_h ? screen_h : y + from->h;
    for (int row = y0; row < y1; row++)
      std::memcpy((uint8_t*)to->pixels + (size_t)row * to->pitch + 4 * (size_t)x0,
                  (const uint8_t*)from->pixels + (size_t)(row - y) * from->pitch +
                      4 * (size_t)(x0 - x),
                  4 * (size_t)(x1 - x0));
  }
  void sprites_only() {
    for (size_t i = 0; i < scene.sprites.size(); i++)
      copy_rows(scene.screen, scene.sprites[i], shape((int)i).x, shape((int)i).y);
  }
  void frame(Target& target) {
    copy_rows(scene.screen, scene.panels[0], -320, 0);
    copy_rows(scene.screen, scene.panels[1], 320, 0);
    sprites_only();
    for (int row = 360; row < 460; row++) {
      uint32_t* p = (uint32_t*)((uint8_t*)scene.screen->pixels + (size_t)row * scene.screen->pitch);
      std::fill(p + 20, p + 620, 0x000040u);
    }
    target.upload((const uint8_t*)scene.screen->pixels, scene.screen->pitch);
  }
};

// Runs one scene kind: the whole frame, or (sprites_only) the keyed sprites alone.
template <typename Scene, typename... Extra>
void run(benchmark::State& state, bool sprites_only, Extra... extra) {
  Target target;
  Scene scene((int)state.range(0), extra...);
  scene.frame(target); // run-length tables are made at the first draw, on both sides
  for (auto _ : state) {
    if (sprites_only)
      scene.sprites_only();
    else
      scene.frame(target);
    benchmark::ClobberMemory();
  }
  state.counters["sprites"] = (double)state.range(0);
}

// The race means something only if both draw the same frame.
bool frames_match(int count) {
  Target target;
  SoftScene soft(count);
  SdlScene sdl(count, true);
  soft.frame(target);
  sdl.frame(target);
  for (int y = 0; y < screen_h; y++)
    for (int x = 0; x < screen_w; x++) {
      uint32_t a, b;
      std::memcpy(&a, soft.back->pixels + (size_t)y * soft.back->pitch + 4 * (size_t)x, 4);
      std::memcpy(&b, (uint8_t*)sdl.screen->pixels + (size_t)y * sdl.screen->pitch + 4 * (size_t)x,
                  4);
      if ((a ^ b) & 0xFFFFFF) return false;
    }
  return true;
}

void BM_Frame_SoftwareDevice(benchmark::State& s) {
  if (!frames_match((int)s.range(0))) s.SkipWithError("the device and SDL drew different frames");
  run<SoftScene>(s, false);
}
void BM_Frame_SdlRle(benchmark::State& s) { run<SdlScene>(s, false, true); }
void BM_Frame_SdlNoRle_Unfair(benchmark::State& s) { run<SdlScene>(s, false, false); }
void BM_Frame_MemcpyFloor(benchmark::State& s) { run<MemcpyFloor>(s, false); }
void BM_KeyedSprites_SoftwareDevice(benchmark::State& s) { run<SoftScene>(s, true); }
void BM_KeyedSprites_SdlRle(benchmark::State& s) { run<SdlScene>(s, true, true); }
void BM_KeyedSprites_SdlNoRle_Unfair(benchmark::State& s) { run<SdlScene>(s, true, false); }
void BM_KeyedSprites_MemcpyFloor(benchmark::State& s) { run<MemcpyFloor>(s, true); }
} // namespace

#define SPRITE_COUNTS(b) BENCHMARK(b)->Arg(15)->Arg(60)->Arg(240)->Unit(benchmark::kMicrosecond)
SPRITE_COUNTS(BM_Frame_SoftwareDevice);
SPRITE_COUNTS(BM_Frame_SdlRle);
SPRITE_COUNTS(BM_Frame_SdlNoRle_Unfair);
SPRITE_COUNTS(BM_Frame_MemcpyFloor);
SPRITE_COUNTS(BM_KeyedSprites_SoftwareDevice);
SPRITE_COUNTS(BM_KeyedSprites_SdlRle);
SPRITE_COUNTS(BM_KeyedSprites_SdlNoRle_Unfair);
SPRITE_COUNTS(BM_KeyedSprites_MemcpyFloor);
