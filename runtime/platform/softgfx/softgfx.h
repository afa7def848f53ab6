// The software graphics device: what the screen and the sprites ask of a 3D
// device, done in main memory. One system object per display, a device with one
// lockable back buffer, managed textures, system-memory surfaces, scenes, the
// textured quad drawn texel for pixel, and presentation into a platform window.
// Calls answer GFX_OK (0) or one of the error results below.
#pragma once

#include "runtime/platform/softgfx/surface.h"

struct PlatWindow;
struct GfxSystem;
struct GfxDevice;
struct GfxTexture;

enum GfxResult {
  GFX_OK = 0,
  GFX_DEVICELOST = 1,          // presentation impossible for now; wait
  GFX_DEVICENOTRESET = 2,      // usable again after gfx_device_reset
  GFX_DRIVERINTERNALERROR = 3, // gone for good
  GFX_INVALIDCALL = 4,         // bad arguments or a call out of order
  GFX_OUTOFMEMORY = 5,
};

enum GfxSwapEffect { GFX_SWAP_FLIP = 2, GFX_SWAP_COPY = 3 };
enum GfxPool { GFX_POOL_MANAGED = 1, GFX_POOL_SYSTEMMEM = 2 };
enum { GFX_PRESENTFLAG_LOCKABLE_BACKBUFFER = 1 };
enum : unsigned { GFX_PRESENT_INTERVAL_ONE = 1, GFX_PRESENT_INTERVAL_IMMEDIATE = 0x80000000u };
enum {
  GFX_CREATE_SOFTWARE_VERTEXPROCESSING = 0x20,
  GFX_CREATE_HARDWARE_VERTEXPROCESSING = 0x40,
  GFX_CREATE_MIXED_VERTEXPROCESSING = 0x80
};
enum { GFX_DEVCAPS_HWTRANSFORMANDLIGHT = 0x10000 };
enum { GFX_LOCK_READONLY = 0x10 };

// Render states (the numbers only name them) and their values.
enum GfxRenderState {
  GFX_RS_SRCBLEND = 19,
  GFX_RS_DESTBLEND = 20,
  GFX_RS_ALPHABLENDENABLE = 27,
  GFX_RS_MULTISAMPLEANTIALIAS = 161,
  GFX_RS_COUNT = 256,
};
enum GfxBlend {
  GFX_BLEND_ZERO = 1,
  GFX_BLEND_ONE = 2,
  GFX_BLEND_SRCALPHA = 5,
  GFX_BLEND_INVSRCALPHA = 6
};
// The one vertex format drawn: x, y, z, rhw, u, v as floats (24 bytes).
enum { GFX_FVF_XYZRHW_TEX1 = 0x104 };
enum { GFX_TSS_COLOROP = 1, GFX_TSS_ALPHAOP = 4, GFX_TOP_SELECTARG1 = 2 };
enum { GFX_SAMP_MAGFILTER = 5, GFX_SAMP_MINFILTER = 6, GFX_TEXF_POINT = 1 };

struct GfxPresentParams {
  int back_buffer_width, back_buffer_height;
  int back_buffer_format; // FMT_X8R8G8B8, FMT_R5G6B5 or FMT_X1R5G5B5
  int back_buffer_count;
  int swap_effect;
  PlatWindow* device_window; // where presents go
  int windowed;
  int enable_auto_depth_stencil, auto_depth_stencil_format;
  int flags;
  int full_screen_refresh_rate;
  unsigned presentation_interval; // recorded; presents never wait for the vertical blank
};

struct GfxDisplayMode {
  int width, height, refresh_rate;
  int format;
};

struct GfxCaps {
  int dev_caps;
  int max_texture_width, max_texture_height;
};

struct GfxRect {
  int left, top, right, bottom;
};

// The system object over the display; null when there is no display.
GfxSystem* gfx_create();
// Releases the system object; null is ignored.
void gfx_release(GfxSystem* g);
// How many display modes the adapter has in a back-buffer format; 0 if none.
int gfx_adapter_mode_count(GfxSystem* g, int format);
// The desktop's current mode; GFX_INVALIDCALL when it cannot be read.
int gfx_adapter_display_mode(GfxSystem* g, GfxDisplayMode* mode);
// GFX_OK when format can be a full-screen (windowed 0) or windowed back buffer.
int gfx_check_device_type(GfxSystem* g, int display_format, int back_buffer_format, int windowed);
// What devices can do (no hardware vertex processing, the largest texture).
int gfx_device_caps(GfxSystem* g, GfxCaps* caps);

// A device presenting into params->device_window, its back buffer black and its
// states at their defaults; null on bad parameters or no memory.
GfxDevice* gfx_device_create(GfxSystem* g, PlatWindow* focus_window, int behaviour,
                             const GfxPresentParams* params);
// Frees the device and its back buffer; textures and surfaces are freed by their owners.
void gfx_device_release(GfxDevice* d);
// The back buffer, counted as a reference until gfx_back_buffer_release.
Surface* gfx_device_back_buffer(GfxDevice* d);
// Gives a back-buffer reference back.
void gfx_back_buffer_release(GfxDevice* d);

