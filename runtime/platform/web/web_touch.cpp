// The page's touch controls (web_page.js keeps them as pad controls: held,
// and tapped since the last read).
#include "runtime/platform/plat_pad.h"

#include <emscripten.h>

int plat_touch_controls() {
  return EM_ASM_INT({ return Module['touchRead'] ? Module['touchRead']() : 0; });
}
