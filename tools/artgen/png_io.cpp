// PNG writing and reading for the art generator, straight on libpng.
#include "tools/artgen/picture.h"

#include <png.h>

#include <algorithm>
#include <csetjmp>

// Colours in order of first appearance, so a palette is stable while a map is edited.
static std::vector<uint32_t> colours_of(const Picture& pic) {
  std::vector<uint32_t> out;
  for (uint32_t c : pic.pixels)
    if (std::find(out.begin(), out.end(), c) == out.end()) {
      out.push_back(c);
      if (out.size() > 256) break;
    }
  return out;
}

int png_palette_depth(const Picture& pic) {
  if (pic.kind == PNG_RGB) return 0;
  size_t n = colours_of(pic).size();
  int depth = pic.min_depth;
  while (depth < 8 && n > (1u << depth)) depth *= 2;
  return n > 256 ? -1 : depth;
}

static void append_bytes(png_structp png, png_bytep data, png_size_t length) {
  auto* out = (std::vector<uint8_t>*)png_get_io_ptr(png);
  out->insert(out->end(), data, data + length);
}

// Writes the packed rows; depth 0 means colour rows. libpng's errors jump back
// to the setjmp here, so this function holds only plain values.
static int png_write_guarded(png_structp png, png_infop info, int width, int height, int depth,
                             const png_color* plte, int colours, const uint8_t* rows,
                             size_t row_size) {
  if (setjmp(png_jmpbuf(png))) return 0;
  png_set_compression_level(png, 9);
  png_set_IHDR(png, info, width, height, depth > 0 ? depth : 8,
               depth > 0 ? PNG_COLOR_TYPE_PALETTE : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (depth > 0) png_set_PLTE(png, info, plte, colours);
  png_write_info(png, info);
  for (int y = 0; y < height; y++) png_write_row(png, rows + y * row_size);
  png_write_end(png, nullptr);
  return 1;
}

std::vector<uint8_t> png_encode(const Picture& pic) {
  std::vector<uint8_t> out;
  int depth = png_palette_depth(pic);
  if (depth < 0 || pic.width <= 0 || pic.height <= 0) return out;
  std::vector<uint32_t> colours = colours_of(pic);
  std::vector<png_color> plte;
  for (uint32_t c : colours)
    plte.push_back(png_color{(png_byte)(c >> 16), (png_byte)(c >> 8), (png_byte)c});
  size_t row_size = depth > 0 ? (size_t)(pic.width * depth + 7) / 8 : (size_t)pic.width * 3;
  std::vector<uint8_t> rows(row_size * pic.height, 0);
  for (int y = 0; y < pic.height; y++) {
    uint8_t* row = &rows[y * row_size];
    for (int x = 0; x < pic.width; x++) {
      uint32_t c = pic.at(x, y);
      if (depth > 0) {
        int index = (int)(std::find(colours.begin(), colours.end(), c) - colours.begin());
        int bit = x * depth; // most significant bits hold the first pixel
        row[bit / 8] |= (uint8_t)(index << (8 - depth - bit % 8));
      } else {
        row[x * 3] = (uint8_t)(c >> 16);
        row[x * 3 + 1] = (uint8_t)(c >> 8);
        row[x * 3 + 2] = (uint8_t)c;
      }
    }
  }
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (info) png_set_write_fn(png, &out, append_bytes, nullptr);
  if (!info || !png_write_guarded(png, info, pic.width, pic.height, depth, plte.data(),
                                  (int)plte.size(), rows.data(), row_size))
    out.clear();
  png_destroy_write_struct(&png, &info);
  return out;
}

int png_load(const std::string& path, Picture& out) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return 0;
  image.format = PNG_FORMAT_RGB;
  std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) {
    png_image_free(&image);
    return 0;
  }
  out = picture_make(out.name, (int)image.width, (int)image.height, 0);
  for (size_t i = 0; i < out.pixels.size(); i++)
    out.pixels[i] = (uint32_t)(rgb[i * 3] << 16 | rgb[i * 3 + 1] << 8 | rgb[i * 3 + 2]);
  return 1;
}
