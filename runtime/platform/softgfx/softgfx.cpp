#include "runtime/platform/softgfx/softgfx.h"

#include "runtime/platform/plat_window.h"

#include <cstdlib>
#include <cstring>

struct GfxSystem {
  int unused;
};

struct GfxDevice {
  GfxPresentParams params;
  PlatWindow* focus_window;
  int behaviour;          // vertex processing flags given at creation
  Surface* back_buffer;   // lockable, one per device
  int back_buffer_refs;   // references handed out; a reset needs them all back
  int condition;          // GFX_OK or the trouble the device is in
  int checks_until_ready; // lost: cooperative-level tests until it can be reset (-1 never)
  int in_scene;
  uint32_t render[GFX_RS_COUNT]; // render states by number
  uint32_t fvf;
  uint32_t stage0[33];   // texture stage 0 states by type
  uint32_t sampler0[14]; // sampler 0 states by type
  int software_vp;
  GfxTexture* texture; // stage 0
  int state_sends;     // render states and vertex formats sent, for tests
  int presents;
  GfxDrawCounts draws; // for benchmarks
};

// A stretch of texels in one row that a keyed draw treats alike, and where its
// texels are kept packed.
struct KeyedRun {
  uint16_t start;  // its first texel's column
  uint16_t length; // texels (SURFACE_MAX_SIDE fits in 15 bits); bit 15: partly transparent
  uint32_t at;     // its first texel in GfxTexture::packed
};
enum : uint16_t { RUN_BLENDED = 0x8000 };

// A row's runs, runs[first] up to runs[end], and how many rows from it down
// have the same texels (itself included): a draw copies each run into all of
// them at once.
struct RowRuns {
  uint32_t first, end;
  uint32_t alike;
};

// Draws read what they need of a texture's pixels in a shape of their own,
// taken at the first draw that needs it after a write lock.
struct GfxTexture {
  Surface* level;
  int pool;
  // For each row, the first of the rows above it that have the same pixels
  // (itself when the row above differs): art scaled by whole numbers repeats
  // every row, so a draw reads each distinct row once and finds the repeats in
  // the cache.
  uint32_t* same_rows;
  int same_rows_taken;
  // What a keyed draw of an A8R8G8B8 texture reads, in one block: the texels
  // with alpha above 0 packed run after run (SDL's run-length shape: a run is
  // one contiguous copy, and the transparent texels are never read), their
  // runs, and each row's runs; rows like the one above share its runs.
  void* keyed;
  const RowRuns* rows;    // height entries
  const KeyedRun* runs;   // every distinct row's runs, top row first
  const uint32_t* packed; // the texels of every run
  int blended;            // some run is partly transparent
  int keyed_taken;
};

static const int max_texture_side = SURFACE_MAX_SIDE;

static int is_back_buffer_format(int f) {
  return f == FMT_X8R8G8B8 || f == FMT_R5G6B5 || f == FMT_X1R5G5B5;
}

GfxSystem* gfx_create() {
  if (!plat_display_open()) return nullptr;
  GfxSystem* g = (GfxSystem*)calloc(1, sizeof(GfxSystem));
  if (!g) plat_display_close();
  return g;
}

void gfx_release(GfxSystem* g) {
  if (!g) return;
  free(g);
  plat_display_close();
}

int gfx_adapter_mode_count(GfxSystem* g, int format) {
  // Every mode can show every back-buffer format: presenting converts.
  if (!g || !is_back_buffer_format(format)) return 0;
  return plat_display_mode_count();
}

int gfx_adapter_display_mode(GfxSystem* g, GfxDisplayMode* mode) {
  PlatDesktop desk;
  if (!g || !plat_display_desktop(&desk)) return GFX_INVALIDCALL;
  mode->width = desk.width;
  mode->height = desk.height;
  mode->refresh_rate = desk.refresh_rate;
  mode->format = desk.format;
  return GFX_OK;
}

int gfx_check_device_type(GfxSystem* g, int display_format, int back_buffer_format, int windowed) {
  if (!g || !is_back_buffer_format(back_buffer_format)) return GFX_INVALIDCALL;
  if (!windowed && display_format != back_buffer_format) return GFX_INVALIDCALL;
  return GFX_OK;
}

