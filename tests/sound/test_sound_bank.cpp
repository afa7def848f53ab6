// The game's sound bank: its files and fallback, its loading at start-up, and
// the fade-out and release at exit.
#include "game/captions.h"
#include "game/ending.h"
#include "game/entities.h"
#include "game/game_state.h"
#include "game/options.h"
#include "game/screen_modes.h"
#include "game/sound_bank.h"
#include "runtime/input_sound/keyboard.h"
#include "runtime/input_sound/sound.h"
#include "tests/game/rules_fixture.h"
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

// M mutes and unmutes every sound, --mute starts muted; unmuted, the exit fades
// as ever, and muted it stays silent.
TEST_F(SoundBank, MMutesAndUnmutesEverySoundAndTheExitFadesOnlyWhenUnmuted) {
  BankFolder folder;
  ASSERT_TRUE(sound_init()); // for the curve
  const std::vector<int> silent(11, -10000), full(11, 0), fade = fade_volumes();
  sound_shutdown();
  for (int start_muted : {0, 1}) {
    SCOPED_TRACE(start_muted);
    null_reset();
    null_audio_present(1);
    options.mute = start_muted;
    std::vector<int> muted; // at each keyboard read, before that frame's keys
    null_keyboard_script([&](uint32_t read, uint8_t* keys) {
      muted.push_back(sound_muted());
      if (read == 3 || read == 10) keys[KEY_M] = 0x80; // acts when let go
      if (read == 20) keys[KEY_ESCAPE] = 0x80;
    });
    EXPECT_EQ(run_game_to_exit(), 0);
    options.mute = 0;
    ASSERT_GE(muted.size(), 13u);
    EXPECT_EQ(muted[4], start_muted);
    EXPECT_EQ(muted[5], !start_muted);
    EXPECT_EQ(muted[11], !start_muted);
    EXPECT_EQ(muted[12], start_muted);
    std::vector<int> expected;
    for (const auto* step :
         start_muted ? std::vector{&silent, &full, &silent} : std::vector{&silent, &full, &fade})
      expected.insert(expected.end(), step->begin(), step->end());
    EXPECT_EQ(null_audio_volumes(), expected);
  }
}

} // namespace

// Which play sites are guarded: with every sound loaded but sound_ok 0 only the
// unguarded sites play; with sound_ok 1 every site does.
using PlaySites = QuietRulesTest;
TEST_F(PlaySites, OnlyTheUnguardedOnesPlayWhileSoundIsOff) {
  const struct {
    const char* site;
    void (*act)(RulesTest*);
    int unguarded, all; // plays with sound_ok 0 and with sound_ok 1
  } sites[] = {
      {"jump", [](RulesTest* t) { t->step({KEY_UP}); }, 0, 1},
      {"Space", [](RulesTest* t) { t->step({KEY_SPACE}); }, 0, 1},
      {"Space at progress 1",
       [](RulesTest* t) {
         game.progress = 1;
         t->step({KEY_SPACE});
       },
       1, 2},
      {"Space at progress 3",
       [](RulesTest* t) {
         game.progress = 3;
         t->step({KEY_SPACE});
       },
       1, 2},
      {"Space at progress 5",
       [](RulesTest* t) {
         game.progress = 5;
         t->step({KEY_SPACE});
       },
       0, 2},
      {"heavy landing",
       [](RulesTest* t) {
         Entity* m = game.monster;
         m->chase_state = 0, m->airborne = 1, m->y = game.ground_y + 0.5f, m->vy = -1.0f;
         t->step({});
       },
       1, 1},
      {"destruction with a death sound", [](RulesTest*) { entity_destroy(game.monster); }, 0, 2},
      {"a chaser comes into view",
       [](RulesTest* t) {
         Entity* man = t->at(E_MAN);
         game.camera_x = man->x + man->width - 639.0f;
         game.player->x = game.camera_x + 200.0f;
         t->step({});
       },
       0, 1},
      {"an attack and its knockback",
       [](RulesTest* t) {
         Entity* man = t->at(E_MAN);
         man->health = man->max_health = 25;
         man->chase_state = 2, man->airborne = 0, man->y = game.player->y, man->x = 1000.0f;
         game.player->x = 990.0f;
         t->steps(2);
       },
       0, 2},
      {"the girl starts to follow",
       [](RulesTest* t) {
         game.monster->dead = 1;
         t->at(E_MAN)->health = 0; // not to come into view as well
         t->stand_right_edge_at(5990.0f);
         t->step({});
       },
       0, 1},
      {"the monster's change",
       [](RulesTest*) {
         game.monster->x = 2000.0f, game.monster->health = 65;
         monster_westward_rule();
       },
       0, 1},
      {"a caption",
       [](RulesTest* t) {
         queue_card("|FFFFFF\\Hello");
         t->step({});
       },
       0, 1},
      {"the ending",
       [](RulesTest*) {
         game.progress = 7;
         game.player->x = game.world_width + 100.0f, game.girl->x = game.world_width + 100.0f;
         check_ending();
       },
       0, 1},
      {"Space on the first ending card",
       [](RulesTest*) {
         game.ending = 1;
         ending_card_sounds();
       },
       1, 1},
      {"Space on the third ending card",
       [](RulesTest*) {
         game.ending = 3;
         ending_card_sounds();
       },
       1, 1},
  };
  for (const auto& s : sites)
    for (int sound_ok : {0, 1}) {
      SCOPED_TRACE(testing::Message() << s.site << ", sound_ok " << sound_ok);
      TearDown();
      SetUp();
      load_sounds_numbered({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, sound_ok);
      s.act(this);
      EXPECT_EQ(plays(), sound_ok ? s.all : s.unguarded);
    }
}
