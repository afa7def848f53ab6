// Writing and reading PNG files with libpng itself, so that the tests judge the
// game's files by a reader that is not the game's own.
#pragma once

#include <png.h>

#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

struct RgbPicture {
  int width = 0, height = 0;
  int colour_type = -1, bit_depth = 0; // as the file declares
  std::vector<uint32_t> pixels;        // 0xRRGGBB, top row first
  uint32_t at(int x, int y) const { return pixels[(size_t)y * width + x]; }
};

// Writes the picture into an open file: colour, or palette indexes into colours.
inline bool png_write_into(FILE* f, const RgbPicture& pic, int palette_depth,
                           const std::vector<uint32_t>& colours) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  std::vector<png_color> plte;
  std::vector<uint8_t> row;
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, f);
  png_set_IHDR(png, info, pic.width, pic.height, palette_depth ? palette_depth : 8,
               palette_depth ? PNG_COLOR_TYPE_PALETTE : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  for (uint32_t c : colours)
    plte.push_back(png_color{(png_byte)(c >> 16), (png_byte)(c >> 8), (png_byte)c});
  if (palette_depth) png_set_PLTE(png, info, plte.data(), (int)plte.size());
  png_write_info(png, info);
  for (int y = 0; y < pic.height; y++) {
    row.assign((size_t)pic.width * 3, 0);
    for (int x = 0; x < pic.width; x++) {
      uint32_t c = pic.at(x, y);
      if (palette_depth) {
        size_t i = 0;
        while (colours[i] != c) i++;
        int bit = x * palette_depth;
        row[bit / 8] |= (uint8_t)(i << (8 - palette_depth - bit % 8));
      } else {
        row[x * 3] = (uint8_t)(c >> 16), row[x * 3 + 1] = (uint8_t)(c >> 8);
        row[x * 3 + 2] = (uint8_t)c;
      }
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return true;
}

// Writes a colour PNG (palette_depth 0) or a palette PNG of that depth, whose
// palette is the picture's colours in order of first appearance.
inline bool png_write_file(const std::string& path, const RgbPicture& pic, int palette_depth) {
  std::vector<uint32_t> colours;
  for (uint32_t c : pic.pixels) {
    bool seen = false;
    for (uint32_t k : colours) seen |= k == c;
    if (!seen) colours.push_back(c);
  }
  if (palette_depth && colours.size() > (1u << palette_depth)) return false;
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = png_write_into(f, pic, palette_depth, colours);
  return fclose(f) == 0 && ok;
}

// Fills *out from an open PNG file; false on a libpng error.
inline bool png_read_into(FILE* f, RgbPicture* out, std::vector<uint8_t>* rows) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  std::vector<png_bytep> pointers;
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  png_init_io(png, f);
  png_read_info(png, info);
  out->colour_type = png_get_color_type(png, info);
  out->bit_depth = png_get_bit_depth(png, info);
  png_set_expand(png);
  png_set_strip_16(png);
  png_set_strip_alpha(png);
  png_set_gray_to_rgb(png);
  png_read_update_info(png, info);
  out->width = (int)png_get_image_width(png, info);
  out->height = (int)png_get_image_height(png, info);
  rows->resize((size_t)out->width * out->height * 3);
  for (int y = 0; y < out->height; y++)
    pointers.push_back(rows->data() + (size_t)y * out->width * 3);
  png_read_image(png, pointers.data());
  png_destroy_read_struct(&png, &info, nullptr);
  return true;
}

// Reads any PNG as stored colours (palette entries as they are, no gamma
// applied); an empty picture when the file is missing or damaged.
inline RgbPicture png_read_file(const std::string& path) {
  RgbPicture out;
  std::vector<uint8_t> rows;
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return out;
  bool ok = png_read_into(f, &out, &rows);
  fclose(f);
  if (!ok) return RgbPicture{};
  for (size_t i = 0; i < rows.size(); i += 3)
    out.pixels.push_back((uint32_t)(rows[i] << 16 | rows[i + 1] << 8 | rows[i + 2]));
  return out;
}
