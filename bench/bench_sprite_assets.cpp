// Loading the game's art at an opening of the screen, on the null platform in a
// scratch copy of the data folder: a warm start (every scaled copy present), the
// sprites alone, a cold start (no copies); beside them the way it was done
// before (each panel saved to a scratch PNG at level 9 and read back, labelled
// ScratchPng) and a floor that only decodes the cached sprites and the
// landscape with libpng, cuts the panels and builds the keyed 32-bit texels
// the sprites keep. Then the whole game: started to
// its first frame with and without the copies, and a switch of screen mode,
// with peak memory.
//
//   cmake --build build-test --target bench_sprite_assets
//   build-test/bench/bench_sprite_assets --benchmark_repetitions=10
//       --benchmark_enable_random_interleaving=true --benchmark_report_aggregates_only=true
//       --benchmark_filter='WarmStart|ScreenModeSwitch|Floor'
#include "bench/fixed_iterations.h"
#include "bench/libpng_direct.h"
#include "game/frame_loop.h"
#include "game/game_state.h"
#include "game/screen_modes.h"
#include "game/sprite_assets.h"
#include "runtime/display/sprites.h"
#include "runtime/image/codecs.h"
#include "runtime/image/images.h"
#include "runtime/platform/null/null_platform.h"

#include <benchmark/benchmark.h>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <png.h>
#include <string>
#include <sys/resource.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

const char* const NAMES[] = {"sir0",  "sir1",  "sir2",  "sir3",  "rox0",  "rox1",  "rox2",  "rox3",
                             "tree0", "tree1", "tree2", "tree3", "tree4", "tree5", "tree6", "brid0",
                             "brid1", "brid2", "brid3", "sher0", "sher1", "pit0",  "pit1",  "pit2",
                             "pit3",  "fg0",   "fg1",   "fg2",   "fg3",   "frz0",  "frz1",  "frz2",
                             "mam0",  "mam1",  "gal0",  "gal1",  "gal2",  "gal3",  "mam2",  "mam3",
                             "lite",  "bsh",   "twigs", "mag",   "feet"};

// The game started once (which makes the copies) in a scratch working folder.
struct Stage {
  std::string folder;
  Stage() {
    folder = (fs::temp_directory_path() / ("quill-bench-art-" + std::to_string(getpid()))).string();
    fs::create_directories(folder + "/see");
    for (const char* n : NAMES)
      fs::copy_file(std::string(QUILL_DATA_DIR) + "/see/" + n + ".png",
                    folder + "/see/" + n + ".png");
    fs::copy_file(std::string(QUILL_DATA_DIR) + "/see/urth.png", folder + "/see/urth.png");
    fs::copy(std::string(QUILL_DATA_DIR) + "/hear", folder + "/hear");
    fs::current_path(folder);
    null_reset();
    null_audio_present(1); // the sound bank is part of a start
    game_startup();
  }
  ~Stage() {
    close_game_screen();
    shutdown_runtime();
    std::error_code ignored;
    fs::remove_all(folder, ignored);
  }
};

Stage& stage() {
  static Stage s;
  return s;
}

void drop_copies() {
  for (const char* n : NAMES) fs::remove("see/" + std::string(n) + "_x4.png");
}

void BM_WarmStart(benchmark::State& state) {
  stage();
  for (auto _ : state) {
    state.PauseTiming();
    sprite_free_all(); // as closing the screen does
    state.ResumeTiming();
    load_sprites(1);
  }
  if (game.panel_count != 10 || !game.anim_frames[0][0]) state.SkipWithError("art missing");
}
BENCHMARK(BM_WarmStart)->Apply(fixed_iterations)->Unit(benchmark::kMillisecond);

void BM_WarmSpritesOnly(benchmark::State& state) {
  stage();
  for (auto _ : state) {
    state.PauseTiming();
    sprite_free_all();
    state.ResumeTiming();
    for (const char* n : NAMES) benchmark::DoNotOptimize(load_scaled_sprite(n, 1));
  }
}
BENCHMARK(BM_WarmSpritesOnly)->Apply(fixed_iterations)->Unit(benchmark::kMillisecond);

// ---- The way it was: each panel through a scratch PNG ----

void panels_through_scratch_png() {
  int land = image_load(-1, ".\\see\\urth.png");
  game.panels.assign((size_t)(image_width(land) * 4 / 640), 0); // 1600 wide: exactly 10
  for (size_t i = 0; i < game.panels.size(); i++) {
    int slice = image_copy(land, -1, 160 * (int)i, 0, 160, image_height(land));
    if (image_resize(slice, 640, 480, 1) && image_save(slice, "./see/temp.png", IMAGE_FORMAT_PNG))
      game.panels[i] = sprite_load(-1, "./see/temp.png");
    image_free(slice);
  }
  image_free(land);
}

