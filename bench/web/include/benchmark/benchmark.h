// The part of Google Benchmark's interface that bench_frame.cpp uses, with a
// plain runner, so that the very same source is measured compiled natively and
// compiled to WebAssembly (where no Google Benchmark is built). Each run of a
// case is timed by the monotonic clock over as many iterations as fill
// --benchmark_min_time seconds; every repetition's mean time per iteration is
// printed as one line of JSON:
//   {"name": "BM_Frame_SoftwareDevice/15", "repetition": 0, "us": 88.2}
// Options: --benchmark_filter=REGEX --benchmark_repetitions=N
// --benchmark_min_time=SECONDS. Repetitions go round every case in turn, so a
// change in the machine's load falls on all of them alike.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace benchmark {

enum TimeUnit { kNanosecond, kMicrosecond, kMillisecond };

class State {
public:
  State(int64_t arg, int64_t iterations) : arg_(arg), left_(iterations) {}
  int64_t range(int) const { return arg_; }
  void SkipWithError(const char* why) {
    error = why;
    left_ = 0;
  }
  std::map<std::string, double> counters;
  std::string error;
  int64_t iterations = 0; // counted while the loop runs

  struct Iterator {
    State* s;
    bool operator!=(const Iterator&) const { return s->keep_going(); }
    void operator++() {}
    int operator*() const { return 0; }
  };
  Iterator begin();
  Iterator end() { return Iterator{this}; }
  bool keep_going();
  double seconds = 0; // the loop's time

private:
  int64_t arg_, left_;
  double start_ = 0;
};

inline void ClobberMemory() { asm volatile("" : : : "memory"); }
template <class T> inline void DoNotOptimize(T& value) {
  asm volatile("" : "+r,m"(value) : : "memory");
}

namespace internal {
struct Benchmark {
  std::string name;
  std::function<void(State&)> fn;
  std::vector<int64_t> args;
  int64_t iterations = 0; // fixed by Iterations(); 0: as many as fill the time
  Benchmark* Arg(int64_t a) {
    args.push_back(a);
    return this;
  }
  Benchmark* Unit(TimeUnit) { return this; }
  Benchmark* Iterations(int64_t n) {
    iterations = n;
    return this;
  }
  Benchmark* Apply(void (*fn)(Benchmark*)) {
    fn(this);
    return this;
  }
};
} // namespace internal
using internal::Benchmark;
Benchmark* RegisterBenchmark(const char* name, void (*fn)(State&));

} // namespace benchmark

#define BENCHMARK_CONCAT2(a, b) a##b
#define BENCHMARK_CONCAT(a, b) BENCHMARK_CONCAT2(a, b)
#define BENCHMARK(fn)                                                                              \
  static ::benchmark::Benchmark* BENCHMARK_CONCAT(bench_registered_, __COUNTER__) =                   \
      ::benchmark::RegisterBenchmark(#fn, fn)
