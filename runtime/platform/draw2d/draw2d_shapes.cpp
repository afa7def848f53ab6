#include "runtime/platform/draw2d/draw2d_internal.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

// A shape is known row by row: the pixels x0 to x1 - 1 of each row, x0 >= x1
// when the row is empty. Rows and columns count from the shape's top-left.
struct Span {
  int64_t x0, x1;
};

enum ShapeKind { SHAPE_RECT, SHAPE_ELLIPSE, SHAPE_ROUND_RECT };

struct Shape {
  int kind;
  int64_t left, top, w, h;
  int64_t corner_w, corner_h; // round rectangles
};

// Row j of an ellipse filling a w by h box: the pixels whose centres lie inside.
static Span ellipse_row(int64_t w, int64_t h, int64_t j) {
  double rx = w / 2.0, ry = h / 2.0;
  double dy = (j + 0.5) - ry;
  double t = 1.0 - (dy / ry) * (dy / ry);
  if (t < 0) return {0, 0};
  double half = rx * std::sqrt(t) + 1e-9;
  int64_t x0 = (int64_t)std::ceil(rx - half - 0.5);
  int64_t x1 = (int64_t)std::floor(rx + half - 0.5) + 1;
  if (x1 <= x0) { // a thin box still shows its middle pixel
    x0 = (w - 1) / 2;
    x1 = x0 + 1;
  }
  return {x0, x1};
}

static Span shape_row(const Shape& s, int64_t j) {
  if (j < 0 || j >= s.h) return {0, 0};
  switch (s.kind) {
  case SHAPE_ELLIPSE: return ellipse_row(s.w, s.h, j);
  case SHAPE_ROUND_RECT: {
    int64_t cw = s.corner_w, ch = s.corner_h;
    int64_t k = -1; // the row of the corner ellipse, or -1 between the corners
    if (j < ch / 2)
      k = j;
    else if (j >= s.h - ch / 2)
      k = j - (s.h - ch);
    if (k < 0) return {0, s.w};
    Span e = ellipse_row(cw, ch, k);
    return {e.x0, s.w - cw + e.x1};
  }
  }
  return {0, s.w};
}

// Paints the outermost ring of the shape with the pen and the rest with the
// brush; each pixel is painted once, so exclusive-or marks every pixel alike.
static void paint_shape(D2dDc* dc, const Shape& s) {
  const Surface* surf = &dc->surface;
  int pen = dc->pen && dc->pen->style == D2D_SOLID;
  int brush = dc->brush && dc->brush->style == D2D_SOLID;
  if (!pen && !brush) return;
  uint32_t pen_px = pen ? d2d_native(surf->format, dc->pen->colour) : 0;
  uint32_t brush_px = brush ? d2d_native(surf->format, dc->brush->colour) : 0;
  // Only the rows on the surface are visited, however large the shape.
  int64_t j0 = std::max<int64_t>(0, -s.top), j1 = std::min<int64_t>(s.h, surf->height - s.top);
  for (int64_t j = j0; j < j1; j++) {
    Span row = shape_row(s, j);
    if (row.x0 >= row.x1) continue;
    Span in = {row.x0 + 1, row.x1 - 1};
    if (j == 0 || j == s.h - 1) {
      in = {0, 0};
    } else {
      Span up = shape_row(s, j - 1), down = shape_row(s, j + 1);
      in.x0 = std::max({in.x0, up.x0, down.x0});
      in.x1 = std::min({in.x1, up.x1, down.x1});
    }
    int y = (int)(s.top + j);
    auto span = [&](int64_t a, int64_t b, uint32_t px) {
      a = std::max<int64_t>(a + s.left, -1);
      b = std::min<int64_t>(b + s.left, surf->width + 1);
      if (a < b) d2d_span(surf, y, (int)a, (int)b, px, dc->rop2);
    };
    if (!pen) {
      span(row.x0, row.x1, brush_px);
    } else if (in.x0 >= in.x1) {
      span(row.x0, row.x1, pen_px);
    } else {
      span(row.x0, in.x0, pen_px);
      if (brush) span(in.x0, in.x1, brush_px);
      span(in.x1, row.x1, pen_px);
    }
  }
}

static Shape make_shape(int kind, int left, int top, int right, int bottom) {
  int64_t l = std::min(left, right), r = std::max(left, right);
  int64_t t = std::min(top, bottom), b = std::max(top, bottom);
  return {kind, l, t, r - l, b - t, 0, 0};
}

void d2d_rectangle(D2dDc* dc, int left, int top, int right, int bottom) {
  Shape s = make_shape(SHAPE_RECT, left, top, right, bottom);
  if (s.w > 0 && s.h > 0) paint_shape(dc, s);
}

void d2d_round_rect(D2dDc* dc, int left, int top, int right, int bottom, int corner_w,
                    int corner_h) {
  Shape s = make_shape(SHAPE_ROUND_RECT, left, top, right, bottom);
  if (s.w <= 0 || s.h <= 0) return;
  s.corner_w = std::min<int64_t>(std::abs((int64_t)corner_w), s.w);
  s.corner_h = std::min<int64_t>(std::abs((int64_t)corner_h), s.h);
  if (s.corner_w < 2 || s.corner_h < 2) s.kind = SHAPE_RECT;
  paint_shape(dc, s);
}

