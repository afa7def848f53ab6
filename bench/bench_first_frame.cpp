// The whole process: the real game binary from its exec to its first presented
// frame of play (the black clear at the opening of the screen does not count),
// warm (every scaled copy on disk) and cold (none, so the game makes them),
// next to a trivial SDL program that opens a window and presents one frame
// (trivial_sdl_frame.cpp): with the renderer SDL picks on a desktop (the peer
// of the goals), and through the window's own surface. All run with
// first_frame_shim preloaded, which reports the first frame and ends the process.
//
// Each start gives its wall time (the benchmark's time, from the fork to the
// first frame) and, as counters, its CPU time (every thread of the process)
// and its peak resident memory at that frame. BM_Play_Game lets the game run
// on for five seconds after its first frame, the player standing at the start,
// and gives the share of one core it used (cpu_pct) and its frames a second.
//
// QUILL_FIRST_FRAME_OTHER=PATH adds the rows BM_FirstFrame_OtherWarm and
// BM_Play_Other: another build of the game (its binary; it runs in the same
// working folder), to set two builds side by side in one run.
//
// The display is a private Xvfb, so every program goes through the X server;
// with SDL_VIDEODRIVER=dummy in the environment no X server is started and all
// use SDL's dummy driver (no window system at all: the runtime's own share of
// the start stands out more).
//
//   cmake --build build-test --target bench_first_frame
//   build-test/bench/bench_first_frame --benchmark_repetitions=10
//       --benchmark_enable_random_interleaving=true --benchmark_report_aggregates_only=true
#include "tests/support/xvfb.h"

#include <benchmark/benchmark.h>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <filesystem>
#include <string>
#include <sys/resource.h>

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

// The nanoseconds every thread of process pid has run so far (0 when it is gone).
uint64_t cpu_ns_of(pid_t pid) {
  uint64_t total = 0;
  const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
  if (DIR* d = opendir(tasks.c_str())) {
    while (dirent* e = readdir(d)) {
      if (e->d_name[0] == '.') continue;
      if (FILE* f = fopen((tasks + "/" + e->d_name + "/schedstat").c_str(), "r")) {
        unsigned long long ns = 0;
        if (fscanf(f, "%llu", &ns) == 1) total += ns;
        fclose(f);
      }
    }
    closedir(d);
  }
  return total;
}

struct Start {
  double wall_s = -1; // fork to the first frame; -1 when none came within a minute
  double cpu_s = 0;   // CPU time of the process to its first frame
  double peak_mb = 0; // peak resident memory at the first frame
  double play_cpu_share = 0, play_fps = 0; // over the play after it, when asked for
};

// Reads exactly n bytes from fd within timeout_ms; false otherwise.
bool read_within(int fd, void* out, size_t n, int timeout_ms) {
  size_t got = 0;
  uint64_t until = now_ns() + (uint64_t)timeout_ms * 1000000u;
  while (got < n) {
    uint64_t now = now_ns();
    pollfd p = {fd, POLLIN, 0};
    if (now >= until || poll(&p, 1, (int)((until - now) / 1000000u) + 1) <= 0) return false;
    ssize_t r = read(fd, (char*)out + got, n - got);
    if (r <= 0) return false;
    got += (size_t)r;
  }
  return true;
}

