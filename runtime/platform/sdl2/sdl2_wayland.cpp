// Wayland on Linux: the seat probe (the compositor's globals, listed once) and
// waiting for the compositor's answers.
#include "runtime/platform/sdl2/sdl2_wayland.h"

#include <SDL_syswm.h>
#include <cstdlib>
#include <cstring>
#include <wayland-client.h>

namespace {
void global(void* data, wl_registry*, uint32_t, const char* interface, uint32_t) {
  if (!strcmp(interface, wl_seat_interface.name)) *(int*)data = 1;
}
void global_remove(void*, wl_registry*, uint32_t) {}
const wl_registry_listener listener = {global, global_remove};
} // namespace

int sdl2_wayland_reachable() {
  const char *name = getenv("WAYLAND_DISPLAY"), *folder = getenv("XDG_RUNTIME_DIR");
  return getenv("WAYLAND_SOCKET") || (name && name[0] == '/') || (folder && folder[0]);
}

int sdl2_wayland_seatless() {
  // A socket handed over in WAYLAND_SOCKET is SDL's to take.
  if (getenv("WAYLAND_SOCKET") || !sdl2_wayland_reachable()) return 0;
  wl_display* display = wl_display_connect(nullptr);
  if (!display) return 0;
  int seats = 0;
  wl_registry* registry = wl_display_get_registry(display);
  wl_registry_add_listener(registry, &listener, &seats);
  int answered = wl_display_roundtrip(display) >= 0;
  wl_registry_destroy(registry);
  wl_display_disconnect(display);
  return answered && !seats;
}

void sdl2_wayland_roundtrip(SDL_Window* window) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (SDL_GetWindowWMInfo(window, &info) && info.subsystem == SDL_SYSWM_WAYLAND)
    wl_display_roundtrip(info.info.wl.display);
}
