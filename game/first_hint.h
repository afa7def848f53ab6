// The hint a new player gets at the very first start in a working folder: the
// keys that matter, at the bottom of the screen, until a key is pressed or for
// 8 seconds. It never comes again there.
#pragma once

// At start-up: the hint is to show from the first frame when options.first_hint
// asks for it and the working folder bears no mark of an earlier start.
void first_hint_start();
// Each frame the screen is active, before the world step: its first frame marks
// the folder; a key down or 8 seconds end it.
void first_hint_step();
// Draws it in the caption style at the bottom of the screen while it shows.
void first_hint_draw();
