// The browser: one sound system, the page's, which prints nothing when there
// is no device, so the backend's own order will do. The page keeps the
// player's silence for the next visit.
#include "runtime/platform/plat_sound_servers.h"

#include <emscripten.h>

std::vector<std::string> plat_sound_systems() { return {}; }
void plat_sound_library_quiet(int) {}

void plat_sound_muted(int muted) {
  EM_ASM(
      {
        if (Module['onMuted']) Module['onMuted']($0);
      },
      muted);
}
