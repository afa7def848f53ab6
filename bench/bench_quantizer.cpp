// The colour quantizer on a 640 x 480 shaded pixel-art picture (320 colours) to
// 256, 16, 4 and 2 colours: time, and the picture's PSNR after mapping.
#include "bench/classic_neuquant.h"
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

// Learning the palette and mapping every row, as a palette save does.
void BM_Quantize(benchmark::State& state) {
  const int depth = (int)state.range(0);
  static const std::vector<uint8_t> px = pixel_art(32);
  double quality = 0;
  for (auto _ : state) {
    Quantizer* q = quantizer_create(px.data(), 640, 480, 32, 640 * 4, depth, 7);
    for (int y = 0; y < 480; y++) benchmark::DoNotOptimize(quantizer_row(q, y));
    state.PauseTiming();
    quality = psnr(px, q, depth);
    state.ResumeTiming();
    quantizer_free(q);
  }
  state.counters["colours"] = 1 << depth;
  state.counters["PSNR_dB"] = quality;
}
BENCHMARK(BM_Quantize)->Arg(8)->Arg(4)->Arg(2)->Arg(1)->Unit(benchmark::kMillisecond);

// The peer: classic NeuQuant with the same sampling factor (2 at 640 x 480),
// mapping every pixel through a small cache as the quantizer does.
void BM_ClassicNeuQuant(benchmark::State& state) {
  const int depth = (int)state.range(0);
  static const std::vector<uint8_t> px = pixel_art(32);
  double quality = 0;
  for (auto _ : state) {
    ClassicNeuQuant* nq = new ClassicNeuQuant();
    nq->n = 1 << depth;
    nq->learn(px.data(), 640 * 480, 2);
    std::vector<uint8_t> index(640 * 480);
    uint32_t last = 0xFFFFFFFF;
    int last_index = 0;
    for (size_t i = 0; i < index.size(); i++) {
      const uint8_t* p = &px[i * 4];
      uint32_t key = p[0] | p[1] << 8 | p[2] << 16;
      if (key != last) last = key, last_index = nq->map(p[0], p[1], p[2]);
      index[i] = (uint8_t)last_index;
    }
    state.PauseTiming();
    double se = 0;
    for (size_t i = 0; i < index.size(); i++)
      for (int k = 0; k < 3; k++) {
        double e = nq->net[index[i]][k] - px[i * 4 + k];
        se += e * e;
      }
    quality = 10 * std::log10(255.0 * 255.0 / (se / (640.0 * 480 * 3)));
    state.ResumeTiming();
    delete nq;
  }
  state.counters["colours"] = 1 << depth;
  state.counters["PSNR_dB"] = quality;
}
BENCHMARK(BM_ClassicNeuQuant)->Arg(8)->Arg(4)->Arg(2)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace
