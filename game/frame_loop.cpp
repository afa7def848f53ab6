#include "game/frame_loop.h"

#include "game/captions.h"
#include "game/ending.h"
#include "game/entities.h"
#include "game/first_hint.h"
#include "game/game_state.h"
#include "game/notes.h"
#include "game/options.h"
#include "game/player.h"
#include "game/screen_modes.h"
#include "game/sound_bank.h"
#include "game/sprite_assets.h"
#include "runtime/core/clock_random.h"
#include "runtime/core/process.h"
#include "runtime/core/strings.h"
#include "runtime/display/screen.h"
#include "runtime/display/sprites.h"
#include "runtime/display/window.h"
#include "runtime/image/codecs.h"
#include "runtime/image/drawing.h"
#include "runtime/image/images.h"
#include "runtime/image/start_ahead.h"
#include "runtime/input_sound/keyboard.h"
#include "runtime/input_sound/sound.h"

#include <algorithm>
#include <cstdio>

// Each runtime module's start-up step, in the runtime's order.
static void startup_runtime() {
  codec_registry_init();
  image_init();
  font_init();
  bmp_decoder_register();
  event_queue_init();
  window_library_init();
}

void game_startup() {
  game_state_reset();
  startup_runtime();
  process_catch_quit(1); // main caught them first thing; a request since then is kept
  game.quit_requested = 0;
  game.screen_open = 0;
  game.windowed = 1;
  game.ending = 0;
  game.flash = -1;
  game.flash_time = (int)clock_ms() - 1000; // the first gentle flash is always shown
  game.sound_ok = 0;
  png_encoder_register();
  png_decoder_register();
  // The art is decoded and the fonts made ready on a worker while the window
  // and the screen open; everything else keeps its order on this thread.
  load_sprites_ahead();
  if (!display_init())
    fatal_error(display_lacks_keyboard() ? "Keyboard fail :(" : "Screen fail :(");
  if (!keyboard_init()) fatal_error("Keyboard fail :(");
  if (!open_game_screen(game.windowed))
    fatal_error("A " + number_text(640) + "x" + number_text(480) + " screen could not be opened!");
  // The caption font; with none of the four, captions use the drawing layer's own.
  // Looked for once the worker has the lookups ready, which is the point of
  // looking after the screen opened rather than before.
  for (const char* face : {"Arial", "Verdana", "Helvetica", "Times"})
    if (!game.font) game.font = font_load(0, face, 14);
  start_ahead_end();
  game.sound_ok = sound_init();
  if (game.sound_ok)
    load_sounds();
  else
    process_report("quillmoor: no sound device; playing silently\n");
  if (options.mute) sound_mute(1);
  first_hint_start();
  build_world();
  game.screen_active = 1;
}

// The world moves only while no caption is shown.
void world_step() {
  if (game.caption_on) {
    caption_input();
    return;
  }
  player_step();
  entities_pass();
  check_ending();
  monster_westward_rule();
  if (game.shake > 0) game.shake--;
  scan_discoveries();
}

// Gentle flashes: a quarter of the colour over the panels, never more than
// three a second (a flash asked for sooner is left out).
static void gentle_flash() {
  if ((int)((uint32_t)game.now - (uint32_t)game.flash_time) >= 334) {
    screen_tint(game.flash, 25);
    game.flash_time = game.now;
  }
  game.flash = -1;
}

// Panels are drawn opaque; everything on them keyed.
void draw_background() {
  if (game.ending) {
    screen_clear(0);
  } else if (game.flash == -1 || options.gentle_flash) {
    int i = trunc_int(game.camera_x / 640.0);
    int count = std::min(game.panel_count, (int)game.panels.size());
    int camera = trunc_int(game.camera_x);
    if (i >= 0 && i < count) sprite_draw(game.panels[i], 640 * i - camera - game.shake_x, 0);
    if (i + 1 >= 0 && i + 1 < count)
      sprite_draw(game.panels[i + 1], 640 * (i + 1) - camera - game.shake_x, 0);
    if (game.flash != -1) gentle_flash();
  } else {
    screen_clear(game.flash);
    game.flash = -1;
  }
}

void draw_entity(const Entity* e) {
  int dx, dy;
  if (e->steady) {
    dx = -game.shake_x;
    dy = 0;
  } else {
    dx = random_int(game.shake);
    dy = random_int(game.shake) - game.shake / 2;
  }
  int sx = trunc_int(e->x - game.camera_x) + dx;
  int sy = 480 - trunc_int(e->height + e->y) + dy;
  int sprite = e->sprite;
  if (e->animated || e->follow_state) {
    if (e->sprite < 0 || e->sprite >= KIND_COUNT) return;
    int f = trunc_int(e->phase) % 4;
    if (f < 0) f += 4;
    const int* frames = game.anim_frames[e->sprite];
    if (!frames[f]) return;
    // Followers face the player: frames 0-1 look right, 2-3 left.
    if (e->follow_state)
      sprite = frames[f % 2 + (game.player && e->x > game.player->x ? 2 : 0)];
    else
      sprite = frames[f];
  }
  if (sprite) sprite_draw_keyed(sprite, sx, sy);
}

// The caption over everything, the screenshot of what it shows, the note of
// what a key did, then the flip; a frame whose drawing output cannot start is
// not shown at all.
static void draw_text_layer() {
  if (!draw_start(screen_output())) return;
  draw_mode(DRAW_TRANSPARENT);
  if (game.font) draw_font(game.font);
  if (game.caption_on) draw_caption();
  first_hint_draw();
  draw_stop();
  // The screenshot is the picture without the note that says it was taken.
  if (key_released(KEY_TAB)) take_screenshot();
  if (!game.note.empty() && draw_start(screen_output())) {
    draw_mode(DRAW_TRANSPARENT);
    if (game.font) draw_font(game.font);
    note_draw();
    draw_stop();
  }
  screen_flip();
}

void game_frame() {
  // A logout or Ctrl+C in a terminal asks to quit, as the close box does.
  if (process_quit_requested()) game.quit_requested = 1;
  // The desktop's close request ends a full screen too.
  while (int event = window_event())
    if (event == EVENT_CLOSE) game.quit_requested = 1;
  game.now = (int)clock_ms();
  keyboard_sample();
  game.screen_active = screen_is_active();
  if (game.screen_active) {
    first_hint_step();
    world_step();
    if (game.ending == 4 && (int)((uint32_t)game.now - (uint32_t)game.caption_time) > 700)
      game.quit_requested = 1;
    game.shake_x = random_int(game.shake);
    draw_background();
    if (!game.ending)
      for (Entity* e = (Entity*)list_first(&game.entities); e; e = (Entity*)list_next(e))
        if (e->health >= 0) draw_entity(e);
    draw_text_layer();
    check_mode_keys();
    if (key_released(KEY_M)) {
      sound_mute(!sound_muted());
      note_show(!game.sound_ok ? "No sound device" : sound_muted() ? "Sound off" : "Sound on");
    }
    // F1 is asked every frame, F5 only when no hint card was queued.
    if (key_released(KEY_F1) && !game.caption_on)
      queue_hint_card();
    else if (key_released(KEY_F5) && !game.caption_on)
      queue_version_card();
  }
  delay_ms(19);
}

void game_main() {
  game_startup();
  while (!game.quit_requested) game_frame();
  fatal_error("");
}
