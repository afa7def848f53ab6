// A fixture for sound tests on the null platform's silent device, which keeps
// its buffers' state; every buffer must be released by the end of the test.
#pragma once

#include "runtime/input_sound/sound.h"
#include "runtime/platform/null/null_platform.h"

#include <gtest/gtest.h>

struct SilentSoundDevice : ::testing::Test {
  void SetUp() override {
    null_reset();
    null_audio_present(1);
    ASSERT_TRUE(sound_init());
  }
  void TearDown() override {
    sound_shutdown();
    EXPECT_EQ(null_audio_buffers(), 0);
    null_reset();
  }
};
