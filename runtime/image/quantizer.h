// Colour quantizer: reduces 24- or 32-bit pixels to a palette of 2 to the power
// of an output depth (1 to 8) and maps every pixel to a palette index. The palette
// is learned by a self-organising map over blue, green, red and alpha, with
// gamma 1.8 on the colour channels.
#pragma once

#include <cstdint>

enum { QUANT_DITHER = 0x100 }; // option: Floyd-Steinberg error diffusion

struct Quantizer;

// Learns a palette from width x height pixels of 24 or 32 bits, rows row_size
// bytes apart (the rows are only read); null for bad arguments or no memory.
// The pixels must stay valid until quantizer_free.
Quantizer* quantizer_create(const void* pixels, int width, int height, int depth, int row_size,
                            int out_depth, int options);
// The number of palette entries, 2 to the power of the output depth.
int quantizer_colours(const Quantizer* q);
// The palette: quantizer_colours entries of blue, green, red, alpha.
const uint8_t* quantizer_palette(const Quantizer* q);
// Row y (as given) as palette indexes packed at the output depth, first pixel in
// the most significant bits; valid until the next call; null for a row outside.
const uint8_t* quantizer_row(Quantizer* q, int y);
// Releases the quantizer; null is ignored.
void quantizer_free(Quantizer* q);
