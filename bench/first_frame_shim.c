/* Preloaded (LD_PRELOAD) into a program to time its start: at the first
 * SDL_RenderPresent after a streaming texture was filled with anything but
 * black, writes the CLOCK_MONOTONIC time in nanoseconds (8 bytes) to the file
 * descriptor named by QUILL_FIRST_FRAME_FD and ends the process. A black frame
 * (the game clears its screen before it loads its art) does not count. With
 * QUILL_FIRST_FRAME_DUMP set, that frame's rows (4 bytes a pixel) are also
 * written to the file it names, to compare the first frames of two builds. */
#define _GNU_SOURCE
#include <SDL.h>
#include <dlfcn.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

static void* locked_pixels; /* what the last SDL_LockTexture handed out */
static int locked_pitch;
static int shown; /* a texture with something on it has been unlocked */

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
  if (locked_pixels && !shown && SDL_QueryTexture(texture, NULL, NULL, &w, &h) == 0)
    for (int y = 0; y < h && !shown; y++) {
      const uint8_t* row = (const uint8_t*)locked_pixels + (size_t)y * locked_pitch;
      for (int x = 0; x < w * 4 && !shown; x++) shown = (x % 4 != 3) && row[x] != 0;
    }
  const char* dump = getenv("QUILL_FIRST_FRAME_DUMP");
  FILE* f = shown && locked_pixels && dump ? fopen(dump, "wb") : NULL;
  if (f) {
    for (int y = 0; y < h; y++)
      fwrite((const uint8_t*)locked_pixels + (size_t)y * locked_pitch, 4, (size_t)w, f);
    fclose(f);
  }
  locked_pixels = NULL;
  real(texture);
}

void SDL_RenderPresent(SDL_Renderer* renderer) {
  void (*real)(SDL_Renderer*) = dlsym(RTLD_NEXT, "SDL_RenderPresent");
  real(renderer);
  const char* fd = getenv("QUILL_FIRST_FRAME_FD");
  if (!shown || !fd) return;
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  uint64_t ns = (uint64_t)now.tv_sec * 1000000000u + (uint64_t)now.tv_nsec;
  ssize_t written = write(atoi(fd), &ns, sizeof ns);
  _exit(written == (ssize_t)sizeof ns ? 0 : 1);
}
