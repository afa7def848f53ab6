// The platform services of the display: the desktop, top-level windows and the
// child areas a screen presents into, window events, the mouse cursor, and
// showing a frame. Each backend (null/, sdl2/) implements it, the SDL2 backend in
// the browser through web/web_window.cpp; the fit and scaling below are shared
// (window_fit.cpp).
#pragma once

#include "runtime/platform/softgfx/surface.h"

#include <cstdint>

struct PlatWindow;

struct PlatRect {
  int x, y, width, height;
};

// One display of the desktop (a monitor): its mode, and where it lies.
struct PlatDesktop {
  int width, height;
  int format;        // a SurfaceFormat: the desktop's pixel layout
  int refresh_rate;  // Hz, 0 when unknown
  PlatRect usable;   // where windows go: the display but for its panels and docks
  int scale_percent; // the display's scale its user set (150 for 150%); 0 or 100: none
  int x = 0, y = 0;  // its top left corner on the desktop
};

// Opens the display; 0 when there is none. Counted: every success needs a close.
int plat_display_open();
// 1 when the last plat_display_open (or window) failed because the display
// offers no keyboard: a Wayland compositor without a seat.
int plat_display_lacks_keyboard();
// Gives one plat_display_open back.
void plat_display_close();
// The display our windows were last shown on (the first until then), where
// new windows and full screens go; 0 when there is no display.
int plat_display_desktop(PlatDesktop* out);
// The number of display modes; 0 when there is no display.
int plat_display_mode_count();

enum PlatWindowFlags {
  PLAT_WINDOW_HIDDEN = 1,
  PLAT_WINDOW_BORDERLESS = 2, // no title bar
  PLAT_WINDOW_RESIZABLE = 4,
  PLAT_WINDOW_MINIMIZED = 8,
  PLAT_WINDOW_MAXIMIZED = 16,
};
// Where the window system likes to put a new window.
const int PLAT_POS_DEFAULT = -65535;

// A top-level window with a client area of width x height at x, y on the
// desktop; null when the window system refuses it (or there is no display).
PlatWindow* plat_window_create(int x, int y, int width, int height, const char* title, int flags);
// A child area: a rectangle of parent's client area that frames are presented
// into; null on failure.
PlatWindow* plat_child_create(PlatWindow* parent, int x, int y, int width, int height);
// Destroys a window or child area (a window's child areas must go first).
void plat_window_destroy(PlatWindow* w);
// Gives a window the icon the desktop shows for it: width x height pixels,
// 0xAARRGGBB, top row first.
void plat_window_set_icon(PlatWindow* w, const uint32_t* argb, int width, int height);
// Changes the title a window shows.
void plat_window_set_title(PlatWindow* w, const char* title);
// Moves and sizes a window's client area, or a child area within its parent.
void plat_window_place(PlatWindow* w, int x, int y, int width, int height);
// The client area: position on the desktop (in the parent for a child area) and size.
PlatRect plat_window_rect(PlatWindow* w);
struct PlatBorders {
  int top, left, bottom, right;
};
// The frame (title bar and edges) the window system draws around a shown
// window's client area, in pixels; 0 where there is none or it is not known.
PlatBorders plat_window_borders(PlatWindow* w);
// Shows a window covering the display of plat_display_desktop without changing
// its mode (full 1), or hides it (full 0).
void plat_window_show_full(PlatWindow* w, int full);
// 1 while the window has the keyboard focus (is the foreground window).
int plat_window_has_focus(PlatWindow* w);
// Our window that has the focus, or null.
PlatWindow* plat_window_focused();
// A number the window carries for its owner (0 until set).
void plat_window_set_tag(PlatWindow* w, intptr_t tag);
intptr_t plat_window_tag(PlatWindow* w);

enum PlatEventKind {
  PLAT_EVENT_OTHER = 0, // anything else; raw tells what
  PLAT_EVENT_CLOSE,     // the user asked to close the window
  PLAT_EVENT_MOVED,
  PLAT_EVENT_RESIZED,
  PLAT_EVENT_EXPOSED, // the window needs repainting
  PLAT_EVENT_FOCUS_GAINED,
  PLAT_EVENT_FOCUS_LOST,
  PLAT_EVENT_MINIMIZED,
  PLAT_EVENT_MAXIMIZED,
  PLAT_EVENT_RESTORED,
};
struct PlatEvent {
  int kind;
  PlatWindow* window; // null for events of no window of ours
  int raw;            // the window system's own number for the event, never 0
};
// Takes the next event, waiting up to timeout_ms for one (0: do not wait, -1:
// without limit); 0 when there is none.
int plat_event_next(PlatEvent* ev, int timeout_ms);
// Lets the window system in without handling its events (they wait for
// plat_event_next), so that our windows keep answering it through work that
// takes longer than a frame. Cheap enough to call between any two steps.
void plat_event_pump();

// Shows or hides the mouse cursor over our windows.
void plat_cursor_show(int show);

// Shows the src rectangle of frame in w's client area: scaled into dst (see
// plat_scale_frame), or with dst null by the largest whole factor that fits (a
// plain fit where none does), centred on black. Returns 0 on failure.
int plat_window_present(PlatWindow* w, const Surface* frame, const PlatRect* src,
                        const PlatRect* dst);

enum PlatFit {
  PLAT_FIT_WHOLE, // the largest whole-number scale that fits; a plain fit where even 1 does not
  PLAT_FIT_SHARP, // the largest size that fits with the aspect kept
  PLAT_FIT_AUTO,  // whole where a scale of 2 or more fits, else sharp
};
// Where a frame of src_w x src_h goes in an area of dst_w x dst_h, centred.
PlatRect plat_fit_frame(int src_w, int src_h, int dst_w, int dst_h, int fit = PLAT_FIT_WHOLE);
// Draws the src rectangle of frame into the rectangle to of out (both 32-bit
// surfaces; to is clipped to out). Along a side where to is a whole multiple of
// src, each pixel becomes a block (nearest); otherwise the picture is first
// taken to the least whole multiple at least as large, nearest, and then down
// to size linearly, so pixel edges stay within one pixel. 0 when a surface is
// not 32-bit or src is empty or outside frame.
int plat_scale_frame(Surface* out, const PlatRect* to, const Surface* frame, const PlatRect* src);
