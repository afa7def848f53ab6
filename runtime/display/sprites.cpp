#include "runtime/display/sprites.h"

#include "runtime/display/screen.h"
#include "runtime/image/codecs.h"
#include "runtime/image/images.h"
#include "runtime/image/start_ahead.h"
#include "runtime/platform/plat_core.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

struct SpriteState {
  ObjectTable table;      // SpriteRecords, freed by sprite_free
  int table_ready;        // sprite_table_create ran
  int default_key_colour; // applied to every sprite made; black at start
};
static SpriteState sprites;

void sprite_table_create() {
  if (sprites.table_ready) return;
  object_table_create(&sprites.table, sizeof(SpriteRecord), 64, sprite_free);
  sprites.table_ready = 1;
}

void sprite_table_destroy() {
  if (sprites.table_ready) object_table_destroy(&sprites.table);
  sprites = SpriteState{};
}

SpriteRecord* sprite_lookup(int n) {
  return sprites.table_ready ? (SpriteRecord*)object_table_lookup(&sprites.table, n) : nullptr;
}

static SpriteTexture* texture_create(int width, int height, int kind) {
  GfxDevice* device = screen_device();
  if (!device) return nullptr;
  int format = kind == SPRITE_32_BIT ? FMT_A8R8G8B8 : FMT_A1R5G5B5;
  GfxTexture* texture = gfx_texture_create(device, width, height, 1, 0, format, GFX_POOL_MANAGED);
  if (!texture) return nullptr;
  SpriteTexture* t = (SpriteTexture*)calloc(1, sizeof(SpriteTexture));
  if (!t) {
    gfx_texture_release(texture);
    return nullptr;
  }
  t->kind = kind;
  t->width = width;
  t->height = height;
  t->key_colour = -1;
  t->texture = texture;
  t->surface = gfx_texture_level(texture);
  return t;
}

static void texture_free(SpriteTexture* t) {
  gfx_texture_release(t->texture);
  gfx_surface_release(t->dc_surface);
  free(t);
}

static uint8_t* texture_lock(SpriteTexture* t, int read_only, int* pitch) {
  uint8_t* pixels = gfx_texture_lock(t->texture, pitch, read_only ? GFX_LOCK_READONLY : 0);
  if (pixels) t->locked = 1;
  return pixels;
}

static void texture_unlock(SpriteTexture* t) {
  if (!t->locked) return;
  gfx_texture_unlock(t->texture);
  t->locked = 0;
}

// The key colour (0x00BBGGRR) as the colour bits of a texel of kind.
static uint32_t key_texel(int kind, int key) {
  uint32_t c = (uint32_t)key;
  if (kind == SPRITE_32_BIT) return surface_swap_red_blue(c);
  return (((c & 0xF8) << 7) | ((c >> 6) & 0x3E0) | (c >> 19)) & 0x7FFF;
}

// A 32-bit texel of colour bits c under the alpha rule of key k.
static inline uint32_t keyed_texel(uint32_t c, uint32_t k) { return c == k ? c : c | 0xFF000000u; }

// The alpha rule: a pixel of the key colour gets alpha 0, any other full alpha;
// only the colour bits are compared, so a new key undoes the old one completely.
static void apply_key_row(uint8_t* dst, const uint8_t* src, int width, int kind, int key) {
  if (kind == SPRITE_32_BIT) {
    uint32_t key32 = key_texel(kind, key);
    // Four texels a step: every sprite of the game is keyed once it is loaded.
    typedef uint32_t u32x4 __attribute__((vector_size(16)));
    const u32x4 colour = {0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF}, k = {key32, key32, key32, key32};
    int i = 0;
    for (; i + 4 <= width; i += 4) {
      u32x4 p;
      std::memcpy(&p, src + 4 * i, 16);
      p &= colour;
      p |= (u32x4)(p != k) & ~colour;
      std::memcpy(dst + 4 * i, &p, 16);
    }
    for (; i < width; i++) {
      uint32_t p;
      std::memcpy(&p, src + 4 * i, 4);
      p = keyed_texel(p & 0xFFFFFF, key32);
      std::memcpy(dst + 4 * i, &p, 4);
    }
    return;
  }
  uint32_t key16 = key_texel(kind, key);
  for (int i = 0; i < width; i++) {
    uint16_t p;
    std::memcpy(&p, src + 2 * i, 2);
    p = (uint16_t)((p & 0x7FFFu) == key16 ? p & 0x7FFF : p | 0x8000);
    std::memcpy(dst + 2 * i, &p, 2);
  }
}

