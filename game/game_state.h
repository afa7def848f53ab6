// The game's state: one GameState record, the entity sequence (every thing in
// the world, the player included) and the discovery sequence (pending announcements).
#pragma once

#include "runtime/core/list.h"
#include "runtime/core/name_map.h"

#include <cstdint>
#include <string>
#include <vector>

// Rows of the frame table: the sprite kind of an animated entity.
enum SpriteKind {
  KIND_PLAYER = 0,
  KIND_ROCKS = 1,
  KIND_STANDING_TREE = 2,
  KIND_FALLEN_TREE = 3,
  KIND_BRIDGE = 4,
  KIND_MAN = 5,
  KIND_FIRE_PIT = 6,
  KIND_PLAYER_FIRE = 7,
  KIND_FROZEN = 8,
  KIND_MONSTER = 9,
  KIND_GIRL = 10,
  KIND_MONSTER_CHANGED = 11,
  KIND_COUNT = 12,
};

struct Discovery {
  float x;       // fires when the player's x reaches it; 0.0 never fires by position
  int id;        // progress level it raises progress to; 0 none
  char* caption; // caption markup; null or empty: fires silently
  int done;      // set when it fires, just before its removal
  int triggered; // set by an entity: fires wherever the player is
};

struct Entity {
  float x, y;          // left edge; bottom edge above the screen bottom
  float vx, vy;        // units per frame, vy up
  float depth;         // drawing layer, lower is further back
  float width, height; // sprite size, measured once
  int sprite;          // animated or follower: the kind; else a sprite handle (0 none)
  float phase;         // animation phase; the frame drawn is trunc(phase) mod 4
  int appear_sound;    // waiting chaser starts: this sound (0: sound 2)
  int attack_timer;    // chaser attack countdown, frames
  uint8_t airborne;
  uint8_t animated;
  int death_sound;     // 0 none
  uint8_t chase_state; // 0 no chaser, 1 waiting out of view, 2 chasing
  uint8_t dead;
  Entity* linked;   // health and max_health negated when this one is destroyed
  Entity* revealed; // released at this one's place when it is destroyed
  uint8_t solid;
  int attack_sound; // chaser: each attack; follower: when it starts to follow
  uint8_t required_progress;
  uint8_t pickup;
  int16_t health; // > 0 active, 0 inert, < 0 hidden
  int16_t max_health;
  Discovery* discovery; // triggered by this entity
  float knockback;      // chaser: the player's vx becomes -knockback; > 60 also shakes landings
  uint8_t steady;       // shakes with the ground panels
  uint8_t follow_state; // 0 no follower, 1 waiting, 2 following
  int barrier_x; // non-follower: the player's right edge stays left of it; follower: wake-up x
};

struct GameState {
  int quit_requested;
  int screen_open;
  int windowed;
  int screen_active;
  int font;         // caption font, 0 for the drawing layer's default
  int now;          // clock_ms at the start of the frame
  int caption_time; // now at the last caption event
  Entity* player;
  int panel_count;
  std::vector<int> panels; // ground panel i covers world x 640 i to 640 i + 639
  int anim_frames[KIND_COUNT][4];
  int lite_sprite, bsh_sprite, twigs_sprite, mag_sprite, feet_sprite;
  NameMap sprite_names; // sprite name to the handle last loaded for it
  Entity* girl;
  Entity* monster;
  int shake_x;
  int ending; // 0 playing, 1-4 the ending cards
  float camera_x;
  float gravity;
  float ground_y;
  float world_width;
  int progress; // highest discovery id reached, 0-7
  int caption_on;
  std::string caption;
  int flash;      // colour for the next frame's background, -1 none
  int flash_time; // with gentle flashes: now when the last was shown
  int sound_ok;
  int space_count; // consecutive frames Space has been held
  int space_prev;
  int shake;           // screen-shake strength, falls by 1 per frame
  List entities;       // of Entity, in drawing order
  List discoveries;    // of Discovery
  int first_hint;      // 0 none, 1 to show from the next frame, 2 showing
  int first_hint_time; // now at its first frame
  std::string note;    // what the last key with a note did, "" none
  int note_time;       // now when it was said
  int ctrl_was_down;   // left Ctrl was down at the last frame's keys
};

extern GameState game;

// Clears the state, freeing both sequences; the frame table and singles are 0.
void game_state_reset();
// Fills the discovery and entity sequences with the initial world, sorts the
// entities by depth (stably) and measures them. Needs the sprites loaded.
void build_world();
