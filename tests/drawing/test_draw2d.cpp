// The platform's 2D layer on memory surfaces: shapes against small pictures,
// raster operations, fills, copies, text and fonts.
#include "runtime/platform/draw2d/draw2d.h"
#include "runtime/platform/font_folders/font_folders.h"
#include "tests/drawing/canvas.h"
#include "tests/support/test_files.h"

#include <gtest/gtest.h>

namespace {
const uint32_t RED = 0x0000FF, GREEN = 0x00FF00, BLUE = 0xFF0000, WHITE = 0xFFFFFF;
const std::map<uint32_t, char> PEN_BRUSH = {{RED, 'P'}, {BLUE, 'B'}, {GREEN, 'G'}, {WHITE, 'W'}};

// A device context on a canvas with a red pen and a blue brush.
struct Dc {
  D2dDc* dc;
  D2dPen* pen;
  D2dBrush* brush;
  explicit Dc(Canvas& c, D2dColour pen_colour = RED, D2dColour brush_colour = BLUE) {
    dc = d2d_dc_create(&c.s);
    pen = d2d_pen_create(D2D_SOLID, pen_colour);
    brush = d2d_brush_create(D2D_SOLID, brush_colour);
    d2d_select_pen(dc, pen);
    d2d_select_brush(dc, brush);
  }
  ~Dc() {
    d2d_dc_delete(dc);
    d2d_pen_delete(pen);
    d2d_brush_delete(brush);
  }
};
} // namespace

TEST(Draw2dShapes, RectangleIsPenRingAroundBrush) {
  Canvas c(7, 6);
  Dc d(c);
  d2d_rectangle(d.dc, 1, 1, 6, 5);
  EXPECT_EQ(c.picture(PEN_BRUSH),
            rows({".......", ".PPPPP.", ".PBBBP.", ".PBBBP.", ".PPPPP.", "......."}));
  Canvas n(7, 6);
  Dc reversed(n);
  d2d_rectangle(reversed.dc, 6, 5, 1, 1); // corners in either order
  EXPECT_EQ(n.picture(PEN_BRUSH), c.picture(PEN_BRUSH));
}

TEST(Draw2dShapes, EllipseAndRoundRectPictures) {
  Canvas e(7, 5);
  Dc de(e);
  d2d_ellipse(de.dc, 0, 0, 7, 5);
  EXPECT_EQ(e.picture(PEN_BRUSH), rows({".PPPPP.", "PBBBBBP", "PBBBBBP", "PBBBBBP", ".PPPPP."}));

  Canvas r(12, 10);
  Dc dr(r);
  d2d_round_rect(dr.dc, 0, 0, 12, 10, 8, 8);
  EXPECT_EQ(r.picture(PEN_BRUSH),
            rows({"..PPPPPPPP..", ".PBBBBBBBBP.", "PBBBBBBBBBBP", "PBBBBBBBBBBP", "PBBBBBBBBBBP",
                  "PBBBBBBBBBBP", "PBBBBBBBBBBP", "PBBBBBBBBBBP", ".PBBBBBBBBP.", "..PPPPPPPP.."}));
}

TEST(Draw2dShapes, LinesLeaveOutTheirEndPixel) {
  Canvas c(6, 3);
  Dc d(c);
  d2d_move_to(d.dc, 0, 0, nullptr, nullptr);
  d2d_line_to(d.dc, 4, 2);
  EXPECT_EQ(c.picture(PEN_BRUSH), rows({"P.....", ".PP...", "...P.."}));
  EXPECT_EQ(d.dc->cur_x, 4);
  EXPECT_EQ(d.dc->cur_y, 2);

  Canvas v(3, 4);
  Dc dv(v);
  d2d_move_to(dv.dc, 1, 3, nullptr, nullptr);
  d2d_line_to(dv.dc, 1, 0); // upwards
  EXPECT_EQ(v.picture(PEN_BRUSH), rows({"...", ".P.", ".P.", ".P."}));
}

