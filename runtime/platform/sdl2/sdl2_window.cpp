// SDL2 backend: windows, the full screen and window events. A child area is a
// rectangle of its parent's client area, presented into by sdl2_present.cpp.
#include "runtime/platform/sdl2/sdl2_window.h"

#include "runtime/platform/sdl2/sdl2_wayland.h"

#include <cstring>

struct SdlWindowState {
  PlatWindow* shown; // without a window system: the window last shown, which has the focus
  SDL_Window* spare; // Wayland: a window hidden instead of destroyed, for the next window
  int display;       // the display our windows were last shown on
};
static SdlWindowState sw;

// A shown window about to go or hide: its display is where the next window or
// full screen goes, so that the game stays on the monitor the player put it on.
static void note_display(SDL_Window* sdl) {
  int d = (SDL_GetWindowFlags(sdl) & SDL_WINDOW_SHOWN) ? SDL_GetWindowDisplayIndex(sdl) : -1;
  if (d >= 0) sw.display = d;
}

int sdl2_window_display() { return sw.display < SDL_GetNumVideoDisplays() ? sw.display : 0; }

// Nothing else can take the focus from our window on the headless drivers, so
// the one shown has it.
static SDL_Window* focus_window() {
  if (!sdl2_headless_driver()) return SDL_GetKeyboardFocus();
  return sw.shown ? sw.shown->sdl : nullptr;
}

static PlatWindow* from_sdl(SDL_Window* sdl) {
  return sdl ? (PlatWindow*)SDL_GetWindowData(sdl, "plat") : nullptr;
}

// ---- Wayland's spare window ----

// SDL 2.26 frees a Wayland window's data but keeps its decorations (libdecor),
// which crash on the next message the compositor sends them. So on Wayland a
// window is hidden instead, and made use of again for the next window.
static int keeps_windows() {
  const char* d = SDL_GetCurrentVideoDriver();
  return d && !strcmp(d, "wayland");
}

static SDL_Window* reuse_spare(int x, int y, int width, int height, const char* title, int flags) {
  SDL_Window* sdl = sw.spare;
  sw.spare = nullptr;
  SDL_SetWindowTitle(sdl, title);
  SDL_SetWindowBordered(sdl, (flags & PLAT_WINDOW_BORDERLESS) ? SDL_FALSE : SDL_TRUE);
  SDL_SetWindowResizable(sdl, (flags & PLAT_WINDOW_RESIZABLE) ? SDL_TRUE : SDL_FALSE);
  SDL_SetWindowPosition(sdl, x, y);
  SDL_SetWindowSize(sdl, width, height);
  if (flags & PLAT_WINDOW_HIDDEN) return sdl;
  SDL_ShowWindow(sdl);
  if (flags & PLAT_WINDOW_MINIMIZED) SDL_MinimizeWindow(sdl);
  if (flags & PLAT_WINDOW_MAXIMIZED) SDL_MaximizeWindow(sdl);
  return sdl;
}

// Weston keeps the black behind a full screen until a frame of it comes after
// the full screen has been left: a window hidden at once would leave the whole
// desktop black.
static void leave_full_screen_shown(PlatWindow* w) {
  sdl2_wayland_roundtrip(w->sdl);
  SDL_SetRenderDrawColor(w->renderer, 0, 0, 0, 255);
  SDL_RenderClear(w->renderer);
  SDL_RenderPresent(w->renderer);
  sdl2_wayland_roundtrip(w->sdl);
}

// ---- Windows ----

PlatWindow* plat_window_create(int x, int y, int width, int height, const char* title, int flags) {
  if (!sdl2_video_open()) return nullptr;
  Uint32 sdl_flags = (flags & PLAT_WINDOW_HIDDEN) ? SDL_WINDOW_HIDDEN : SDL_WINDOW_SHOWN;
  if (flags & PLAT_WINDOW_BORDERLESS) sdl_flags |= SDL_WINDOW_BORDERLESS;
  if (flags & PLAT_WINDOW_RESIZABLE) sdl_flags |= SDL_WINDOW_RESIZABLE;
  if (flags & PLAT_WINDOW_MINIMIZED) sdl_flags |= SDL_WINDOW_MINIMIZED;
  if (flags & PLAT_WINDOW_MAXIMIZED) sdl_flags |= SDL_WINDOW_MAXIMIZED;
  if (x == PLAT_POS_DEFAULT) x = SDL_WINDOWPOS_UNDEFINED;
  if (y == PLAT_POS_DEFAULT) y = SDL_WINDOWPOS_UNDEFINED;
  if (!title) title = "";
  SDL_Window* sdl = sw.spare ? reuse_spare(x, y, width, height, title, flags)
                             : SDL_CreateWindow(title, x, y, width, height, sdl_flags);
  PlatWindow* w = sdl ? new PlatWindow{} : nullptr;
  if (!w) {
    if (sdl) SDL_DestroyWindow(sdl);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return nullptr;
  }
  w->sdl = sdl;
  SDL_SetWindowData(sdl, "plat", w);
  if (!(flags & PLAT_WINDOW_HIDDEN)) sw.shown = w;
  return w;
}

PlatWindow* plat_child_create(PlatWindow* parent, int x, int y, int width, int height) {
  if (!parent || parent->parent) return nullptr;
  PlatWindow* w = new PlatWindow{};
  w->parent = parent;
  w->rect = {x, y, width, height};
  return w;
}

