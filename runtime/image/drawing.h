// 2D drawing into a drawing output: boxes, shapes and text in loaded fonts,
// images in and out. An output (the screen's back buffer, a memory surface)
// makes a DrawContext, which is current at once; draw_start begins a drawing
// pass on it, every drawing call goes to the current output, draw_stop ends it.
// The current output is per thread. Colours are 0x00BBGGRR.
#pragma once

#include "runtime/platform/draw2d/draw2d.h"

#include <cstdint>

struct DrawContext;

// A context's operations, in the order outputs have always listed them.
struct DrawOps {
  void (*apply_back_colour)(DrawContext* c);
  void (*box)(DrawContext* c, int x, int y, int w, int h);
  void (*round_box)(DrawContext* c, int x, int y, int w, int h, int rx, int ry);
  void (*circle)(DrawContext* c, int x, int y, int r);
  void (*set_font)(DrawContext* c, int font);
  uint8_t* (*drawing_buffer)(DrawContext* c);
  int (*drawing_buffer_pitch)(DrawContext* c);
  int (*drawing_buffer_format)(DrawContext* c);
  void (*set_mode)(DrawContext* c, int flags);
  int (*draw_image)(DrawContext* c, int image, int x, int y);
  int (*draw_image_sized)(DrawContext* c, int image, int x, int y, int w, int h);
  int (*draw_alpha_image)(DrawContext* c, int image, int x, int y, int alpha);
  int (*text)(DrawContext* c, int x, int y, const char* text);
  void (*rotated_text)(DrawContext* c, int x, int y, const char* text, double angle);
  void (*ellipse)(DrawContext* c, int x, int y, int rx, int ry);
  void (*fill_area)(DrawContext* c, int x, int y, int colour);
  void (*set_colour)(DrawContext* c, int colour);
  int (*grab_image)(DrawContext* c, int number, int x, int y, int w, int h);
  void (*line)(DrawContext* c, int x1, int y1, int x2, int y2);
  void (*plot_current)(DrawContext* c, int x, int y);
  void (*plot)(DrawContext* c, int x, int y, int colour);
  int (*point)(DrawContext* c, int x, int y);
  int (*start)(DrawContext* c);
  void (*stop)(DrawContext* c);
  int (*text_height)(DrawContext* c, const char* text);
  int (*text_width)(DrawContext* c, const char* text);
};

// An output whose device context and pixels are obtained on demand.
const int DRAW_KIND_ON_DEMAND = 7;

// draw_mode flags.
enum DrawModeFlag { DRAW_TRANSPARENT = 1, DRAW_XOR = 2, DRAW_OUTLINED = 4 };

// Pixel format codes of drawing_buffer_format.
enum DrawPixelFormat {
  DRAW_FORMAT_8 = 1,
  DRAW_FORMAT_15 = 2,
  DRAW_FORMAT_16 = 4,
  DRAW_FORMAT_32 = 0x40
};

// font_load_ex style flags.
enum FontStyle {
  FONT_UNDERLINE = 4,
  FONT_STRIKEOUT = 8,
  FONT_HIGH_QUALITY = 0x10,
  FONT_BOLD = 0x100,
  FONT_ITALIC = 0x200
};

struct DrawContext {
  DrawOps ops;
  void (*cleanup)(DrawContext* c, int stopped); // the output's: after stop (1), failed start (0)
  int front_colour;                             // 0xFFFFFF
  int back_colour;                              // behind text when the mode is opaque; black
  int applied_colour;      // last given to the device context (pen, brush, text); -1 none
  int applied_back_colour; // last text background given to it; -1 none
  int kind;
  int width, height, depth;                // the output's size and bits per pixel
  uint8_t* pixels;                         // the output's pixels while they are locked, else null
  int pitch;                               // bytes from one row to the next while locked
  int pixel_format;                        // DrawPixelFormat code
  D2dDc* (*get_dc)(DrawContext* c);        // the output's device context, unlocking first
  uint8_t* (*lock_pixels)(DrawContext* c); // releases the device context, locks, sets pitch
  void* output;                            // the output's own record
  D2dDc* dc;
  int dc_state;        // 1 while the device context is held, -1 while the pixels are locked
  int mode;            // DrawModeFlag bits, 0 at start
  D2dBrush* brush;     // solid, of applied_colour (black at start)
  D2dBrush* old_brush; // the device context's own, selected back at stop
  D2dPen* pen;
  D2dPen* old_pen;
  int font;               // a font handle; the system font at start
  int rotated_font;       // a copy of font for rotated_text, 0 none
  int rotated_escapement; // its direction in tenths of a degree
  int italic_overhang;    // pixels added to text widths
  int started;            // between a successful draw_start and draw_stop
};

