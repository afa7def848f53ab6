#include "runtime/display/window.h"

#include "runtime/display/object_table.h"
#include "runtime/display/screen.h"
#include "runtime/platform/plat_core.h"

#include <algorithm>
#include <deque>

struct WindowRecord {
  PlatWindow* handle; // null: the slot is free
  int sized;          // 1 while minimised or maximised
};

struct QueuedEvent {
  int code, object, window, extra;
};

struct WindowState {
  ObjectTable table;             // WindowRecords, freed by window_close
  int table_ready;               // window_library_init ran
  std::deque<QueuedEvent> queue; // events the window procedures queued
  int queue_ready;               // event_queue_init ran; until then events are dropped
  PlatWindow* base;              // the hidden base window, once created
};
static WindowState win;

static WindowRecord* window_lookup(int n) {
  return win.table_ready ? (WindowRecord*)object_table_lookup(&win.table, n) : nullptr;
}

void event_queue_init() {
  win.queue.clear();
  win.queue_ready = 1;
}

void window_library_init() {
  if (win.table_ready) return;
  object_table_create(&win.table, sizeof(WindowRecord), 16, window_close);
  win.table_ready = 1;
}

void gui_end() {
  if (win.table_ready) object_table_destroy(&win.table);
  win.table_ready = 0;
  win.queue.clear();
  win.queue_ready = 0;
}

int event_push(int code, int object, int window, int extra) {
  if (!win.queue_ready) return 0;
  QueuedEvent e = {code, object, window, extra};
  if (!win.queue.empty()) {
    const QueuedEvent& last = win.queue.back();
    if (last.code == code && last.object == object && last.window == window && last.extra == extra)
      return 0;
  }
  win.queue.push_back(e);
  return 1;
}

static int platform_flags(int style, int invisible) {
  int flags = invisible ? PLAT_WINDOW_HIDDEN : 0;
  if ((style & WINDOW_CAPTION) != WINDOW_CAPTION) flags |= PLAT_WINDOW_BORDERLESS;
  if (style & WINDOW_SIZING) flags |= PLAT_WINDOW_RESIZABLE;
  if (style & WINDOW_MAXIMIZED) flags |= PLAT_WINDOW_MAXIMIZED;
  if (style & WINDOW_MINIMIZED) flags |= PLAT_WINDOW_MINIMIZED;
  return flags;
}

intptr_t window_open(int n, int x, int y, int width, int height, const char* title, int flags,
                     PlatWindow* parent) {
  if (!win.table_ready || width < 0 || height < 0) return 0;
  int number;
  WindowRecord* r = (WindowRecord*)object_table_allocate(&win.table, n, &number);
  if (!r) return 0;

  int style = flags & ~WINDOW_NO_CONTROLS;
  if ((flags & ~(WINDOW_CENTRE_SCREEN | WINDOW_CENTRE_PARENT | WINDOW_INVISIBLE)) == 0)
    style |= WINDOW_CAPTION;
  int invisible = style & WINDOW_INVISIBLE;
  style &= ~WINDOW_INVISIBLE;
  if (flags & WINDOW_TOOL) style = (style & 0xDEFCFFFF) | WINDOW_CAPTION;
  style &= ~7;

  if ((x == PLAT_POS_DEFAULT || y == PLAT_POS_DEFAULT) &&
      !(flags & (WINDOW_CENTRE_SCREEN | WINDOW_CENTRE_PARENT)))
    x = y = PLAT_POS_DEFAULT;
  PlatDesktop desk;
  if ((flags & WINDOW_CENTRE_SCREEN) && plat_display_desktop(&desk)) {
    if (width > desk.width) width = desk.width;
    if (height > desk.height) height = desk.height;
    x = desk.x + (desk.width - width) / 2;
    y = desk.y + (desk.height - height) / 2;
  } else if (flags & WINDOW_CENTRE_PARENT) {
    PlatWindow* around = parent ? parent : plat_window_focused();
    if (around) {
      PlatRect p = plat_window_rect(around);
      x = p.x + (p.width - width) / 2;
      y = p.y + (p.height - height) / 2;
    }
    if (x < 0) x = 0;
    if (y < 0) y = 0;
  }

  PlatWindow* handle =
      plat_window_create(x, y, width, height, title, platform_flags(style, invisible));
  if (!handle) {
    object_table_release(&win.table, number);
    return 0;
  }
  plat_window_set_tag(handle, (intptr_t)number + 1);
  r->handle = handle;
  r->sized = (style & (WINDOW_MAXIMIZED | WINDOW_MINIMIZED)) != 0;
  return n == -1 ? (intptr_t)number : (intptr_t)handle;
}

int window_display_scale() {
  PlatDesktop desk = {};
  if (!plat_display_desktop(&desk) || desk.scale_percent <= 100) return 1;
  return (desk.scale_percent + 50) / 100;
}

