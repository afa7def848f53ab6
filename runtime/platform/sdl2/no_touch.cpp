// Desktops: the keyboard and pads alone; touch controls are the page's.
#include "runtime/platform/plat_pad.h"

int plat_touch_controls() { return 0; }
