#include "game/sprite_assets.h"

#include "game/game_state.h"
#include "game/work_folder.h"
#include "runtime/core/dates.h"
#include "runtime/core/folders.h"
#include "runtime/core/process.h"
#include "runtime/display/sprites.h"
#include "runtime/display/window.h"
#include "runtime/image/codecs.h"
#include "runtime/image/images.h"
#include "runtime/image/start_ahead.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

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

struct SpriteAssetsState {
  int told_unkept;                   // the player was told that the scaled copies cannot be kept
  int told_missing;                  // ... that some pictures could not be loaded
  std::vector<std::string> told_odd; // ... of these entries standing at a copy's name
};
static SpriteAssetsState assets;

static int keyed(int sprite) {
  if (sprite) sprite_set_key_colour(sprite, KEY_MAGENTA);
  return sprite;
}

// The sprite of the source picture scaled by four with hard edges, made in
// memory; the scaled copy is saved for the next start where the folder allows.
// A copy that cannot be saved (a read-only or full disk) costs only time: the
// player is told once, and it is made again at the next start.
static int make_scaled_sprite(const std::string& source, const std::string& copy) {
  int image = image_load(-1, source.c_str());
  if (!image) return 0;
  int sprite = 0;
  if (image_resize(image, image_width(image) * 4, image_height(image) * 4, 1)) {
    // A folder, a pipe or a device of the player's at the copy's name is theirs.
    const std::string odd = work_folder_writable() ? file_odd_entry(copy.c_str()) : "";
    if (!odd.empty()) {
      if (std::find(assets.told_odd.begin(), assets.told_odd.end(), copy) ==
          assets.told_odd.end()) {
        assets.told_odd.push_back(copy);
        process_report("quillmoor: " + file_shown(folder_current() + "/" + copy.substr(2)) +
                       " is " + odd + ", not a scaled picture; that picture is kept in memory\n");
      }
    } else if (work_folder_writable() && !image_save(image, copy.c_str(), IMAGE_FORMAT_PNG) &&
               !assets.told_unkept) {
      assets.told_unkept = 1;
      const std::string why = strerror(errno);
      process_report("quillmoor: cannot keep the scaled pictures in " +
                     file_shown(folder_current() + "/see") + " (" + why +
                     "); they are made again at every start\n");
    }
    sprite = keyed(sprite_from_image(-1, image));
  }
  image_free(image);
  return sprite;
}

// A picture that gives no sprite leaves a hole in the world: the player is
// told once which, a few by name.
static void tell_missing(const std::vector<std::string>& missing) {
  if (missing.empty() || assets.told_missing) return;
  assets.told_missing = 1;
  std::string names;
  for (size_t i = 0; i < missing.size() && i < 4; i++) names += (i ? ", " : "") + missing[i];
  if (missing.size() > 4) names += " and " + std::to_string(missing.size() - 4) + " more";
  process_report("quillmoor: cannot load " + std::to_string(missing.size()) +
                 " of the game's pictures: " + names + "\n");
}

int load_scaled_sprite(const std::string& name, int reload) {
  int* known = name_map_find(game.sprite_names, name);
  int old = known ? *known : 0;
  int result = old;
  if (!known || reload) {
    // A first start scales every picture, seconds for big ones: between two
    // pictures the window system is let in, so the window keeps answering it.
    window_pump();
    const std::string copy = ".\\see\\" + name + "_x4.png";
    // A copy missing, empty, a folder or damaged (a write cut short) is made anew.
    result = file_size(copy.c_str()) > 0 ? keyed(sprite_load(-1, copy.c_str())) : 0;
    if (!result) result = make_scaled_sprite(work_folder_file(".\\see\\" + name + ".png"), copy);
    if (result) name_map_add(game.sprite_names, name) = result;
  }
  // Animated entities and followers hold a row of the frame table, not a sprite.
  if (known)
    for (Entity* e = (Entity*)list_first(&game.entities); e; e = (Entity*)list_next(e))
      if (e->sprite == old && !e->animated && !e->follow_state) e->sprite = result;
  return result;
}

static const char* const SINGLE_NAMES[] = {"lite", "bsh", "twigs", "mag", "feet"};

void load_sprites_ahead() {
  std::vector<std::string> files = {work_folder_file(".\\see\\urth.png")};
  for (const auto& row : FRAME_NAMES)
    for (const char* name : row)
      if (*name) files.push_back(".\\see\\" + std::string(name) + "_x4.png");
  for (const char* name : SINGLE_NAMES) files.push_back(".\\see\\" + std::string(name) + "_x4.png");
  // Their decoded rows are kept beside the copies: a warm start reads them.
  start_ahead(files, work_folder_writable() ? ".\\see\\pictures.cache" : "");
}

int load_sprites(int reload) {
  // 0 means no image here, never image slot 0, which is not ours to touch.
  int land = image_load(-1, work_folder_file(".\\see\\urth.png").c_str());
  game.world_width = land ? (float)image_width(land) * 4.0f : 0.0f;
  game.panel_count = round_half_even(game.world_width / 640.0);
  game.panels.assign((size_t)game.panel_count, 0);
  for (int i = 0; i < game.panel_count; i++) {
    window_pump();
    // Made in memory: a shared scratch file would be fought over by two copies
    // of the game in one folder, and cannot be written in a read-only one.
    int slice = image_copy(land, -1, 640 * i / 4, 0, 160, image_height(land));
    if (!slice) continue;
    if (image_resize(slice, 640, 480, 1)) game.panels[(size_t)i] = sprite_from_image(-1, slice);
    image_free(slice);
  }
  if (land) image_free(land);

  std::vector<std::string> missing;
  if (!land) missing.push_back("urth");
  auto load = [&](const char* name) {
    int sprite = load_scaled_sprite(name, reload);
    if (!sprite) missing.push_back(name);
    return sprite;
  };
  for (int kind = 0; kind < KIND_COUNT; kind++)
    for (int frame = 0; frame < 4; frame++) {
      const char* name = FRAME_NAMES[kind][frame];
      game.anim_frames[kind][frame] = *name ? load(name) : 0;
    }
  game.lite_sprite = load("lite");
  game.bsh_sprite = load("bsh");
  game.twigs_sprite = load("twigs");
  game.mag_sprite = load("mag");
  game.feet_sprite = load("feet");
  tell_missing(missing);
  return 0;
}
