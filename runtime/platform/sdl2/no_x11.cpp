// Systems without X: no server to ask.
#include "runtime/platform/sdl2/sdl2_x11.h"

int sdl2_x11_listening() { return 0; }
