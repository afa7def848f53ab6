#include "runtime/image/drawing.h"

#include "runtime/core/strings.h"
#include "runtime/display/object_table.h"
#include "runtime/image/drawing_images.h"
#include "runtime/image/start_ahead.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

struct FontRecord {
  intptr_t handle; // the platform's font; 0: an empty number
};

struct DrawState {
  DrawContext* last_current; // the current output of whichever thread set one last
  ObjectTable fonts;         // FontRecords, made by font_init
  int fonts_ready;           // fonts holds a created table
};
static DrawState draw;

// Drawing calls go to the output this thread made last, until its draw_stop.
static thread_local DrawContext* current_output;

static void set_current(DrawContext* c) {
  current_output = c;
  draw.last_current = c;
}

static int clamp_int(int64_t v) {
  return v < INT32_MIN ? INT32_MIN : (v > INT32_MAX ? INT32_MAX : (int)v);
}

// Outputs of kind 7 give their device context up while their pixels are
// locked; each call that draws through it takes it back first, with the
// colours, mode, pen and font the context had.
int draw_dc_on_demand(DrawContext* c) {
  if (c->kind == DRAW_KIND_ON_DEMAND && c->dc_state == -1) {
    c->dc = c->get_dc ? c->get_dc(c) : nullptr;
    c->pixels = nullptr;
    if (!c->dc) return 0; // still released: the next call tries again
    c->dc_state = 1;
    if (c->applied_colour != -1) c->dc->text_colour = (D2dColour)c->applied_colour;
    c->dc->align = D2D_ALIGN_UPDATECP;
    if (c->applied_back_colour != -1) c->dc->back_colour = (D2dColour)c->applied_back_colour;
    if (c->mode)
      c->ops.set_mode(c, c->mode);
    else
      d2d_select_brush(c->dc, c->brush);
    d2d_select_pen(c->dc, c->pen);
    d2d_select_font(c->dc, c->font);
  }
  return c->dc != nullptr;
}

// The colour shapes are drawn in: the pen's, black before any colour was given.
static D2dColour pen_colour(DrawContext* c) {
  return c->applied_colour == -1 ? 0 : c->applied_colour;
}

static void op_apply_back_colour(DrawContext* c) {
  if (draw_dc_on_demand(c)) c->dc->back_colour = (D2dColour)c->applied_back_colour;
}

static void op_set_colour(DrawContext* c, int colour) {
  if (!draw_dc_on_demand(c)) return;
  if (!(c->mode & DRAW_OUTLINED)) {
    D2dBrush* b = d2d_brush_create(D2D_SOLID, (D2dColour)colour);
    if (b) {
      d2d_select_brush(c->dc, b);
      d2d_brush_delete(c->brush);
      c->brush = b;
    }
  }
  D2dPen* p = d2d_pen_create(D2D_SOLID, (D2dColour)colour);
  if (p) {
    d2d_select_pen(c->dc, p);
    d2d_pen_delete(c->pen);
    c->pen = p;
  }
  c->dc->text_colour = (D2dColour)colour & 0xFFFFFF;
}

static void op_set_mode(DrawContext* c, int flags) {
  if (!draw_dc_on_demand(c)) return;
  c->mode = flags;
  c->dc->rop2 = flags & DRAW_XOR ? D2D_ROP2_XORPEN : D2D_ROP2_COPYPEN;
  d2d_select_brush(c->dc, flags & DRAW_OUTLINED ? d2d_stock_null_brush() : c->brush);
  c->dc->back_mode = flags & DRAW_TRANSPARENT ? D2D_TRANSPARENT : D2D_OPAQUE;
  // Before any colour was given the black pen and brush of start stay.
  if (c->applied_colour != -1) op_set_colour(c, c->applied_colour);
}

static void op_box(DrawContext* c, int x, int y, int w, int h) {
  if (!draw_dc_on_demand(c)) return;
  if ((w == 1 || w == -1) && (h == 1 || h == -1)) {
    d2d_set_pixel(c->dc, clamp_int((int64_t)x - (w == -1)), clamp_int((int64_t)y - (h == -1)),
                  pen_colour(c));
    return;
  }
  d2d_rectangle(c->dc, x, y, clamp_int((int64_t)x + w), clamp_int((int64_t)y + h));
}