TEST(Draw2dShapes, HugeShapesAreClippedNotWalked) {
  Canvas c(4, 4);
  Dc d(c);
  d2d_move_to(d.dc, -2000000000, 1, nullptr, nullptr);
  d2d_line_to(d.dc, 2000000000, 1);
  EXPECT_EQ(c.count(RED), 4);
  d2d_ellipse(d.dc, -2000000000, -2000000000, 2000000000, 2000000000);
  EXPECT_EQ(c.count(BLUE), 16);
  d2d_rectangle(d.dc, 2, 2, 2000000000, 2000000000);
  EXPECT_EQ(c.picture(PEN_BRUSH), rows({"BBBB", "BBBB", "BBPP", "BBPB"}));
}

TEST(Draw2dShapes, XorTwiceRestoresAndAlphaStaysOpaque) {
  Canvas c(6, 6);
  c.fill(0xFF123456);
  Dc d(c);
  d.dc->rop2 = D2D_ROP2_XORPEN;
  d2d_rectangle(d.dc, 0, 0, 6, 6);
  EXPECT_EQ(c.raw(0, 0), 0xFF123456u ^ 0xFF0000u);
  EXPECT_EQ(c.raw(2, 2), 0xFF123456u ^ 0x0000FFu);
  d2d_rectangle(d.dc, 0, 0, 6, 6);
  d2d_move_to(d.dc, 0, 3, nullptr, nullptr);
  d2d_line_to(d.dc, 6, 3);
  d2d_move_to(d.dc, 0, 3, nullptr, nullptr);
  d2d_line_to(d.dc, 6, 3);
  for (int y = 0; y < 6; y++)
    for (int x = 0; x < 6; x++) ASSERT_EQ(c.raw(x, y), 0xFF123456u);
}

TEST(Draw2dShapes, PixelsAndSixteenBitFormats) {
  Canvas c(2, 2);
  D2dDc* dc = d2d_dc_create(&c.s);
  EXPECT_EQ(d2d_set_pixel(dc, 1, 1, 0x336699), 1);
  EXPECT_EQ(d2d_set_pixel(dc, 2, 0, 0x336699), 0);
  EXPECT_EQ(c.raw(1, 1), 0xFF996633u);
  EXPECT_EQ(d2d_get_pixel(dc, 1, 1), 0x336699u);
  EXPECT_EQ(d2d_get_pixel(dc, -1, 0), D2D_INVALID_COLOUR);
  d2d_dc_delete(dc);

  Canvas w(1, 1, FMT_R5G6B5);
  dc = d2d_dc_create(&w.s);
  d2d_set_pixel(dc, 0, 0, 0xFFFFFF);
  EXPECT_EQ(w.raw(0, 0), 0xFFFFu);
  EXPECT_EQ(d2d_get_pixel(dc, 0, 0), 0xFFFFFFu); // white stays white
  d2d_set_pixel(dc, 0, 0, RED);
  EXPECT_EQ(w.raw(0, 0), 0xF800u);
  d2d_dc_delete(dc);

  Canvas a(1, 1, FMT_A1R5G5B5);
  dc = d2d_dc_create(&a.s);
  d2d_set_pixel(dc, 0, 0, BLUE);
  EXPECT_EQ(a.raw(0, 0), 0x801Fu); // drawn pixels are opaque
  d2d_dc_delete(dc);
}

TEST(Draw2dShapes, UnusableSurfacesAreRefused) {
  uint32_t px = 0;
  Surface none = {nullptr, 1, 1, 4, FMT_X8R8G8B8, 0, 0};
  Surface short_pitch = {(uint8_t*)&px, 2, 1, 4, FMT_X8R8G8B8, 0, 0};
  Surface unknown = {(uint8_t*)&px, 1, 1, 4, 99, 0, 0};
  Surface empty = {(uint8_t*)&px, 0, 1, 4, FMT_X8R8G8B8, 0, 0};
  EXPECT_EQ(d2d_dc_create(&none), nullptr);
  EXPECT_EQ(d2d_dc_create(&short_pitch), nullptr);
  EXPECT_EQ(d2d_dc_create(&unknown), nullptr);
  EXPECT_EQ(d2d_dc_create(&empty), nullptr);
  EXPECT_EQ(d2d_dc_create(nullptr), nullptr);
}

