#include "runtime/platform/draw2d/draw2d_internal.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

static inline uint32_t div255(uint32_t v) { return (v + 1 + (v >> 8)) >> 8; }

static inline uint32_t mix(uint32_t fg, uint32_t bg, uint32_t a) {
  return div255(fg * a + bg * (255 - a));
}

// Blends a glyph's coverage in colour into the surface with its top-left at (gx, gy).
static void blend_glyph(const Surface* s, int gx, int gy, const D2dGlyph* g, D2dColour colour) {
  int x0 = std::max(gx, 0), y0 = std::max(gy, 0);
  int x1 = (int)std::min<int64_t>((int64_t)gx + g->width, s->width);
  int y1 = (int)std::min<int64_t>((int64_t)gy + g->height, s->height);
  if (x0 >= x1 || y0 >= y1) return;
  uint32_t r = colour & 0xFF, gr = (colour >> 8) & 0xFF, b = (colour >> 16) & 0xFF;
  uint32_t solid = d2d_native(s->format, colour);
  int n = x1 - x0;
  if (surface_bytes_per_pixel(s->format) == 4) {
    // Two channels per multiply: red and blue, then alpha (the text's is 255) and green.
    uint32_t src_rb = solid & 0x00FF00FF, src_ag = (solid >> 8) & 0x00FF00FF;
    for (int y = y0; y < y1; y++) {
      const uint8_t* cov = &g->coverage[(size_t)(y - gy) * g->width + (x0 - gx)];
      uint8_t* p = d2d_at(s, x0, y);
      for (int i = 0; i < n; i++, p += 4) {
        uint32_t a = cov[i];
        if (a == 255) {
          std::memcpy(p, &solid, 4);
        } else if (a) {
          uint32_t d, w = a + (a >> 7); // 0-256
          std::memcpy(&d, p, 4);
          uint32_t rb = (src_rb * w + (d & 0x00FF00FF) * (256 - w)) >> 8 & 0x00FF00FF;
          uint32_t ag = (src_ag * w + (d >> 8 & 0x00FF00FF) * (256 - w)) & 0xFF00FF00;
          d = rb | ag;
          std::memcpy(p, &d, 4);
        }
      }
    }
    return;
  }
  for (int y = y0; y < y1; y++) {
    const uint8_t* cov = &g->coverage[(size_t)(y - gy) * g->width + (x0 - gx)];
    uint8_t* p = d2d_at(s, x0, y);
    for (int i = 0; i < n; i++, p += 2) {
      uint32_t a = cov[i];
      if (a == 255) {
        surface_store(p, 2, solid);
      } else if (a) {
        D2dColour d = d2d_colour_of(s->format, surface_load(p, 2));
        D2dColour m = mix(r, d & 0xFF, a) | mix(gr, (d >> 8) & 0xFF, a) << 8 |
                      mix(b, (d >> 16) & 0xFF, a) << 16;
        surface_store(p, 2, d2d_native(s->format, m));
      }
    }
  }
}

// The pen's travel over the text in 1/64 pixel, measured along the text.
static int64_t advance_of(D2dFont* f, const char* text, int len) {
  int64_t sum = 0;
  double rotated = 0;
  for (int i = 0; i < len; i++) {
    const D2dGlyph* g = d2d_glyph(f, (uint8_t)text[i]);
    if (f->rotated)
      rotated += std::hypot((double)g->adv_x, (double)g->adv_y);
    else
      sum += g->adv_x;
  }
  return f->rotated ? (int64_t)std::llround(rotated) : sum;
}

int d2d_text_extent(D2dDc* dc, const char* text, int len, int* width, int* height) {
  if (width) *width = 0;
  if (height) *height = 0;
  if (!dc || !text || len <= 0) return 0;
  D2dFont* f = d2d_font_get(dc->font);
  if (!f) return 0;
  int64_t w = (advance_of(f, text, len) + 32) >> 6;
  if (width) *width = (int)std::min<int64_t>(w, INT32_MAX);
  if (height) *height = f->ascent + f->descent;
  return 1;
}

