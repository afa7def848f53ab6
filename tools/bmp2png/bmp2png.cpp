// Turns a BMP file (a screenshot taken with the game's Tab key) into a PNG
// through the runtime's own image module: bmp2png picture.bmp picture.png
#include "runtime/image/codecs.h"
#include "runtime/image/images.h"

#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: bmp2png picture.bmp picture.png\n");
    return 2;
  }
  codec_registry_init();
  image_init();
  bmp_decoder_register();
  png_encoder_register();
  int result = 0;
  int picture = image_load(-1, argv[1]);
  if (!picture) {
    std::fprintf(stderr, "bmp2png: cannot read %s as a picture\n", argv[1]);
    result = 1;
  } else if (!image_save(picture, argv[2], IMAGE_FORMAT_PNG)) {
    std::fprintf(stderr, "bmp2png: cannot write %s\n", argv[2]);
    result = 1;
  }
  image_shutdown();
  image_alpha_unload();
  return result;
}
