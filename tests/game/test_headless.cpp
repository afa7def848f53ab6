// The game's main routine on the null platform: virtual clock, scripted keys.
#include "game/game_state.h"
#include "runtime/input_sound/keyboard.h"
#include "tests/support/null_game.h"

#include <csignal>
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

TEST(Headless, SigtermAndSigintEndTheGameThroughTheFadeAtTheNextFrame) {
  for (int sig : {SIGTERM, SIGINT}) {
    null_reset();
    uint32_t asked = 0;
    null_keyboard_script([&](uint32_t read, uint8_t* keys) {
      if (read == 50) {
        raise(sig);
        asked = plat_ticks_ms();
      }
      if (read == 200) keys[KEY_ESCAPE] = 0x80; // the frame budget
    });
    EXPECT_EQ(run_game_to_exit(), 0) << sig;
    EXPECT_EQ(null_keyboard_reads(), 52u) << "the frame under way and the next one";
    EXPECT_GE(plat_ticks_ms() - asked, 21u * 50u) << "the fade-out's 21 steps";
    EXPECT_EQ(null_messages(), "");
  }
  struct sigaction after;
  sigaction(SIGTERM, nullptr, &after);
  EXPECT_EQ(after.sa_handler, SIG_DFL) << "given back at the end";
}

TEST(Headless, NoKeyboardEndsWithAMessageAndOne) {
  null_reset();
  null_keyboard_present(0);
  EXPECT_EQ(run_game_to_exit(), 1);
  EXPECT_EQ(null_messages(), "Quillmoor - Error: Keyboard fail :(\n");
}
