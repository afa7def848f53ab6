#include "game/screen_modes.h"

#include "runtime/core/clock_random.h"
#include "runtime/display/window.h"
#include "runtime/image/drawing.h"
#include "runtime/image/images.h"
#include "runtime/input_sound/keyboard.h"
#include "runtime/input_sound/sound.h"
#include "runtime/platform/plat_core.h"

void shutdown_runtime() {
  sound_shutdown();
  keyboard_shutdown();
  font_shutdown();
  image_shutdown();
  image_alpha_unload();
}

void fatal_error(const std::string& message) {
  const std::string text = message; // the caller's string may die with the runtime
  if (!text.empty()) message_box("Quillmoor - Error", text.c_str(), 16);
  // Sounds 2 and 10 fade over about a second; without them this is only the wait.
  for (int v = 20; v >= 0; v--) {
    sound_set_volume(2, v * 5);
    sound_set_volume(10, v * 5);
    delay_ms(50);
  }
  shutdown_runtime();
  plat_exit(0);
}
