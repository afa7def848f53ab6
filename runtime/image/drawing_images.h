// What the drawing module's image operations share with it.
#pragma once

struct DrawContext;

// Takes the output's device context back after a pixel lock; 0 when it cannot.
int draw_dc_on_demand(DrawContext* c);

// Draws an image at its size; 0 when there is nothing to draw.
int draw_op_image(DrawContext* c, int image, int x, int y);
// Draws an image stretched to w by h when both are nonzero, else at its size.
int draw_op_image_sized(DrawContext* c, int image, int x, int y, int w, int h);
// Blends an image with a constant alpha and, for alpha images, its own.
int draw_op_alpha_image(DrawContext* c, int image, int x, int y, int alpha);
// Copies a rectangle of the output into a new image; as grab_image.
int draw_op_grab_image(DrawContext* c, int number, int x, int y, int w, int h);
