#include "runtime/platform/plat_pad.h"

int plat_pad_stick(int x, int y) {
  int controls = 0;
  if (x < -PAD_DEAD_ZONE) controls |= PAD_LEFT;
  if (x > PAD_DEAD_ZONE) controls |= PAD_RIGHT;
  if (y > PAD_DEAD_ZONE) controls |= PAD_DOWN;
  return controls;
}

void plat_pad_keys(int controls, uint8_t snapshot[256]) {
  // Scancodes as the keyboard snapshot numbers them (set-1 make codes, extended + 128).
  enum {
    ESCAPE = 1,
    TAB = 15,
    LCONTROL = 29,
    F = 33,
    M = 50,
    SPACE = 57,
    F1 = 59,
    F5 = 63,
    UP = 200,
    LEFT = 203,
    RIGHT = 205,
    DOWN = 208
  };
  static const struct {
    int control, key;
  } map[] = {{PAD_SOUTH, UP},        {PAD_EAST, SPACE},       {PAD_WEST, SPACE},
             {PAD_NORTH, F1},        {PAD_BACK, F5},          {PAD_LEFT, LEFT},
             {PAD_RIGHT, RIGHT},     {PAD_DOWN, DOWN},        {TOUCH_FULL_SCREEN, LCONTROL},
             {TOUCH_FULL_SCREEN, F}, {TOUCH_SCREENSHOT, TAB}, {TOUCH_MUTE, M},
             {TOUCH_QUIT, ESCAPE}};
  for (const auto& m : map)
    if (controls & m.control) snapshot[m.key] = 0x80;
  // Start alone stands for nothing, so the way out needs both hands on purpose.
  if ((controls & (PAD_START | PAD_BACK)) == (PAD_START | PAD_BACK)) snapshot[ESCAPE] = 0x80;
}