int gfx_device_caps(GfxSystem* g, GfxCaps* caps) {
  if (!g) return GFX_INVALIDCALL;
  caps->dev_caps = 0; // no hardware transform and lighting: vertices are ours to process
  caps->max_texture_width = caps->max_texture_height = max_texture_side;
  return GFX_OK;
}

static void default_states(GfxDevice* d) {
  std::memset(d->render, 0, sizeof d->render);
  d->render[GFX_RS_SRCBLEND] = GFX_BLEND_ONE;
  d->render[GFX_RS_DESTBLEND] = GFX_BLEND_ZERO;
  d->render[GFX_RS_MULTISAMPLEANTIALIAS] = 1;
  d->fvf = 0;
  std::memset(d->stage0, 0, sizeof d->stage0);
  d->stage0[GFX_TSS_COLOROP] = 4; // modulate, which with no vertex colour is the texel itself
  d->stage0[GFX_TSS_ALPHAOP] = GFX_TOP_SELECTARG1;
  std::memset(d->sampler0, 0, sizeof d->sampler0);
  d->sampler0[GFX_SAMP_MAGFILTER] = d->sampler0[GFX_SAMP_MINFILTER] = GFX_TEXF_POINT;
  d->software_vp = 0;
  d->texture = nullptr;
  d->in_scene = 0;
}

static int params_valid(const GfxPresentParams* p) {
  return is_back_buffer_format(p->back_buffer_format) && p->back_buffer_count <= 1 &&
         p->back_buffer_width >= 1 && p->back_buffer_height >= 1 &&
         p->back_buffer_width <= SURFACE_MAX_SIDE && p->back_buffer_height <= SURFACE_MAX_SIDE &&
         p->device_window != nullptr;
}

GfxDevice* gfx_device_create(GfxSystem* g, PlatWindow* focus_window, int behaviour,
                             const GfxPresentParams* params) {
  if (!g || !focus_window || !params) return nullptr;
  GfxPresentParams p = *params;
  if (!p.device_window) p.device_window = focus_window;
  if (!params_valid(&p)) return nullptr;
  GfxDevice* d = (GfxDevice*)calloc(1, sizeof(GfxDevice));
  if (!d) return nullptr;
  d->back_buffer = surface_create(p.back_buffer_width, p.back_buffer_height, p.back_buffer_format);
  if (!d->back_buffer) {
    free(d);
    return nullptr;
  }
  d->params = p;
  d->focus_window = focus_window;
  d->behaviour = behaviour;
  d->condition = GFX_OK;
  default_states(d);
  return d;
}

void gfx_device_release(GfxDevice* d) {
  if (!d) return;
  surface_free(d->back_buffer);
  free(d);
}

Surface* gfx_device_back_buffer(GfxDevice* d) {
  d->back_buffer_refs++;
  return d->back_buffer;
}

void gfx_back_buffer_release(GfxDevice* d) {
  if (d->back_buffer_refs > 0) d->back_buffer_refs--;
}

int gfx_test_cooperative_level(GfxDevice* d) {
  if (d->condition == GFX_DEVICELOST && d->checks_until_ready >= 0) {
    if (d->checks_until_ready == 0)
      d->condition = GFX_DEVICENOTRESET;
    else
      d->checks_until_ready--;
  }
  return d->condition;
}

int gfx_device_reset(GfxDevice* d, const GfxPresentParams* params) {
  if (d->condition == GFX_DEVICELOST || d->condition == GFX_DRIVERINTERNALERROR)
    return d->condition;
  GfxPresentParams p = *params;
  if (!p.device_window) p.device_window = d->focus_window;
  if (d->back_buffer_refs > 0 || !params_valid(&p)) return GFX_INVALIDCALL;
  Surface* fresh = surface_create(p.back_buffer_width, p.back_buffer_height, p.back_buffer_format);
  if (!fresh) return GFX_OUTOFMEMORY;
  surface_free(d->back_buffer);
  d->back_buffer = fresh;
  d->params = p;
  d->condition = GFX_OK;
  default_states(d);
  return GFX_OK;
}

