// Where the 2D layer finds the file of a typeface: fontconfig on Linux, a scan
// of font folders on Windows and in the browser (font_folders/).
#pragma once

#include <string>

// The file and face index of an installed scalable family, its name compared
// without case and spaces, in the wanted weight and slant where the family has
// them; when the family is missing, of a metric-compatible family standing in
// for it (Liberation Sans for Arial). 0 when neither is installed.
int plat_font_find(const char* family, int bold, int italic, std::string* file, int* index);
// Makes ready now what the lookups need (the configuration loaded, the folders
// read) rather than at the first lookup. It may run on another thread while the
// main thread does anything but look up faces.
void plat_fonts_prepare();
// Releases what the lookups keep (a loaded configuration, a list of faces).
void plat_fonts_release();
