// The whole process: the real game binary from its exec to its first presented
// frame of play (the black clear at the opening of the screen does not count),
// warm (every scaled copy on disk) and cold (none, so the game makes them),
// next to a trivial SDL program that opens a window and presents one frame
// (trivial_sdl_frame.cpp). Both run with first_frame_shim preloaded, which
// writes the time of that frame to a pipe and ends the process.
//
// The display is a private Xvfb, so both go through the X server and the
// renderer SDL picks on a desktop; with SDL_VIDEODRIVER=dummy in the
// environment no X server is started and both use SDL's dummy driver (no
// window system at all: the runtime's own share of the start stands out more).
//
//   cmake --build build-test --target bench_first_frame
//   build-test/bench/bench_first_frame --benchmark_repetitions=10
//       --benchmark_enable_random_interleaving=true --benchmark_report_aggregates_only=true
#include "tests/support/xvfb.h"

#include <benchmark/benchmark.h>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>

namespace fs = std::filesystem;

namespace {

uint64_t now_ns() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return (uint64_t)t.tv_sec * 1000000000u + (uint64_t)t.tv_nsec;
}

// The display and a scratch copy of the game's working folder, made once.
struct Stage {
  Xvfb xvfb;
  std::string display, folder, error;
  Stage() {
    const char* driver = getenv("SDL_VIDEODRIVER");
    if (!driver || std::string(driver) != "dummy") {
      if (!xvfb.start()) error = "Xvfb could not be started";
      display = xvfb.display;
    }
    folder =
        (fs::temp_directory_path() / ("quill-first-frame-" + std::to_string(getpid()))).string();
    std::error_code failed;
    fs::copy(QUILL_DATA_DIR, folder, fs::copy_options::recursive, failed);
    if (failed) error = "no copy of " QUILL_DATA_DIR;
  }
  ~Stage() {
    std::error_code ignored;
    fs::remove_all(folder, ignored);
  }
  void drop_copies() {
    for (const auto& entry : fs::directory_iterator(folder + "/see"))
      if (entry.path().filename().string().ends_with("_x4.png")) fs::remove(entry.path());
  }
};

Stage& stage() {
  static Stage s;
  return s;
}

// Starts program in the working folder and waits for its first frame; the
// seconds from the start to that frame, or -1 when none came within a minute.
double time_to_first_frame(const char* program) {
  Stage& s = stage();
  int fds[2];
  if (pipe(fds) != 0) return -1;
  std::vector<std::string> env = {"LD_PRELOAD=" FIRST_FRAME_SHIM,
                                  "QUILL_FIRST_FRAME_FD=" + std::to_string(fds[1])};
  if (!s.display.empty()) env.push_back("DISPLAY=" + s.display);
  Child child;
  uint64_t start = now_ns();
  // The first start's hint would be drawn into the first frame of only one run.
  bool started = child.start(program, s.folder, env, {"--no-hint"});
  close(fds[1]);
  uint64_t shown = 0;
  pollfd p = {fds[0], POLLIN, 0};
  bool got = started && poll(&p, 1, 60000) > 0 && read(fds[0], &shown, 8) == 8;
  close(fds[0]);
  child.wait(got ? 10000 : 0);
  return got ? (double)(shown - start) / 1e9 : -1;
}

void run(benchmark::State& state, const char* program, bool cold) {
  if (!stage().error.empty()) {
    state.SkipWithError(stage().error.c_str());
    return;
  }
  if (!cold) time_to_first_frame(program); // makes the scaled copies of a warm start
  for (auto _ : state) {
    if (cold) stage().drop_copies();
    double seconds = time_to_first_frame(program);
    if (seconds < 0) {
      state.SkipWithError("no frame within a minute");
      return;
    }
    state.SetIterationTime(seconds);
  }
}

void BM_FirstFrame_GameWarm(benchmark::State& s) { run(s, GAME_BINARY, false); }
void BM_FirstFrame_GameCold(benchmark::State& s) { run(s, GAME_BINARY, true); }
void BM_FirstFrame_TrivialSdl(benchmark::State& s) { run(s, TRIVIAL_SDL_FRAME, false); }
} // namespace

BENCHMARK(BM_FirstFrame_GameWarm)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FirstFrame_GameCold)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FirstFrame_TrivialSdl)->UseManualTime()->Unit(benchmark::kMillisecond);
