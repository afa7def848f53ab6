// The platform's 2D layer: device contexts over Surfaces holding a pen, a
// brush, a font, text and background colours, an alignment with a current
// position and a raster operation; shapes, text, bit copies, stretches and
// alpha blends. Colours are 0x00BBGGRR, as everywhere above the platform.
//
// Shapes cover the pixels of [left, right) x [top, bottom): the pen draws the
// outermost ring of that area and the brush fills the rest, so a filled shape
// in one colour is exactly its rectangle's size. Everything is clipped to the
// surface.
#pragma once

#include "runtime/platform/softgfx/surface.h"

#include <cstdint>

typedef uint32_t D2dColour;
// What d2d_get_pixel gives outside the surface.
const D2dColour D2D_INVALID_COLOUR = 0xFFFFFFFF;

enum D2dStyle { D2D_SOLID = 0, D2D_NULL = 1 };
struct D2dPen {
  int style; // D2D_SOLID: one pixel wide; D2D_NULL: draws nothing
  D2dColour colour;
  int stock; // stock objects are never deleted
};
struct D2dBrush {
  int style;
  D2dColour colour;
  int stock;
};

enum D2dBackMode { D2D_TRANSPARENT = 1, D2D_OPAQUE = 2 };
enum D2dRop2 { D2D_ROP2_XORPEN = 7, D2D_ROP2_COPYPEN = 13 };
enum D2dAlign { D2D_ALIGN_NOUPDATECP = 0, D2D_ALIGN_UPDATECP = 1 };
enum D2dFillKind { D2D_FILL_BORDER = 0, D2D_FILL_SURFACE = 1 };
enum D2dBlitRop { D2D_SRCCOPY = 0, D2D_SRCINVERT = 1 };
enum D2dStretchMode { D2D_STRETCH_NEAREST = 0, D2D_STRETCH_AVERAGE = 1 };

struct D2dDc {
  Surface surface;
  D2dPen* pen;
  D2dBrush* brush;
  int font; // a font handle; one that no longer exists draws with the system font
  D2dColour text_colour;
  D2dColour back_colour; // behind text in opaque mode
  int back_mode;
  int rop2;
  int align;
  int cur_x, cur_y; // the current position
};

// A device context over a surface, with black pen, white brush, the system
// font, black text on an opaque white background; null for an unusable surface.
D2dDc* d2d_dc_create(const Surface* surface);
void d2d_dc_delete(D2dDc* dc);

// Pens and brushes; create returns null only when memory runs out.
D2dPen* d2d_pen_create(int style, D2dColour colour);
D2dBrush* d2d_brush_create(int style, D2dColour colour);
void d2d_pen_delete(D2dPen* pen);
void d2d_brush_delete(D2dBrush* brush);
D2dPen* d2d_stock_black_pen();
D2dBrush* d2d_stock_null_brush();
// Select the object into dc and return the one it replaces.
D2dPen* d2d_select_pen(D2dDc* dc, D2dPen* pen);
D2dBrush* d2d_select_brush(D2dDc* dc, D2dBrush* brush);
int d2d_select_font(D2dDc* dc, int font);
// Pens and brushes made since start-up, for tests of colour caching.
int d2d_pens_made();
int d2d_brushes_made();

// Moves the current position; the old one goes to *old_x, *old_y when given.
void d2d_move_to(D2dDc* dc, int x, int y, int* old_x, int* old_y);

void d2d_rectangle(D2dDc* dc, int left, int top, int right, int bottom);
// Corners are quarters of an ellipse corner_w by corner_h.
void d2d_round_rect(D2dDc* dc, int left, int top, int right, int bottom, int corner_w,
                    int corner_h);
void d2d_ellipse(D2dDc* dc, int left, int top, int right, int bottom);
// A line with the pen from the current position up to, not including, (x, y),
// which becomes the current position.
void d2d_line_to(D2dDc* dc, int x, int y);
// Writes one pixel in colour (no raster operation); 0 outside the surface.
int d2d_set_pixel(D2dDc* dc, int x, int y, D2dColour colour);
D2dColour d2d_get_pixel(D2dDc* dc, int x, int y);
// Fills with the brush from (x, y): D2D_FILL_BORDER up to pixels of colour,
// D2D_FILL_SURFACE over the pixels of colour; 0 when nothing can be filled.
int d2d_flood_fill(D2dDc* dc, int x, int y, D2dColour colour, int kind);

// Copies w by h pixels of src from (sx, sy) to (x, y) of dc, converting the
// format; D2D_SRCINVERT combines them by exclusive-or. 0 for a bad source.
int d2d_bit_copy(D2dDc* dc, int x, int y, int w, int h, const Surface* src, int sx, int sy,
                 int rop);
// Stretches sw by sh pixels of src to w by h pixels of dc, taking the nearest
// source pixel or the average of those under each destination pixel. A negative
// w (h) mirrors the picture left to right (top to bottom); it then covers the
// columns x + w + 1 to x (rows y + h + 1 to y).
int d2d_stretch(D2dDc* dc, int x, int y, int w, int h, const Surface* src, int sx, int sy, int sw,
                int sh, int rop, int mode);
// Blends sw by sh pixels of src stretched to w by h over dc with the constant
// alpha (0-255); with per_pixel, src is 32-bit with premultiplied colours and
// its alpha byte weighs each pixel too. 0 for a bad source.
int d2d_alpha_blend(D2dDc* dc, int x, int y, int w, int h, const Surface* src, int sx, int sy,
                    int sw, int sh, int alpha, int per_pixel);

// Fonts. A font is a handle; 0 is none.
enum D2dWeight { D2D_WEIGHT_NORMAL = 400, D2D_WEIGHT_BOLD = 700 };
enum D2dQuality { D2D_QUALITY_DEFAULT = 0, D2D_QUALITY_PROOF = 2 };
struct D2dFontDesc {
  int height;     // below 0: character height in pixels; above 0: cell height; 0: default
  int escapement; // text direction, tenths of a degree counter-clockwise
  int weight;
  int italic, underline, strikeout;
  int quality;
  char face[64]; // "System" is the built-in bitmap font
};
// The built-in bitmap font at its own size: always there, even with no fonts installed.
const int D2D_SYSTEM_FONT = 1;
// The vertical resolution of the display in dots per inch.
int d2d_display_dpi();
// a * b / c rounded half away from zero; -1 when c is 0 or the result overflows.
int d2d_mul_div(int a, int b, int c);
// Makes a font from its description; 0 when the face is not installed (plat_font_find
// finds neither that family nor a metric-compatible family) or cannot be loaded.
int d2d_font_create(const D2dFontDesc* desc);
// The description a font was made from; 0 for no such font.
int d2d_font_desc(int font, D2dFontDesc* out);
// Deletes a font; the system font and unknown handles are ignored.
void d2d_font_delete(int font);
// Forgets the rendered glyphs of a font (they are rendered again on use).
void d2d_font_flush(int font);
// Deletes every font and releases FreeType and the font lookup.
void d2d_fonts_shutdown();

// The width and height of a text of len bytes in dc's font (no overhang);
// 0 when len is 0.
int d2d_text_extent(D2dDc* dc, const char* text, int len, int* width, int* height);
// Draws text with the top-left of its cell at (x, y), or at the current position
// with D2D_ALIGN_UPDATECP, which then moves on along the text.
int d2d_text_out(D2dDc* dc, int x, int y, const char* text, int len);
