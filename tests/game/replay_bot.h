// A simple player that finishes the game by looking at the world each frame:
// it hits what it may hit, fights chasers, collects pickups, goes back for the
// frozen animal, waits for the girl, walks off the end and reads the cards.
// record_replay uses it to record the input track that the replay test plays.
#pragma once

#include "game/game_state.h"
#include "tests/game/replay_track.h"

#include <cmath>

struct ReplayBot {
  int caption_frames = 0; // frames the current caption has been shown
  bool space_was_down = false;
  bool read_hint = false, read_version = false; // each card is asked for once
  int frame = 0;

  static KeySet key(int scancode) {
    for (size_t i = 0; i < std::size(track_keys); i++)
      if (track_keys[i].scancode == scancode) return 1u << i;
    return 0;
  }

  static bool touching(const Entity* e, const Entity* p) {
    const float right = p->x + p->width;
    return right >= e->x - 2.0f && right <= e->x + e->width + 2.0f;
  }

  static bool hittable(const Entity* e, const Entity* p) {
    if (e == p || e->health <= 0 || e->pickup || e->follow_state) return false;
    if (e->required_progress > game.progress || !touching(e, p)) return false;
    if (e->chase_state == 1) return false;
    if (e->chase_state == 2) return e->y < p->y + p->height && p->y < e->y + e->height;
    return true;
  }

  // Walks so that the player's right edge comes near x.
  static KeySet walk_to(const Entity* p, float x) {
    const float right = p->x + p->width;
    if (right < x - 3.0f) return key(KEY_RIGHT);
    if (right > x + 3.0f) return key(KEY_LEFT);
    return 0;
  }

  // Space goes down every other frame: only the first frame of a press acts.
  KeySet tap() {
    space_was_down = !space_was_down;
    return space_was_down ? key(KEY_SPACE) : 0;
  }

  KeySet decide() {
    frame++;
    if (game.caption_on) {
      space_was_down = false;
      caption_frames++;
      // The last card ends by itself.
      if (game.ending == 4) return 0;
      return caption_frames % 32 == 30 ? key(KEY_SPACE) : 0;
    }
    caption_frames = 0;
    // The instructions at the start (F1 down, then up), the version card once
    // the player carries fire.
    if (!read_hint) {
      read_hint = frame % 2 == 0;
      return key(KEY_F1);
    }
    if (!read_version && game.progress == 4) {
      read_version = frame % 2 == 0;
      return key(KEY_F5);
    }
    const Entity* p = game.player;
    for (Entity* e = (Entity*)list_first(&game.entities); e; e = (Entity*)list_next(e))
      if (hittable(e, p)) return tap();
    space_was_down = false;
    for (Entity* e = (Entity*)list_first(&game.entities); e; e = (Entity*)list_next(e)) {
      if (e->health <= 0) continue;
      if (e->chase_state == 2 || e->pickup) return walk_to(p, e->x + e->width / 2.0f);
    }
    // The frozen animal lies behind the place of COMPASSION.
    for (Entity* e = (Entity*)list_first(&game.entities); e; e = (Entity*)list_next(e))
      if (e->animated && e->sprite == KIND_FROZEN && e->health > 0 &&
          e->required_progress <= game.progress)
        return walk_to(p, e->x + e->width / 2.0f);
    // Once she is awake, let the girl come to the player.
    const Entity* g = game.girl;
    if (game.progress < 7 && g && g->follow_state == 2) return 0;
    return key(KEY_RIGHT);
  }
};
