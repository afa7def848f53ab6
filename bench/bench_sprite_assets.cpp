// Loading the game's art at an opening of the screen, on the null platform in a
// scratch copy of the data folder: a warm start (every scaled copy present), the
// sprites alone, a cold start (no copies), and beside them the same work done
// with libpng directly (the floor). Then the whole game: started to its first
// frame with and without the copies, and a switch of screen mode.
#include "bench/libpng_direct.h"
#include "game/frame_loop.h"
#include "game/game_state.h"
#include "game/screen_modes.h"
#include "game/sprite_assets.h"
#include "runtime/display/sprites.h"
#include "runtime/platform/null/null_platform.h"

#include <benchmark/benchmark.h>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <filesystem>
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
BENCHMARK(BM_WarmStart)->Unit(benchmark::kMillisecond);

void BM_WarmSpritesOnly(benchmark::State& state) {
  stage();
  for (auto _ : state) {
    state.PauseTiming();
    sprite_free_all();
    state.ResumeTiming();
    for (const char* n : NAMES) benchmark::DoNotOptimize(load_scaled_sprite(n, 1));
  }
}
BENCHMARK(BM_WarmSpritesOnly)->Unit(benchmark::kMillisecond);

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
BENCHMARK(BM_ColdStart)->Unit(benchmark::kMillisecond);

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
BENCHMARK(BM_WarmStartToFirstFrame)->Unit(benchmark::kMillisecond);

void BM_ColdStartToFirstFrame(benchmark::State& state) { start_to_first_frame(state, true); }
BENCHMARK(BM_ColdStartToFirstFrame)->Unit(benchmark::kMillisecond);

// Left Ctrl+F: close the screen, open the other kind, reload every sprite from
// its copy and cut the panels again.
void BM_ScreenModeSwitch(benchmark::State& state) {
  stage();
  for (auto _ : state)
    if (!open_game_screen(1 - game.windowed)) state.SkipWithError("no screen");
  count_peak_memory(state);
}
BENCHMARK(BM_ScreenModeSwitch)->Unit(benchmark::kMillisecond);

// ---- The floor: libpng called directly ----

// Decodes a PNG file to 24-bit rows; 0 on failure.
int floor_decode(const char* path, std::vector<uint8_t>& rgb, int& w, int& h) {
  FILE* f = fopen(path, "rb");
  if (!f) return 0;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, libpng_quiet_error,
                                           libpng_quiet_warning);
  png_infop info = png_create_info_struct(png);
  std::vector<png_bytep> rows;
  int ok = 0;
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
    ok = 1;
  }
  png_destroy_read_struct(&png, &info, nullptr);
  fclose(f);
  return ok;
}

int floor_encode(const char* path, const uint8_t* rgb, int w, int h) {
  return libpng_write_bgr(path, rgb, w, h, (size_t)w * 3, false);
}

// The landscape decoded, cut, scaled, encoded and decoded again, panel by panel.
void BM_PanelsLibpngFloor(benchmark::State& state) {
  stage();
  std::vector<uint8_t> land, panel((size_t)640 * 480 * 3), back;
  for (auto _ : state) {
    int w = 0, h = 0, pw = 0, ph = 0;
    if (!floor_decode("see/urth.png", land, w, h)) state.SkipWithError("no landscape");
    for (int i = 0; i < w / 160; i++) {
      for (int y = 0; y < 480; y++)
        for (int x = 0; x < 640; x++)
          std::memcpy(&panel[((size_t)y * 640 + x) * 3],
                      &land[((size_t)(y * h / 480) * w + 160 * i + x / 4) * 3], 3);
      floor_encode("see/floor.png", panel.data(), 640, 480);
      floor_decode("see/floor.png", back, pw, ph);
    }
  }
}
BENCHMARK(BM_PanelsLibpngFloor)->Unit(benchmark::kMillisecond);

void BM_SpritesLibpngFloor(benchmark::State& state) {
  stage();
  std::vector<uint8_t> rgb;
  for (auto _ : state)
    for (const char* n : NAMES) {
      int w, h;
      floor_decode(("see/" + std::string(n) + "_x4.png").c_str(), rgb, w, h);
    }
}
BENCHMARK(BM_SpritesLibpngFloor)->Unit(benchmark::kMillisecond);

} // namespace
