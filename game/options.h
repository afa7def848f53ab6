// The game's command line: a few options a player may give, none needed.
#pragma once

#include <string>

struct GameOptions {
  int scale;        // window size in whole multiples of 640x480, 1-8; 0 picks the largest that
                    // fits; SCALE_OF_DISPLAY (no --scale) follows the display's scale
  int gentle_flash; // Space flashes blended over the frame, at most three a second
  int fit;          // how the screen fills a bigger area: a ScreenFit, SCREEN_FIT_AUTO unless asked
  int mute = 0;     // start with every sound muted
  int first_hint = 0; // the first hint at a first start; on unless --no-hint
};

extern GameOptions options;
const int SCALE_OF_DISPLAY = -1;

// Reads the command line into `options` (cleared first). Returns 1 when the
// game should start; 0 when it should not, with what to print in *text and
// the exit code in *code: 0 after --help or --version (print on standard
// output), 2 after an unknown option or a bad value (standard error).
int options_parse(int argc, const char* const* argv, std::string* text, int* code);

// The usage text of --help.
std::string options_usage();
