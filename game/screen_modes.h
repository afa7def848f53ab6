// The screen in a window or full screen, screenshots, and the program's only exit.
#pragma once

#include <string>

// Opens the 640x480 screen in a window (1) or full screen (0), clears it to
// black and shows it once; 0 when it could not be opened.
int open_game_screen(int windowed);
// Closes the screen and, in window mode, its window; returns 0.
int close_game_screen();

// Saves the back buffer as ".\see\screen" + seconds + ".bmp" (24 bits),
// plays sound 3 if it was saved and says in a note where it went (or that it
// was not saved); 0 when no file was written.
int take_screenshot();
// The keys after the frame's flip: Escape asks to quit; otherwise left Ctrl+F
// switches between window and full screen, ending the game when that fails.
void check_mode_keys();

// Closes the screen, shows message in a box unless it is empty, fades the sounds
// out, shuts the runtime down and ends the process: exit code 0 for an ordinary
// end (an empty message), 1 for an error.
[[noreturn]] void fatal_error(const std::string& message);
// Each runtime module's release step, in order.
void shutdown_runtime();
