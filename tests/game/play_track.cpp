// Plays a track with the keys on the null platform and prints its trace
// (track_trace.h), for tests that play the same track another way.
//
//   build/tests/game/play_track tests/game/replay_full.track
#include "tests/game/game_folder.h"
#include "tests/game/track_trace.h"
#include "tests/support/null_game.h"

#include <cstdio>

int main(int argc, char** argv) {
  Track track;
  if (argc != 2 || !track_load(argv[1], &track)) {
    std::fprintf(stderr, "usage: play_track <track file>\n");
    return 2;
  }
  GameFolder folder(QUILL_DATA_DIR);
  if (!folder.ready) {
    std::fprintf(stderr, "no art in %s\n", QUILL_DATA_DIR);
    return 1;
  }
  null_reset();
  uint32_t frame = 0;
  null_keyboard_script([&](uint32_t, uint8_t* snapshot) { track_fill(track, frame, snapshot); });
  for (const std::string& line : track_trace(track, [&](uint32_t f) { frame = f; }))
    std::puts(line.c_str());
  end_game_in_test();
  return 0;
}
