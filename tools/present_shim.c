/* Preloaded (LD_PRELOAD) into the game by tools/present_figures.py. At the
 * first present of each window that shows anything but black, through SDL's
 * window surface or a renderer, writes one line to the file descriptor named by
 * QUILL_PRESENT_FD: "frame <monotonic ns> <CPU ns of the process> <peak resident
 * KiB> <1 when the window is a full screen>", for as many windows as
 * QUILL_PRESENT_REPORTS says (1 unless set); then it looks at no more frames,
 * so that it costs nothing while the game goes on running. */
#define _GNU_SOURCE
#include "bench/texture_watch.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#define MAX_WINDOWS 8
/* The windows whose first frame was reported, by SDL's id: a window made after
 * another is destroyed may get its address, never its id. */
static Uint32 reported[MAX_WINDOWS];
static int texture_shown; /* a texture with something on it was unlocked since the last present */
static int reports;       /* lines written */

static int looking(void) {
  const char* wanted = getenv("QUILL_PRESENT_REPORTS");
  return reports < (wanted ? atoi(wanted) : 1);
}

static uint64_t ns_of(struct timespec t) {
  return (uint64_t)t.tv_sec * 1000000000u + (uint64_t)t.tv_nsec;
}

static void report(SDL_Window* window) {
  int i;
  Uint32 id = SDL_GetWindowID(window);
  for (i = 0; i < MAX_WINDOWS && reported[i]; i++)
    if (reported[i] == id) return;
  if (i == MAX_WINDOWS) return;
  reported[i] = id;
  reports++;
  const char* fd = getenv("QUILL_PRESENT_FD");
  if (!fd) return;
  struct timespec now, cpu;
  clock_gettime(CLOCK_MONOTONIC, &now);
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu);
  struct rusage use;
  getrusage(RUSAGE_SELF, &use);
  int full = (SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN_DESKTOP) != 0;
  char line[128];
  int n = snprintf(line, sizeof line, "frame %llu %llu %ld %d\n", (unsigned long long)ns_of(now),
                   (unsigned long long)ns_of(cpu), use.ru_maxrss, full);
  if (write(atoi(fd), line, (size_t)n) != n) _exit(1);
}

static void texture_unlocked(const uint8_t* pixels, int pitch, int w, int h) {
  if (looking() && anything_on(pixels, pitch, w, h, 4)) texture_shown = 1;
}

void SDL_RenderPresent(SDL_Renderer* renderer) {
  void (*real)(SDL_Renderer*) = dlsym(RTLD_NEXT, "SDL_RenderPresent");
  real(renderer);
  if (texture_shown) report(SDL_RenderGetWindow(renderer));
  texture_shown = 0;
}

int SDL_UpdateWindowSurface(SDL_Window* window) {
  int (*real)(SDL_Window*) = dlsym(RTLD_NEXT, "SDL_UpdateWindowSurface");
  int result = real(window);
  SDL_Surface* s = SDL_GetWindowSurface(window);
  if (result == 0 && looking() && s && s->format->BytesPerPixel == 4 &&
      anything_on(s->pixels, s->pitch, s->w, s->h, 4))
    report(window);
  return result;
}
