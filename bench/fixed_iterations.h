// QUILL_BENCH_ITERATIONS=N in the environment runs every benchmark registered
// with ->Apply(fixed_iterations) exactly N times: for instruction counts under
// valgrind --tool=callgrind, which are steady on a busy machine where times are not.
#pragma once

#include <benchmark/benchmark.h>
#include <cstdlib>

inline void fixed_iterations(benchmark::internal::Benchmark* b) {
  if (const char* n = getenv("QUILL_BENCH_ITERATIONS")) b->Iterations(atoi(n));
}
