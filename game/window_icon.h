// The game's icon for its window: the 64-pixel desktop icon, made by the art
// generator from the same pixel maps as the installed icons.
#pragma once

#include <cstdint>

const int window_icon_side = 64;
// 0xAARRGGBB, top row first.
extern const uint32_t window_icon[window_icon_side * window_icon_side];
