// The colour quantizer on a 640 x 480 shaded pixel-art picture (320 colours) to
// 256, 16, 4 and 2 colours: time, and the picture's PSNR after mapping.
//
//   build-test/bench/bench_quantizer --benchmark_repetitions=10
//       --benchmark_enable_random_interleaving=true --benchmark_report_aggregates_only=true
#include "bench/classic_neuquant.h"
#include "bench/fixed_iterations.h"
#include "bench/pixel_art.h"
#include "runtime/image/quantizer.h"

#include <benchmark/benchmark.h>
#include <cmath>

namespace {

double psnr(const std::vector<uint8_t>& px, Quantizer* q, int depth) {
  const uint8_t* pal = quantizer_palette(q);
  double se = 0;
  for (int y = 0; y < 480; y++) {
    const uint8_t* row = quantizer_row(q, y);
    for (int x = 0; x < 640; x++) {
      int bit = x * depth;
      int index =
          ((row[bit / 8] << 8 | row[bit / 8 + 1]) >> (16 - depth - bit % 8)) & ((1 << depth) - 1);
      for (int k = 0; k < 3; k++) {
        double e = pal[index * 4 + k] - px[((size_t)y * 640 + x) * 4 + k];
        se += e * e;
      }
    }
  }
  return 10 * std::log10(255.0 * 255.0 / (se / (640.0 * 480 * 3)));
}

// Learning the palette and mapping every row, as a palette save does. Out of
// line, as the peer's step is, so that an instruction count can take it alone
// (valgrind --tool=callgrind --toggle-collect='*quantize_step*' with
// QUILL_BENCH_ITERATIONS, bench/fixed_iterations.h).
__attribute__((noinline)) Quantizer* quantize_step(const std::vector<uint8_t>& px, int depth) {
  Quantizer* q = quantizer_create(px.data(), 640, 480, 32, 640 * 4, depth, 7);
  for (int y = 0; y < 480; y++) benchmark::DoNotOptimize(quantizer_row(q, y));
  return q;
}

void BM_Quantize(benchmark::State& state) {
  const int depth = (int)state.range(0);
  static const std::vector<uint8_t> px = pixel_art(32);
  double quality = 0;
  for (auto _ : state) {
    Quantizer* q = quantize_step(px, depth);
    state.PauseTiming();
    quality = psnr(px, q, depth);
    state.ResumeTiming();
    quantizer_free(q);
  }
  state.counters["colours"] = 1 << depth;
  state.counters["PSNR_dB"] = quality;
}
BENCHMARK(BM_Quantize)
    ->Apply(fixed_iterations)
    ->Arg(8)
    ->Arg(4)
    ->Arg(2)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond);

// The peer's step: learning and mapping every pixel.
__attribute__((noinline)) void classic_step(const std::vector<uint8_t>& px, int depth, bool unfair,
                                            ClassicNeuQuant* nq, MapCache* cache,
                                            std::vector<uint8_t>& index) {
  nq->n = 1 << depth;
  nq->learn(px.data(), 640 * 480, 2);
  if (!unfair) nq->build_index();
  uint32_t last = 0xFFFFFFFF;
  int last_index = 0;
  for (size_t i = 0; i < index.size(); i++) {
    const uint8_t* p = &px[i * 4];
    if (!unfair) {
      index[i] =
          (uint8_t)cache->lookup(p, [&](const uint8_t* q) { return nq->map(q[0], q[1], q[2]); });
      continue;
    }
    uint32_t key = p[0] | p[1] << 8 | p[2] << 16;
    if (key != last) last = key, last_index = nq->map_full(p[0], p[1], p[2]);
    index[i] = (uint8_t)last_index;
  }
}

// The peer: classic NeuQuant with the same sampling factor (2 at 640 x 480),
// mapping every pixel through its own green-sorted search behind the same
// 1024-slot cache as the quantizer. Labelled unfair: the peer of earlier notes,
// searching every entry behind a cache of the last pixel only.
void classic(benchmark::State& state, bool unfair) {
  const int depth = (int)state.range(0);
  static const std::vector<uint8_t> px = pixel_art(32);
  double quality = 0;
  for (auto _ : state) {
    ClassicNeuQuant* nq = new ClassicNeuQuant();
    MapCache* cache = new MapCache();
    std::vector<uint8_t> index(640 * 480);
    classic_step(px, depth, unfair, nq, cache, index);
    state.PauseTiming();
    double se = 0;
    for (size_t i = 0; i < index.size(); i++)
      for (int k = 0; k < 3; k++) {
        double e = nq->net[index[i]][k] - px[i * 4 + k];
        se += e * e;
      }
    quality = 10 * std::log10(255.0 * 255.0 / (se / (640.0 * 480 * 3)));
    state.ResumeTiming();
    delete cache;
    delete nq;
  }
  state.counters["colours"] = 1 << depth;
  state.counters["PSNR_dB"] = quality;
}
void BM_ClassicNeuQuant(benchmark::State& state) { classic(state, false); }
BENCHMARK(BM_ClassicNeuQuant)
    ->Apply(fixed_iterations)
    ->Arg(8)
    ->Arg(4)
    ->Arg(2)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond);
void BM_ClassicNeuQuant_FullSearch_Unfair(benchmark::State& state) { classic(state, true); }
BENCHMARK(BM_ClassicNeuQuant_FullSearch_Unfair)
    ->Arg(8)
    ->Arg(4)
    ->Arg(2)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond);

} // namespace