static void texture_set_key(SpriteTexture* t, int colour) {
  if (t->key_colour == colour) return;
  int pitch;
  uint8_t* pixels = texture_lock(t, 0, &pitch);
  if (!pixels) return;
  for (int row = 0; row < t->height; row++) {
    uint8_t* p = pixels + (size_t)row * pitch;
    apply_key_row(p, p, t->width, t->kind, colour);
  }
  t->key_colour = colour;
  texture_unlock(t);
}

// A device context on the sprite: its pixels copied into a system-memory surface.
static Surface* texture_get_dc(SpriteTexture* t) {
  if (t->dc) return t->dc;
  GfxDevice* device = screen_device();
  if (!t->dc_surface && device)
    t->dc_surface = gfx_surface_create(device, t->width, t->height,
                                       t->kind == SPRITE_32_BIT ? FMT_X8R8G8B8 : FMT_X1R5G5B5,
                                       GFX_POOL_SYSTEMMEM);
  if (!t->dc_surface) return nullptr;
  int src_pitch, dst_pitch;
  uint8_t* src = texture_lock(t, 1, &src_pitch);
  if (!src) return nullptr;
  uint8_t* dst = gfx_surface_lock(t->dc_surface, &dst_pitch, 0);
  if (dst) {
    size_t row_bytes = (size_t)t->width * (t->kind == SPRITE_32_BIT ? 4 : 2);
    for (int row = 0; row < t->height; row++)
      std::memcpy(dst + (size_t)row * dst_pitch, src + (size_t)row * src_pitch, row_bytes);
    gfx_surface_unlock(t->dc_surface);
  }
  texture_unlock(t);
  if (dst) t->dc = gfx_surface_get_dc(t->dc_surface);
  return t->dc;
}

// Gives the device context back, copying its pixels into the texture under the alpha rule.
static void texture_release_dc(SpriteTexture* t) {
  if (!t->dc) return;
  gfx_surface_release_dc(t->dc_surface);
  t->dc = nullptr;
  int dst_pitch, src_pitch;
  uint8_t* dst = texture_lock(t, 0, &dst_pitch);
  if (!dst) return;
  uint8_t* src = gfx_surface_lock(t->dc_surface, &src_pitch, GFX_LOCK_READONLY);
  if (src) {
    for (int row = 0; row < t->height; row++)
      apply_key_row(dst + (size_t)row * dst_pitch, src + (size_t)row * src_pitch, t->width, t->kind,
                    t->key_colour);
    gfx_surface_unlock(t->dc_surface);
  }
  texture_unlock(t);
}

// Gives a fresh record a new empty texture; null on failure.
static SpriteTexture* sprite_setup(SpriteRecord* s, int width, int height, int depth, int mode) {
  int kind = depth > 16 ? SPRITE_32_BIT : SPRITE_16_BIT;
  SpriteTexture* t = texture_create(width, height, kind);
  if (!t) return nullptr;
  s->texture = t;
  s->width = s->buffer_width = width;
  s->height = s->buffer_height = height;
  s->depth = kind == SPRITE_32_BIT ? 32 : 16;
  s->mode = mode;
  const float uv[4][2] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};
  std::memcpy(s->corner_uv, uv, sizeof uv);
  return t;
}

// What a create operation returns for number n: the number for an any-number,
// else just a nonzero value.
static int created(int requested, int number) { return requested == -1 ? number : 1; }

