#include "runtime/display/screen.h"

#include "runtime/core/clock_random.h"
#include "runtime/display/sprites.h"
#include "runtime/display/window.h"

struct ScreenState {
  int display_ready;    // display_init succeeded
  GfxSystem* gfx;       // from display_init to display_shutdown
  GfxDevice* device;    // null while no screen is open
  Surface* back_buffer; // held while open, given up around a device reset
  int open;
  int windowed;                    // 1: in a child area of an application window
  int active;                      // full screen: may present (the base window is active)
  PlatWindow* top_window;          // the application window, or the base window
  PlatWindow* child_window;        // windowed only: the area presented into
  int screen_width, screen_height; // 0 while closed
  int buffer_width, buffer_height; // sprite drawing and grabbing clip to these
  int depth_bits;
  int pixel_format;
  int refresh_rate;
  int child_x, child_y, right_margin, bottom_margin, auto_stretch;
  int in_scene;
  int blend_cache[4]; // alpha blend, source, destination, vertex format; -1 stale
  GfxPresentParams present_params;
  int cursor_hidden;            // a full screen hid the mouse cursor
  int fit = SCREEN_FIT_STRETCH; // of the flips, kept from one screen to the next
};
static ScreenState scr;

static const int stale = -1;

static void blend_cache_stale() {
  for (int& v : scr.blend_cache) v = stale;
}

// Bits per pixel of a device format (formats no back buffer uses included).
static int depth_of_format(int format) {
  switch (format) {
  case 20: return 24;
  case 21:
  case 22:
  case 31:
  case 34:
  case 35: return 32;
  case 23:
  case 24:
  case 25:
  case 26:
  case 29:
  case 30: return 16;
  case 27:
  case 28: return 8;
  case 36: return 64;
  }
  return 0;
}

static void take_format(int format) {
  if (format == FMT_X8R8G8B8) scr.pixel_format = PIXEL_X8R8G8B8;
  if (format == FMT_R5G6B5) scr.pixel_format = PIXEL_R5G6B5;
  if (format == FMT_X1R5G5B5) scr.pixel_format = PIXEL_X1R5G5B5;
  scr.depth_bits = depth_of_format(format);
}

int display_init() {
  sprite_table_create();
  if (!base_window_create()) return 0;
  if (scr.display_ready) return 0;
  scr.gfx = gfx_create();
  if (!scr.gfx) return 0;
  int modes = gfx_adapter_mode_count(scr.gfx, FMT_X1R5G5B5) +
              gfx_adapter_mode_count(scr.gfx, FMT_R5G6B5) +
              gfx_adapter_mode_count(scr.gfx, FMT_X8R8G8B8);
  if (modes <= 0) {
    gfx_release(scr.gfx);
    scr.gfx = nullptr;
    return 0;
  }
  scr.display_ready = 1;
  return 1;
}

int display_lacks_keyboard() { return plat_display_lacks_keyboard(); }

void display_shutdown() {
  if (scr.display_ready) {
    screen_close();
    gfx_release(scr.gfx);
  }
  sprite_table_destroy();
  base_window_destroy();
  scr = ScreenState{};
}

void screen_set_fit(int fit) { scr.fit = fit; }

static void fill_present_params(int format, int windowed, PlatWindow* device_window,
                                int wait_vblank) {
  GfxPresentParams& p = scr.present_params;
  p = GfxPresentParams{};
  p.back_buffer_width = scr.screen_width;
  p.back_buffer_height = scr.screen_height;
  p.back_buffer_format = format;
  p.back_buffer_count = 1;
  p.swap_effect = windowed ? GFX_SWAP_COPY : GFX_SWAP_FLIP;
  p.device_window = device_window;
  p.windowed = windowed;
  p.flags = GFX_PRESENTFLAG_LOCKABLE_BACKBUFFER;
  p.full_screen_refresh_rate = windowed ? 0 : scr.refresh_rate;
  p.presentation_interval = wait_vblank ? GFX_PRESENT_INTERVAL_ONE : GFX_PRESENT_INTERVAL_IMMEDIATE;
}

