// F1 and F5 in the running game: cards are queued only while no caption is
// shown; the keys as bound named in the title and the instructions; the notes
// that say what M and Tab did.
#include "game/captions.h"
#include "game/game_state.h"
#include "game/notes.h"
#include "runtime/display/screen.h"
#include "runtime/display/window.h"
#include "runtime/image/drawing.h"
#include "runtime/input_sound/keyboard.h"
#include "tests/support/null_game.h"

#include <cstring>
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

// Keys the player moved are named where the game names them: the window's
// title and the instructions card (with the default keys both keep their words,
// as the tests above and the window's own show).
TEST(CardKeys, TheTitleAndTheInstructionsNameTheKeysAsBound) {
  const int J = 36, L = 38, I = 23, RETURN = 28, RIGHT_ALT = 184;
  const std::pair<int, int> moved[] = {{KEY_LEFT, J},   {KEY_RIGHT, L},
                                       {KEY_UP, I},     {KEY_SPACE, RETURN},
                                       {KEY_F, RETURN}, {KEY_LCONTROL, RIGHT_ALT}};
  for (auto [code, key] : moved) ASSERT_EQ(keyboard_bind(code, &key, 1), 1);
  std::string title, card;
  null_reset();
  null_keyboard_script([&](uint32_t read, uint8_t* keys) {
    if (read == 1) title = null_window_title(window_handle(0));
    if (game.caption_on) card = game.caption;
    if (read == 2) keys[KEY_F1] = 0x80;
    if (read == 10) keys[KEY_ESCAPE] = 0x80;
  });
  EXPECT_EQ(run_game_to_exit(), 0);
  EXPECT_EQ(title, "Quillmoor: RightAlt+Return for full screen.");
  EXPECT_EQ(card, "|FFFFFF\\Use J and L to move around and I to jump.|FFFFFF\\Press Return to "
                  "interact.");
}

namespace {
// The game started on black (there is no art here), its frames drawn by frame().
struct Notes : ::testing::Test {
  void SetUp() override {
    null_reset();
    null_audio_present(1);
    start_game_in_test();
  }
  void TearDown() override {
    end_game_in_test();
    null_audio_present(0);
  }
  std::vector<uint32_t> frame() {
    screen_clear(0);
    game_frame();
    const Surface* s = screen_back_buffer();
    std::vector<uint32_t> pixels(640 * 480);
    for (int y = 0; y < 480; y++) std::memcpy(&pixels[640 * y], s->pixels + y * s->pitch, 2560);
    return pixels;
  }
  void press(int key) {
    null_key_set(key, 1);
    frame();
    null_key_set(key, 0);
  }
};

// Pixels of the caption style's dark blue in rows top to bottom - 1.
int panel_in(const std::vector<uint32_t>& pixels, int top, int bottom) {
  int n = 0;
  for (int i = 640 * top; i < 640 * bottom; i++) n += (pixels[i] & 0xFFFFFF) == 0x000040;
  return n;
}
} // namespace

// M says whether the sound is off or on, at the bottom of the picture, for two seconds.
TEST_F(Notes, MSaysWhatItDidForTwoSeconds) {
  EXPECT_EQ(panel_in(frame(), 0, 480), 0);
  press(KEY_M);
  frame(); // released: said from the next frame on
  std::vector<uint32_t> shown = frame();
  EXPECT_EQ(game.note, "Sound off");
  EXPECT_GT(panel_in(shown, 400, 480), 2000);
  EXPECT_EQ(panel_in(shown, 0, 400), 0);
  const int from = game.now;
  while (panel_in(frame(), 400, 480) && game.now - from < 5000) {}
  EXPECT_GE(game.now - from, 2000 - 40);
  EXPECT_LE(game.now - from, 2000 + 40);
  press(KEY_M);
  frame();
  EXPECT_EQ(game.note, "Sound on");
  EXPECT_GT(panel_in(frame(), 400, 480), 2000);
  game.sound_ok = 0; // as without a sound device
  press(KEY_M);
  frame();
  EXPECT_EQ(game.note, "No sound device");
}

// The note never covers a caption: below a small one, left out beside one
// that reaches down to it. Every pixel it changes was background.
TEST_F(Notes, ANoteNeverCoversACaption) {
  ASSERT_TRUE(draw_start(screen_output()));
  if (game.font) draw_font(game.font);
  auto width = [](const std::string& t) { return text_width(t.c_str()); };
  const int line = text_height("W"),
            note = caption_layout("|FFFFFF\\Sound off", line, width).frame.height;
  const std::string one = "|FFFFFF\\a line of a caption";
  std::string tall = one;
  while (caption_layout(tall + one, line, width).frame.top +
             caption_layout(tall + one, line, width).frame.height <=
         470 - note)
    tall += one;
  draw_stop();
  // The tallest that leaves room, and one line more.
  for (const std::string& caption : {tall, tall + one}) {
    const bool room = caption == tall;
    SCOPED_TRACE(room);
    game.caption = caption;
    game.caption_on = 1;
    game.caption_time = game.now;
    note_show("");
    const std::vector<uint32_t> bare = frame();
    note_show("Sound off");
    const std::vector<uint32_t> noted = frame();
    int changed = 0, covered = 0;
    for (int i = 0; i < 640 * 480; i++) {
      changed += bare[i] != noted[i];
      covered += bare[i] != noted[i] && (bare[i] & 0xFFFFFF) != 0;
    }
    EXPECT_EQ(covered, 0);
    EXPECT_EQ(changed > 0, room);
  }
}
