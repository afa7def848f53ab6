// The game's art: every picture is scaled by four once and kept on disk beside
// its source (name + "_x4.png"), then loaded as a sprite keyed on magenta; the
// landscape is cut into 640 by 480 panels in memory at every opening of the screen.
#pragma once

#include <string>

// The sprite of ".\see\" + name + ".png" through its scaled copy; one missing,
// empty or damaged is made anew, and the sprite is made from it in memory even
// when it cannot be saved. Records it under name and moves the static entities
// that showed the name's previous sprite to it. With reload 0 a known name gives
// its sprite without loading. 0 when no sprite could be made (the entities then
// show nothing).
int load_scaled_sprite(const std::string& name, int reload);
// Starts decoding the landscape and every scaled copy there is on a worker
// thread (and making the font lookups ready), for load_sprites to take.
void load_sprites_ahead();
// Cuts ".\see\urth.png" into the panels and loads the frame table and the five
// singles; a picture that fails leaves 0 in its place, and the first time any
// fails their names go to standard error. Always returns 0.
int load_sprites(int reload);
