// The browser: the process, the clock, the sleep that lets the page run, and
// the one thread. Files, folders and local time are emscripten's, through the
// POSIX calls (posix/).
#include "runtime/platform/plat_system.h"

#include <emscripten.h>

uint32_t sys_monotonic_ms() { return (uint32_t)(uint64_t)emscripten_get_now(); }

// The page draws, reads keys and plays sound only while the game waits here:
// the game's stack is put aside (asyncify) and the browser runs until the time
// is up. A sleep of 0 still gives the browser its turn. Module.sleeps counts
// them: the game sleeps once a frame, so a key held across two of them has
// been seen by a frame.
// The page scales the picture to the browser's window itself.
int sys_display_scale_percent() { return 100; }

void sys_sleep_ms(uint32_t ms) {
  EM_ASM({ Module['sleeps'] = (Module['sleeps'] || 0) + 1; });
  emscripten_sleep(ms);
}

// A page runs the game on one thread.
uint32_t plat_thread_id() { return 1; }

// A page has no standard streams to lose and no signals: the player ends the
// game with Escape or by leaving the page.
int plat_process_start() { return 1; }
int plat_quit_signals(int) { return 1; }
int plat_quit_signalled() { return 0; }

// Boxes are shown by the page itself.
int sys_box_begin() { return 1; }
void sys_box_end() {}
