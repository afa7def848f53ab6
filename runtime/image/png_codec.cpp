// The PNG decoder and encoder, on libpng.
//
// libpng reports errors with longjmp back to the setjmp of the call in progress.
// Every function that arms that jump (the *_guarded ones) holds only plain
// values, so that no destructor is skipped.
#include "runtime/image/codecs.h"
#include "runtime/image/quantizer.h"
#include "runtime/platform/plat_core.h"

#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <new>
#include <png.h>
#include <string>

struct PngCodecState {
  int decoder_registered;
  int encoder_registered;
};
static PngCodecState pngc;

// What the decoder keeps of one source, from its check to its close (the
// source's DecodeContext holds it, so that sources may be decoded side by side).
struct PngSource {
  png_structp png; // read structures
  png_infop info;
  const uint8_t* read_pos; // a memory source: the next byte, and how many are left
  size_t read_left;
  int passes; // 7 for an interlaced file, else 1
};

// libpng's messages are never shown; an error returns to the armed setjmp.
static void png_quiet_error(png_structp png, png_const_charp) { png_longjmp(png, 1); }
static void png_quiet_warning(png_structp, png_const_charp) {}

// libpng allocates a chunk's declared length before reading it, so a damaged
// length would ask for up to 2 GB. No picture within the caps needs a single
// block this big (its rows are read one at a time).
static const png_alloc_size_t png_max_block = 16u << 20;

static png_voidp png_capped_malloc(png_structp, png_alloc_size_t size) {
  return size <= png_max_block ? malloc(size) : nullptr;
}
static void png_plain_free(png_structp, png_voidp p) { free(p); }

static void png_memory_read(png_structp png, png_bytep out, size_t n) {
  PngSource* src = (PngSource*)png_get_io_ptr(png);
  if (n > src->read_left) png_error(png, "read past the end");
  std::memcpy(out, src->read_pos, n);
  src->read_pos += n;
  src->read_left -= n;
}

static int png_read_header_guarded(DecodeContext* c, PngSource* src) {
  png_structp png = src->png;
  png_infop info = src->info;
  if (setjmp(png_jmpbuf(png))) return 0;
  png_set_sig_bytes(png, 8);
  png_read_info(png, info);
  png_uint_32 width, height;
  int bit_depth, colour;
  png_get_IHDR(png, info, &width, &height, &bit_depth, &colour, nullptr, nullptr, nullptr);
  if ((unsigned long long)width * height > CODEC_MAX_PIXELS) return 0;
  int file_depth;
  switch (colour) {
  case PNG_COLOR_TYPE_GRAY:
  case PNG_COLOR_TYPE_PALETTE:
  case PNG_COLOR_TYPE_GRAY_ALPHA:
    file_depth = bit_depth;
    if (bit_depth < 8) png_set_expand(png);
    if (colour == PNG_COLOR_TYPE_PALETTE)
      png_set_palette_to_rgb(png);
    else
      png_set_gray_to_rgb(png);
    break;
  case PNG_COLOR_TYPE_RGB: file_depth = 24; break;
  case PNG_COLOR_TYPE_RGB_ALPHA: file_depth = 32; break;
  default: return 0;
  }
  // libpng 1.6 takes no transformation after png_read_update_info, so the
  // decoding ones are set here too.
  if (bit_depth == 16) png_set_strip_16(png);
  png_set_bgr(png);
  src->passes = png_set_interlace_handling(png);
  png_read_update_info(png, info);
  int depth = png_get_color_type(png, info) == PNG_COLOR_TYPE_RGB ? 24 : 32;
  if (png_get_bit_depth(png, info) != 8 ||
      png_get_rowbytes(png, info) != codec_pixel_bytes((int)width, depth))
    return 0;
  c->width = (int)width;
  c->height = (int)height;
  c->depth = depth;
  c->file_depth = file_depth;
  return 1;
}

static void png_release_read(DecodeContext* c) {
  PngSource* src = (PngSource*)c->state;
  if (!src) return;
  if (src->png) png_destroy_read_struct(&src->png, src->info ? &src->info : nullptr, nullptr);
  delete src;
  c->state = nullptr;
}

static int png_check(DecodeContext* c) {
  png_byte sig[8];
  if (c->from_memory) {
    if (c->size < 8) return 0;
    std::memcpy(sig, c->data, 8);
  } else if (fread(sig, 1, 8, c->file) != 8) {
    return 0;
  }
  if (png_sig_cmp(sig, 0, 8)) return 0;
  PngSource* src = new (std::nothrow) PngSource{};
  if (!src) return 0;
  c->state = src;
  src->png =
      png_create_read_struct_2(PNG_LIBPNG_VER_STRING, nullptr, png_quiet_error, png_quiet_warning,
                               nullptr, png_capped_malloc, png_plain_free);
  if (src->png) src->info = png_create_info_struct(src->png);
  if (!src->info) {
    png_release_read(c);
    return 0;
  }
  png_set_user_limits(src->png, CODEC_MAX_SIDE, CODEC_MAX_SIDE);
  png_set_chunk_malloc_max(src->png, 8u << 20);
  if (c->from_memory) {
    src->read_pos = c->data + 8;
    src->read_left = c->size - 8;
    png_set_read_fn(src->png, src, png_memory_read);
  } else {
    png_init_io(src->png, c->file);
  }
  if (!png_read_header_guarded(c, src)) {
    png_release_read(c);
    return 0;
  }
  return 1;
}