int gfx_present(GfxDevice* d, const GfxRect* src, const GfxRect* dst) {
  if (d->condition != GFX_OK) return GFX_DEVICELOST;
  PlatRect s = {0, 0, d->back_buffer->width, d->back_buffer->height};
  if (src) s = {src->left, src->top, src->right - src->left, src->bottom - src->top};
  PlatRect r;
  if (dst) r = {dst->left, dst->top, dst->right - dst->left, dst->bottom - dst->top};
  if (!plat_window_present(d->params.device_window, d->back_buffer, &s, dst ? &r : nullptr))
    return GFX_DEVICELOST;
  d->presents++;
  return GFX_OK;
}

int gfx_clear(GfxDevice* d, uint32_t rgb) {
  if (d->condition != GFX_OK) return GFX_OK; // a lost device ignores drawing
  surface_fill(d->back_buffer, 0, 0, d->back_buffer->width, d->back_buffer->height, rgb);
  return GFX_OK;
}

int gfx_begin_scene(GfxDevice* d) {
  if (d->in_scene) return GFX_INVALIDCALL;
  if (d->condition != GFX_OK) return GFX_DEVICELOST;
  d->in_scene = 1;
  return GFX_OK;
}

int gfx_end_scene(GfxDevice* d) {
  if (!d->in_scene) return GFX_INVALIDCALL;
  d->in_scene = 0;
  return GFX_OK;
}

int gfx_set_render_state(GfxDevice* d, int state, uint32_t value) {
  if (state < 0 || state >= GFX_RS_COUNT) return GFX_INVALIDCALL;
  d->render[state] = value;
  d->state_sends++;
  return GFX_OK;
}

int gfx_set_fvf(GfxDevice* d, uint32_t fvf) {
  d->fvf = fvf;
  d->state_sends++;
  return GFX_OK;
}

int gfx_set_texture_stage_state(GfxDevice* d, int stage, int type, uint32_t value) {
  if (stage != 0 || type < 0 || type >= 33) return GFX_INVALIDCALL;
  d->stage0[type] = value;
  return GFX_OK;
}

int gfx_set_sampler_state(GfxDevice* d, int sampler, int type, uint32_t value) {
  if (sampler != 0 || type < 0 || type >= 14) return GFX_INVALIDCALL;
  d->sampler0[type] = value;
  return GFX_OK;
}

int gfx_set_software_vertex_processing(GfxDevice* d, int on) {
  d->software_vp = on;
  return GFX_OK;
}

int gfx_set_texture(GfxDevice* d, int stage, GfxTexture* t) {
  if (stage != 0) return GFX_INVALIDCALL;
  d->texture = t;
  return GFX_OK;
}

// Blending one pixel the general way: out = src * source factor + dst * destination factor.
static uint32_t blend_factor(int factor, uint32_t alpha) {
  switch (factor) {
  case GFX_BLEND_ZERO: return 0;
  case GFX_BLEND_ONE: return 255;
  case GFX_BLEND_SRCALPHA: return alpha;
  case GFX_BLEND_INVSRCALPHA: return 255 - alpha;
  }
  return 255;
}

static uint32_t blend_pixel(uint32_t s, uint32_t d, int src_factor, int dst_factor) {
  uint32_t a = s >> 24;
  uint32_t fs = blend_factor(src_factor, a), fd = blend_factor(dst_factor, a), out = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    uint32_t v = (((s >> shift) & 255) * fs + ((d >> shift) & 255) * fd + 127) / 255;
    out |= (v > 255 ? 255 : v) << shift;
  }
  return out;
}

// 0 for a transparent texel, 1 for an opaque one, 2 for one in between.
static int texel_class(uint32_t texel) {
  uint32_t a = texel >> 24;
  return a == 0 ? 0 : a == 255 ? 1 : 2;
}

// Takes the rows alike of a texture anew, when its pixels may have changed; 0
// when memory runs out (draws then read every row).
static int same_rows_ready(GfxTexture* t) {
  if (t->same_rows_taken) return 1;
  const Surface* s = t->level;
  uint32_t* same = (uint32_t*)realloc(t->same_rows, sizeof(uint32_t) * (size_t)s->height);
  if (!same) return 0;
  const size_t bytes = (size_t)s->width * surface_bytes_per_pixel(s->format);
  same[0] = 0;
  for (int j = 1; j < s->height; j++) {
    const uint8_t* row = s->pixels + (size_t)j * s->pitch;
    same[j] = std::memcmp(row, row - s->pitch, bytes) == 0 ? same[j - 1] : (uint32_t)j;
  }
  t->same_rows = same;
  t->same_rows_taken = 1;
  return 1;
}

