// The drawing module on memory outputs: a drawing pass's life, colour caching,
// boxes and text, the other operations, direct pixels, and the font table.
#include "runtime/image/drawing.h"
#include "runtime/image/images.h"
#include "tests/drawing/canvas.h"

#include <gtest/gtest.h>

namespace {
const int RED = 0x0000FF, GREEN = 0x00FF00, BLUE = 0xFF0000, WHITE = 0xFFFFFF;

struct DrawingTest : ::testing::Test {
  Canvas canvas{64, 48};
  void SetUp() override {
    font_init();
    ASSERT_TRUE(draw_start(surface_output(&canvas.s)));
  }
  void TearDown() override {
    draw_stop();
    font_shutdown();
  }
  int lit() const { return canvas.s.width * canvas.s.height - canvas.count(0); }
};

// An output whose start fails: it has no device context to give.
int cleanups_with_0, cleanups_with_1;
DrawContext* failing_output() {
  DrawContext* c = draw_context_make();
  c->kind = DRAW_KIND_ON_DEMAND;
  c->cleanup = [](DrawContext*, int stopped) { (stopped ? cleanups_with_1 : cleanups_with_0)++; };
  return c;
}
} // namespace

TEST(DrawingPass, StartStopAndCurrentOutput) {
  Canvas c(8, 8);
  EXPECT_EQ(draw_current(), nullptr);
  DrawContext* out = surface_output(&c.s);
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(draw_current(), out); // current at once
  EXPECT_EQ(out->applied_colour, -1);
  EXPECT_EQ(out->front_colour, WHITE);
  EXPECT_EQ(out->back_colour, 0);
  draw_box(0, 0, 8, 8, WHITE); // before draw_start: nothing happens
  EXPECT_EQ(c.count(0), 64);
  ASSERT_NE(draw_start(out), 0);
  EXPECT_EQ(out->dc_state, 1);
  EXPECT_EQ(out->mode, 0);
  draw_stop();
  EXPECT_EQ(draw_current(), nullptr);
  draw_stop(); // nothing current: nothing happens
  EXPECT_EQ(draw_start(nullptr), 0);
  Surface bad = {nullptr, 8, 8, 32, FMT_X8R8G8B8, 0, 0};
  EXPECT_EQ(surface_output(&bad), nullptr);
}

TEST(DrawingPass, FailedStartCleansUpAndLeavesNoOutput) {
  cleanups_with_0 = cleanups_with_1 = 0;
  EXPECT_EQ(draw_start(failing_output()), 0);
  EXPECT_EQ(cleanups_with_0, 1);
  EXPECT_EQ(draw_current(), nullptr);
  EXPECT_EQ(text_width("W"), 0);
  EXPECT_EQ(draw_text(7, 0, "W", WHITE), 7);
  EXPECT_EQ(point(0, 0), -1);
}

TEST(DrawingPass, AnOutputLeftCurrentIsDiscardedByTheNext) {
  cleanups_with_0 = cleanups_with_1 = 0;
  failing_output(); // never started
  Canvas c(4, 4);
  DrawContext* out = surface_output(&c.s);
  EXPECT_EQ(cleanups_with_0, 1);
  ASSERT_NE(draw_start(out), 0);
  // Counted through its cleanup: once freed, the output's address may be reused.
  static void (*surface_cleanup)(DrawContext*, int);
  surface_cleanup = out->cleanup;
  out->cleanup = [](DrawContext* o, int stopped) {
    (stopped ? cleanups_with_1 : cleanups_with_0)++;
    surface_cleanup(o, stopped);
  };
  DrawContext* next = surface_output(&c.s); // made while a pass is on: that pass is stopped
  EXPECT_EQ(cleanups_with_1, 1);
  EXPECT_EQ(draw_current(), next);
  draw_stop();
  EXPECT_EQ(draw_current(), nullptr);
}

