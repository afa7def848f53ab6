#include "game/screen_modes.h"

#include "runtime/display/window.h"
#include "runtime/image/drawing.h"
#include "runtime/image/images.h"
#include "runtime/input_sound/keyboard.h"
#include "runtime/platform/plat_core.h"

void shutdown_runtime() {
  keyboard_shutdown();
  font_shutdown();
  image_shutdown();
  image_alpha_unload();
}

void fatal_error(const std::string& message) {
  const std::string text = message; // the caller's string may die with the runtime
  if (!text.empty()) message_box("Quillmoor - Error", text.c_str(), 16);
  shutdown_runtime();
  plat_exit(0);
}
