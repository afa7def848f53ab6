// Game pads and touch controls: what their controls stand for on the keyboard.
// A backend that has pads reads every connected one as a set of
// PlatPadControls at each plat_keyboard_read, with the page's touch controls
// where there are any, and adds the keys they stand for to the snapshot, so a
// pad or a finger plays exactly as those keys do. The null backend has neither.
#pragma once

#include <cstdint>

enum PlatPadControl {
  PAD_SOUTH = 1, // A: Up (jump)
  PAD_EAST = 2,  // B: Space
  PAD_WEST = 4,  // X: Space
  PAD_NORTH = 8, // Y: F1
  PAD_BACK = 16, // F5; with Start, Escape too
  PAD_START = 32,
  PAD_LEFT = 64, // the d-pad or the left stick
  PAD_RIGHT = 128,
  PAD_DOWN = 256,
  // The small buttons of the touch controls; no pad has them.
  TOUCH_FULL_SCREEN = 512, // left Ctrl+F
  TOUCH_SCREENSHOT = 1024, // Tab
  TOUCH_MUTE = 2048,       // M
  TOUCH_QUIT = 4096,       // Escape
};

// Stick travel (of 32767 either way) that counts as no push at all.
const int PAD_DEAD_ZONE = 8000;

// The directions (PAD_LEFT, PAD_RIGHT, PAD_DOWN) a stick at x, y points to
// beyond the dead zone; axes run from -32768 to 32767, y growing downwards.
int plat_pad_stick(int x, int y);
// Sets bit 7 in a 256-byte scancode snapshot for each key the controls stand for.
void plat_pad_keys(int controls, uint8_t snapshot[256]);
// The controls the page's touch buttons hold, and those tapped since the last
// call even if already let go (so a tap is seen by one read); 0 where there
// are no touch controls.
int plat_touch_controls();
