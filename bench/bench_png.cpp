// PNG encode and decode of a 640 x 480 pixel-art picture through the codecs,
// each beside libpng called directly with the same settings.
#include "bench/libpng_direct.h"
#include "bench/pixel_art.h"
#include "runtime/image/codecs.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstring>
#include <png.h>
#include <string>
#include <unistd.h>

namespace {

const int W = 640, H = 480, ROW = W * 3;
const std::vector<uint8_t>& picture() {
  static std::vector<uint8_t> px = pixel_art(24);
  return px;
}
std::string scratch() { return "/tmp/quill-bench-" + std::to_string(getpid()) + ".png"; }

int libpng_encode(const char* path, const uint8_t* rows) {
  return libpng_write_bgr(path, rows, W, H, ROW, true);
}

struct Reader {
  const uint8_t* p;
  size_t left;
};
void read_memory(png_structp png, png_bytep out, size_t n) {
  Reader* r = (Reader*)png_get_io_ptr(png);
  if (n > r->left) png_error(png, "short");
  memcpy(out, r->p, n);
  r->p += n;
  r->left -= n;
}

int libpng_decode(const std::vector<uint8_t>& file, uint8_t* rows) {
  Reader reader{file.data(), file.size()};
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, libpng_quiet_error,
                                           libpng_quiet_warning);
  png_infop info = png_create_info_struct(png);
  int ok = 0;
  if (!setjmp(png_jmpbuf(png))) {
    png_set_read_fn(png, &reader, read_memory);
    png_read_info(png, info);
    png_set_bgr(png);
    int passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    for (int p = 0; p < passes; p++)
      for (int y = 0; y < H; y++) png_read_row(png, rows + (size_t)(H - 1 - y) * ROW, nullptr);
    ok = 1;
  }
  png_destroy_read_struct(&png, &info, nullptr);
  return ok;
}

std::vector<uint8_t> encoded() {
  png_encoder_register();
  std::string path = scratch();
  encode_rows(path.c_str(), picture().data(), IMAGE_FORMAT_PNG, W, H, ROW, 24, ROWS_BOTTOM_UP, 7,
              24);
  FILE* f = fopen(path.c_str(), "rb");
  std::vector<uint8_t> bytes(1 << 22);
  bytes.resize(fread(bytes.data(), 1, bytes.size(), f));
  fclose(f);
  unlink(path.c_str());
  return bytes;
}

void BM_PngEncode(benchmark::State& state) {
  png_encoder_register();
  std::string path = scratch();
  for (auto _ : state)
    if (!encode_rows(path.c_str(), picture().data(), IMAGE_FORMAT_PNG, W, H, ROW, 24,
                     ROWS_BOTTOM_UP, 7, 24))
      state.SkipWithError("encode failed");
  unlink(path.c_str());
}
BENCHMARK(BM_PngEncode)->Unit(benchmark::kMillisecond);

void BM_PngEncodeLibpng(benchmark::State& state) {
  std::string path = scratch();
  for (auto _ : state)
    if (!libpng_encode(path.c_str(), picture().data())) state.SkipWithError("encode failed");
  unlink(path.c_str());
}
BENCHMARK(BM_PngEncodeLibpng)->Unit(benchmark::kMillisecond);

void BM_PngDecode(benchmark::State& state) {
  png_decoder_register();
  std::vector<uint8_t> file = encoded(), rows((size_t)ROW * H);
  for (auto _ : state) {
    DecodeInfo info;
    if (!decode_open_memory(file.data(), file.size(), &info) ||
        !decode_rows(rows.data(), ROW, ROWS_BOTTOM_UP))
      state.SkipWithError("decode failed");
  }
}
BENCHMARK(BM_PngDecode)->Unit(benchmark::kMillisecond);

void BM_PngDecodeLibpng(benchmark::State& state) {
  std::vector<uint8_t> file = encoded(), rows((size_t)ROW * H);
  for (auto _ : state)
    if (!libpng_decode(file, rows.data())) state.SkipWithError("decode failed");
}
BENCHMARK(BM_PngDecodeLibpng)->Unit(benchmark::kMillisecond);

} // namespace
