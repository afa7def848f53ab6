// Windows: its sound systems print nothing when there is no device, so the
// backend's own order will do.
#include "runtime/platform/plat_sound_servers.h"

std::vector<std::string> plat_sound_systems() { return {}; }
void plat_sound_library_quiet(int) {}
void plat_sound_muted(int) {}
