// POSIX files and local time: Linux's, and the browser's through emscripten.
// The process, its signals, the clock, the sleep and the thread differ between
// the two (posix_system.cpp, web/web_system.cpp).
#include "runtime/platform/plat_system.h"
#include "runtime/platform/read_stream.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

void sys_local_time(PlatLocalTime* out) {
  time_t now = time(nullptr);
  tm t{};
  localtime_r(&now, &t);
  *out = {t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec};
}

std::string plat_path(const char* name) {
  std::string path = name ? name : "";
  for (char& c : path)
    if (c == '\\') c = '/';
  return path;
}

// A regular file of at most max_bytes: the only kind the runtime reads or replaces.
static bool regular_within(const struct stat& st, size_t max_bytes) {
  return S_ISREG(st.st_mode) && (uint64_t)st.st_size <= max_bytes;
}

FILE* plat_open_read(const char* name, size_t max_bytes) {
  if (!name || !*name) return nullptr;
  const std::string path = plat_path(name);
  // Looked at before opening: opening a device can act on it, and opening a
  // pipe waits for a writer. The non-blocking open and the second look cover a
  // file swapped in between.
  struct stat st;
  if (stat(path.c_str(), &st) != 0 || !regular_within(st, max_bytes)) return nullptr;
  int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  FILE* f = nullptr;
  if (fstat(fd, &st) == 0 && regular_within(st, max_bytes) &&
      fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) == 0)
    f = fdopen(fd, "rb");
  if (!f) close(fd);
  return f;
}

int plat_read_file(const char* name, std::vector<uint8_t>* out, size_t max_bytes,
                   const char* signature) {
  out->clear();
  FILE* f = plat_open_read(name, max_bytes);
  if (!f) return 0;
  struct stat st;
  if (fstat(fileno(f), &st) != 0 || !regular_within(st, max_bytes)) {
    fclose(f);
    return 0;
  }
  return read_stream_whole(f, (uint64_t)st.st_size, signature, out);
}

int plat_write_begin(PlatWriteFile* out, const char* name) {
  *out = PlatWriteFile{};
  if (!name || !*name) return 0;
  out->path = plat_path(name);
  struct stat st;
  if (stat(out->path.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
    return errno = S_ISDIR(st.st_mode) ? EISDIR : EEXIST, 0;
  // The same folder, so that the rename is one step of one file system. The
  // name carries this process's number: a file left under it was left by a
  // process that has ended.
  out->temp = out->path + "." + std::to_string(getpid()) + ".part";
  unlink(out->temp.c_str());
  int fd = open(out->temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return 0;
  out->file = fdopen(fd, "wb");
  if (!out->file) {
    close(fd);
    unlink(out->temp.c_str());
    return 0;
  }
  return 1;
}

int plat_write_end(PlatWriteFile* out, int ok) {
  if (!out->file) return 0;
  ok = ok && !ferror(out->file);
  if (fclose(out->file) != 0) ok = 0; // the last buffered bytes can fail here
  out->file = nullptr;
  if (ok && rename(out->temp.c_str(), out->path.c_str()) != 0) ok = 0;
  if (!ok) unlink(out->temp.c_str());
  return ok;
}

int plat_file_kind(const char* name, int64_t* size, int64_t* written) {
  struct stat st;
  if (!name || !*name || stat(plat_path(name).c_str(), &st) != 0) return PLAT_MISSING;
  if (S_ISDIR(st.st_mode)) return PLAT_FOLDER;
  if (size) *size = (int64_t)st.st_size;
  // The status changes too when a file is put in place with an older time of
  // writing kept (cp -p, mv, tar): for a file, that is when it came to be here.
  if (written) {
    const timespec& last =
        st.st_ctim.tv_sec > st.st_mtim.tv_sec ||
                (st.st_ctim.tv_sec == st.st_mtim.tv_sec && st.st_ctim.tv_nsec > st.st_mtim.tv_nsec)
            ? st.st_ctim
            : st.st_mtim;
    *written = (int64_t)last.tv_sec * 1000000000 + last.tv_nsec;
  }
  return PLAT_FILE;
}