int window_scale(int n, int width, int height, int scale) {
  WindowRecord* r = window_lookup(n);
  PlatDesktop desk;
  if (!r || width < 1 || height < 1) return 0;
  if (!plat_display_desktop(&desk)) return 1;
  // Where the client area may go: a scale asked for is held to the desktop, as
  // window_open holds a window; the automatic one keeps clear of panels and
  // leaves room for the frame.
  PlatRect room = {desk.x, desk.y, desk.width, desk.height};
  if (scale == 0) {
    PlatBorders b = plat_window_borders(r->handle);
    room = {desk.usable.x + b.left, desk.usable.y + b.top, desk.usable.width - b.left - b.right,
            desk.usable.height - b.top - b.bottom};
  }
  int fits = std::min(room.width / width, room.height / height);
  if (scale == 0 || scale > fits) scale = fits;
  if (scale < 1) scale = 1;
  int w = width * scale, h = height * scale;
  plat_window_place(r->handle, room.x + std::max(0, (room.width - w) / 2),
                    room.y + std::max(0, (room.height - h) / 2), w, h);
  return scale;
}

int window_set_icon(int n, const uint32_t* argb, int width, int height) {
  WindowRecord* r = window_lookup(n);
  if (!r || !argb || width < 1 || height < 1) return 0;
  plat_window_set_icon(r->handle, argb, width, height);
  return 1;
}

PlatWindow* window_handle(int n) {
  WindowRecord* r = window_lookup(n);
  return r ? r->handle : nullptr;
}

void window_close(int n) {
  WindowRecord* r = window_lookup(n);
  if (!r) return;
  PlatWindow* handle = r->handle;
  // A screen inside the window would present into a window that is gone.
  screen_forget_window(handle);
  plat_window_destroy(handle);
  object_table_release(&win.table, n);
}

void window_close_all() {
  if (win.table_ready) object_table_free_all(&win.table);
}

// What the library does with a window-system event of one of our windows: it
// queues the numbered events, and lets the screen repaint its window.
static void dispatch(const PlatEvent& ev) {
  PlatWindow* w = ev.window;
  if (!w) return;
  if (w == win.base) {
    if (ev.kind == PLAT_EVENT_FOCUS_GAINED || ev.kind == PLAT_EVENT_FOCUS_LOST)
      screen_base_activated(ev.kind == PLAT_EVENT_FOCUS_GAINED);
    // The desktop's close (a window manager's close, Alt+F4) of a full screen
    // is the player's, as in a window: a close event of no window number.
    if (ev.kind == PLAT_EVENT_CLOSE) event_push(EVENT_CLOSE, -1, -1, 0);
    return;
  }
  int n = (int)plat_window_tag(w) - 1;
  WindowRecord* r = window_lookup(n);
  if (!r || r->handle != w) return;
  switch (ev.kind) {
  case PLAT_EVENT_CLOSE: event_push(EVENT_CLOSE, n, n, 0); break;
  case PLAT_EVENT_MOVED: event_push(EVENT_MOVED, n, n, 0); break;
  case PLAT_EVENT_RESIZED: event_push(EVENT_SIZED, n, n, 0); break;
  case PLAT_EVENT_MINIMIZED:
    r->sized = 1;
    event_push(EVENT_MINIMIZED, n, n, 0);
    break;
  case PLAT_EVENT_MAXIMIZED:
    r->sized = 1;
    event_push(EVENT_MAXIMIZED, n, n, 0);
    event_push(EVENT_SIZED, n, n, 0);
    break;
  case PLAT_EVENT_RESTORED:
    if (r->sized) event_push(EVENT_RESTORED, n, n, 0);
    r->sized = 0;
    event_push(EVENT_SIZED, n, n, 0);
    break;
  case PLAT_EVENT_FOCUS_GAINED: event_push(EVENT_ACTIVATED, n, n, 0); break;
  case PLAT_EVENT_EXPOSED: event_push(EVENT_REPAINT, n, n, 0); break;
  }
  screen_window_event(w, ev.kind);
}

int window_event_wait(int timeout) {
  if (!win.queue.empty()) {
    int code = win.queue.front().code;
    win.queue.pop_front();
    return code;
  }
  PlatEvent ev;
  if (!plat_event_next(&ev, timeout)) return 0;
  dispatch(ev);
  return ev.raw; // the events it queued come out on the next calls
}

int window_event() { return window_event_wait(0); }

void window_dispatch_all() {
  PlatEvent ev;
  while (plat_event_next(&ev, 0)) dispatch(ev);
}

void window_pump() { plat_event_pump(); }

int base_window_create() {
  if (win.base) return 1;
  if (screen_top_window()) return 0;
  win.base = plat_window_create(0, 0, 1, 1, "", PLAT_WINDOW_HIDDEN | PLAT_WINDOW_BORDERLESS);
  return win.base != nullptr;
}

PlatWindow* base_window() { return win.base; }

void base_window_destroy() {
  if (!win.base) return;
  plat_window_destroy(win.base);
  win.base = nullptr;
}

int message_box(const char* title, const char* text, int style) {
  return plat_message_box(title, text, style);
}