TEST_F(DrawingTest, EmptyTextMeasuresZeroAndTouchesNothing) {
  EXPECT_EQ(text_width(""), 0);
  EXPECT_EQ(text_height(""), 0);
  EXPECT_EQ(text_width(nullptr), 0);
  EXPECT_EQ(draw_text(5, 5, "", WHITE), 5);
  EXPECT_EQ(lit(), 0);
  EXPECT_EQ(draw_text(5, 5, nullptr, WHITE), 5);
}

TEST_F(DrawingTest, DrawTextReturnsXPlusTheWidth) {
  int w = text_width("Hello");
  EXPECT_EQ(w, 60); // the system font's cells are 12 pixels wide
  EXPECT_EQ(text_height("W"), 20);
  EXPECT_EQ(draw_text(100, 0, "Hello", WHITE), 100 + w);
  EXPECT_EQ(draw_text(-3, 0, "Hi", WHITE), -3 + 24);
  EXPECT_EQ(draw_current()->dc->cur_x, 0); // the position goes back to 0, 0
}

TEST_F(DrawingTest, BoxesFillExactlyTheirSize) {
  draw_box(3, 4, 1, 1, WHITE);
  EXPECT_EQ(lit(), 1);
  EXPECT_EQ(canvas.colour(3, 4), (uint32_t)WHITE);
  draw_box(3, 4, -1, -1, RED); // one pixel up and to the left
  EXPECT_EQ(canvas.colour(2, 3), (uint32_t)RED);
  canvas.fill(0);
  draw_box(10, 10, 10, 5, GREEN);
  EXPECT_EQ(canvas.count(GREEN), 50);
  EXPECT_EQ(canvas.colour(10, 10), (uint32_t)GREEN);
  EXPECT_EQ(canvas.colour(19, 14), (uint32_t)GREEN);
  draw_box(60, 40, 100, 100, BLUE); // clipped
  EXPECT_EQ(canvas.count(BLUE), 4 * 8);
}

TEST_F(DrawingTest, OneColourMakesOneBrushAndOnePen) {
  int pens = d2d_pens_made(), brushes = d2d_brushes_made();
  draw_box(0, 0, 5, 5, 0x400000);
  draw_box(10, 0, 5, 5, 0x400000);
  draw_text(0, 20, "ab", 0x400000);
  EXPECT_EQ(d2d_pens_made() - pens, 1);
  EXPECT_EQ(d2d_brushes_made() - brushes, 1);
  draw_box(20, 0, 5, 5, 0);
  EXPECT_EQ(d2d_pens_made() - pens, 2);
  EXPECT_EQ(draw_current()->applied_colour, 0);
}

TEST_F(DrawingTest, OpaqueAndTransparentTextBackground) {
  canvas.fill(0xFF0000FF); // blue everywhere
  draw_text(0, 0, "-", WHITE);
  EXPECT_EQ(canvas.colour(0, 0), 0u); // the cell is filled with black
  EXPECT_EQ(canvas.colour(11, 19), 0u);
  EXPECT_EQ(canvas.colour(12, 0), (uint32_t)BLUE);
  canvas.fill(0xFF0000FF);
  draw_mode(DRAW_TRANSPARENT);
  draw_text(0, 0, "-", WHITE);
  EXPECT_EQ(canvas.colour(0, 0), (uint32_t)BLUE);
  EXPECT_EQ(canvas.count(WHITE) + canvas.count(BLUE), 64 * 48);
  EXPECT_GT(canvas.count(WHITE), 0);
}

TEST_F(DrawingTest, ModesXorAndOutlined) {
  draw_box(0, 0, 4, 4, GREEN);
  draw_mode(DRAW_XOR);
  draw_box(0, 0, 4, 4, GREEN);
  EXPECT_EQ(lit(), 0);
  draw_mode(DRAW_OUTLINED);
  draw_box(0, 0, 4, 4, RED);
  EXPECT_EQ(canvas.count(RED), 12);
  EXPECT_EQ(canvas.colour(1, 1), 0u);
}

