#include "runtime/image/start_ahead.h"

#include "runtime/image/picture_cache.h"
#include "runtime/platform/plat_core.h"
#include "runtime/platform/plat_fonts.h"

#include <algorithm>
#include <cstring>

// A picture the worker decoded.
struct AheadPicture {
  int64_t size, written; // the file's size and time of writing when it was read
  CachedPicture picture; // its name, bytes' hash, description and rows; empty rows once taken
};

struct StartAheadState {
  PlatTask* task;                    // the worker, until waited for; null when none runs
  std::vector<std::string> names;    // the pictures asked for: the worker's to read
  std::string cache;                 // where decoded pictures are kept between starts, or empty
  std::vector<AheadPicture> decoded; // the worker's to fill; the main thread's after the wait
};
static StartAheadState ahead;

// The worker: the pictures first (the screen wants them first), each from the
// cache when it holds the decoding of the very bytes of its file; then the
// fonts; then, when anything had to be decoded, the cache written anew.
static void work(void*) {
  std::vector<CachedPicture> kept;
  if (!ahead.cache.empty()) picture_cache_read(ahead.cache.c_str(), &kept);
  bool decoded_any = false;
  std::vector<uint8_t> bytes;
  for (const std::string& name : ahead.names) {
    AheadPicture p{-1, 0, {name, 0, 0, {}, {}}};
    // Only PNG files: image_load reads a BMP through a reader of its own.
    if (plat_file_kind(name.c_str(), &p.size, &p.written) != PLAT_FILE ||
        !plat_read_file(name.c_str(), &bytes, PLAT_MAX_FILE_BYTES, "\x89PNG") ||
        (int64_t)bytes.size() != p.size)
      continue;
    p.picture.size = bytes.size();
    p.picture.hash = picture_cache_hash(bytes.data(), bytes.size());
    auto same = [&](const CachedPicture& c) {
      return c.name == name && c.size == p.picture.size && c.hash == p.picture.hash &&
             !c.rows.empty();
    };
    auto found = std::find_if(kept.begin(), kept.end(), same);
    if (found != kept.end()) {
      p.picture.info = found->info;
      p.picture.rows.swap(found->rows);
    } else if (decode_memory_whole(bytes.data(), bytes.size(), &p.picture.info, &p.picture.rows)) {
      decoded_any = true;
    } else {
      continue;
    }
    ahead.decoded.push_back(std::move(p));
  }
  plat_fonts_prepare();
  if (decoded_any && !ahead.cache.empty()) {
    std::vector<CachedPicture> all;
    for (AheadPicture& p : ahead.decoded) all.push_back(p.picture);
    picture_cache_write(ahead.cache.c_str(), all);
  }
}

int start_ahead(const std::vector<std::string>& pictures, const std::string& cache) {
  if (ahead.task) return 0;
  ahead.names = pictures;
  ahead.cache = cache;
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
    if (p.picture.rows.empty() || p.picture.name != name) continue;
    // What was decoded stands for the file only while it is as it was: of the
    // same size, and not written since.
    int64_t size = -1, written = 0;
    int same = plat_file_kind(name, &size, &written) == PLAT_FILE && size == p.size &&
               written == p.written;
    if (same) {
      *info = p.picture.info;
      rows->swap(p.picture.rows);
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