void plat_window_destroy(PlatWindow* w) {
  if (!w) return;
  if (sw.shown == w) sw.shown = nullptr;
  sdl2_present_release(w);
  if (w->sdl) {
    note_display(w->sdl);
    SDL_SetWindowData(w->sdl, "plat", nullptr);
    if (keeps_windows() && !sw.spare) {
      SDL_SetWindowFullscreen(w->sdl, 0);
      SDL_HideWindow(w->sdl);
      sw.spare = w->sdl;
    } else {
      SDL_DestroyWindow(w->sdl);
    }
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    // The last user gone, SDL has destroyed every window, the spare too.
    if (!SDL_WasInit(SDL_INIT_VIDEO)) sw.spare = nullptr;
  }
  delete w;
}

void plat_window_set_icon(PlatWindow* w, const uint32_t* argb, int width, int height) {
  if (!w->sdl) return;
  SDL_Surface* icon = SDL_CreateRGBSurfaceWithFormatFrom((void*)argb, width, height, 32, width * 4,
                                                         SDL_PIXELFORMAT_ARGB8888);
  if (!icon) return;
  SDL_SetWindowIcon(w->sdl, icon); // copied by SDL
  SDL_FreeSurface(icon);
}

void plat_window_set_title(PlatWindow* w, const char* title) {
  if (w->sdl) SDL_SetWindowTitle(w->sdl, title ? title : "");
}

void plat_window_place(PlatWindow* w, int x, int y, int width, int height) {
  if (!w->sdl) {
    w->rect = {x, y, width, height};
    return;
  }
  if (SDL_GetWindowFlags(w->sdl) & SDL_WINDOW_SHOWN) sdl2_present_path(w);
  SDL_SetWindowPosition(w->sdl, x, y);
  SDL_SetWindowSize(w->sdl, width, height);
}

PlatRect plat_window_rect(PlatWindow* w) {
  if (!w->sdl) return w->rect;
  PlatRect r;
  SDL_GetWindowPosition(w->sdl, &r.x, &r.y);
  SDL_GetWindowSize(w->sdl, &r.width, &r.height);
  return r;
}

void plat_window_show_full(PlatWindow* w, int full) {
  if (!w->sdl) return;
  if (full) {
    // Covering the display first: with no window manager to carry out the
    // request below, the window would otherwise keep its size and place.
    SDL_Rect bounds;
    if (SDL_GetDisplayBounds(sdl2_window_display(), &bounds) == 0) {
      SDL_SetWindowPosition(w->sdl, bounds.x, bounds.y);
      SDL_SetWindowSize(w->sdl, bounds.w, bounds.h);
    }
    SDL_ShowWindow(w->sdl);
    // The desktop's own mode: nothing to restore, nothing to go wrong on the way back.
    SDL_SetWindowFullscreen(w->sdl, SDL_WINDOW_FULLSCREEN_DESKTOP);
    SDL_RaiseWindow(w->sdl);
    sw.shown = w;
  } else {
    note_display(w->sdl);
    SDL_SetWindowFullscreen(w->sdl, 0);
    if (keeps_windows() && w->renderer) leave_full_screen_shown(w);
    SDL_HideWindow(w->sdl);
    if (sw.shown == w) sw.shown = nullptr;
  }
}

PlatBorders plat_window_borders(PlatWindow* w) {
  PlatBorders b = {0, 0, 0, 0};
  if (w->sdl && SDL_GetWindowBordersSize(w->sdl, &b.top, &b.left, &b.bottom, &b.right) != 0)
    b = {0, 0, 0, 0};
  return b;
}

int plat_window_has_focus(PlatWindow* w) {
  w = sdl2_top_of(w);
  return w && w->sdl && focus_window() == w->sdl;
}

PlatWindow* plat_window_focused() { return from_sdl(focus_window()); }

void plat_window_set_tag(PlatWindow* w, intptr_t tag) { w->tag = tag; }
intptr_t plat_window_tag(PlatWindow* w) { return w->tag; }

void plat_cursor_show(int show) {
  if (SDL_WasInit(SDL_INIT_VIDEO)) SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE);
}

// ---- Events ----

static int event_kind(const SDL_WindowEvent& e) {
  switch (e.event) {
  case SDL_WINDOWEVENT_CLOSE: return PLAT_EVENT_CLOSE;
  case SDL_WINDOWEVENT_MOVED: return PLAT_EVENT_MOVED;
  case SDL_WINDOWEVENT_SIZE_CHANGED: return PLAT_EVENT_RESIZED;
  case SDL_WINDOWEVENT_EXPOSED: return PLAT_EVENT_EXPOSED;
  case SDL_WINDOWEVENT_FOCUS_GAINED: return PLAT_EVENT_FOCUS_GAINED;
  case SDL_WINDOWEVENT_FOCUS_LOST: return PLAT_EVENT_FOCUS_LOST;
  case SDL_WINDOWEVENT_MINIMIZED: return PLAT_EVENT_MINIMIZED;
  case SDL_WINDOWEVENT_MAXIMIZED: return PLAT_EVENT_MAXIMIZED;
  case SDL_WINDOWEVENT_RESTORED: return PLAT_EVENT_RESTORED;
  }
  return PLAT_EVENT_OTHER;
}

int plat_event_next(PlatEvent* ev, int timeout_ms) {
  if (!SDL_WasInit(SDL_INIT_EVENTS)) return 0;
  SDL_Event e;
  int got = timeout_ms < 0    ? SDL_WaitEvent(&e)
            : timeout_ms == 0 ? SDL_PollEvent(&e)
                              : SDL_WaitEventTimeout(&e, timeout_ms);
  if (!got) return 0;
  ev->raw = (int)e.type;
  ev->window = nullptr;
  ev->kind = PLAT_EVENT_OTHER;
  if (e.type == SDL_WINDOWEVENT) {
    ev->kind = event_kind(e.window);
    ev->window = from_sdl(SDL_GetWindowFromID(e.window.windowID));
  }
  return 1;
}

void plat_event_pump() {
  if (SDL_WasInit(SDL_INIT_EVENTS)) SDL_PumpEvents();
}
