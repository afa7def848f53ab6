// The browser: the clock, the sleep that lets the page run, local time and
// the one thread. Files and folders are emscripten's, through the POSIX calls
// (posix/); the requests to end are the page's (Escape ends the game there).
#include "runtime/platform/plat_system.h"

#include <ctime>
#include <emscripten.h>

uint32_t sys_monotonic_ms() { return (uint32_t)(uint64_t)emscripten_get_now(); }

// The page draws, reads keys and plays sound only while the game waits here:
// the game's stack is put aside (asyncify) and the browser runs until the time
// is up. A sleep of 0 still gives the browser its turn. Module.sleeps counts
// them: the game sleeps once a frame, so a key held across two of them has
// been seen by a frame.
void sys_sleep_ms(uint32_t ms) {
  EM_ASM({ Module['sleeps'] = (Module['sleeps'] || 0) + 1; });
  emscripten_sleep(ms);
}

void sys_local_time(PlatLocalTime* out) {
  time_t now = time(nullptr);
  tm t{};
  localtime_r(&now, &t);
  *out = {t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec};
}

// A page runs the game on one thread.
uint32_t plat_thread_id() { return 1; }
