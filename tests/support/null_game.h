// Runs the game in this process on the null platform.
#pragma once

#include "game/frame_loop.h"
#include "game/game_state.h"
#include "game/screen_modes.h"
#include "runtime/platform/null/null_platform.h"

struct GameExit {
  int code;
};

// Runs game_main until it ends the process; returns the exit code it asked for.
inline int run_game_to_exit() {
  null_exit_hook([](int code) { throw GameExit{code}; });
  try {
    game_main();
  } catch (const GameExit& e) {
    null_exit_hook(nullptr);
    return e.code;
  }
}

// Starts the game up to its first frame, for tests that run the frames
// themselves; an exit during start-up throws GameExit.
inline void start_game_in_test() {
  null_exit_hook([](int code) { throw GameExit{code}; });
  game_startup();
}

// Releases what a started game holds, as its exit would, and forgets the world.
inline void end_game_in_test() {
  close_game_screen();
  shutdown_runtime();
  game_state_reset();
  null_exit_hook(nullptr);
}
