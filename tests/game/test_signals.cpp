// The requests to end that come as POSIX signals, on the null platform (Linux
// only: Windows' come from the console and the session, tests/windows).
#include "game/game_state.h"
#include "runtime/input_sound/keyboard.h"
#include "tests/support/null_game.h"

#include <csignal>
#include <gtest/gtest.h>

TEST(Headless, SigtermSigintAndSighupEndTheGameThroughTheFadeAtTheNextFrame) {
  for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
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
