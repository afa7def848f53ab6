#include "runtime/platform/plat_key_routes.h"

#include <cstring>

struct KeyRouteState {
  uint8_t routed[256];                    // 1: the bit is set by sources, not by its own key
  uint8_t sources[256][PLAT_KEY_SOURCES]; // keys that set a routed bit, 0 after the last
};
static KeyRouteState routes;

int plat_key_route(int code, const int* keys, int count) {
  if (code < 1 || code > 255 || count < 0 || count > PLAT_KEY_SOURCES) return 0;
  for (int i = 0; i < count; i++)
    if (keys[i] < 1 || keys[i] > 255) return 0;
  std::memset(routes.sources[code], 0, PLAT_KEY_SOURCES);
  for (int i = 0; i < count; i++) routes.sources[code][i] = (uint8_t)keys[i];
  routes.routed[code] = 1;
  return 1;
}

int plat_key_source(int code, int index) {
  if (code < 1 || code > 255 || index < 0 || index >= PLAT_KEY_SOURCES) return 0;
  if (!routes.routed[code]) return index == 0 ? code : 0;
  return routes.sources[code][index];
}

void plat_key_routes_reset() { std::memset(&routes, 0, sizeof routes); }

void plat_keys_routed(const uint8_t physical[256], uint8_t snapshot[256]) {
  for (int code = 0; code < 256; code++) {
    if (!routes.routed[code]) {
      snapshot[code] = physical[code] & 0x80;
      continue;
    }
    uint8_t down = 0;
    for (uint8_t key : routes.sources[code])
      if (key) down |= physical[key] & 0x80;
    snapshot[code] = down;
  }
}