int sprite_grab(int n, int x, int y, int width, int height) {
  if (!sprites.table_ready || !screen_device() || width < 1 || height < 1) return 0;
  if (x < 0 || y < 0 || (int64_t)x + width > screen_buffer_width() ||
      (int64_t)y + height > screen_buffer_height())
    return 0;
  int depth = screen_depth_bits();
  int number = n;
  SpriteRecord* s = (SpriteRecord*)object_table_lookup_strict(&sprites.table, n);
  bool fresh = !s;
  if (s && (s->width != width || s->height != height || s->depth != (depth > 16 ? 32 : 16))) {
    // Set up anew in the same record, which keeps an any-number valid.
    texture_free(s->texture);
    std::memset(s, 0, sizeof *s);
  } else if (!s) {
    s = (SpriteRecord*)object_table_allocate(&sprites.table, n, &number);
    if (!s) return 0;
  }
  if (!s->texture && !sprite_setup(s, width, height, depth, 0)) {
    object_table_release(&sprites.table, number);
    return 0;
  }
  scene_end();
  int result = 0;
  Surface* back = screen_back_buffer();
  Surface* screen_dc = back ? gfx_surface_get_dc(back) : nullptr;
  if (screen_dc) {
    if (Surface* dc = texture_get_dc(s->texture)) {
      surface_copy(dc, 0, 0, screen_dc, x, y, width, height);
      texture_release_dc(s->texture);
      result = created(n, number);
    }
    gfx_surface_release_dc(back);
  }
  if (!result) {
    // A sprite made only for this grab would be left behind under a number nobody got.
    if (fresh) sprite_free(number);
    return 0;
  }
  texture_set_key(s->texture, sprites.default_key_colour);
  return result;
}

// One decoded row (blue, green, red, and alpha at 32 bits) into a texture row,
// its alpha set by the rule of key colour key.
static void texture_row(uint8_t* dst, const uint8_t* src, int width, int src_bytes, int kind,
                        int key) {
  const uint32_t k = key_texel(kind, key);
  if (kind == SPRITE_32_BIT) {
    int i = 0;
    // Four three-byte pixels from two loads: panels are 300,000 pixels each.
    for (; src_bytes == 3 && i + 4 <= width; i += 4, src += 12) {
      uint64_t lo;
      uint32_t hi;
      std::memcpy(&lo, src, 8);
      std::memcpy(&hi, src + 8, 4);
      uint32_t four[4] = {(uint32_t)lo & 0xFFFFFF, (uint32_t)(lo >> 24) & 0xFFFFFF,
                          (uint32_t)(lo >> 48) | (hi & 0xFF) << 16, hi >> 8};
      for (int j = 0; j < 4; j++) {
        uint32_t p = keyed_texel(four[j], k);
        std::memcpy(dst + 4 * (size_t)(i + j), &p, 4);
      }
    }
    for (; i < width; i++, src += src_bytes) {
      uint32_t c = src[0] | (uint32_t)src[1] << 8 | (uint32_t)src[2] << 16;
      uint32_t p = keyed_texel(c, k);
      std::memcpy(dst + 4 * (size_t)i, &p, 4);
    }
    return;
  }
  for (int i = 0; i < width; i++, src += src_bytes) {
    uint32_t b = src[0], g = src[1], r = src[2];
    uint16_t p = (uint16_t)(((r & 0xF8) << 7) + ((g & 0xF8) << 2) + (b >> 3));
    p = (uint16_t)(p == k ? p : p | 0x8000);
    std::memcpy(dst + 2 * i, &p, 2);
  }
}

