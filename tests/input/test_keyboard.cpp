#include "runtime/display/screen.h"
#include "runtime/display/window.h"
#include "runtime/input_sound/keyboard.h"
#include "runtime/platform/null/null_platform.h"
#include "runtime/platform/plat_pad.h"

#include <gtest/gtest.h>
#include <vector>

namespace {
struct KeyboardTest : ::testing::Test {
  void SetUp() override {
    null_reset();
    ASSERT_TRUE(keyboard_init());
  }
  void TearDown() override { keyboard_shutdown(); }
  void frame(std::initializer_list<int> held) {
    for (int k = 0; k < 256; k++) null_key_set(k, 0);
    for (int k : held) null_key_set(k, 1);
    keyboard_sample();
  }
};
} // namespace

TEST_F(KeyboardTest, NothingAnswersBeforeTheFirstSample) {
  null_key_set(KEY_SPACE, 1);
  EXPECT_EQ(key_down(KEY_SPACE), 0);
  EXPECT_EQ(key_down(KEY_ANY), 0);
  EXPECT_EQ(key_released(KEY_SPACE), 0);
}

TEST_F(KeyboardTest, DownReportsBit7AndAnyKey) {
  frame({KEY_RIGHT});
  EXPECT_EQ(key_down(KEY_RIGHT), 128);
  EXPECT_EQ(key_down(KEY_LEFT), 0);
  EXPECT_EQ(key_down(KEY_ANY), 1);
  frame({255}); // the any-key scan stops before 255
  EXPECT_EQ(key_down(KEY_ANY), 0);
  EXPECT_EQ(key_down(300), 0);
}

TEST_F(KeyboardTest, HeldSpaceIsReleasedOnceAfterItIsLetGo) {
  for (int i = 0; i < 5; i++) {
    frame({KEY_SPACE});
    EXPECT_EQ(key_released(KEY_SPACE), 0);
  }
  frame({});
  EXPECT_EQ(key_released(KEY_SPACE), 1);
  frame({});
  EXPECT_EQ(key_released(KEY_SPACE), 0);
}

TEST_F(KeyboardTest, PressAndReleaseBetweenTwoQueriesGoUnseen) {
  frame({});
  EXPECT_EQ(key_released(KEY_TAB), 0);
  frame({KEY_TAB}); // down in this frame, but nobody asks
  frame({});
  EXPECT_EQ(key_released(KEY_TAB), 0);
}

TEST_F(KeyboardTest, AnyKeyReleaseClearsEveryLatch) {
  frame({KEY_F1, KEY_F5});
  EXPECT_EQ(key_released(KEY_ANY), 0);
  frame({});
  EXPECT_EQ(key_released(KEY_ANY), 1);
  EXPECT_EQ(key_released(KEY_F1), 0);
  EXPECT_EQ(key_released(KEY_F5), 0);
}

TEST_F(KeyboardTest, AFailedSampleSilencesThatFrameOnly) {
  frame({KEY_SPACE});
  EXPECT_EQ(key_released(KEY_SPACE), 0);
  null_set_focus(0);
  EXPECT_EQ(keyboard_sample(), 0);
  EXPECT_EQ(key_down(KEY_SPACE), 0);
  EXPECT_EQ(key_released(KEY_SPACE), 0);
  null_set_focus(1);
  frame({});
  EXPECT_EQ(key_released(KEY_SPACE), 1);
}

TEST_F(KeyboardTest, SecondInitSucceedsWithoutReopening) {
  EXPECT_NE(keyboard_init(), 0);
  frame({KEY_UP});
  EXPECT_EQ(key_down(KEY_UP), 128);
}

TEST(Keyboard, InitFailsWithoutADevice) {
  null_reset();
  null_keyboard_present(0);
  EXPECT_EQ(keyboard_init(), 0);
  EXPECT_EQ(keyboard_sample(), 0);
  keyboard_shutdown();
  null_reset();
}

// Input belongs to the window that owns the screen, not to whichever of ours is in front.
TEST(KeyboardFocus, NoSnapshotWhileTheScreensWindowLacksTheFocus) {
  null_reset();
  event_queue_init();
  window_library_init();
  ASSERT_TRUE(display_init());
  ASSERT_TRUE(keyboard_init());
  null_key_set(KEY_SPACE, 1);
  ASSERT_TRUE(window_open(0, 0, 0, 640, 480, "game", 0xC80001));
  ASSERT_TRUE(screen_open_windowed(window_handle(0), 0, 0, 640, 480, 0, 0, 0));
  EXPECT_EQ(keyboard_sample(), 1);
  EXPECT_EQ(key_down(KEY_SPACE), 128);

  ASSERT_TRUE(window_open(1, 0, 0, 100, 100, "another of ours", 0)); // now in front
  EXPECT_EQ(keyboard_sample(), 0);
  EXPECT_EQ(key_down(KEY_SPACE), 0);
  window_close(1);
  EXPECT_EQ(keyboard_sample(), 1);

  // A full screen's input comes through the base window.
  ASSERT_TRUE(screen_open_full(640, 480, 32, "full"));
  EXPECT_EQ(keyboard_sample(), 1);
  null_set_focus(0);
  EXPECT_EQ(keyboard_sample(), 0);
  null_set_focus(1);
  EXPECT_EQ(keyboard_sample(), 1);

  keyboard_shutdown();
  window_close_all();
  gui_end();
  display_shutdown();
}

// The touch controls' small buttons set the bits of the keys they stand for,
// Ctrl and F together for the full screen, as a pad's controls do.
TEST(TouchButtons, StandForTheirKeys) {
  const struct {
    int control;
    std::vector<int> keys;
  } cases[] = {{TOUCH_FULL_SCREEN, {KEY_LCONTROL, KEY_F}},
               {TOUCH_SCREENSHOT, {KEY_TAB}},
               {TOUCH_MUTE, {KEY_M}},
               {TOUCH_QUIT, {KEY_ESCAPE}},
               {PAD_RIGHT | TOUCH_MUTE, {KEY_M, KEY_RIGHT}}};
  for (const auto& c : cases) {
    uint8_t snapshot[256] = {};
    plat_pad_keys(c.control, snapshot);
    std::vector<int> down;
    for (int k = 0; k < 256; k++)
      if (snapshot[k]) down.push_back(k);
    EXPECT_EQ(down, c.keys) << c.control;
  }
}