void d2d_ellipse(D2dDc* dc, int left, int top, int right, int bottom) {
  Shape s = make_shape(SHAPE_ELLIPSE, left, top, right, bottom);
  if (s.w > 0 && s.h > 0) paint_shape(dc, s);
}

// The minor coordinate of step i of a line that moves d_minor while the major
// one moves d_major (> 0), rounded half up, so any step can be found directly.
static int64_t minor_at(int64_t i, int64_t d_major, int64_t d_minor) {
  int64_t n = 2 * i * std::abs(d_minor) + d_major;
  int64_t v = n / (2 * d_major);
  return d_minor < 0 ? -v : v;
}

void d2d_line_to(D2dDc* dc, int x, int y) {
  int64_t x0 = dc->cur_x, y0 = dc->cur_y;
  dc->cur_x = x;
  dc->cur_y = y;
  if (!dc->pen || dc->pen->style != D2D_SOLID) return;
  const Surface* s = &dc->surface;
  uint32_t px = d2d_native(s->format, dc->pen->colour);
  int64_t dx = x - x0, dy = y - y0;
  int x_major = std::abs(dx) >= std::abs(dy);
  int64_t d_major = x_major ? std::abs(dx) : std::abs(dy);
  int64_t d_minor = x_major ? dy : dx;
  int64_t step = (x_major ? dx : dy) < 0 ? -1 : 1;
  int64_t m0 = x_major ? x0 : y0, n0 = x_major ? y0 : x0;
  int64_t limit = x_major ? s->width : s->height;
  if (d_major == 0) return;
  // Only the steps whose major coordinate is on the surface are walked.
  int64_t i0, i1;
  if (step > 0) {
    i0 = std::max<int64_t>(0, -m0);
    i1 = std::min<int64_t>(d_major, limit - m0);
  } else {
    i0 = std::max<int64_t>(0, m0 - (limit - 1));
    i1 = std::min<int64_t>(d_major, m0 + 1);
  }
  for (int64_t i = i0; i < i1; i++) {
    int64_t m = m0 + step * i, n = n0 + minor_at(i, d_major, d_minor);
    int64_t px_x = x_major ? m : n, px_y = x_major ? n : m;
    if (px_x < 0 || px_y < 0 || px_x >= s->width || px_y >= s->height) continue;
    d2d_span(s, (int)px_y, (int)px_x, (int)px_x + 1, px, dc->rop2);
  }
}

int d2d_flood_fill(D2dDc* dc, int x, int y, D2dColour colour, int kind) {
  const Surface* s = &dc->surface;
  if (x < 0 || y < 0 || x >= s->width || y >= s->height) return 0;
  if (!dc->brush || dc->brush->style != D2D_SOLID) return 0;
  int bpp = surface_bytes_per_pixel(s->format);
  uint32_t bits = d2d_colour_bits(s->format);
  uint32_t target = d2d_native(s->format, colour) & bits;
  auto inside = [&](int px, int py) {
    uint32_t v = surface_load(d2d_at(s, px, py), bpp) & bits;
    return kind == D2D_FILL_SURFACE ? v == target : v != target;
  };
  if (!inside(x, y)) return 0;
  uint32_t fill = d2d_native(s->format, dc->brush->colour);
  // Filled pixels are marked, so a fill colour equal to the region's own still ends.
  std::vector<uint64_t> done(((size_t)s->width * s->height + 63) / 64, 0);
  auto is_done = [&](int px, int py) {
    size_t k = (size_t)py * s->width + px;
    return (done[k / 64] >> (k % 64)) & 1;
  };
  auto mark = [&](int px, int py) {
    size_t k = (size_t)py * s->width + px;
    done[k / 64] |= (uint64_t)1 << (k % 64);
  };
  std::vector<std::pair<int, int>> seeds{{x, y}};
  while (!seeds.empty()) {
    auto [sx, sy] = seeds.back();
    seeds.pop_back();
    if (is_done(sx, sy) || !inside(sx, sy)) continue;
    int a = sx, b = sx + 1;
    while (a > 0 && !is_done(a - 1, sy) && inside(a - 1, sy)) a--;
    while (b < s->width && !is_done(b, sy) && inside(b, sy)) b++;
    for (int i = a; i < b; i++) mark(i, sy);
    d2d_span(s, sy, a, b, fill, D2D_ROP2_COPYPEN);
    for (int ny : {sy - 1, sy + 1}) {
      if (ny < 0 || ny >= s->height) continue;
      int in_run = 0;
      for (int i = a; i < b; i++) {
        int open = !is_done(i, ny) && inside(i, ny);
        if (open && !in_run) seeds.push_back({i, ny});
        in_run = open;
      }
    }
  }
  return 1;
}
