#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <regex>

// The game's sleep: between runs, as the game's frames do, the browser is let
// in (natively it only sleeps 0 ms), so the WebAssembly is measured as the game
// is built, with its sleep able to put the stack aside.
void plat_sleep_ms(uint32_t ms);

namespace benchmark {

static double now_seconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

State::Iterator State::begin() {
  start_ = now_seconds();
  return Iterator{this};
}

bool State::keep_going() {
  if (left_ > 0) {
    left_--;
    iterations++;
    return true;
  }
  seconds = now_seconds() - start_;
  return false;
}

static std::vector<Benchmark*>& registry() {
  static std::vector<Benchmark*> all;
  return all;
}

Benchmark* RegisterBenchmark(const char* name, void (*fn)(State&)) {
  registry().push_back(new Benchmark{name, fn, {}});
  return registry().back();
}

} // namespace benchmark

int main(int argc, char** argv) {
  std::string filter = ".";
  int repetitions = 1;
  double min_time = 0.5;
  for (int i = 1; i < argc; i++) {
    if (!strncmp(argv[i], "--benchmark_filter=", 19))
      filter = argv[i] + 19;
    else if (!strncmp(argv[i], "--benchmark_repetitions=", 24))
      repetitions = atoi(argv[i] + 24);
    else if (!strncmp(argv[i], "--benchmark_min_time=", 21))
      min_time = atof(argv[i] + 21);
    else {
      fprintf(stderr, "unknown option %s\n", argv[i]);
      return 2;
    }
  }
  std::regex wanted(filter);
  struct Case {
    benchmark::Benchmark* b;
    int64_t arg;
    std::string name;
    int64_t iterations;
  };
  std::vector<Case> cases;
  for (benchmark::Benchmark* b : benchmark::registry())
    for (int64_t a : b->args) {
      std::string name = b->name + "/" + std::to_string(a);
      if (std::regex_search(name, wanted)) cases.push_back({b, a, name, b->iterations});
    }
  for (int rep = 0; rep < repetitions; rep++)
    for (Case& c : cases) {
      // The first repetition finds how many iterations fill the time.
      int64_t n = c.iterations ? c.iterations : 1;
      for (;;) {
        plat_sleep_ms(0);
        benchmark::State s(c.arg, n);
        c.b->fn(s);
        if (!s.error.empty()) {
          printf("{\"name\": \"%s\", \"error\": \"%s\"}\n", c.name.c_str(), s.error.c_str());
          return 1;
        }
        if (!c.iterations && s.seconds < min_time) {
          double grow = s.seconds > 0 ? 1.4 * min_time / s.seconds : 10.0;
          n = (int64_t)((double)n * (grow < 10.0 ? grow : 10.0)) + 1;
          continue;
        }
        c.iterations = n;
        printf("{\"name\": \"%s\", \"repetition\": %d, \"iterations\": %lld, \"us\": %.3f}\n",
               c.name.c_str(), rep, (long long)n, 1e6 * s.seconds / (double)n);
        fflush(stdout);
        break;
      }
    }
  return 0;
}