TEST_F(DrawingTest, LinesCirclesAndEllipsesUseTheLastColour) {
  draw_box(0, 0, 0, 0, RED); // only sets the colour
  line(0, 0, 3, 3);
  EXPECT_EQ(canvas.count(RED), 4); // both ends
  EXPECT_EQ(canvas.colour(3, 3), (uint32_t)RED);
  canvas.fill(0);
  circle(10, 10, 1);
  EXPECT_EQ(lit(), 1);
  circle(30, 20, 5);
  EXPECT_EQ(canvas.colour(30, 15), (uint32_t)RED);
  EXPECT_EQ(canvas.colour(30, 25), (uint32_t)RED);
  EXPECT_EQ(canvas.colour(25, 20), (uint32_t)RED);
  EXPECT_EQ(canvas.colour(35, 20), (uint32_t)RED);
  EXPECT_EQ(canvas.colour(30, 14), 0u);
  EXPECT_EQ(canvas.colour(36, 20), 0u);
  canvas.fill(0);
  ellipse(20, 20, 6, 2);
  EXPECT_EQ(canvas.colour(14, 20), (uint32_t)RED);
  EXPECT_EQ(canvas.colour(26, 20), (uint32_t)RED);
  EXPECT_EQ(canvas.colour(20, 17), 0u);
  canvas.fill(0);
  round_box(0, 0, 20, 10, 4, 4);
  EXPECT_EQ(canvas.colour(0, 0), 0u);
  EXPECT_EQ(canvas.colour(10, 0), (uint32_t)RED);
  EXPECT_EQ(canvas.count(RED) < 200, true);
  EXPECT_GT(canvas.count(RED), 180);
  plot_current(50, 40);
  EXPECT_EQ(canvas.colour(50, 40), (uint32_t)RED);
}

TEST_F(DrawingTest, FillAreaBothKindsAndOutlinedMode) {
  draw_mode(DRAW_OUTLINED);
  draw_box(0, 0, 10, 10, RED);
  fill_area(5, 5, RED); // up to the red border, with a brush of the current colour
  EXPECT_EQ(canvas.count(RED), 100);
  draw_box(20, 0, 10, 10, GREEN); // still outlined afterwards
  EXPECT_EQ(canvas.count(GREEN), 36);
  draw_mode(0);
  draw_box(0, 0, 0, 0, BLUE);
  fill_area(25, 5, -1); // the black region inside the green border
  EXPECT_EQ(canvas.count(BLUE), 64);
  EXPECT_EQ(point(25, 5), BLUE);
  EXPECT_EQ(point(64, 0), -1);
  fill_area(100, 100, -1); // outside: nothing
}

TEST_F(DrawingTest, DirectPixelsAndTheDeviceContextOnDemand) {
  draw_mode(DRAW_TRANSPARENT | DRAW_XOR);
  draw_box(0, 0, 2, 2, GREEN);
  uint8_t* pixels = drawing_buffer();
  ASSERT_EQ(pixels, canvas.bytes.data());
  EXPECT_EQ(draw_current()->dc_state, -1);
  EXPECT_EQ(drawing_buffer_pitch(), 64 * 4);
  EXPECT_EQ(drawing_buffer_format(), DRAW_FORMAT_32);
  plot(5, 5, 0x336699);
  EXPECT_EQ(canvas.raw(5, 5), 0xFF996633u);
  plot(64, 0, WHITE); // outside: ignored
  plot(-1, 0, WHITE);
  EXPECT_EQ(draw_current()->dc_state, -1);
  // The next drawing takes the device context back with the mode and colour it had.
  int pens = d2d_pens_made();
  draw_box(0, 0, 2, 2, GREEN);
  EXPECT_EQ(draw_current()->dc_state, 1);
  EXPECT_EQ(canvas.count(GREEN), 0);    // exclusive-or undid the first box
  EXPECT_EQ(d2d_pens_made() - pens, 1); // the mode was applied again
  draw_text(10, 10, "-", WHITE);
  EXPECT_EQ(canvas.colour(10, 10), 0u); // still transparent
}

