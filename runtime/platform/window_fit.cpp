#include "runtime/platform/plat_window.h"

PlatRect plat_fit_frame(int src_w, int src_h, int dst_w, int dst_h) {
  if (src_w < 1 || src_h < 1 || dst_w < 1 || dst_h < 1) return {0, 0, dst_w, dst_h};
  int scale_x = dst_w / src_w, scale_y = dst_h / src_h;
  int scale = scale_x < scale_y ? scale_x : scale_y;
  int w, h;
  if (scale >= 1) {
    // Whole factors keep every source pixel the same size on the screen.
    w = src_w * scale;
    h = src_h * scale;
  } else if ((long long)dst_w * src_h <= (long long)dst_h * src_w) {
    w = dst_w;
    h = (int)((long long)src_h * dst_w / src_w);
  } else {
    w = (int)((long long)src_w * dst_h / src_h);
    h = dst_h;
  }
  return {(dst_w - w) / 2, (dst_h - h) / 2, w, h};
}
