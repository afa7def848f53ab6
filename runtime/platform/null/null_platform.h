// Test controls of the null backend: no window system, no sound device, a
// virtual clock that sleeping advances, and a keyboard fed by the test. Tasks
// run on real threads, as on a desktop.
#pragma once

#include "runtime/platform/plat_core.h"

#include "runtime/platform/plat_window.h"

#include <functional>
#include <string>
#include <vector>

// Back to the start-up defaults: clock at 1000 ms, no keys, focus, a keyboard,
// no hooks, real local time.
void null_reset();

void null_clock_set(uint32_t ms);

// Called at every keyboard read with the number of reads so far (0 first) and
// the snapshot to fill; without a script the keys set by null_key_set are read.
using NullKeyboardScript = std::function<void(uint32_t read_index, uint8_t snapshot[256])>;
void null_keyboard_script(NullKeyboardScript script);
void null_key_set(int scancode, int down);
uint32_t null_keyboard_reads();
// 0: no keyboard device can be opened.
void null_keyboard_present(int present);
// 0: the game's windows are in the background: keyboard reads fail, and the
// foreground window gets a focus-lost event (1: focus-gained).
void null_set_focus(int focused);
int null_has_focus();

// Called by plat_exit instead of ending the process; a test may throw from it.
using NullExitHook = std::function<void(int code)>;
void null_exit_hook(NullExitHook hook);

// A fixed local time for date_now; null returns to the real time.
void null_local_time_set(const PlatLocalTime* time);

// Title and text of the message boxes shown so far, one "title: text" line each.
const std::string& null_messages();

// 1: a sound device that plays nothing but keeps its buffers' state (default 0:
// none). Also clears the counts and records below.
void null_audio_present(int present);
// Successful plays so far, over all buffers.
int null_audio_plays();
// Sound buffers alive now.
int null_audio_buffers();
// Every attenuation set on any buffer so far, in order.
const std::vector<int>& null_audio_volumes();
// What the last play started: the buffer's samples from its play position on.
const std::vector<uint8_t>& null_audio_last_played();

// The display: 0 makes plat_display_open fail (no display at all). The desktop
// is 1024x768 X8R8G8B8 at 60 Hz until changed, usable all over, and windows
// have no frame.
void null_display_present(int present);
// No display but a compositor that offers no keyboard (the one refused for that).
void null_display_without_keyboard();
void null_display_set(int width, int height, int format, int refresh_rate);
// The part of the desktop windows may use (null_display_set makes it the whole).
void null_display_usable(PlatRect usable);
// The display's scale its user set, in percent (100 until changed).
void null_display_scale(int percent);
// The frame around every top-level window.
void null_window_borders(PlatBorders borders);
// Back to one desktop and no windows or events (part of null_reset).
void null_display_reset();
// How many more top-level windows the window system makes before it refuses
// (-1, the default: any number).
void null_windows_allowed(int count);

// A window's state as the window system sees it.
const char* null_window_title(PlatWindow* w);
// The icon a window was given (0xAARRGGBB, top row first) and its width.
const std::vector<uint32_t>& null_window_icon(PlatWindow* w, int* width);
int null_window_visible(PlatWindow* w);
int null_window_full(PlatWindow* w);
int null_window_count();
// Queues an event for a window, as the window system would (PlatEventKind).
void null_window_send(PlatWindow* w, int kind);
// How often the window system was let in (plat_event_pump) since the last reset.
int null_event_pumps();
// The last frame presented into a window or its child areas: the source
// rectangle's pixels as X8R8G8B8, and where they went in the window's client area.
const Surface* null_window_frame(PlatWindow* w, PlatRect* where);
int null_window_presents(PlatWindow* w);
// 1 while the mouse cursor is shown.
int null_cursor_shown();
