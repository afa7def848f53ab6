#include "game/screen_modes.h"

#include "game/controls.h"
#include "game/game_sounds.h"
#include "game/game_state.h"
#include "game/notes.h"
#include "game/options.h"
#include "game/sprite_assets.h"
#include "game/window_icon.h"
#include "game/work_folder.h"
#include "runtime/core/clock_random.h"
#include "runtime/core/dates.h"
#include "runtime/core/process.h"
#include "runtime/core/strings.h"
#include "runtime/display/screen.h"
#include "runtime/display/sprites.h"
#include "runtime/display/window.h"
#include "runtime/image/drawing.h"
#include "runtime/image/images.h"
#include "runtime/image/start_ahead.h"
#include "runtime/input_sound/keyboard.h"
#include "runtime/input_sound/sound.h"

#include <cstdio>

// ---- Opening and closing the screen ----

static const int screen_w = 640, screen_h = 480;
static const int window_flags =
    WINDOW_CAPTION | WINDOW_CLOSE_BOX | WINDOW_SIZING | WINDOW_CENTRE_SCREEN;

int close_game_screen() {
  if (game.screen_open == 1) {
    screen_close();
    if (game.windowed == 1) window_close(0);
  }
  return 0;
}

int open_game_screen(int windowed) {
  close_game_screen();
  int result = 0;
  // A bigger window or a full screen shows the same screen, each pixel a square
  // block of pixels where a whole multiple fits the way the player asked.
  screen_set_fit(options.fit);
  if (windowed == 1) {
    // A window that opened stays open when the screen inside it fails. The
    // screen fills the window however the player sizes it.
    // Without --scale the window follows the display's scale (on a 150%
    // display, twice the size), where it fits.
    const int wanted = options.scale == SCALE_OF_DISPLAY ? window_display_scale() : options.scale;
    int scale = wanted;
    if (window_open(0, 0, 0, screen_w, screen_h, controls_window_title().c_str(), window_flags) &&
        window_set_icon(0, window_icon, window_icon_side, window_icon_side) &&
        (wanted == 1 || (scale = window_scale(0, screen_w, screen_h, wanted))) &&
        screen_open_windowed(window_handle(0), 0, 0, screen_w, screen_h, 1, 0, 0)) {
      game.windowed = 1;
      result = 1;
    }
    // Said at the first opening only, not at every return from the full screen.
    if (scale < options.scale && !game.screen_open)
      process_report("quillmoor: --scale " + std::to_string(options.scale) +
                     " does not fit this desktop; the window is " + std::to_string(scale) +
                     " times 640x480\n");
  } else if (windowed == 0) {
    if (screen_open_full(screen_w, screen_h, 32, "Quillmoor")) {
      game.windowed = 0;
      result = 1;
    }
  }
  if (result) {
    game.screen_open = 1;
    screen_clear(0);
    screen_flip();
    load_sprites(1); // closing the last screen freed every sprite
  }
  return result;
}

// ---- Keys after the flip ----

int take_screenshot() {
  // The installed folder is not the game's to write in.
  int shot = work_folder_writable() ? sprite_grab(-1, 0, 0, screen_w, screen_h) : 0;
  // One name a second: a second press within it overwrites the first file.
  const std::string seconds = number_text(date_now());
  int saved = shot && sprite_save(shot, (".\\see\\screen" + seconds + ".bmp").c_str());
  if (saved) game_sound(3);
  if (shot) sprite_free(shot);
  note_show(saved ? "Screenshot saved: " + work_folder_shown("see/screen" + seconds + ".bmp")
                  : "Screenshot not saved");
  return saved;
}

void check_mode_keys() {
  if (key_down(KEY_ESCAPE)) {
    game.quit_requested = 1;
    return;
  }
  // F is asked before Ctrl, so an F released without Ctrl is used up there and
  // cannot switch in a later frame. Ctrl let go in the same frame as F counts
  // as held: a quick Ctrl+F often lets both go between two frames.
  int ctrl = key_down(KEY_LCONTROL);
  int switching = key_released(KEY_F) && (ctrl || game.ctrl_was_down);
  game.ctrl_was_down = ctrl;
  if (switching && !open_game_screen(1 - game.windowed)) fatal_error("Screen fail :(");
}

// ---- The way out ----

void shutdown_runtime() {
  start_ahead_end(); // a worker still decoding must be done before anything goes
  window_close_all();
  gui_end();
  sound_shutdown();
  keyboard_shutdown();
  display_shutdown();
  font_shutdown();
  image_shutdown();
  image_alpha_unload();
  process_catch_quit(0);
}

void fatal_error(const std::string& message) {
  const std::string text = message; // the caller's string may die with the runtime
  // The box must not appear behind a full screen or inside a dead window.
  close_game_screen();
  if (!text.empty()) {
    process_log("quillmoor: " + text + "\n");
    message_box("Quillmoor - Error", text.c_str(), 16);
  }
  // Sounds 2 and 10 fade over about a second; without them this is only the wait.
  for (int v = 20; v >= 0; v--) {
    sound_set_volume(2, v * 5);
    sound_set_volume(10, v * 5);
    delay_ms(50);
  }
  shutdown_runtime();
  // A launcher or script can tell an ending in error from a quit.
  process_exit(text.empty() ? 0 : 1);
}
