// Null backend: clock, exit, tasks, keyboard and message box without a window system.
#include "runtime/platform/null/null_platform.h"
#include "runtime/platform/plat_key_routes.h"
#include "runtime/platform/plat_system.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <system_error>
#include <thread>

namespace {
struct NullCoreState {
  uint32_t clock = 1000;
  uint8_t keys[256] = {};
  NullKeyboardScript script;
  uint32_t reads = 0;
  int keyboard_present = 1;
  NullExitHook exit_hook;
  int fixed_time = 0;
  PlatLocalTime time{};
  std::string messages;
};
NullCoreState core;
} // namespace

void null_reset() {
  core = NullCoreState();
  null_audio_present(0);
  null_display_reset();
}
void null_clock_set(uint32_t ms) { core.clock = ms; }
void null_keyboard_script(NullKeyboardScript script) { core.script = std::move(script); }
void null_key_set(int scancode, int down) { core.keys[scancode & 255] = down ? 0x80 : 0; }
uint32_t null_keyboard_reads() { return core.reads; }
void null_keyboard_present(int present) { core.keyboard_present = present; }
void null_exit_hook(NullExitHook hook) { core.exit_hook = std::move(hook); }
const std::string& null_messages() { return core.messages; }

void null_local_time_set(const PlatLocalTime* time) {
  core.fixed_time = time != nullptr;
  if (time) core.time = *time;
}

uint32_t plat_ticks_ms() { return core.clock; }
void plat_sleep_ms(uint32_t ms) { core.clock += ms; }

// A real thread, as on a desktop, so that a caller that forgets to wait races
// in the tests too (where a thread sanitizer sees it).
struct PlatTask {
  std::thread thread;
};

PlatTask* plat_task_start(void (*work)(void*), void* arg) {
  PlatTask* t = new (std::nothrow) PlatTask;
  try {
    if (t) t->thread = std::thread(work, arg);
  } catch (const std::system_error&) {}
  if (t && t->thread.joinable()) return t;
  // No thread to be had: the work is done here, as where there are none.
  delete t;
  work(arg);
  return nullptr;
}

void plat_task_wait(PlatTask* task) {
  if (!task) return;
  task->thread.join();
  delete task;
}

void plat_exit(int code) {
  if (core.exit_hook) core.exit_hook(code);
  std::exit(code);
}

void plat_local_time(PlatLocalTime* out) {
  if (core.fixed_time)
    *out = core.time;
  else
    sys_local_time(out);
}

int plat_keyboard_open() { return core.keyboard_present; }
void plat_keyboard_close() {}

int plat_keyboard_read(uint8_t snapshot[256], PlatWindow* owner) {
  if (owner ? !plat_window_has_focus(owner) : !null_has_focus()) return 0;
  // What the test holds are the physical keys; routes move them as on a desktop.
  uint8_t physical[256] = {};
  if (core.script)
    core.script(core.reads, physical);
  else
    std::memcpy(physical, core.keys, 256);
  plat_keys_routed(physical, snapshot);
  core.reads++;
  return 1;
}

int plat_message_box(const char* title, const char* text, int) {
  core.messages += std::string(title ? title : "") + ": " + (text ? text : "") + "\n";
  return 1;
}
