// The sound module's numbers, volumes and life cycle, on a silent device.
#include "runtime/input_sound/sound.h"
#include "runtime/platform/null/null_platform.h"
#include "tests/sound/silent_device.h"
#include "tests/sound/wav_image.h"

#include <cmath>
#include <gtest/gtest.h>

namespace {

struct SoundTable : SilentSoundDevice {
  static int load(int n) {
    Bytes image = wav({}, pcm16({1, 2, 3, 4}));
    return sound_load_memory(n, image.data(), image.size());
  }
};

TEST_F(SoundTable, VolumeCurveRows) {
  const int rows[][2] = {{0, -10000}, {1, -4000}, {2, -3398}, {5, -2603}, {10, -2000}, {25, -1205},
                         {50, -603},  {75, -250}, {90, -92},  {99, -9},   {100, 0}};
  for (const auto& row : rows) EXPECT_EQ(sound_volume_attenuation(row[0]), row[1]) << row[0];
  // The same curve written the other way round, for every percent between.
  for (int v = 1; v < 100; v++)
    EXPECT_EQ(sound_volume_attenuation(v), (int)std::floor(2000 * std::log10((double)v)) - 4000)
        << v;
}

TEST_F(SoundTable, SetVolumeClampsAndGoesToTheBuffer) {
  ASSERT_TRUE(load(2));
  EXPECT_EQ(sound_set_volume(2, 50), 1);
  EXPECT_EQ(sound_set_volume(2, 150), 1);
  EXPECT_EQ(sound_set_volume(2, -5), 1);
  EXPECT_EQ(sound_set_volume(2, 0), 1);
  EXPECT_EQ(null_audio_volumes(), (std::vector<int>{-603, 0, -10000, -10000}));
  // Numbers without a sound change nothing.
  EXPECT_EQ(sound_set_volume(3, 50), 0);
  EXPECT_EQ(sound_set_volume(-1, 50), 0);
  EXPECT_EQ(null_audio_volumes().size(), 4u);
}

// Muted, every sound plays at silence, those loaded later too; a volume set
// meanwhile waits, and unmuting gives each sound the volume it was last given.
TEST_F(SoundTable, MutingSilencesEverySoundAndUnmutingGivesEachItsVolumeBack) {
  ASSERT_TRUE(load(2));
  ASSERT_TRUE(load(7));
  ASSERT_EQ(sound_set_volume(2, 50), 1);
  sound_mute(1);
  EXPECT_EQ(sound_muted(), 1);
  ASSERT_TRUE(load(4));
  EXPECT_EQ(sound_set_volume(7, 25), 1);
  EXPECT_EQ(sound_play(7), 1);
  sound_mute(0);
  EXPECT_EQ(sound_muted(), 0);
  EXPECT_EQ(null_audio_volumes(), (std::vector<int>{-603, -10000, -10000, -10000, -603, 0, -1205}));
  sound_mute(1);
  sound_shutdown();
  EXPECT_EQ(sound_muted(), 0) << "the shutdown leaves the module as at start";
}

TEST_F(SoundTable, NumbersWithoutASound) {
  ASSERT_TRUE(load(0));
  sound_free(0);
  for (int n : {0, 1, 63, 64, 1000, -1, -2}) {
    EXPECT_EQ(sound_is_valid(n), 0) << n;
    EXPECT_EQ(sound_play(n), 0) << n;
  }
  EXPECT_EQ(null_audio_plays(), 0);
  EXPECT_EQ(load(-1), 0); // sound numbers are 0 up
  sound_free(5);          // nothing there: nothing happens
  EXPECT_EQ(null_audio_buffers(), 0);
}

TEST_F(SoundTable, ShutdownFreesEverySoundAndStartsOver) {
  ASSERT_TRUE(load(0));
  ASSERT_TRUE(load(10));
  sound_shutdown();
  EXPECT_EQ(null_audio_buffers(), 0);
  EXPECT_FALSE(sound_is_valid(0));
  EXPECT_EQ(sound_play(10), 0);
  EXPECT_EQ(sound_set_volume(10, 100), 0);
  EXPECT_EQ(load(0), 0); // no device until the next init
  sound_shutdown();      // twice is harmless
  ASSERT_TRUE(sound_init());
  EXPECT_FALSE(sound_is_valid(10));
  EXPECT_TRUE(load(10));
}

TEST(SoundWithoutDevice, EverythingAnswersZero) {
  null_reset();
  // Before any init: the game's exit fades sounds even then.
  EXPECT_EQ(sound_is_valid(2), 0);
  EXPECT_EQ(sound_play(2), 0);
  EXPECT_EQ(sound_set_volume(2, 50), 0);
  sound_free(2);
  EXPECT_EQ(sound_init(), 0);
  Bytes image = wav({}, pcm16({1, 2}));
  EXPECT_EQ(sound_load_memory(2, image.data(), image.size()), 0);
  EXPECT_EQ(sound_is_valid(2), 0);
  EXPECT_EQ(sound_play(2), 0);
  EXPECT_EQ(sound_set_volume(2, 50), 0);
  sound_shutdown();
  EXPECT_EQ(null_audio_plays(), 0);
}

} // namespace
