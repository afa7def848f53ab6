// A track played from the start of a game, frame by frame, up to its first
// discovery or its end: one line a frame with the frame's number, progress, the
// player's height and the world's hash. The keys on the null platform
// (play_track) and a pad on SDL's (test_pad.cpp) must leave the same lines.
#pragma once

#include "game/frame_loop.h"
#include "runtime/core/clock_random.h"
#include "tests/game/replay_track.h"

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

// hold(frame) sets what the next keyboard read is to see; the game is left running.
inline std::vector<std::string> track_trace(const Track& t,
                                            const std::function<void(uint32_t frame)>& hold) {
  random_seed(t.seed);
  game_startup();
  std::vector<std::string> lines;
  for (uint32_t f = 0; f < t.frames.size() && !game.progress && !game.quit_requested; f++) {
    hold(f);
    game_frame();
    char line[80];
    std::snprintf(line, sizeof line, "%u %d %.2f %016llx", f, game.progress, game.player->y,
                  (unsigned long long)world_hash());
    lines.push_back(line);
  }
  return lines;
}
