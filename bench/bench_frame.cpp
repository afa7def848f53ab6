// One frame of the game's kind drawn by the runtime (its screen and sprites on
// the software graphics device), next to SDL2's own software blitter doing the
// same scene: two 640x480 landscape panels clipped at x = -320 and x = 320,
// keyed sprites (the argument), a 600x100 box, and the copy of the finished
// frame into a streaming texture. The rows named KeyedSprites draw the keyed
// sprites alone.
//
// The sprites are the game's own: the scaled copies of its pictures, made from
// the art build as the game makes them (bench/game_art.h), loaded and drawn
// through the runtime's sprite calls as the game draws them. Mixes:
//   (none)     the mix of the world: each of its 15 objects in turn, their
//              frames cycled, spread along the bottom of the screen;
//   Every      every picture the game has in turn, each wholly on the screen;
//   CutLeft, CutRight, CutTop, CutBottom: every picture in turn, a quarter, a
//              half or three quarters of it over that edge of the screen;
//   Ellipses   the stand-ins of earlier notes: filled ellipses from 24x40 to
//              128x160 on made-up panels, mostly opaque with one run a row.
// Counts: 1 (the fixed cost of a draw), 2 (the median a frame of the game
// draws in play: bench_play), 15, 60 and 240.
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
#include "runtime/display/screen.h"
#include "runtime/display/sprites.h"
#include "runtime/display/window.h"
#include "runtime/image/images.h"
#include "runtime/platform/bitmap.h"

#include <SDL.h>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <tuple>
#include <vector>

