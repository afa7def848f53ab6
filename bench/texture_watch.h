/* For shims preloaded into SDL programs: what the program draws into a
 * streaming texture, seen as it unlocks it. The shim that includes this
 * defines texture_unlocked(), which is handed the pixels of every whole
 * texture the program unlocks, before SDL takes them. */
#pragma once
#ifndef _GNU_SOURCE
#define _GNU_SOURCE /* RTLD_NEXT */
#endif
#include <SDL.h>
#include <dlfcn.h>
#include <stddef.h>
#include <stdint.h>
#include <string.h>

static void texture_unlocked(const uint8_t* pixels, int pitch, int w, int h);

static void* locked_pixels; /* what the last SDL_LockTexture of a whole texture handed out */
static int locked_pitch;

/* 1 when rows of w pixels of bytes each hold anything but black; the fourth
 * byte of a 4-byte pixel (alpha or unused) does not count. Two pixels a step:
 * the game's black opening frame is looked at whole, in the time the game is
 * measured by. */
static int anything_on(const uint8_t* pixels, int pitch, int w, int h, int bytes) {
  for (int y = 0; y < h; y++) {
    const uint8_t* row = pixels + (size_t)y * pitch;
    int x = 0;
    if (bytes == 4)
      for (; x + 8 <= w * 4; x += 8) {
        uint64_t two;
        memcpy(&two, row + x, 8);
        if (two & 0x00FFFFFF00FFFFFFull) return 1;
      }
    for (; x < w * bytes; x++)
      if ((bytes != 4 || x % 4 != 3) && row[x] != 0) return 1;
  }
  return 0;
}

int SDL_LockTexture(SDL_Texture* texture, const SDL_Rect* rect, void** pixels, int* pitch) {
  int (*real)(SDL_Texture*, const SDL_Rect*, void**, int*) = dlsym(RTLD_NEXT, "SDL_LockTexture");
  int result = real(texture, rect, pixels, pitch);
  locked_pixels = result == 0 && !rect ? *pixels : NULL;
  locked_pitch = result == 0 ? *pitch : 0;
  return result;
}

void SDL_UnlockTexture(SDL_Texture* texture) {
  void (*real)(SDL_Texture*) = dlsym(RTLD_NEXT, "SDL_UnlockTexture");
  int w = 0, h = 0;
  if (locked_pixels && SDL_QueryTexture(texture, NULL, NULL, &w, &h) == 0)
    texture_unlocked(locked_pixels, locked_pitch, w, h);
  locked_pixels = NULL;
  real(texture);
}
