// Linux: the process (its start, the requests to end that arrive as signals,
// the guard around a message box shown by a process of its own), the monotonic
// clock, the sleep and the thread's id.
#include "runtime/platform/plat_system.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <pthread.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>
// The requests to end that arrive as signals, and the message box's process.
struct QuitSignalState {
  std::atomic<int> arrived;   // a quit signal came since they were caught
  int caught;                 // plat_quit_signals(1) is in force
  int ours[3];                // the handler of quit_signals[i] is ours (0: left ignored)
  struct sigaction before[3]; // their actions before ours
  std::atomic<pid_t> box;     // the process showing a message box, 0 when none
  int boxing;                 // a message box is being shown: a fork makes its process
  int box_pipe[2];            // the box's process sends its number through it, or -1
  pid_t box_parent;           // the process showing the box
};
static QuitSignalState quit = {{0}, 0, {0, 0, 0}, {}, {0}, 0, {-1, -1}, 0};
static const int quit_signals[3] = {SIGTERM, SIGINT, SIGHUP};

static void note_quit(int) {
  const int saved = errno;
  quit.arrived = 1;
  // A player who asks twice, or a desktop that insists, is not kept waiting:
  // whatever quit signal comes next does what it does by default.
  struct sigaction fallback = {};
  fallback.sa_handler = SIG_DFL;
  for (int i = 0; i < 3; i++)
    if (quit.ours[i]) sigaction(quit_signals[i], &fallback, nullptr);
  // A box waiting for a click would keep the program from ending.
  if (pid_t box = quit.box) kill(box, SIGKILL);
  errno = saved;
}

int plat_quit_signals(int catch_them) {
  if (!catch_them) {
    for (int i = 0; i < 3; i++)
      if (quit.ours[i]) sigaction(quit_signals[i], &quit.before[i], nullptr);
    for (int& ours : quit.ours) ours = 0;
    quit.caught = 0;
    quit.arrived = 0;
    return 1;
  }
  if (quit.caught) return 1;
  quit.arrived = 0;
  struct sigaction action = {};
  action.sa_handler = note_quit;
  // One handler at a time, whichever thread the signals come to.
  sigemptyset(&action.sa_mask);
  for (int sig : quit_signals) sigaddset(&action.sa_mask, sig);
  int ok = 1;
  for (int i = 0; i < 3; i++) {
    // Looked at and taken in one step, so none of them is ever left unhandled.
    if (sigaction(quit_signals[i], &action, &quit.before[i]) != 0) {
      ok = 0;
      continue;
    }
    quit.ours[i] = 1;
    // Ignored when we came: a shell that started us in the background meant it.
    if (quit.before[i].sa_handler == SIG_IGN && !(quit.before[i].sa_flags & SA_SIGINFO)) {
      sigaction(quit_signals[i], &quit.before[i], nullptr);
      quit.ours[i] = 0;
    }
  }
  quit.caught = 1;
  return ok;
}

int plat_quit_signalled() { return quit.arrived; }

int plat_process_start() {
  int ok = 1;
  for (int fd = 0; fd <= 2; fd++) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    // The lowest free number: fd itself, as the ones below it are open.
    int opened = open("/dev/null", fd ? O_WRONLY : O_RDONLY);
    if (opened != fd) {
      ok = 0;
      if (opened >= 0) close(opened);
    }
  }
  signal(SIGPIPE, SIG_IGN);
  return ok;
}

// A fork while a box is being shown makes the box's process: it dies with us,
// and tells us its number, so that a quit signal can close it.
static void box_forked_child() {
  if (!quit.boxing) return;
  quit.boxing = 0;
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (getppid() != quit.box_parent) _exit(1); // gone before the line above took
  pid_t me = getpid();
  if (write(quit.box_pipe[1], &me, sizeof me) != (ssize_t)sizeof me) {}
  close(quit.box_pipe[0]);
  close(quit.box_pipe[1]);
}

static void box_forked_parent() {
  if (!quit.boxing || quit.box_pipe[1] < 0) return;
  // With our end closed, a failed fork or a child gone before it wrote reads as the end.
  close(quit.box_pipe[1]);
  quit.box_pipe[1] = -1;
  pid_t child = 0;
  ssize_t n;
  while ((n = read(quit.box_pipe[0], &child, sizeof child)) < 0 && errno == EINTR) {}
  if (n != (ssize_t)sizeof child || child <= 0) return;
  quit.box = child;
  // A signal that came before the number was known has found none to close.
  if (quit.arrived) kill(child, SIGKILL);
}

int sys_box_begin() {
  static int registered = 0;
  if (!registered) registered = pthread_atfork(nullptr, box_forked_parent, box_forked_child) == 0;
  if (quit.arrived) return 0;
  if (pipe2(quit.box_pipe, O_CLOEXEC) != 0) quit.box_pipe[0] = quit.box_pipe[1] = -1;
  quit.box_parent = getpid();
  quit.boxing = 1;
  return 1;
}

void sys_box_end() {
  quit.boxing = 0;
  quit.box = 0;
  for (int& fd : quit.box_pipe) {
    if (fd >= 0) close(fd);
    fd = -1;
  }
}

uint32_t sys_monotonic_ms() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return (uint32_t)((uint64_t)ts.tv_sec * 1000u + (uint64_t)ts.tv_nsec / 1000000u);
}

void sys_sleep_ms(uint32_t ms) {
  timespec ts{(time_t)(ms / 1000), (long)(ms % 1000) * 1000000L};
  while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {}
}

// Linux desktops scale a program's window themselves, or leave it to the player.
int sys_display_scale_percent() { return 100; }

uint32_t plat_thread_id() { return (uint32_t)syscall(SYS_gettid); }
