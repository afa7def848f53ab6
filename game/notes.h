// A short note at the bottom of the picture that says what a key did (a
// screenshot saved, the sound muted), in the caption style, for two seconds.
#pragma once

#include <string>

// Shows text from this frame on, in place of any note before it.
void note_show(const std::string& text);
// Draws the note while it shows, at the bottom of the picture; never over a
// caption: left out while one reaches down to it. Drawn after the frame's
// screenshot, so no screenshot holds it.
void note_draw();
