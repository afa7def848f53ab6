// What each system's folder (posix/, win32/, web/) gives the backends beside
// plat_core.h: the clock and sleep they build on, local time, and the guard
// around a message box.
#pragma once

#include "runtime/platform/plat_core.h"

// A monotonic clock in milliseconds, wrapping.
uint32_t sys_monotonic_ms();
// Sleeps ms milliseconds, resumed when interrupted.
void sys_sleep_ms(uint32_t ms);
void sys_local_time(PlatLocalTime* out);
// The scale the player set for the display in percent (150 for 150%), where the
// system asks programs to follow it (Windows); 100 elsewhere.
int sys_display_scale_percent();

// Around a message box that the window system may show from a process of its
// own (SDL's on X11 and Wayland): begin returns 0, and no box should be shown,
// when a quit signal already came. Between begin and end, a process made by a
// fork dies with ours, and a quit signal ends it, which closes the box.
// Systems that show boxes in the process itself only answer begin.
int sys_box_begin();
void sys_box_end();