static void op_round_box(DrawContext* c, int x, int y, int w, int h, int rx, int ry) {
  if (!draw_dc_on_demand(c)) return;
  d2d_round_rect(c->dc, x, y, clamp_int((int64_t)x + w), clamp_int((int64_t)y + h),
                 clamp_int(2 * (int64_t)rx), clamp_int(2 * (int64_t)ry));
}

static void op_ellipse(DrawContext* c, int x, int y, int rx, int ry) {
  if (!draw_dc_on_demand(c)) return;
  d2d_ellipse(c->dc, clamp_int((int64_t)x - rx), clamp_int((int64_t)y - ry),
              clamp_int((int64_t)x + rx + 1), clamp_int((int64_t)y + ry + 1));
}

static void op_circle(DrawContext* c, int x, int y, int r) {
  if (r == 1) {
    if (draw_dc_on_demand(c))
      d2d_rectangle(c->dc, x, y, clamp_int((int64_t)x + 1), clamp_int((int64_t)y + 1));
    return;
  }
  op_ellipse(c, x, y, r, r);
}

static void op_line(DrawContext* c, int x1, int y1, int x2, int y2) {
  if (!draw_dc_on_demand(c)) return;
  d2d_move_to(c->dc, x1, y1, nullptr, nullptr);
  d2d_line_to(c->dc, x2, y2);
  d2d_set_pixel(c->dc, x2, y2, pen_colour(c));
}

static void op_plot_current(DrawContext* c, int x, int y) {
  if (draw_dc_on_demand(c)) d2d_set_pixel(c->dc, x, y, pen_colour(c));
}

static uint8_t* op_drawing_buffer(DrawContext* c) {
  if (c->kind != DRAW_KIND_ON_DEMAND) return nullptr;
  if (c->dc_state == 1) {
    c->dc_state = -1;
    c->pixels = c->lock_pixels ? c->lock_pixels(c) : nullptr;
    c->dc = nullptr; // the output released it for the lock
  }
  return c->pixels;
}

static int op_drawing_buffer_pitch(DrawContext* c) {
  return c->kind == DRAW_KIND_ON_DEMAND ? c->pitch : 0;
}

static int op_drawing_buffer_format(DrawContext* c) {
  return c->kind == DRAW_KIND_ON_DEMAND ? c->pixel_format : 0;
}

static void op_plot(DrawContext* c, int x, int y, int colour) {
  uint8_t* pixels = c->kind == DRAW_KIND_ON_DEMAND ? op_drawing_buffer(c) : nullptr;
  int bpp = c->pixel_format == DRAW_FORMAT_8 ? 1 : c->pixel_format == DRAW_FORMAT_32 ? 4 : 2;
  int direct = c->pixel_format == DRAW_FORMAT_8 || c->pixel_format == DRAW_FORMAT_15 ||
               c->pixel_format == DRAW_FORMAT_16 || c->pixel_format == DRAW_FORMAT_32;
  if (!pixels || !direct) {
    if (draw_dc_on_demand(c)) d2d_set_pixel(c->dc, x, y, (D2dColour)colour);
    return;
  }
  // The lock gives no bounds of its own: the output's size is the bound.
  if (x < 0 || y < 0 || x >= c->width || y >= c->height) return;
  uint8_t* p = pixels + (ptrdiff_t)y * c->pitch + (ptrdiff_t)x * bpp;
  uint32_t r = colour & 0xFF, g = (colour >> 8) & 0xFF, b = (colour >> 16) & 0xFF;
  uint32_t v;
  switch (c->pixel_format) {
  case DRAW_FORMAT_8: *p = (uint8_t)colour; return;
  case DRAW_FORMAT_15: v = (r >> 3) << 10 | (g >> 3) << 5 | b >> 3; break;
  case DRAW_FORMAT_16: v = (r >> 3) << 11 | (g >> 2) << 5 | b >> 3; break;
  default: v = 0xFF000000u | r << 16 | g << 8 | b;
  }
  std::memcpy(p, &v, (size_t)bpp);
}