// Point sampling, texture colour and alpha as they are: texel for pixel.
static void default_device_states() {
  gfx_set_texture_stage_state(scr.device, 0, GFX_TSS_COLOROP, GFX_TOP_SELECTARG1);
  gfx_set_texture_stage_state(scr.device, 0, GFX_TSS_ALPHAOP, GFX_TOP_SELECTARG1);
  gfx_set_software_vertex_processing(scr.device, 0);
  gfx_set_sampler_state(scr.device, 0, GFX_SAMP_MAGFILTER, GFX_TEXF_POINT);
  gfx_set_sampler_state(scr.device, 0, GFX_SAMP_MINFILTER, GFX_TEXF_POINT);
  gfx_set_render_state(scr.device, GFX_RS_MULTISAMPLEANTIALIAS, 0);
}

// The device is made; the screen takes its back buffer and clears it.
static void take_device(int format) {
  take_format(format);
  scr.back_buffer = gfx_device_back_buffer(scr.device);
  gfx_clear(scr.device, 0);
}

static int full_screen_format(int depth) {
  if (depth == 32)
    return gfx_check_device_type(scr.gfx, FMT_X8R8G8B8, FMT_X8R8G8B8, 0) == GFX_OK ? FMT_X8R8G8B8
                                                                                   : 0;
  if (depth != 16) return 0;
  int format = 0;
  for (int candidate : {FMT_R5G6B5, FMT_X1R5G5B5})
    if (gfx_check_device_type(scr.gfx, candidate, candidate, 0) == GFX_OK) format = candidate;
  return format;
}

static int open_failed() {
  sprite_free_all();
  if (scr.child_window) plat_window_destroy(scr.child_window);
  scr.child_window = nullptr;
  if (scr.cursor_hidden) plat_cursor_show(1); // the error box that follows needs the mouse
  scr.cursor_hidden = 0;
  scr.top_window = nullptr;
  scr.screen_width = scr.screen_height = 0;
  return 0;
}

int screen_open_full(int width, int height, int depth, const char* title, int wait_vblank,
                     int refresh_rate) {
  // Opening over an open screen would leak its device and sprites.
  screen_close();
  if (!scr.display_ready || !base_window()) return open_failed();
  scr.top_window = base_window();
  plat_window_set_title(scr.top_window, title);
  plat_window_place(scr.top_window, 0, 0, (int16_t)width, (int16_t)height);

  scr.windowed = 0;
  scr.depth_bits = (int16_t)depth;
  blend_cache_stale();
  scr.refresh_rate = refresh_rate == -1 ? 0 : refresh_rate;
  scr.buffer_width = scr.screen_width = (int16_t)width;
  scr.buffer_height = scr.screen_height = (int16_t)height;
  plat_cursor_show(0);
  scr.cursor_hidden = 1;

  int format = full_screen_format((int16_t)depth);
  fill_present_params(format, 0, scr.top_window, wait_vblank);
  GfxCaps caps;
  if (gfx_device_caps(scr.gfx, &caps) != GFX_OK) return open_failed();
  int behaviour = (caps.dev_caps & GFX_DEVCAPS_HWTRANSFORMANDLIGHT)
                      ? GFX_CREATE_MIXED_VERTEXPROCESSING
                      : GFX_CREATE_SOFTWARE_VERTEXPROCESSING;
  scr.device = gfx_device_create(scr.gfx, scr.top_window, behaviour, &scr.present_params);
  if (!scr.device) return open_failed();
  take_device(format);
  default_device_states();
  plat_window_show_full(scr.top_window, 1);
  scr.open = scr.active = 1;
  return 1;
}

// The child area fills the application window but for the margins.
static void fit_child() {
  PlatRect client = plat_window_rect(scr.top_window);
  plat_window_place(scr.child_window, scr.child_x, scr.child_y,
                    client.width - scr.right_margin - scr.child_x,
                    client.height - scr.bottom_margin - scr.child_y);
}

