// Runs the game in this process on the null platform.
#pragma once

#include "game/frame_loop.h"
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
