#include "runtime/platform/draw2d/draw2d_internal.h"
#include "runtime/platform/font_folders/font_folders.h"
#include "runtime/platform/plat_fonts.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

#include <climits>
#include <cmath>
#include <new>
#include <numbers>
#include <string>
#include <unordered_map>
#include <vector>

struct D2dFontFace {
  FT_Face face;
  int synth_bold; // no bold face installed: thicken the outlines
  FT_Int32 load_flags;
};

struct D2dFontState {
  FT_Library ft;                           // opened by the first font made from a file
  std::unordered_map<int, D2dFont*> fonts; // by handle, the system font not among them
  D2dFont* system;                         // made on first use, kept until shutdown
  int next_handle;                         // handles grow from 2; 1 is the system font
};
static D2dFontState fs;

int d2d_display_dpi() { return 96; }

int d2d_mul_div(int a, int b, int c) {
  if (c == 0) return -1;
  long long n = (long long)a * b, d = c;
  int negative = (n < 0) != (d < 0);
  n = n < 0 ? -n : n;
  d = d < 0 ? -d : d;
  long long q = (n + d / 2) / d;
  if (q > INT_MAX) return -1;
  return negative ? -(int)q : (int)q;
}

// Byte to character, in the code page of the text the game writes (Western European).
static uint32_t unicode_of(uint8_t byte) {
  static const uint16_t high[32] = {0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD,
                                    0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};
  return byte >= 0x80 && byte < 0xA0 ? high[byte - 0x80] : byte;
}

// Family names compare without case and spaces.
static std::string family_key(const char* name) {
  std::string key;
  for (const char* p = name; *p; p++)
    if (*p != ' ') key += (char)(*p >= 'A' && *p <= 'Z' ? *p - 'A' + 'a' : *p);
  return key;
}

static long to_pixels(FT_Pos v) { return (v + 32) >> 6; }

// Opens the face file at the described size, style and direction; 0 on failure.
static int open_face(D2dFont* f, const std::string& file, int index) {
  if (!fs.ft && FT_Init_FreeType(&fs.ft)) {
    fs.ft = nullptr;
    return 0;
  }
  FT_Face face;
  if (!font_open_face(fs.ft, file.c_str(), index, &face)) return 0;
  if (!FT_IS_SCALABLE(face) || !face->units_per_EM) {
    FT_Done_Face(face);
    return 0;
  }
  const D2dFontDesc& desc = f->desc;
  int em = 16; // the size of a height-0 font
  if (desc.height < 0) {
    em = -desc.height;
  } else if (desc.height > 0) {
    // A positive height is the whole cell; the em is the part of it the font says.
    long cell = face->ascender - face->descender;
    em = cell > 0 ? (int)((long long)desc.height * face->units_per_EM / cell) : desc.height;
  }
  if (em < 1) em = 1;
  if (em > 2048) em = 2048; // nothing larger fits on a screen; bounds the glyph bitmaps
  if (FT_Set_Pixel_Sizes(face, 0, (FT_UInt)em)) {
    FT_Done_Face(face);
    return 0;
  }
  D2dFontFace* ff = new (std::nothrow) D2dFontFace{face, 0, FT_LOAD_DEFAULT};
  if (!ff) {
    FT_Done_Face(face);
    return 0;
  }
  ff->synth_bold = desc.weight >= 600 && !(face->style_flags & FT_STYLE_FLAG_BOLD);
  int synth_italic = desc.italic && !(face->style_flags & FT_STYLE_FLAG_ITALIC);
  ff->load_flags = FT_LOAD_NO_BITMAP | (desc.quality == D2D_QUALITY_PROOF ? FT_LOAD_TARGET_NORMAL
                                                                          : FT_LOAD_TARGET_LIGHT);
  // The direction and any slant go in one matrix, slant first.
  double shear = synth_italic ? 0.2126 : 0.0;
  if (f->rotated || synth_italic) {
    FT_Matrix m;
    m.xx = (FT_Fixed)std::lround(f->cos_a * 65536);
    m.xy = (FT_Fixed)std::lround((f->cos_a * shear - f->sin_a) * 65536);
    m.yx = (FT_Fixed)std::lround(f->sin_a * 65536);
    m.yy = (FT_Fixed)std::lround((f->sin_a * shear + f->cos_a) * 65536);
    FT_Set_Transform(face, &m, nullptr);
  }
  const FT_Size_Metrics& m = face->size->metrics;
  f->face = ff;
  f->ascent = (int)to_pixels(m.ascender);
  f->descent = (int)to_pixels(-m.descender);
  long y_scale = m.y_scale;
  f->underline_pos = (int)to_pixels(-FT_MulFix(face->underline_position, y_scale));
  f->underline_size = (int)to_pixels(FT_MulFix(face->underline_thickness, y_scale));
  TT_OS2* os2 = (TT_OS2*)FT_Get_Sfnt_Table(face, FT_SFNT_OS2);
  if (os2 && os2->yStrikeoutSize > 0) {
    f->strike_pos = (int)to_pixels(FT_MulFix(os2->yStrikeoutPosition, y_scale));
    f->strike_size = (int)to_pixels(FT_MulFix(os2->yStrikeoutSize, y_scale));
  } else {
    f->strike_pos = f->ascent / 3;
    f->strike_size = f->underline_size;
  }
  if (f->underline_size < 1) f->underline_size = 1;
  if (f->strike_size < 1) f->strike_size = 1;
  return 1;
}

static void set_direction(D2dFont* f) {
  int tenths = f->desc.escapement % 3600;
  f->rotated = tenths != 0;
  double a = tenths * std::numbers::pi / 1800.0;
  f->cos_a = f->rotated ? std::cos(a) : 1.0;
  f->sin_a = f->rotated ? std::sin(a) : 0.0;
}

