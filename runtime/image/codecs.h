// Image file codecs behind two registries: decoders turn a file or a block of
// memory into pixel rows, encoders turn pixel rows into a file.
//
// Pixel rows are 8 bits per channel in blue, green, red order, with a fourth
// alpha byte at 32 bits per pixel. The row-order flag ROWS_BOTTOM_UP says the
// first row of a buffer is the bottom row of the picture; without it the first
// row is the top one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

// Format tags of the encoder registry: 0 is the built-in BMP writer, the other
// is "PNG" read as a little-endian number.
enum { IMAGE_FORMAT_BMP = 0, IMAGE_FORMAT_PNG = 0x474E50 };
enum { ROWS_BOTTOM_UP = 2 };   // row-order flag: first row is the picture's bottom row
enum { CODEC_DITHER = 0x100 }; // encoder option: error-diffusion dithering for palettes

// No codec reads or writes a bigger picture: a damaged or hostile header must
// not make anyone allocate gigabytes.
enum { CODEC_MAX_SIDE = 32767, CODEC_MAX_PIXELS = 1 << 25 };

struct DecodeInfo {
  int width, height;
  int depth;      // of the rows decode_rows writes: 24 or 32
  int file_depth; // what the file declares: 24 / 32 for colour PNGs, else bits per sample or pixel
};

// Opens a file and offers it to each registered decoder in registration order;
// nonzero when one accepted it, with *info filled. decode_rows or decode_close must follow.
// 0 for a file above PLAT_MAX_FILE_BYTES (runtime/platform/plat_core.h) or one
// that is not a regular file.
int decode_open_file(const char* path, DecodeInfo* info);
// As decode_open_file for size bytes at data, which must stay valid until the rows are read.
int decode_open_memory(const void* data, size_t size, DecodeInfo* info);
// Writes all rows of the opened picture, row_size bytes apart, in the order of
// flags; always closes the source. 0 when nothing is open, the rows do not fit
// row_size, or the data is damaged (the rows may then be partly written).
int decode_rows(void* dest, int row_size, int flags);
// Closes an opened source without decoding.
void decode_close();
// A whole picture held in memory, decoded through a source of the caller's own
// rather than the one the calls above keep, so that it may run on another
// thread beside them (no decoder may be registered meanwhile): rows of
// codec_pixel_bytes(width, depth) bytes, top row first, into *rows. 0 when no
// decoder takes the data or it is damaged; *rows is then empty.
int decode_memory_whole(const void* data, size_t size, DecodeInfo* info,
                        std::vector<uint8_t>* rows);

// Writes rows of source depth 24 or 32 as a file of format out_depth bits per
// pixel (1 to 8: a palette through the quantizer); options are the quantizer's.
// Format 0 is the BMP writer, others are looked up among the encoders. 0 for an
// unknown format (no file is made), a bad argument, or a failed write.
int encode_rows(const char* path, const void* rows, int format, int width, int height, int row_size,
                int depth, int flags, int options, int out_depth);

// The BMP writer behind format 0; out_depth 1, 4, 8, 24 or 32 (2 is written as 4,
// 9 to 23 as 24). 0 when the file cannot be made or a write fails.
int bmp_write(const char* path, const void* rows, int width, int height, int row_size, int depth,
              int flags, int options, int out_depth);

// What the PNG decoder is: its library's version and the revision of the rows it
// writes (raised whenever they change). Rows kept from a decoder of another
// identity do not stand for what it would decode.
const char* png_decoder_identity();

// Codec registration; a second call of each does nothing.
void bmp_decoder_register();
void png_decoder_register();
void png_encoder_register();
// Prepares the registries at start-up; they are filled once and never emptied.
void codec_registry_init();

// What a decoder sees of the source being opened and reports back.
struct DecodeContext {
  const struct DecoderOps* decoder; // the decoder that accepted the source
  FILE* file;                       // a file source, rewound before each check
  const uint8_t* data;              // a memory source
  size_t size;
  int from_memory;
  int width, height, depth, file_depth; // filled by the accepting check
  void* state; // the accepting decoder's own, for this source, until its close
};

struct DecoderOps {
  // Examines the source; on acceptance fills the picture's fields and returns nonzero.
  int (*check)(DecodeContext* c);
  // Writes all rows; nonzero on success.
  int (*decode)(DecodeContext* c, uint8_t* dest, int row_size, int flags);
  // Releases what check kept.
  void (*close)(DecodeContext* c);
};

// Writes rows as a file; nonzero on success.
typedef int (*EncodeRowsFn)(const char* path, const uint8_t* rows, int width, int height,
                            int row_size, int flags, int options, int out_depth);
struct EncoderOps {
  uint32_t format;
  EncodeRowsFn write24;
  EncodeRowsFn write32; // may be null: 32-bit rows are then flattened onto white
};

// Adds a decoder or encoder (the record must outlive the program); 0 when full.
int decoder_register(const DecoderOps* ops);
int encoder_register(const EncoderOps* ops);

// Bytes of pixels in one row of a picture of this width and depth (no padding).
inline size_t codec_pixel_bytes(int width, int depth) { return (size_t)width * (depth / 8); }

// Colour channel c with alpha a laid over white, in integers (truncated).
inline uint8_t codec_over_white(int c, int a) { return (uint8_t)((a * (c - 255) + 65025) / 255); }
