// Reading Windows bitmap files held in memory into 24-bit rows. Shared by the
// bitmap store's file loading and the runtime's BMP decoder.
//
// Read: 1, 4, 8, 16, 24 and 32 bits per pixel; uncompressed, 8-bit and 4-bit
// run-length, and bit-field layouts; bottom-up and top-down rows; the OS/2 core
// header. Every size and offset is checked against the file before use.
#pragma once

#include <cstddef>
#include <cstdint>

// Pictures larger than this are refused, whatever the file claims.
enum { BMP_MAX_SIDE = 32767, BMP_MAX_PIXELS = 1 << 25 };

struct BmpInfo {
  int width, height;     // in pixels, both positive
  int top_down;          // rows are stored top row first
  int bits;              // bits per pixel in the file
  int compression;       // 0 none, 1 RLE8, 2 RLE4, 3 bit fields
  size_t data_offset;    // of the first pixel row
  size_t palette_offset; // of the colour table
  int palette_entries;   // colour table entries present in the file
  int palette_stride;    // 4, or 3 for the OS/2 core header
  uint32_t masks[3];     // blue, green, red bit fields (16 and 32 bits)
};

// Parses the headers; nonzero for a bitmap this reader can decode whose pixel
// data lies inside the file, 0 for anything else.
int bmp_parse(const uint8_t* data, size_t size, BmpInfo* info);
// Writes the picture as 24-bit rows, row_size bytes apart, bottom row first when
// bottom_up is set. With fixed_mono 1-bit pixels are black (0) and white (1)
// whatever the colour table says. Indexes beyond the colour table and pixels a
// run-length stream skips are black. 0 for bad arguments or a run-length stream
// cut short (its data ends before the picture does; the rows are then partly written).
int bmp_decode(const BmpInfo* info, const uint8_t* data, size_t size, uint8_t* dest, int row_size,
               int bottom_up, int fixed_mono);
