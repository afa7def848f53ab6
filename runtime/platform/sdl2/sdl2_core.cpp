// SDL2 backend: clock, exit, tasks beside the main thread and message box.
#include "runtime/platform/plat_system.h"
#include "runtime/platform/plat_window.h"

#include <SDL.h>
#include <cstdlib>
#include <new>

uint32_t plat_ticks_ms() { return sys_monotonic_ms(); }
void plat_sleep_ms(uint32_t ms) { sys_sleep_ms(ms); }
void plat_local_time(PlatLocalTime* out) { sys_local_time(out); }

struct PlatTask {
  SDL_Thread* thread;
  void (*work)(void*);
  void* arg;
};

static int run_task(void* task) {
  ((PlatTask*)task)->work(((PlatTask*)task)->arg);
  return 0;
}

PlatTask* plat_task_start(void (*work)(void*), void* arg) {
  PlatTask* t = new (std::nothrow) PlatTask{nullptr, work, arg};
  if (t) t->thread = SDL_CreateThread(run_task, "quillmoor task", t);
  if (t && t->thread) return t;
  // No thread (no memory, or none to be had, as in a browser without them).
  delete t;
  work(arg);
  return nullptr;
}

void plat_task_wait(PlatTask* task) {
  if (!task) return;
  SDL_WaitThread(task->thread, nullptr);
  delete task;
}

void plat_exit(int code) {
  SDL_Quit();
  std::exit(code);
}

int plat_message_box(const char* title, const char* text, int style) {
  Uint32 flags = (style & 0x10) ? SDL_MESSAGEBOX_ERROR : SDL_MESSAGEBOX_INFORMATION;
  int closed = 0;
  // Without a keyboard or pointer nobody could close it, and the game would wait forever.
  if (!plat_display_lacks_keyboard() && sys_box_begin()) {
    // Owned by our window in front, if any, so that it stays above it.
    int shown = SDL_ShowSimpleMessageBox(flags, title, text, SDL_GetKeyboardFocus()) == 0;
    closed = plat_quit_signalled();
    sys_box_end();
    if (shown) return 1;
  }
  // No display can show it, or a quit signal closed it: the message still
  // reaches the player's terminal.
  fprintf(stderr, "%s: %s\n", title ? title : "", text ? text : "");
  return !closed;
}
