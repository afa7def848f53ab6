// The clock, local time, and the requests to end that come from outside: Ctrl+C
// or closing the console the game was started from, and the end of the session.
#include "runtime/platform/plat_system.h"

#include <windows.h>

#include <cstdio>

// The requests to end.
struct QuitState {
  volatile LONG arrived; // set by the console handler or the session's last message
  volatile LONG caught;  // they are heeded
  int handler_set;       // the console handler is installed
  HANDLE watcher;        // the thread whose hidden window hears the session end
};
static QuitState quit;

// How long the system is held at its end while the game ends as Escape ends it:
// the sounds fade over a second, and the system waits five for a console.
static const DWORD end_grace_ms = 4000;

static void wait_for_the_game_to_end() {
  // The game ends the process from its own thread; this only holds the system.
  Sleep(end_grace_ms);
}

static BOOL WINAPI console_event(DWORD event) {
  if (!quit.caught) return FALSE;
  if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT)
    // A player who asks twice is not kept waiting: the second ends it at once.
    return InterlockedExchange(&quit.arrived, 1) == 0;
  // Closing the console, logging off, shutting down: the process ends when
  // this returns.
  InterlockedExchange(&quit.arrived, 1);
  wait_for_the_game_to_end();
  return TRUE;
}

static LRESULT CALLBACK session_window(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_QUERYENDSESSION) return TRUE;
  if (msg == WM_ENDSESSION && wp && quit.caught) {
    InterlockedExchange(&quit.arrived, 1);
    wait_for_the_game_to_end();
    return 0;
  }
  return DefWindowProcW(w, msg, wp, lp);
}

// A program with windows hears of the session's end through a message to each
// top-level window; a hidden one on a thread of its own answers it whatever the
// game's thread is doing.
static DWORD WINAPI session_watch(void*) {
  WNDCLASSW wc = {};
  wc.lpfnWndProc = session_window;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"QuillmoorSessionWatch";
  RegisterClassW(&wc);
  HWND w = CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                           wc.hInstance, nullptr);
  if (!w) return 0;
  MSG m;
  while (GetMessageW(&m, nullptr, 0, 0) > 0) DispatchMessageW(&m);
  return 0;
}

int plat_quit_signals(int catch_them) {
  if (catch_them && quit.caught) return 1; // a request already noted stays
  quit.arrived = 0;
  quit.caught = catch_them != 0;
  if (!catch_them) return 1;
  if (!quit.handler_set) quit.handler_set = SetConsoleCtrlHandler(console_event, TRUE) != 0;
  if (!quit.watcher) quit.watcher = CreateThread(nullptr, 0, session_watch, nullptr, 0, nullptr);
  return quit.handler_set && quit.watcher;
}

int plat_quit_signalled() { return quit.arrived != 0; }

uint32_t sys_monotonic_ms() { return (uint32_t)GetTickCount64(); }

void sys_sleep_ms(uint32_t ms) {
  // The frame's 19 ms sleep needs the timer at 1 ms, not its default 15.6.
  static const int fine = timeBeginPeriod(1) == TIMERR_NOERROR;
  (void)fine;
  Sleep(ms);
}

void sys_local_time(PlatLocalTime* out) {
  SYSTEMTIME t;
  GetLocalTime(&t);
  *out = {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
}

uint32_t plat_thread_id() { return (uint32_t)GetCurrentThreadId(); }

int sys_display_scale_percent() {
  // The program is DPI aware (its manifest), so this is the display's own
  // setting, not the 96 Windows tells programs it scales itself.
  HDC dc = GetDC(nullptr);
  const int dpi = dc ? GetDeviceCaps(dc, LOGPIXELSX) : 0;
  if (dc) ReleaseDC(nullptr, dc);
  return dpi > 0 ? (dpi * 100 + 48) / 96 : 100;
}

// The game is a windowed program with no console of its own; started from one,
// it writes its messages and --help there.
static int attach_parent_console() {
  // Windows' C library buffers standard error when it goes to a file or pipe;
  // a message is to be there at once, even if the game is then killed.
  setvbuf(stderr, nullptr, _IONBF, 0);
  HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
  if (err && err != INVALID_HANDLE_VALUE) return 0;
  if (!AttachConsole(ATTACH_PARENT_PROCESS)) return 0;
  freopen("CONOUT$", "w", stdout);
  freopen("CONOUT$", "w", stderr);
  setvbuf(stderr, nullptr, _IONBF, 0);
  return 1;
}
static const int console_attached = attach_parent_console();

// The standard streams are the console's or none (attach_parent_console), and
// Windows has no signal for a closed pipe: a failed write fails already.
int plat_process_start() { return 1; }

// Message boxes are shown by the game's own thread here.
int sys_box_begin() { return !plat_quit_signalled(); }
void sys_box_end() {}