// Takes the runs of one row: stretches of texels of one class, transparent
// ones left out. Counts them, and the texels in them, into *runs and *texels;
// when out is not null, also writes the runs (their texels from packed + *texels on).
static void scan_row(const uint32_t* row, int width, KeyedRun* out, uint32_t* packed,
                     uint32_t* runs, uint32_t* texels, int* blended) {
  for (int i = 0; i < width;) {
    int start = i, c = texel_class(row[i]);
    while (++i < width && texel_class(row[i]) == c) {}
    if (!c) continue;
    const uint16_t length = (uint16_t)(i - start);
    if (out) {
      out[*runs] = {(uint16_t)start, (uint16_t)(c == 2 ? length | RUN_BLENDED : length), *texels};
      std::memcpy(packed + *texels, row + start, 4 * (size_t)length);
    }
    if (c == 2) *blended = 1;
    *runs += 1;
    *texels += length;
  }
}

// Takes the runs of an A8R8G8B8 texture anew, when its pixels may have changed;
// 0 when memory runs out (the draw then goes texel by texel).
static int keyed_runs_ready(GfxTexture* t) {
  if (t->keyed_taken) return 1;
  if (!same_rows_ready(t)) return 0;
  const Surface* s = t->level;
  const uint32_t* same = t->same_rows;
  auto row = [s](int j) { return (const uint32_t*)(s->pixels + (size_t)j * s->pitch); };
  // Counted first, so that everything takes one block of the exact size.
  uint32_t runs = 0, texels = 0;
  int blended = 0;
  for (int j = 0; j < s->height; j++)
    if (same[j] == (uint32_t)j)
      scan_row(row(j), s->width, nullptr, nullptr, &runs, &texels, &blended);
  const size_t row_bytes = sizeof(RowRuns) * (size_t)s->height;
  const size_t run_bytes = sizeof(KeyedRun) * runs;
  void* block = realloc(t->keyed, row_bytes + run_bytes + sizeof(uint32_t) * texels);
  if (!block) return 0;
  RowRuns* rows = (RowRuns*)block;
  KeyedRun* run = (KeyedRun*)((uint8_t*)block + row_bytes);
  uint32_t* packed = (uint32_t*)((uint8_t*)block + row_bytes + run_bytes);
  runs = texels = 0;
  for (int j = 0; j < s->height; j++) {
    if (same[j] != (uint32_t)j) {
      rows[j] = rows[same[j]];
      continue;
    }
    rows[j].first = runs;
    scan_row(row(j), s->width, run, packed, &runs, &texels, &blended);
    rows[j].end = runs;
  }
  for (int j = s->height - 1; j >= 0; j--)
    rows[j].alike = j + 1 < s->height && same[j + 1] == same[j] ? rows[j + 1].alike + 1 : 1;
  t->keyed = block;
  t->rows = rows;
  t->runs = run;
  t->packed = packed;
  t->blended = blended;
  t->keyed_taken = 1;
  return 1;
}

typedef uint32_t Texels4 __attribute__((vector_size(16)));

// Copies n texels (n above 0) into each of the K rows (k when K is 0) from to
// down, pitch bytes apart: 16 bytes a step, each read once for all the rows,
// the last step ending exactly at the end (overlapping the one before), so
// there is no tail loop and no call. Four rows are written out in full: the
// compiler would keep the loop over them.
template <int K>
static inline void copy_texels(uint8_t* to, size_t pitch, int k, const uint32_t* texels, size_t n) {
  const uint8_t* from = (const uint8_t*)texels;
  const size_t bytes = 4 * n;
  uint8_t *r0 = to, *r1 = to + pitch, *r2 = r1 + pitch, *r3 = r2 + pitch;
  auto put = [&](size_t at, const void* v, size_t size) {
    if (K == 4) {
      std::memcpy(r0 + at, v, size);
      std::memcpy(r1 + at, v, size);
      std::memcpy(r2 + at, v, size);
      std::memcpy(r3 + at, v, size);
    } else {
      for (int r = 0; r < (K ? K : k); r++) std::memcpy(to + r * pitch + at, v, size);
    }
  };
  if (bytes >= 16) {
    Texels4 v;
    for (size_t i = 0; i + 16 < bytes; i += 16) {
      std::memcpy(&v, from + i, 16);
      put(i, &v, 16);
    }
    std::memcpy(&v, from + bytes - 16, 16);
    put(bytes - 16, &v, 16);
  } else if (bytes >= 8) {
    uint64_t a, b;
    std::memcpy(&a, from, 8);
    std::memcpy(&b, from + bytes - 8, 8);
    put(0, &a, 8);
    put(bytes - 8, &b, 8);
  } else {
    uint32_t a;
    std::memcpy(&a, from, 4);
    put(0, &a, 4);
  }
}

