// Linux: the monotonic clock, the sleep and the thread's id.
#include "runtime/platform/plat_system.h"

#include <cerrno>
#include <ctime>
#include <sys/syscall.h>
#include <unistd.h>

uint32_t sys_monotonic_ms() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return (uint32_t)((uint64_t)ts.tv_sec * 1000u + (uint64_t)ts.tv_nsec / 1000000u);
}

void sys_sleep_ms(uint32_t ms) {
  timespec ts{(time_t)(ms / 1000), (long)(ms % 1000) * 1000000L};
  while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {}
}

uint32_t plat_thread_id() { return (uint32_t)syscall(SYS_gettid); }