static void set_bitmap_metrics(D2dFont* f) {
  f->ascent = SYSFONT_ASCENT * f->scale;
  f->descent = (SYSFONT_CELL_H - SYSFONT_ASCENT) * f->scale;
  f->underline_pos = f->scale;
  f->underline_size = f->scale;
  f->strike_pos = 3 * f->scale;
  f->strike_size = f->scale;
}

static int is_system_face(const char* face) { return family_key(face) == "system"; }

static D2dFont* system_font() {
  if (!fs.system) {
    fs.system = new (std::nothrow) D2dFont{};
    if (!fs.system) return nullptr;
    fs.system->handle = D2D_SYSTEM_FONT;
    std::strcpy(fs.system->desc.face, "System");
    fs.system->desc.weight = D2D_WEIGHT_NORMAL;
    fs.system->scale = 2;
    fs.system->desc.height = SYSFONT_CELL_H * 2;
    set_direction(fs.system);
    set_bitmap_metrics(fs.system);
  }
  return fs.system;
}

static void free_font(D2dFont* f) {
  if (f->face) {
    FT_Done_Face(f->face->face);
    delete f->face;
  }
  delete f;
}

int d2d_font_create(const D2dFontDesc* desc) {
  if (!desc) return 0;
  D2dFont* f = new (std::nothrow) D2dFont{};
  if (!f) return 0;
  f->desc = *desc;
  f->desc.face[sizeof f->desc.face - 1] = 0;
  set_direction(f);
  if (is_system_face(f->desc.face)) {
    int h = std::abs(f->desc.height);
    f->scale = h ? (h + SYSFONT_CELL_H / 2) / SYSFONT_CELL_H : 2;
    if (f->scale < 1) f->scale = 1;
    if (f->scale > 64) f->scale = 64;
    set_bitmap_metrics(f);
  } else {
    std::string file;
    int index = 0;
    if (!plat_font_find(f->desc.face, f->desc.weight >= 600, f->desc.italic, &file, &index) ||
        !open_face(f, file, index)) {
      delete f;
      return 0;
    }
  }
  // Handles are never reused while the process lives, so a stale one finds nothing.
  if (fs.next_handle < 2) fs.next_handle = 2;
  f->handle = fs.next_handle++;
  fs.fonts[f->handle] = f;
  return f->handle;
}

D2dFont* d2d_font_get(int handle) {
  auto it = fs.fonts.find(handle);
  return it != fs.fonts.end() ? it->second : system_font();
}

int d2d_font_desc(int font, D2dFontDesc* out) {
  if (font != D2D_SYSTEM_FONT && !fs.fonts.count(font)) return 0;
  D2dFont* f = d2d_font_get(font);
  if (!f) return 0;
  *out = f->desc;
  return 1;
}

void d2d_font_delete(int font) {
  auto it = fs.fonts.find(font);
  if (it == fs.fonts.end()) return;
  free_font(it->second);
  fs.fonts.erase(it);
}

void d2d_font_flush(int font) {
  D2dFont* f = font == D2D_SYSTEM_FONT ? system_font() : d2d_font_get(font);
  if (!f) return;
  for (D2dGlyph& g : f->glyphs) {
    g.ready = 0;
    std::vector<uint8_t>().swap(g.coverage);
  }
}

void d2d_fonts_shutdown() {
  for (auto& [handle, f] : fs.fonts) free_font(f);
  fs.fonts.clear();
  delete fs.system;
  fs.system = nullptr;
  if (fs.ft) FT_Done_FreeType(fs.ft);
  fs.ft = nullptr;
  plat_fonts_release();
}

static void render_outline(D2dFont* f, uint8_t byte, D2dGlyph* g) {
  FT_Face face = f->face->face;
  g->width = g->height = 0;
  g->left = g->top = 0;
  g->adv_x = g->adv_y = 0;
  g->coverage.clear();
  FT_UInt index = FT_Get_Char_Index(face, unicode_of(byte));
  if (FT_Load_Glyph(face, index, f->face->load_flags)) return;
  FT_GlyphSlot slot = face->glyph;
  if (f->face->synth_bold) FT_GlyphSlot_Embolden(slot);
  // Upright text moves by whole pixels, as each character cell is whole pixels wide.
  g->adv_x = f->rotated ? (int)slot->advance.x : (int)((slot->advance.x + 32) & ~63);
  g->adv_y = f->rotated ? -(int)slot->advance.y : 0;
  if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL)) return;
  const FT_Bitmap& bm = slot->bitmap;
  if (bm.pixel_mode != FT_PIXEL_MODE_GRAY && bm.pixel_mode != FT_PIXEL_MODE_MONO) return;
  g->left = slot->bitmap_left;
  g->top = -slot->bitmap_top;
  g->width = (int)bm.width;
  g->height = (int)bm.rows;
  g->coverage.resize((size_t)g->width * g->height);
  for (int y = 0; y < g->height; y++) {
    const uint8_t* row = bm.buffer + (ptrdiff_t)y * bm.pitch;
    uint8_t* out = &g->coverage[(size_t)y * g->width];
    for (int x = 0; x < g->width; x++)
      out[x] =
          bm.pixel_mode == FT_PIXEL_MODE_GRAY ? row[x] : ((row[x / 8] >> (7 - x % 8)) & 1) * 255;
  }
}

const D2dGlyph* d2d_glyph(D2dFont* font, uint8_t byte) {
  D2dGlyph* g = &font->glyphs[byte];
  if (g->ready) return g;
  if (font->face)
    render_outline(font, byte, g);
  else
    sysfont_render(font, byte, g);
  g->ready = 1;
  return g;
}
