// Records the full replay track: runs the game on the null platform with
// ReplayBot at the keys, in a scratch copy of the game's art, and writes the
// track with its seed and the hash of the world it ends in.
//
//   build-test/tests/game/record_replay tests/game/replay_full.track
//
// Re-record whenever the art changes sizes or a rule changes on purpose.
#include "runtime/core/clock_random.h"
#include "tests/game/game_folder.h"
#include "tests/game/replay_bot.h"
#include "tests/support/null_game.h"

#include <cstdio>
#include <filesystem>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: record_replay <track file>\n");
    return 2;
  }
  const std::string track_path = std::filesystem::absolute(argv[1]).string();
  GameFolder folder(QUILL_DATA_DIR);
  if (!folder.ready) {
    std::fprintf(stderr, "no art in %s\n", QUILL_DATA_DIR);
    return 1;
  }
  Track track;
  track.seed = 20101221;
  ReplayBot bot;
  const uint32_t give_up = 20000;
  null_reset();
  null_keyboard_script([&](uint32_t read, uint8_t* snapshot) {
    track.frames.push_back(read < give_up ? bot.decide() : ReplayBot::key(KEY_ESCAPE));
    track_fill(track, read, snapshot);
  });
  random_seed(track.seed);
  run_game_to_exit(give_up + 100);
  if (game.ending != 4) {
    std::fprintf(stderr, "the bot got stuck at progress %d after %zu frames\n", game.progress,
                 track.frames.size());
    return 1;
  }
  track.hash = world_hash();
  if (!track_save(track_path, track,
                  "# The full replay: keys held per frame (keyboard reads from 0).\n"
                  "# Recorded by tests/game/record_replay; played by test_replay.cpp.\n"))
    return 1;
  std::printf("%zu frames, hash %016llx\n", track.frames.size(), (unsigned long long)track.hash);
  return 0;
}