void BM_WarmStart_ScratchPng(benchmark::State& state) {
  stage();
  for (auto _ : state) {
    state.PauseTiming();
    sprite_free_all();
    state.ResumeTiming();
    panels_through_scratch_png();
    for (const char* n : NAMES) benchmark::DoNotOptimize(load_scaled_sprite(n, 1));
  }
}
BENCHMARK(BM_WarmStart_ScratchPng)->Apply(fixed_iterations)->Unit(benchmark::kMillisecond);

void BM_ColdStart(benchmark::State& state) {
  stage();
  for (auto _ : state) {
    state.PauseTiming();
    sprite_free_all();
    drop_copies();
    game.sprite_names.clear();
    state.ResumeTiming();
    load_sprites(1);
  }
  if (!fs::exists("see/sir0_x4.png")) state.SkipWithError("no copies made");
}
BENCHMARK(BM_ColdStart)->Apply(fixed_iterations)->Unit(benchmark::kMillisecond);

// ---- The whole game ----

// The largest resident size of this process so far; run one benchmark per
// process (--benchmark_filter) to read it as that benchmark's peak.
void count_peak_memory(benchmark::State& state) {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  state.counters["peak_rss_MB"] = (double)usage.ru_maxrss / 1024.0;
}

void stop_game() {
  close_game_screen();
  shutdown_runtime();
  game_state_reset();
}

// From an empty process state to the first frame shown: the runtime, the font,
// display and keyboard, the screen with every sprite, the sounds, the world.
void start_to_first_frame(benchmark::State& state, bool cold) {
  stage();
  for (auto _ : state) {
    state.PauseTiming();
    stop_game();
    null_reset();
    null_audio_present(1);
    if (cold) drop_copies();
    state.ResumeTiming();
    game_startup();
    game_frame();
  }
  if (!game.player || !game.anim_frames[0][0]) state.SkipWithError("the game did not start");
  count_peak_memory(state);
}

void BM_WarmStartToFirstFrame(benchmark::State& state) { start_to_first_frame(state, false); }
BENCHMARK(BM_WarmStartToFirstFrame)->Apply(fixed_iterations)->Unit(benchmark::kMillisecond);

void BM_ColdStartToFirstFrame(benchmark::State& state) { start_to_first_frame(state, true); }
BENCHMARK(BM_ColdStartToFirstFrame)->Apply(fixed_iterations)->Unit(benchmark::kMillisecond);

// Left Ctrl+F: close the screen, open the other kind, reload every sprite from
// its copy and cut the panels again.
void BM_ScreenModeSwitch(benchmark::State& state) {
  stage();
  for (auto _ : state)
    if (!open_game_screen(1 - game.windowed)) state.SkipWithError("no screen");
  count_peak_memory(state);
}
BENCHMARK(BM_ScreenModeSwitch)->Apply(fixed_iterations)->Unit(benchmark::kMillisecond);

// The same switch with the panels made the way they were: the screen opened
// while the landscape is out of sight (so no panels are cut), then the panels
// through the scratch PNG.
void BM_ScreenModeSwitch_ScratchPng(benchmark::State& state) {
  stage();
  for (auto _ : state) {
    state.PauseTiming();
    fs::rename("see/urth.png", "see/urth.away");
    state.ResumeTiming();
    if (!open_game_screen(1 - game.windowed)) state.SkipWithError("no screen");
    state.PauseTiming();
    fs::rename("see/urth.away", "see/urth.png");
    state.ResumeTiming();
    panels_through_scratch_png();
  }
  count_peak_memory(state);
}
BENCHMARK(BM_ScreenModeSwitch_ScratchPng)->Apply(fixed_iterations)->Unit(benchmark::kMillisecond);

// ---- The floor: libpng called directly ----
// It builds what the game ends with: every picture in the keyed 32-bit format
// its sprites keep (B, G, R, A; alpha 0 for the key colour).

// What the floor keeps of a start: every picture in a block of its own, as the
// game keeps its panels and sprites until the screen closes.
using Kept = std::vector<std::unique_ptr<uint8_t[]>>;