TEST(Draw2dFill, BorderAndSurfaceKinds) {
  Canvas c(6, 5);
  Dc d(c, RED, GREEN);
  d2d_select_brush(d.dc, d2d_stock_null_brush());
  d2d_rectangle(d.dc, 0, 0, 5, 5);
  d2d_select_brush(d.dc, d.brush);
  EXPECT_EQ(d2d_flood_fill(d.dc, 2, 2, RED, D2D_FILL_BORDER), 1);
  EXPECT_EQ(c.picture(PEN_BRUSH), rows({"PPPPP.", "PGGGP.", "PGGGP.", "PGGGP.", "PPPPP."}));
  // Starting on the border colour fills nothing.
  EXPECT_EQ(d2d_flood_fill(d.dc, 0, 0, RED, D2D_FILL_BORDER), 0);
  // The surface kind fills the black column outside, which touches no other black.
  EXPECT_EQ(d2d_flood_fill(d.dc, 5, 0, 0, D2D_FILL_SURFACE), 1);
  EXPECT_EQ(c.count(GREEN), 9 + 5);
  EXPECT_EQ(d2d_flood_fill(d.dc, 6, 0, 0, D2D_FILL_SURFACE), 0);
}

TEST(Draw2dFill, FillingARegionWithItsOwnColourEnds) {
  Canvas c(64, 64);
  Dc d(c, RED, 0);
  EXPECT_EQ(d2d_flood_fill(d.dc, 10, 10, 0, D2D_FILL_SURFACE), 1);
  EXPECT_EQ(c.count(0), 64 * 64);
  // A maze-like border: the fill follows every turn.
  Dc m(c, RED, GREEN);
  for (int x = 0; x < 64; x += 4) {
    d2d_move_to(m.dc, x, x % 8 ? 0 : 2, nullptr, nullptr);
    d2d_line_to(m.dc, x, x % 8 ? 62 : 64);
  }
  EXPECT_EQ(d2d_flood_fill(m.dc, 1, 1, RED, D2D_FILL_BORDER), 1);
  EXPECT_EQ(c.count(0), 0);
}

TEST(Draw2dCopy, BitCopyConvertsAndInverts) {
  Canvas src(2, 1);
  src.fill(0xFF0000FF); // blue in X8R8G8B8
  Canvas dst(3, 2, FMT_R5G6B5);
  D2dDc* dc = d2d_dc_create(&dst.s);
  EXPECT_EQ(d2d_bit_copy(dc, 1, 1, 2, 1, &src.s, 0, 0, D2D_SRCCOPY), 1);
  EXPECT_EQ(dst.raw(1, 1), 0x001Fu);
  EXPECT_EQ(dst.raw(0, 1), 0u);
  EXPECT_EQ(d2d_bit_copy(dc, 1, 1, 2, 1, &src.s, 0, 0, D2D_SRCINVERT), 1);
  EXPECT_EQ(dst.raw(1, 1), 0u);
  // Parts outside either surface are skipped.
  EXPECT_EQ(d2d_bit_copy(dc, -1, 0, 5, 5, &src.s, -1, 0, D2D_SRCCOPY), 1);
  EXPECT_EQ(dst.raw(0, 0), 0x001Fu);
  EXPECT_EQ(dst.raw(2, 0), 0u);
  Surface bad = {nullptr, 1, 1, 4, FMT_X8R8G8B8, 0, 0};
  EXPECT_EQ(d2d_bit_copy(dc, 0, 0, 1, 1, &bad, 0, 0, D2D_SRCCOPY), 0);
  d2d_dc_delete(dc);
}