// Copies the opaque runs of one row into K rows (k when K is 0), the pixel of
// texel tx at to; when Cut, only texels tx to right - 1.
template <int K, bool Cut>
static inline void copy_runs(uint8_t* to, size_t pitch, int k, const KeyedRun* run,
                             const KeyedRun* end, const uint32_t* packed, int tx, int right) {
  for (; run < end; run++) {
    if (!Cut) {
      copy_texels<K>(to + 4 * (size_t)run->start, pitch, k, packed + run->at, run->length);
      continue;
    }
    const int a = run->start < tx ? tx : run->start;
    const int b = run->start + run->length > right ? right : run->start + run->length;
    if (a < b)
      copy_texels<K>(to + 4 * (size_t)(a - tx), pitch, k, packed + run->at + (a - run->start),
                     (size_t)(b - a));
  }
}

// Copies the opaque runs of texture rows ty to stop - 1 into the rows from dst
// down, each run into every row like its own at once (art scaled by four has
// them four by four).
template <bool Cut>
static void copy_rows(const GfxTexture* t, uint8_t* dst, size_t pitch, int ty, int stop, int tx,
                      int right) {
  for (int j = ty; j < stop;) {
    const RowRuns& row = t->rows[j];
    int k = (int)row.alike < stop - j ? (int)row.alike : stop - j;
    const KeyedRun *first = t->runs + row.first, *end = t->runs + row.end;
    j += k;
    for (; k >= 4; k -= 4, dst += 4 * pitch)
      copy_runs<4, Cut>(dst, pitch, 4, first, end, t->packed, tx, right);
    if (k == 1)
      copy_runs<1, Cut>(dst, pitch, 1, first, end, t->packed, tx, right);
    else if (k)
      copy_runs<0, Cut>(dst, pitch, k, first, end, t->packed, tx, right);
    dst += k * pitch;
  }
}

// Blends n partly transparent texels over their pixels. Out of line: it is
// rare, and inlined it would crowd the registers of the copy loop.
__attribute__((noinline)) static void blend_run(uint8_t* to, const uint32_t* texels, int n) {
  for (int i = 0; i < n; i++) {
    uint32_t p;
    std::memcpy(&p, to + 4 * (size_t)i, 4);
    p = blend_pixel(texels[i], p, GFX_BLEND_SRCALPHA, GFX_BLEND_INVSRCALPHA);
    std::memcpy(to + 4 * (size_t)i, &p, 4);
  }
}

// The keyed draw of texture rows ty to ty + rows - 1, texels tx to tx + n - 1 of
// each, with texel (tx, ty) onto back-buffer pixel (x, y): opaque runs copied
// whole from the packed texels, partly transparent ones blended, transparent
// texels never visited.
static void keyed_draw_runs(const GfxTexture* t, Surface* bb, int x, int y, int rows, int tx,
                            int ty, int n) {
  const size_t pitch = bb->pitch;
  uint8_t* dst = bb->pixels + y * pitch + 4 * (size_t)x; // the pixel of texel tx
  const uint32_t* const packed = t->packed;
  const KeyedRun* const runs = t->runs;
  const int right = tx + n;
  if (!t->blended) {
    // Opaque runs only, the common case.
    if (tx == 0 && right == t->level->width)
      copy_rows<false>(t, dst, pitch, ty, ty + rows, tx, right);
    else
      copy_rows<true>(t, dst, pitch, ty, ty + rows, tx, right);
    return;
  }
  for (const RowRuns *row = t->rows + ty, *stop = row + rows; row < stop; row++, dst += pitch) {
    for (const KeyedRun *run = runs + row->first, *end = runs + row->end; run < end; run++) {
      const int length = run->length & ~RUN_BLENDED;
      int a = run->start < tx ? tx : run->start, b = run->start + length;
      if (b > right) b = right;
      if (a >= b) continue;
      const uint32_t* from = packed + run->at + (a - run->start);
      if (run->length & RUN_BLENDED)
        blend_run(dst + 4 * (size_t)(a - tx), from, b - a);
      else
        copy_texels<1>(dst + 4 * (size_t)(a - tx), pitch, 1, from, (size_t)(b - a));
    }
  }
}

