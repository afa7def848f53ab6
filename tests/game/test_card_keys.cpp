// F1 and F5 in the running game: cards are queued only while no caption is shown.
#include "game/game_state.h"
#include "runtime/input_sound/keyboard.h"
#include "tests/support/null_game.h"

#include <gtest/gtest.h>
#include <map>
#include <string>
#include <vector>

namespace {
// Runs the game with keys held over frame ranges; returns each new caption shown.
std::vector<std::string> captions_shown(const std::multimap<int, std::pair<int, int>>& presses,
                                        int quit_at, std::vector<int>* pending = nullptr) {
  std::vector<std::string> shown;
  int was_on = 0;
  null_reset();
  null_keyboard_script([&](uint32_t read, uint8_t* keys) {
    if (game.caption_on && (!was_on || shown.back() != game.caption)) shown.push_back(game.caption);
    was_on = game.caption_on;
    if (pending) pending->push_back(game.discoveries.count);
    for (const auto& [key, range] : presses)
      if ((int)read >= range.first && (int)read < range.second) keys[key] = 0x80;
    if ((int)read == quit_at) keys[KEY_ESCAPE] = 0x80;
  });
  EXPECT_EQ(run_game_to_exit(), 0);
  return shown;
}

const char* instructions =
    "|FFFFFF\\Use the arrow keys to move around and jump.|FFFFFF\\Press space to interact.";
} // namespace

TEST(CardKeys, F1ShowsTheInstructionsAndDoesNothingWhileACaptionIsShown) {
  std::vector<int> pending;
  auto shown = captions_shown(
      {{KEY_F1, {2, 3}}, {KEY_F1, {10, 11}}, {KEY_SPACE, {60, 61}}, {KEY_F1, {70, 71}}}, 100,
      &pending);
  EXPECT_EQ(shown, (std::vector<std::string>{instructions, instructions}));
  // Released in frame 3 it is queued, and fired by the next frame's world step;
  // the release in frame 11 queued nothing.
  EXPECT_EQ(pending[4], 8);
  EXPECT_EQ(pending[5], 7);
  EXPECT_EQ(pending[12], 7);
  EXPECT_EQ(pending[13], 7);
}

TEST(CardKeys, EachF5ReleaseWithoutACaptionQueuesOneVersionCard) {
  auto shown = captions_shown({{KEY_F5, {2, 3}},
                               {KEY_F5, {10, 11}}, // while the card is shown: nothing
                               {KEY_SPACE, {60, 61}},
                               {KEY_F5, {70, 71}},
                               {KEY_SPACE, {100, 101}},
                               {KEY_F1, {110, 111}}, // F1 wins over F5 in one frame
                               {KEY_F5, {110, 111}},
                               {KEY_SPACE, {160, 161}}},
                              200);
  ASSERT_EQ(shown.size(), 3u);
  EXPECT_NE(shown[0].find("12-21-2010"), std::string::npos);
  EXPECT_EQ(shown[1], shown[0]);
  EXPECT_EQ(shown[2], instructions);
}
