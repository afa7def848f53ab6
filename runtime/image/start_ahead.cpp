#include "runtime/image/start_ahead.h"

#include "runtime/platform/plat_core.h"
#include "runtime/platform/plat_fonts.h"

#include <cstring>

// A picture the worker decoded.
struct AheadPicture {
  std::string name;          // the file name it was asked for under
  int64_t size, written;     // the file's size and time of writing when it was read
  DecodeInfo info;           // its description
  std::vector<uint8_t> rows; // its rows, top row first; empty once taken
};

struct StartAheadState {
  PlatTask* task;                    // the worker, until waited for; null when none runs
  std::vector<std::string> names;    // the pictures asked for: the worker's to read
  std::vector<AheadPicture> decoded; // the worker's to fill; the main thread's after the wait
};
static StartAheadState ahead;

// The worker: the pictures first (the screen wants them first), then the fonts.
static void work(void*) {
  std::vector<uint8_t> bytes;
  for (const std::string& name : ahead.names) {
    AheadPicture p{name, -1, 0, {}, {}};
    // Only PNG files: image_load reads a BMP through a reader of its own.
    if (plat_file_kind(name.c_str(), &p.size, &p.written) == PLAT_FILE &&
        plat_read_file(name.c_str(), &bytes, PLAT_MAX_FILE_BYTES, "\x89PNG") &&
        (int64_t)bytes.size() == p.size &&
        decode_memory_whole(bytes.data(), bytes.size(), &p.info, &p.rows))
      ahead.decoded.push_back(std::move(p));
  }
  plat_fonts_prepare();
}

int start_ahead(const std::vector<std::string>& pictures) {
  if (ahead.task) return 0;
  ahead.names = pictures;
  ahead.decoded.clear();
  ahead.task = plat_task_start(work, nullptr);
  return 1;
}

void start_ahead_wait() {
  plat_task_wait(ahead.task);
  ahead.task = nullptr;
}

int start_ahead_take(const char* name, DecodeInfo* info, std::vector<uint8_t>* rows) {
  if (!name) return 0;
  start_ahead_wait();
  for (AheadPicture& p : ahead.decoded) {
    if (p.rows.empty() || p.name != name) continue;
    // What was decoded stands for the file only while it is as it was: of the
    // same size, and not written since.
    int64_t size = -1, written = 0;
    int same = plat_file_kind(name, &size, &written) == PLAT_FILE && size == p.size &&
               written == p.written;
    if (same) {
      *info = p.info;
      rows->swap(p.rows);
    }
    p = AheadPicture{};
    return same;
  }
  return 0;
}

void start_ahead_end() {
  start_ahead_wait();
  ahead = StartAheadState{};
}
