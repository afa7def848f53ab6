// Null backend: a desktop and windows that exist only as records. The last
// window shown is the foreground window; it has the focus while null_set_focus
// says so. Presenting keeps a copy of the frame for tests to read.
#include "runtime/platform/null/null_platform.h"

#include <algorithm>
#include <deque>
#include <string>
#include <vector>

struct PlatWindow {
  PlatWindow* parent; // child areas: the window they sit in
  PlatRect rect;      // client area on the desktop; child areas: in the parent
  std::string title;
  std::vector<uint32_t> icon; // 0xAARRGGBB, top row first
  int icon_width;
  int visible;
  int full;
  intptr_t tag;
  Surface* frame; // the last frame presented into this window (or a child area)
  PlatRect frame_at;
  int presents;
};

namespace {
struct NullWindowState {
  int display_present = 1;
  int no_keyboard = 0; // the display missing is one without a keyboard
  int display_users = 0;
  PlatDesktop desktop = {1024, 768, FMT_X8R8G8B8, 60, {0, 0, 1024, 768}, 100};
  PlatBorders borders = {0, 0, 0, 0}; // of every top-level window
  int windows_allowed = -1;           // top-level windows still to be made, -1 any number
  int focused = 1;
  std::vector<PlatWindow*> windows; // top-level, in the order shown (foreground last)
  std::deque<PlatEvent> events;
  int cursor_hidden = 0; // hide requests not yet undone
  int pumps = 0;         // plat_event_pump calls
};
NullWindowState nw;
} // namespace

static PlatWindow* top_of(PlatWindow* w) { return w && w->parent ? w->parent : w; }

static PlatWindow* foreground() {
  for (auto it = nw.windows.rbegin(); it != nw.windows.rend(); ++it)
    if ((*it)->visible) return *it;
  return nullptr;
}

static void push(PlatWindow* w, int kind) { nw.events.push_back({kind, w, 0x1000 + kind}); }

// Tells the windows whose focus changed since before was the foreground window.
static void refocus(PlatWindow* before) {
  PlatWindow* after = foreground();
  if (before == after || !nw.focused) return;
  if (before) push(before, PLAT_EVENT_FOCUS_LOST);
  if (after) push(after, PLAT_EVENT_FOCUS_GAINED);
}

static void unlist(PlatWindow* w) {
  nw.windows.erase(std::remove(nw.windows.begin(), nw.windows.end(), w), nw.windows.end());
}

void null_display_present(int present) {
  nw.display_present = present;
  nw.no_keyboard = 0;
}
void null_display_without_keyboard() {
  nw.display_present = 0;
  nw.no_keyboard = 1;
}
void null_display_set(int width, int height, int format, int refresh_rate) {
  nw.desktop = {width, height, format, refresh_rate, {0, 0, width, height}, 100};
}
void null_display_usable(PlatRect usable) { nw.desktop.usable = usable; }
void null_display_scale(int percent) { nw.desktop.scale_percent = percent; }
void null_window_borders(PlatBorders borders) { nw.borders = borders; }
void null_display_reset() { nw = NullWindowState(); }
void null_windows_allowed(int count) { nw.windows_allowed = count; }

void null_set_focus(int focused) {
  if (focused == nw.focused) return;
  nw.focused = focused;
  if (PlatWindow* w = foreground())
    push(w, focused ? PLAT_EVENT_FOCUS_GAINED : PLAT_EVENT_FOCUS_LOST);
}
int null_has_focus() { return nw.focused; }

const char* null_window_title(PlatWindow* w) { return w->title.c_str(); }
int null_window_visible(PlatWindow* w) { return w->visible; }
int null_window_full(PlatWindow* w) { return w->full; }
int null_window_count() { return (int)nw.windows.size(); }
void null_window_send(PlatWindow* w, int kind) { push(w, kind); }
int null_window_presents(PlatWindow* w) { return w->presents; }
int null_cursor_shown() { return nw.cursor_hidden == 0; }

const Surface* null_window_frame(PlatWindow* w, PlatRect* where) {
  if (where) *where = w->frame_at;
  return w->frame;
}

int plat_display_open() {
  if (!nw.display_present) return 0;
  nw.display_users++;
  return 1;
}

int plat_display_lacks_keyboard() { return !nw.display_present && nw.no_keyboard; }

void plat_display_close() {
  if (nw.display_users > 0) nw.display_users--;
}

int plat_display_desktop(PlatDesktop* out) {
  if (!nw.display_present) return 0;
  *out = nw.desktop;
  return 1;
}

