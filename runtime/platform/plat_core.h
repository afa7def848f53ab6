// The platform services the runtime's core needs: a clock, sleep, process exit,
// local time, files, the requests to end from outside, and the keyboard. Each
// backend (null/, sdl2/) implements the clock, tasks, exit, keyboard and message
// box; each system (posix/, win32/, web/) the rest.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// Milliseconds since an arbitrary start, wrapping after 2^32.
uint32_t plat_ticks_ms();
// Blocks (or, on the null backend, advances the virtual clock) for ms milliseconds.
void plat_sleep_ms(uint32_t ms);
// An identifier of the calling thread.
uint32_t plat_thread_id();
// Ends the process with the given code.
[[noreturn]] void plat_exit(int code);

// A piece of work done beside the main thread.
struct PlatTask;
// Runs work(arg) on a thread of its own and returns at once. Where no thread
// can be made (a browser without threads) the work is done here before
// returning, and the result is null: nothing is left to wait for.
PlatTask* plat_task_start(void (*work)(void*), void* arg);
// Waits until the task's work has returned, and frees the task; null is ignored.
void plat_task_wait(PlatTask* task);

// Called first thing in main, before any file is opened or thread started:
// standard input, output and error that are closed are opened on the null
// device, so that no file opened later (the display connection) takes their
// numbers and gets stray writes; and SIGPIPE is ignored, so a write to a closed
// pipe fails with an error (EPIPE) instead of ending the process. 0 when a
// stream could not be opened.
int plat_process_start();

// The quit signals are SIGTERM, SIGINT and SIGHUP (a desktop logging out,
// Ctrl+C, a closed terminal). catch 1 (first thing in main, after
// plat_process_start): from now on each only notes that the program was asked
// to end; the first to arrive gives all of them their default action back, so
// any second quit signal, of any kind, ends the process at once. A signal the
// process was started ignoring (SIGINT and SIGHUP for a game started in the
// background or under nohup) stays ignored. catch 1 again while caught changes
// nothing and keeps a signal already noted. catch 0: gives each back what it
// had before and forgets a noted signal. Returns 0 on failure.
int plat_quit_signals(int catch_them);
// 1 when a quit signal came since they were caught.
int plat_quit_signalled();

struct PlatLocalTime {
  int year, month, day, hour, minute, second;
};
// The local calendar date and clock time now.
void plat_local_time(PlatLocalTime* out);

// File names may use "\" as the folder separator; every function below turns it
// into "/" before the name reaches the file system.

// The largest file the runtime reads, picture or sound: none of the game's
// comes near it, and a damaged or hostile one must not make anyone allocate more.
const size_t PLAT_MAX_FILE_BYTES = 64u << 20;
std::string plat_path(const char* name);
// Opens a regular file of at most max_bytes for reading; null when it is missing,
// unreadable, larger, or not a regular file (a folder, a pipe or a device is
// refused without being opened, so nothing waits on it or reads it without end).
FILE* plat_open_read(const char* name, size_t max_bytes);
// Reads a whole regular file of at most max_bytes; 0 when plat_open_read refuses it,
// the read fails, or the file does not begin with signature (when one is given:
// then nothing past it is read).
int plat_read_file(const char* name, std::vector<uint8_t>* out, size_t max_bytes,
                   const char* signature = nullptr);

// A file being written: the bytes go to a temporary file beside it (NAME.PID.part,
// PID the writing process's number), which takes the file's name only once
// everything was written, so a failed or interrupted write never leaves a
// damaged file under the name. What a killed process left is removed by
// plat_remove_leftovers.
struct PlatWriteFile {
  FILE* file;       // where the caller writes
  std::string path; // the name it gets
  std::string temp; // the temporary file beside it
};
// Starts writing name; 0 (nothing made) when name is something other than a
// regular file (a folder, a pipe, a device: errno EISDIR or EEXIST) or the
// temporary file cannot be made.
int plat_write_begin(PlatWriteFile* out, const char* name);
// Closes the file and, when ok is nonzero and every write and the close
// succeeded, puts it in place of any old file; otherwise removes it, leaving the
// old file as it was. Nonzero when the new file is in place.
int plat_write_end(PlatWriteFile* out, int ok);

enum PlatFileKind { PLAT_MISSING = 0, PLAT_FILE = 1, PLAT_FOLDER = 2 };
// What a name is; the size of a file goes to *size when size is not null, and
// its time of last writing (a number that changes with every write that
// replaces or changes the file, and where the system tells, grows when a file
// with an older time is put in its place) to *written when written is not null.
int plat_file_kind(const char* name, int64_t* size, int64_t* written = nullptr);

struct PlatWindow;

// Opens the keyboard device; 0 when there is none.
int plat_keyboard_open();
// Fills 256 bytes, one per scancode, bit 7 set for a key that is down or that
// a connected game pad stands for (runtime/platform/plat_pad.h); 0 when
// no snapshot can be had: owner (the window that owns the screen) lacks the
// keyboard focus, or, with no owner, none of our windows has it.
int plat_keyboard_read(uint8_t snapshot[256], PlatWindow* owner);
void plat_keyboard_close();

// Shows a modal message box (or writes title and text to standard error where
// no display can show one); returns the button pressed, 1 for OK. Where the
// box is shown by a process of its own, that process never outlives the
// program, and a quit signal while it is shown closes it (the signal is noted
// as ever) and the call returns 0. After a quit signal no box is shown: title
// and text go to standard error.
int plat_message_box(const char* title, const char* text, int style);
