// Folders through the wide-character calls. Windows grants symbolic links only
// to some users, so the player's folder holds copies of the installed files.
#include "runtime/platform/plat_core.h"
#include "runtime/platform/plat_folders.h"
#include "runtime/platform/win32/win32_text.h"

#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>

static std::wstring wide_path(const char* name) { return win32_file_path(name); }

// errno for the last failed call, so that callers can say why.
static int fail_with_last_error() {
  switch (GetLastError()) {
  case ERROR_FILE_NOT_FOUND:
  case ERROR_PATH_NOT_FOUND: errno = ENOENT; break;
  case ERROR_ACCESS_DENIED:
  case ERROR_SHARING_VIOLATION: errno = EACCES; break;
  case ERROR_WRITE_PROTECT: errno = EROFS; break;
  case ERROR_DISK_FULL:
  case ERROR_HANDLE_DISK_FULL: errno = ENOSPC; break;
  case ERROR_DIRECTORY: errno = ENOTDIR; break;
  default: errno = EIO;
  }
  return 0;
}

std::string plat_program_relative(const char* relative) {
  std::wstring buf(MAX_PATH, L'\0');
  for (;;) {
    DWORD n = GetModuleFileNameW(nullptr, buf.data(), (DWORD)buf.size());
    if (n == 0) return "";
    if (n < buf.size()) {
      buf.resize(n);
      break;
    }
    if (buf.size() >= 32768) return "";
    buf.resize(buf.size() * 2);
  }
  std::filesystem::path program(buf);
  std::filesystem::path wanted(win32_wide(plat_path(relative)));
  return win32_utf8((program.parent_path() / wanted).lexically_normal().wstring());
}

std::string plat_user_data_folder() {
  // %LOCALAPPDATA%: the files stay on this machine, as the scaled copies should.
  const wchar_t* local = _wgetenv(L"LOCALAPPDATA");
  if (local && *local) return win32_utf8(local) + "\\Quillmoor";
  return "";
}

std::string plat_user_config_folder() {
  // %APPDATA%: settings roam with the player, unlike the copies.
  const wchar_t* roaming = _wgetenv(L"APPDATA");
  if (roaming && *roaming) return win32_utf8(roaming) + "\\Quillmoor";
  return "";
}

int plat_make_folders(const char* path) {
  const std::wstring p = wide_path(path);
  if (p.empty()) return errno = ENOENT, 0;
  // Each folder on the way from the top; those already there refuse quietly.
  for (size_t at = p.find(L'\\'); at != std::wstring::npos; at = p.find(L'\\', at + 1))
    if (at > 0) CreateDirectoryW(p.substr(0, at).c_str(), nullptr);
  CreateDirectoryW(p.c_str(), nullptr);
  DWORD a = GetFileAttributesW(p.c_str());
  if (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY)) return 1;
  // Why: a file in the way of the folder or of one above it, or the system's reason.
  for (std::filesystem::path at(p); !at.empty() && at != at.parent_path(); at = at.parent_path()) {
    DWORD up = GetFileAttributesW(at.c_str());
    if (up != INVALID_FILE_ATTRIBUTES)
      return (up & FILE_ATTRIBUTE_DIRECTORY) ? fail_with_last_error() : (errno = ENOTDIR, 0);
  }
  return fail_with_last_error();
}

int plat_list_folder(const char* path, std::vector<std::string>* names) {
  names->clear();
  WIN32_FIND_DATAW found;
  HANDLE h = FindFirstFileW((wide_path(path) + L"\\*").c_str(), &found);
  if (h == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
  do {
    std::string name = win32_utf8(found.cFileName);
    if (name != "." && name != "..") names->push_back(name);
  } while (FindNextFileW(h, &found));
  FindClose(h);
  std::sort(names->begin(), names->end());
  return 1;
}

// A copy is current when it has the installed file's size and time, which
// CopyFileW carries over.
static bool same_file(const std::wstring& a, const std::wstring& b) {
  WIN32_FILE_ATTRIBUTE_DATA x, y;
  return GetFileAttributesExW(a.c_str(), GetFileExInfoStandard, &x) &&
         GetFileAttributesExW(b.c_str(), GetFileExInfoStandard, &y) &&
         x.nFileSizeHigh == y.nFileSizeHigh && x.nFileSizeLow == y.nFileSizeLow &&
         CompareFileTime(&x.ftLastWriteTime, &y.ftLastWriteTime) == 0;
}

int plat_link_file(const char* target, const char* name) {
  const std::wstring t = wide_path(target), n = wide_path(name);
  if (same_file(t, n)) return 1;
  // Copied beside it and moved over it: a reader never finds the name missing
  // or half written.
  const std::wstring temp = n + L"." + std::to_wstring(GetCurrentProcessId()) + L".part";
  if (!CopyFileW(t.c_str(), temp.c_str(), FALSE)) {
    fail_with_last_error();
    int why = errno;
    DeleteFileW(temp.c_str());
    return errno = why, 0;
  }
  // The installed file may be read-only; its copy is the player's to replace.
  SetFileAttributesW(temp.c_str(), FILE_ATTRIBUTE_NORMAL);
  if (!win32_replace_file(temp, n)) {
    int why = errno;
    DeleteFileW(temp.c_str());
    // Another copy of the game, started at the same time, made it meanwhile.
    return same_file(t, n) || (errno = why, 0);
  }
  return 2;
}

std::string plat_odd_entry(const char* name) {
  DWORD a = GetFileAttributesW(wide_path(name).c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) ? "a folder" : "";
}

int plat_remove_file(const char* name) {
  if (DeleteFileW(wide_path(name).c_str())) return 1;
  DWORD why = GetLastError();
  return why == ERROR_FILE_NOT_FOUND || why == ERROR_PATH_NOT_FOUND;
}

int plat_change_folder(const char* path) {
  const std::wstring p = wide_path(path);
  return !p.empty() && (SetCurrentDirectoryW(p.c_str()) || fail_with_last_error());
}

std::string plat_current_folder() {
  std::error_code ec;
  const std::filesystem::path here = std::filesystem::current_path(ec);
  return ec ? "" : win32_utf8(here.wstring());
}

// 1 while process pid runs (or cannot be asked about).
static bool process_runs(DWORD pid) {
  HANDLE h = OpenProcess(SYNCHRONIZE, FALSE, pid);
  if (!h) return GetLastError() == ERROR_ACCESS_DENIED;
  bool runs = WaitForSingleObject(h, 0) == WAIT_TIMEOUT;
  CloseHandle(h);
  return runs;
}

int plat_remove_leftovers(const char* folder) {
  std::vector<std::string> names;
  if (!plat_list_folder(folder, &names)) return 0;
  for (const std::string& n : names) {
    // NAME.PID.part, left by plat_write_begin and plat_link_file.
    if (!n.ends_with(".part")) continue;
    const size_t end = n.size() - 5, dot = n.rfind('.', end - 1);
    if (dot == std::string::npos || dot == 0 || dot + 1 == end || end - dot > 11) continue;
    DWORD pid = 0;
    bool digits = true;
    for (size_t i = dot + 1; i < end && digits; i++) {
      digits = n[i] >= '0' && n[i] <= '9';
      pid = pid * 10 + (DWORD)(n[i] - '0');
    }
    if (digits && !process_runs(pid))
      DeleteFileW(wide_path((std::string(folder) + "/" + n).c_str()).c_str());
  }
  return 1;
}
