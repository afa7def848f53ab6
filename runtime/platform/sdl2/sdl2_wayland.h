// What the SDL2 backend asks of a Wayland compositor itself, before SDL's
// Wayland driver starts (which crashes, in SDL 2.26, on a compositor that
// offers no seat: no keyboard and no pointer).
#pragma once

struct SDL_Window;

// 1 when a Wayland compositor answers (WAYLAND_DISPLAY, or wayland-0 in
// XDG_RUNTIME_DIR) and offers no seat; 0 when it offers one, none answers, or
// Wayland is not known here.
int sdl2_wayland_seatless();
// On Wayland, returns once the compositor has answered every request made so
// far, its answers handled; elsewhere does nothing.
void sdl2_wayland_roundtrip(SDL_Window* window);
