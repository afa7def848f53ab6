// SDL2 backend: the desktop, windows, events and presentation. A child area is
// a rectangle of its parent's client area. Frames are scaled on the CPU into the
// window's own surface (shared memory with the X server), or, where a window
// has no surface of its own (Wayland) or QUILL_PRESENT=renderer asks for it,
// through an SDL renderer and a streaming texture. Neither waits for the
// vertical blank (the game paces itself).
#include "runtime/platform/plat_window.h"
#include "runtime/platform/sdl2/sdl2_wayland.h"

#include <SDL.h>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <strings.h>
#include <vector>

enum { PATH_UNKNOWN, PATH_SURFACE, PATH_RENDERER };

struct PlatWindow {
  SDL_Window* sdl;    // null for a child area
  PlatWindow* parent; // child areas: the window they sit in
  PlatRect rect;      // child areas: the rectangle in the parent's client area
  intptr_t tag;
  int path;               // PATH_*: how frames reach this window, chosen at the first present
  SDL_Renderer* renderer; // the renderer path only
  SDL_Texture* texture;   // streaming: the frame, or the frame already scaled to size
  int texture_width, texture_height;
  Surface* frame32; // a frame of a 16-bit back buffer, widened for scaling
};

struct SdlWindowState {
  PlatWindow* shown;  // without a window system: the window last shown, which has the focus
  int renderer_first; // QUILL_PRESENT=renderer: every window presents through a renderer
  int no_keyboard;    // the display last refused was a Wayland compositor without a seat
  SDL_Window* spare;  // Wayland: a window hidden instead of destroyed, for the next window
};
static SdlWindowState sw;

// SDL's drivers for tests and servers draw nowhere and give nobody the focus;
// nothing else can take it from our window there, so the one shown has it.
static int headless_driver() {
  const char* d = SDL_GetCurrentVideoDriver();
  return d && (!strcmp(d, "dummy") || !strcmp(d, "offscreen"));
}

static SDL_Window* focus_window() {
  if (!headless_driver()) return SDL_GetKeyboardFocus();
  return sw.shown ? sw.shown->sdl : nullptr;
}

static PlatWindow* from_sdl(SDL_Window* sdl) {
  return sdl ? (PlatWindow*)SDL_GetWindowData(sdl, "plat") : nullptr;
}

static PlatWindow* top_of(PlatWindow* w) { return w && w->parent ? w->parent : w; }

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
  sw.no_keyboard = 0;
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
  sw.no_keyboard = seatless && !opened;
  return opened ? 1 : -1;
}

static int init_video() {
  // SIGINT and SIGTERM are the platform's own to handle (plat_quit_signals).
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
  // The game draws every pixel itself: an OpenGL context behind the window's
  // surface would only cost start-up time, memory and CPU (see the README).
  const char* path = getenv("QUILL_PRESENT");
  sw.renderer_first = path && !strcmp(path, "renderer");
  if (!sw.renderer_first) SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  int opened = SDL_WasInit(SDL_INIT_VIDEO) ? 0 : open_past_wayland();
  if (opened < 0 || (!opened && SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)) return 0;
  // With no display SDL falls back to drivers that show nothing and read no
  // keys; they serve tests that ask for them, never a player.
  if (headless_driver() && !driver_named(SDL_GetCurrentVideoDriver())) {
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return 0;
  }
  SDL_StopTextInput(); // keys are read as states; no input method in between
  return 1;
}

int plat_display_open() { return init_video(); }

int plat_display_lacks_keyboard() { return sw.no_keyboard; }

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
  if (!SDL_WasInit(SDL_INIT_VIDEO) || SDL_GetDesktopDisplayMode(0, &mode) != 0) return 0;
  out->width = mode.w;
  out->height = mode.h;
  out->format = surface_format_of(mode.format);
  out->refresh_rate = mode.refresh_rate;
  SDL_Rect usable;
  if (SDL_GetDisplayUsableBounds(0, &usable) != 0) usable = {0, 0, mode.w, mode.h};
  out->usable = {usable.x, usable.y, usable.w, usable.h};
  return 1;
}

int plat_display_mode_count() {
  if (!SDL_WasInit(SDL_INIT_VIDEO)) return 0;
  int n = SDL_GetNumDisplayModes(0);
  return n > 0 ? n : 0;
}

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

