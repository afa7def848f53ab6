// The game's window, screen and drawing on the null platform.
#include "game/game_state.h"
#include "game/options.h"
#include "game/screen_modes.h"
#include "runtime/display/screen.h"
#include "runtime/display/sprites.h"
#include "runtime/display/window.h"
#include "runtime/input_sound/keyboard.h"
#include "tests/support/null_game.h"

#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>

namespace {
uint32_t pixel(int x, int y) {
  const Surface* s = screen_back_buffer();
  uint32_t p;
  std::memcpy(&p, s->pixels + (size_t)y * s->pitch + 4 * (size_t)x, 4);
  return p & 0xFFFFFF;
}

// A plain sprite of one colour (0xRRGGBB), made on the open screen.
int plain_sprite(int w, int h, uint32_t rgb) {
  screen_clear((int)((rgb & 0xFF) << 16 | (rgb & 0xFF00) | rgb >> 16));
  return sprite_grab(-1, 0, 0, w, h);
}

// The game started and its first screen open, frames run by the test.
struct GameScreen : ::testing::Test {
  void SetUp() override {
    null_reset();
    start_game_in_test();
  }
  void TearDown() override { end_game_in_test(); }
};
} // namespace

TEST(GameWindow, OpensCentredWithItsCaptionAndEndsOnTheCloseBox) {
  null_reset();
  null_display_set(1280, 1024, FMT_X8R8G8B8, 60);
  null_keyboard_script([](uint32_t read, uint8_t*) {
    PlatWindow* w = window_handle(0);
    if (read == 0) {
      EXPECT_STREQ(null_window_title(w), "Quillmoor: Ctrl+F for full screen.");
      PlatRect r = plat_window_rect(w);
      EXPECT_EQ(r.width, 640);
      EXPECT_EQ(r.height, 480);
      EXPECT_EQ(r.x, 320);
      EXPECT_EQ(r.y, 272);
    }
    if (read == 40) null_window_send(w, PLAT_EVENT_CLOSE);
  });
  EXPECT_EQ(run_game_to_exit(), 0);
  EXPECT_EQ(null_keyboard_reads(), 42u); // the request is read at the start of the next frame
  EXPECT_EQ(null_messages(), "");
  EXPECT_EQ(null_window_count(), 0); // everything closed on the way out
}

std::string rect_text(PlatRect r) {
  return std::to_string(r.x) + "," + std::to_string(r.y) + " " + std::to_string(r.width) + "x" +
         std::to_string(r.height);
}

// --scale: the window's client area on the desktop, and the 640x480 screen in it
// with every pixel a square block, in the window and again after Ctrl+F twice.
TEST(GameWindow, BiggerWindowsShowTheScreenInWholeMultiplesThatFit) {
  const struct {
    const char* what;
    int scale;
    int width, height; // of the desktop
    int scale_percent; // the display's
    PlatRect usable;
    PlatBorders borders;
    const char* window;
  } cases[] = {
      {"as before", 1, 1280, 1024, 100, {0, 0, 1280, 1024}, {30, 2, 2, 2}, "320,272 640x480"},
      {"twice", 2, 1280, 1024, 100, {0, 0, 1280, 1024}, {0, 0, 0, 0}, "0,32 1280x960"},
      {"more than fits", 3, 1920, 1080, 100, {0, 40, 1920, 1040}, {30, 0, 0, 0}, "320,60 1280x960"},
      {"auto", 0, 1920, 1080, 100, {0, 32, 1920, 1048}, {30, 0, 0, 0}, "320,91 1280x960"},
      {"auto, a title bar too many",
       0,
       1280,
       1024,
       100,
       {0, 0, 1280, 994},
       {37, 0, 0, 0},
       "320,275 640x480"},
      {"auto, a big desktop",
       0,
       3840,
       2160,
       100,
       {0, 0, 3840, 2160},
       {30, 1, 1, 1},
       "640,134 2560x1920"},
      // Without --scale, the display's scale rounded, halves up, where it fits.
      {"a 150% display",
       SCALE_OF_DISPLAY,
       1920,
       1080,
       150,
       {0, 0, 1920, 1080},
       {0, 0, 0, 0},
       "320,60 1280x960"},
      {"a 125% display",
       SCALE_OF_DISPLAY,
       1920,
       1080,
       125,
       {0, 0, 1920, 1080},
       {0, 0, 0, 0},
       "640,300 640x480"},
      {"a 150% display, too small",
       SCALE_OF_DISPLAY,
       1366,
       768,
       150,
       {0, 0, 1366, 768},
       {0, 0, 0, 0},
       "363,144 640x480"},
      {"a 150% display, --scale 1",
       1,
       1920,
       1080,
       150,
       {0, 0, 1920, 1080},
       {0, 0, 0, 0},
       "640,300 640x480"},
  };
  for (const auto& c : cases) {
    null_reset();
    null_display_set(c.width, c.height, FMT_X8R8G8B8, 60);
    null_display_scale(c.scale_percent);
    null_display_usable(c.usable);
    null_window_borders(c.borders);
    options.scale = c.scale;
    start_game_in_test();
    for (int round = 0; round < 2; round++) {
      PlatWindow* w = window_handle(0);
      ASSERT_NE(w, nullptr) << c.what;
      PlatRect client = plat_window_rect(w), at;
      EXPECT_EQ(rect_text(client), c.window) << c.what;
      EXPECT_EQ(screen_width(), 640);
      EXPECT_EQ(screen_height(), 480);
      ASSERT_EQ(screen_flip(), 1);
      const Surface* shown = null_window_frame(w, &at);
      EXPECT_EQ(shown->width, 640);
      EXPECT_EQ(rect_text(at),
                "0,0 " + std::to_string(client.width) + "x" + std::to_string(client.height));
      ASSERT_EQ(open_game_screen(0), 1);
      ASSERT_EQ(open_game_screen(1), 1);
    }
    end_game_in_test();
  }
  options.scale = 1;
}

