#include "game/sprite_assets.h"

#include "game/game_state.h"
#include "runtime/core/dates.h"
#include "runtime/display/sprites.h"
#include "runtime/image/codecs.h"
#include "runtime/image/images.h"
#include "runtime/platform/plat_window.h"

#include <cmath>

static const char* const FRAME_NAMES[KIND_COUNT][4] = {
    {"sir0", "sir1", "sir2", "sir3"},     {"rox0", "rox1", "rox2", "rox3"},
    {"tree0", "tree1", "tree2", ""},      {"tree3", "tree4", "tree5", "tree6"},
    {"brid0", "brid1", "brid2", "brid3"}, {"sher0", "sher1", "", ""},
    {"pit0", "pit1", "pit2", "pit3"},     {"fg0", "fg1", "fg2", "fg3"},
    {"frz0", "frz1", "frz2", ""},         {"mam0", "mam1", "", ""},
    {"gal0", "gal1", "gal2", "gal3"},     {"mam2", "mam3", "", ""},
};

static const int KEY_MAGENTA = 0xFF00FF;

// The nearest whole number, halves to the even one (25.5 gives 26, 24.5 gives 24),
// whatever rounding mode the floating-point unit is left in.
static int round_half_even(double v) {
  double low = std::floor(v), rest = v - low;
  if (rest > 0.5 || (rest == 0.5 && std::fmod(low, 2.0) != 0.0)) low += 1.0;
  return (int)low;
}

// Writes the scaled copy from the source picture; a failure leaves no copy or
// an empty one, which the caller's size test catches.
static void make_scaled_copy(const std::string& source, const std::string& copy) {
  int image = image_load(-1, source.c_str());
  if (!image) return;
  if (image_resize(image, image_width(image) * 4, image_height(image) * 4, 1))
    image_save(image, copy.c_str(), IMAGE_FORMAT_PNG);
  image_free(image);
}

// The sprite of a scaled copy, keyed on magenta; 0 when there is no usable copy.
static int load_copy(const std::string& copy) {
  if (file_size(copy.c_str()) <= 0) return 0;
  int sprite = sprite_load(-1, copy.c_str());
  if (sprite) sprite_set_key_colour(sprite, KEY_MAGENTA);
  return sprite;
}

int load_scaled_sprite(const std::string& name, int reload) {
  int* known = name_map_find(game.sprite_names, name);
  int old = known ? *known : 0;
  int result = old;
  if (!known || reload) {
    // A first start scales every picture, seconds for big ones: between two
    // pictures the window system is let in, so the window keeps answering it.
    plat_event_pump();
    const std::string source = ".\\see\\" + name + ".png", copy = ".\\see\\" + name + "_x4.png";
    // Missing (-1), a folder (-2) or empty (0): make it.
    bool made = file_size(copy.c_str()) <= 0;
    if (made) make_scaled_copy(source, copy);
    result = load_copy(copy);
    // A copy that will not load (a write cut short) would otherwise be kept for good.
    if (!result && !made) {
      make_scaled_copy(source, copy);
      result = load_copy(copy);
    }
    if (result) name_map_add(game.sprite_names, name) = result;
  }
  // Animated entities and followers hold a row of the frame table, not a sprite.
  if (known)
    for (Entity* e = (Entity*)list_first(&game.entities); e; e = (Entity*)list_next(e))
      if (e->sprite == old && !e->animated && !e->follow_state) e->sprite = result;
  return result;
}

int load_sprites(int reload) {
  // 0 means no image here, never image slot 0, which is not ours to touch.
  int land = image_load(-1, ".\\see\\urth.png");
  game.world_width = land ? (float)image_width(land) * 4.0f : 0.0f;
  game.panel_count = round_half_even(game.world_width / 640.0);
  game.panels.assign((size_t)game.panel_count, 0);
  for (int i = 0; i < game.panel_count; i++) {
    plat_event_pump();
    // Made in memory: a shared scratch file would be fought over by two copies
    // of the game in one folder, and cannot be written in a read-only one.
    int slice = image_copy(land, -1, 640 * i / 4, 0, 160, image_height(land));
    if (!slice) continue;
    if (image_resize(slice, 640, 480, 1)) game.panels[(size_t)i] = sprite_from_image(-1, slice);
    image_free(slice);
  }
  if (land) image_free(land);

  for (int kind = 0; kind < KIND_COUNT; kind++)
    for (int frame = 0; frame < 4; frame++) {
      const char* name = FRAME_NAMES[kind][frame];
      game.anim_frames[kind][frame] = *name ? load_scaled_sprite(name, reload) : 0;
    }
  game.lite_sprite = load_scaled_sprite("lite", reload);
  game.bsh_sprite = load_scaled_sprite("bsh", reload);
  game.twigs_sprite = load_scaled_sprite("twigs", reload);
  game.mag_sprite = load_scaled_sprite("mag", reload);
  game.feet_sprite = load_scaled_sprite("feet", reload);
  return 0;
}