static int op_point(DrawContext* c, int x, int y) {
  if (!draw_dc_on_demand(c)) return -1;
  return (int)d2d_get_pixel(c->dc, x, y);
}

static void op_fill_area(DrawContext* c, int x, int y, int colour) {
  if (!draw_dc_on_demand(c)) return;
  D2dBrush* fill = nullptr;
  D2dBrush* was = nullptr;
  if (c->mode & DRAW_OUTLINED) { // outlined shapes have no brush; a fill needs one
    fill = d2d_brush_create(D2D_SOLID, pen_colour(c));
    if (!fill) return;
    was = d2d_select_brush(c->dc, fill);
  }
  if (colour == -1)
    d2d_flood_fill(c->dc, x, y, d2d_get_pixel(c->dc, x, y), D2D_FILL_SURFACE);
  else
    d2d_flood_fill(c->dc, x, y, (D2dColour)colour, D2D_FILL_BORDER);
  if (fill) {
    d2d_select_brush(c->dc, was);
    d2d_brush_delete(fill);
  }
}

static int op_text(DrawContext* c, int x, int y, const char* text) {
  if (!draw_dc_on_demand(c)) return x;
  d2d_move_to(c->dc, x, y, nullptr, nullptr);
  if (*text) d2d_text_out(c->dc, x, y, text, (int)std::strlen(text));
  int end = c->dc->cur_x;
  d2d_move_to(c->dc, 0, 0, nullptr, nullptr);
  return end;
}

static int op_text_width(DrawContext* c, const char* text) {
  if (!*text || !draw_dc_on_demand(c)) return 0;
  int w, h;
  d2d_text_extent(c->dc, text, (int)std::strlen(text), &w, &h);
  return w + c->italic_overhang;
}

static int op_text_height(DrawContext* c, const char* text) {
  if (!*text || !draw_dc_on_demand(c)) return 0;
  int w, h;
  d2d_text_extent(c->dc, text, (int)std::strlen(text), &w, &h);
  return h;
}

// How far an italic "H" reaches past its advance, measured by drawing it.
static int italic_overhang_of(int font) {
  D2dFontDesc desc;
  if (!d2d_font_desc(font, &desc) || !desc.italic) return 0;
  Surface probe = {nullptr, 1, 1, 4, FMT_X8R8G8B8, 0, 0};
  uint32_t pixel = 0;
  probe.pixels = (uint8_t*)&pixel;
  D2dDc* m = d2d_dc_create(&probe);
  if (!m) return 0;
  d2d_select_font(m, font);
  int w = 0, h = 0;
  d2d_text_extent(m, "H", 1, &w, &h);
  d2d_dc_delete(m);
  if (w <= 0 || h <= 0) return 0;
  std::vector<uint32_t> scratch((size_t)2 * w * 2 * h, 0);
  Surface s = {(uint8_t*)scratch.data(), 2 * w, 2 * h, 8 * w, FMT_X8R8G8B8, 0, 0};
  D2dDc* dc = d2d_dc_create(&s);
  if (!dc) return 0;
  d2d_select_font(dc, font);
  dc->text_colour = 0xFFFFFF;
  dc->back_colour = 0;
  d2d_text_out(dc, 0, 0, "H", 1);
  d2d_dc_delete(dc);
  for (int n = 2 * w - 1; n >= 0; n--)
    for (int y = 0; y < h; y++)
      if (scratch[(size_t)y * 2 * w + n] & 0xFFFFFF) return n - w + 2;
  return 0;
}

static void op_set_font(DrawContext* c, int font) {
  if (font == -1) font = D2D_SYSTEM_FONT;
  D2dFontDesc desc;
  if (!d2d_font_desc(font, &desc) || !draw_dc_on_demand(c)) return;
  d2d_select_font(c->dc, font);
  c->font = font;
  c->italic_overhang = italic_overhang_of(font);
  if (c->rotated_font) d2d_font_delete(c->rotated_font);
  c->rotated_font = 0;
}

