#include "runtime/display/screen.h"
#include "runtime/image/drawing.h"

#include <algorithm>
#include <new>

// The back buffer lent to one drawing pass: a device context on it or its
// locked pixels, never both at once.
struct ScreenOutput {
  Surface* back_buffer;
  int dc_held; // a device context of the back buffer is out, as c->dc
  int locked;  // its pixels are locked, as c->pixels
};

static ScreenOutput* output_of(DrawContext* c) { return (ScreenOutput*)c->output; }

static D2dDc* take_dc(ScreenOutput* o) {
  Surface* s = gfx_surface_get_dc(o->back_buffer);
  if (!s) return nullptr;
  D2dDc* dc = d2d_dc_create(s);
  if (!dc) {
    gfx_surface_release_dc(o->back_buffer);
    return nullptr;
  }
  o->dc_held = 1;
  return dc;
}

static void give_back_dc(DrawContext* c) {
  ScreenOutput* o = output_of(c);
  if (!o->dc_held) return;
  d2d_dc_delete(c->dc);
  c->dc = nullptr;
  gfx_surface_release_dc(o->back_buffer);
  o->dc_held = 0;
}

static void unlock(DrawContext* c) {
  ScreenOutput* o = output_of(c);
  if (!o->locked) return;
  gfx_surface_unlock(o->back_buffer);
  c->pixels = nullptr;
  o->locked = 0;
}

static D2dDc* output_get_dc(DrawContext* c) {
  if (output_of(c)->dc_held) return c->dc;
  unlock(c);
  return c->dc = take_dc(output_of(c));
}

static uint8_t* output_lock_pixels(DrawContext* c) {
  ScreenOutput* o = output_of(c);
  give_back_dc(c);
  if (!o->locked) {
    int pitch = 0;
    if (uint8_t* pixels = gfx_surface_lock(o->back_buffer, &pitch, 0)) {
      c->pixels = pixels;
      c->pitch = pitch;
      o->locked = 1;
    }
  }
  return o->locked ? c->pixels : nullptr;
}

static void output_release(DrawContext* c, int) {
  if (!c->output) return;
  give_back_dc(c);
  unlock(c);
  delete output_of(c);
  c->output = nullptr;
}

void screen_output_end() {
  DrawContext* c = draw_current();
  if (c && c->cleanup == output_release) draw_stop();
}

DrawContext* screen_output() {
  scene_end();
  Surface* back = screen_back_buffer();
  if (!back) return nullptr;
  ScreenOutput* o = new (std::nothrow) ScreenOutput{back, 0, 0};
  if (!o) return nullptr;
  // The context comes first: making it ends a pass left open, which frees the back buffer.
  DrawContext* c = draw_context_make();
  if (!c) {
    delete o;
    return nullptr;
  }
  c->output = o;
  c->cleanup = output_release;
  c->dc = take_dc(o);
  if (!c->dc) {
    draw_stop();
    return nullptr;
  }
  c->kind = DRAW_KIND_ON_DEMAND;
  // Direct pixel writes are bounded by these, so they never exceed the buffer.
  c->width = std::min(screen_width(), back->width);
  c->height = std::min(screen_height(), back->height);
  c->depth = screen_depth_bits();
  c->pixel_format = screen_pixel_format();
  c->get_dc = output_get_dc;
  c->lock_pixels = output_lock_pixels;
  return c;
}