static int png_read_rows_guarded(PngSource* src, uint8_t* dest, int row_size, int bottom_up,
                                 int height) {
  png_structp png = src->png;
  if (setjmp(png_jmpbuf(png))) return 0;
  // libpng only warns when the image data fails its zlib checksum; damaged
  // pixels must refuse the picture, like any other damage.
  png_set_benign_errors(png, 0);
  for (int pass = 0; pass < src->passes; pass++)
    for (int y = 0; y < height; y++)
      png_read_row(png, dest + (size_t)(bottom_up ? height - 1 - y : y) * row_size, nullptr);
  // The rest of the file up to its end chunk: a file cut short is refused too.
  png_read_end(png, nullptr);
  return 1;
}

static int png_decode(DecodeContext* c, uint8_t* dest, int row_size, int flags) {
  PngSource* src = (PngSource*)c->state;
  return src && png_read_rows_guarded(src, dest, row_size, flags & ROWS_BOTTOM_UP, c->height);
}

static void png_close(DecodeContext* c) { png_release_read(c); }

static const DecoderOps png_decoder = {png_check, png_decode, png_close};

// The library linked, not the one compiled against; revision 1 of the rows:
// blue, green, red (and alpha), 16-bit samples cut, palettes and grey widened.
const char* png_decoder_identity() {
  static const std::string identity =
      std::string("libpng ") + png_get_libpng_ver(nullptr) + ", rows 1";
  return identity.c_str();
}

void png_decoder_register() {
  if (pngc.decoder_registered) return;
  pngc.decoder_registered = decoder_register(&png_decoder);
}

// Writes the picture; q holds the palette and indexes for a palette file, else
// the rows are written as colour (depth 24) or colour with alpha (depth 32).
static int png_write_guarded(png_structp png, png_infop info, FILE* f, const uint8_t* rows,
                             int width, int height, int row_size, int bottom_up, int depth,
                             int out_depth, Quantizer* q) {
  if (setjmp(png_jmpbuf(png))) return 0;
  png_init_io(png, f);
  png_set_filter(png, 0, PNG_FILTER_NONE);
  png_set_compression_level(png, 9);
  if (q) {
    png_set_IHDR(png, info, (png_uint_32)width, (png_uint_32)height, out_depth,
                 PNG_COLOR_TYPE_PALETTE, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_color palette[256];
    const uint8_t* entries = quantizer_palette(q);
    int colours = quantizer_colours(q);
    for (int i = 0; i < colours; i++)
      palette[i] = {entries[i * 4 + 2], entries[i * 4 + 1], entries[i * 4]};
    png_set_PLTE(png, info, palette, colours);
    png_set_gAMA(png, info, 1.8);
    png_write_info(png, info);
    for (int y = 0; y < height; y++)
      png_write_row(png, quantizer_row(q, bottom_up ? height - 1 - y : y));
  } else {
    png_set_IHDR(png, info, (png_uint_32)width, (png_uint_32)height, 8,
                 depth == 32 ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_bgr(png);
    png_write_info(png, info);
    for (int y = 0; y < height; y++)
      png_write_row(png, rows + (size_t)(bottom_up ? height - 1 - y : y) * row_size);
  }
  png_write_end(png, info);
  return 1;
}

static int png_write(const char* path, const uint8_t* rows, int width, int height, int row_size,
                     int flags, int options, int out_depth, int depth) {
  Quantizer* q = nullptr;
  if (out_depth >= 1 && out_depth <= 8) {
    q = quantizer_create(rows, width, height, depth, row_size, out_depth, options);
    if (!q) return 0;
  }
  PlatWriteFile f;
  int begun = plat_write_begin(&f, path);
  png_structp png = begun ? png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, png_quiet_error,
                                                    png_quiet_warning)
                          : nullptr;
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  int ok = info && png_write_guarded(png, info, f.file, rows, width, height, row_size,
                                     flags & ROWS_BOTTOM_UP, depth, out_depth, q);
  if (png) png_destroy_write_struct(&png, info ? &info : nullptr);
  if (begun) ok = plat_write_end(&f, ok);
  quantizer_free(q);
  return ok;
}

static int png_write24(const char* path, const uint8_t* rows, int width, int height, int row_size,
                       int flags, int options, int out_depth) {
  return png_write(path, rows, width, height, row_size, flags, options, out_depth, 24);
}

static int png_write32(const char* path, const uint8_t* rows, int width, int height, int row_size,
                       int flags, int options, int out_depth) {
  return png_write(path, rows, width, height, row_size, flags, options, out_depth, 32);
}

static const EncoderOps png_encoder = {IMAGE_FORMAT_PNG, png_write24, png_write32};

void png_encoder_register() {
  if (pngc.encoder_registered) return;
  pngc.encoder_registered = encoder_register(&png_encoder);
}
