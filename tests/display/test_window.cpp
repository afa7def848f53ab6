// The window library on the null platform: numbers, placement and events.
#include "tests/display/null_screen.h"

#include <vector>

namespace {
struct Windows : NullDisplay {
  // Every event code until window_event gives 0, the window system's own
  // numbers (0x1000 up on the null platform) left out.
  std::vector<int> drain() {
    std::vector<int> codes;
    while (int code = window_event())
      if (code < 0x1000 || code >= 0x2000) codes.push_back(code);
    return codes;
  }
};
} // namespace

TEST_F(Windows, NumbersAndHandles) {
  intptr_t number = window_open(-1, 0, 0, 100, 100, "any", 0);
  ASSERT_NE(number, 0);
  PlatWindow* any = window_handle((int)number);
  ASSERT_NE(any, nullptr);
  intptr_t handle = window_open(0, 0, 0, 100, 100, "zero", 0);
  EXPECT_EQ(handle, (intptr_t)window_handle(0));
  EXPECT_STREQ(null_window_title(window_handle(0)), "zero");
  window_open(0, 0, 0, 100, 100, "again", 0); // replaces window 0
  EXPECT_STREQ(null_window_title(window_handle(0)), "again");
  EXPECT_EQ(null_window_count(), 3); // two windows and the hidden base window
  window_close((int)number);
  EXPECT_EQ(window_handle((int)number), nullptr);
  window_close(5); // nothing there
  window_close_all();
  EXPECT_EQ(window_handle(0), nullptr);
  EXPECT_EQ(null_window_count(), 1);
}

TEST_F(Windows, RefusedWindowFreesItsNumber) {
  null_windows_allowed(0);
  EXPECT_EQ(window_open(2, 0, 0, 100, 100, "no", 0), 0);
  EXPECT_EQ(window_handle(2), nullptr);
}

TEST_F(Windows, CentredOnTheDesktopAndClampedToIt) {
  window_open(0, 0, 0, 640, 480, "centred", 0xC80001);
  PlatRect r = plat_window_rect(window_handle(0));
  EXPECT_EQ(r.x, (1024 - 640) / 2);
  EXPECT_EQ(r.y, (768 - 480) / 2);
  null_display_set(600, 400, FMT_X8R8G8B8, 60);
  window_open(1, 0, 0, 640, 480, "clamped", 0xC80001);
  r = plat_window_rect(window_handle(1));
  EXPECT_EQ(r.x, 0);
  EXPECT_EQ(r.y, 0);
  EXPECT_EQ(r.width, 600);
  EXPECT_EQ(r.height, 400);
  window_open(2, 100, 50, 64, 48, "placed", 0xC80000);
  r = plat_window_rect(window_handle(2));
  EXPECT_EQ(r.x, 100);
  EXPECT_EQ(r.y, 50);
}

TEST_F(Windows, CloseRequestIsAnEventAndTheWindowStays) {
  window_open(0, 0, 0, 640, 480, "w", 0xC80001);
  drain();
  EXPECT_EQ(window_event(), 0); // nothing pending, no wait
  null_window_send(window_handle(0), PLAT_EVENT_CLOSE);
  int raw = window_event();
  EXPECT_NE(raw, 0);                      // the window system's own event comes first...
  EXPECT_EQ(window_event(), EVENT_CLOSE); // ...then the event it queued
  EXPECT_EQ(window_event(), 0);
  EXPECT_NE(window_handle(0), nullptr);
}

TEST_F(Windows, EqualEventsInARowAreQueuedOnce) {
  window_open(0, 0, 0, 640, 480, "w", 0xC80001);
  drain();
  PlatWindow* w = window_handle(0);
  null_window_send(w, PLAT_EVENT_MOVED);
  null_window_send(w, PLAT_EVENT_MOVED);
  null_window_send(w, PLAT_EVENT_CLOSE);
  null_window_send(w, PLAT_EVENT_MOVED);
  window_dispatch_all(); // all four handled before any is taken out
  EXPECT_EQ(drain(), (std::vector<int>{EVENT_MOVED, EVENT_CLOSE, EVENT_MOVED}));
  EXPECT_EQ(event_push(3, 0, 0, 0), 1);
  EXPECT_EQ(event_push(3, 0, 0, 0), 0);
  EXPECT_EQ(event_push(3, 0, 0, 1), 1);
  EXPECT_EQ(drain(), (std::vector<int>{3, 3}));
}

TEST_F(Windows, SizeChangesTellWhatHappened) {
  window_open(0, 0, 0, 640, 480, "w", 0xC80001);
  drain();
  PlatWindow* w = window_handle(0);
  null_window_send(w, PLAT_EVENT_MAXIMIZED);
  null_window_send(w, PLAT_EVENT_RESTORED);
  null_window_send(w, PLAT_EVENT_RESTORED);
  null_window_send(w, PLAT_EVENT_MINIMIZED);
  window_dispatch_all(); // handled now, taken out below
  EXPECT_EQ(drain(), (std::vector<int>{EVENT_MAXIMIZED, EVENT_SIZED, EVENT_RESTORED, EVENT_SIZED,
                                       EVENT_MINIMIZED}));
}

TEST_F(Windows, FocusGainIsAnActivation) {
  window_open(0, 0, 0, 640, 480, "w", 0xC80001);
  EXPECT_EQ(drain(), (std::vector<int>{EVENT_ACTIVATED}));
  null_set_focus(0);
  EXPECT_EQ(drain(), (std::vector<int>{}));
  null_set_focus(1);
  EXPECT_EQ(drain(), (std::vector<int>{EVENT_ACTIVATED}));
}

TEST_F(Windows, EndingTheLibraryDropsEverything) {
  window_open(0, 0, 0, 640, 480, "w", 0xC80001);
  null_window_send(window_handle(0), PLAT_EVENT_CLOSE);
  window_dispatch_all();
  gui_end();
  EXPECT_EQ(window_handle(0), nullptr);
  EXPECT_EQ(window_event(), 0);
  EXPECT_EQ(event_push(16, 0, 0, 0), 0); // no queue until it is made again
  event_queue_init();
  window_library_init();
}
