// What window managers send to and read from windows, through Xlib. Kept apart:
// Xlib's macros clash with GoogleTest's names.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <string>
#include <vector>

// Xlib's own handler ends the process on any error, such as a window that has
// gone meanwhile; this one only remembers it.
static bool x_failed;
static int note_x_error(Display*, XErrorEvent*) {
  x_failed = true;
  return 0;
}

bool request_close(const std::string& display, unsigned long window) {
  Display* d = XOpenDisplay(display.c_str());
  if (!d) return false;
  x_failed = false;
  XErrorHandler previous = XSetErrorHandler(note_x_error);
  XEvent e = {};
  e.xclient.type = ClientMessage;
  e.xclient.window = window;
  e.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
  e.xclient.format = 32;
  e.xclient.data.l[0] = (long)XInternAtom(d, "WM_DELETE_WINDOW", False);
  e.xclient.data.l[1] = CurrentTime;
  XSendEvent(d, window, False, NoEventMask, &e);
  XSync(d, False);
  XCloseDisplay(d);
  XSetErrorHandler(previous);
  return !x_failed;
}

bool top_window_titled(const std::string& display, const std::string& title) {
  Display* d = XOpenDisplay(display.c_str());
  if (!d) return false;
  XErrorHandler previous = XSetErrorHandler(note_x_error);
  // Titles in UTF-8 (_NET_WM_NAME), as SDL's message box gives them only so.
  const Atom name = XInternAtom(d, "_NET_WM_NAME", False),
             utf8 = XInternAtom(d, "UTF8_STRING", False);
  Window root, parent, *children = nullptr;
  unsigned count = 0;
  bool found = false;
  if (XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &count)) {
    for (unsigned i = 0; i < count && !found; i++) {
      Atom type;
      int format;
      unsigned long items, after;
      unsigned char* value = nullptr;
      if (XGetWindowProperty(d, children[i], name, 0, 1024, False, utf8, &type, &format, &items,
                             &after, &value) == Success &&
          value) {
        found = title == std::string((const char*)value, items);
        XFree(value);
      }
    }
    if (children) XFree(children);
  }
  XCloseDisplay(d);
  XSetErrorHandler(previous);
  return found;
}

// A window property of 32-bit items (Xlib hands them out as longs); empty when
// the window has none or is gone.
static std::vector<unsigned long> property(const std::string& display, unsigned long window,
                                           const char* name, Atom type) {
  std::vector<unsigned long> items;
  Display* d = XOpenDisplay(display.c_str());
  if (!d) return items;
  x_failed = false;
  XErrorHandler previous = XSetErrorHandler(note_x_error);
  Atom got_type;
  int format;
  unsigned long count, after;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(d, window, XInternAtom(d, name, False), 0, 1 << 20, False, type, &got_type,
                         &format, &count, &after, &data) == Success &&
      data && format == 32)
    for (unsigned long i = 0; i < count; i++) // Xlib widens them with their sign
      items.push_back(((unsigned long*)data)[i] & 0xFFFFFFFFu);
  if (data) XFree(data);
  XSync(d, False);
  XCloseDisplay(d);
  XSetErrorHandler(previous);
  return items;
}

std::vector<unsigned long> window_icon(const std::string& display, unsigned long window) {
  return property(display, window, "_NET_WM_ICON", XA_CARDINAL);
}

int window_has_maximum_size(const std::string& display, unsigned long window) {
  // WM_NORMAL_HINTS: flags first; PMaxSize is bit 5.
  std::vector<unsigned long> hints = property(display, window, "WM_NORMAL_HINTS", XA_WM_SIZE_HINTS);
  return hints.empty() ? -1 : (hints[0] & PMaxSize) != 0;
}
