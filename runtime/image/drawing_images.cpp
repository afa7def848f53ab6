#include "runtime/image/drawing_images.h"

#include "runtime/image/drawing.h"
#include "runtime/image/images.h"

#include <cstddef>
#include <cstring>
#include <vector>

// An image's pixels as a top-down 32-bit surface: its own rows for 32-bit
// images (read bottom row last through a negative pitch), a copy in store for
// 24-bit ones. False when there is no image.
static bool image_surface(int image, std::vector<uint8_t>* store, Surface* out) {
  ImageRecord* r = image_lookup(image);
  if (!r || !r->bitmap) return false;
  const PlatBitmap* b = r->bitmap;
  *out = {};
  out->width = b->width;
  out->height = b->height;
  out->format = FMT_A8R8G8B8;
  if (b->depth == 32) {
    out->pixels = b->pixels + (ptrdiff_t)(b->height - 1) * b->row_size;
    out->pitch = -b->row_size;
    return true;
  }
  store->assign((size_t)b->width * b->height * 4, 0xFF);
  for (int y = 0; y < b->height; y++) {
    const uint8_t* src = b->pixels + (ptrdiff_t)(b->height - 1 - y) * b->row_size;
    uint8_t* dst = store->data() + (size_t)y * b->width * 4;
    for (int x = 0; x < b->width; x++) std::memcpy(dst + 4 * x, src + 3 * x, 3);
  }
  out->pixels = store->data();
  out->pitch = b->width * 4;
  return true;
}

int draw_op_image(DrawContext* c, int image, int x, int y) {
  return draw_op_image_sized(c, image, x, y, 0, 0);
}

int draw_op_image_sized(DrawContext* c, int image, int x, int y, int w, int h) {
  std::vector<uint8_t> store;
  Surface s;
  if (!image_surface(image, &store, &s) || !draw_dc_on_demand(c)) return 0;
  int rop = c->mode & DRAW_XOR ? D2D_SRCINVERT : D2D_SRCCOPY;
  if (!w || !h) w = s.width, h = s.height;
  if (w == s.width && h == s.height) return d2d_bit_copy(c->dc, x, y, w, h, &s, 0, 0, rop);
  return d2d_stretch(c->dc, x, y, w, h, &s, 0, 0, s.width, s.height, rop, D2D_STRETCH_AVERAGE);
}

int draw_op_alpha_image(DrawContext* c, int image, int x, int y, int alpha) {
  std::vector<uint8_t> store;
  Surface s;
  if (!image_surface(image, &store, &s) || !draw_dc_on_demand(c)) return 0;
  if (alpha > 255) alpha = 255;
  if (!image_has_alpha(image)) {
    if (alpha <= 0) return 1;
    if (alpha == 255) return d2d_bit_copy(c->dc, x, y, s.width, s.height, &s, 0, 0, D2D_SRCCOPY);
    return d2d_alpha_blend(c->dc, x, y, s.width, s.height, &s, 0, 0, s.width, s.height, alpha, 0);
  }
  // The blend wants premultiplied colours; the image keeps its own, so a copy is made.
  std::vector<uint8_t> pre((size_t)s.width * s.height * 4);
  for (int y0 = 0; y0 < s.height; y0++) {
    const uint8_t* src = s.pixels + (ptrdiff_t)y0 * s.pitch;
    uint8_t* dst = pre.data() + (size_t)y0 * s.width * 4;
    for (int i = 0; i < s.width * 4; i += 4) {
      uint32_t a = src[i + 3];
      for (int k = 0; k < 3; k++)
        dst[i + k] = (uint8_t)(a == 255 ? src[i + k] : src[i + k] * a / 256);
      dst[i + 3] = (uint8_t)a;
    }
  }
  Surface p = {pre.data(), s.width, s.height, s.width * 4, FMT_A8R8G8B8, 0, 0};
  return d2d_alpha_blend(c->dc, x, y, s.width, s.height, &p, 0, 0, s.width, s.height, alpha, 1);
}

int draw_op_grab_image(DrawContext* c, int number, int x, int y, int w, int h) {
  if (!draw_dc_on_demand(c)) return 0;
  // Images hold 24 or 32 bits; a 16-bit output gives 24-bit images.
  int result = image_create(number, w, h, c->depth == 32 ? 32 : 24);
  if (!result) return 0;
  int n = number == -1 ? result : number;
  std::vector<uint8_t> pixels((size_t)w * h * 4, 0);
  Surface grabbed = {pixels.data(), w, h, w * 4, FMT_X8R8G8B8, 0, 0};
  D2dDc* dc = d2d_dc_create(&grabbed);
  if (dc) d2d_bit_copy(dc, 0, 0, w, h, &c->dc->surface, x, y, D2D_SRCCOPY);
  d2d_dc_delete(dc);
  // Parts outside the output stay black, opaque.
  PlatBitmap* b = image_lookup(n)->bitmap;
  int bpp = b->depth / 8;
  for (int row = 0; row < h; row++) {
    uint8_t* dst = b->pixels + (ptrdiff_t)(h - 1 - row) * b->row_size;
    const uint8_t* src = pixels.data() + (size_t)row * w * 4;
    for (int i = 0; i < w; i++) {
      std::memcpy(dst + bpp * i, src + 4 * i, 3);
      if (bpp == 4) dst[4 * i + 3] = 0xFF;
    }
  }
  return result;
}
