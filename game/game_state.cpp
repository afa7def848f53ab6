#include "game/game_state.h"

#include "runtime/core/list_sort.h"
#include "runtime/core/strings.h"
#include "runtime/display/sprites.h"

#include <cstddef>

GameState game;

static void free_discovery(void* record) { str_release(&((Discovery*)record)->caption); }

void game_state_reset() {
  if (game.entities.record_size) list_clear(&game.entities);
  if (game.discoveries.record_size) list_clear(&game.discoveries);
  game = GameState{};
  list_init(&game.entities, sizeof(Entity), nullptr);
  list_init(&game.discoveries, sizeof(Discovery), free_discovery);
}

static Discovery* add_discovery(float x, int id, const char* caption) {
  Discovery* d = (Discovery*)list_add(&game.discoveries);
  d->x = x;
  d->id = id;
  str_assign(&d->caption, caption);
  return d;
}

static Entity* add_entity(float x, float y, float depth, int sprite, int health) {
  Entity* e = (Entity*)list_add(&game.entities);
  e->x = x;
  e->y = y;
  e->depth = depth;
  e->sprite = sprite;
  e->health = (int16_t)health;
  return e;
}

void build_world() {
  game.camera_x = 0.0f;
  game.gravity = 1.5f;
  game.ground_y = 100.0f;
  const float ground = game.ground_y;

  add_discovery(2672.0f, 1, "|FFFFFF\\You have discovered|00FFFF\\SUNLIGHT");
  Discovery* d2 = add_discovery(0.0f, 2, "|FFFFFF\\You have discovered|00FF00\\TWIGS");
  Discovery* d3 =
      add_discovery(0.0f, 3, "|FFFFFF\\You have discovered|FFFF00\\THE MAGNIFYING GLASS");
  add_discovery(4840.0f, 4, "|FFFFFF\\You have discovered|0000FF\\FIRE");
  add_discovery(5700.0f, 5, "|FFFFFF\\You have discovered|FFFF00\\COMPASSION");
  Discovery* d6 = add_discovery(0.0f, 6, "|FFFFFF\\You have discovered|FF6000\\BETRAYAL");
  Discovery* d7 = add_discovery(0.0f, 7, "|FFFFFF\\You have discovered|FF00FF\\LOVE");

  Entity* player = add_entity(100.0f, ground, 0.0f, KIND_PLAYER, 500);
  player->animated = 1;

  Entity* rocks = add_entity(1580.0f, 0.0f, -5.0f, KIND_ROCKS, 35);
  rocks->animated = 1;
  rocks->solid = 1;

  Entity* light = add_entity(2480.0f, 0.0f, 10.0f, game.lite_sprite, 100);
  light->required_progress = 50;

  Entity* twigs = add_entity(3600.0f, ground - 20.0f, -3.0f, game.twigs_sprite, -10);
  twigs->required_progress = 50;
  twigs->pickup = 1;
  twigs->discovery = d2;

  Entity* fallen = add_entity(3550.0f, 0.0f, -5.0f, KIND_FALLEN_TREE, -40);
  fallen->animated = 1;
  fallen->solid = 1;
  fallen->required_progress = 1;
  fallen->steady = 1;
  fallen->linked = twigs;

  Entity* tree = add_entity(3550.0f, 0.0f, 5.0f, KIND_STANDING_TREE, 15);
  tree->animated = 1;
  tree->linked = fallen;

  Entity* bridge = add_entity(4020.0f, 0.0f, -5.0f, KIND_BRIDGE, 15);
  bridge->animated = 1;
  bridge->steady = 1;
  bridge->solid = 1;
  bridge->required_progress = 2;

  Entity* bush = add_entity(3100.0f, 0.0f, 10.0f, game.bsh_sprite, 100);
  bush->required_progress = 50;

  Entity* glass = add_entity(0.0f, 0.0f, -3.0f, game.mag_sprite, -10);
  glass->required_progress = 50;
  glass->pickup = 1;
  glass->discovery = d3;

  Entity* man = add_entity(4830.0f, -200.0f, 0.0f, KIND_MAN, 25);
  man->vy = 40.0f;
  man->airborne = 1;
  man->animated = 1;
  man->chase_state = 1;
  man->revealed = glass;
  man->attack_sound = 4;
  man->appear_sound = 5;
  man->knockback = 50.0f;

  Entity* pit = add_entity(4800.0f, 0.0f, -4.0f, KIND_FIRE_PIT, 15);
  pit->animated = 1;
  pit->solid = 1;
  pit->steady = 1;
  pit->required_progress = 3;

  Entity* bush2 = add_entity(5100.0f, 0.0f, 10.0f, game.bsh_sprite, 100);
  bush2->required_progress = 50;

  Entity* monster = add_entity(5618.0f, ground, -2.0f, KIND_MONSTER, -65);
  monster->vy = 15.0f;
  monster->airborne = 1;
  monster->animated = 1;
  monster->chase_state = 1;
  monster->attack_sound = 7;
  monster->barrier_x = 5800;
  monster->knockback = 90.0f;
  monster->required_progress = 5;
  monster->death_sound = 8;

  Entity* frozen = add_entity(5600.0f, ground, -4.0f, KIND_FROZEN, 15);
  frozen->animated = 1;
  frozen->required_progress = 5;
  frozen->discovery = d6;
  frozen->linked = monster;

  Entity* girl = add_entity(6100.0f, ground, -2.0f, KIND_GIRL, 15);
  girl->animated = 1;
  girl->follow_state = 1;
  girl->barrier_x = 5950;
  girl->discovery = d7;
  girl->attack_sound = 9;
  girl->required_progress = 100;

  game.player = player;
  game.monster = monster;
  game.girl = girl;

  list_sort(&game.entities, 0, offsetof(Entity, depth), SORT_FLOAT);

  for (Entity* e = (Entity*)list_first(&game.entities); e; e = (Entity*)list_next(e)) {
    // 0 means "no sprite" to the game, never sprite slot 0.
    int handle = e->animated ? game.anim_frames[e->sprite][0] : e->sprite;
    if (handle) {
      e->width = (float)sprite_width(handle);
      e->height = (float)sprite_height(handle);
    }
    e->max_health = e->health;
  }
}
