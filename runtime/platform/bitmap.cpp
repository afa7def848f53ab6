#include "runtime/platform/bitmap.h"

#include "runtime/platform/bmp_file.h"
#include "runtime/platform/plat_core.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

struct BitmapState {
  int next_handle;  // the handle the next bitmap gets
  int blend_opened; // plat_alpha_blend_open ran and close has not
};
static BitmapState bitmaps;

int plat_bitmap_row_size(int width, int depth) {
  switch (depth) {
  case 1: return (width + 31) / 32 * 4;
  case 4: return (width + 7) / 8 * 4;
  case 8: return (width + 3) / 4 * 4;
  case 15:
  case 16: return (width + 1) / 2 * 4;
  case 24: return (3 * width + 3) / 4 * 4;
  }
  return width * 4;
}

PlatBitmap* plat_bitmap_create(int width, int height, int depth, int black) {
  if ((depth != 24 && depth != 32) || width < 1 || height < 1 || width > BITMAP_MAX_SIDE ||
      height > BITMAP_MAX_SIDE || (long long)width * height > BITMAP_MAX_PIXELS)
    return nullptr;
  PlatBitmap* b = new (std::nothrow) PlatBitmap{};
  if (!b) return nullptr;
  b->row_size = plat_bitmap_row_size(width, depth);
  const size_t bytes = (size_t)width * (depth / 8);
  b->pixels = (uint8_t*)(black ? calloc((size_t)b->row_size, (size_t)height)
                               : malloc((size_t)b->row_size * (size_t)height));
  if (!b->pixels) {
    delete b;
    return nullptr;
  }
  if (!black && bytes < (size_t)b->row_size)
    for (int y = 0; y < height; y++)
      std::memset(b->pixels + (size_t)y * b->row_size + bytes, 0, (size_t)b->row_size - bytes);
  b->width = width;
  b->height = height;
  b->depth = depth;
  if (++bitmaps.next_handle <= 0) bitmaps.next_handle = 1;
  b->handle = bitmaps.next_handle;
  return b;
}

void plat_bitmap_free(PlatBitmap* b) {
  if (!b) return;
  free(b->pixels);
  delete b;
}

PlatBitmap* plat_bitmap_load(const char* path, int* file_depth) {
  std::vector<uint8_t> file;
  BmpInfo info;
  // Other pictures come here first, so only a file that starts like a bitmap is read whole.
  if (!plat_read_file(path, &file, PLAT_MAX_FILE_BYTES, "BM") ||
      !bmp_parse(file.data(), file.size(), &info))
    return nullptr;
  PlatBitmap* b = plat_bitmap_create(info.width, info.height, 24);
  if (!b) return nullptr;
  if (!bmp_decode(&info, file.data(), file.size(), b->pixels, b->row_size, 1, 0)) {
    plat_bitmap_free(b);
    return nullptr;
  }
  if (file_depth) *file_depth = info.bits;
  return b;
}

// The pixel at x, y counted from the top-left.
static uint8_t* pixel(const PlatBitmap* b, int x, int y) {
  return b->pixels + (size_t)(b->height - 1 - y) * b->row_size + (size_t)x * (b->depth / 8);
}

void plat_bitmap_copy(PlatBitmap* dst, int dx, int dy, const PlatBitmap* src, int sx, int sy, int w,
                      int h) {
  if (!dst || !src) return;
  // Clip against both bitmaps, moving both corners together.
  long long x0 = std::max({0LL, -(long long)dx, -(long long)sx});
  long long y0 = std::max({0LL, -(long long)dy, -(long long)sy});
  long long x1 = std::min({(long long)w, (long long)dst->width - dx, (long long)src->width - sx});
  long long y1 = std::min({(long long)h, (long long)dst->height - dy, (long long)src->height - sy});
  const int in = src->depth / 8, out = dst->depth / 8;
  for (long long y = y0; y < y1; y++) {
    const uint8_t* s = pixel(src, (int)(sx + x0), (int)(sy + y));
    uint8_t* d = pixel(dst, (int)(dx + x0), (int)(dy + y));
    if (in == out) {
      std::memcpy(d, s, (size_t)(x1 - x0) * in);
      continue;
    }
    for (long long x = x0; x < x1; x++, s += in, d += out) {
      std::memcpy(d, s, 3);
      if (out == 4) d[3] = 255;
    }
  }
}

