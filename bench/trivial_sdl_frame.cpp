// The peer of the game's start: a trivial SDL program that opens a 640x480
// window with a renderer chosen as the game chooses it, fills a streaming
// texture and presents it once.
#include <SDL.h>
#include <cstring>

int main(int, char**) {
  if (SDL_Init(SDL_INIT_VIDEO) != 0) return 1;
  SDL_Window* window = SDL_CreateWindow("peer", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, 640,
                                        480, SDL_WINDOW_SHOWN);
  SDL_SetHint(SDL_HINT_RENDER_VSYNC, "0");
  SDL_Renderer* renderer = window ? SDL_CreateRenderer(window, -1, 0) : nullptr;
  if (!renderer && window) renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE);
  SDL_Texture* texture = renderer ? SDL_CreateTexture(renderer, SDL_PIXELFORMAT_RGB888,
                                                      SDL_TEXTUREACCESS_STREAMING, 640, 480)
                                  : nullptr;
  void* pixels;
  int pitch;
  if (!texture || SDL_LockTexture(texture, nullptr, &pixels, &pitch) != 0) return 1;
  for (int y = 0; y < 480; y++) std::memset((char*)pixels + (size_t)y * pitch, 0x40, 640 * 4);
  SDL_UnlockTexture(texture);
  SDL_RenderClear(renderer);
  SDL_RenderCopy(renderer, texture, nullptr, nullptr);
  SDL_RenderPresent(renderer);
  SDL_Quit();
  return 0;
}
