// The peer of the game's start: a trivial SDL program that opens a 640x480
// window and presents one frame. By default with a renderer chosen as SDL
// chooses it on a desktop (the accelerated one where there is one), a
// streaming texture filled and copied; with the argument "surface", through
// the window's own surface, as a program that draws every pixel itself can
// (kept in main memory: left to itself, SDL would back that surface with an
// accelerated renderer too).
#include <SDL.h>
#include <cstring>

static void fill(void* pixels, int pitch, int height, int row_bytes) {
  for (int y = 0; y < height; y++) std::memset((char*)pixels + (size_t)y * pitch, 0x40, row_bytes);
}

int main(int argc, char** argv) {
  const bool surface = argc > 1 && std::strcmp(argv[1], "surface") == 0;
  if (surface) SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  if (SDL_Init(SDL_INIT_VIDEO) != 0) return 1;
  SDL_Window* window = SDL_CreateWindow("peer", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, 640,
                                        480, SDL_WINDOW_SHOWN);
  if (!window) return 1;
  if (surface) {
    SDL_Surface* s = SDL_GetWindowSurface(window);
    if (!s || SDL_LockSurface(s) != 0) return 1;
    fill(s->pixels, s->pitch, s->h, s->w * s->format->BytesPerPixel);
    SDL_UnlockSurface(s);
    SDL_UpdateWindowSurface(window);
    SDL_Quit();
    return 0;
  }
  SDL_SetHint(SDL_HINT_RENDER_VSYNC, "0");
  SDL_Renderer* renderer = SDL_CreateRenderer(window, -1, 0);
  if (!renderer) renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE);
  SDL_Texture* texture = renderer ? SDL_CreateTexture(renderer, SDL_PIXELFORMAT_RGB888,
                                                      SDL_TEXTUREACCESS_STREAMING, 640, 480)
                                  : nullptr;
  void* pixels;
  int pitch;
  if (!texture || SDL_LockTexture(texture, nullptr, &pixels, &pitch) != 0) return 1;
  fill(pixels, pitch, 480, 640 * 4);
  SDL_UnlockTexture(texture);
  SDL_RenderClear(renderer);
  SDL_RenderCopy(renderer, texture, nullptr, nullptr);
  SDL_RenderPresent(renderer);
  SDL_Quit();
  return 0;
}