// The window can be resized, and the full screen fills any desktop: whole
// multiples where twice the size fits, else the sharp fit, or whole multiples
// only with --fit whole; centred either way.
TEST(GameWindow, AResizedWindowAndTheFullScreenShowTheScreenAsLargeAsFits) {
  const struct {
    int fit, width, height; // of the desktop
    const char* resized;    // the screen in a 1000x700 window
    const char* full;
  } cases[] = {
      {SCREEN_FIT_AUTO, 1366, 768, "33,0 933x700", "171,0 1024x768"},
      {SCREEN_FIT_AUTO, 1920, 1080, "33,0 933x700", "320,60 1280x960"},
      {SCREEN_FIT_WHOLE, 1366, 768, "180,110 640x480", "363,144 640x480"},
      {SCREEN_FIT_SHARP, 1920, 1080, "33,0 933x700", "240,0 1440x1080"},
  };
  for (const auto& c : cases) {
    null_reset();
    null_display_set(c.width, c.height, FMT_X8R8G8B8, 60);
    options.fit = c.fit;
    start_game_in_test();
    PlatWindow* w = window_handle(0);
    PlatRect at;
    plat_window_place(w, 10, 10, 1000, 700);
    null_window_send(w, PLAT_EVENT_RESIZED);
    while (window_event()) {}
    EXPECT_EQ(null_window_frame(w, &at)->width, 640);
    EXPECT_EQ(rect_text(at), c.resized) << c.width << "x" << c.height;
    ASSERT_EQ(open_game_screen(0), 1);
    ASSERT_EQ(screen_flip(), 1);
    null_window_frame(base_window(), &at);
    EXPECT_EQ(rect_text(at), c.full) << c.width << "x" << c.height;
    end_game_in_test();
  }
  options.fit = SCREEN_FIT_AUTO;
}

// --scale 3 where only 2 fits says so, once however often the window returns.
TEST(GameWindow, AScaleThatDoesNotFitIsToldOnce) {
  null_reset();
  null_display_set(1920, 1080, FMT_X8R8G8B8, 60);
  options.scale = 3;
  testing::internal::CaptureStderr();
  start_game_in_test();
  ASSERT_EQ(open_game_screen(0), 1);
  ASSERT_EQ(open_game_screen(1), 1);
  end_game_in_test();
  options.scale = 1;
  std::string said = testing::internal::GetCapturedStderr();
  const std::string note =
      "quillmoor: --scale 3 does not fit this desktop; the window is 2 times 640x480\n";
  size_t at = said.find(note);
  EXPECT_NE(at, std::string::npos) << said;
  EXPECT_EQ(said.find(note, at + 1), std::string::npos) << said;
}

