// Sprites: pictures held by the graphics device as textures, addressed by number.
#pragma once

#include "runtime/display/object_table.h"

struct SpriteTexture;

struct SpriteRecord {
  SpriteTexture* texture; // null: the slot is free
  int width, height;
  int depth; // 16 or 32, bits per pixel of the texture
  int mode;  // creation flags, always 0 here
  int buffer_width, buffer_height;
  float corner_uv[4][2]; // top-left, top-right, bottom-left, bottom-right
};

// The sprite's size in pixels; 0 when there is no sprite n.
int sprite_width(int n);
int sprite_height(int n);
