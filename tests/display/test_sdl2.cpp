// The SDL2 platform headless, on SDL's dummy video driver.
#include "runtime/platform/plat_core.h"
#include "tests/display/sdl2_runtime.h"
#include "tests/support/test_files.h"
#include "tests/support/xvfb.h"

#include <SDL.h>
#include <gtest/gtest.h>

TEST(SdlHeadless, ScreensOpenAndPresentOnTheDummyDriver) {
  Runtime runtime;
  ASSERT_TRUE(display_init());
  ASSERT_TRUE(keyboard_init());
  ASSERT_TRUE(window_open(0, 0, 0, 640, 480, "dummy", 0xC80001));
  ASSERT_TRUE(screen_open_windowed(window_handle(0), 0, 0, 640, 480, 0, 0, 0));
  EXPECT_EQ(screen_depth_bits(), 32);
  screen_clear(0x0000FF);
  int n = sprite_grab(-1, 0, 0, 64, 64);
  EXPECT_NE(n, 0);
  sprite_draw_keyed(n, 10, 10);
  EXPECT_EQ(screen_flip(), 1);
  // Nothing on the dummy driver can take the focus from the window shown.
  EXPECT_EQ(keyboard_sample(), 1);
  while (window_event()) {}
  for (int depth : {32, 16}) {
    ASSERT_TRUE(screen_open_full(640, 480, depth, "full"));
    screen_clear(0x00FF00);
    EXPECT_EQ(screen_flip(), 1);
  }
  screen_close();
  EXPECT_TRUE(screen_open_windowed(window_handle(0), 0, 0, 640, 480, 0, 0, 0));
}

// SDL falls back to its off-screen driver when no display answers; only a
// driver that SDL_VIDEODRIVER names may stand in for one.
TEST(SdlHeadless, TheOffscreenDriverServesOnlyWhenNamed) {
  unsetenv("DISPLAY");
  unsetenv("WAYLAND_DISPLAY");
  unsetenv("XDG_RUNTIME_DIR"); // else Wayland tries its default socket
  const struct {
    const char* drivers;
    int opens;
  } cases[] = {{"", 0}, {"offscreen", 1}, {"x11,offscreen", 1}};
  for (const auto& c : cases) {
    setenv("SDL_VIDEODRIVER", c.drivers, 1);
    Runtime runtime;
    EXPECT_EQ(display_init() != 0, c.opens) << c.drivers;
  }
}

TEST(SdlHeadless, WithoutADisplayTheGameSaysSoAndEndsWithOne) {
  Child game;
  ASSERT_TRUE(game.start(game_program, QUILL_DATA_DIR,
                         {"DISPLAY=", "WAYLAND_DISPLAY=", "XDG_RUNTIME_DIR=", "SDL_VIDEODRIVER=",
                          "SDL_AUDIODRIVER=dummy"}));
  EXPECT_EQ(game.wait(20000), 1);
  // Its own words alone: no library tells of a Wayland socket it could not find.
  EXPECT_EQ(game.error_output(), "Quillmoor - Error: Screen fail :(");
}

// Started from a folder without the art, the game says once what it lacks and
// where it looked, and runs on (here to the missing display).
TEST(SdlHeadless, FromAFolderWithoutArtTheGameNamesWhatIsMissing) {
  ScratchDir empty, home;
  Child game;
  ASSERT_TRUE(game.start(game_program, empty.path,
                         {"DISPLAY=", "WAYLAND_DISPLAY=", "SDL_VIDEODRIVER=x11",
                          "SDL_AUDIODRIVER=dummy", "HOME=" + home.path, "XDG_DATA_HOME="}));
  EXPECT_EQ(game.wait(20000), 1);
  const std::string hint = " (start the game from its data folder, build/data)\n";
  EXPECT_TRUE(game.error_output().starts_with("quillmoor: no pictures in ./see" + hint +
                                              "quillmoor: no sounds in ./hear" + hint +
                                              "Quillmoor - Error: Screen fail :("))
      << game.error_output();
}

// A task runs on a thread of its own and is done once waited for.
TEST(SdlHeadless, TasksRunBesideTheCallerAndAreDoneWhenWaitedFor) {
  struct Work {
    uint32_t thread = 0;
    int done = 0;
  } work;
  auto run = [](void* w) {
    SDL_Delay(20);
    ((Work*)w)->thread = plat_thread_id();
    ((Work*)w)->done = 1;
  };
  PlatTask* task = plat_task_start(run, &work);
  ASSERT_NE(task, nullptr);
  plat_task_wait(task);
  EXPECT_EQ(work.done, 1);
  EXPECT_NE(work.thread, plat_thread_id());
  plat_task_wait(nullptr); // nothing to wait for
}
