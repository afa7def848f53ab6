// Web backend: the desktop, windows, events and presentation on the page's one
// canvas. SDL's web backend ties every window to that canvas and, when a window
// goes, takes the canvas's key and focus handlers with it, so the game's
// windows (its window, the hidden base window that becomes the full screen)
// are records of ours over one SDL window made at the first window and kept
// until the display closes; SDL brings its keys, focus and events. The canvas
// shows the window last shown. The page sizes the canvas as the desktop fits a
// frame, in the device's pixels (whole multiples are left to the browser at
// 640x480, the sharp fit is drawn here at its size), and asks the browser for
// its full screen when a window is shown full (Module.fullScreen).
#include "runtime/platform/plat_window.h"

#include <SDL.h>
#include <cstring>
#include <emscripten.h>
#include <vector>

struct PlatWindow {
  PlatWindow* parent; // child areas: the window they sit in
  PlatRect rect;      // the client area (for a child area: in its parent)
  intptr_t tag;
};

struct WebWindowState {
  int opened;                   // plat_display_open calls not yet given back
  SDL_Window* canvas;           // the one SDL window, made at the first window
  PlatWindow* shown;            // the window the canvas shows; null when none is
  std::vector<uint32_t> pixels; // the frame as the canvas takes it: bytes R, G, B, A
};
static WebWindowState ww;

static PlatWindow* top_of(PlatWindow* w) { return w && w->parent ? w->parent : w; }

int plat_display_open() {
  if (!ww.opened) {
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return 0;
    SDL_StopTextInput(); // keys are read as states, and the page keeps them from the browser
  }
  ww.opened++;
  return 1;
}

// The browser always brings the page its keys.
int plat_display_lacks_keyboard() { return 0; }

void plat_display_close() {
  if (!ww.opened || --ww.opened) return;
  if (ww.canvas) SDL_DestroyWindow(ww.canvas);
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
  ww = WebWindowState{};
}

// The browser's window stands for the desktop.
int plat_display_desktop(PlatDesktop* out) {
  if (!ww.opened) return 0;
  int w = EM_ASM_INT({ return typeof window != 'undefined' ? window.innerWidth : 640; });
  int h = EM_ASM_INT({ return typeof window != 'undefined' ? window.innerHeight : 480; });
  *out = PlatDesktop{w, h, FMT_X8R8G8B8, 60, {0, 0, w, h}, 100};
  return 1;
}

int plat_display_mode_count() { return ww.opened ? 1 : 0; }

// The page's title; a program without a page (a benchmark run by node) has none.
static void set_title(const char* title) {
  if (title && *title)
    EM_ASM(
        {
          if (typeof document != 'undefined') document.title = UTF8ToString($0);
        },
        title);
}

PlatWindow* plat_window_create(int x, int y, int width, int height, const char* title, int flags) {
  if (!plat_display_open()) return nullptr;
  if (!ww.canvas) {
    ww.canvas = SDL_CreateWindow("", 0, 0, 640, 480, SDL_WINDOW_SHOWN);
    if (!ww.canvas) {
      plat_display_close();
      return nullptr;
    }
  }
  if (x == PLAT_POS_DEFAULT) x = 0;
  if (y == PLAT_POS_DEFAULT) y = 0;
  PlatWindow* w = new PlatWindow{nullptr, {x, y, width, height}, 0};
  if (!(flags & PLAT_WINDOW_HIDDEN)) {
    ww.shown = w;
    set_title(title);
  }
  return w;
}

PlatWindow* plat_child_create(PlatWindow* parent, int x, int y, int width, int height) {
  if (!parent || parent->parent) return nullptr;
  return new PlatWindow{parent, {x, y, width, height}, 0};
}

void plat_window_destroy(PlatWindow* w) {
  if (!w) return;
  if (ww.shown == w) ww.shown = nullptr;
  const bool top = !w->parent;
  delete w;
  if (top) plat_display_close();
}

// The page shows its own icon.
void plat_window_set_icon(PlatWindow*, const uint32_t*, int, int) {}

void plat_window_set_title(PlatWindow* w, const char* title) {
  if (w == ww.shown) set_title(title);
}

void plat_window_place(PlatWindow* w, int x, int y, int width, int height) {
  w->rect = {x, y, width, height};
}

PlatRect plat_window_rect(PlatWindow* w) { return w->rect; }

PlatBorders plat_window_borders(PlatWindow*) { return PlatBorders{0, 0, 0, 0}; }

// The page asks the browser for its full screen, or leaves it; the browser
// grants it only soon after a key or click of the player's, as Ctrl+F is.
void plat_window_show_full(PlatWindow* w, int full) {
  if (w->parent) return;
  if (full)
    ww.shown = w;
  else if (ww.shown == w)
    ww.shown = nullptr;
  EM_ASM(
      {
        if (Module['fullScreen']) Module['fullScreen']($0);
      },
      full);
}

