// The game played from its recorded track (tests/game/replay_full.track: the
// start to the credits) on the null platform, in a scratch copy of the data
// folder: the time of the whole game (its start, every frame, its end), and
// what the frames draw, as counters over the frames that show the world:
// keyed_median, keyed_mean, keyed_p90 and keyed_max keyed sprites a frame (the
// ones that reach the screen; those wholly off it are not drawn), and
// cut_pct, the share of them cut at an edge of the screen.
//
//   cmake --build build-test --target bench_play
//   build-test/bench/bench_play --benchmark_repetitions=10
#include "game/frame_loop.h"
#include "game/game_state.h"
#include "game/screen_modes.h"
#include "runtime/core/clock_random.h"
#include "runtime/display/screen.h"
#include "runtime/platform/null/null_platform.h"
#include "tests/game/game_folder.h"
#include "tests/game/replay_track.h"

#include <algorithm>
#include <benchmark/benchmark.h>

namespace {

struct Played {
  std::vector<int> keyed; // keyed draws of each frame that showed the world
  int cut = 0;            // keyed draws cut at an edge in those frames
  uint32_t frames = 0;    // every frame played
};

// Plays the whole track once.
Played play(const Track& track) {
  Played p;
  null_reset();
  uint32_t frame = 0;
  null_keyboard_script([&](uint32_t, uint8_t* snapshot) { track_fill(track, frame, snapshot); });
  random_seed(track.seed);
  game_startup();
  for (; frame < track.frames.size() + 100 && !game.quit_requested; frame++) {
    const GfxDrawCounts before = gfx_device_draw_counts(screen_device());
    const bool world = !game.ending;
    game_frame();
    const GfxDrawCounts after = gfx_device_draw_counts(screen_device());
    if (world && !game.ending) {
      p.keyed.push_back(after.keyed - before.keyed);
      p.cut += after.keyed_cut - before.keyed_cut;
    }
  }
  p.frames = frame;
  close_game_screen();
  shutdown_runtime();
  game_state_reset();
  return p;
}

void BM_Play_ReplayFrame(benchmark::State& state) {
  Track track;
  if (!track_load(QUILL_SOURCE_DIR "/tests/game/replay_full.track", &track)) {
    state.SkipWithError("no replay track");
    return;
  }
  GameFolder folder(QUILL_DATA_DIR);
  if (!folder.ready) {
    state.SkipWithError("no art");
    return;
  }
  play(track); // makes the scaled copies: the runs below start warm
  Played p;
  for (auto _ : state) p = play(track);
  std::vector<int> keyed = p.keyed;
  std::sort(keyed.begin(), keyed.end());
  double sum = 0;
  for (int k : keyed) sum += k;
  const size_t n = keyed.size();
  state.counters["frames"] = p.frames;
  state.counters["keyed_median"] = n ? keyed[n / 2] : 0;
  state.counters["keyed_mean"] = n ? sum / (double)n : 0;
  state.counters["keyed_p90"] = n ? keyed[n * 9 / 10] : 0;
  state.counters["keyed_max"] = n ? keyed[n - 1] : 0;
  state.counters["cut_pct"] = sum ? 100 * p.cut / sum : 0;
}
} // namespace

BENCHMARK(BM_Play_ReplayFrame)->Unit(benchmark::kMillisecond);
