// Text and caption drawing into the screen's 640 x 480 back buffer on the null
// platform. Run: build-test/bench/bench_drawing
#include "game/captions.h"
#include "game/game_state.h"
#include "runtime/display/screen.h"
#include "runtime/display/window.h"
#include "runtime/image/drawing.h"
#include "runtime/platform/null/null_platform.h"

#include <benchmark/benchmark.h>

namespace {
// 19 glyphs, the first line of every discovery caption.
const char* const LINE = "You have discovered";

// A windowed screen as the game opens it, and the caption font; 0 without Arial.
int open_screen() {
  null_reset();
  event_queue_init();
  window_library_init();
  font_init();
  if (!display_init() || !window_open(0, 0, 0, 640, 480, "bench", 0xC80001) ||
      !screen_open_windowed(window_handle(0), 0, 0, 640, 480, 0, 0, 0))
    return -1;
  screen_clear(0x604020);
  return font_load(0, "Arial", 14);
}

void close_screen() {
  window_close_all();
  gui_end();
  display_shutdown();
  font_shutdown();
}

// Runs body inside one drawing pass on the back buffer in the caption font.
template <typename F> void in_pass(benchmark::State& state, bool flush, F body) {
  int font = open_screen();
  if (font <= 0) {
    state.SkipWithError(font < 0 ? "no screen" : "Arial is not installed");
    close_screen();
    return;
  }
  draw_start(screen_output());
  draw_mode(DRAW_TRANSPARENT);
  draw_font(font);
  for (auto _ : state) {
    if (flush) d2d_font_flush(font);
    body();
  }
  draw_stop();
  close_screen();
}
} // namespace

// One line of text whose glyphs are already rendered.
static void BM_Text19Cached(benchmark::State& state) {
  in_pass(state, false, [] { benchmark::DoNotOptimize(draw_text(200, 200, LINE, 0xFFFFFF)); });
}
BENCHMARK(BM_Text19Cached);

// The same line with every glyph rendered again by FreeType.
static void BM_Text19Uncached(benchmark::State& state) {
  in_pass(state, true, [] { benchmark::DoNotOptimize(draw_text(200, 200, LINE, 0xFFFFFF)); });
}
BENCHMARK(BM_Text19Uncached);

// The built-in font, as on a machine without fonts.
static void BM_Text19SystemFont(benchmark::State& state) {
  open_screen();
  draw_start(screen_output());
  draw_mode(DRAW_TRANSPARENT);
  for (auto _ : state) benchmark::DoNotOptimize(draw_text(200, 200, LINE, 0xFFFFFF));
  draw_stop();
  close_screen();
}
BENCHMARK(BM_Text19SystemFont);

// The frame's whole text layer with a two-line caption on: the screen's output
// made and started, mode and font, the black box, the panel, two lines, stop.
static void BM_CaptionTwoLines(benchmark::State& state) {
  int font = open_screen();
  if (font <= 0) {
    state.SkipWithError(font < 0 ? "no screen" : "Arial is not installed");
    close_screen();
    return;
  }
  game.caption = "|FFFFFF\\You have discovered|00FFFF\\SUNLIGHT";
  for (auto _ : state) {
    draw_start(screen_output());
    draw_mode(DRAW_TRANSPARENT);
    draw_font(font);
    draw_caption();
    draw_stop();
  }
  close_screen();
}
BENCHMARK(BM_CaptionTwoLines);
