#include "runtime/image/drawing_images.h"

#include "runtime/image/drawing.h"

// Image objects are not part of the runtime yet: there is nothing to draw or grab.
int draw_op_image(DrawContext*, int, int, int) { return 0; }
int draw_op_image_sized(DrawContext*, int, int, int, int, int) { return 0; }
int draw_op_alpha_image(DrawContext*, int, int, int, int) { return 0; }
int draw_op_grab_image(DrawContext*, int, int, int, int, int) { return 0; }