PlatWindow* plat_window_create(int x, int y, int width, int height, const char* title, int flags) {
  if (!init_video()) return nullptr;
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
  if (w->texture) SDL_DestroyTexture(w->texture);
  if (w->renderer) SDL_DestroyRenderer(w->renderer);
  surface_free(w->frame32);
  if (w->sdl) {
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

// Made once per window. Making one may make the window again (for OpenGL) where
// it was first put, so it must come before a shown window moves.
static int ensure_renderer(PlatWindow* top) {
  if (top->renderer) return 1;
  SDL_SetHint(SDL_HINT_RENDER_VSYNC, "0");
  top->renderer = SDL_CreateRenderer(top->sdl, -1, 0);
  if (!top->renderer) top->renderer = SDL_CreateRenderer(top->sdl, -1, SDL_RENDERER_SOFTWARE);
  return top->renderer != nullptr;
}

// The window's own surface where it has one, else a renderer; 0 with neither.
static int choose_path(PlatWindow* top) {
  if (top->path == PATH_UNKNOWN)
    top->path = !sw.renderer_first && SDL_GetWindowSurface(top->sdl) ? PATH_SURFACE : PATH_RENDERER;
  return top->path == PATH_SURFACE || ensure_renderer(top);
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
  if (SDL_GetWindowFlags(w->sdl) & SDL_WINDOW_SHOWN) choose_path(w);
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
    if (SDL_GetDisplayBounds(0, &bounds) == 0) {
      SDL_SetWindowPosition(w->sdl, bounds.x, bounds.y);
      SDL_SetWindowSize(w->sdl, bounds.w, bounds.h);
    }
    SDL_ShowWindow(w->sdl);
    // The desktop's own mode: nothing to restore, nothing to go wrong on the way back.
    SDL_SetWindowFullscreen(w->sdl, SDL_WINDOW_FULLSCREEN_DESKTOP);
    SDL_RaiseWindow(w->sdl);
    sw.shown = w;
  } else {
    SDL_SetWindowFullscreen(w->sdl, 0);
    if (keeps_windows() && w->renderer) {
      // Weston keeps the black behind a full screen until a frame of it comes
      // after the full screen has been left: a window hidden at once would
      // leave the whole desktop black.
      sdl2_wayland_roundtrip(w->sdl);
      SDL_SetRenderDrawColor(w->renderer, 0, 0, 0, 255);
      SDL_RenderClear(w->renderer);
      SDL_RenderPresent(w->renderer);
      sdl2_wayland_roundtrip(w->sdl);
    }
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
  w = top_of(w);
  return w && w->sdl && focus_window() == w->sdl;
}

PlatWindow* plat_window_focused() { return from_sdl(focus_window()); }

void plat_window_set_tag(PlatWindow* w, intptr_t tag) { w->tag = tag; }
intptr_t plat_window_tag(PlatWindow* w) { return w->tag; }

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

void plat_cursor_show(int show) {
  if (SDL_WasInit(SDL_INIT_VIDEO)) SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE);
}

static int ensure_texture(PlatWindow* top, int width, int height) {
  if (top->texture && top->texture_width == width && top->texture_height == height) return 1;
  if (top->texture) SDL_DestroyTexture(top->texture);
  top->texture = SDL_CreateTexture(top->renderer, SDL_PIXELFORMAT_RGB888,
                                   SDL_TEXTUREACCESS_STREAMING, width, height);
  if (!top->texture) return 0;
  SDL_SetTextureScaleMode(top->texture, SDL_ScaleModeNearest);
  top->texture_width = width;
  top->texture_height = height;
  return 1;
}

// Where the frame goes in an output of out_w x out_h pixels: dst is in window
// units, which a HiDPI output has more pixels of.
static PlatRect target_rect(PlatWindow* w, const PlatRect* src, const PlatRect* dst, int out_w,
                            int out_h) {
  if (!dst) return plat_fit_frame(src->width, src->height, out_w, out_h);
  int win_w, win_h;
  SDL_GetWindowSize(top_of(w)->sdl, &win_w, &win_h);
  PlatRect at = *dst;
  if (w->parent) {
    at.x += w->rect.x;
    at.y += w->rect.y;
  }
  double sx = win_w > 0 ? (double)out_w / win_w : 1.0, sy = win_h > 0 ? (double)out_h / win_h : 1.0;
  return {(int)(at.x * sx), (int)(at.y * sy), (int)(at.width * sx), (int)(at.height * sy)};
}

// Frames of a 16-bit back buffer are widened to 32 bits before scaling.
static const Surface* frame_of(PlatWindow* top, const Surface* frame, PlatRect* src) {
  if (surface_bytes_per_pixel(frame->format) == 4) return frame;
  Surface*& wide = top->frame32;
  if (!wide || wide->width != src->width || wide->height != src->height) {
    surface_free(wide);
    wide = surface_create(src->width, src->height, FMT_X8R8G8B8);
    if (!wide) return nullptr;
  }
  surface_copy(wide, 0, 0, frame, src->x, src->y, src->width, src->height);
  *src = {0, 0, src->width, src->height};
  return wide;
}

// Black around the picture at `to` in a 32-bit surface.
static void clear_around(Surface* s, PlatRect to) {
  int right = to.x + to.width, bottom = to.y + to.height;
  surface_fill(s, 0, 0, s->width, to.y, 0);
  surface_fill(s, 0, bottom, s->width, s->height - bottom, 0);
  surface_fill(s, 0, to.y, to.x, to.height, 0);
  surface_fill(s, right, to.y, s->width - right, to.height, 0);
}

static int present_surface(PlatWindow* top, PlatWindow* w, const Surface* frame,
                           const PlatRect* src, const PlatRect* dst) {
  SDL_Surface* shown = SDL_GetWindowSurface(top->sdl);
  if (!shown) return 0;
  PlatRect to = target_rect(w, src, dst, shown->w, shown->h);
  Uint32 f = shown->format->format;
  if (f == SDL_PIXELFORMAT_RGB888 || f == SDL_PIXELFORMAT_ARGB8888) {
    if (SDL_LockSurface(shown) != 0) return 0;
    Surface out = {(uint8_t*)shown->pixels, shown->w, shown->h, shown->pitch, FMT_X8R8G8B8, 0, 0};
    clear_around(&out, to);
    int drawn = plat_scale_frame(&out, &to, frame, src);
    SDL_UnlockSurface(shown);
    return drawn && SDL_UpdateWindowSurface(top->sdl) == 0;
  }
  // Any other desktop layout: scaled first, then converted by SDL.
  Surface* scaled = surface_create(to.width, to.height, FMT_X8R8G8B8);
  PlatRect whole = {0, 0, to.width, to.height};
  SDL_Surface* wrap =
      scaled ? SDL_CreateRGBSurfaceWithFormatFrom(scaled->pixels, to.width, to.height, 32,
                                                  scaled->pitch, SDL_PIXELFORMAT_RGB888)
             : nullptr;
  SDL_Rect at = {to.x, to.y, to.width, to.height};
  int ok = wrap && plat_scale_frame(scaled, &whole, frame, src) &&
           SDL_FillRect(shown, nullptr, SDL_MapRGB(shown->format, 0, 0, 0)) == 0 &&
           SDL_BlitSurface(wrap, nullptr, shown, &at) == 0 &&
           SDL_UpdateWindowSurface(top->sdl) == 0;
  SDL_FreeSurface(wrap);
  surface_free(scaled);
  return ok;
}

static int present_renderer(PlatWindow* top, PlatWindow* w, const Surface* frame,
                            const PlatRect* src, const PlatRect* dst) {
  int out_w, out_h;
  SDL_GetRendererOutputSize(top->renderer, &out_w, &out_h);
  PlatRect to = target_rect(w, src, dst, out_w, out_h);
  if (to.width < 1 || to.height < 1) return 0;
  // Whole multiples are left to the renderer's nearest-pixel stretch; any other
  // size is scaled here, to the same pixels the window surface would show.
  int whole = to.width % src->width == 0 && to.height % src->height == 0;
  PlatRect size =
      whole ? PlatRect{0, 0, src->width, src->height} : PlatRect{0, 0, to.width, to.height};
  if (!ensure_texture(top, size.width, size.height)) return 0;
  void* pixels;
  int pitch;
  if (SDL_LockTexture(top->texture, nullptr, &pixels, &pitch) != 0) return 0;
  Surface target = {(uint8_t*)pixels, size.width, size.height, pitch, FMT_X8R8G8B8, 0, 0};
  plat_scale_frame(&target, &size, frame, src);
  SDL_UnlockTexture(top->texture);

  SDL_Rect at = {to.x, to.y, to.width, to.height};
  SDL_SetRenderDrawColor(top->renderer, 0, 0, 0, 255);
  SDL_RenderClear(top->renderer);
  SDL_RenderCopy(top->renderer, top->texture, nullptr, &at);
  SDL_RenderPresent(top->renderer);
  return 1;
}

int plat_window_present(PlatWindow* w, const Surface* frame, const PlatRect* src,
                        const PlatRect* dst) {
  PlatWindow* top = top_of(w);
  if (!top || !top->sdl || !frame || src->width < 1 || src->height < 1) return 0;
  if (!choose_path(top)) return 0;
  PlatRect from = *src;
  frame = frame_of(top, frame, &from);
  if (!frame) return 0;
  return top->path == PATH_SURFACE ? present_surface(top, w, frame, &from, dst)
                                   : present_renderer(top, w, frame, &from, dst);
}