TEST(Draw2dCopy, OverlappingCopyWithinOneSurface) {
  Canvas c(4, 4);
  uint32_t* p = (uint32_t*)(void*)c.bytes.data();
  for (int i = 0; i < 16; i++) p[i] = 0xFF000000u | (uint32_t)i;
  D2dDc* dc = d2d_dc_create(&c.s);
  d2d_bit_copy(dc, 1, 1, 3, 3, &c.s, 0, 0, D2D_SRCCOPY); // down and right
  EXPECT_EQ(p[5] & 0xFF, 0u);
  EXPECT_EQ(p[15] & 0xFF, 10u);
  EXPECT_EQ(p[10] & 0xFF, 5u);
  d2d_dc_delete(dc);
}

TEST(Draw2dCopy, StretchNearestAndAverage) {
  Canvas src(2, 2);
  uint32_t* s = (uint32_t*)(void*)src.bytes.data();
  s[0] = 0xFFFF0000, s[1] = 0xFF00FF00, s[2] = 0xFF0000FF, s[3] = 0xFFFFFFFF;
  Canvas big(8, 8);
  D2dDc* dc = d2d_dc_create(&big.s);
  d2d_stretch(dc, 0, 0, 8, 8, &src.s, 0, 0, 2, 2, D2D_SRCCOPY, D2D_STRETCH_NEAREST);
  for (int y = 0; y < 8; y++)
    for (int x = 0; x < 8; x++) ASSERT_EQ(big.raw(x, y), s[(y / 4) * 2 + x / 4]) << x << "," << y;
  d2d_dc_delete(dc);

  Canvas one(1, 1);
  dc = d2d_dc_create(&one.s);
  d2d_stretch(dc, 0, 0, 1, 1, &src.s, 0, 0, 2, 2, D2D_SRCCOPY, D2D_STRETCH_AVERAGE);
  EXPECT_EQ(one.raw(0, 0), 0xFF808080u); // each channel (255 + 255) / 4, rounded
  d2d_dc_delete(dc);
}

// A negative size mirrors, reaching back from x (x + w + 1 to x): a shrink
// averages the source pixels each target pixel covers, in mirrored order, and a
// mirror clipped by the target's edges shows the part that falls inside.
TEST(Draw2dCopy, MirroredShrinksAndMirrorsCutByTheEdges) {
  Canvas src(4, 2);
  uint32_t* s = (uint32_t*)(void*)src.bytes.data();
  for (int i = 0; i < 8; i++) s[i] = 0xFF000000u | (uint32_t)(i * 20) << 16 | (uint32_t)(i * 4);
  auto mean = [&](int a, int b) { // of source pixels a and b, channel by channel, rounded
    uint32_t m = 0xFF000000u;
    for (int shift = 0; shift < 24; shift += 8)
      m |= ((((s[a] >> shift) & 255) + ((s[b] >> shift) & 255) + 1) / 2) << shift;
    return m;
  };
  Canvas shrunk(4, 4);
  D2dDc* dc = d2d_dc_create(&shrunk.s);
  // 4 x 2 into 2 x 1, mirrored both ways: pixels 2 and 1 from the right.
  d2d_stretch(dc, 2, 1, -2, -1, &src.s, 0, 0, 4, 1, D2D_SRCCOPY, D2D_STRETCH_AVERAGE);
  EXPECT_EQ(shrunk.raw(1, 1), mean(2, 3));
  EXPECT_EQ(shrunk.raw(2, 1), mean(0, 1));
  EXPECT_EQ(shrunk.raw(0, 1), 0u);
  EXPECT_EQ(shrunk.raw(1, 0), 0u);
  d2d_dc_delete(dc);

  Canvas cut(3, 2);
  dc = d2d_dc_create(&cut.s);
  // 4 x 2 doubled to 8 x 4 and mirrored left to right, reaching back from x 4
  // to -3: only target columns 0-2 and rows 0-1 are inside.
  d2d_stretch(dc, 4, 0, -8, 4, &src.s, 0, 0, 4, 2, D2D_SRCCOPY, D2D_STRETCH_NEAREST);
  for (int y = 0; y < 2; y++)
    for (int x = 0; x < 3; x++) EXPECT_EQ(cut.raw(x, y), s[(3 - (x + 3) / 2)]) << x << "," << y;
  d2d_dc_delete(dc);
}

