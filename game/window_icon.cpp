#include "game/window_icon.h"

const uint32_t window_icon[window_icon_side * window_icon_side] = {
#include "window_icon.inc"
};
