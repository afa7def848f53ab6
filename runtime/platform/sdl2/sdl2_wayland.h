// What the SDL2 backend asks of a Wayland compositor itself, before SDL's
// Wayland driver starts (which crashes, in SDL 2.26, on a compositor that
// offers no seat: no keyboard and no pointer).
#pragma once

struct SDL_Window;

// 0 when no Wayland socket can be named (no WAYLAND_SOCKET, and WAYLAND_DISPLAY
// is no path while XDG_RUNTIME_DIR is unset), or Wayland is not known here:
// connecting could only fail, and libwayland would print why.
int sdl2_wayland_reachable();
// 1 when a Wayland compositor answers (WAYLAND_DISPLAY, or wayland-0 in
// XDG_RUNTIME_DIR) and offers no seat; 0 when it offers one, none answers, or
// Wayland is not known here.
int sdl2_wayland_seatless();
// On Wayland, returns once the compositor has answered every request made so
// far, its answers handled; elsewhere does nothing.
void sdl2_wayland_roundtrip(SDL_Window* window);
