// The art generator's pictures: quarter-size RGB pixel maps with a key colour,
// read from text pixel maps or drawn by code, written as palette or colour PNGs.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// Pixels are 0xRRGGBB; this one is transparent in the game.
constexpr uint32_t KEY = 0xFF00FF;

enum PngKind {
  PNG_PALETTE, // colour type 3 at the smallest depth (1, 2, 4 or 8) that holds the colours
  PNG_RGB,     // colour type 2, 8 bits a sample
};

struct Picture {
  std::string name; // file name without folder and ".png"
  int width = 0, height = 0;
  std::vector<uint32_t> pixels; // top row first
  PngKind kind = PNG_PALETTE;
  int min_depth = 1; // palette depth at least this (a map may ask for 8)

  uint32_t at(int x, int y) const { return pixels[(size_t)y * width + x]; }
  void set(int x, int y, uint32_t c) {
    if (x >= 0 && y >= 0 && x < width && y < height) pixels[(size_t)y * width + x] = c;
  }
};

Picture picture_make(const std::string& name, int width, int height, uint32_t fill);

// Character to colour, as read from a palette file ("<char> <r> <g> <b>" lines).
typedef std::map<char, uint32_t> Palette;

// Reads a palette file into pal; 0 on a missing file or a bad line (message in error).
int pixmap_read_palette(const std::string& path, Palette& pal, std::string& error);
// Reads every picture of a pixel map file and appends them to out; 0 on any
// fault (unknown character, ragged rows, frames of different sizes, ...).
int pixmap_read_file(const std::string& path, const Palette& pal, std::vector<Picture>& out,
                     std::string& error);

// Encodes a picture as PNG bytes (deterministic); empty on failure.
std::vector<uint8_t> png_encode(const Picture& pic);
// Reads any PNG into an RGB picture; 0 on failure.
int png_load(const std::string& path, Picture& out);
// The palette depth png_encode uses for a picture (0 for a colour picture).
int png_palette_depth(const Picture& pic);

// The landscape: 1600 by 120, the walking line at row 95.
Picture landscape_draw(const Palette& pal);
// The shaft of sunlight that stands in front of the sunlit stretch.
Picture sunlight_draw(const Palette& pal);

// Composes the world as the game shows it (landscape and every object at 4x)
// from the PNGs in see_dir, writing views into out_dir; 0 on failure.
int preview_write(const std::string& see_dir, const std::string& out_dir, std::string& error);
