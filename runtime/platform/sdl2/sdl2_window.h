// What the SDL2 backend's display files share (sdl2_display.cpp opens the
// display, sdl2_window.cpp keeps the windows, sdl2_present.cpp shows frames in
// them): the record behind a PlatWindow and the questions one asks of another.
#pragma once

#include "runtime/platform/plat_window.h"

#include <SDL.h>
#include <cstdint>

enum { PATH_UNKNOWN, PATH_SURFACE, PATH_RENDERER };

struct PlatWindow {
  SDL_Window* sdl;    // null for a child area
  PlatWindow* parent; // child areas: the window they sit in
  PlatRect rect;      // child areas: the rectangle in the parent's client area
  intptr_t tag;
  int path;               // PATH_*: how frames reach this window, chosen at the first present
  SDL_Renderer* renderer; // the renderer path only
  SDL_Texture* texture;   // streaming: the frame, or the frame already scaled to size
  int texture_width, texture_height;
  Surface* frame32; // a frame of a 16-bit back buffer, widened for scaling
};

inline PlatWindow* sdl2_top_of(PlatWindow* w) { return w && w->parent ? w->parent : w; }

// Opens SDL's video once more (each success needs an SDL_QuitSubSystem); 0 when
// no driver fit for a player opened (see plat_display_open).
int sdl2_video_open();
// 1 on SDL's drivers for tests and servers, which draw nowhere and give nobody the focus.
int sdl2_headless_driver();
// 1 when QUILL_PRESENT=renderer asked every window to present through a renderer.
int sdl2_renderer_first();

// The display our windows were last shown on: 0 until one was, or when that
// display has gone.
int sdl2_window_display();

// Chooses how frames reach a top-level window, at its first present or before a
// shown window first moves; 0 when it has neither a surface nor a renderer.
int sdl2_present_path(PlatWindow* top);
// Gives back what presenting made for the window (renderer, texture, wide frame).
void sdl2_present_release(PlatWindow* w);
