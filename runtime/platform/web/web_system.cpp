// The browser: the process, the clock, the sleep that lets the page run, and
// the one thread. Files, folders and local time are emscripten's, through the
// POSIX calls (posix/). The page's side is web_page.js.
#include "runtime/platform/plat_system.h"

#include <emscripten.h>

// The page's clock stands still while the page is hidden, so a caption's guard
// time or the first hint's seconds do not run out behind the player's back.
// (A program without the page, such as a benchmark run by node, has the plain
// clock and never waits.)
uint32_t sys_monotonic_ms() {
  return (uint32_t)(uint64_t)EM_ASM_DOUBLE(
      { return Module['pageClock'] ? Module['pageClock']() : performance.now(); });
}

EM_ASYNC_JS(void, web_wait_shown, (), { await Module['pageShown'](); });

// The page scales the picture to the browser's window itself.
int sys_display_scale_percent() { return 100; }

// The page draws, reads keys and plays sound only while the game waits here:
// the game's stack is put aside (asyncify) and the browser runs until the time
// is up. A sleep of 0 still gives the browser its turn. A hidden page runs no
// frames: the game waits here until it is shown again, one frame then as any
// other. Module.sleeps counts the sleeps: the game sleeps once a frame, so a
// key held across two of them has been seen by a frame.
void sys_sleep_ms(uint32_t ms) {
  EM_ASM({ Module['sleeps'] = (Module['sleeps'] || 0) + 1; });
  emscripten_sleep(ms);
  if (EM_ASM_INT({ return Module['pageShown'] && document.hidden ? 1 : 0; })) web_wait_shown();
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
