// What each system's folder (posix/, win32/, web/) gives the backends beside
// plat_core.h: the clock and sleep they build on, and local time.
#pragma once

#include "runtime/platform/plat_core.h"

// A monotonic clock in milliseconds, wrapping.
uint32_t sys_monotonic_ms();
// Sleeps ms milliseconds, resumed when interrupted.
void sys_sleep_ms(uint32_t ms);
void sys_local_time(PlatLocalTime* out);
