// SDL2 backend: showing a frame in a window. Frames are scaled on the CPU into
// the window's own surface (shared memory with the X server), or, where a
// window has no surface of its own (Wayland) or QUILL_PRESENT=renderer asks for
// it, through an SDL renderer and a streaming texture. Neither waits for the
// vertical blank (the game paces itself). A HiDPI output has more pixels than
// the window has units; the frame fills the pixels.
#include "runtime/platform/sdl2/sdl2_window.h"

// Made once per window. Making one may make the window again (for OpenGL) where
// it was first put, so it must come before a shown window moves.
static int ensure_renderer(PlatWindow* top) {
  if (top->renderer) return 1;
  SDL_SetHint(SDL_HINT_RENDER_VSYNC, "0");
  top->renderer = SDL_CreateRenderer(top->sdl, -1, 0);
  if (!top->renderer) top->renderer = SDL_CreateRenderer(top->sdl, -1, SDL_RENDERER_SOFTWARE);
  return top->renderer != nullptr;
}

// The window's own surface where it has one, else a renderer; 0 with neither.
int sdl2_present_path(PlatWindow* top) {
  if (top->path == PATH_UNKNOWN)
    top->path =
        !sdl2_renderer_first() && SDL_GetWindowSurface(top->sdl) ? PATH_SURFACE : PATH_RENDERER;
  return top->path == PATH_SURFACE || ensure_renderer(top);
}

void sdl2_present_release(PlatWindow* w) {
  if (w->texture) SDL_DestroyTexture(w->texture);
  if (w->renderer) SDL_DestroyRenderer(w->renderer);
  surface_free(w->frame32);
  w->texture = nullptr;
  w->renderer = nullptr;
  w->frame32 = nullptr;
}

static int ensure_texture(PlatWindow* top, int width, int height) {
  if (top->texture && top->texture_width == width && top->texture_height == height) return 1;
  if (top->texture) SDL_DestroyTexture(top->texture);
  top->texture = SDL_CreateTexture(top->renderer, SDL_PIXELFORMAT_RGB888,
                                   SDL_TEXTUREACCESS_STREAMING, width, height);
  if (!top->texture) return 0;
  SDL_SetTextureScaleMode(top->texture, SDL_ScaleModeNearest);
  top->texture_width = width;
  top->texture_height = height;
  return 1;
}

// Where the frame goes in an output of out_w x out_h pixels: dst is in window
// units, which a HiDPI output has more pixels of.
static PlatRect target_rect(PlatWindow* w, const PlatRect* src, const PlatRect* dst, int out_w,
                            int out_h) {
  if (!dst) return plat_fit_frame(src->width, src->height, out_w, out_h);
  int win_w, win_h;
  SDL_GetWindowSize(sdl2_top_of(w)->sdl, &win_w, &win_h);
  PlatRect at = *dst;
  if (w->parent) {
    at.x += w->rect.x;
    at.y += w->rect.y;
  }
  double sx = win_w > 0 ? (double)out_w / win_w : 1.0, sy = win_h > 0 ? (double)out_h / win_h : 1.0;
  return {(int)(at.x * sx), (int)(at.y * sy), (int)(at.width * sx), (int)(at.height * sy)};
}

// Frames of a 16-bit back buffer are widened to 32 bits before scaling.
static const Surface* frame_of(PlatWindow* top, const Surface* frame, PlatRect* src) {
  if (surface_bytes_per_pixel(frame->format) == 4) return frame;
  Surface*& wide = top->frame32;
  if (!wide || wide->width != src->width || wide->height != src->height) {
    surface_free(wide);
    wide = surface_create(src->width, src->height, FMT_X8R8G8B8);
    if (!wide) return nullptr;
  }
  surface_copy(wide, 0, 0, frame, src->x, src->y, src->width, src->height);
  *src = {0, 0, src->width, src->height};
  return wide;
}

// Black around the picture at `to` in a 32-bit surface.
static void clear_around(Surface* s, PlatRect to) {
  int right = to.x + to.width, bottom = to.y + to.height;
  surface_fill(s, 0, 0, s->width, to.y, 0);
  surface_fill(s, 0, bottom, s->width, s->height - bottom, 0);
  surface_fill(s, 0, to.y, to.x, to.height, 0);
  surface_fill(s, right, to.y, s->width - right, to.height, 0);
}