struct Vertex {
  float x, y, z, rhw, u, v;
};

int gfx_draw_primitive_up(GfxDevice* d, int primitive_count, const void* vertices, int stride) {
  if (!d->in_scene || !d->texture || d->fvf != GFX_FVF_XYZRHW_TEX1 || primitive_count != 2 ||
      stride != (int)sizeof(Vertex) || !vertices)
    return GFX_INVALIDCALL;
  if (d->condition != GFX_OK) return GFX_OK;
  Vertex v[4];
  std::memcpy(v, vertices, sizeof v);
  const Surface* tex = d->texture->level;
  // The only quad drawn: corners top-left, top-right, bottom-left, bottom-right,
  // shifted by half a pixel so that texel centres land on pixel centres.
  float left = v[0].x + 0.5f, top = v[0].y + 0.5f;
  bool exact = v[1].y == v[0].y && v[2].x == v[0].x && v[3].x == v[1].x && v[3].y == v[2].y &&
               v[1].x - v[0].x == (float)tex->width && v[2].y - v[0].y == (float)tex->height &&
               v[0].u == 0 && v[0].v == 0 && v[1].u == 1 && v[1].v == 0 && v[2].u == 0 &&
               v[2].v == 1 && v[3].u == 1 && v[3].v == 1 && left > -1e9f && left < 1e9f &&
               top > -1e9f && top < 1e9f && left == (float)(long long)left &&
               top == (float)(long long)top;
  if (!exact) return GFX_INVALIDCALL;
  Surface* bb = d->back_buffer;
  long long x0 = (long long)left, y0 = (long long)top;
  long long x1 = x0 + tex->width, y1 = y0 + tex->height;
  long long cx0 = x0 < 0 ? 0 : x0, cy0 = y0 < 0 ? 0 : y0;
  long long cx1 = x1 > bb->width ? bb->width : x1, cy1 = y1 > bb->height ? bb->height : y1;
  if (cx0 >= cx1 || cy0 >= cy1) return GFX_OK;
  int n = (int)(cx1 - cx0), tx = (int)(cx0 - x0), ty = (int)(cy0 - y0);

  int blend = d->render[GFX_RS_ALPHABLENDENABLE];
  int sf = blend ? (int)d->render[GFX_RS_SRCBLEND] : GFX_BLEND_ONE;
  int df = blend ? (int)d->render[GFX_RS_DESTBLEND] : GFX_BLEND_ZERO;
  bool copy = sf == GFX_BLEND_ONE && df == GFX_BLEND_ZERO;
  bool keyed = sf == GFX_BLEND_SRCALPHA && df == GFX_BLEND_INVSRCALPHA;
  bool fast32 = tex->format == FMT_A8R8G8B8 && bb->format == FMT_X8R8G8B8;
  (keyed ? d->draws.keyed : d->draws.other)++;
  if (keyed && (cx0 != x0 || cy0 != y0 || cx1 != x1 || cy1 != y1)) d->draws.keyed_cut++;
  if (keyed && fast32 && keyed_runs_ready(d->texture)) {
    keyed_draw_runs(d->texture, bb, (int)cx0, (int)cy0, (int)(cy1 - cy0), tx, ty, n);
    return GFX_OK;
  }
  int tbpp = surface_bytes_per_pixel(tex->format), bbpp = surface_bytes_per_pixel(bb->format);
  // A row like the one above is read where that one was, which the cache still holds.
  const uint32_t* same = same_rows_ready(d->texture) ? d->texture->same_rows : nullptr;

  for (long long row = cy0; row < cy1; row++) {
    const size_t j = (size_t)(ty + row - cy0);
    const uint8_t* s = tex->pixels + (same ? same[j] : j) * tex->pitch + (size_t)tx * tbpp;
    uint8_t* p = bb->pixels + (size_t)row * bb->pitch + (size_t)cx0 * bbpp;
    if (copy && (tex->format == bb->format || fast32 ||
                 (tex->format == FMT_A1R5G5B5 && bb->format == FMT_X1R5G5B5))) {
      std::memcpy(p, s, (size_t)n * bbpp);
    } else {
      for (int i = 0; i < n; i++) {
        uint32_t sp = 0, dp = 0;
        std::memcpy(&sp, s + i * tbpp, tbpp);
        std::memcpy(&dp, p + i * bbpp, bbpp);
        uint32_t out =
            blend_pixel(surface_to_argb(sp, tex->format), surface_to_argb(dp, bb->format), sf, df);
        out = surface_from_argb(out, bb->format);
        std::memcpy(p + i * bbpp, &out, bbpp);
      }
    }
  }
  return GFX_OK;
}