// Makes a zeroed context with its defaults and operations and makes it the
// current output (an earlier current output is stopped or discarded); an output
// calls it and fills in the rest. Null when memory runs out.
DrawContext* draw_context_make();
// The current output of this thread, or null.
DrawContext* draw_current();
// An output over pixels the caller keeps (an image's, a test's); null for an
// unusable surface. Drawing starts at once with draw_start.
DrawContext* surface_output(const Surface* surface);
// The pixel format code of a surface format, 0 for none.
int draw_format_code(int surface_format);

// Starts drawing on context; nonzero on success, 0 (context discarded, no
// current output) when the output cannot be drawn on or context is null.
int draw_start(DrawContext* context);
// Ends the drawing pass and discards the context; does nothing without one.
void draw_stop();
// Sets the DrawModeFlag bits.
void draw_mode(int flags);
// Selects a font handle from font_load (-1: the system font); unknown ones are ignored.
void draw_font(int font);
// The size of text in the current font; 0 for empty text or no output.
int text_width(const char* text);
int text_height(const char* text);
// A filled box of w by h pixels with its top-left at (x, y).
void draw_box(int x, int y, int w, int h, int colour);
// Draws text with the top-left of its cell at (x, y); returns x plus its width
// (x when there is no output).
int draw_text(int x, int y, const char* text, int colour);

// The shapes take the colour of the last draw_box or draw_text.
// A rounded box whose corners are quarters of an ellipse 2 rx by 2 ry.
void round_box(int x, int y, int w, int h, int rx, int ry);
// A circle of radius r around (x, y); r 1 is one pixel.
void circle(int x, int y, int r);
void ellipse(int x, int y, int rx, int ry);
// A line from (x1, y1) to (x2, y2), both ends included.
void line(int x1, int y1, int x2, int y2);
void plot_current(int x, int y);
// Sets one pixel, straight into the locked pixels when the output has them.
void plot(int x, int y, int colour);
// The colour of a pixel; -1 outside the output or without one.
int point(int x, int y);
// Flood fill from (x, y): colour -1 fills the region of the colour there, any
// other colour fills up to a border of that colour.
void fill_area(int x, int y, int colour);
// Draws image at its size, or stretched to w by h when both are nonzero (a
// negative w or h mirrors it, reaching left of x or above y, see d2d_stretch);
// 0 when there is no such image or no output.
int draw_image(int image, int x, int y);
int draw_image_sized(int image, int x, int y, int w, int h);
// Blends image with a constant alpha 0-255 (and its own alpha, for alpha
// images); 0 when there is no such image or no output.
int draw_alpha_image(int image, int x, int y, int alpha);
// Draws text turned angle degrees counter-clockwise about its top-left.
void rotated_text(int x, int y, const char* text, double angle);
// Copies a rectangle of the output into a new image under number (-1: a new
// number); the image's number for -1, else nonzero; 0 on failure.
int grab_image(int number, int x, int y, int w, int h);
// The output's locked pixels (locking them), their pitch and format code; 0 for
// an output without pixels of its own.
uint8_t* drawing_buffer();
int drawing_buffer_pitch();
int drawing_buffer_format();

// Creates the font table (at start-up); nonzero.
int font_init();
// Loads a face (a family name) at size points: under number (0 up, replacing
// the font there) it returns the font handle, under -1 a new font number; 0 when
// the face is not installed (the number is then empty).
int font_load(int number, const char* face, int size);
// As font_load with FontStyle flags.
int font_load_ex(int number, const char* face, int size, int flags);
// Deletes the font under number.
void font_free(int number);
// Frees every font; the module is then as before font_init.
void font_shutdown();
