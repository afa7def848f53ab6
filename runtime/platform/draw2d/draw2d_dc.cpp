#include "runtime/platform/draw2d/draw2d_internal.h"

#include <new>

struct D2dObjectState {
  D2dPen black_pen;     // a device context's pen until another is selected
  D2dBrush white_brush; // its brush
  D2dBrush null_brush;  // outlined shapes
  int pens_made;        // d2d_pen_create calls that succeeded
  int brushes_made;     // d2d_brush_create calls that succeeded
};
static D2dObjectState objs = {{D2D_SOLID, 0, 1}, {D2D_SOLID, 0xFFFFFF, 1}, {D2D_NULL, 0, 1}, 0, 0};

D2dDc* d2d_dc_create(const Surface* surface) {
  if (!d2d_surface_ok(surface)) return nullptr;
  D2dDc* dc = new (std::nothrow) D2dDc{};
  if (!dc) return nullptr;
  dc->surface = *surface;
  dc->pen = &objs.black_pen;
  dc->brush = &objs.white_brush;
  dc->font = D2D_SYSTEM_FONT;
  dc->text_colour = 0;
  dc->back_colour = 0xFFFFFF;
  dc->back_mode = D2D_OPAQUE;
  dc->rop2 = D2D_ROP2_COPYPEN;
  dc->align = D2D_ALIGN_NOUPDATECP;
  return dc;
}

void d2d_dc_delete(D2dDc* dc) { delete dc; }

D2dPen* d2d_pen_create(int style, D2dColour colour) {
  D2dPen* p = new (std::nothrow) D2dPen{style, colour & 0xFFFFFF, 0};
  if (p) objs.pens_made++;
  return p;
}

D2dBrush* d2d_brush_create(int style, D2dColour colour) {
  D2dBrush* b = new (std::nothrow) D2dBrush{style, colour & 0xFFFFFF, 0};
  if (b) objs.brushes_made++;
  return b;
}

void d2d_pen_delete(D2dPen* pen) {
  if (pen && !pen->stock) delete pen;
}

void d2d_brush_delete(D2dBrush* brush) {
  if (brush && !brush->stock) delete brush;
}

D2dPen* d2d_stock_black_pen() { return &objs.black_pen; }
D2dBrush* d2d_stock_null_brush() { return &objs.null_brush; }
int d2d_pens_made() { return objs.pens_made; }
int d2d_brushes_made() { return objs.brushes_made; }

D2dPen* d2d_select_pen(D2dDc* dc, D2dPen* pen) {
  if (!dc || !pen) return nullptr;
  D2dPen* old = dc->pen;
  dc->pen = pen;
  return old;
}

D2dBrush* d2d_select_brush(D2dDc* dc, D2dBrush* brush) {
  if (!dc || !brush) return nullptr;
  D2dBrush* old = dc->brush;
  dc->brush = brush;
  return old;
}

int d2d_select_font(D2dDc* dc, int font) {
  if (!dc || !font) return 0;
  int old = dc->font;
  dc->font = font;
  return old;
}

void d2d_move_to(D2dDc* dc, int x, int y, int* old_x, int* old_y) {
  if (old_x) *old_x = dc->cur_x;
  if (old_y) *old_y = dc->cur_y;
  dc->cur_x = x;
  dc->cur_y = y;
}

int d2d_set_pixel(D2dDc* dc, int x, int y, D2dColour colour) {
  const Surface* s = &dc->surface;
  if (x < 0 || y < 0 || x >= s->width || y >= s->height) return 0;
  surface_store(d2d_at(s, x, y), surface_bytes_per_pixel(s->format), d2d_native(s->format, colour));
  return 1;
}

D2dColour d2d_get_pixel(D2dDc* dc, int x, int y) {
  const Surface* s = &dc->surface;
  if (x < 0 || y < 0 || x >= s->width || y >= s->height) return D2D_INVALID_COLOUR;
  return d2d_colour_at(s, x, y);
}

void d2d_span(const Surface* s, int y, int x0, int x1, uint32_t value, int rop2) {
  if (y < 0 || y >= s->height) return;
  if (x0 < 0) x0 = 0;
  if (x1 > s->width) x1 = s->width;
  if (x0 >= x1) return;
  int bpp = surface_bytes_per_pixel(s->format);
  uint8_t* p = d2d_at(s, x0, y);
  int n = x1 - x0;
  if (rop2 == D2D_ROP2_XORPEN) {
    uint32_t bits = value & d2d_colour_bits(s->format);
    for (int i = 0; i < n; i++, p += bpp) surface_store(p, bpp, surface_load(p, bpp) ^ bits);
  } else if (bpp == 4) {
    // Four pixels a store: a caption's two boxes are 34,000 pixels every frame.
    typedef uint32_t u32x4 __attribute__((vector_size(16)));
    u32x4 four = {value, value, value, value};
    int i = 0;
    for (; i + 4 <= n; i += 4) std::memcpy(p + 4 * i, &four, 16);
    for (; i < n; i++) std::memcpy(p + 4 * i, &value, 4);
  } else {
    for (int i = 0; i < n; i++, p += 2) surface_store(p, 2, value);
  }
}