GfxTexture* gfx_texture_create(GfxDevice* d, int width, int height, int levels, int usage,
                               int format, int pool) {
  if (!d || levels != 1 || usage != 0 || (pool != GFX_POOL_MANAGED && pool != GFX_POOL_SYSTEMMEM))
    return nullptr;
  if (format != FMT_A8R8G8B8 && format != FMT_A1R5G5B5 && !is_back_buffer_format(format))
    return nullptr;
  GfxTexture* t = (GfxTexture*)calloc(1, sizeof(GfxTexture));
  if (!t) return nullptr;
  t->level = surface_create(width, height, format);
  if (!t->level) {
    free(t);
    return nullptr;
  }
  t->pool = pool;
  return t;
}

const Surface* gfx_texture_level(const GfxTexture* t) { return t->level; }

uint8_t* gfx_texture_lock(GfxTexture* t, int* pitch, int flags) {
  uint8_t* pixels = gfx_surface_lock(t->level, pitch, flags);
  if (pixels && !(flags & GFX_LOCK_READONLY)) t->same_rows_taken = t->keyed_taken = 0;
  return pixels;
}

int gfx_texture_unlock(GfxTexture* t) { return gfx_surface_unlock(t->level); }

void gfx_texture_release(GfxTexture* t) {
  if (!t) return;
  surface_free(t->level);
  free(t->same_rows);
  free(t->keyed);
  free(t);
}

Surface* gfx_surface_create(GfxDevice* d, int width, int height, int format, int pool) {
  if (!d || pool != GFX_POOL_SYSTEMMEM) return nullptr;
  return surface_create(width, height, format);
}

void gfx_surface_release(Surface* s) { surface_free(s); }

uint8_t* gfx_surface_lock(Surface* s, int* pitch, int) {
  if (!s || s->locked || s->dc_out) return nullptr;
  s->locked = 1;
  if (pitch) *pitch = s->pitch;
  return s->pixels;
}

int gfx_surface_unlock(Surface* s) {
  if (!s || !s->locked) return GFX_INVALIDCALL;
  s->locked = 0;
  return GFX_OK;
}

Surface* gfx_surface_get_dc(Surface* s) {
  if (!s || s->locked || s->dc_out || !is_back_buffer_format(s->format)) return nullptr;
  s->dc_out = 1;
  return s;
}

int gfx_surface_release_dc(Surface* s) {
  if (!s || !s->dc_out) return GFX_INVALIDCALL;
  s->dc_out = 0;
  return GFX_OK;
}

void gfx_device_simulate(GfxDevice* d, int condition, int checks_until_ready) {
  d->condition = condition;
  d->checks_until_ready = checks_until_ready;
}

int gfx_device_state_sends(GfxDevice* d) { return d->state_sends; }
uint32_t gfx_device_render_state(GfxDevice* d, int state) {
  return state >= 0 && state < GFX_RS_COUNT ? d->render[state] : 0;
}
int gfx_device_presents(GfxDevice* d) { return d->presents; }
GfxDrawCounts gfx_device_draw_counts(GfxDevice* d) { return d->draws; }
const GfxPresentParams* gfx_device_params(GfxDevice* d) { return &d->params; }
