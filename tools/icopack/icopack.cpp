// icopack: a Windows icon file from opaque PNG pictures. The 256-pixel one is
// kept whole as PNG, as Windows reads it from Vista on; the smaller ones, which
// every program that shows icons reads, are 32-bit bitmaps (Wine shows PNG
// icons with red and blue swapped). Usage: icopack OUT.ico IN.png...
#include "tools/artgen/picture.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

static uint32_t big_endian(const std::vector<uint8_t>& b, size_t at) {
  return (uint32_t)b[at] << 24 | b[at + 1] << 16 | b[at + 2] << 8 | b[at + 3];
}

static void put16(std::vector<uint8_t>& out, unsigned v) {
  out.push_back((uint8_t)v);
  out.push_back((uint8_t)(v >> 8));
}

static void put32(std::vector<uint8_t>& out, uint32_t v) {
  put16(out, v & 0xFFFF);
  put16(out, v >> 16);
}

// The icon image of a picture: its header, its colour rows bottom row first
// (blue, green, red, alpha), and its mask of transparent pixels (none).
static std::vector<uint8_t> bitmap_of(const Picture& pic) {
  std::vector<uint8_t> out;
  const uint32_t mask_row = (uint32_t)((pic.width + 31) / 32 * 4);
  put32(out, 40);
  put32(out, (uint32_t)pic.width);
  put32(out, (uint32_t)pic.height * 2); // colour and mask
  put16(out, 1);
  put16(out, 32);
  put32(out, 0);
  put32(out, (uint32_t)(pic.width * pic.height * 4) + mask_row * (uint32_t)pic.height);
  for (int i = 0; i < 4; i++) put32(out, 0);
  for (int y = pic.height - 1; y >= 0; y--)
    for (int x = 0; x < pic.width; x++) put32(out, 0xFF000000u | pic.at(x, y));
  out.resize(out.size() + mask_row * (size_t)pic.height, 0);
  return out;
}

int main(int argc, char** argv) {
  if (argc < 3) {
    fprintf(stderr, "usage: icopack OUT.ico IN.png...\n");
    return 2;
  }
  std::vector<std::vector<uint8_t>> pictures;
  std::vector<uint32_t> sizes;
  for (int i = 2; i < argc; i++) {
    std::ifstream in(argv[i], std::ios::binary);
    std::vector<uint8_t> b((std::istreambuf_iterator<char>(in)), {});
    // The signature, then the header chunk with the width and height.
    static const uint8_t sig[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    if (b.size() < 24 || !std::equal(sig, sig + 8, b.begin()) || big_endian(b, 16) > 256 ||
        big_endian(b, 16) != big_endian(b, 20) || big_endian(b, 16) == 0) {
      fprintf(stderr, "icopack: %s is not a square PNG of at most 256 pixels\n", argv[i]);
      return 1;
    }
    sizes.push_back(big_endian(b, 16));
    Picture pic;
    if (sizes.back() < 256 && !png_load(argv[i], pic)) {
      fprintf(stderr, "icopack: cannot read %s\n", argv[i]);
      return 1;
    }
    pictures.push_back(sizes.back() < 256 ? bitmap_of(pic) : std::move(b));
  }
  std::vector<uint8_t> out;
  put16(out, 0);
  put16(out, 1); // an icon
  put16(out, (unsigned)pictures.size());
  uint32_t offset = 6 + 16 * (uint32_t)pictures.size();
  for (size_t i = 0; i < pictures.size(); i++) {
    out.push_back((uint8_t)(sizes[i] & 0xFF)); // 256 is written as 0
    out.push_back((uint8_t)(sizes[i] & 0xFF));
    out.push_back(0); // no palette
    out.push_back(0);
    put16(out, 1);  // planes
    put16(out, 32); // bits per pixel
    put32(out, (uint32_t)pictures[i].size());
    put32(out, offset);
    offset += (uint32_t)pictures[i].size();
  }
  for (const auto& p : pictures) out.insert(out.end(), p.begin(), p.end());
  std::ofstream o(argv[1], std::ios::binary);
  o.write((const char*)out.data(), (std::streamsize)out.size());
  if (!o) {
    fprintf(stderr, "icopack: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