static int present_surface(PlatWindow* top, PlatWindow* w, const Surface* frame,
                           const PlatRect* src, const PlatRect* dst) {
  SDL_Surface* shown = SDL_GetWindowSurface(top->sdl);
  if (!shown) return 0;
  PlatRect to = target_rect(w, src, dst, shown->w, shown->h);
  Uint32 f = shown->format->format;
  if (f == SDL_PIXELFORMAT_RGB888 || f == SDL_PIXELFORMAT_ARGB8888) {
    if (SDL_LockSurface(shown) != 0) return 0;
    Surface out = {(uint8_t*)shown->pixels, shown->w, shown->h, shown->pitch, FMT_X8R8G8B8, 0, 0};
    clear_around(&out, to);
    int drawn = plat_scale_frame(&out, &to, frame, src);
    SDL_UnlockSurface(shown);
    return drawn && SDL_UpdateWindowSurface(top->sdl) == 0;
  }
  // Any other desktop layout: scaled first, then converted by SDL.
  Surface* scaled = surface_create(to.width, to.height, FMT_X8R8G8B8);
  PlatRect whole = {0, 0, to.width, to.height};
  SDL_Surface* wrap =
      scaled ? SDL_CreateRGBSurfaceWithFormatFrom(scaled->pixels, to.width, to.height, 32,
                                                  scaled->pitch, SDL_PIXELFORMAT_RGB888)
             : nullptr;
  SDL_Rect at = {to.x, to.y, to.width, to.height};
  int ok = wrap && plat_scale_frame(scaled, &whole, frame, src) &&
           SDL_FillRect(shown, nullptr, SDL_MapRGB(shown->format, 0, 0, 0)) == 0 &&
           SDL_BlitSurface(wrap, nullptr, shown, &at) == 0 &&
           SDL_UpdateWindowSurface(top->sdl) == 0;
  SDL_FreeSurface(wrap);
  surface_free(scaled);
  return ok;
}

static int present_renderer(PlatWindow* top, PlatWindow* w, const Surface* frame,
                            const PlatRect* src, const PlatRect* dst) {
  int out_w, out_h;
  SDL_GetRendererOutputSize(top->renderer, &out_w, &out_h);
  PlatRect to = target_rect(w, src, dst, out_w, out_h);
  if (to.width < 1 || to.height < 1) return 0;
  // Whole multiples are left to the renderer's nearest-pixel stretch; any other
  // size is scaled here, to the same pixels the window surface would show.
  int whole = to.width % src->width == 0 && to.height % src->height == 0;
  PlatRect size =
      whole ? PlatRect{0, 0, src->width, src->height} : PlatRect{0, 0, to.width, to.height};
  if (!ensure_texture(top, size.width, size.height)) return 0;
  void* pixels;
  int pitch;
  if (SDL_LockTexture(top->texture, nullptr, &pixels, &pitch) != 0) return 0;
  Surface target = {(uint8_t*)pixels, size.width, size.height, pitch, FMT_X8R8G8B8, 0, 0};
  plat_scale_frame(&target, &size, frame, src);
  SDL_UnlockTexture(top->texture);

  SDL_Rect at = {to.x, to.y, to.width, to.height};
  SDL_SetRenderDrawColor(top->renderer, 0, 0, 0, 255);
  SDL_RenderClear(top->renderer);
  SDL_RenderCopy(top->renderer, top->texture, nullptr, &at);
  SDL_RenderPresent(top->renderer);
  return 1;
}

int plat_window_present(PlatWindow* w, const Surface* frame, const PlatRect* src,
                        const PlatRect* dst) {
  PlatWindow* top = sdl2_top_of(w);
  if (!top || !top->sdl || !frame || src->width < 1 || src->height < 1) return 0;
  if (!sdl2_present_path(top)) return 0;
  PlatRect from = *src;
  frame = frame_of(top, frame, &from);
  if (!frame) return 0;
  return top->path == PATH_SURFACE ? present_surface(top, w, frame, &from, dst)
                                   : present_renderer(top, w, frame, &from, dst);
}