TEST(Draw2dCopy, AlphaBlendConstantAndPerPixel) {
  Canvas src(1, 1, FMT_A8R8G8B8);
  Canvas dst(1, 1);
  D2dDc* dc = d2d_dc_create(&dst.s);
  src.fill(0xFFFFFFFF);
  d2d_alpha_blend(dc, 0, 0, 1, 1, &src.s, 0, 0, 1, 1, 128, 0);
  EXPECT_EQ(dst.raw(0, 0) & 0xFFFFFF, 0x808080u);
  dst.fill(0xFF000000 | 0x0000FF);
  src.fill(0x80800000); // half-transparent red, premultiplied
  d2d_alpha_blend(dc, 0, 0, 1, 1, &src.s, 0, 0, 1, 1, 255, 1);
  EXPECT_EQ(dst.raw(0, 0) & 0xFFFFFF, 0x80007Fu);
  dst.fill(0xFF000000);
  EXPECT_EQ(d2d_alpha_blend(dc, 0, 0, 1, 1, &src.s, 0, 0, 1, 1, 0, 1), 1);
  EXPECT_EQ(dst.raw(0, 0), 0xFF000000u);
  Canvas sixteen(1, 1, FMT_R5G6B5);
  EXPECT_EQ(d2d_alpha_blend(dc, 0, 0, 1, 1, &sixteen.s, 0, 0, 1, 1, 255, 1), 0);
  d2d_dc_delete(dc);
}

TEST(Draw2dText, SystemFontMeasuresAndDraws) {
  Canvas c(40, 24);
  D2dDc* dc = d2d_dc_create(&c.s);
  int w, h;
  EXPECT_EQ(d2d_text_extent(dc, "Hi", 2, &w, &h), 1);
  EXPECT_EQ(w, 24);
  EXPECT_EQ(h, 20);
  EXPECT_EQ(d2d_text_extent(dc, "Hi", 0, &w, &h), 0);
  EXPECT_EQ(w, 0);
  dc->text_colour = GREEN;
  dc->back_mode = D2D_TRANSPARENT;
  d2d_text_out(dc, 0, 0, "Hi", 2);
  EXPECT_GT(c.count(GREEN), 20);
  EXPECT_EQ(c.count(GREEN) + c.count(0), 40 * 24);
  // The H's left stem, two pixels wide from the cell's second row of pixels down.
  EXPECT_EQ(c.colour(0, 2), GREEN);
  EXPECT_EQ(c.colour(1, 15), GREEN);
  EXPECT_EQ(c.colour(0, 1), 0u);
  d2d_dc_delete(dc);
}

TEST(Draw2dText, UpdateCurrentPositionDrawsAtItAndMovesOn) {
  Canvas c(40, 24);
  D2dDc* dc = d2d_dc_create(&c.s);
  dc->align = D2D_ALIGN_UPDATECP;
  d2d_move_to(dc, 14, 0, nullptr, nullptr);
  d2d_text_out(dc, 0, 0, "ab", 2); // the position, not (0, 0)
  EXPECT_EQ(dc->cur_x, 14 + 24);
  EXPECT_EQ(c.colour(0, 0), 0u);
  EXPECT_EQ(c.colour(14, 0), WHITE); // the opaque white background of a new context
  d2d_dc_delete(dc);
}

