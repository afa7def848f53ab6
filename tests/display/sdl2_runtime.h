// The runtime's window library on the SDL2 platform, and the game program.
#pragma once

#include "runtime/display/screen.h"
#include "runtime/display/sprites.h"
#include "runtime/display/window.h"
#include "runtime/input_sound/keyboard.h"

#include <string>

const std::string game_program = std::string(QUILL_BINARY_DIR) + "/quillmoor";

// The window library up for the life of a test; everything shut down after it.
struct Runtime {
  Runtime() {
    event_queue_init();
    window_library_init();
  }
  ~Runtime() {
    keyboard_shutdown();
    window_close_all();
    gui_end();
    display_shutdown();
  }
};