static void op_rotated_text(DrawContext* c, int x, int y, const char* text, double angle) {
  if (!draw_dc_on_demand(c)) return;
  int escapement = trunc_int(std::fmod(angle, 360.0) * 10);
  if (!c->rotated_font || c->rotated_escapement != escapement) {
    if (c->rotated_font) d2d_font_delete(c->rotated_font);
    c->rotated_font = 0;
    D2dFontDesc desc;
    if (!d2d_font_desc(c->font, &desc)) return;
    desc.escapement = escapement;
    c->rotated_font = d2d_font_create(&desc);
    c->rotated_escapement = escapement;
    if (!c->rotated_font) return;
  }
  int back_mode = c->dc->back_mode;
  c->dc->back_mode = D2D_TRANSPARENT;
  d2d_select_font(c->dc, c->rotated_font);
  c->ops.text(c, x, y, text);
  d2d_select_font(c->dc, c->font);
  c->dc->back_mode = back_mode;
}

static int op_start(DrawContext* c) {
  c->brush = d2d_brush_create(D2D_SOLID, 0);
  c->pen = d2d_pen_create(D2D_SOLID, 0);
  c->mode = 0;
  c->dc_state = 1;
  c->font = D2D_SYSTEM_FONT;
  if (!c->dc || !c->brush || !c->pen) return 0;
  c->dc->align = D2D_ALIGN_UPDATECP;
  c->old_brush = d2d_select_brush(c->dc, c->brush);
  c->old_pen = d2d_select_pen(c->dc, c->pen);
  d2d_select_font(c->dc, D2D_SYSTEM_FONT);
  return 1;
}

static void op_stop(DrawContext* c) {
  if (c->dc && c->dc_state == 1) {
    if (c->old_brush) d2d_select_brush(c->dc, c->old_brush);
    if (c->old_pen) d2d_select_pen(c->dc, c->old_pen);
    d2d_select_font(c->dc, D2D_SYSTEM_FONT);
  }
  d2d_brush_delete(c->brush);
  d2d_pen_delete(c->pen);
  if (c->rotated_font) d2d_font_delete(c->rotated_font);
  c->brush = nullptr;
  c->pen = nullptr;
  c->rotated_font = 0;
}

static void discard(DrawContext* c, int stopped) {
  if (c->cleanup) c->cleanup(c, stopped);
  if (current_output == c) set_current(nullptr);
  if (draw.last_current == c) draw.last_current = nullptr;
  std::free(c);
}

DrawContext* draw_context_make() {
  // An output left current without its draw_stop would keep its device context forever.
  if (DrawContext* old = current_output) {
    if (old->started)
      draw_stop();
    else
      discard(old, 0);
  }
  DrawContext* c = (DrawContext*)std::calloc(1, sizeof(DrawContext));
  if (!c) return nullptr;
  set_current(c);
  c->front_colour = 0xFFFFFF;
  c->applied_colour = -1;
  c->applied_back_colour = -1;
  c->back_colour = 0;
  c->ops = {op_apply_back_colour,
            op_box,
            op_round_box,
            op_circle,
            op_set_font,
            op_drawing_buffer,
            op_drawing_buffer_pitch,
            op_drawing_buffer_format,
            op_set_mode,
            draw_op_image,
            draw_op_image_sized,
            draw_op_alpha_image,
            op_text,
            op_rotated_text,
            op_ellipse,
            op_fill_area,
            op_set_colour,
            draw_op_grab_image,
            op_line,
            op_plot_current,
            op_plot,
            op_point,
            op_start,
            op_stop,
            op_text_height,
            op_text_width};
  return c;
}

DrawContext* draw_current() { return current_output; }

int draw_format_code(int surface_format) {
  switch (surface_format) {
  case FMT_A8R8G8B8:
  case FMT_X8R8G8B8: return DRAW_FORMAT_32;
  case FMT_R5G6B5: return DRAW_FORMAT_16;
  case FMT_X1R5G5B5:
  case FMT_A1R5G5B5: return DRAW_FORMAT_15;
  }
  return 0;
}

// A memory output: the surface is the caller's; the device context is ours.
struct SurfaceOutput {
  Surface surface;
};

