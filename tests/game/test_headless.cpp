// The game's main routine on the null platform: virtual clock, scripted keys.
#include "game/game_state.h"
#include "runtime/input_sound/keyboard.h"
#include "tests/support/null_game.h"

#include <gtest/gtest.h>

TEST(Headless, EscapeEndsTheGameWithExitCodeZero) {
  null_reset();
  null_keyboard_script([](uint32_t read, uint8_t* keys) {
    if (read == 300) keys[KEY_ESCAPE] = 0x80;
  });
  uint32_t start = plat_ticks_ms();
  EXPECT_EQ(run_game_to_exit(), 0);
  EXPECT_EQ(null_keyboard_reads(), 301u);
  // Every frame sleeps 19 ms on the virtual clock.
  EXPECT_GE(plat_ticks_ms() - start, 301u * 19u);
  EXPECT_EQ(game.entities.count, 15);
  EXPECT_EQ(null_messages(), "");
}

TEST(Headless, NoKeyboardEndsWithAMessageAndOne) {
  null_reset();
  null_keyboard_present(0);
  EXPECT_EQ(run_game_to_exit(), 1);
  EXPECT_EQ(null_messages(), "Quillmoor - Error: Keyboard fail :(\n");
}
