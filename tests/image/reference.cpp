#include "tests/image/reference.h"

#include "tests/support/test_files.h"

#include <algorithm>
#include <filesystem>

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_ONLY_BMP
#include <stb/stb_image.h>

static int take(stbi_uc* pixels, int w, int h, RefImage* out) {
  if (!pixels) return 0;
  out->width = w;
  out->height = h;
  out->rgba.assign(pixels, pixels + (size_t)w * h * 4);
  stbi_image_free(pixels);
  return 1;
}

int reference_load(const std::string& path, RefImage* out) {
  int w, h, n;
  stbi_uc* pixels = stbi_load(path.c_str(), &w, &h, &n, 4);
  return take(pixels, w, h, out);
}

int reference_load_memory(const std::vector<uint8_t>& bytes, RefImage* out) {
  int w, h, n;
  stbi_uc* pixels = stbi_load_from_memory(bytes.data(), (int)bytes.size(), &w, &h, &n, 4);
  return take(pixels, w, h, out);
}

int decode_path(const std::string& path, int flags, Decoded* out, int from_memory) {
  std::vector<uint8_t> bytes;
  int opened;
  if (from_memory) {
    bytes = read_file(path);
    opened = decode_open_memory(bytes.data(), bytes.size(), &out->info);
  } else {
    opened = decode_open_file(path.c_str(), &out->info);
  }
  if (!opened) return 0;
  out->row_size = (int)((out->info.width * (out->info.depth / 8) + 3) & ~3);
  out->bottom_up = (flags & ROWS_BOTTOM_UP) != 0;
  out->rows.assign((size_t)out->row_size * out->info.height, 0xCD);
  return decode_rows(out->rows.data(), out->row_size, flags);
}

std::string corpus(const std::string& name) { return std::string(QUILL_CORPORA) + "/" + name; }

std::vector<std::string> corpus_files(const std::string& folder, const std::string& extension) {
  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(corpus(folder)))
    if (entry.path().extension() == extension) files.push_back(entry.path().string());
  std::sort(files.begin(), files.end());
  return files;
}