static D2dDc* surface_get_dc(DrawContext* c) {
  if (!c->dc) c->dc = d2d_dc_create(&((SurfaceOutput*)c->output)->surface);
  return c->dc;
}

static uint8_t* surface_lock(DrawContext* c) {
  d2d_dc_delete(c->dc);
  c->dc = nullptr;
  const Surface& s = ((SurfaceOutput*)c->output)->surface;
  c->pitch = s.pitch;
  return s.pixels;
}

static void surface_cleanup(DrawContext* c, int) {
  d2d_dc_delete(c->dc);
  c->dc = nullptr;
  delete (SurfaceOutput*)c->output;
  c->output = nullptr;
}

DrawContext* surface_output(const Surface* surface) {
  if (!surface || !draw_format_code(surface->format)) return nullptr;
  SurfaceOutput* out = new (std::nothrow) SurfaceOutput{*surface};
  D2dDc* dc = out ? d2d_dc_create(surface) : nullptr;
  DrawContext* c = dc ? draw_context_make() : nullptr;
  if (!c) {
    d2d_dc_delete(dc);
    delete out;
    return nullptr;
  }
  c->kind = DRAW_KIND_ON_DEMAND;
  c->width = surface->width;
  c->height = surface->height;
  c->depth = 8 * surface_bytes_per_pixel(surface->format);
  c->pixel_format = draw_format_code(surface->format);
  c->dc = dc;
  c->output = out;
  c->get_dc = surface_get_dc;
  c->lock_pixels = surface_lock;
  c->cleanup = surface_cleanup;
  return c;
}

int draw_start(DrawContext* context) {
  if (!context) return 0;
  set_current(context);
  int result = context->ops.start(context);
  if (!result) {
    context->ops.stop(context); // deletes what start made before it failed
    discard(context, 0);
    return 0;
  }
  context->started = 1;
  return result;
}

void draw_stop() {
  DrawContext* c = current_output;
  if (!c) return;
  c->ops.stop(c);
  discard(c, 1);
}

// The current output, while a drawing pass is on.
static DrawContext* drawing() {
  DrawContext* c = current_output;
  return c && c->started ? c : nullptr;
}

void draw_mode(int flags) {
  if (DrawContext* c = drawing()) c->ops.set_mode(c, flags);
}

void draw_font(int font) {
  DrawContext* c = drawing();
  if (!c) return;
  // A font number made under -1 stands for its font too.
  if (font < -1 && draw.fonts_ready)
    if (FontRecord* r = (FontRecord*)object_table_lookup(&draw.fonts, font)) font = (int)r->handle;
  c->ops.set_font(c, font);
}

int text_width(const char* text) {
  DrawContext* c = drawing();
  return c && text ? c->ops.text_width(c, text) : 0;
}

int text_height(const char* text) {
  DrawContext* c = drawing();
  return c && text ? c->ops.text_height(c, text) : 0;
}

// Pen, brush and text colour change only when the colour does.
static void use_colour(DrawContext* c, int colour) {
  if (colour == c->applied_colour) return;
  c->applied_colour = colour;
  c->ops.set_colour(c, colour);
}

void draw_box(int x, int y, int w, int h, int colour) {
  DrawContext* c = drawing();
  if (!c || !draw_dc_on_demand(c)) return;
  use_colour(c, colour);
  c->ops.box(c, x, y, w, h);
}

int draw_text(int x, int y, const char* text, int colour) {
  DrawContext* c = drawing();
  if (!c || !text || !draw_dc_on_demand(c)) return x;
  use_colour(c, colour);
  if (c->back_colour != c->applied_back_colour) {
    c->applied_back_colour = c->back_colour;
    c->ops.apply_back_colour(c);
  }
  return c->ops.text(c, x, y, text);
}

void round_box(int x, int y, int w, int h, int rx, int ry) {
  if (DrawContext* c = drawing()) c->ops.round_box(c, x, y, w, h, rx, ry);
}

void circle(int x, int y, int r) {
  if (DrawContext* c = drawing()) c->ops.circle(c, x, y, r);
}

void ellipse(int x, int y, int rx, int ry) {
  if (DrawContext* c = drawing()) c->ops.ellipse(c, x, y, rx, ry);
}

