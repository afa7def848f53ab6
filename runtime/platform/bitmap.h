// The bitmap store: pictures in main memory as device-independent bitmaps, rows
// bottom row first, 24 or 32 bits per pixel in blue, green, red (, alpha) order,
// each row padded to a multiple of 4 bytes. What every backend offers for images.
#pragma once

#include <cstdint>

enum { BITMAP_MAX_SIDE = 32767, BITMAP_MAX_PIXELS = 1 << 25 };

struct PlatBitmap {
  uint8_t* pixels; // height rows of row_size bytes, the picture's bottom row first
  int width, height;
  int depth;    // 24 or 32
  int row_size; // bytes per row, a multiple of 4
  int handle;   // nonzero and unique among living bitmaps: what callers are shown
};

// Bytes per row of a bitmap: 1 bit (w + 31) / 32 x 4, 4 bits (w + 7) / 8 x 4,
// 8 bits (w + 3) / 4 x 4, 15 or 16 bits (w + 1) / 2 x 4, 24 bits (3w + 3) / 4 x 4,
// any other depth w x 4.
int plat_bitmap_row_size(int width, int depth);
// A black (all zero) bitmap; null for a depth other than 24 or 32, a size beyond
// the caps, or no memory. With black 0 only the rows' padding is zero: the
// caller writes every pixel (clearing first would write them twice).
PlatBitmap* plat_bitmap_create(int width, int height, int depth, int black = 1);
// Releases a bitmap; null is ignored.
void plat_bitmap_free(PlatBitmap* b);
// Loads a BMP file as a 24-bit bitmap with its own colours; the file's bits per
// pixel go to *file_depth. Null when the file is missing, above
// PLAT_MAX_FILE_BYTES (runtime/platform/plat_core.h), not a regular file, or not a whole, readable
// BMP.
PlatBitmap* plat_bitmap_load(const char* path, int* file_depth);
// Copies w x h pixels from (sx, sy) of src to (dx, dy) of dst, positions counted
// from the top-left; the parts outside either bitmap are skipped. Depths may differ
// (a 24-bit source gives alpha 255 in a 32-bit destination).
void plat_bitmap_copy(PlatBitmap* dst, int dx, int dy, const PlatBitmap* src, int sx, int sy, int w,
                      int h);
enum { STRETCH_NEAREST = 0, STRETCH_AVERAGE = 1 };
// Scales the whole of src onto the whole of dst (same depth): nearest takes the
// pixel under each destination pixel, average the area-weighted mean of the pixels
// it covers. 0 for different depths or no memory.
int plat_bitmap_stretch(PlatBitmap* dst, const PlatBitmap* src, int mode);

// Per-pixel alpha blending: software here, so always present; 0 when unavailable.
int plat_alpha_blend_open();
void plat_alpha_blend_close();
