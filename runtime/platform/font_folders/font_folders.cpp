#include "runtime/platform/font_folders/font_folders.h"

#include "runtime/platform/plat_core.h"
#include "runtime/platform/plat_folders.h"

#include <cstdio>
#include <new>

struct FolderFace {
  std::string key;  // the family name without case and spaces
  int bold, italic; // its style
  std::string file; // where it is
  int index;        // which face of the file
};

struct FontFoldersState {
  int scanned;                      // the list below was made from folders
  std::vector<std::string> folders; // the folders read
  std::vector<FolderFace> faces;    // their scalable faces, folder by folder
};
static FontFoldersState ff;

// Bounds a font file; the face is read through a stream, never held whole.
static const size_t max_font_bytes = (size_t)1 << 30;

static unsigned long stream_read(FT_Stream s, unsigned long offset, unsigned char* buf,
                                 unsigned long count) {
  FILE* f = (FILE*)s->descriptor.pointer;
  if (fseek(f, (long)offset, SEEK_SET) != 0) return count ? 0 : 1; // a seek returns an error
  return count ? (unsigned long)fread(buf, 1, count, f) : 0;
}

// FreeType calls this once when it is done with the stream, also on failure.
static void stream_close(FT_Stream s) {
  fclose((FILE*)s->descriptor.pointer);
  delete s;
}

int font_open_face(FT_Library lib, const char* file, int index, FT_Face* out) {
  FILE* f = plat_open_read(file, max_font_bytes);
  if (!f) return 0;
  long size = -1;
  if (fseek(f, 0, SEEK_END) == 0) size = ftell(f);
  FT_Stream s = size > 0 ? new (std::nothrow) FT_StreamRec{} : nullptr;
  if (!s) {
    fclose(f);
    return 0;
  }
  s->size = (unsigned long)size;
  s->descriptor.pointer = f;
  s->read = stream_read;
  s->close = stream_close;
  FT_Open_Args args = {};
  args.flags = FT_OPEN_STREAM;
  args.stream = s;
  return FT_Open_Face(lib, &args, index, out) == 0;
}

// Family names compare as fontconfig compares them: without case and spaces.
static std::string family_key(const char* name) {
  std::string key;
  for (const char* p = name; *p; p++)
    if (*p != ' ') key += (char)(*p >= 'A' && *p <= 'Z' ? *p - 'A' + 'a' : *p);
  return key;
}

static int font_file_name(const std::string& name) {
  if (name.size() < 5 || name[name.size() - 4] != '.') return 0;
  std::string ext = family_key(name.substr(name.size() - 3).c_str());
  return ext == "ttf" || ext == "otf" || ext == "ttc" || ext == "otc";
}

static void scan(const std::vector<std::string>& folders) {
  ff.faces.clear();
  ff.folders = folders;
  ff.scanned = 1;
  FT_Library lib;
  if (FT_Init_FreeType(&lib)) return;
  for (const std::string& folder : folders) {
    std::vector<std::string> names;
    if (!plat_list_folder(folder.c_str(), &names)) continue;
    for (const std::string& name : names) {
      if (!font_file_name(name)) continue;
      const std::string file = folder + "/" + name;
      // A collection says how many faces it holds; 64 bounds a damaged count.
      long count = 1;
      for (long i = 0; i < count && i < 64; i++) {
        FT_Face face;
        if (!font_open_face(lib, file.c_str(), (int)i, &face)) break;
        if (i == 0) count = face->num_faces;
        if (FT_IS_SCALABLE(face) && face->family_name)
          ff.faces.push_back({family_key(face->family_name),
                              (face->style_flags & FT_STYLE_FLAG_BOLD) != 0,
                              (face->style_flags & FT_STYLE_FLAG_ITALIC) != 0, file, (int)i});
        FT_Done_Face(face);
      }
    }
  }
  FT_Done_FreeType(lib);
}

// Families of the same widths, so that text set for one fits in the other;
// each stands in for the others when it is missing.
static const char* const metric_groups[][3] = {
    {"arial", "helvetica", "liberationsans"},
    {"arialnarrow", "helveticanarrow", "liberationsansnarrow"},
    {"timesnewroman", "times", "liberationserif"},
    {"couriernew", "courier", "liberationmono"},
};

// The face of family key closest to the style; -1 when the family is missing.
static int best_face(const std::string& key, int bold, int italic) {
  int best = -1, best_miss = 4;
  for (size_t i = 0; i < ff.faces.size(); i++) {
    const FolderFace& f = ff.faces[i];
    if (f.key != key) continue;
    int miss = (f.bold != bold) * 2 + (f.italic != italic);
    if (miss < best_miss) best = (int)i, best_miss = miss;
  }
  return best;
}

void font_folders_prepare(const std::vector<std::string>& folders) {
  if (!ff.scanned || ff.folders != folders) scan(folders);
}

int font_folders_find(const std::vector<std::string>& folders, const char* family, int bold,
                      int italic, std::string* file, int* index) {
  if (!family) return 0;
  font_folders_prepare(folders);
  const std::string key = family_key(family);
  bold = bold != 0, italic = italic != 0;
  int found = best_face(key, bold, italic);
  for (const auto& group : metric_groups) {
    int member = 0;
    for (const char* name : group) member |= key == name;
    for (const char* name : group)
      if (member && found < 0) found = best_face(name, bold, italic);
  }
  if (found < 0) return 0;
  *file = ff.faces[found].file;
  *index = ff.faces[found].index;
  return 1;
}

void font_folders_release() {
  ff.faces.clear();
  ff.folders.clear();
  ff.scanned = 0;
}
