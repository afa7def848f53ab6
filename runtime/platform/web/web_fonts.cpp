// Faces in the browser: those packed with the game under /fonts (the page has
// no fonts of its own to offer).
#include "runtime/platform/font_folders/font_folders.h"
#include "runtime/platform/plat_fonts.h"

static const std::vector<std::string>& font_folders() {
  static const std::vector<std::string> folders = {"/fonts"};
  return folders;
}

int plat_font_find(const char* family, int bold, int italic, std::string* file, int* index) {
  return font_folders_find(font_folders(), family, bold, italic, file, index);
}

void plat_fonts_prepare() { font_folders_prepare(font_folders()); }

void plat_fonts_release() { font_folders_release(); }
