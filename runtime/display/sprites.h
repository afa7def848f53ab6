// Sprites: pictures held by the graphics device as textures, addressed by number,
// drawn into the screen's back buffer opaque or leaving out one key colour.
// Sprites belong to the open screen: closing it frees them all.
#pragma once

#include "runtime/display/object_table.h"
#include "runtime/platform/softgfx/softgfx.h"

#include <cstddef>

enum SpriteTextureKind { SPRITE_16_BIT = 2, SPRITE_32_BIT = 3 };

struct SpriteTexture {
  int kind; // SPRITE_16_BIT: A1R5G5B5, SPRITE_32_BIT: A8R8G8B8
  int width, height;
  int locked;
  int key_colour;         // 0x00BBGGRR of the transparent pixels; -1 before one is applied
  GfxTexture* texture;    // managed: survives a device reset
  const Surface* surface; // the texture's pixels, to read (written through the lock)
  Surface* dc_surface;    // system-memory copy for device contexts, made when first wanted
  Surface* dc;            // the device context handed out on dc_surface, or null
};

struct SpriteRecord {
  SpriteTexture* texture; // null: the slot is free
  int width, height;
  int depth; // 16 or 32, bits per pixel of the texture
  int mode;  // creation flags, always 0 here
  int buffer_width, buffer_height;
  float corner_uv[4][2]; // top-left, top-right, bottom-left, bottom-right
};

// Makes the sprite table (display start-up); again later does nothing.
void sprite_table_create();
// Frees every sprite and the table (display shutdown).
void sprite_table_destroy();

// Loads an image file into sprite n (-1: a new number); the new number for -1,
// nonzero for a slot number, 0 on failure. A file that cannot be read leaves
// sprite n alone; data no decoder takes leaves number n free.
int sprite_load(int n, const char* file_name);
// As sprite_load, from an image file's bytes in memory.
int sprite_decode(int n, const void* bytes, size_t length, int mode);
// As sprite_load, from the pixels of image number image (runtime/image/images.h);
// 0 when there is no such image, sprite n then left alone.
int sprite_from_image(int n, int image);
// Copies the rectangle x, y, width, height of the back buffer into sprite n
// (-1: a new number); as sprite_load, and 0 when the rectangle leaves the buffer.
int sprite_grab(int n, int x, int y, int width, int height);
// Writes sprite n as a 24-bit BMP file; 0 when there is no sprite n or the write fails.
int sprite_save(int n, const char* file_name);
// Frees sprite n; nothing happens when there is none.
void sprite_free(int n);
// Frees every sprite (the screen closing or failing to open).
void sprite_free_all();
// The sprite's size in pixels; 0 when there is no sprite n.
int sprite_width(int n);
int sprite_height(int n);
// n -1: sets the key colour of sprites made from now on; otherwise makes
// colour (0x00BBGGRR) the transparent one of sprite n.
void sprite_set_key_colour(int n, int colour);
// Draws sprite n with its top-left corner at x, y, every pixel opaque.
void sprite_draw(int n, int x, int y);
// The same, leaving out the pixels of the sprite's key colour.
void sprite_draw_keyed(int n, int x, int y);
// The record of sprite n, or null.
SpriteRecord* sprite_lookup(int n);