TEST(DrawingPixels, PlotWritesEveryFormat) {
  struct Case {
    int format;
    uint32_t want;
  } cases[] = {{FMT_R5G6B5, 0x9B26}, {FMT_X1R5G5B5, 0x4D86}, {FMT_A8R8G8B8, 0xFF996633}};
  for (const Case& k : cases) {
    Canvas c(3, 3, k.format, 6);
    ASSERT_TRUE(draw_start(surface_output(&c.s)));
    EXPECT_EQ(drawing_buffer_format(), draw_format_code(k.format));
    plot(2, 1, 0x336699);
    EXPECT_EQ(c.raw(2, 1), k.want) << k.format;
    EXPECT_EQ(c.count(0) + 1, 9);
    draw_stop();
  }
}

TEST_F(DrawingTest, RotatedTextReusesItsFontForTheSameAngle) {
  draw_text(0, 0, "x", WHITE); // sets the colour and the opaque background
  canvas.fill(0);
  rotated_text(20, 40, "ab", 90);
  int first = draw_current()->rotated_font;
  EXPECT_NE(first, 0);
  EXPECT_EQ(draw_current()->rotated_escapement, 900);
  EXPECT_EQ(canvas.count(0) + canvas.count(WHITE), 64 * 48); // no background box
  rotated_text(20, 40, "ab", 450);                           // 450 is 90 again
  EXPECT_EQ(draw_current()->rotated_font, first);
  rotated_text(20, 40, "ab", -30.55);
  EXPECT_NE(draw_current()->rotated_font, first);
  EXPECT_EQ(draw_current()->rotated_escapement, -305);
  canvas.fill(0);
  draw_text(0, 0, "-", WHITE); // upright and opaque again
  EXPECT_EQ(canvas.colour(0, 0), 0u);
  EXPECT_EQ(canvas.count(WHITE), 10 * 2);
  draw_font(-1); // a new font drops the rotated copy
  EXPECT_EQ(draw_current()->rotated_font, 0);
}

TEST_F(DrawingTest, FontTableLoadsFreesAndReplaces) {
  int handle = font_load(0, "System", 14);
  ASSERT_NE(handle, 0);
  D2dFontDesc desc;
  ASSERT_TRUE(d2d_font_desc(handle, &desc));
  EXPECT_EQ(desc.height, -19); // 14 points at 96 dots per inch
  EXPECT_EQ(desc.weight, 400);
  draw_font(handle);
  EXPECT_EQ(text_height("W"), 20);
  EXPECT_EQ(font_load(0, "No Such Face 12345", 14), 0);
  EXPECT_FALSE(d2d_font_desc(handle, &desc)); // the slot was claimed and its font freed
  EXPECT_EQ(text_height("W"), 20);            // drawing goes on in the system font

  int number = font_load_ex(-1, "System", 30, FONT_BOLD | FONT_ITALIC | FONT_UNDERLINE);
  EXPECT_LT(number, -1);
  draw_font(number); // a font number stands for its font
  EXPECT_EQ(text_height("W"), 40);
  int stale = draw_current()->font;
  ASSERT_TRUE(d2d_font_desc(stale, &desc));
  EXPECT_EQ(desc.weight, 700);
  EXPECT_TRUE(desc.italic && desc.underline && !desc.strikeout);
  font_free(number);
  EXPECT_FALSE(d2d_font_desc(stale, &desc));
  draw_font(stale); // gone: ignored
  EXPECT_EQ(draw_current()->font, stale);
  EXPECT_EQ(text_height("W"), 20);
  font_free(-1);
  font_free(12345);
}