int screen_open_windowed(PlatWindow* window, int x, int y, int width, int height, int auto_stretch,
                         int right_margin, int bottom_margin, int wait_vblank) {
  screen_close();
  if (!window || !scr.display_ready) return open_failed();
  blend_cache_stale();
  scr.child_x = x;
  scr.child_y = y;
  scr.right_margin = right_margin;
  scr.bottom_margin = bottom_margin;
  scr.auto_stretch = auto_stretch;
  scr.windowed = 1;
  scr.top_window = window;
  scr.buffer_width = scr.screen_width = width;
  scr.buffer_height = scr.screen_height = height;

  scr.child_window = plat_child_create(window, x, y, width, height);
  if (!scr.child_window) return open_failed();
  if (auto_stretch) fit_child();

  GfxDisplayMode desktop;
  if (gfx_adapter_display_mode(scr.gfx, &desktop) != GFX_OK) return open_failed();
  // A desktop layout no back buffer has still gets a window: presenting converts.
  int format = desktop.format;
  if (gfx_check_device_type(scr.gfx, format, format, 1) != GFX_OK) format = FMT_X8R8G8B8;
  fill_present_params(format, 1, scr.child_window, wait_vblank);
  GfxCaps caps;
  if (gfx_device_caps(scr.gfx, &caps) != GFX_OK) return open_failed();
  int behaviour = (caps.dev_caps & GFX_DEVCAPS_HWTRANSFORMANDLIGHT)
                      ? GFX_CREATE_HARDWARE_VERTEXPROCESSING
                      : GFX_CREATE_SOFTWARE_VERTEXPROCESSING;
  scr.device = gfx_device_create(scr.gfx, scr.child_window, behaviour, &scr.present_params);
  if (!scr.device) return open_failed();
  take_device(format);
  scr.refresh_rate = desktop.refresh_rate;
  default_device_states();
  scr.open = scr.active = 1;
  return 1;
}

void screen_close() {
  if (!scr.open) return;
  screen_output_end();
  sprite_free_all();
  if (scr.device) {
    scene_end();
    if (scr.back_buffer) gfx_back_buffer_release(scr.device);
    scr.back_buffer = nullptr;
    gfx_device_release(scr.device);
    scr.device = nullptr;
  }
  scr.screen_width = scr.screen_height = 0;
  if (scr.windowed) {
    scr.windowed = 0;
    plat_window_destroy(scr.child_window);
    scr.child_window = nullptr;
  } else {
    if (scr.cursor_hidden) plat_cursor_show(1);
    scr.cursor_hidden = 0;
    plat_window_show_full(scr.top_window, 0);
  }
  // Nothing may ask the window a closed screen lived in for its focus.
  scr.top_window = nullptr;
  scr.open = 0;
}

void screen_clear(int colour) {
  if (!scr.device) return;
  uint32_t c = (uint32_t)colour;
  gfx_clear(scr.device, surface_swap_red_blue(c));
}

void screen_tint(int colour, int percent) {
  if (!scr.device || !scr.back_buffer) return;
  uint32_t c = (uint32_t)colour;
  surface_tint(scr.back_buffer, surface_swap_red_blue(c), percent);
}

int scene_begin() {
  if (!scr.in_scene && scr.device && gfx_begin_scene(scr.device) == GFX_OK) scr.in_scene = 1;
  return scr.in_scene;
}

void scene_end() {
  if (!scr.in_scene) return;
  scr.in_scene = 0;
  gfx_end_scene(scr.device);
}

void blend_state(int alpha_blend, int source_blend, int destination_blend, int vertex_format) {
  if (!scr.device) return;
  if (scr.blend_cache[0] != alpha_blend)
    gfx_set_render_state(scr.device, GFX_RS_ALPHABLENDENABLE, scr.blend_cache[0] = alpha_blend);
  if (scr.blend_cache[1] != source_blend)
    gfx_set_render_state(scr.device, GFX_RS_SRCBLEND, scr.blend_cache[1] = source_blend);
  if (scr.blend_cache[2] != destination_blend)
    gfx_set_render_state(scr.device, GFX_RS_DESTBLEND, scr.blend_cache[2] = destination_blend);
  if (scr.blend_cache[3] != vertex_format)
    gfx_set_fvf(scr.device, scr.blend_cache[3] = vertex_format);
}

