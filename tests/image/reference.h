// An independent decoder (stb_image) and helpers shared by the image tests.
#pragma once

#include "runtime/image/codecs.h"

#include <cstdint>
#include <string>
#include <vector>

// A picture as the reference decoder gives it: top row first, R, G, B, A.
struct RefImage {
  int width = 0, height = 0;
  std::vector<uint8_t> rgba;
  const uint8_t* at(int x, int y) const { return &rgba[((size_t)y * width + x) * 4]; }
};
// 0 when the reference decoder refuses the file.
int reference_load(const std::string& path, RefImage* out);
int reference_load_memory(const std::vector<uint8_t>& bytes, RefImage* out);

// Rows as decode_rows wrote them.
struct Decoded {
  DecodeInfo info{};
  int row_size = 0;
  int bottom_up = 0;
  std::vector<uint8_t> rows;
  // Blue, green, red (, alpha) of the pixel at x, y counted from the top.
  const uint8_t* at(int x, int y) const {
    int row = bottom_up ? info.height - 1 - y : y;
    return &rows[(size_t)row * row_size + (size_t)x * (info.depth / 8)];
  }
};
// Opens and decodes a file (or, with from_memory, its bytes); 0 when refused at either step.
int decode_path(const std::string& path, int flags, Decoded* out, int from_memory = 0);

// The folder of the conformance corpora, and the files of one of its folders, sorted.
std::string corpus(const std::string& name);
std::vector<std::string> corpus_files(const std::string& folder, const std::string& extension);