// GFX_OK, or the device's trouble: GFX_DEVICELOST, GFX_DEVICENOTRESET, GFX_DRIVERINTERNALERROR.
int gfx_test_cooperative_level(GfxDevice* d);
// A new back buffer and default states; GFX_INVALIDCALL while a back-buffer
// reference is out, GFX_DEVICELOST while the device is still lost.
int gfx_device_reset(GfxDevice* d, const GfxPresentParams* params);
// Shows the back buffer's src rectangle in dst of the window's client area (nulls:
// the whole buffer, the whole window); GFX_DEVICELOST when it could not be shown.
int gfx_present(GfxDevice* d, const GfxRect* src, const GfxRect* dst);

// Fills the back buffer with 0x00RRGGBB; nothing happens while the device is in trouble.
int gfx_clear(GfxDevice* d, uint32_t rgb);
// Opens the scene draws need: GFX_INVALIDCALL when one is open, GFX_DEVICELOST in trouble.
int gfx_begin_scene(GfxDevice* d);
// Closes the scene; GFX_INVALIDCALL when none is open.
int gfx_end_scene(GfxDevice* d);
// State setters, kept until changed or reset; stage and sampler 0 only (else GFX_INVALIDCALL).
// Draws read the blend states and the vertex format; filtering is always point sampling.
int gfx_set_render_state(GfxDevice* d, int state, uint32_t value);
int gfx_set_fvf(GfxDevice* d, uint32_t fvf);
int gfx_set_texture_stage_state(GfxDevice* d, int stage, int type, uint32_t value);
int gfx_set_sampler_state(GfxDevice* d, int sampler, int type, uint32_t value);
int gfx_set_software_vertex_processing(GfxDevice* d, int on);
int gfx_set_texture(GfxDevice* d, int stage, GfxTexture* t);
// Draws a triangle strip of primitive_count triangles from vertices stride bytes
// apart. Only the axis-aligned quad of four vertices mapping the whole texture
// texel for pixel is drawn (texel (i, j) onto pixel (x + i, y + j), clipped to
// the back buffer); GFX_INVALIDCALL for anything else or outside a scene. Draws
// read what they take of the texture at the first draw after a write lock: which
// rows repeat the row above (read once), and for a keyed draw (source alpha over
// inverse source alpha) of an A8R8G8B8 texture onto an X8R8G8B8 buffer the runs
// of texels with alpha, packed, so that the transparent ones are never visited.
int gfx_draw_primitive_up(GfxDevice* d, int primitive_count, const void* vertices, int stride);

// A texture of one level (A8R8G8B8 or A1R5G5B5) in the managed pool; survives
// resets. Null when the format or size is refused or memory runs out.
GfxTexture* gfx_texture_create(GfxDevice* d, int width, int height, int levels, int usage,
                               int format, int pool);
// The texture's level, to read: its size, format and pixels. Texels are written
// only through gfx_texture_lock, which keeps what draws read true to them.
const Surface* gfx_texture_level(const GfxTexture* t);
// The texture's pixels and row pitch, as gfx_surface_lock gives them; null while
// it is locked. A lock without GFX_LOCK_READONLY makes the next draw take what
// it reads anew; under GFX_LOCK_READONLY nothing may be written.
uint8_t* gfx_texture_lock(GfxTexture* t, int* pitch, int flags);
// GFX_INVALIDCALL when the texture is not locked.
int gfx_texture_unlock(GfxTexture* t);
// Frees a texture; null is ignored.
void gfx_texture_release(GfxTexture* t);
// A plain surface in system memory (for device contexts of textures).
// Null for another pool, a refused size or format, or no memory.
Surface* gfx_surface_create(GfxDevice* d, int width, int height, int format, int pool);
// Frees a surface made by gfx_surface_create; null is ignored.
void gfx_surface_release(Surface* s);

// The whole surface's pixels and row pitch; null while locked or while a device
// context is out.
uint8_t* gfx_surface_lock(Surface* s, int* pitch, int flags);
// GFX_INVALIDCALL when the surface is not locked.
int gfx_surface_unlock(Surface* s);
// A device context on a 32-bit X8R8G8B8 or 16-bit R5G6B5/X1R5G5B5 surface: the
// surface itself, for surface_copy and the 2D drawing. Null while locked, while
// another is out, or for other formats.
Surface* gfx_surface_get_dc(Surface* s);
// GFX_INVALIDCALL when no device context is out.
int gfx_surface_release_dc(Surface* s);

// Test controls: put the device into a condition (GFX_DEVICELOST,
// GFX_DEVICENOTRESET, GFX_DRIVERINTERNALERROR, GFX_OK); a lost device becomes
// ready to reset after checks_until_ready tests of its level (-1: never).
void gfx_device_simulate(GfxDevice* d, int condition, int checks_until_ready);
// Render states and vertex formats sent so far (set_render_state, set_fvf).
int gfx_device_state_sends(GfxDevice* d);
// A render state's current value.
uint32_t gfx_device_render_state(GfxDevice* d, int state);
// Successful presents so far.
int gfx_device_presents(GfxDevice* d);
// Draws that reached the back buffer so far: keyed ones (source alpha over
// inverse source alpha), those of them cut at an edge, and all others.
struct GfxDrawCounts {
  int keyed, keyed_cut, other;
};
GfxDrawCounts gfx_device_draw_counts(GfxDevice* d);
// The presentation parameters the device runs with.
const GfxPresentParams* gfx_device_params(GfxDevice* d);
