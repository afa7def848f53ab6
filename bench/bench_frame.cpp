// One frame of the game's kind on the software graphics device, next to SDL2's
// own software blitter doing the same scene: two 640x480 landscape panels
// clipped at x = -320 and x = 320, keyed sprites (the argument: 15, 60 or 240),
// a 600x100 box, and the copy of the finished frame into a streaming texture.
//
// The sprites are the game's own: the scaled copies of its pictures, made from
// the art build as the game makes them (bench/game_art.h), in the mix of the
// world (each of its 15 objects in turn, their frames cycled). The rows named
// Ellipses draw the stand-ins of earlier notes instead: filled ellipses from
// 24x40 to 128x160 on made-up panels, mostly opaque with one run a row.
//
// The peer to beat is SDL with run-length acceleration on its keyed sprites
// (SDL_SetSurfaceRLE), as an SDL program drawing keyed sprites sets it up, on
// surfaces of the same pixels. Every scene is first drawn by both and the
// frames compared. SDL without run-length acceleration is kept, labelled,
// because earlier notes compared against it. The memcpy floor moves the same
// rows with memcpy alone (each sprite's rows whole, as if it had no
// transparent pixels): no blitter can do much better.
//
//   cmake --build build-test --target bench_frame
//   build-test/bench/bench_frame --benchmark_repetitions=10
//       --benchmark_enable_random_interleaving=true --benchmark_report_aggregates_only=true
#include "bench/fixed_iterations.h"
#include "bench/game_art.h"
#include "runtime/platform/plat_window.h"
#include "runtime/platform/softgfx/softgfx.h"

#include <SDL.h>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <vector>

namespace {
const int screen_w = 640, screen_h = 480;
const uint32_t magenta = 0xFF00FF;

// A sprite and where it is drawn.
struct Placed {
  const Picture* picture;
  int x, y;
};

// What a frame shows: two panels, then the sprites in order.
struct Scenery {
  const Picture* panels[2];
  std::vector<Placed> sprites;
};

// The stand-ins of earlier notes: a filled ellipse on magenta, sizes 24x40 to 128x160.
Picture ellipse(int i) {
  const int k = i % 15, w = 24 + 104 * k / 14, h = 40 + 120 * k / 14;
  Picture p;
  p.width = w;
  p.height = h;
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++) {
      double dx = (x + 0.5) / w - 0.5, dy = (y + 0.5) / h - 0.5;
      p.rgb.push_back(dx * dx + dy * dy > 0.25
                          ? magenta
                          : 0x203040u + (uint32_t)(i * 0x0A0705) + (uint32_t)((x ^ y) & 15));
    }
  return p;
}

Picture made_up_panel(int n) {
  Picture p;
  p.width = screen_w;
  p.height = screen_h;
  for (int y = 0; y < screen_h; y++)
    for (int x = 0; x < screen_w; x++)
      p.rgb.push_back((uint32_t)(n * 0x300000 + (y / 4) * 0x100 + x / 3));
  return p;
}

const GameArt& game_art() {
  static GameArt art;
  return art;
}

