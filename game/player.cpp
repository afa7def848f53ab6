#include "game/player.h"

#include "game/game_sounds.h"
#include "game/game_state.h"
#include "runtime/core/strings.h"
#include "runtime/input_sound/keyboard.h"

// Walking and jumping alternate frames 0 and 1; frames 2 and 3 are set directly.
static void advance_phase(Entity* p, float by) {
  p->phase += by;
  while (p->phase >= 2.0f) p->phase -= 2.0f;
}

static void jump(Entity* p) {
  if (!key_down(KEY_UP) || p->airborne) return;
  game_sound(0);
  p->airborne = 1;
  p->vy = 26.0f;
  advance_phase(p, 1.0f);
  // Only kept for the drift after landing: in the air the arrows alone move.
  p->vx = key_down(KEY_RIGHT) ? 4.0f : key_down(KEY_LEFT) ? -4.0f : 0.0f;
}

static void walk(Entity* p) {
  const float stride = p->airborne ? 6.0f : 5.0f;
  if (key_down(KEY_RIGHT)) {
    p->x += stride;
    advance_phase(p, 0.1f);
  } else if (key_down(KEY_LEFT)) {
    p->x -= stride;
    advance_phase(p, 0.1f);
  } else if (key_down(KEY_DOWN)) {
    p->phase = 2.0f;
  } else if (p->phase >= 2.0f) {
    p->phase = 0.0f;
  }
}

// The first frame of a press flashes the screen in the colour of the stage.
static void first_frame_of_space() {
  game_sound(1);
  switch (game.progress) {
  case 1:
    game.flash = 0x80FFFF;
    sound_play(5);
    break;
  case 2: game.flash = 0x0040A0; break;
  case 3:
    game.flash = 0xFFD000;
    sound_play(4);
    break;
  case 4:
  case 5:
  case 6:
    game_sound(6);
    game.flash = 0x0000C8;
    break;
  default: break;
  }
}

// space_count reaching 1 is what makes the object pass act on things.
static void space(Entity* p) {
  game.space_prev = game.space_count;
  if (!key_down(KEY_SPACE) || game.progress >= 7) {
    game.space_count = 0;
    return;
  }
  game.space_count++;
  if (game.space_prev >= 7) return;
  if (game.space_prev == 0) first_frame_of_space();
  if (game.shake < 10) game.shake = 10;
  p->phase = 3.1f;
}

// Keeps the player's right edge at screen x 512 or less and its left edge at
// 128 or more, within the world.
static void follow_with_camera(const Entity* p) {
  const int s = trunc_int(p->x - game.camera_x);
  if ((float)s > 512.0f - p->width)
    game.camera_x = p->x + p->width - 512.0f;
  else if (s < 128)
    game.camera_x = p->x - 128.0f;
  // The left end wins over the right end in a world narrower than the screen, so
  // the view never starts before the first ground panel.
  if (game.camera_x > game.world_width - 640.0f) game.camera_x = game.world_width - 640.0f;
  if (game.camera_x < 0.0f) game.camera_x = 0.0f;
}

void player_step() {
  Entity* p = game.player;
  if (!p) return;
  jump(p);
  walk(p);
  if (!p->airborne) {
    p->vx = p->vx / 1.6f;
    p->x += p->vx;
  }
  if (p->x < 0.0f) p->x = 0.0f; // no right limit: the ending lies beyond the world
  space(p);
  follow_with_camera(p);
}