struct Tap {
  int index;
  double weight;
};

// For each of dst_n output pixels, the source pixels it covers and their shares.
static std::vector<std::vector<Tap>> area_taps(int src_n, int dst_n) {
  std::vector<std::vector<Tap>> taps((size_t)dst_n);
  const double scale = (double)src_n / dst_n;
  for (int j = 0; j < dst_n; j++) {
    double a = j * scale, b = (j + 1) * scale;
    for (int i = (int)a; i < src_n && i < b; i++) {
      double overlap = std::min(b, i + 1.0) - std::max(a, (double)i);
      if (overlap > 0) taps[(size_t)j].push_back({i, overlap / scale});
    }
  }
  return taps;
}

static int stretch_average(PlatBitmap* dst, const PlatBitmap* src) {
  const int channels = src->depth / 8;
  std::vector<std::vector<Tap>> across, down;
  std::vector<double> middle; // dst->width x src->height, top row first
  try {
    across = area_taps(src->width, dst->width);
    down = area_taps(src->height, dst->height);
    middle.assign((size_t)dst->width * src->height * channels, 0.0);
  } catch (const std::bad_alloc&) {
    return 0;
  }
  for (int y = 0; y < src->height; y++)
    for (int x = 0; x < dst->width; x++) {
      double* m = &middle[((size_t)y * dst->width + x) * channels];
      for (const Tap& t : across[(size_t)x]) {
        const uint8_t* s = pixel(src, t.index, y);
        for (int k = 0; k < channels; k++) m[k] += t.weight * s[k];
      }
    }
  for (int y = 0; y < dst->height; y++)
    for (int x = 0; x < dst->width; x++) {
      double sum[4] = {};
      for (const Tap& t : down[(size_t)y]) {
        const double* m = &middle[((size_t)t.index * dst->width + x) * channels];
        for (int k = 0; k < channels; k++) sum[k] += t.weight * m[k];
      }
      uint8_t* d = pixel(dst, x, y);
      for (int k = 0; k < channels; k++) d[k] = (uint8_t)std::clamp((int)(sum[k] + 0.5), 0, 255);
    }
  return 1;
}

int plat_bitmap_stretch(PlatBitmap* dst, const PlatBitmap* src, int mode) {
  if (!dst || !src || dst->depth != src->depth) return 0;
  if (mode == STRETCH_AVERAGE) return stretch_average(dst, src);
  const int bytes = src->depth / 8;
  // The source columns are worked out once, and a row taken from the same
  // source row as the row before is a copy of it (three rows in four at x4).
  std::vector<size_t> column;
  try {
    column.resize((size_t)dst->width);
  } catch (const std::bad_alloc&) {
    return 0;
  }
  for (int x = 0; x < dst->width; x++)
    column[(size_t)x] = (size_t)((long long)x * src->width / dst->width) * bytes;
  const size_t row_bytes = (size_t)dst->width * bytes;
  for (int y = 0, last = -1; y < dst->height; y++) {
    int sy = (int)((long long)y * src->height / dst->height);
    uint8_t* d = pixel(dst, 0, y);
    if (sy == last) {
      std::memcpy(d, pixel(dst, 0, y - 1), row_bytes);
      continue;
    }
    const uint8_t* s = pixel(src, 0, sy);
    // Sizes known here make each copy a move, not a call.
    if (bytes == 4)
      for (int x = 0; x < dst->width; x++) std::memcpy(d + 4 * (size_t)x, s + column[(size_t)x], 4);
    else
      for (int x = 0; x < dst->width; x++) std::memcpy(d + 3 * (size_t)x, s + column[(size_t)x], 3);
    last = sy;
  }
  return 1;
}

int plat_alpha_blend_open() {
  bitmaps.blend_opened = 1;
  return 1;
}

void plat_alpha_blend_close() { bitmaps.blend_opened = 0; }
