// The screen: a back buffer on the graphics device, in a child area of an
// application window or as a full screen on the hidden base window, with clear,
// flip and activity. Closing it frees every sprite.
#pragma once

#include "runtime/platform/plat_window.h"
#include "runtime/platform/softgfx/softgfx.h"

// Back-buffer pixel formats as the drawing operations number them.
enum ScreenPixelFormat { PIXEL_X1R5G5B5 = 2, PIXEL_R5G6B5 = 4, PIXEL_X8R8G8B8 = 0x40 };

// Creates the sprite table, the hidden base window and the device's system
// object; 0 when any of them fails, there is no display mode, or it already ran.
int display_init();
// 1 when display_init failed because the display offers no keyboard, so that
// nothing could be played on it.
int display_lacks_keyboard();
// Closes the screen and releases the system object, the sprite table and the
// base window; the module is then as at start.
void display_shutdown();

// Opens a width x height full screen of depth 16 or 32 bits on the base window,
// titled; refresh_rate -1 is the display's default. 0 on failure, every sprite freed.
int screen_open_full(int width, int height, int depth, const char* title, int wait_vblank = 1,
                     int refresh_rate = -1);
// Opens a width x height screen in a child area at x, y of window (closing any
// open screen first); 0 on failure, every sprite freed.
int screen_open_windowed(PlatWindow* window, int x, int y, int width, int height, int auto_stretch,
                         int right_margin, int bottom_margin, int wait_vblank = 1);
// How a flip shows the back buffer in an area of another size.
enum ScreenFit {
  SCREEN_FIT_STRETCH =
      -1, // a window's child area filled; a full screen by the largest whole factor
  SCREEN_FIT_WHOLE = PLAT_FIT_WHOLE, // the largest whole factor that fits, centred on black
  SCREEN_FIT_SHARP = PLAT_FIT_SHARP, // the largest size that fits with the aspect kept
  SCREEN_FIT_AUTO = PLAT_FIT_AUTO,   // whole where a factor of 2 or more fits, else sharp
};
// Sets the fit of every flip from now on (SCREEN_FIT_STRETCH until set).
void screen_set_fit(int fit);
// Frees every sprite and closes the screen; nothing happens when none is open.
void screen_close();
// Fills the back buffer with a colour 0x00BBGGRR; nothing happens without a device.
void screen_clear(int colour);
// Blends a colour 0x00BBGGRR over the whole back buffer, percent (0-100) of it
// to the rest; nothing happens without a device.
void screen_tint(int colour, int percent);
// Shows the back buffer (a full screen first handles the pending window events);
// 1 when the frame was handled, shown or skipped while inactive; 0 when the
// device is lost or unusable, or no screen is open.
int screen_flip();
// 1 while the screen may be shown to: a window screen while its window has the
// focus, a full screen while the base window is active; 0 with no screen.
int screen_is_active();

struct DrawContext;
// A drawing output on the back buffer (its device context now, its pixels on
// demand) that is current at once; null when no screen is open or the back
// buffer is already lent out.
DrawContext* screen_output();
// Ends the drawing pass on the back buffer, if one is open: closing the screen
// or resetting the device frees the buffer it draws on.
void screen_output_end();

// For the sprites and the drawing output.
// Opens the frame's scene once; 1 while one is open.
int scene_begin();
// Closes the scene, if one is open.
void scene_end();
// Sends the four values to the device, each only when it changed.
void blend_state(int alpha_blend, int source_blend, int destination_blend, int vertex_format);
// The device, the back buffer and their figures; null or 0 while no screen is open.
GfxDevice* screen_device();
Surface* screen_back_buffer();
int screen_width();
int screen_height();
int screen_buffer_width();
int screen_buffer_height();
int screen_depth_bits();
int screen_pixel_format();

// For the window library.
// The window that owns the open screen (application or base window), or null.
PlatWindow* screen_top_window();
// Lets the screen repaint after a window-system event of an application window.
void screen_window_event(PlatWindow* w, int kind);
// The base window was activated (1) or deactivated (0); a full screen follows it.
void screen_base_activated(int active);
// The window w is about to be destroyed: a screen inside it closes first.
void screen_forget_window(PlatWindow* w);
