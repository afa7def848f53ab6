// The object pass: gravity and landing, barriers, chasers, the follower,
// pickups, solid obstacles, knockback and Space hits; and the monster's
// westward rule.
#pragma once

#include "game/game_state.h"

// One pass over the entity sequence in drawing order; the world step's second rule.
void entities_pass();
// Destroys e: inert on its last frame, shakes the screen, shows its linked
// entity, triggers its discovery and releases its revealed entity.
void entity_destroy(Entity* e);
// The monster lured west of x 2600 changes its look, once.
void monster_westward_rule();
