// Faces on Windows: the system's fonts folder, the user's own installed fonts,
// then the faces the game ships in fonts/ beside the program.
#include "runtime/platform/font_folders/font_folders.h"
#include "runtime/platform/plat_folders.h"
#include "runtime/platform/plat_fonts.h"
#include "runtime/platform/win32/win32_text.h"

#include <windows.h>

static std::vector<std::string> font_folders() {
  std::vector<std::string> folders;
  wchar_t windows[MAX_PATH];
  UINT n = GetWindowsDirectoryW(windows, MAX_PATH);
  if (n > 0 && n < MAX_PATH) folders.push_back(win32_utf8(windows) + "\\Fonts");
  const wchar_t* local = _wgetenv(L"LOCALAPPDATA");
  if (local && *local) folders.push_back(win32_utf8(local) + "\\Microsoft\\Windows\\Fonts");
  const std::string shipped = plat_program_relative("fonts");
  if (!shipped.empty()) folders.push_back(shipped);
  return folders;
}

int plat_font_find(const char* family, int bold, int italic, std::string* file, int* index) {
  return font_folders_find(font_folders(), family, bold, italic, file, index);
}

void plat_fonts_prepare() { font_folders_prepare(font_folders()); }

void plat_fonts_release() { font_folders_release(); }
