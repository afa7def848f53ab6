// The screen in a window or full screen, screenshots, and the program's only exit.
#pragma once

#include <string>

// Opens the 640x480 screen in a window (1) or full screen (0), clears it to
// black and shows it once; 0 when it could not be opened.
int open_game_screen(int windowed);
// Closes the screen and, in window mode, its window; returns 0.
int close_game_screen();

// Closes the screen, shows message in a box unless it is empty, fades the sounds
// out, shuts the runtime down and ends the process with exit code 0.
[[noreturn]] void fatal_error(const std::string& message);
// Each runtime module's release step, in order.
void shutdown_runtime();