// Decodes a PNG file to 24-bit rows; empty on failure.
std::vector<uint8_t> floor_decode(const char* path, int& w, int& h) {
  std::vector<uint8_t> rgb;
  FILE* f = fopen(path, "rb");
  if (!f) return rgb;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, libpng_quiet_error,
                                           libpng_quiet_warning);
  png_infop info = png_create_info_struct(png);
  std::vector<png_bytep> rows;
  if (!setjmp(png_jmpbuf(png))) {
    png_init_io(png, f);
    png_read_info(png, info);
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_strip_alpha(png);
    png_set_bgr(png);
    png_read_update_info(png, info);
    w = (int)png_get_image_width(png, info);
    h = (int)png_get_image_height(png, info);
    rgb.resize((size_t)w * h * 3);
    for (int y = 0; y < h; y++) rows.push_back(rgb.data() + (size_t)y * w * 3);
    png_read_image(png, rows.data());
  }
  png_destroy_read_struct(&png, &info, nullptr);
  fclose(f);
  return rgb;
}

// A texel of the game's keyed 32-bit format from a 24-bit pixel: B, G, R and
// an alpha of 0 for the key colour (0xRRGGBB), 255 for any other.
inline uint32_t keyed_texel(const uint8_t* bgr, uint32_t key) {
  uint32_t c = bgr[0] | (uint32_t)bgr[1] << 8 | (uint32_t)bgr[2] << 16;
  return c == key ? c : c | 0xFF000000u;
}

// The landscape decoded and cut into panels of keyed texels, scaled by four
// (keyed on black, the key every sprite gets when it is made): each source
// pixel keyed once and stored four times, each row made once and copied for
// the three below it.
void floor_panels(Kept& kept) {
  int w = 0, h = 0;
  const std::vector<uint8_t> land = floor_decode("see/urth.png", w, h);
  for (int i = 0; !land.empty() && i < w / 160; i++) {
    kept.emplace_back(new uint8_t[(size_t)640 * 480 * 4]);
    uint32_t* panel = (uint32_t*)kept.back().get();
    for (int y = 0; y < 480; y++) {
      uint32_t* out = panel + (size_t)y * 640;
      if (y % 4) {
        std::memcpy(out, out - 640, 640 * 4);
        continue;
      }
      const uint8_t* row = &land[((size_t)(y * h / 480) * w + 160 * i) * 3];
      for (int x = 0; x < 160; x++)
        out[4 * x] = out[4 * x + 1] = out[4 * x + 2] = out[4 * x + 3] =
            keyed_texel(row + (size_t)x * 3, 0);
    }
  }
  benchmark::ClobberMemory();
}

// Every scaled copy decoded into keyed texels (keyed on magenta), each in a block kept.
void floor_sprites(Kept& kept) {
  for (const char* n : NAMES) {
    int w = 0, h = 0;
    const std::vector<uint8_t> rgb =
        floor_decode(("see/" + std::string(n) + "_x4.png").c_str(), w, h);
    uint8_t* texels = new uint8_t[(size_t)w * h * 4];
    kept.emplace_back(texels);
    for (size_t p = 0; p < rgb.size() / 3; p++) {
      uint32_t t = keyed_texel(&rgb[p * 3], 0xFF00FF);
      std::memcpy(texels + p * 4, &t, 4);
    }
  }
  benchmark::ClobberMemory();
}

// Runs part (panels, sprites or both). What it kept is let go of before the
// next run, as closing the screen does: in the timing only for the floor of a
// switch, which closes the screen itself.
void floor(benchmark::State& state, bool panels, bool sprites, bool timed_let_go = false) {
  stage();
  Kept kept;
  for (auto _ : state) {
    if (!timed_let_go) state.PauseTiming();
    kept.clear();
    if (!timed_let_go) state.ResumeTiming();
    if (panels) floor_panels(kept);
    if (sprites) floor_sprites(kept);
  }
}

void BM_PanelsLibpngFloor(benchmark::State& state) { floor(state, true, false); }
BENCHMARK(BM_PanelsLibpngFloor)->Apply(fixed_iterations)->Unit(benchmark::kMillisecond);
void BM_SpritesLibpngFloor(benchmark::State& state) { floor(state, false, true); }
BENCHMARK(BM_SpritesLibpngFloor)->Apply(fixed_iterations)->Unit(benchmark::kMillisecond);
void BM_WarmStartLibpngFloor(benchmark::State& state) { floor(state, true, true); }
BENCHMARK(BM_WarmStartLibpngFloor)->Apply(fixed_iterations)->Unit(benchmark::kMillisecond);
void BM_ScreenModeSwitchLibpngFloor(benchmark::State& state) { floor(state, true, true, true); }
BENCHMARK(BM_ScreenModeSwitchLibpngFloor)->Apply(fixed_iterations)->Unit(benchmark::kMillisecond);

} // namespace
