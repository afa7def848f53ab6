// Application windows, their events, the hidden base window and the message box.
// Windows are numbered in an object table; the window system's messages become
// numbered events that the program polls with window_event.
#pragma once

#include "runtime/platform/plat_window.h"

#include <cstdint>

// Event codes window_event returns (any other nonzero value is the window
// system's own number of an event it dispatched).
enum WindowEventCode {
  EVENT_MOVED = 3,
  EVENT_SIZED = 5,
  EVENT_REPAINT = 15,
  EVENT_CLOSE = 16, // the user asked to close the window; it stays open
  EVENT_ACTIVATED = 13104,
  EVENT_MINIMIZED = 13107,
  EVENT_MAXIMIZED = 13108,
  EVENT_RESTORED = 13109,
};

// Window flags (the system's style bits, and the library's own low bits).
enum WindowFlags {
  WINDOW_CENTRE_SCREEN = 1, // centre on the desktop, clamped to its size
  WINDOW_CENTRE_PARENT = 2, // centre on the parent (or the active window)
  WINDOW_TOOL = 4,
  WINDOW_NO_CONTROLS = 8,
  WINDOW_MAXIMIZE_BOX = 0x10000,
  WINDOW_MINIMIZE_BOX = 0x20000,
  WINDOW_SIZING = 0x40000,
  WINDOW_CLOSE_BOX = 0x80000, // a system menu with a close box
  WINDOW_CAPTION = 0xC00000,
  WINDOW_MAXIMIZED = 0x01000000,
  WINDOW_INVISIBLE = 0x10000000,
  WINDOW_MINIMIZED = 0x20000000,
};

// Makes the event queue (start-up, before window_library_init).
void event_queue_init();
// Makes the window table and the event state (start-up).
void window_library_init();
// Ends the window library: the table and the queue go, as before start-up.
void gui_end();

// Opens window n (-1: a new number) with a client area of width x height, titled;
// returns the number for -1, the window's system handle for n >= 0, 0 on failure.
intptr_t window_open(int n, int x, int y, int width, int height, const char* title, int flags,
                     PlatWindow* parent = nullptr);
// Makes window n's client area scale times width x height, centred: scale 0
// takes the largest multiple whose window, frame and all, fits the usable
// desktop; a scale whose client area would not fit the desktop becomes the
// largest that does. Returns the scale used (1 at least), 0 when there is no window n.
int window_scale(int n, int width, int height, int scale);
// The whole multiple of its size a window should take on the display: the
// scale the player set for it (150%: 2) rounded to the nearest whole number,
// halves up; 1 where none is set or there is no display.
int window_display_scale();
// Gives window n the icon the desktop shows for it: width x height pixels,
// 0xAARRGGBB, top row first; 0 when there is no window n.
int window_set_icon(int n, const uint32_t* argb, int width, int height);
// The system handle of window n, or null.
PlatWindow* window_handle(int n);
// Destroys window n; nothing happens when there is none.
void window_close(int n);
// Destroys every window, in table order.
void window_close_all();

// The next event code (one window-system event handled per call); 0 when nothing
// is pending. Same as window_event_wait(0).
int window_event();
// As window_event, waiting up to timeout ms for an event (-1: without limit).
int window_event_wait(int timeout);
// Queues an event unless it equals the last one queued; 0 when dropped.
int event_push(int code, int object, int window, int extra);
// Handles every pending window-system event, keeping the events they queue (the
// full-screen flip does this, so that a full screen follows its activation
// whether or not its caller polls window_event).
void window_dispatch_all();
// Lets the window system in without handling its events (they wait for
// window_event), so that our windows keep answering it through work that takes
// longer than a frame, such as loading the art.
void window_pump();

// Creates the hidden base window once; 1 if it exists afterwards, else 0.
int base_window_create();
// The hidden base window, or null.
PlatWindow* base_window();
// Destroys the hidden base window (display shutdown).
void base_window_destroy();

// Shows a modal message box (style 16: error icon) and waits until it is closed;
// where no display can show it, title and text go to standard error. Returns
// the button pressed (1: OK).
int message_box(const char* title, const char* text, int style);
