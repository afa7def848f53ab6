// Whole games on the null platform from recorded input tracks: the full game
// through every discovery to the credits, and play resumed after losing the focus.
#include "game/captions.h"
#include "game/frame_loop.h"
#include "game/screen_modes.h"
#include "runtime/core/clock_random.h"
#include "runtime/core/strings.h"
#include "tests/game/game_folder.h"
#include "tests/game/replay_track.h"
#include "tests/support/null_game.h"

#include <gtest/gtest.h>

namespace {
const std::string tracks = QUILL_SOURCE_DIR "/tests/game/";

struct Seen {
  std::vector<std::string> discoveries; // names, in the order announced
  std::vector<int> progress;            // progress when each was announced
  std::vector<int> endings;             // ending states, in order
  std::vector<std::string> cards;       // first lines of the other captions in play
  std::string caption;
  int ending = 0;

  // Called before each frame's keys are read: the state the last frame left.
  void look() {
    if (game.caption_on && game.caption != caption &&
        split_field(game.caption, 2, '|') == "FFFFFF\\You have discovered") {
      discoveries.push_back(split_field(split_field(game.caption, 3, '|'), 2, '\\'));
      progress.push_back(game.progress);
    } else if (game.caption_on && game.caption != caption && !game.ending) {
      cards.push_back(split_field(split_field(game.caption, 2, '|'), 2, '\\'));
    }
    caption = game.caption_on ? game.caption : "";
    if (game.ending != ending) endings.push_back(ending = game.ending);
  }
};
} // namespace

TEST(Replay, TheFullTrackPlaysEveryDiscoveryInOrderToTheCreditsAndQuits) {
  Track track;
  ASSERT_TRUE(track_load(tracks + "replay_full.track", &track));
  GameFolder folder(QUILL_DATA_DIR);
  ASSERT_TRUE(folder.ready) << "no art in " << QUILL_DATA_DIR;
  Seen seen;
  null_reset();
  null_keyboard_script([&](uint32_t read, uint8_t* snapshot) {
    seen.look();
    track_fill(track, read, snapshot);
  });
  random_seed(track.seed);
  // A rule that no longer lets the track finish leaves the game waiting for keys.
  EXPECT_EQ(run_game_to_exit((uint32_t)track.frames.size() + 100), 0);
  seen.look();

  EXPECT_EQ(seen.discoveries, (std::vector<std::string>{"SUNLIGHT", "TWIGS", "THE MAGNIFYING GLASS",
                                                        "FIRE", "COMPASSION", "BETRAYAL", "LOVE"}));
  EXPECT_EQ(seen.progress, (std::vector<int>{1, 2, 3, 4, 5, 6, 7}));
  EXPECT_EQ(seen.endings, (std::vector<int>{1, 2, 3, 4}));
  EXPECT_EQ(seen.cards,
            (std::vector<std::string>{"Use the arrow keys to move around and jump.", "Quillmoor"}));
  // Out through the ordinary shutdown, at the frame the recording ended.
  EXPECT_EQ(game.quit_requested, 1);
  EXPECT_EQ(null_messages(), "");
  EXPECT_EQ(null_keyboard_reads(), track.frames.size());
  EXPECT_EQ(game.discoveries.count, 0);
  EXPECT_EQ(world_hash(), track.hash)
      << "the world ended differently: if a rule or the art changed on purpose, re-record "
         "the track with record_replay and say why in the commit";
}

TEST(Replay, InactiveFramesChangeNothingAndPlayGoesOnWhenTheFocusReturns) {
  Track track;
  ASSERT_TRUE(track_load(tracks + "replay_focus.track", &track));
  GameFolder folder(QUILL_DATA_DIR);
  ASSERT_TRUE(folder.ready) << "no art in " << QUILL_DATA_DIR;
  uint32_t frame = 0;
  null_reset();
  null_keyboard_script([&](uint32_t, uint8_t* snapshot) { track_fill(track, frame, snapshot); });
  null_exit_hook([](int code) { throw GameExit{code}; });
  random_seed(track.seed);
  uint64_t before = 0;
  float x_paused = 0.0f;
  int inactive = 0;
  try {
    game_startup();
    for (; frame < track.frames.size(); frame++) {
      const bool away = track_has(track, frame, "NoFocus");
      null_set_focus(!away);
      game_frame();
      if (!away) {
        before = world_hash();
        continue;
      }
      if (inactive++ == 0) x_paused = game.player->x;
      // The first frame without the focus already finds the screen inactive.
      ASSERT_EQ(game.screen_active, 0) << frame;
      ASSERT_EQ(world_hash(), before) << frame;
      ASSERT_EQ(game.player->airborne, 1);
    }
    EXPECT_EQ(inactive, 100);
    EXPECT_EQ(game.screen_active, 1);
    // The jump ended after the pause, and the player walked on.
    EXPECT_EQ(game.player->airborne, 0);
    EXPECT_GT(game.player->x, x_paused + 200.0f);
    fatal_error("");
  } catch (const GameExit& e) {
    EXPECT_EQ(e.code, 0);
  }
  null_exit_hook(nullptr);
}
