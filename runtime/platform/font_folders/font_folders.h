// Typefaces found by reading the faces in given folders, for systems without
// fontconfig: each backend names its folders (runtime/platform/plat_fonts.h).
#pragma once

#include <ft2build.h>
#include FT_FREETYPE_H

#include <string>
#include <vector>

// Opens face index of a font file through the platform's file layer (so any
// name the platform reads works, UTF-8 on every system); 0 when the file is
// not a regular readable file or FreeType cannot read that face.
int font_open_face(FT_Library lib, const char* file, int index, FT_Face* out);

// As plat_font_find, among the scalable faces of the .ttf, .otf, .ttc and .otc
// files in folders (a missing folder or a damaged file is passed over); a face
// in an earlier folder wins a tie. The folders are read at the first lookup and
// again only when the list changes. 0 when no face fits.
int font_folders_find(const std::vector<std::string>& folders, const char* family, int bold,
                      int italic, std::string* file, int* index);
// Reads the folders now, as the first lookup would.
void font_folders_prepare(const std::vector<std::string>& folders);
// Forgets the faces read.
void font_folders_release();
