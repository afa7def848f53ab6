// Helpers shared by the backends that run on a POSIX system.
#pragma once

#include "runtime/platform/plat_core.h"

// The monotonic clock in milliseconds, wrapping.
uint32_t posix_monotonic_ms();
void posix_sleep_ms(uint32_t ms);
void posix_local_time(PlatLocalTime* out);

// Around a message box that the window system may show from a process of its
// own: begin returns 0 (show none) when a quit signal already came; between
// begin and end, the process a fork makes dies with ours, and a quit signal
// kills it, which ends the box.
int posix_box_begin();
void posix_box_end();