TEST_F(DrawingTest, ItalicFontsAddTheirOverhangToWidths) {
  int upright = font_load(1, "Liberation Sans", 14);
  int italic = font_load_ex(2, "Liberation Sans", 14, FONT_ITALIC);
  if (!upright || !italic) GTEST_SKIP() << "fonts-liberation is not installed";
  draw_font(upright);
  EXPECT_EQ(draw_current()->italic_overhang, 0);
  int w = text_width("HHH");
  draw_font(italic);
  EXPECT_GT(draw_current()->italic_overhang, 0);
  EXPECT_LT(draw_current()->italic_overhang, 6);
  EXPECT_NEAR(text_width("HHH"), w + draw_current()->italic_overhang, 3);
}

namespace {
// Images in and out of a 64 x 48 output.
struct DrawingImages : DrawingTest {
  void SetUp() override {
    image_init();
    DrawingTest::SetUp();
  }
  void TearDown() override {
    DrawingTest::TearDown();
    image_shutdown();
  }
  // Sets pixel (x, y) from the top of image n to 0x00BBGGRR with an alpha.
  static void set(int n, int x, int y, uint32_t colour, uint8_t alpha = 255) {
    PlatBitmap* b = image_lookup(n)->bitmap;
    uint8_t* p = b->pixels + (size_t)(b->height - 1 - y) * b->row_size + (size_t)x * (b->depth / 8);
    p[0] = (uint8_t)(colour >> 16), p[1] = (uint8_t)(colour >> 8), p[2] = (uint8_t)colour;
    if (b->depth == 32) p[3] = alpha;
  }
};
} // namespace

TEST_F(DrawingImages, DrawnTheRightWayUpAtItsSizeOrStretched) {
  for (int depth : {24, 32}) {
    canvas.fill(0);
    ASSERT_TRUE(image_create(3, 2, 2, depth));
    set(3, 0, 0, RED), set(3, 1, 0, GREEN), set(3, 0, 1, BLUE), set(3, 1, 1, WHITE);
    EXPECT_EQ(draw_image(3, 10, 10), 1);
    EXPECT_EQ(canvas.colour(10, 10), (uint32_t)RED);
    EXPECT_EQ(canvas.colour(11, 10), (uint32_t)GREEN);
    EXPECT_EQ(canvas.colour(10, 11), (uint32_t)BLUE);
    EXPECT_EQ(canvas.raw(11, 11), 0xFFFFFFFFu);
    EXPECT_EQ(draw_image_sized(3, 20, 20, 8, 8), 1);
    for (int y = 0; y < 8; y++)
      for (int x = 0; x < 8; x++)
        ASSERT_EQ(canvas.colour(20 + x, 20 + y), canvas.colour(10 + x / 4, 10 + y / 4)) << depth;
    EXPECT_EQ(draw_image_sized(3, 40, 0, 8, 0), 1); // one size 0: drawn at its size
    EXPECT_EQ(canvas.colour(41, 1), (uint32_t)WHITE);
    EXPECT_EQ(canvas.colour(42, 1), 0u);
    // A negative size mirrors, the picture reaching back from x (or y) on that side.
    for (auto [w, h] : {std::pair{-8, 8}, std::pair{8, -8}, std::pair{-8, -8}}) {
      SCOPED_TRACE(std::to_string(w) + " x " + std::to_string(h));
      const int x = 47, y = 37; // the mirrored picture covers 40..47, 30..37 when both flip
      canvas.fill(0);
      draw_image_sized(3, 20, 20, 8, 8);
      EXPECT_EQ(draw_image_sized(3, x, y, w, h), 1);
      const int left = w < 0 ? x + w + 1 : x, top = h < 0 ? y + h + 1 : y;
      for (int j = 0; j < 8; j++)
        for (int i = 0; i < 8; i++)
          ASSERT_EQ(canvas.colour(left + i, top + j),
                    canvas.colour(20 + (w < 0 ? 7 - i : i), 20 + (h < 0 ? 7 - j : j)));
      EXPECT_EQ(canvas.colour(left - 1, top), 0u);
      EXPECT_EQ(canvas.colour(left + 8, top + 7), 0u);
    }
  }
  EXPECT_EQ(draw_image(99, 0, 0), 0);
}

