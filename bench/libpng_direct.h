// libpng called directly, with the settings the codecs use: the peer that the
// benchmarks measure the codecs and the art cache against.
#pragma once

#include <cstdint>
#include <cstdio>
#include <png.h>

inline void libpng_quiet_error(png_structp png, png_const_charp) { png_longjmp(png, 1); }
inline void libpng_quiet_warning(png_structp, png_const_charp) {}

// Writes 24-bit blue-green-red rows (stride bytes apart, the bottom row first
// when bottom_up) as a colour PNG, filter none, level 9; 0 on failure.
inline int libpng_write_bgr(const char* path, const uint8_t* rows, int w, int h, size_t stride,
                            bool bottom_up) {
  FILE* f = fopen(path, "wb");
  if (!f) return 0;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, libpng_quiet_error,
                                            libpng_quiet_warning);
  png_infop info = png_create_info_struct(png);
  int ok = 0;
  if (!setjmp(png_jmpbuf(png))) {
    png_init_io(png, f);
    png_set_filter(png, 0, PNG_FILTER_NONE);
    png_set_compression_level(png, 9);
    png_set_IHDR(png, info, w, h, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_bgr(png);
    png_write_info(png, info);
    for (int y = 0; y < h; y++)
      png_write_row(png, (png_bytep)rows + (size_t)(bottom_up ? h - 1 - y : y) * stride);
    png_write_end(png, info);
    ok = 1;
  }
  png_destroy_write_struct(&png, &info);
  fclose(f);
  return ok;
}
