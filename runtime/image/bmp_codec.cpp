// The BMP decoder of the registry and the built-in BMP writer (format 0).
#include "runtime/image/codecs.h"
#include "runtime/image/quantizer.h"
#include "runtime/platform/bmp_file.h"
#include "runtime/platform/plat_core.h"

#include <cstring>
#include <new>
#include <vector>

struct BmpCodecState {
  int decoder_registered;
};
static BmpCodecState bmp;

// What the decoder keeps of one source, from its check to its close (the
// source's DecodeContext holds it, so that sources may be decoded side by side).
struct BmpSource {
  std::vector<uint8_t> file_copy; // a file source read whole by check
  const uint8_t* data;            // the bitmap being decoded: file_copy or the caller's memory
  size_t size;
  BmpInfo info; // its parsed headers
};

static void bmp_close(DecodeContext* c) {
  delete (BmpSource*)c->state;
  c->state = nullptr;
}

static int bmp_check(DecodeContext* c) {
  if (c->from_memory && (c->size < 14 || c->data[0] != 'B' || c->data[1] != 'M')) return 0;
  // Look at the signature before reading a whole file that is not ours.
  uint8_t sig[2];
  long size = 0;
  if (!c->from_memory && (fread(sig, 1, 2, c->file) != 2 || sig[0] != 'B' || sig[1] != 'M' ||
                          fseek(c->file, 0, SEEK_END) != 0 || (size = ftell(c->file)) < 14 ||
                          (size_t)size > PLAT_MAX_FILE_BYTES || fseek(c->file, 0, SEEK_SET) != 0))
    return 0;
  BmpSource* src = new (std::nothrow) BmpSource{};
  if (!src) return 0;
  c->state = src;
  if (c->from_memory) {
    src->data = c->data;
    src->size = c->size;
  } else {
    try {
      src->file_copy.resize((size_t)size);
    } catch (const std::bad_alloc&) {
      bmp_close(c);
      return 0;
    }
    if (fread(src->file_copy.data(), 1, (size_t)size, c->file) != (size_t)size) {
      bmp_close(c);
      return 0;
    }
    src->data = src->file_copy.data();
    src->size = (size_t)size;
  }
  if (!bmp_parse(src->data, src->size, &src->info)) {
    bmp_close(c);
    return 0;
  }
  c->width = src->info.width;
  c->height = src->info.height;
  c->file_depth = src->info.bits;
  c->depth = 24;
  return 1;
}

static int bmp_decode_rows(DecodeContext* c, uint8_t* dest, int row_size, int flags) {
  const BmpSource* src = (const BmpSource*)c->state;
  return src &&
         bmp_decode(&src->info, src->data, src->size, dest, row_size, flags & ROWS_BOTTOM_UP, 1);
}

static const DecoderOps bmp_decoder = {bmp_check, bmp_decode_rows, bmp_close};

void bmp_decoder_register() {
  if (bmp.decoder_registered) return;
  bmp.decoder_registered = decoder_register(&bmp_decoder);
}

static void put_u16(uint8_t* p, uint32_t v) { p[0] = (uint8_t)v, p[1] = (uint8_t)(v >> 8); }
static void put_u32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; i++) p[i] = (uint8_t)(v >> (8 * i));
}

static int write_all(FILE* f, const void* p, size_t n) { return fwrite(p, 1, n, f) == n; }

int bmp_write(const char* path, const void* rows, int width, int height, int row_size, int depth,
              int flags, int options, int out_depth) {
  if (!path || !*path || !rows || width < 1 || height < 1 || width > CODEC_MAX_SIDE ||
      height > CODEC_MAX_SIDE || (long long)width * height > CODEC_MAX_PIXELS ||
      (depth != 24 && depth != 32) || row_size < 0 ||
      (size_t)row_size < codec_pixel_bytes(width, depth))
    return 0;
  // An image's file depth may be 2 (a 2-bit PNG) or 16: write the nearest depth a BMP reader knows.
  if (out_depth == 2) out_depth = 4;
  if (out_depth > 8 && out_depth < 24) out_depth = 24;
  if (out_depth != 1 && out_depth != 4 && out_depth != 8 && out_depth != 24 && out_depth != 32)
    return 0;

  const uint8_t* src = (const uint8_t*)rows;
  const size_t file_row = ((size_t)width * out_depth + 31) / 32 * 4;
  const uint32_t palette_bytes = out_depth <= 8 ? 4u << out_depth : 0;
  const uint32_t offset = 54 + palette_bytes;
  const uint32_t image_size = (uint32_t)(file_row * height);

  Quantizer* q = nullptr;
  if (out_depth <= 8) {
    q = quantizer_create(rows, width, height, depth, row_size, out_depth, options);
    if (!q) return 0;
  }
  std::vector<uint8_t> line;
  try {
    line.assign(file_row, 0);
  } catch (const std::bad_alloc&) {
    quantizer_free(q);
    return 0;
  }
  PlatWriteFile f;
  if (!plat_write_begin(&f, path)) {
    quantizer_free(q);
    return 0;
  }

  uint8_t head[54] = {'B', 'M'};
  put_u32(head + 2, offset + image_size);
  put_u32(head + 10, offset);
  put_u32(head + 14, 40);
  put_u32(head + 18, (uint32_t)width);
  put_u32(head + 22, (uint32_t)height);
  put_u16(head + 26, 1);
  put_u16(head + 28, (uint32_t)out_depth);
  put_u32(head + 34, image_size);
  int ok = write_all(f.file, head, sizeof head);

  if (q) {
    std::vector<uint8_t> palette(palette_bytes, 0);
    const uint8_t* entries = quantizer_palette(q);
    for (int i = 0; i < quantizer_colours(q); i++)
      std::memcpy(&palette[(size_t)i * 4], entries + i * 4, 3);
    ok = ok && write_all(f.file, palette.data(), palette.size());
    const size_t packed = ((size_t)width * out_depth + 7) / 8;
    for (int i = 0; i < height && ok; i++) {
      const uint8_t* indexes = quantizer_row(q, flags & ROWS_BOTTOM_UP ? i : height - 1 - i);
      std::memcpy(line.data(), indexes, packed);
      ok = write_all(f.file, line.data(), file_row);
    }
    quantizer_free(q);
  } else if ((flags & ROWS_BOTTOM_UP) && depth == out_depth && (size_t)row_size == file_row) {
    ok = ok && write_all(f.file, rows, file_row * height);
  } else {
    const int out_bytes = out_depth / 8, in_bytes = depth / 8;
    for (int i = 0; i < height && ok; i++) {
      const uint8_t* s = src + (size_t)(flags & ROWS_BOTTOM_UP ? i : height - 1 - i) * row_size;
      uint8_t* d = line.data();
      for (int x = 0; x < width; x++, s += in_bytes, d += out_bytes) {
        for (int k = 0; k < 3; k++) d[k] = depth == 32 ? codec_over_white(s[k], s[3]) : s[k];
        if (out_bytes == 4) d[3] = 0;
      }
      ok = write_all(f.file, line.data(), file_row);
    }
  }
  return plat_write_end(&f, ok);
}
