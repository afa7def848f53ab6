// Text and caption drawing into a 640 x 480 32-bit buffer.
// Run: build/bench/bench_drawing
#include "runtime/image/drawing.h"

#include <benchmark/benchmark.h>
#include <vector>

namespace {
// 19 glyphs, the first line of every discovery caption.
const char* const LINE = "You have discovered";

struct Screen {
  std::vector<uint32_t> pixels = std::vector<uint32_t>(640 * 480, 0xFF204060);
  Surface s = {(uint8_t*)pixels.data(), 640, 480, 640 * 4, FMT_X8R8G8B8, 0, 0};
};

int caption_font() {
  font_init();
  return font_load(0, "Arial", 14);
}
} // namespace

// One glyph-cached line of text inside an open drawing pass.
static void BM_Text19Cached(benchmark::State& state) {
  Screen screen;
  int font = caption_font();
  draw_start(surface_output(&screen.s));
  draw_mode(DRAW_TRANSPARENT);
  draw_font(font ? font : -1);
  for (auto _ : state) benchmark::DoNotOptimize(draw_text(200, 200, LINE, 0xFFFFFF));
  draw_stop();
  font_shutdown();
  if (!font) state.SkipWithError("Arial is not installed");
}
BENCHMARK(BM_Text19Cached);

// The same line with every glyph rendered again by FreeType.
static void BM_Text19Uncached(benchmark::State& state) {
  Screen screen;
  int font = caption_font();
  draw_start(surface_output(&screen.s));
  draw_mode(DRAW_TRANSPARENT);
  draw_font(font ? font : -1);
  for (auto _ : state) {
    d2d_font_flush(font);
    benchmark::DoNotOptimize(draw_text(200, 200, LINE, 0xFFFFFF));
  }
  draw_stop();
  font_shutdown();
  if (!font) state.SkipWithError("Arial is not installed");
}
BENCHMARK(BM_Text19Uncached);

// The built-in font, as on a machine without fonts.
static void BM_Text19SystemFont(benchmark::State& state) {
  Screen screen;
  draw_start(surface_output(&screen.s));
  draw_mode(DRAW_TRANSPARENT);
  for (auto _ : state) benchmark::DoNotOptimize(draw_text(200, 200, LINE, 0xFFFFFF));
  draw_stop();
}
BENCHMARK(BM_Text19SystemFont);
