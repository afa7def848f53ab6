#include "game/frame_loop.h"

#include "game/captions.h"
#include "game/ending.h"
#include "game/entities.h"
#include "game/game_state.h"
#include "game/player.h"
#include "game/screen_modes.h"
#include "game/sound_bank.h"
#include "runtime/core/clock_random.h"
#include "runtime/image/codecs.h"
#include "runtime/image/images.h"
#include "runtime/input_sound/keyboard.h"
#include "runtime/input_sound/sound.h"

// Each runtime module's start-up step, in the runtime's order.
static void startup_runtime() {
  codec_registry_init();
  image_init();
  bmp_decoder_register();
}

void game_startup() {
  game_state_reset();
  startup_runtime();
  game.quit_requested = 0;
  game.screen_open = 0;
  game.windowed = 1;
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

void game_frame() {
  game.now = (int)clock_ms();
  keyboard_sample();
  if (game.screen_active) {
    world_step();
    if (game.ending == 4 && (int)((uint32_t)game.now - (uint32_t)game.caption_time) > 700)
      game.quit_requested = 1;
    game.shake_x = random_int(game.shake);
    if (key_down(KEY_ESCAPE)) game.quit_requested = 1;
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
