// Helpers shared by the backends that run on a POSIX system.
#pragma once

#include "runtime/platform/plat_core.h"

// The monotonic clock in milliseconds, wrapping.
uint32_t posix_monotonic_ms();
void posix_sleep_ms(uint32_t ms);
void posix_local_time(PlatLocalTime* out);