// Waits up to 32 ms for a lost device to come back; its state afterwards.
static int wait_for_device() {
  uint32_t start = clock_ms();
  int level = gfx_test_cooperative_level(scr.device);
  while (level == GFX_DEVICELOST && clock_ms() - start < 32) {
    delay_ms(1);
    level = gfx_test_cooperative_level(scr.device);
  }
  return level;
}

int screen_flip() {
  if (!scr.windowed) window_dispatch_all();
  if (!scr.device) return 0;
  // A window screen tries again every frame; only a full screen waits to be activated.
  if (!scr.windowed && !scr.active) return 1;
  int level = wait_for_device();
  if (level == GFX_DEVICELOST || level == GFX_DRIVERINTERNALERROR) {
    scr.active = 0;
    return 0;
  }
  if (level == GFX_DEVICENOTRESET) {
    screen_output_end();
    if (scr.back_buffer) gfx_back_buffer_release(scr.device);
    scr.back_buffer = nullptr;
    scene_end();
    if (gfx_device_reset(scr.device, &scr.present_params) != GFX_OK) {
      scr.active = 0;
      return 0;
    }
    scr.back_buffer = gfx_device_back_buffer(scr.device);
    blend_cache_stale();
  }
  scene_end();
  int shown;
  PlatRect area = plat_window_rect(scr.windowed ? scr.child_window : scr.top_window);
  if (scr.fit != SCREEN_FIT_STRETCH) {
    PlatRect at =
        plat_fit_frame(scr.buffer_width, scr.buffer_height, area.width, area.height, scr.fit);
    GfxRect src = {0, 0, scr.buffer_width, scr.buffer_height};
    GfxRect dst = {at.x, at.y, at.x + at.width, at.y + at.height};
    shown = gfx_present(scr.device, &src, &dst) == GFX_OK;
  } else if (scr.windowed) {
    GfxRect src = {0, 0, scr.buffer_width, scr.buffer_height};
    GfxRect dst = {0, 0, area.width, area.height};
    shown = gfx_present(scr.device, &src, &dst) == GFX_OK;
  } else {
    shown = gfx_present(scr.device, nullptr, nullptr) == GFX_OK;
  }
  scr.active = shown;
  return 1;
}

int screen_is_active() {
  if (!scr.open) return 0;
  if (!scr.windowed) return scr.active;
  return plat_window_has_focus(scr.top_window);
}

GfxDevice* screen_device() { return scr.device; }
Surface* screen_back_buffer() { return scr.back_buffer; }
int screen_width() { return scr.screen_width; }
int screen_height() { return scr.screen_height; }
int screen_buffer_width() { return scr.buffer_width; }
int screen_buffer_height() { return scr.buffer_height; }
int screen_depth_bits() { return scr.depth_bits; }
int screen_pixel_format() { return scr.pixel_format; }
PlatWindow* screen_top_window() { return scr.open ? scr.top_window : nullptr; }

void screen_window_event(PlatWindow* w, int kind) {
  if (!scr.open || !scr.windowed || w != scr.top_window) return;
  bool sized =
      kind == PLAT_EVENT_RESIZED || kind == PLAT_EVENT_MAXIMIZED || kind == PLAT_EVENT_RESTORED;
  if (sized && scr.auto_stretch) fit_child();
  // The back buffer still holds the last frame, so a repaint shows it again.
  if ((sized || kind == PLAT_EVENT_EXPOSED) && scr.screen_width) screen_flip();
}

void screen_base_activated(int active) {
  if (!scr.windowed) scr.active = active;
}

void screen_forget_window(PlatWindow* w) {
  if (scr.open && scr.windowed && w == scr.top_window) screen_close();
}