// Starts program in the working folder and waits for its first frame; with
// play_s above 0, lets it run on that long and measures the play.
Start start_program(const char* program, const std::vector<std::string>& args, double play_s) {
  Stage& s = stage();
  Start result;
  int fds[2];
  if (pipe(fds) != 0) return result;
  std::vector<std::string> env = {"LD_PRELOAD=" FIRST_FRAME_SHIM,
                                  "QUILL_FIRST_FRAME_FD=" + std::to_string(fds[1])};
  if (play_s > 0) env.push_back("QUILL_FIRST_FRAME_KEEP=1");
  if (!s.display.empty()) env.push_back("DISPLAY=" + s.display);
  Child child;
  uint64_t start = now_ns();
  bool started = child.start(program, s.folder, env, args);
  close(fds[1]);
  uint64_t record[3]; // the first frame's wall clock, CPU time (ns) and peak memory (kB)
  bool got = started && read_within(fds[0], record, sizeof record, 60000);
  if (got) {
    result.wall_s = (double)(record[0] - start) / 1e9;
    result.cpu_s = (double)record[1] / 1e9;
    result.peak_mb = (double)record[2] / 1024.0;
  }
  if (got && play_s > 0) {
    // Every present after the first writes its time.
    const uint64_t from = now_ns(), cpu_from = cpu_ns_of(child.pid);
    std::vector<uint64_t> presents;
    uint64_t stamp;
    while (now_ns() - from < (uint64_t)(play_s * 1e9))
      if (read_within(fds[0], &stamp, sizeof stamp, 100) && stamp >= from)
        presents.push_back(stamp);
    const uint64_t to = now_ns(), cpu_to = cpu_ns_of(child.pid);
    result.play_cpu_share = (double)(cpu_to - cpu_from) / (double)(to - from);
    result.play_fps = (double)presents.size() / ((double)(to - from) / 1e9);
  }
  close(fds[0]);
  if (child.pid > 0) kill(child.pid, SIGKILL);
  child.wait(10000);
  return result;
}

void run(benchmark::State& state, const char* program, std::vector<std::string> args, bool cold,
         double play_s = 0) {
  if (!stage().error.empty()) {
    state.SkipWithError(stage().error.c_str());
    return;
  }
  if (!cold) start_program(program, args, 0); // makes the scaled copies of a warm start
  double cpu = 0, peak = 0, share = 0, fps = 0;
  for (auto _ : state) {
    if (cold) stage().drop_copies();
    Start s = start_program(program, args, play_s);
    if (s.wall_s < 0) {
      state.SkipWithError("no frame within a minute");
      return;
    }
    state.SetIterationTime(play_s > 0 ? play_s : s.wall_s);
    cpu += s.cpu_s, peak = std::max(peak, s.peak_mb), share += s.play_cpu_share, fps += s.play_fps;
  }
  const double n = (double)state.iterations();
  if (play_s > 0) {
    state.counters["cpu_pct"] = 100 * share / n;
    state.counters["fps"] = fps / n;
  } else {
    state.counters["cpu_ms"] = 1000 * cpu / n;
    state.counters["peak_rss_MB"] = peak;
  }
}

// The first start's hint would be drawn into the first frame of only one run.
void BM_FirstFrame_GameWarm(benchmark::State& s) { run(s, GAME_BINARY, {"--no-hint"}, false); }
void BM_FirstFrame_GameCold(benchmark::State& s) { run(s, GAME_BINARY, {"--no-hint"}, true); }
void BM_FirstFrame_TrivialSdl(benchmark::State& s) { run(s, TRIVIAL_SDL_FRAME, {}, false); }
void BM_FirstFrame_TrivialSdlSurface(benchmark::State& s) {
  run(s, TRIVIAL_SDL_FRAME, {"surface"}, false);
}
void BM_Play_Game(benchmark::State& s) { run(s, GAME_BINARY, {"--no-hint"}, false, 5.0); }

// Another build of the game, named by QUILL_FIRST_FRAME_OTHER, in the same run:
// to tell what a change bought. It is given no option (builds from before
// --no-hint know none); the untimed start before the runs shows any hint.
const int other_registered = [] {
  static std::string other =
      getenv("QUILL_FIRST_FRAME_OTHER") ? getenv("QUILL_FIRST_FRAME_OTHER") : "";
  if (other.empty()) return 0;
  benchmark::RegisterBenchmark("BM_FirstFrame_OtherWarm",
                               [](benchmark::State& s) { run(s, other.c_str(), {}, false); })
      ->UseManualTime()
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("BM_Play_Other",
                               [](benchmark::State& s) { run(s, other.c_str(), {}, false, 5.0); })
      ->UseManualTime()
      ->Iterations(1)
      ->Unit(benchmark::kMillisecond);
  return 1;
}();
} // namespace

BENCHMARK(BM_FirstFrame_GameWarm)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FirstFrame_GameCold)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FirstFrame_TrivialSdl)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FirstFrame_TrivialSdlSurface)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Play_Game)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
