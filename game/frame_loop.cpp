#include "game/frame_loop.h"

#include "game/game_state.h"
#include "game/screen_modes.h"
#include "game/sound_bank.h"
#include "runtime/core/clock_random.h"
#include "runtime/image/codecs.h"
#include "runtime/image/drawing.h"
#include "runtime/image/images.h"
#include "runtime/input_sound/keyboard.h"
#include "runtime/input_sound/sound.h"

// Each runtime module's start-up step, in the runtime's order.
static void startup_runtime() {
  codec_registry_init();
  image_init();
  font_init();
  bmp_decoder_register();
}

void game_startup() {
  game_state_reset();
  startup_runtime();
  game.quit_requested = 0;
  game.screen_open = 0;
  game.windowed = 1;
  // The caption font; with none of the four, captions use the drawing layer's own.
  for (const char* face : {"Arial", "Verdana", "Helvetica", "Times"})
    if (!game.font) game.font = font_load(0, face, 14);
  game.ending = 0;
  game.flash = -1;
  game.sound_ok = 0;
  png_encoder_register();
  png_decoder_register();
  if (!keyboard_init()) fatal_error("Keyboard fail :(");
  game.sound_ok = sound_init();
  if (game.sound_ok) load_sounds();
  build_world();
  game.screen_active = 1;
}

// The world moves only while no caption is shown.
static void world_step() {
  if (game.caption_on) return;
  if (game.shake > 0) game.shake--;
}

void game_frame() {
  game.now = (int)clock_ms();
  keyboard_sample();
  if (game.screen_active) {
    world_step();
    if (game.ending == 4 && (int)((uint32_t)game.now - (uint32_t)game.caption_time) > 700)
      game.quit_requested = 1;
    game.shake_x = random_int(game.shake);
    if (key_down(KEY_ESCAPE)) game.quit_requested = 1;
  }
  delay_ms(19);
}

void game_main() {
  game_startup();
  while (!game.quit_requested) game_frame();
  fatal_error("");
}