// Error endings show their box, fade out and end with exit code 1, so that a
// launcher or a script can tell them from a quit.
TEST(GameWindow, NoDisplayOrNoWindowEndsWithItsMessageAndOne) {
  null_reset();
  null_display_present(0);
  uint32_t start = plat_ticks_ms();
  EXPECT_EQ(run_game_to_exit(), 1);
  EXPECT_EQ(null_messages(), "Quillmoor - Error: Screen fail :(\n");
  EXPECT_GE(plat_ticks_ms() - start, 21u * 50u) << "the fade-out's 21 steps";
  null_reset();
  null_windows_allowed(0);
  EXPECT_EQ(run_game_to_exit(), 1);
  // The base window could not be made either, so the display already fails.
  EXPECT_EQ(null_messages(), "Quillmoor - Error: Screen fail :(\n");
  // A compositor that offers no keyboard is refused as the keyboard it lacks.
  null_reset();
  null_display_without_keyboard();
  EXPECT_EQ(run_game_to_exit(), 1);
  EXPECT_EQ(null_messages(), "Quillmoor - Error: Keyboard fail :(\n");
}

TEST(GameWindow, AScreenThatWillNotOpenEndsWithThe640x480MessageAndOne) {
  null_reset();
  null_windows_allowed(1); // the base window, then no more
  EXPECT_EQ(run_game_to_exit(), 1);
  EXPECT_EQ(null_messages(), "Quillmoor - Error: A 640x480 screen could not be opened!\n");
}

TEST_F(GameScreen, TheFirstFrameIsBlackAndShown) {
  EXPECT_EQ(game.windowed, 1);
  EXPECT_EQ(game.screen_open, 1);
  EXPECT_EQ(null_window_presents(window_handle(0)), 1);
  EXPECT_EQ(pixel(0, 0), 0u);
}

TEST_F(GameScreen, AnInactiveWindowPausesEverythingButTheCloseBox) {
  game.shake = 10;
  game_frame();
  EXPECT_EQ(game.shake, 9);
  int presents = null_window_presents(window_handle(0));
  null_set_focus(0);
  for (int i = 0; i < 5; i++) game_frame();
  EXPECT_EQ(game.screen_active, 0);
  EXPECT_EQ(game.shake, 9);
  EXPECT_EQ(null_window_presents(window_handle(0)), presents);
  null_window_send(window_handle(0), PLAT_EVENT_CLOSE);
  game_frame();
  EXPECT_EQ(game.quit_requested, 1);
  null_set_focus(1);
  game_frame();
  EXPECT_EQ(game.shake, 8);
  EXPECT_EQ(null_window_presents(window_handle(0)), presents + 1);
}

TEST_F(GameScreen, FullScreenNoticesTheFocusComingBackAndTheDesktopsClose) {
  ASSERT_EQ(open_game_screen(0), 1);
  EXPECT_EQ(game.windowed, 0);
  EXPECT_EQ(window_handle(0), nullptr); // the window went with its screen
  PlatWindow* base = base_window();
  game_frame();
  null_set_focus(0);
  game_frame(); // this frame's flip hears of the loss
  game_frame();
  EXPECT_EQ(game.screen_active, 0);
  null_window_send(base, PLAT_EVENT_CLOSE); // heard even while inactive
  game_frame();
  EXPECT_EQ(game.quit_requested, 1);
  game.quit_requested = 0;
  int presents = null_window_presents(base);
  null_set_focus(1);
  game_frame();
  game_frame();
  EXPECT_EQ(game.screen_active, 1);
  EXPECT_GT(null_window_presents(base), presents);
  ASSERT_EQ(open_game_screen(1), 1); // and back into a window
  EXPECT_STREQ(null_window_title(window_handle(0)), "Quillmoor: Ctrl+F for full screen.");
}

TEST_F(GameScreen, PanelsUnderTheCameraAFlashInTheirPlaceAndBlackAtTheEnd) {
  int green = plain_sprite(640, 480, 0x00FF00), blue = plain_sprite(640, 480, 0x0000FF);
  game.panels = {green, blue};
  game.panel_count = 2;
  game.camera_x = 320.7f;
  screen_clear(0x0000FF);
  draw_background();
  EXPECT_EQ(pixel(0, 0), 0x00FF00u); // panel 0 from x -320
  EXPECT_EQ(pixel(319, 0), 0x00FF00u);
  EXPECT_EQ(pixel(320, 0), 0x0000FFu); // panel 1 from x 320
  EXPECT_EQ(pixel(639, 479), 0x0000FFu);

  game.camera_x = 700; // in the last panel: it alone is drawn, from x -60
  screen_clear(0xFFFFFF);
  draw_background();
  EXPECT_EQ(pixel(579, 0), 0x0000FFu);
  EXPECT_EQ(pixel(580, 0), 0xFFFFFFu);
  game.shake_x = 3; // the ground shakes to the left
  screen_clear(0xFFFFFF);
  draw_background();
  EXPECT_EQ(pixel(576, 0), 0x0000FFu);
  EXPECT_EQ(pixel(577, 0), 0xFFFFFFu);
  game.shake_x = 0;

  game.flash = 0x0000FF; // red, for one frame
  draw_background();
  EXPECT_EQ(pixel(0, 0), 0xFF0000u);
  EXPECT_EQ(game.flash, -1);
  draw_background();
  EXPECT_EQ(pixel(0, 0), 0x0000FFu);

  game.ending = 1;
  draw_background();
  EXPECT_EQ(pixel(0, 0), 0u);
}

