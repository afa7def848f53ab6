// Images: pictures in main memory, independent of the screen, addressed by
// number. They are loaded from BMP and PNG files, cut, resized and saved.
//
// Numbers: a slot number from 0 up replaces the image there; -1 makes an image
// under a new (negative) number, which the create operation returns. A number
// holding no image makes every operation return 0 and do nothing.
#pragma once

#include "runtime/platform/bitmap.h"

struct ImageRecord {
  PlatBitmap* bitmap; // null: no image under this number
  int width, height;  // in pixels
  int depth;          // bits per pixel of the bitmap: 24 or 32
  int file_depth;     // bits per pixel of the file it came from; the default depth of image_save
};

// Start-up: looks up the platform's alpha blending and prepares the image table.
void image_init();
// Frees every image; the table is then as before image_init.
void image_shutdown();
// Lets go of the platform's alpha blending (the last step at exit).
void image_alpha_unload();

// Loads a BMP or PNG file under number; the new number for -1, else the bitmap's
// handle; 0 when no reader takes the file (the number is then left empty).
int image_load(int number, const char* path);
// A black image of width x height at depth 24 or 32 under number; returns as image_load.
int image_create(int number, int width, int height, int depth);
// The record of image n (its bitmap holds the pixels), or null.
ImageRecord* image_lookup(int n);
// Width and height in pixels; 0 when there is no image n.
int image_width(int n);
int image_height(int n);
// Nonzero when image n blends per pixel when drawn: 32 bits and platform alpha blending.
int image_has_alpha(int n);
// A new image under number holding the rectangle at x, y (from the top-left) of
// image source; the parts outside the source stay black. Returns as image_load.
int image_copy(int source, int number, int x, int y, int width, int height);
// Scales image n to width x height: raw (nonzero mode) with hard pixel edges, else
// smoothly. Returns the new bitmap's handle (the old one when the size is already
// right); 0 when there is no image or the new bitmap cannot be made, the image
// then unchanged.
int image_resize(int n, int width, int height, int raw);
// Saves image n in a format of the encoder registry (IMAGE_FORMAT_BMP, IMAGE_FORMAT_PNG)
// at its file depth, without dithering; 0 on an empty path, no image or a failed write.
int image_save(int n, const char* path, int format);
// As image_save with the encoder options and an output depth (-1: the file depth).
int image_save_ex(int n, const char* path, int format, int options, int depth);
// Frees image n; -1 and empty numbers are ignored.
void image_free(int n);
// Bytes per row of a bitmap of this width and depth (rows padded to 4 bytes).
int image_row_size(int width, int depth);
