// What the SDL2 backend asks of an X server itself, to tell a display that
// turned the game away from one that is not there.
#pragma once

// 1 when the X display that DISPLAY names takes connections (its server is
// there, whatever SDL made of it), or lies on another host, where nothing is
// asked; 0 when none is named or no server listens for it, or X is not known here.
int sdl2_x11_listening();
