#include "runtime/image/images.h"

#include "runtime/display/object_table.h"
#include "runtime/image/codecs.h"
#include "runtime/image/start_ahead.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <vector>

struct ImageState {
  ObjectTable table;  // ImageRecords, grow step 16; made on first use
  int table_ready;    // table holds a created table
  int alpha_blending; // the platform blends per pixel, so 32-bit images are alpha images
};
static ImageState images;

static ObjectTable* table() {
  if (!images.table_ready) {
    object_table_create(&images.table, sizeof(ImageRecord), 16, image_free);
    images.table_ready = 1;
  }
  return &images.table;
}

void image_init() {
  table();
  images.alpha_blending = plat_alpha_blend_open();
}

void image_shutdown() {
  if (!images.table_ready) return;
  object_table_destroy(&images.table);
  images.table_ready = 0;
}

void image_alpha_unload() {
  if (images.alpha_blending) plat_alpha_blend_close();
  images.alpha_blending = 0;
}

ImageRecord* image_lookup(int n) {
  return images.table_ready ? (ImageRecord*)object_table_lookup(&images.table, n) : nullptr;
}

int image_row_size(int width, int depth) { return plat_bitmap_row_size(width, depth); }

// Puts a finished bitmap under number; the number for -1, else the bitmap's handle.
static int claim(int number, PlatBitmap* b, int file_depth) {
  int n;
  ImageRecord* r = (ImageRecord*)object_table_allocate(table(), number, &n);
  if (!r) {
    plat_bitmap_free(b);
    return 0;
  }
  *r = {b, b->width, b->height, b->depth, file_depth};
  return number == -1 ? n : b->handle;
}

int image_load(int number, const char* path) {
  if (number < -1) return 0;
  // The number is claimed first, so a failed load leaves it empty.
  // Nothing touches the table while the file is read, so r stays valid.
  int n;
  ImageRecord* r = (ImageRecord*)object_table_allocate(table(), number, &n);
  if (!r) return 0;
  int file_depth = 0;
  DecodeInfo info;
  std::vector<uint8_t> rows;
  PlatBitmap* b = nullptr;
  if (start_ahead_take(path, &info, &rows)) {
    // Decoded ahead: a PNG, which the bitmap reader would have refused.
    b = plat_bitmap_create(info.width, info.height, info.depth);
    const size_t row = codec_pixel_bytes(info.width, info.depth);
    for (int y = 0; b && y < info.height; y++)
      std::memcpy(b->pixels + (size_t)(info.height - 1 - y) * b->row_size, &rows[(size_t)y * row],
                  row);
    file_depth = info.file_depth;
  } else {
    b = plat_bitmap_load(path, &file_depth);
  }
  if (!b && decode_open_file(path, &info)) {
    b = plat_bitmap_create(info.width, info.height, info.depth);
    if (!b) {
      decode_close();
    } else if (!decode_rows(b->pixels, b->row_size, ROWS_BOTTOM_UP)) {
      plat_bitmap_free(b);
      b = nullptr;
    }
    file_depth = info.file_depth;
  }
  if (!b) {
    object_table_release(table(), n);
    return 0;
  }
  *r = {b, b->width, b->height, b->depth, file_depth};
  return number == -1 ? n : b->handle;
}

int image_create(int number, int width, int height, int depth) {
  if (number < -1) return 0;
  PlatBitmap* b = plat_bitmap_create(width, height, depth);
  return b ? claim(number, b, depth) : 0;
}

int image_width(int n) {
  ImageRecord* r = image_lookup(n);
  return r ? r->width : 0;
}

int image_height(int n) {
  ImageRecord* r = image_lookup(n);
  return r ? r->height : 0;
}

int image_has_alpha(int n) {
  ImageRecord* r = image_lookup(n);
  return r && images.alpha_blending && r->depth == 32;
}

int image_copy(int source, int number, int x, int y, int width, int height) {
  ImageRecord* s = image_lookup(source);
  if (!s || number < -1) return 0;
  PlatBitmap* b = plat_bitmap_create(width, height, std::max(s->depth, 24));
  if (!b) return 0;
  plat_bitmap_copy(b, 0, 0, s->bitmap, x, y, width, height);
  // Claiming the number may free the source (the same number) or move its record.
  return claim(number, b, s->file_depth);
}

// Mitchell-Netravali cubic, B = C = 1/3, support 2.
static double mitchell(double t) {
  const double B = 1.0 / 3, C = 1.0 / 3;
  t = std::fabs(t);
  if (t < 1)
    return ((12 - 9 * B - 6 * C) * t * t * t + (-18 + 12 * B + 6 * C) * t * t + (6 - 2 * B)) / 6;
  if (t < 2)
    return ((-B - 6 * C) * t * t * t + (6 * B + 30 * C) * t * t + (-12 * B - 48 * C) * t +
            (8 * B + 24 * C)) /
           6;
  return 0;
}

