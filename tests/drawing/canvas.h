// Memory surfaces for the drawing tests, and pictures of them as text.
#pragma once

#include "runtime/platform/softgfx/surface.h"

#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

struct Canvas {
  std::vector<uint8_t> bytes;
  Surface s;
  Canvas(int w, int h, int format = FMT_X8R8G8B8, int pad = 0) {
    int pitch = w * surface_bytes_per_pixel(format) + pad;
    bytes.assign((size_t)pitch * h, 0);
    s = {bytes.data(), w, h, pitch, format, 0, 0};
  }
  uint32_t raw(int x, int y) const {
    uint32_t v = 0;
    std::memcpy(&v,
                bytes.data() + (size_t)y * s.pitch + (size_t)x * surface_bytes_per_pixel(s.format),
                (size_t)surface_bytes_per_pixel(s.format));
    return v;
  }
  // 0x00BBGGRR of a 32-bit pixel.
  uint32_t colour(int x, int y) const {
    uint32_t v = raw(x, y);
    return (v >> 16 & 0xFF) | (v & 0xFF00) | (v & 0xFF) << 16;
  }
  void fill(uint32_t raw_value) {
    for (int y = 0; y < s.height; y++)
      for (int x = 0; x < s.width; x++)
        std::memcpy(bytes.data() + (size_t)y * s.pitch +
                        (size_t)x * surface_bytes_per_pixel(s.format),
                    &raw_value, (size_t)surface_bytes_per_pixel(s.format));
  }
  int count(uint32_t colour_value) const {
    int n = 0;
    for (int y = 0; y < s.height; y++)
      for (int x = 0; x < s.width; x++) n += colour(x, y) == colour_value;
    return n;
  }
  // One character per pixel: names maps colours to letters, '.' for 0, '?' for others.
  std::string picture(const std::map<uint32_t, char>& names = {}) const {
    std::string out;
    for (int y = 0; y < s.height; y++) {
      for (int x = 0; x < s.width; x++) {
        uint32_t c = colour(x, y);
        auto it = names.find(c);
        out += it != names.end() ? it->second : c == 0 ? '.' : (names.empty() ? '#' : '?');
      }
      out += '\n';
    }
    return out;
  }
};

// Joins rows into the form Canvas::picture gives.
inline std::string rows(std::initializer_list<const char*> lines) {
  std::string out;
  for (const char* l : lines) out += std::string(l) + "\n";
  return out;
}
