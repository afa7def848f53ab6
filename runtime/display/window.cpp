#include "runtime/display/window.h"

#include "runtime/platform/plat_core.h"

int message_box(const char* title, const char* text, int style) {
  return plat_message_box(title, text, style);
}
