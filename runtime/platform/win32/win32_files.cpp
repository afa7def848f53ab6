// Files through the wide-character calls: only regular files read, writes to a
// temporary file beside the target that replaces it only when complete.
#include "runtime/platform/plat_core.h"
#include "runtime/platform/read_stream.h"
#include "runtime/platform/win32/win32_text.h"

#include <windows.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <io.h>

std::wstring win32_wide(const std::string& text) {
  if (text.empty()) return L"";
  int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), (int)text.size(), nullptr, 0);
  std::wstring out((size_t)(n > 0 ? n : 0), L'\0');
  if (n > 0) MultiByteToWideChar(CP_UTF8, 0, text.data(), (int)text.size(), out.data(), n);
  return out;
}

std::string win32_utf8(const std::wstring& text) {
  if (text.empty()) return "";
  int n =
      WideCharToMultiByte(CP_UTF8, 0, text.data(), (int)text.size(), nullptr, 0, nullptr, nullptr);
  std::string out((size_t)(n > 0 ? n : 0), '\0');
  if (n > 0)
    WideCharToMultiByte(CP_UTF8, 0, text.data(), (int)text.size(), out.data(), n, nullptr, nullptr);
  return out;
}

// Both separators work on Windows; one kind keeps names comparable.
std::string plat_path(const char* name) {
  std::string path = name ? name : "";
  for (char& c : path)
    if (c == '/') c = '\\';
  return path;
}

std::wstring win32_file_path(const char* name) {
  const std::wstring path = win32_wide(plat_path(name));
  if (path.empty() || path.starts_with(L"\\\\?\\")) return path;
  // Folders are made in the plain form up to 248 characters, files reached up
  // to 260; names that open devices ("CON") stay as they are.
  DWORD n = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (n < 248) return path;
  std::wstring full(n, L'\0');
  full.resize(GetFullPathNameW(path.c_str(), n, full.data(), nullptr));
  // "\\server\share\..." becomes "\\?\UNC\server\share\...".
  if (full.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

static std::wstring wide_path(const char* name) { return win32_file_path(name); }

int win32_replace_file(const std::wstring& from, const std::wstring& to) {
  for (int tries = 0;; tries++) {
    if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
      return 1;
    const DWORD why = GetLastError(), held = GetFileAttributesW(to.c_str());
    // Windows refuses to replace a file that is open; a read-only one never gives way.
    if (tries == 50 || (why != ERROR_ACCESS_DENIED && why != ERROR_SHARING_VIOLATION) ||
        held == INVALID_FILE_ATTRIBUTES || (held & FILE_ATTRIBUTE_READONLY)) {
      errno = why == ERROR_ACCESS_DENIED || why == ERROR_SHARING_VIOLATION ? EACCES
              : why == ERROR_DISK_FULL || why == ERROR_HANDLE_DISK_FULL    ? ENOSPC
                                                                           : EIO;
      return 0;
    }
    Sleep(10);
  }
}

// A regular file: not a folder, not a device, not a link's target elsewhere.
static bool regular_attributes(DWORD a) {
  return !(a & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE));
}

// The open handle of a regular disk file of at most max_bytes, or INVALID_HANDLE_VALUE.
static HANDLE open_regular(const char* name, size_t max_bytes, uint64_t* size) {
  if (!name || !*name) return INVALID_HANDLE_VALUE;
  const std::wstring path = wide_path(name);
  // Looked at before opening: opening a device or a pipe can act on it.
  WIN32_FILE_ATTRIBUTE_DATA info;
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &info) ||
      !regular_attributes(info.dwFileAttributes))
    return INVALID_HANDLE_VALUE;
  HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return h;
  // The second look covers a name that changed in between, and reserved names
  // ("CON", "NUL") that open a device whatever folder they are in.
  BY_HANDLE_FILE_INFORMATION held;
  if (GetFileType(h) != FILE_TYPE_DISK || !GetFileInformationByHandle(h, &held) ||
      !regular_attributes(held.dwFileAttributes) ||
      ((uint64_t)held.nFileSizeHigh << 32 | held.nFileSizeLow) > max_bytes) {
    CloseHandle(h);
    return INVALID_HANDLE_VALUE;
  }
  *size = (uint64_t)held.nFileSizeHigh << 32 | held.nFileSizeLow;
  return h;
}

// A C stream over a handle; the handle is closed either way.
static FILE* stream_of(HANDLE h, int flags, const char* mode) {
  int fd = _open_osfhandle((intptr_t)h, flags | _O_BINARY);
  if (fd < 0) {
    CloseHandle(h);
    return nullptr;
  }
  FILE* f = _fdopen(fd, mode);
  if (!f) _close(fd);
  return f;
}

FILE* plat_open_read(const char* name, size_t max_bytes) {
  uint64_t size;
  HANDLE h = open_regular(name, max_bytes, &size);
  return h == INVALID_HANDLE_VALUE ? nullptr : stream_of(h, _O_RDONLY, "rb");
}

int plat_read_file(const char* name, std::vector<uint8_t>* out, size_t max_bytes,
                   const char* signature) {
  out->clear();
  uint64_t size;
  HANDLE h = open_regular(name, max_bytes, &size);
  if (h == INVALID_HANDLE_VALUE) return 0;
  FILE* f = stream_of(h, _O_RDONLY, "rb");
  return f ? read_stream_whole(f, size, signature, out) : 0;
}

int plat_write_begin(PlatWriteFile* out, const char* name) {
  *out = PlatWriteFile{};
  if (!name || !*name) return 0;
  out->path = plat_path(name);
  DWORD a = GetFileAttributesW(wide_path(out->path.c_str()).c_str());
  if (a != INVALID_FILE_ATTRIBUTES && !regular_attributes(a)) return 0;
  // The same folder, so that the replacement is one step of one volume. The
  // name carries this process's number: a file left under it was left by a
  // process that has ended.
  out->temp = out->path + "." + std::to_string(GetCurrentProcessId()) + ".part";
  const std::wstring temp = wide_path(out->temp.c_str());
  DeleteFileW(temp.c_str());
  HANDLE h = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                         nullptr);
  if (h == INVALID_HANDLE_VALUE) return 0;
  out->file = stream_of(h, _O_WRONLY, "wb");
  if (!out->file) {
    DeleteFileW(temp.c_str());
    return 0;
  }
  return 1;
}

int plat_write_end(PlatWriteFile* out, int ok) {
  if (!out->file) return 0;
  ok = ok && !ferror(out->file);
  if (fclose(out->file) != 0) ok = 0; // the last buffered bytes can fail here
  out->file = nullptr;
  const std::wstring temp = wide_path(out->temp.c_str());
  if (ok && !win32_replace_file(temp, wide_path(out->path.c_str()))) ok = 0;
  const int why = errno; // the failure's reason, not the removal's
  if (!ok) DeleteFileW(temp.c_str());
  errno = why;
  return ok;
}

int plat_file_kind(const char* name, int64_t* size, int64_t* written) {
  WIN32_FILE_ATTRIBUTE_DATA info;
  if (!name || !*name ||
      !GetFileAttributesExW(wide_path(name).c_str(), GetFileExInfoStandard, &info))
    return PLAT_MISSING;
  if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return PLAT_FOLDER;
  if (size) *size = (int64_t)((uint64_t)info.nFileSizeHigh << 32 | info.nFileSizeLow);
  if (written)
    *written = (int64_t)((uint64_t)info.ftLastWriteTime.dwHighDateTime << 32 |
                         info.ftLastWriteTime.dwLowDateTime);
  return PLAT_FILE;
}
