// Polled keyboard: one 256-byte snapshot per frame by scancode (the PC keyboard's
// set-1 make codes, extended keys plus 128), with down and released queries.
#pragma once

enum Scancode {
  KEY_ESCAPE = 1,
  KEY_TAB = 15,
  KEY_LCONTROL = 29,
  KEY_F = 33,
  KEY_M = 50,
  KEY_SPACE = 57,
  KEY_F1 = 59,
  KEY_F5 = 63,
  KEY_UP = 200,
  KEY_LEFT = 203,
  KEY_RIGHT = 205,
  KEY_DOWN = 208,
  KEY_ANY = -1,
};

// Opens the keyboard (not yet acquired); nonzero on success, at once when already open.
int keyboard_init();
// Takes this frame's snapshot; 0 when none could be read (the window lacks the
// focus), after which every query of the frame answers 0.
int keyboard_sample();
// 128 when key is down in the snapshot, else 0; for -1, 1 when any key 0-254 is down.
int key_down(int key);
// 1 once when key, seen down by an earlier call, is up; for -1 the same over all
// keys 0-254 together. A press and release between two calls goes unseen.
int key_released(int key);
// Closes the keyboard and gives every key its own bit again; the module is then
// as at start.
void keyboard_shutdown();

// How many physical keys may set one key's bit.
const int KEY_BIND_MAX = 4;
// From now on key's bit in each snapshot is set by the physical keys given (up to
// KEY_BIND_MAX, none for count 0) instead of by its own; game pads are not
// affected, and it holds before keyboard_init too. 0, with nothing changed, when
// key or one of keys is not a scancode 1-255 or count is above KEY_BIND_MAX.
int keyboard_bind(int key, const int* keys, int count);
// The index-th physical key that sets key's bit (key itself while unbound); 0
// when there is none.
int key_bound(int key, int index);