// Fills the pixels whose centres lie in the band from along0 to along1 along the
// text and from down0 to down1 across it, measured from the baseline point o.
static void fill_band(const Surface* s, double ox, double oy, const D2dFont* f, double along0,
                      double along1, double down0, double down1, uint32_t value) {
  double c = f->cos_a, sn = f->sin_a;
  if (!f->rotated) {
    int y0 = (int)std::lround(oy + down0), y1 = (int)std::lround(oy + down1);
    int x0 = (int)std::lround(ox + along0), x1 = (int)std::lround(ox + along1);
    for (int y = y0; y < y1; y++) d2d_span(s, y, x0, x1, value, D2D_ROP2_COPYPEN);
    return;
  }
  double xs[4], ys[4];
  int k = 0;
  for (double t : {along0, along1})
    for (double u : {down0, down1}) {
      xs[k] = ox + t * c + u * sn;
      ys[k] = oy - t * sn + u * c;
      k++;
    }
  int x0 = std::max(0, (int)std::floor(*std::min_element(xs, xs + 4)));
  int x1 = std::min(s->width, (int)std::ceil(*std::max_element(xs, xs + 4)));
  int y0 = std::max(0, (int)std::floor(*std::min_element(ys, ys + 4)));
  int y1 = std::min(s->height, (int)std::ceil(*std::max_element(ys, ys + 4)));
  for (int y = y0; y < y1; y++)
    for (int x = x0; x < x1; x++) {
      double px = x + 0.5 - ox, py = y + 0.5 - oy;
      double t = px * c - py * sn, u = px * sn + py * c;
      if (t >= along0 && t < along1 && u >= down0 && u < down1)
        d2d_span(s, y, x, x + 1, value, D2D_ROP2_COPYPEN);
    }
}

int d2d_text_out(D2dDc* dc, int x, int y, const char* text, int len) {
  if (!dc || !text || len < 0) return 0;
  if (dc->align == D2D_ALIGN_UPDATECP) x = dc->cur_x, y = dc->cur_y;
  D2dFont* f = d2d_font_get(dc->font);
  if (!f) return 0;
  const Surface* s = &dc->surface;
  // The text's cell hangs from (x, y); glyphs sit on its baseline, ascent below the top.
  double ox = x + f->ascent * f->sin_a, oy = y + f->ascent * f->cos_a;
  int opaque = dc->back_mode == D2D_OPAQUE && !f->rotated && len > 0;
  int lines = (f->desc.underline || f->desc.strikeout) && len > 0;
  int64_t total = opaque || lines ? advance_of(f, text, len) : 0;
  if (opaque) {
    uint32_t back = d2d_native(s->format, dc->back_colour);
    int64_t right = std::min<int64_t>((int64_t)x + ((total + 32) >> 6), s->width);
    for (int row = 0; row < f->ascent + f->descent; row++)
      d2d_span(s, y + row, x, (int)right, back, D2D_ROP2_COPYPEN);
  }
  int64_t pen_x = std::llround(ox * 64), pen_y = std::llround(oy * 64);
  int64_t start_x = pen_x, start_y = pen_y;
  for (int i = 0; i < len; i++) {
    const D2dGlyph* g = d2d_glyph(f, (uint8_t)text[i]);
    if (g->width > 0 && g->height > 0) {
      int64_t gx = ((pen_x + 32) >> 6) + g->left, gy = ((pen_y + 32) >> 6) + g->top;
      if (gx > INT32_MIN / 2 && gx < INT32_MAX / 2 && gy > INT32_MIN / 2 && gy < INT32_MAX / 2)
        blend_glyph(s, (int)gx, (int)gy, g, dc->text_colour);
    }
    pen_x += g->adv_x;
    pen_y += g->adv_y;
  }
  double length = total / 64.0;
  uint32_t ink = d2d_native(s->format, dc->text_colour);
  if (f->desc.underline && len > 0)
    fill_band(s, ox, oy, f, 0, length, f->underline_pos, f->underline_pos + f->underline_size, ink);
  if (f->desc.strikeout && len > 0)
    fill_band(s, ox, oy, f, 0, length, -f->strike_pos, -f->strike_pos + f->strike_size, ink);
  if (dc->align == D2D_ALIGN_UPDATECP) {
    dc->cur_x = (int)(x + ((pen_x - start_x + 32) >> 6));
    dc->cur_y = (int)(y + ((pen_y - start_y + 32) >> 6));
  }
  return 1;
}
