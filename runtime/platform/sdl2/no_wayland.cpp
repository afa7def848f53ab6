// Systems without Wayland: no compositor to ask.
#include "runtime/platform/sdl2/sdl2_wayland.h"

int sdl2_wayland_reachable() { return 0; }
int sdl2_wayland_seatless() { return 0; }
void sdl2_wayland_roundtrip(SDL_Window*) {}