TEST(Draw2dText, RotatedSystemFontRunsUpwards) {
  D2dFontDesc desc = {};
  std::strcpy(desc.face, "System");
  desc.height = 20;
  desc.escapement = 900;
  int up = d2d_font_create(&desc);
  ASSERT_NE(up, 0);
  Canvas c(40, 80);
  D2dDc* dc = d2d_dc_create(&c.s);
  d2d_select_font(dc, up);
  dc->text_colour = WHITE;
  dc->back_mode = D2D_TRANSPARENT;
  dc->align = D2D_ALIGN_UPDATECP;
  d2d_move_to(dc, 0, 70, nullptr, nullptr);
  d2d_text_out(dc, 0, 0, "HHH", 3);
  EXPECT_EQ(dc->cur_x, 0);
  EXPECT_EQ(dc->cur_y, 70 - 36);
  int x0 = 40, x1 = -1, y0 = 80, y1 = -1;
  for (int y = 0; y < 80; y++)
    for (int x = 0; x < 40; x++)
      if (c.colour(x, y))
        x0 = std::min(x0, x), x1 = std::max(x1, x), y0 = std::min(y0, y), y1 = std::max(y1, y);
  EXPECT_GE(y1 - y0, 30); // tall ...
  EXPECT_LE(x1 - x0, 18); // ... and narrow
  d2d_dc_delete(dc);
  d2d_font_delete(up);
}

// Fontconfig and FreeType are released after each case, as at the program's end.
struct Draw2dFonts : ::testing::Test {
  void TearDown() override { d2d_fonts_shutdown(); }
};

TEST_F(Draw2dFonts, SizesRoundLikeMultiplyDivide) {
  EXPECT_EQ(d2d_mul_div(14, 96, 72), 19);
  EXPECT_EQ(d2d_mul_div(-14, 96, 72), -19);
  EXPECT_EQ(d2d_mul_div(3, 1, 2), 2);
  EXPECT_EQ(d2d_mul_div(-3, 1, 2), -2);
  EXPECT_EQ(d2d_mul_div(1, 1, 0), -1);
  EXPECT_EQ(d2d_mul_div(2000000000, 2, 1), -1);
}

TEST_F(Draw2dFonts, FacesAreFoundByNameOrMetricAlias) {
  D2dFontDesc desc = {};
  desc.height = -19;
  std::strcpy(desc.face, "No Such Face 12345");
  EXPECT_EQ(d2d_font_create(&desc), 0); // fontconfig would fall back to some font
  std::strcpy(desc.face, "Liberation Sans");
  int sans = d2d_font_create(&desc);
  if (!sans) GTEST_SKIP() << "fonts-liberation is not installed";
  std::strcpy(desc.face, "Arial"); // Liberation Sans is metric-compatible with it
  int arial = d2d_font_create(&desc);
  EXPECT_NE(arial, 0);
  D2dFontDesc back;
  EXPECT_EQ(d2d_font_desc(arial, &back), 1);
  EXPECT_STREQ(back.face, "Arial");
  Canvas c(200, 30);
  D2dDc* dc = d2d_dc_create(&c.s);
  d2d_select_font(dc, arial);
  int w, h;
  d2d_text_extent(dc, "Quillmoor", 9, &w, &h);
  EXPECT_GT(w, 60);
  EXPECT_LT(w, 110);
  EXPECT_GE(h, 19);
  EXPECT_LE(h, 24);
  d2d_dc_delete(dc);
  d2d_font_delete(arial);
  d2d_font_delete(sans);
  EXPECT_EQ(d2d_font_desc(arial, &back), 0);
}