TEST_F(DrawingImages, XorModeInvertsWithTheImage) {
  image_create(0, 4, 4, 24);
  for (int i = 0; i < 16; i++) set(0, i % 4, i / 4, 0x123456 * (i + 1) & 0xFFFFFF);
  canvas.fill(0xFF808080);
  draw_mode(DRAW_XOR);
  draw_image(0, 5, 5);
  EXPECT_NE(canvas.colour(5, 5), 0x808080u);
  draw_image(0, 5, 5);
  EXPECT_EQ(canvas.count(0x808080), 64 * 48);
}

TEST_F(DrawingImages, AlphaImagesBlendWithoutChangingTheImage) {
  image_create(1, 1, 1, 32);
  set(1, 0, 0, WHITE, 128);
  EXPECT_TRUE(image_has_alpha(1));
  EXPECT_EQ(draw_alpha_image(1, 0, 0, 255), 1);
  EXPECT_EQ(canvas.colour(0, 0), 0x7F7F7Fu); // 255 x 128 / 256 over black
  canvas.fill(0);
  EXPECT_EQ(draw_alpha_image(1, 0, 0, 255), 1); // drawing twice gives the same
  EXPECT_EQ(canvas.colour(0, 0), 0x7F7F7Fu);
  EXPECT_EQ(image_lookup(1)->bitmap->pixels[0], 255);
  canvas.fill(0);
  draw_alpha_image(1, 0, 0, 0);
  EXPECT_EQ(canvas.colour(0, 0), 0u);

  image_create(2, 1, 1, 24); // no alpha of its own: the constant alone
  set(2, 0, 0, WHITE);
  draw_alpha_image(2, 1, 0, 128);
  EXPECT_EQ(canvas.colour(1, 0), 0x808080u);
  draw_alpha_image(2, 2, 0, 255);
  EXPECT_EQ(canvas.colour(2, 0), (uint32_t)WHITE);
  draw_alpha_image(2, 3, 0, 0);
  EXPECT_EQ(canvas.colour(3, 0), 0u);
  EXPECT_EQ(draw_alpha_image(7, 0, 0, 255), 0);
}

TEST_F(DrawingImages, GrabbedImagesHoldTheOutputAndComeBackTheSame) {
  draw_box(0, 0, 4, 2, RED);
  draw_box(0, 2, 4, 2, GREEN);
  int n = grab_image(-1, -2, 0, 6, 4); // two columns left of the output
  ASSERT_LT(n, -1);
  EXPECT_EQ(image_width(n), 6);
  EXPECT_EQ(image_lookup(n)->depth, 32);
  EXPECT_TRUE(grab_image(5, 0, 0, 4, 4));
  draw_image(n, 30, 30);
  EXPECT_EQ(canvas.colour(30, 30), 0u);
  EXPECT_EQ(canvas.colour(32, 30), (uint32_t)RED);
  EXPECT_EQ(canvas.colour(35, 33), (uint32_t)GREEN);
  EXPECT_EQ(grab_image(6, 0, 0, 0, 4), 0);
  draw_stop();

  Canvas sixteen(4, 4, FMT_R5G6B5);
  ASSERT_TRUE(draw_start(surface_output(&sixteen.s)));
  draw_box(0, 0, 4, 4, BLUE);
  ASSERT_TRUE(grab_image(7, 0, 0, 4, 4));
  EXPECT_EQ(image_lookup(7)->depth, 24);
  EXPECT_EQ(image_lookup(7)->bitmap->pixels[0], 0xFF); // blue, first byte of a row
  draw_stop();
}