void line(int x1, int y1, int x2, int y2) {
  if (DrawContext* c = drawing()) c->ops.line(c, x1, y1, x2, y2);
}

void plot_current(int x, int y) {
  if (DrawContext* c = drawing()) c->ops.plot_current(c, x, y);
}

void plot(int x, int y, int colour) {
  if (DrawContext* c = drawing()) c->ops.plot(c, x, y, colour);
}

int point(int x, int y) {
  DrawContext* c = drawing();
  return c ? c->ops.point(c, x, y) : -1;
}

void fill_area(int x, int y, int colour) {
  if (DrawContext* c = drawing()) c->ops.fill_area(c, x, y, colour);
}

int draw_image(int image, int x, int y) {
  DrawContext* c = drawing();
  return c ? c->ops.draw_image(c, image, x, y) : 0;
}

int draw_image_sized(int image, int x, int y, int w, int h) {
  DrawContext* c = drawing();
  return c ? c->ops.draw_image_sized(c, image, x, y, w, h) : 0;
}

int draw_alpha_image(int image, int x, int y, int alpha) {
  DrawContext* c = drawing();
  return c ? c->ops.draw_alpha_image(c, image, x, y, alpha) : 0;
}

void rotated_text(int x, int y, const char* text, double angle) {
  DrawContext* c = drawing();
  if (c && text) c->ops.rotated_text(c, x, y, text, angle);
}

int grab_image(int number, int x, int y, int w, int h) {
  DrawContext* c = drawing();
  return c ? c->ops.grab_image(c, number, x, y, w, h) : 0;
}

uint8_t* drawing_buffer() {
  DrawContext* c = drawing();
  return c ? c->ops.drawing_buffer(c) : nullptr;
}

int drawing_buffer_pitch() {
  DrawContext* c = drawing();
  return c ? c->ops.drawing_buffer_pitch(c) : 0;
}

int drawing_buffer_format() {
  DrawContext* c = drawing();
  return c ? c->ops.drawing_buffer_format(c) : 0;
}

int font_init() {
  if (!draw.fonts_ready) object_table_create(&draw.fonts, sizeof(FontRecord), 16, font_free);
  draw.fonts_ready = 1;
  return 1;
}

int font_load(int number, const char* face, int size) {
  return font_load_ex(number, face, size, 0);
}

int font_load_ex(int number, const char* face, int size, int flags) {
  if (!face || !font_init()) return 0;
  start_ahead_wait(); // the worker may still be making the lookups ready
  int claimed;
  FontRecord* r = (FontRecord*)object_table_allocate(&draw.fonts, number, &claimed);
  if (!r) return 0;
  D2dFontDesc desc = {};
  // A negative height asks for the character height: size points at the display's dpi.
  desc.height = -d2d_mul_div(size, d2d_display_dpi(), 72);
  desc.weight = flags & FONT_BOLD ? D2D_WEIGHT_BOLD : D2D_WEIGHT_NORMAL;
  desc.italic = (flags & FONT_ITALIC) != 0;
  desc.underline = (flags & FONT_UNDERLINE) != 0;
  desc.strikeout = (flags & FONT_STRIKEOUT) != 0;
  desc.quality = flags & FONT_HIGH_QUALITY ? D2D_QUALITY_PROOF : D2D_QUALITY_DEFAULT;
  std::strncpy(desc.face, face, 31); // face names are at most 31 characters
  int handle = d2d_font_create(&desc);
  if (!handle) {
    object_table_release(&draw.fonts, claimed);
    return 0;
  }
  r->handle = handle;
  return number == -1 ? claimed : handle;
}

void font_free(int number) {
  if (number == -1 || !draw.fonts_ready) return;
  FontRecord* r = (FontRecord*)object_table_lookup(&draw.fonts, number);
  if (!r) return;
  d2d_font_delete((int)r->handle);
  object_table_release(&draw.fonts, number);
}

void font_shutdown() {
  start_ahead_wait();
  if (draw.fonts_ready) object_table_destroy(&draw.fonts);
  draw.fonts_ready = 0;
  d2d_fonts_shutdown();
}
