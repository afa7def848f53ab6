#include "runtime/input_sound/keyboard.h"

#include "runtime/display/screen.h"
#include "runtime/platform/plat_core.h"
#include "runtime/platform/plat_key_routes.h"

#include <cstdint>
#include <cstring>

enum DeviceState { KEYBOARD_CLOSED = 0, KEYBOARD_OPENED = 1, KEYBOARD_ACQUIRED = 2 };

struct KeyboardState {
  uint8_t snapshot[256];      // bit 7: down at the last read
  uint8_t release_latch[256]; // 1: seen down by key_released, release not yet reported
  int device_state;
  int init_requested; // keyboard_shutdown only works after an init
  int input_users;    // open requests on the shared input system
};
static KeyboardState kb;

int keyboard_init() {
  kb.input_users++;
  kb.init_requested = 1;
  if (kb.device_state != KEYBOARD_CLOSED) return 1;
  if (!plat_keyboard_open()) return 0;
  kb.device_state = KEYBOARD_OPENED;
  return 1;
}

int keyboard_sample() {
  if (kb.device_state == KEYBOARD_CLOSED) return 0;
  kb.device_state = KEYBOARD_ACQUIRED;
  // Input belongs to the window that owns the screen, taken afresh at every read
  // so that a screen reopened in another window is followed at once.
  if (!plat_keyboard_read(kb.snapshot, screen_top_window())) {
    kb.device_state = KEYBOARD_OPENED;
    return 0;
  }
  return 1;
}

int key_down(int key) {
  if (kb.device_state != KEYBOARD_ACQUIRED) return 0;
  if (key == -1) {
    for (int k = 0; k < 255; k++)
      if (kb.snapshot[k] & 0x80) return 1;
    return 0;
  }
  if (key < 0 || key > 255) return 0;
  return kb.snapshot[key] & 0x80;
}

static int release_of(int k) {
  if (kb.snapshot[k] & 0x80) {
    kb.release_latch[k] = 1;
    return 0;
  }
  if (kb.release_latch[k]) {
    kb.release_latch[k] = 0;
    return 1;
  }
  return 0;
}

int key_released(int key) {
  if (kb.device_state != KEYBOARD_ACQUIRED) return 0;
  if (key == -1) {
    int any = 0;
    for (int k = 0; k < 255; k++) any |= release_of(k);
    return any;
  }
  if (key < 0 || key > 255) return 0;
  return release_of(key);
}

int keyboard_bind(int key, const int* keys, int count) { return plat_key_route(key, keys, count); }

int key_bound(int key, int index) { return plat_key_source(key, index); }

void keyboard_shutdown() {
  plat_key_routes_reset();
  if (!kb.init_requested) return;
  if (kb.device_state != KEYBOARD_CLOSED) plat_keyboard_close();
  std::memset(&kb, 0, sizeof kb);
}