// The scenery of count sprites of the game's art (or the ellipses), made once.
const Scenery& scenery(int count, bool ellipses) {
  static std::map<std::pair<int, bool>, Scenery> made;
  static std::vector<std::unique_ptr<Picture>> pictures; // the ellipses and their panels
  auto found = made.find({count, ellipses});
  if (found != made.end()) return found->second;
  Scenery s;
  if (ellipses) {
    for (int i = 0; i < 2; i++) {
      pictures.emplace_back(new Picture(made_up_panel(i)));
      s.panels[i] = pictures.back().get();
    }
  } else {
    s.panels[0] = &game_art().panels[0];
    s.panels[1] = &game_art().panels[1];
  }
  for (int i = 0; i < count; i++) {
    const Picture* p;
    if (ellipses) {
      pictures.emplace_back(new Picture(ellipse(i)));
      p = pictures.back().get();
    } else {
      p = &game_art().sprite_of(i);
    }
    // Spread along the screen, standing on or near its bottom edge.
    int x = (i * 97) % (screen_w - 64) - 16;
    int y = screen_h - p->height - (i * 53) % (ellipses ? 200 : 100);
    s.sprites.push_back({p, x, y});
  }
  return made[{count, ellipses}] = s;
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

struct SoftScene {
  const Scenery& scenery;
  GfxSystem* gfx;
  PlatWindow* window;
  GfxDevice* device;
  Surface* back;
  GfxTexture* panels[2];
  std::vector<GfxTexture*> sprites;

  // A texture of the picture under the key's alpha rule, as a sprite's is made.
  GfxTexture* texture(const Picture& picture) {
    GfxTexture* t = gfx_texture_create(device, picture.width, picture.height, 1, 0, FMT_A8R8G8B8,
                                       GFX_POOL_MANAGED);
    int pitch;
    uint8_t* texels = gfx_texture_lock(t, &pitch, 0);
    for (int y = 0; y < picture.height; y++)
      for (int x = 0; x < picture.width; x++) {
        uint32_t c = picture.rgb[(size_t)y * picture.width + x];
        uint32_t p = c == magenta ? c : 0xFF000000u | c;
        std::memcpy(texels + (size_t)y * pitch + 4 * (size_t)x, &p, 4);
      }
    gfx_texture_unlock(t);
    return t;
  }

  explicit SoftScene(const Scenery& s) : scenery(s) {
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
    for (int i = 0; i < 2; i++) panels[i] = texture(*s.panels[i]);
    for (const Placed& placed : s.sprites) sprites.push_back(texture(*placed.picture));
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

  // As the runtime draws a sprite: a quad of the texture's size.
  void draw(GfxTexture* t, const Picture& picture, int x, int y, int keyed) {
    float l = x - 0.5f, top = y - 0.5f, r = l + picture.width, b = top + picture.height;
    float v[4][6] = {
        {l, top, 0, 1, 0, 0}, {r, top, 0, 1, 1, 0}, {l, b, 0, 1, 0, 1}, {r, b, 0, 1, 1, 1}};
    gfx_set_render_state(device, GFX_RS_SRCBLEND, keyed ? GFX_BLEND_SRCALPHA : GFX_BLEND_ONE);
    gfx_set_render_state(device, GFX_RS_DESTBLEND, keyed ? GFX_BLEND_INVSRCALPHA : GFX_BLEND_ZERO);
    gfx_set_texture(device, 0, t);
    gfx_draw_primitive_up(device, 2, v, 24);
  }
  void draw_sprites() {
    for (size_t i = 0; i < sprites.size(); i++) {
      const Placed& at = scenery.sprites[i];
      draw(sprites[i], *at.picture, at.x, at.y, 1);
    }
  }
  void sprites_only() {
    gfx_begin_scene(device);
    draw_sprites();
    gfx_end_scene(device);
  }
  void frame(Target& target) {
    gfx_begin_scene(device);
    draw(panels[0], *scenery.panels[0], -320, 0, 0);
    draw(panels[1], *scenery.panels[1], 320, 0, 0);
    draw_sprites();
    gfx_end_scene(device);
    surface_fill(back, 20, 360, 600, 100, 0x000040); // the caption box
    target.upload(back->pixels, back->pitch);
  }
};

struct SdlScene {
  const Scenery& scenery;
  SDL_Surface* screen;
  SDL_Surface* panels[2];
  std::vector<SDL_Surface*> sprites;

  static SDL_Surface* surface(const Picture& picture) {
    SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, picture.width, picture.height, 32,
                                                    SDL_PIXELFORMAT_RGB888);
    for (int y = 0; y < picture.height; y++)
      std::memcpy((uint8_t*)s->pixels + (size_t)y * s->pitch,
                  &picture.rgb[(size_t)y * picture.width], 4 * (size_t)picture.width);
    return s;
  }

  SdlScene(const Scenery& sc, bool rle) : scenery(sc) {
    screen = SDL_CreateRGBSurfaceWithFormat(0, screen_w, screen_h, 32, SDL_PIXELFORMAT_RGB888);
    for (int i = 0; i < 2; i++) panels[i] = surface(*sc.panels[i]);
    for (const Placed& placed : sc.sprites) {
      SDL_Surface* s = surface(*placed.picture);
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
      SDL_Rect at = {scenery.sprites[i].x, scenery.sprites[i].y, 0, 0};
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
  explicit MemcpyFloor(const Scenery& s) : scene(s, false) {}

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
      copy_rows(scene.screen, scene.sprites[i], scene.scenery.sprites[i].x,
                scene.scenery.sprites[i].y);
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

// The race means something only if both draw the same frame.
bool frames_match(const Scenery& s) {
  Target target;
  SoftScene soft(s);
  SdlScene sdl(s, true);
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

// One timed step, out of line so that an instruction count can take it alone:
//   QUILL_BENCH_ITERATIONS=20 valgrind --tool=callgrind
//       --toggle-collect='*timed_iteration<*SoftScene*' build-test/bench/bench_frame
//       --benchmark_filter='KeyedSprites_SoftwareDevice/240'
// gives the instructions of 20 steps.
template <typename Scene>
__attribute__((noinline)) void timed_iteration(Scene& scene, Target& target, bool sprites_only) {
  if (sprites_only)
    scene.sprites_only();
  else
    scene.frame(target);
  benchmark::ClobberMemory();
}

// Runs one scene kind on count sprites of the game's art (or the ellipses):
// the whole frame, or (sprites_only) the keyed sprites alone.
template <typename Scene, typename... Extra>
void run(benchmark::State& state, bool ellipses, bool sprites_only, Extra... extra) {
  if (!ellipses && !game_art().error.empty()) {
    state.SkipWithError(game_art().error.c_str());
    return;
  }
  const Scenery& s = scenery((int)state.range(0), ellipses);
  if (std::is_same<Scene, SoftScene>::value && !frames_match(s)) {
    state.SkipWithError("the device and SDL drew different frames");
    return;
  }
  Target target;
  Scene scene(s, extra...);
  scene.frame(target); // run-length tables are made at the first draw, on both sides
  for (auto _ : state) timed_iteration(scene, target, sprites_only);
  state.counters["sprites"] = (double)state.range(0);
  // How much of the sprites' area is drawn at all.
  double texels = 0, opaque = 0;
  for (const Placed& p : s.sprites) {
    texels += (double)p.picture->rgb.size();
    for (uint32_t c : p.picture->rgb) opaque += c != magenta;
  }
  state.counters["sprite_kB"] = texels * 4 / 1024;
  state.counters["opaque_pct"] = 100 * opaque / texels;
}

void BM_Frame_SoftwareDevice(benchmark::State& s) { run<SoftScene>(s, false, false); }
void BM_Frame_SdlRle(benchmark::State& s) { run<SdlScene>(s, false, false, true); }
void BM_Frame_SdlNoRle_Unfair(benchmark::State& s) { run<SdlScene>(s, false, false, false); }
void BM_Frame_MemcpyFloor(benchmark::State& s) { run<MemcpyFloor>(s, false, false); }
void BM_KeyedSprites_SoftwareDevice(benchmark::State& s) { run<SoftScene>(s, false, true); }
void BM_KeyedSprites_SdlRle(benchmark::State& s) { run<SdlScene>(s, false, true, true); }
void BM_KeyedSprites_SdlNoRle_Unfair(benchmark::State& s) { run<SdlScene>(s, false, true, false); }
void BM_KeyedSprites_MemcpyFloor(benchmark::State& s) { run<MemcpyFloor>(s, false, true); }
void BM_Frame_Ellipses_SoftwareDevice(benchmark::State& s) { run<SoftScene>(s, true, false); }
void BM_Frame_Ellipses_SdlRle(benchmark::State& s) { run<SdlScene>(s, true, false, true); }
void BM_KeyedSprites_Ellipses_SoftwareDevice(benchmark::State& s) { run<SoftScene>(s, true, true); }
void BM_KeyedSprites_Ellipses_SdlRle(benchmark::State& s) { run<SdlScene>(s, true, true, true); }
} // namespace

#define SPRITE_COUNTS(b)                                                                           \
  BENCHMARK(b)->Apply(fixed_iterations)->Arg(15)->Arg(60)->Arg(240)->Unit(benchmark::kMicrosecond)
SPRITE_COUNTS(BM_Frame_SoftwareDevice);
SPRITE_COUNTS(BM_Frame_SdlRle);
SPRITE_COUNTS(BM_Frame_SdlNoRle_Unfair);
SPRITE_COUNTS(BM_Frame_MemcpyFloor);
SPRITE_COUNTS(BM_KeyedSprites_SoftwareDevice);
SPRITE_COUNTS(BM_KeyedSprites_SdlRle);
SPRITE_COUNTS(BM_KeyedSprites_SdlNoRle_Unfair);
SPRITE_COUNTS(BM_KeyedSprites_MemcpyFloor);
SPRITE_COUNTS(BM_Frame_Ellipses_SoftwareDevice);
SPRITE_COUNTS(BM_Frame_Ellipses_SdlRle);
SPRITE_COUNTS(BM_KeyedSprites_Ellipses_SoftwareDevice);
SPRITE_COUNTS(BM_KeyedSprites_Ellipses_SdlRle);
