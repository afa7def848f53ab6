#include "runtime/image/codecs.h"

#include "runtime/platform/plat_core.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

struct CodecState {
  const DecoderOps* decoders[30]; // in registration order
  int decoder_count;
  const EncoderOps* encoders[32];
  int encoder_count;
  DecodeContext context; // the one source of decode_open_*: a decoder that accepted
                         // it is named there, and decode_rows or decode_close follows
};
static CodecState codec;

// The lists live in static storage, empty from the start; there is nothing to
// undo at exit either, as registrations outlive every run of the game.
void codec_registry_init() {}

int decoder_register(const DecoderOps* ops) {
  if (codec.decoder_count == 30) return 0;
  codec.decoders[codec.decoder_count++] = ops;
  return 1;
}

int encoder_register(const EncoderOps* ops) {
  if (codec.encoder_count == 32) return 0;
  codec.encoders[codec.encoder_count++] = ops;
  return 1;
}

static void close_source(DecodeContext* c) {
  if (c->decoder) c->decoder->close(c);
  if (c->file) fclose(c->file);
  *c = DecodeContext{};
}

// A decoder's word on the size is checked again here: every caller allocates from it.
static int sane_picture(const DecodeContext* c) {
  return c->width >= 1 && c->height >= 1 && c->width <= CODEC_MAX_SIDE &&
         c->height <= CODEC_MAX_SIDE && (long long)c->width * c->height <= CODEC_MAX_PIXELS &&
         (c->depth == 24 || c->depth == 32);
}

// Offers the source of c to each decoder in registration order; nonzero when
// one accepted it (c->decoder then set, to be closed), else c is closed.
static int offer(DecodeContext* c, DecodeInfo* info) {
  for (int i = 0; i < codec.decoder_count; i++) {
    if (c->file && fseek(c->file, 0, SEEK_SET) != 0) break;
    c->width = c->height = c->depth = c->file_depth = 0;
    if (!codec.decoders[i]->check(c)) continue;
    c->decoder = codec.decoders[i];
    if (!sane_picture(c)) break;
    if (info) *info = {c->width, c->height, c->depth, c->file_depth};
    return 1;
  }
  close_source(c);
  return 0;
}

static int decode_into(DecodeContext* c, void* dest, int row_size, int flags) {
  int ok = c->decoder && dest && row_size > 0 &&
           (size_t)row_size >= codec_pixel_bytes(c->width, c->depth) &&
           c->decoder->decode(c, (uint8_t*)dest, row_size, flags);
  close_source(c);
  return ok;
}

int decode_open_file(const char* path, DecodeInfo* info) {
  close_source(&codec.context);
  FILE* f = plat_open_read(path, PLAT_MAX_FILE_BYTES);
  if (!f) return 0;
  codec.context.file = f;
  return offer(&codec.context, info);
}

static void memory_source(DecodeContext* c, const void* data, size_t size) {
  c->data = (const uint8_t*)data;
  c->size = size;
  c->from_memory = 1;
}

int decode_open_memory(const void* data, size_t size, DecodeInfo* info) {
  close_source(&codec.context);
  if (!data) return 0;
  memory_source(&codec.context, data, size);
  return offer(&codec.context, info);
}

int decode_rows(void* dest, int row_size, int flags) {
  return decode_into(&codec.context, dest, row_size, flags);
}

void decode_close() { close_source(&codec.context); }

int decode_memory_whole(const void* data, size_t size, DecodeInfo* info,
                        std::vector<uint8_t>* rows) {
  rows->clear();
  DecodeContext c{};
  if (!data) return 0;
  memory_source(&c, data, size);
  if (!offer(&c, info)) return 0;
  const size_t row = codec_pixel_bytes(info->width, info->depth);
  try {
    rows->resize(row * (size_t)info->height);
  } catch (const std::bad_alloc&) {
    close_source(&c);
    return 0;
  }
  if (decode_into(&c, rows->data(), (int)row, 0)) return 1;
  rows->clear();
  return 0;
}

int encode_rows(const char* path, const void* rows, int format, int width, int height, int row_size,
                int depth, int flags, int options, int out_depth) {
  if (format == IMAGE_FORMAT_BMP)
    return bmp_write(path, rows, width, height, row_size, depth, flags, options, out_depth);
  const EncoderOps* enc = nullptr;
  for (int i = 0; i < codec.encoder_count && !enc; i++)
    if (codec.encoders[i]->format == (uint32_t)format) enc = codec.encoders[i];
  if (!enc || !rows || width < 1 || height < 1 || width > CODEC_MAX_SIDE ||
      height > CODEC_MAX_SIDE || (long long)width * height > CODEC_MAX_PIXELS ||
      (depth != 24 && depth != 32) || row_size < 0 ||
      (size_t)row_size < codec_pixel_bytes(width, depth))
    return 0;
  const uint8_t* src = (const uint8_t*)rows;
  if (depth == 24)
    return enc->write24(path, src, width, height, row_size, flags, options, out_depth);
  if (enc->write32)
    return enc->write32(path, src, width, height, row_size, flags, options, out_depth);

  int flat_size = (3 * width + 3) & ~3;
  std::vector<uint8_t> flat;
  try {
    flat.resize((size_t)flat_size * height);
  } catch (const std::bad_alloc&) {
    return 0;
  }
  for (int y = 0; y < height; y++) {
    const uint8_t* s = src + (size_t)y * row_size;
    uint8_t* d = flat.data() + (size_t)y * flat_size;
    for (int x = 0; x < width; x++, s += 4, d += 3)
      for (int k = 0; k < 3; k++) d[k] = codec_over_white(s[k], s[3]);
  }
  return enc->write24(path, flat.data(), width, height, flat_size, flags, options, out_depth);
}
