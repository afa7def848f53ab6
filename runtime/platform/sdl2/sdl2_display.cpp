// SDL2 backend: opening the display (SDL's video, past a Wayland that would
// crash it or speak first, and again where X turned it away), and the mode of
// the display the game is on.
#include "runtime/platform/plat_system.h"
#include "runtime/platform/sdl2/sdl2_wayland.h"
#include "runtime/platform/sdl2/sdl2_window.h"
#include "runtime/platform/sdl2/sdl2_x11.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <strings.h>
#include <vector>

struct SdlDisplayState {
  int renderer_first; // QUILL_PRESENT=renderer: every window presents through a renderer
  int no_keyboard;    // the display last refused was a Wayland compositor without a seat
};
static SdlDisplayState sd;

// SDL's drivers for tests and servers draw nowhere and give nobody the focus.
int sdl2_headless_driver() {
  const char* d = SDL_GetCurrentVideoDriver();
  return d && (!strcmp(d, "dummy") || !strcmp(d, "offscreen"));
}

int sdl2_renderer_first() { return sd.renderer_first; }

// 1 when SDL_VIDEODRIVER (a comma-separated list) names driver.
static int driver_named(const char* driver) {
  size_t n = strlen(driver);
  for (const char* at = SDL_GetHint(SDL_HINT_VIDEODRIVER); at; at = strchr(at, ',')) {
    if (*at == ',') at++;
    if (strncasecmp(at, driver, n) == 0 && (at[n] == ',' || at[n] == 0)) return 1;
  }
  return 0;
}

// The drivers SDL tries (SDL_VIDEODRIVER, else every one it has, in its own
// order), split at Wayland into those before it and those after it,
// comma-separated. 0 when Wayland is not among them.
static int split_at_wayland(std::string* before, std::string* after) {
  std::vector<std::string> names;
  const char* asked = SDL_GetHint(SDL_HINT_VIDEODRIVER);
  if (asked && *asked) {
    for (const char* at = asked; *at;) {
      size_t n = strcspn(at, ",");
      names.emplace_back(at, n);
      at += at[n] ? n + 1 : n;
    }
  } else {
    for (int i = 0; i < SDL_GetNumVideoDrivers(); i++) names.emplace_back(SDL_GetVideoDriver(i));
  }
  int found = 0;
  for (const std::string& name : names) {
    if (!found && !strcasecmp(name.c_str(), "wayland")) {
      found = 1;
      continue;
    }
    std::string* list = found ? after : before;
    *list += (list->empty() ? "" : ",") + name;
  }
  return found;
}

// SDL's Wayland driver crashes on a compositor without a seat, and on a
// desktop with no Wayland socket to find, libwayland prints an error of its own
// before the game can say anything. Where SDL would come to Wayland, the seatless
// compositor leaves only the drivers before it to try, the missing socket all
// but Wayland. 1 when one of them opened the video; -1 when none did (for want
// of a keyboard when the compositor was seatless); 0 when Wayland is not in the
// way.
static int open_past_wayland() {
  sd.no_keyboard = 0;
  std::string before, after;
  if (!split_at_wayland(&before, &after)) return 0;
  const int reachable = sdl2_wayland_reachable(), seatless = reachable && sdl2_wayland_seatless();
  if (reachable && !seatless) return 0;
  std::string tried = before;
  if (!seatless && !after.empty()) tried += (tried.empty() ? "" : ",") + after;
  int opened = 0;
  if (!tried.empty()) {
    SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, tried.c_str(), SDL_HINT_OVERRIDE);
    opened = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
    SDL_ResetHint(SDL_HINT_VIDEODRIVER);
  }
  sd.no_keyboard = seatless && !opened;
  return opened ? 1 : -1;
}

static int open_video_once() {
  int opened = SDL_WasInit(SDL_INIT_VIDEO) ? 0 : open_past_wayland();
  if (opened < 0 || (!opened && SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)) return 0;
  // With no display SDL falls back to drivers that show nothing and read no
  // keys; they serve tests that ask for them, never a player.
  if (sdl2_headless_driver() && !driver_named(SDL_GetCurrentVideoDriver())) {
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return 0;
  }
  return 1;
}

int sdl2_video_open() {
  // SIGINT and SIGTERM are the platform's own to handle (plat_quit_signals).
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
  // The game draws every pixel itself: an OpenGL context behind the window's
  // surface would only cost start-up time, memory and CPU (see the README).
  const char* path = getenv("QUILL_PRESENT");
  sd.renderer_first = path && !strcmp(path, "renderer");
  if (!sd.renderer_first) SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  // An X server that is there now and then turns a client away (while other
  // clients poll it, one start in twenty): up to 3 more tries over about a
  // second. A display that is not there fails at once.
  int opened = open_video_once();
  for (int retry = 0; !opened && retry < 3 && sdl2_x11_listening(); retry++) {
    SDL_Delay(330);
    opened = open_video_once();
  }
  if (opened) SDL_StopTextInput(); // keys are read as states; no input method in between
  return opened;
}

int plat_display_open() { return sdl2_video_open(); }

int plat_display_lacks_keyboard() { return sd.no_keyboard; }

void plat_display_close() { SDL_QuitSubSystem(SDL_INIT_VIDEO); }

static int surface_format_of(Uint32 sdl_format) {
  switch (sdl_format) {
  case SDL_PIXELFORMAT_RGB888:
  case SDL_PIXELFORMAT_ARGB8888: return FMT_X8R8G8B8;
  case SDL_PIXELFORMAT_RGB565: return FMT_R5G6B5;
  case SDL_PIXELFORMAT_RGB555: return FMT_X1R5G5B5;
  case SDL_PIXELFORMAT_RGB24: return 20; // 24-bit R8G8B8, which no back buffer uses
  }
  return 0;
}

int plat_display_desktop(PlatDesktop* out) {
  SDL_DisplayMode mode;
  if (!SDL_WasInit(SDL_INIT_VIDEO)) return 0;
  int display = sdl2_window_display();
  SDL_Rect bounds, usable;
  if (SDL_GetDesktopDisplayMode(display, &mode) != 0 || SDL_GetDisplayBounds(display, &bounds) != 0)
    return 0;
  out->width = mode.w;
  out->height = mode.h;
  out->format = surface_format_of(mode.format);
  out->refresh_rate = mode.refresh_rate;
  if (SDL_GetDisplayUsableBounds(display, &usable) != 0) usable = bounds;
  out->usable = {usable.x, usable.y, usable.w, usable.h};
  out->scale_percent = sys_display_scale_percent();
  out->x = bounds.x;
  out->y = bounds.y;
  return 1;
}

int plat_display_mode_count() {
  if (!SDL_WasInit(SDL_INIT_VIDEO)) return 0;
  int n = SDL_GetNumDisplayModes(sdl2_window_display());
  return n > 0 ? n : 0;
}
