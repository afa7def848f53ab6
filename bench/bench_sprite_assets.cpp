// Loading the game's art at an opening of the screen, on the null platform in a
// scratch copy of build/data/see: a warm start (every scaled copy present), the
// sprites alone, a cold start (no copies), and beside them the same work done
// with libpng directly (the floor).
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
    fs::current_path(folder);
    null_reset();
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

// ---- The floor: libpng called directly ----

void quiet_error(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void quiet_warning(png_structp, png_const_charp) {}

// Decodes a PNG file to 24-bit rows; 0 on failure.
int floor_decode(const char* path, std::vector<uint8_t>& rgb, int& w, int& h) {
  FILE* f = fopen(path, "rb");
  if (!f) return 0;
  png_structp png =
      png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, quiet_error, quiet_warning);
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
  FILE* f = fopen(path, "wb");
  if (!f) return 0;
  png_structp png =
      png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, quiet_error, quiet_warning);
  png_infop info = png_create_info_struct(png);
  int ok = 0;
  if (!setjmp(png_jmpbuf(png))) {
    png_init_io(png, f);
    png_set_filter(png, 0, PNG_FILTER_NONE);
    png_set_compression_level(png, 9);
    png_set_IHDR(png, info, w, h, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_bgr(png);
    png_write_info(png, info);
    for (int y = 0; y < h; y++) png_write_row(png, (png_bytep)rgb + (size_t)y * w * 3);
    png_write_end(png, info);
    ok = 1;
  }
  png_destroy_write_struct(&png, &info);
  fclose(f);
  return ok;
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