namespace {
const int screen_w = 640, screen_h = 480;
const uint32_t magenta = 0xFF00FF;

// Which pictures a scene draws, and where.
enum Mix { WORLD, EVERY, CUT_LEFT, CUT_RIGHT, CUT_TOP, CUT_BOTTOM, ELLIPSES };

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

// Where sprite i of a mix goes: the world's spread along the bottom of the
// screen; a whole picture somewhere on it; or a quarter, a half or three
// quarters of it over an edge.
Placed place(Mix mix, int i, const Picture* p) {
  const int w = p->width, h = p->height;
  const int x = (i * 97) % std::max(1, screen_w - w), y = screen_h - h - (i * 53) % 100;
  const int over_x = w * (1 + i % 3) / 4, over_y = h * (1 + i % 3) / 4;
  switch (mix) {
  case WORLD: return {p, (i * 97) % (screen_w - 64) - 16, y};
  case ELLIPSES: return {p, (i * 97) % (screen_w - 64) - 16, screen_h - h - (i * 53) % 200};
  case EVERY: return {p, x, y};
  case CUT_LEFT: return {p, -over_x, y};
  case CUT_RIGHT: return {p, screen_w - w + over_x, y};
  case CUT_TOP: return {p, x, -over_y};
  case CUT_BOTTOM: return {p, x, screen_h - h + over_y};
  }
  return {p, 0, 0};
}

// The scenery of count sprites of a mix, made once.
const Scenery& scenery(int count, Mix mix) {
  static std::map<std::pair<int, Mix>, Scenery> made;
  static std::vector<std::unique_ptr<Picture>> pictures; // the ellipses and their panels
  auto found = made.find({count, mix});
  if (found != made.end()) return found->second;
  Scenery s;
  if (mix == ELLIPSES) {
    for (int i = 0; i < 2; i++) {
      pictures.emplace_back(new Picture(made_up_panel(i)));
      s.panels[i] = pictures.back().get();
    }
  } else {
    s.panels[0] = &game_art().panels[0];
    s.panels[1] = &game_art().panels[1];
  }
  const std::vector<Picture>& every = game_art().every;
  for (int i = 0; i < count; i++) {
    const Picture* p;
    if (mix == ELLIPSES) {
      pictures.emplace_back(new Picture(ellipse(i)));
      p = pictures.back().get();
    } else if (mix == WORLD) {
      p = &game_art().sprite_of(i);
    } else {
      p = &every[(size_t)i % every.size()];
    }
    s.sprites.push_back(place(mix, i, p));
  }
  return made[{count, mix}] = s;
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

// The runtime's screen in a window, its sprites made from the pictures as
// the game makes its own (keyed with magenta; the panels opaque), drawn with
// sprite_draw and sprite_draw_keyed.
struct SoftScene {
  const Scenery& scenery;
  int panels[2];
  std::vector<int> sprites;
  bool ready = false;

  // A sprite of the picture, made as the game makes one from an image.
  static int sprite(const Picture& picture, bool keyed) {
    int image = image_create(-1, picture.width, picture.height, 24);
    ImageRecord* r = image_lookup(image);
    if (!r) return 0;
    const PlatBitmap* b = r->bitmap;
    for (int y = 0; y < picture.height; y++) {
      uint8_t* row = b->pixels + (size_t)(picture.height - 1 - y) * b->row_size;
      for (int x = 0; x < picture.width; x++) {
        const uint32_t c = picture.rgb[(size_t)y * picture.width + x];
        row[3 * x] = (uint8_t)c, row[3 * x + 1] = (uint8_t)(c >> 8),
                row[3 * x + 2] = (uint8_t)(c >> 16);
      }
    }
    int n = sprite_from_image(-1, image);
    image_free(image);
    if (n && keyed) sprite_set_key_colour(n, 0xFF00FF);
    return n;
  }

  explicit SoftScene(const Scenery& s) : scenery(s) {
    event_queue_init();
    window_library_init();
    image_init();
    if (!display_init() || !window_open(0, 0, 0, screen_w, screen_h, "soft", 0) ||
        !screen_open_windowed(window_handle(0), 0, 0, screen_w, screen_h, 0, 0, 0))
      return;
    ready = true;
    for (int i = 0; i < 2; i++) ready &= (panels[i] = sprite(*s.panels[i], false)) != 0;
    for (const Placed& placed : s.sprites) {
      sprites.push_back(sprite(*placed.picture, true));
      ready &= sprites.back() != 0;
    }
  }
  ~SoftScene() {
    window_close_all();
    gui_end();
    display_shutdown();
    image_shutdown();
  }

  void draw_sprites() {
    for (size_t i = 0; i < sprites.size(); i++)
      sprite_draw_keyed(sprites[i], scenery.sprites[i].x, scenery.sprites[i].y);
  }
  void sprites_only() {
    draw_sprites();
    scene_end();
  }
  void frame(Target& target) {
    sprite_draw(panels[0], -320, 0);
    sprite_draw(panels[1], 320, 0);
    draw_sprites();
    scene_end();
    Surface* back = screen_back_buffer();
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
  if (!soft.ready) return false;
  soft.frame(target);
  sdl.frame(target);
  const Surface* back = screen_back_buffer();
  for (int y = 0; y < screen_h; y++)
    for (int x = 0; x < screen_w; x++) {
      uint32_t a, b;
      std::memcpy(&a, back->pixels + (size_t)y * back->pitch + 4 * (size_t)x, 4);
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

// Runs one scene kind on count sprites of a mix: the whole frame, or
// (sprites_only) the keyed sprites alone.
template <typename Scene, typename... Extra>
void run(benchmark::State& state, Mix mix, bool sprites_only, Extra... extra) {
  if (mix != ELLIPSES && !game_art().error.empty()) {
    state.SkipWithError(game_art().error.c_str());
    return;
  }
  const Scenery& s = scenery((int)state.range(0), mix);
  if (std::is_same<Scene, SoftScene>::value && !frames_match(s)) {
    state.SkipWithError("the runtime and SDL drew different frames");
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

// Ours and SDL with run-length acceleration, on the keyed sprites alone and
// on the whole frame; for the world's mix also the handicapped SDL and the memcpy floor.
#define KEYED_ROWS(mix, name)                                                                      \
  void BM_KeyedSprites##name##_SoftwareDevice(benchmark::State& s) {                               \
    run<SoftScene>(s, mix, true);                                                                  \
  }                                                                                                \
  void BM_KeyedSprites##name##_SdlRle(benchmark::State& s) { run<SdlScene>(s, mix, true, true); }
#define FRAME_ROWS(mix, name)                                                                      \
  void BM_Frame##name##_SoftwareDevice(benchmark::State& s) { run<SoftScene>(s, mix, false); }     \
  void BM_Frame##name##_SdlRle(benchmark::State& s) { run<SdlScene>(s, mix, false, true); }
KEYED_ROWS(WORLD, )
KEYED_ROWS(EVERY, _Every)
KEYED_ROWS(CUT_LEFT, _CutLeft)
KEYED_ROWS(CUT_RIGHT, _CutRight)
KEYED_ROWS(CUT_TOP, _CutTop)
KEYED_ROWS(CUT_BOTTOM, _CutBottom)
KEYED_ROWS(ELLIPSES, _Ellipses)
FRAME_ROWS(WORLD, )
FRAME_ROWS(EVERY, _Every)
FRAME_ROWS(ELLIPSES, _Ellipses)
void BM_Frame_SdlNoRle_Unfair(benchmark::State& s) { run<SdlScene>(s, WORLD, false, false); }
void BM_Frame_MemcpyFloor(benchmark::State& s) { run<MemcpyFloor>(s, WORLD, false); }
void BM_KeyedSprites_SdlNoRle_Unfair(benchmark::State& s) { run<SdlScene>(s, WORLD, true, false); }
void BM_KeyedSprites_MemcpyFloor(benchmark::State& s) { run<MemcpyFloor>(s, WORLD, true); }
} // namespace

#define COUNTS(b)                                                                                  \
  BENCHMARK(b)->Apply(fixed_iterations)->Arg(15)->Arg(60)->Arg(240)->Unit(benchmark::kMicrosecond)
#define ALL_COUNTS(b)                                                                              \
  BENCHMARK(b)                                                                                     \
      ->Apply(fixed_iterations)                                                                    \
      ->Arg(1)                                                                                     \
      ->Arg(2)                                                                                     \
      ->Arg(15)                                                                                    \
      ->Arg(60)                                                                                    \
      ->Arg(240)                                                                                   \
      ->Unit(benchmark::kMicrosecond)
#define MIX_ROWS(name)                                                                             \
  ALL_COUNTS(BM_KeyedSprites##name##_SoftwareDevice);                                              \
  ALL_COUNTS(BM_KeyedSprites##name##_SdlRle)
ALL_COUNTS(BM_Frame_SoftwareDevice);
ALL_COUNTS(BM_Frame_SdlRle);
COUNTS(BM_Frame_SdlNoRle_Unfair);
COUNTS(BM_Frame_MemcpyFloor);
MIX_ROWS();
COUNTS(BM_KeyedSprites_SdlNoRle_Unfair);
COUNTS(BM_KeyedSprites_MemcpyFloor);
COUNTS(BM_Frame_Every_SoftwareDevice);
COUNTS(BM_Frame_Every_SdlRle);
MIX_ROWS(_Every);
MIX_ROWS(_CutLeft);
MIX_ROWS(_CutRight);
MIX_ROWS(_CutTop);
MIX_ROWS(_CutBottom);
COUNTS(BM_Frame_Ellipses_SoftwareDevice);
COUNTS(BM_Frame_Ellipses_SdlRle);
COUNTS(BM_KeyedSprites_Ellipses_SoftwareDevice);
COUNTS(BM_KeyedSprites_Ellipses_SdlRle);