int plat_display_mode_count() { return nw.display_present ? 1 : 0; }

PlatWindow* plat_window_create(int x, int y, int width, int height, const char* title, int flags) {
  if (!nw.display_present || !nw.windows_allowed || width < 0 || height < 0) return nullptr;
  if (nw.windows_allowed > 0) nw.windows_allowed--;
  PlatWindow* w = new PlatWindow{};
  if (x == PLAT_POS_DEFAULT) x = 0;
  if (y == PLAT_POS_DEFAULT) y = 0;
  w->rect = {x, y, width, height};
  w->title = title ? title : "";
  if (flags & PLAT_WINDOW_HIDDEN) {
    nw.windows.insert(nw.windows.begin(), w);
    return w;
  }
  PlatWindow* before = foreground();
  w->visible = 1;
  nw.windows.push_back(w);
  refocus(before);
  return w;
}

PlatWindow* plat_child_create(PlatWindow* parent, int x, int y, int width, int height) {
  if (!parent || parent->parent) return nullptr;
  PlatWindow* w = new PlatWindow{};
  w->parent = parent;
  w->rect = {x, y, width, height};
  w->visible = 1;
  return w;
}

void plat_window_destroy(PlatWindow* w) {
  if (!w) return;
  if (!w->parent) {
    PlatWindow* before = foreground();
    unlist(w);
    refocus(before);
  }
  nw.events.erase(std::remove_if(nw.events.begin(), nw.events.end(),
                                 [w](const PlatEvent& e) { return e.window == w; }),
                  nw.events.end());
  surface_free(w->frame);
  delete w;
}

PlatBorders plat_window_borders(PlatWindow* w) {
  return w->parent ? PlatBorders{0, 0, 0, 0} : nw.borders;
}

void plat_window_set_icon(PlatWindow* w, const uint32_t* argb, int width, int height) {
  w->icon.assign(argb, argb + (size_t)width * height);
  w->icon_width = width;
}
const std::vector<uint32_t>& null_window_icon(PlatWindow* w, int* width) {
  *width = w->icon_width;
  return w->icon;
}

void plat_window_set_title(PlatWindow* w, const char* title) { w->title = title ? title : ""; }

void plat_window_place(PlatWindow* w, int x, int y, int width, int height) {
  w->rect = {x, y, width, height};
}

PlatRect plat_window_rect(PlatWindow* w) {
  if (w->full) return {0, 0, nw.desktop.width, nw.desktop.height};
  return w->rect;
}

void plat_window_show_full(PlatWindow* w, int full) {
  PlatWindow* before = foreground();
  w->full = full;
  w->visible = full;
  unlist(w);
  if (full)
    nw.windows.push_back(w);
  else
    nw.windows.insert(nw.windows.begin(), w); // hidden, at the back
  refocus(before);
}

int plat_window_has_focus(PlatWindow* w) { return nw.focused && w && top_of(w) == foreground(); }

PlatWindow* plat_window_focused() { return nw.focused ? foreground() : nullptr; }

void plat_window_set_tag(PlatWindow* w, intptr_t tag) { w->tag = tag; }
intptr_t plat_window_tag(PlatWindow* w) { return w->tag; }

void plat_event_pump() { nw.pumps++; }
int null_event_pumps() { return nw.pumps; }

int plat_event_next(PlatEvent* ev, int timeout_ms) {
  if (nw.events.empty()) {
    if (timeout_ms > 0) plat_sleep_ms((uint32_t)timeout_ms);
    return 0;
  }
  *ev = nw.events.front();
  nw.events.pop_front();
  return 1;
}

void plat_cursor_show(int show) { nw.cursor_hidden += show ? -1 : 1; }

int plat_window_present(PlatWindow* w, const Surface* frame, const PlatRect* src,
                        const PlatRect* dst) {
  if (!w || !frame || src->width < 1 || src->height < 1) return 0;
  PlatWindow* top = top_of(w);
  PlatRect client = plat_window_rect(w);
  PlatRect at = dst ? *dst : plat_fit_frame(src->width, src->height, client.width, client.height);
  if (w->parent) {
    at.x += w->rect.x;
    at.y += w->rect.y;
  }
  if (!top->frame || top->frame->width != src->width || top->frame->height != src->height) {
    surface_free(top->frame);
    top->frame = surface_create(src->width, src->height, FMT_X8R8G8B8);
    if (!top->frame) return 0;
  }
  surface_copy(top->frame, 0, 0, frame, src->x, src->y, src->width, src->height);
  top->frame_at = at;
  top->presents++;
  return 1;
}
