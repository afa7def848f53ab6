// The game's sound bank: its files and fallback, its loading at start-up, and
// the fade-out and release at exit.
#include "game/game_state.h"
#include "game/screen_modes.h"
#include "game/sound_bank.h"
#include "runtime/input_sound/keyboard.h"
#include "runtime/input_sound/sound.h"
#include "tests/sound/wav_image.h"
#include "tests/support/null_game.h"
#include "tests/support/test_files.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

const char* const bank_files[11] = {"jjj",  "hhh", "ccc", "iii", "bop", "sun2",
                                    "fire", "woo", "die", "luv", "inc"};

// Each sound's samples tell which file they came from.
Bytes samples_of(int n) { return pcm16({(int16_t)(100 + n), (int16_t)(200 + n)}); }

// A working folder with hear/ holding the bank's files (all but those left out),
// made the current folder for the test's length.
struct BankFolder {
  ScratchDir dir;
  std::filesystem::path old = std::filesystem::current_path();
  explicit BankFolder(std::vector<std::string> left_out = {}) {
    std::filesystem::create_directory(dir / "hear");
    for (int n = 0; n < 11; n++)
      if (std::find(left_out.begin(), left_out.end(), bank_files[n]) == left_out.end())
        write_file(dir / ("hear/" + std::string(bank_files[n]) + ".wav"), wav({}, samples_of(n)));
    std::filesystem::current_path(dir.path);
  }
  ~BankFolder() { std::filesystem::current_path(old); }
};

Bytes played(int n) { return sound_play(n) ? null_audio_last_played() : Bytes{}; }

struct SoundBank : ::testing::Test {
  void SetUp() override {
    null_reset();
    null_audio_present(1);
  }
  void TearDown() override {
    sound_shutdown();
    null_reset();
  }
};

TEST_F(SoundBank, EachNumberGetsItsFile) {
  BankFolder folder;
  ASSERT_TRUE(sound_init());
  EXPECT_EQ(load_sounds(), 0);
  for (int n = 0; n <= 10; n++) EXPECT_EQ(played(n), samples_of(n)) << n;
  EXPECT_FALSE(sound_is_valid(11));
}

TEST_F(SoundBank, MissingFilesLeaveTheirNumbersEmptyButSoundTenFallsBack) {
  BankFolder folder({"inc", "fire"});
  ASSERT_TRUE(sound_init());
  load_sounds();
  EXPECT_EQ(played(10), samples_of(3));
  EXPECT_EQ(played(3), samples_of(3));
  EXPECT_FALSE(sound_is_valid(6));
  EXPECT_EQ(null_audio_buffers(), 10);
}

TEST_F(SoundBank, TheGamesOwnFilesAllLoad) {
  std::filesystem::path old = std::filesystem::current_path();
  std::filesystem::current_path(QUILL_DATA_DIR);
  ASSERT_TRUE(sound_init());
  load_sounds();
  std::filesystem::current_path(old);
  for (int n = 0; n <= 10; n++) EXPECT_TRUE(sound_is_valid(n)) << bank_files[n];
}

// The volumes the exit's fade sets on sounds 2 and 10, in order.
std::vector<int> fade_volumes() {
  std::vector<int> volumes;
  for (int v = 20; v >= 0; v--) {
    volumes.push_back(sound_volume_attenuation(v * 5));
    volumes.push_back(sound_volume_attenuation(v * 5));
  }
  return volumes;
}

int run_fatal_error() {
  null_exit_hook([](int code) { throw GameExit{code}; });
  try {
    fatal_error("");
  } catch (const GameExit& e) {
    null_exit_hook(nullptr);
    return e.code;
  }
}

TEST_F(SoundBank, ExitFadesSoundsTwoAndTenThenReleasesThem) {
  BankFolder folder;
  ASSERT_TRUE(sound_init());
  load_sounds();
  std::vector<int> expected = fade_volumes();
  uint32_t start = plat_ticks_ms();
  EXPECT_EQ(run_fatal_error(), 0);
  EXPECT_GE(plat_ticks_ms() - start, 21u * 50u);
  EXPECT_EQ(null_audio_volumes(), expected);
  EXPECT_EQ(expected.back(), -10000);
  EXPECT_EQ(null_audio_buffers(), 0);
  EXPECT_FALSE(sound_is_valid(2));
}

// Start-up loads the bank only when the device opens; the exit then fades it.
TEST_F(SoundBank, TheGameLoadsItsSoundsWhenThereIsADevice) {
  BankFolder folder;
  for (int present : {1, 0}) {
    SCOPED_TRACE(present);
    null_reset();
    null_audio_present(present);
    null_keyboard_script([](uint32_t read, uint8_t* keys) {
      if (read == 5) keys[KEY_ESCAPE] = 0x80;
    });
    EXPECT_EQ(run_game_to_exit(), 0);
    EXPECT_EQ(game.sound_ok, present);
    EXPECT_EQ(null_audio_volumes().size(), present ? 42u : 0u);
    EXPECT_EQ(null_audio_buffers(), 0);
  }
}

} // namespace
