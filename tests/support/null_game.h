// Runs the game in this process on the null platform.
#pragma once

#include "game/frame_loop.h"
#include "game/game_state.h"
#include "game/screen_modes.h"
#include "runtime/platform/null/null_platform.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <sstream>
#include <string>

struct GameExit {
  int code;
};

// Where a game stands: progress, ending card, the player's place and the caption.
inline std::string game_whereabouts() {
  std::ostringstream out;
  out << "progress " << game.progress << ", ending " << game.ending << ", camera at x "
      << game.camera_x;
  if (game.player) out << ", player at x " << game.player->x << " y " << game.player->y;
  if (game.caption_on)
    out << ", showing \"" << game.caption << "\"";
  else
    out << ", no caption";
  return out.str();
}

// Runs the game as game_main does, but for at most frame_budget frames; returns
// the exit code it asked for. A game still running then fails the test, saying
// where it stood, and is ended as a quit ends it; the result is then -1.
inline int run_game_to_exit(uint32_t frame_budget = 3000) {
  null_exit_hook([](int code) { throw GameExit{code}; });
  bool over_budget = false;
  try {
    game_startup();
    for (uint32_t frame = 0; !game.quit_requested; frame++) {
      if (frame == frame_budget) {
        ADD_FAILURE() << "the game still ran after its budget of " << frame_budget
                      << " frames: " << game_whereabouts();
        over_budget = true;
        break;
      }
      game_frame();
    }
    fatal_error("");
  } catch (const GameExit& e) {
    null_exit_hook(nullptr);
    return over_budget ? -1 : e.code;
  }
  return -1; // fatal_error does not come back
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