// Faces read from font folders, as Windows and the browser find them: by name
// without case and spaces, the nearest style, a metric-compatible family for a
// missing one; damaged files and missing folders passed over.
TEST_F(Draw2dFonts, FolderFacesByNameStyleAndMetricFamily) {
  const std::string shipped = QUILL_FONTS_DIR;
  ScratchDir d;
  write_file(d / "Broken.ttf", std::string(300, 'x'));
  std::filesystem::create_directory(d / "Folder.ttf");
  const std::vector<std::string> folders = {d / "missing", d.path, shipped};
  std::string file;
  int index = -1;
  auto found = [&](const char* family, int bold, int italic) {
    file.clear();
    return font_folders_find(folders, family, bold, italic, &file, &index);
  };
  ASSERT_EQ(found("liberationSANS", 0, 0), 1);
  EXPECT_EQ(file, shipped + "/LiberationSans-Regular.ttf");
  EXPECT_EQ(index, 0);
  EXPECT_EQ(found("Arial", 1, 1), 1); // no bold italic shipped: the weight matters more
  EXPECT_EQ(file, shipped + "/LiberationSans-Bold.ttf");
  EXPECT_EQ(found("Helvetica", 0, 1), 1);
  EXPECT_EQ(file, shipped + "/LiberationSans-Regular.ttf");
  EXPECT_EQ(found("Verdana", 0, 0), 0);
  EXPECT_EQ(found("Times", 0, 0), 0); // no serif face stands in for it
  // The folders are read once per list; an earlier folder wins a tie.
  std::filesystem::copy_file(shipped + "/LiberationSans-Regular.ttf", d / "Copy.ttf");
  EXPECT_EQ(found("Arial", 0, 0), 1);
  EXPECT_EQ(file, shipped + "/LiberationSans-Regular.ttf");
  EXPECT_EQ(font_folders_find({d.path, shipped}, "Arial", 0, 0, &file, &index), 1);
  EXPECT_EQ(file, d / "Copy.ttf");
  font_folders_release();
}

TEST_F(Draw2dFonts, DeletedFontsFallBackToTheSystemFont) {
  D2dFontDesc desc = {};
  std::strcpy(desc.face, "System");
  desc.height = -40;
  int big = d2d_font_create(&desc);
  Canvas c(4, 4);
  D2dDc* dc = d2d_dc_create(&c.s);
  d2d_select_font(dc, big);
  int w, h;
  d2d_text_extent(dc, "A", 1, &w, &h);
  EXPECT_EQ(h, 40);
  d2d_font_delete(big);
  d2d_text_extent(dc, "A", 1, &w, &h);
  EXPECT_EQ(h, 20);
  d2d_font_delete(D2D_SYSTEM_FONT); // ignored
  d2d_text_extent(dc, "A", 1, &w, &h);
  EXPECT_EQ(w, 12);
  d2d_dc_delete(dc);
}

TEST_F(Draw2dFonts, AntiAliasedTextBlendsIntoEveryFormat) {
  D2dFontDesc desc = {};
  desc.height = -19;
  std::strcpy(desc.face, "Liberation Sans");
  int font = d2d_font_create(&desc);
  if (!font) GTEST_SKIP() << "fonts-liberation is not installed";
  for (int format : {FMT_X8R8G8B8, FMT_A8R8G8B8, FMT_R5G6B5, FMT_X1R5G5B5}) {
    Canvas c(80, 24, format);
    D2dDc* dc = d2d_dc_create(&c.s);
    d2d_select_font(dc, font);
    dc->text_colour = WHITE;
    dc->back_mode = D2D_TRANSPARENT;
    d2d_text_out(dc, 2, 0, "Quill", 5);
    int partial = 0, full = 0;
    for (int y = 0; y < 24; y++)
      for (int x = 0; x < 80; x++) {
        D2dColour v = d2d_get_pixel(dc, x, y);
        uint32_t r = v & 0xFF, g = v >> 8 & 0xFF, b = v >> 16 & 0xFF;
        ASSERT_LE(std::max({r, g, b}) - std::min({r, g, b}), 8u)
            << format; // white on black is grey
        full += v == WHITE;
        partial += v && v != WHITE;
        // Over transparent black, the alpha a pixel gets is the coverage the colour shows.
        if (format == FMT_A8R8G8B8) {
          ASSERT_EQ(c.raw(x, y) >> 24, r);
        }
      }
    EXPECT_GT(full, 20) << format;
    EXPECT_GT(partial, 20) << format;
    d2d_dc_delete(dc);
  }
}