// --gentle-flash: the panels stay, a quarter of the flash's colour over them,
// and of flashes asked for every other frame at most three a second are shown.
TEST_F(GameScreen, GentleFlashesTintThePanelsAndComeAtMostThreeASecond) {
  options.gentle_flash = 1;
  game.panels = {plain_sprite(640, 480, 0x00FF00)};
  game.panel_count = 1;
  game.now = 5000;
  game.flash = 0x0000FF; // red
  draw_background();
  EXPECT_EQ(pixel(0, 0), 0x40BF00u);
  EXPECT_EQ(pixel(639, 479), 0x40BF00u);
  EXPECT_EQ(game.flash, -1);
  draw_background();
  EXPECT_EQ(pixel(0, 0), 0x00FF00u);

  std::vector<int> shown; // ms into the mashing
  for (int t = 0; t < 3000; t += 38) {
    game.now = 6000 + t;
    game.flash = 0x0000FF;
    draw_background();
    EXPECT_EQ(game.flash, -1);
    if (pixel(0, 0) != 0x00FF00u) shown.push_back(t);
  }
  EXPECT_EQ(shown.size(), 9u);
  for (size_t i = 3; i < shown.size(); i++) EXPECT_GT(shown[i] - shown[i - 3], 1000);
  options.gentle_flash = 0;
}

TEST_F(GameScreen, EntitiesShakeChooseTheirFrameAndFaceThePlayer) {
  int frames[4];
  const uint32_t colours[4] = {0x100000, 0x200000, 0x300000, 0x400000};
  for (int i = 0; i < 4; i++) {
    frames[i] = plain_sprite(2, 2, colours[i]);
    sprite_set_key_colour(frames[i], 0xFF00FF);
  }
  std::memcpy(game.anim_frames[KIND_GIRL], frames, sizeof frames);
  Entity player{}, girl{};
  player.x = 300;
  game.player = &player;
  game.camera_x = 100;
  girl.sprite = KIND_GIRL;
  girl.follow_state = 2;
  girl.x = 200;
  girl.height = 2;
  girl.y = 100;      // bottom edge 100 up: top at 480 - 102
  girl.phase = 5.9f; // frame 5 mod 4 = 1, then 1 mod 2 = 1
  screen_clear(0);
  draw_entity(&girl);
  EXPECT_EQ(pixel(100, 378), 0x200000u); // left of the player: facing right
  girl.x = 400;
  draw_entity(&girl);
  EXPECT_EQ(pixel(300, 378), 0x400000u); // right of the player: frame 1 + 2

  // A steady entity moves with the ground panels' shake; frames come mod 4.
  Entity rock{};
  std::memcpy(game.anim_frames[KIND_ROCKS], frames, sizeof frames);
  rock.sprite = KIND_ROCKS;
  rock.animated = 1;
  rock.steady = 1;
  rock.x = 150;
  rock.height = 2;
  rock.phase = 6;
  game.shake_x = 3;
  game.shake = 0;
  screen_clear(0);
  draw_entity(&rock);
  EXPECT_EQ(pixel(47, 478), 0x300000u);
  EXPECT_EQ(pixel(50, 478), 0u);
  game.anim_frames[KIND_ROCKS][2] = 0; // an empty frame draws nothing
  screen_clear(0);
  draw_entity(&rock);
  EXPECT_EQ(pixel(47, 478), 0u);

  // Anything else jitters on its own: 0 to shake to the right, and from half
  // the shake up to half the shake down.
  girl.x = 200;
  game.shake = 4;
  int left = 99, right = -99, top = 99, bottom = -99;
  for (int i = 0; i < 200; i++) {
    screen_clear(0);
    draw_entity(&girl);
    for (int y = 370; y < 390; y++)
      for (int x = 90; x < 110; x++)
        if (pixel(x, y) && !pixel(x - 1, y) && !pixel(x, y - 1)) {
          left = std::min(left, x - 100), right = std::max(right, x - 100);
          top = std::min(top, y - 378), bottom = std::max(bottom, y - 378);
        }
  }
  EXPECT_EQ(left, 0);
  EXPECT_EQ(right, 4);
  EXPECT_EQ(top, -2);
  EXPECT_EQ(bottom, 2);
}
