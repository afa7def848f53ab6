/* Preloaded (LD_PRELOAD) into a program to time its start. At the first frame
 * it presents that is not all black (the game clears its screen before it
 * loads its art; that frame does not count), whichever way it presents it (a
 * streaming texture and SDL_RenderPresent, or the window's own surface and
 * SDL_UpdateWindowSurface), writes three numbers of 8 bytes each to the file
 * descriptor named by QUILL_FIRST_FRAME_FD: the CLOCK_MONOTONIC time and the
 * process's CPU time (all threads), both in nanoseconds, and its peak resident
 * memory so far in kilobytes. Then it ends the process, unless
 * QUILL_FIRST_FRAME_KEEP is set: then every later present writes its
 * CLOCK_MONOTONIC time (8 bytes), to count the frames of the play. With
 * QUILL_FIRST_FRAME_DUMP set, that frame's rows are also written to the file
 * it names, to compare the first frames of two builds. */
#define _GNU_SOURCE
#include "bench/texture_watch.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

static int shown;    /* a frame with something on it is on its way */
static int reported; /* the first frame was reported */

static void dump(const uint8_t* pixels, int pitch, int w, int h, int bytes) {
  const char* name = getenv("QUILL_FIRST_FRAME_DUMP");
  FILE* f = name ? fopen(name, "wb") : NULL;
  if (!f) return;
  for (int y = 0; y < h; y++) fwrite(pixels + (size_t)y * pitch, (size_t)bytes, (size_t)w, f);
  fclose(f);
}

static uint64_t clock_ns(clockid_t clock) {
  struct timespec t;
  clock_gettime(clock, &t);
  return (uint64_t)t.tv_sec * 1000000000u + (uint64_t)t.tv_nsec;
}

static uint64_t peak_rss_kb(void) {
  FILE* f = fopen("/proc/self/status", "r");
  char line[256];
  uint64_t kb = 0;
  while (f && fgets(line, sizeof line, f))
    if (strncmp(line, "VmHWM:", 6) == 0) kb = strtoull(line + 6, NULL, 10);
  if (f) fclose(f);
  return kb;
}

/* After a present: reports the first frame with something on it; when kept
 * running, the time of every present after it. */
static void presented(void) {
  const char* fd = getenv("QUILL_FIRST_FRAME_FD");
  if (!shown || !fd) return;
  if (reported) {
    uint64_t now = clock_ns(CLOCK_MONOTONIC);
    if (write(atoi(fd), &now, sizeof now) != (ssize_t)sizeof now) unsetenv("QUILL_FIRST_FRAME_FD");
    return;
  }
  reported = 1;
  uint64_t record[3] = {clock_ns(CLOCK_MONOTONIC), clock_ns(CLOCK_PROCESS_CPUTIME_ID),
                        peak_rss_kb()};
  ssize_t written = write(atoi(fd), record, sizeof record);
  if (!getenv("QUILL_FIRST_FRAME_KEEP")) _exit(written == (ssize_t)sizeof record ? 0 : 1);
}

static void texture_unlocked(const uint8_t* pixels, int pitch, int w, int h) {
  if (!shown && anything_on(pixels, pitch, w, h, 4)) {
    shown = 1;
    dump(pixels, pitch, w, h, 4);
  }
}

void SDL_RenderPresent(SDL_Renderer* renderer) {
  void (*real)(SDL_Renderer*) = dlsym(RTLD_NEXT, "SDL_RenderPresent");
  real(renderer);
  presented();
}

/* A window's own surface is looked at as it is handed to the screen. */
static void window_surface_shown(SDL_Window* window) {
  SDL_Surface* s = shown ? NULL : SDL_GetWindowSurface(window);
  if (!s || SDL_LockSurface(s) != 0) return;
  int bytes = s->format->BytesPerPixel;
  if (anything_on(s->pixels, s->pitch, s->w, s->h, bytes)) {
    shown = 1;
    dump(s->pixels, s->pitch, s->w, s->h, bytes);
  }
  SDL_UnlockSurface(s);
}

int SDL_UpdateWindowSurface(SDL_Window* window) {
  int (*real)(SDL_Window*) = dlsym(RTLD_NEXT, "SDL_UpdateWindowSurface");
  window_surface_shown(window);
  int result = real(window);
  presented();
  return result;
}

int SDL_UpdateWindowSurfaceRects(SDL_Window* window, const SDL_Rect* rects, int count) {
  int (*real)(SDL_Window*, const SDL_Rect*, int) = dlsym(RTLD_NEXT, "SDL_UpdateWindowSurfaceRects");
  window_surface_shown(window);
  int result = real(window, rects, count);
  presented();
  return result;
}
