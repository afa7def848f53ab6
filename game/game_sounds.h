// How the game's rules ask for a sound.
#pragma once

#include "game/game_state.h"
#include "runtime/input_sound/sound.h"

// Plays sound n only when sound is available and n is loaded (a guarded play
// site); the unguarded sites call sound_play directly.
inline void game_sound(int n) {
  if (game.sound_ok && sound_is_valid(n)) sound_play(n);
}
