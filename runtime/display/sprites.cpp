#include "runtime/display/sprites.h"

struct SpriteState {
  ObjectTable table; // created by display_init
  int default_key_colour;
};
static SpriteState sprites;

static SpriteRecord* sprite_lookup(int n) {
  return (SpriteRecord*)object_table_lookup(&sprites.table, n);
}

int sprite_width(int n) {
  SpriteRecord* s = sprite_lookup(n);
  return s ? s->width : 0;
}

int sprite_height(int n) {
  SpriteRecord* s = sprite_lookup(n);
  return s ? s->height : 0;
}