int plat_window_has_focus(PlatWindow* w) {
  w = top_of(w);
  return w && w == ww.shown && ww.canvas && SDL_GetKeyboardFocus() == ww.canvas;
}

PlatWindow* plat_window_focused() {
  return ww.canvas && SDL_GetKeyboardFocus() == ww.canvas ? ww.shown : nullptr;
}

void plat_window_set_tag(PlatWindow* w, intptr_t tag) { w->tag = tag; }
intptr_t plat_window_tag(PlatWindow* w) { return w->tag; }

static int event_kind(const SDL_WindowEvent& e) {
  switch (e.event) {
  case SDL_WINDOWEVENT_CLOSE: return PLAT_EVENT_CLOSE;
  case SDL_WINDOWEVENT_SIZE_CHANGED: return PLAT_EVENT_RESIZED;
  case SDL_WINDOWEVENT_EXPOSED: return PLAT_EVENT_EXPOSED;
  case SDL_WINDOWEVENT_FOCUS_GAINED: return PLAT_EVENT_FOCUS_GAINED;
  case SDL_WINDOWEVENT_FOCUS_LOST: return PLAT_EVENT_FOCUS_LOST;
  }
  return PLAT_EVENT_OTHER;
}

// The canvas's events belong to the window it shows.
int plat_event_next(PlatEvent* ev, int timeout_ms) {
  if (!SDL_WasInit(SDL_INIT_EVENTS)) return 0;
  SDL_Event e;
  // Never waits: the page runs only while the game sleeps.
  (void)timeout_ms;
  if (!SDL_PollEvent(&e)) return 0;
  ev->raw = (int)e.type;
  ev->window = nullptr;
  ev->kind = PLAT_EVENT_OTHER;
  if (e.type == SDL_WINDOWEVENT) {
    ev->kind = event_kind(e.window);
    ev->window = ww.shown;
  }
  return 1;
}

void plat_event_pump() {
  if (SDL_WasInit(SDL_INIT_EVENTS)) SDL_PumpEvents();
}

void plat_cursor_show(int show) {
  if (SDL_WasInit(SDL_INIT_VIDEO)) SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE);
}

// The canvas takes bytes R, G, B, A; the frame's pixels are 0x00RRGGBB.
static void to_canvas_order(uint32_t* row, const uint32_t* from, int count) {
  for (int i = 0; i < count; i++) {
    uint32_t p = from[i];
    row[i] = 0xFF000000u | (p & 0xFF00) | (p >> 16 & 0xFF) | (p & 0xFF) << 16;
  }
}

// Every frame fills the canvas, wherever dst would put it on a desktop: at
// the size the page chose (Module.frameWidth and frameHeight, see the file's head).
int plat_window_present(PlatWindow* w, const Surface* frame, const PlatRect* src, const PlatRect*) {
  PlatWindow* top = top_of(w);
  if (!top || top != ww.shown || !frame || src->width < 1 || src->height < 1) return 0;
  int width = EM_ASM_INT({ return Module['frameWidth'] || 640; });
  int height = EM_ASM_INT({ return Module['frameHeight'] || 480; });
  if (width < 1 || height < 1 || width > 8192 || height > 8192 ||
      surface_bytes_per_pixel(frame->format) != 4 || src->x < 0 || src->y < 0 ||
      src->x + src->width > frame->width || src->y + src->height > frame->height)
    return 0;
  ww.pixels.resize((size_t)width * height);
  if (width == src->width && height == src->height) {
    for (int y = 0; y < height; y++)
      to_canvas_order(
          &ww.pixels[(size_t)y * width],
          (const uint32_t*)(frame->pixels + (size_t)(src->y + y) * frame->pitch) + src->x, width);
  } else {
    Surface out = {(uint8_t*)ww.pixels.data(), width, height, 4 * width, FMT_X8R8G8B8, 0, 0};
    PlatRect to = {0, 0, width, height};
    if (!plat_scale_frame(&out, &to, frame, src)) return 0;
    to_canvas_order(ww.pixels.data(), ww.pixels.data(), width * height);
  }
  EM_ASM(
      {
        var canvas = Module['canvas'];
        if (!canvas) return; // no page: a benchmark run by node
        if (canvas.width != $1) canvas.width = $1;
        if (canvas.height != $2) canvas.height = $2;
        var context = canvas.quillContext || (canvas.quillContext = canvas.getContext('2d'));
        context.putImageData(
            new ImageData(new Uint8ClampedArray(HEAPU8.buffer, $0, $1 * $2 * 4), $1, $2), 0, 0);
        if (Module['onFrame']) Module['onFrame']();
      },
      ww.pixels.data(), width, height);
  return 1;
}
