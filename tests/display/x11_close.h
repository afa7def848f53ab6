// What window managers send to and read from windows (x11_close.cpp).
#pragma once

#include <string>
#include <vector>

// What a window manager sends when the close box is clicked; false on an X error.
bool request_close(const std::string& display, unsigned long window);
// The window's _NET_WM_ICON: width, height, then 0xAARRGGBB pixels, top row first.
std::vector<unsigned long> window_icon(const std::string& display, unsigned long window);
// 1 when the window tells window managers a largest size (so it cannot be
// made bigger), 0 when not, -1 when it has no size hints.
int window_has_maximum_size(const std::string& display, unsigned long window);
