#include "game/entities.h"

#include "game/game_sounds.h"
#include "runtime/core/clock_random.h"
#include "runtime/display/sprites.h"

#include <cstdlib>

// A footprint goes in front of the sequence: drawn behind everything, and not
// visited by the pass that made it.
static void leave_footprint(const Entity* e) {
  list_rewind(&game.entities);
  Entity* f = (Entity*)list_insert(&game.entities);
  if (!f) return;
  f->x = e->x;
  f->y = game.ground_y + (float)random_int(4) - 2.0f;
  f->width = (float)sprite_width(game.feet_sprite);
  f->height = (float)sprite_height(game.feet_sprite);
  f->depth = -7.0f;
  f->steady = 1;
  f->sprite = game.feet_sprite;
  f->required_progress = 100;
}

// A waiting chaser hangs where it is, even when marked airborne.
static void fall(Entity* e) {
  if (e->airborne != 1 || e->chase_state == 1) return;
  e->y += e->vy;
  if (e->pickup) {
    e->vy -= game.gravity / 5.0f;
    e->x += e->vx;
  } else {
    e->vy -= game.gravity;
  }
  if (e->y < game.ground_y && e->vy < 0.0f) {
    if (e->knockback > 60.0f) {
      sound_play(2);
      if (game.shake < 20) game.shake = 20;
      if (random_int(9) < 6) leave_footprint(e);
    }
    e->y = game.ground_y;
    e->airborne = 0;
  }
}

static void wait_for_view(Entity* e) {
  if (e->x + e->width >= game.camera_x + 640.0f) return;
  e->chase_state = 2;
  game_sound(e->appear_sound ? e->appear_sound : 2);
}

static void chase(Entity* e, const Entity* p) {
  const bool grounded = !e->airborne;
  if (e->x > p->x + 2.0f * p->width) {
    if (grounded) e->vx = -4.0f;
  } else if (e->x > p->x + p->width / 2.0f) {
    if (grounded) {
      e->vx = -3.0f;
      if (random_int(20) == 0) {
        e->vx = -2.0f;
        e->airborne = 1;
        e->vy = 8.0f + (float)random_int(6);
      }
    }
  } else if (e->x < p->x) {
    // The player got past: leap back to the right.
    if (grounded) {
      e->airborne = 1;
      e->vx = 7.0f;
      e->vy = 15.0f + (float)random_int(4);
    }
  } else {
    if (grounded) e->vx = 0.0f;
    if (e->attack_timer == 0) {
      game_sound(e->attack_sound);
      e->attack_timer = 30;
    }
  }
  e->phase = 0.0f;
  if (e->attack_timer > 0) {
    e->attack_timer--;
    if (e->attack_timer > 18) e->phase = 1.0f; // the attack frame, 11 frames
  }
  e->x += e->vx;
}

static void follow(Entity* e, const Entity* p) {
  if (e->x < p->x + p->width && !p->airborne && e->x > p->x + p->width / 2.0f && e->discovery) {
    e->discovery->triggered = 1;
    e->discovery = nullptr;
  }
  if (e->follow_state == 1) {
    if (p->x > (float)e->barrier_x) {
      e->follow_state = 2;
      game_sound(e->attack_sound);
    }
    return;
  }
  if (e->x > p->x + p->width) {
    e->vx = -4.0f;
    e->phase += 0.1f;
  } else if (e->x + e->width < p->x) {
    e->vx = 4.0f;
    e->phase += 0.1f;
  } else {
    e->vx = 0.0f;
  }
  e->x += e->vx;
}

static void hit_with_space(Entity* e) {
  if (e->follow_state && !e->airborne) {
    e->airborne = 1;
    e->vy = 13.0f;
  } else {
    e->health = (int16_t)(e->health - 5);
  }
  if (e->health < 1) entity_destroy(e);
  if (!e->chase_state && !e->follow_state && e->max_health)
    e->phase = 3.0f - (float)e->health * 3.0f / (float)e->max_health;
}

// What the player touching e does; the player's right edge is within e's span
// widened by 2 on each side.
static void touch(Entity* e, Entity* p) {
  if (e->pickup) {
    if (!p->airborne && !e->airborne) {
      e->health = -5;
      if (e->discovery) e->discovery->triggered = 1;
      // The scan frees the record once it has fired.
      e->discovery = nullptr;
    }
    return;
  }
  if (e->solid) {
    // Solid at any height: it cannot be jumped over.
    p->x = e->x - p->width;
    if (e->x + e->width > game.camera_x + 640.0f) game.camera_x += 4.0f;
  }
  if (e->chase_state && !(e->y < p->y + p->height && p->y < e->y + e->height)) return;
  if (e->attack_timer == 28) {
    // One frame after the attack starts; the ground slide carries it out.
    p->vx = -1.0f * e->knockback;
    game_sound(1);
  }
  if (game.space_count == 1 && e->required_progress <= game.progress) hit_with_space(e);
}

void entities_pass() {
  Entity* p = game.player;
  for (Entity* e = (Entity*)list_first(&game.entities); e; e = (Entity*)list_next(e)) {
    fall(e);
    if (e == p || !p) continue;
    // A hidden entity's barrier already holds.
    if (e->barrier_x > 0 && !e->dead && !e->follow_state && p->x + p->width > (float)e->barrier_x)
      p->x = (float)e->barrier_x - p->width;
    if (e->health <= 0) continue;
    if (e->chase_state == 1)
      wait_for_view(e);
    else if (e->chase_state == 2)
      chase(e, p);
    else if (e->follow_state)
      follow(e, p);
    const float right = p->x + p->width;
    if (right >= e->x - 2.0f && right <= e->x + e->width + 2.0f) touch(e, p);
  }
}

void entity_destroy(Entity* e) {
  e->dead = 1;
  if (e->death_sound) game_sound(e->death_sound);
  // An animated entity keeps its last frame as a still picture (or nothing);
  // a still picture keeps itself.
  if (e->animated)
    e->sprite = e->sprite >= 0 && e->sprite < KIND_COUNT ? game.anim_frames[e->sprite][3] : 0;
  e->animated = 0;
  e->health = 0;
  game.shake = 20;
  game_sound(2);
  if (e->linked) {
    e->linked->health = (int16_t)-e->linked->health;
    e->linked->max_health = (int16_t)-e->linked->max_health;
  }
  if (e->discovery) {
    e->discovery->triggered = 1;
    e->discovery = nullptr;
  }
  if (Entity* r = e->revealed) {
    r->x = e->x;
    r->y = e->y;
    r->vy = 10.0f;
    r->vx = 0.0f;
    r->airborne = 1;
    r->health = (int16_t)std::abs(r->health);
  }
}

void monster_westward_rule() {
  Entity* m = game.monster;
  if (!m || m->x >= 2600.0f || m->sprite == KIND_MONSTER_CHANGED || m->health <= 0) return;
  m->sprite = KIND_MONSTER_CHANGED;
  game_sound(10);
}