// Gives number's fresh record s a texture of the pixel rows (3 or 4 bytes a
// pixel, rows stride bytes apart from the top one) under the default key; as a
// create operation returns, and 0 with the number left free.
static int sprite_fill(SpriteRecord* s, int n, int number, const uint8_t* top, ptrdiff_t stride,
                       int width, int height, int src_bytes, int mode) {
  SpriteTexture* t = sprite_setup(s, width, height, screen_depth_bits() <= 16 ? 16 : 32, mode);
  int pitch;
  uint8_t* texels = t ? texture_lock(t, 0, &pitch) : nullptr;
  if (!texels) {
    if (t) texture_free(t);
    object_table_release(&sprites.table, number);
    return 0;
  }
  // The default key is applied in the same pass. A row like the one above (three
  // in four of the game's art, scaled by four) is a copy of its texels.
  const size_t src_row = (size_t)width * src_bytes;
  const size_t texel_row = (size_t)width * (t->kind == SPRITE_32_BIT ? 4 : 2);
  for (int y = 0; y < height; y++) {
    uint8_t* to = texels + (size_t)y * pitch;
    const uint8_t* from = top + y * stride;
    if (y && std::memcmp(from, from - stride, src_row) == 0)
      std::memcpy(to, to - pitch, texel_row);
    else
      texture_row(to, from, width, src_bytes, t->kind, sprites.default_key_colour);
  }
  t->key_colour = sprites.default_key_colour;
  texture_unlock(t);
  return created(n, number);
}

int sprite_decode(int n, const void* data, size_t length, int mode) {
  if (!sprites.table_ready) return 0;
  int number;
  // The number is taken first, so a sprite already under it is gone even if this fails.
  SpriteRecord* s = (SpriteRecord*)object_table_allocate(&sprites.table, n, &number);
  if (!s) return 0;
  DecodeInfo info;
  if (!data || !decode_open_memory(data, length, &info)) {
    object_table_release(&sprites.table, number);
    return 0;
  }
  // A damaged header must not ask for gigabytes; no texture could take it anyway.
  if (info.width < 1 || info.height < 1 || info.width > SURFACE_MAX_SIDE ||
      info.height > SURFACE_MAX_SIDE) {
    decode_close();
    object_table_release(&sprites.table, number);
    return 0;
  }
  int src_bytes = info.depth == 32 ? 4 : 3;
  int row = info.depth == 32 ? info.width * 4 : info.width * 3 + (info.width & 3);
  uint8_t* rows = new (std::nothrow) uint8_t[(size_t)(info.height + 1) * (size_t)row];
  if (!rows) {
    decode_close();
    object_table_release(&sprites.table, number);
    return 0;
  }
  // Rows a damaged file left unwritten would show as stale memory.
  int result = 0;
  if (decode_rows(rows, row, 0))
    result = sprite_fill(s, n, number, rows, row, info.width, info.height, src_bytes, mode);
  else
    object_table_release(&sprites.table, number);
  delete[] rows;
  return result;
}

int sprite_load(int n, const char* file_name) {
  DecodeInfo info;
  std::vector<uint8_t> rows;
  // A picture decoded ahead of time: what the steps below would make of the same file.
  if (sprites.table_ready && start_ahead_take(file_name, &info, &rows)) {
    int number;
    SpriteRecord* s = (SpriteRecord*)object_table_allocate(&sprites.table, n, &number);
    if (!s) return 0;
    if (info.width > SURFACE_MAX_SIDE || info.height > SURFACE_MAX_SIDE) {
      object_table_release(&sprites.table, number);
      return 0;
    }
    const size_t row = codec_pixel_bytes(info.width, info.depth);
    return sprite_fill(s, n, number, rows.data(), (ptrdiff_t)row, info.width, info.height,
                       info.depth / 8, 0);
  }
  std::vector<uint8_t> bytes;
  if (!plat_read_file(file_name, &bytes, PLAT_MAX_FILE_BYTES)) return 0;
  return sprite_decode(n, bytes.data(), bytes.size(), 0);
}

int sprite_from_image(int n, int image) {
  ImageRecord* r = image_lookup(image);
  if (!sprites.table_ready || !r) return 0;
  int number;
  SpriteRecord* s = (SpriteRecord*)object_table_allocate(&sprites.table, n, &number);
  if (!s) return 0;
  // A bitmap keeps its bottom row first.
  const PlatBitmap* b = r->bitmap;
  return sprite_fill(s, n, number, b->pixels + (size_t)(b->height - 1) * b->row_size,
                     -(ptrdiff_t)b->row_size, b->width, b->height, b->depth / 8, 0);
}