struct Taps {
  int first;                   // the first source index
  std::vector<double> weights; // for first, first + 1, ...
};

// The filter taps of every output index along one axis; when shrinking the
// filter is widened by the inverse scale so that every source pixel counts.
static std::vector<Taps> filter_taps(int old_n, int new_n) {
  std::vector<Taps> taps((size_t)new_n);
  const double scale = (double)new_n / old_n;
  const double support = scale < 1 ? 2.0 / scale : 2.0;
  const double f = scale < 1 ? scale : 1.0;
  for (int j = 0; j < new_n; j++) {
    double centre = j / scale + 0.5 / scale - 0.5;
    int lo = std::max(0, (int)std::floor(centre - support));
    int hi = std::min(old_n - 1, (int)std::ceil(centre + support));
    Taps& t = taps[(size_t)j];
    t.first = lo;
    double sum = 0;
    for (int i = lo; i <= hi; i++) {
      t.weights.push_back(mitchell((centre - i) * f) * f);
      sum += t.weights.back();
    }
    if (sum > 0 && sum != 1)
      for (double& w : t.weights) w /= sum;
  }
  return taps;
}

// One pass over 32-bit pixels: count lines of n pixels each, read with
// (line_step, pixel_step) and written with their own steps.
static void filter_pass(const uint8_t* src, size_t src_line, size_t src_px, uint8_t* dst,
                        size_t dst_line, size_t dst_px, int lines, const std::vector<Taps>& taps) {
  for (int l = 0; l < lines; l++)
    for (size_t j = 0; j < taps.size(); j++) {
      double sum[4] = {};
      const Taps& t = taps[j];
      for (size_t k = 0; k < t.weights.size(); k++) {
        const uint8_t* s = src + l * src_line + (t.first + k) * src_px;
        for (int c = 0; c < 4; c++) sum[c] += t.weights[k] * s[c];
      }
      uint8_t* d = dst + l * dst_line + j * dst_px;
      for (int c = 0; c < 4; c++) d[c] = (uint8_t)std::clamp((int)(sum[c] + 0.5), 0, 255);
    }
}

// Smooth scaling of a 32-bit bitmap on all four channels.
static int resample(PlatBitmap* dst, const PlatBitmap* src) {
  const int ow = src->width, oh = src->height, nw = dst->width, nh = dst->height;
  std::vector<Taps> across, down;
  std::vector<uint8_t> middle;
  const bool across_first = (long long)nw * oh <= (long long)ow * nh;
  try {
    across = filter_taps(ow, nw);
    down = filter_taps(oh, nh);
    middle.resize(across_first ? (size_t)nw * oh * 4 : (size_t)ow * nh * 4);
  } catch (const std::bad_alloc&) {
    return 0;
  }
  const size_t sr = (size_t)src->row_size, dr = (size_t)dst->row_size;
  if (across_first) {
    filter_pass(src->pixels, sr, 4, middle.data(), (size_t)nw * 4, 4, oh, across);
    filter_pass(middle.data(), 4, (size_t)nw * 4, dst->pixels, 4, dr, nw, down);
  } else {
    filter_pass(src->pixels, 4, sr, middle.data(), 4, (size_t)ow * 4, ow, down);
    filter_pass(middle.data(), (size_t)ow * 4, 4, dst->pixels, dr, 4, nh, across);
  }
  return 1;
}

int image_resize(int n, int width, int height, int raw) {
  ImageRecord* r = image_lookup(n);
  if (!r) return 0;
  if (width == r->width && height == r->height) return r->bitmap->handle;
  // Scaling writes every pixel.
  PlatBitmap* b = plat_bitmap_create(width, height, r->depth, 0);
  if (!b) return 0;
  int ok;
  if (raw)
    ok = plat_bitmap_stretch(b, r->bitmap, STRETCH_NEAREST);
  else if (image_has_alpha(n))
    ok = resample(b, r->bitmap);
  else
    ok = plat_bitmap_stretch(b, r->bitmap, STRETCH_AVERAGE);
  if (!ok) {
    plat_bitmap_free(b);
    return 0;
  }
  plat_bitmap_free(r->bitmap);
  r->bitmap = b;
  r->width = width;
  r->height = height;
  return b->handle;
}

int image_save(int n, const char* path, int format) {
  return image_save_ex(n, path, format, 7, -1);
}

int image_save_ex(int n, const char* path, int format, int options, int depth) {
  ImageRecord* r = image_lookup(n);
  if (!path || !*path || !r) return 0;
  const PlatBitmap* b = r->bitmap;
  return encode_rows(path, b->pixels, format, b->width, b->height, b->row_size, b->depth,
                     ROWS_BOTTOM_UP, options, depth == -1 ? r->file_depth : depth);
}

void image_free(int n) {
  if (n == -1) return;
  ImageRecord* r = image_lookup(n);
  if (!r) return;
  plat_bitmap_free(r->bitmap);
  object_table_release(&images.table, n);
}