int sprite_save(int n, const char* file_name) {
  SpriteRecord* s = sprite_lookup(n);
  if (!file_name || !s) return 0;
  SpriteTexture* t = s->texture;
  int w = s->width, h = s->height;
  int row = (w * 3 + 3) & ~3;
  uint8_t* rows = new (std::nothrow) uint8_t[(size_t)(row + 1) * (size_t)h]();
  if (!rows) return 0;
  int pitch;
  const uint8_t* texels = texture_lock(t, 1, &pitch);
  if (!texels) {
    delete[] rows;
    return 0;
  }
  // Bottom row first, as a bitmap file stores it; padding bytes stay 0.
  for (int y = 0; y < h; y++) {
    const uint8_t* src = texels + (size_t)(h - 1 - y) * pitch;
    uint8_t* dst = rows + (size_t)y * row;
    for (int i = 0; i < w; i++, dst += 3) {
      if (t->kind == SPRITE_32_BIT) {
        std::memcpy(dst, src + 4 * i, 3);
      } else {
        uint16_t p;
        std::memcpy(&p, src + 2 * i, 2);
        dst[0] = (uint8_t)((p & 31) << 3);
        dst[1] = (uint8_t)(((p >> 5) & 31) << 3);
        dst[2] = (uint8_t)(((p >> 10) & 31) << 3);
      }
    }
  }
  texture_unlock(t);
  // Options 7: the quantizer's usual set, no dithering (24 bits never needs it).
  int result = encode_rows(file_name, rows, IMAGE_FORMAT_BMP, w, h, row, 24, ROWS_BOTTOM_UP, 7, 24);
  delete[] rows;
  return result;
}

void sprite_free(int n) {
  SpriteRecord* s = sprite_lookup(n);
  if (!s) return;
  texture_free(s->texture);
  object_table_release(&sprites.table, n);
}

void sprite_free_all() {
  if (sprites.table_ready) object_table_free_all(&sprites.table);
}

int sprite_width(int n) {
  SpriteRecord* s = sprite_lookup(n);
  return s ? s->width : 0;
}

int sprite_height(int n) {
  SpriteRecord* s = sprite_lookup(n);
  return s ? s->height : 0;
}

void sprite_set_key_colour(int n, int colour) {
  if (n == -1) {
    sprites.default_key_colour = colour & 0xFFFFFF;
    return;
  }
  if (SpriteRecord* s = sprite_lookup(n)) texture_set_key(s->texture, colour & 0xFFFFFF);
}

static void draw(int n, int x, int y, int keyed) {
  SpriteRecord* s = sprite_lookup(n);
  if (!s || !scene_begin()) return;
  int64_t right = (int64_t)x + s->width, bottom = (int64_t)y + s->height;
  if (x >= screen_buffer_width() || y >= screen_buffer_height() || right <= 0 || bottom <= 0)
    return;
  blend_state(1, keyed ? GFX_BLEND_SRCALPHA : GFX_BLEND_ONE,
              keyed ? GFX_BLEND_INVSRCALPHA : GFX_BLEND_ZERO, GFX_FVF_XYZRHW_TEX1);
  // Half a pixel up and left, so that texel (i, j) lands on pixel (x + i, y + j).
  float l = (float)x - 0.5f, t = (float)y - 0.5f;
  float r = (float)right - 0.5f, b = (float)bottom - 0.5f;
  const float corner[4][2] = {{l, t}, {r, t}, {l, b}, {r, b}};
  float v[4][6];
  for (int i = 0; i < 4; i++) {
    v[i][0] = corner[i][0];
    v[i][1] = corner[i][1];
    v[i][2] = 0.0f;
    v[i][3] = 1.0f;
    v[i][4] = s->corner_uv[i][0];
    v[i][5] = s->corner_uv[i][1];
  }
  GfxDevice* device = screen_device();
  gfx_set_texture(device, 0, s->texture->texture);
  gfx_draw_primitive_up(device, 2, v, sizeof v[0]);
}

void sprite_draw(int n, int x, int y) { draw(n, x, y, 0); }
void sprite_draw_keyed(int n, int x, int y) { draw(n, x, y, 1); }
