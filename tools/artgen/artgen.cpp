// artgen: makes the game's pictures from the pixel maps and the landscape code.
//   artgen build <artgen folder> <see folder>    writes every picture the game loads
//   artgen preview <see folder> <out folder>     writes views of the world at 4x
//   artgen icons <artgen folder> <out folder>    writes the icons and the web page's still
//   artgen installer <artgen folder> <out.bmp>   writes the installer's picture
#include "tools/artgen/picture.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

// Every picture the game loads by name: the frame table (empty cells have no
// file), the singles and the landscape.
static const char* const NAMES[] = {
    "sir0",  "sir1",  "sir2",  "sir3",  "rox0",  "rox1",  "rox2",  "rox3",  "tree0", "tree1",
    "tree2", "tree3", "tree4", "tree5", "tree6", "brid0", "brid1", "brid2", "brid3", "sher0",
    "sher1", "pit0",  "pit1",  "pit2",  "pit3",  "fg0",   "fg1",   "fg2",   "fg3",   "frz0",
    "frz1",  "frz2",  "mam0",  "mam1",  "gal0",  "gal1",  "gal2",  "gal3",  "mam2",  "mam3",
    "lite",  "bsh",   "twigs", "mag",   "feet",  "urth"};

static std::vector<uint8_t> read_all(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// Writes a picture unless the file already holds exactly these bytes. A changed
// picture drops the game's scaled copy, which the game would otherwise keep.
static int write_picture(const Picture& pic, const fs::path& dir) {
  std::vector<uint8_t> bytes = png_encode(pic);
  if (bytes.empty()) return 0;
  fs::path path = dir / (pic.name + ".png");
  std::error_code ec;
  if (read_all(path) == bytes) {
    fs::last_write_time(path, fs::file_time_type::clock::now(), ec); // up to date for make
    return 1;
  }
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write((const char*)bytes.data(), (std::streamsize)bytes.size());
  if (!out.good()) return 0;
  fs::remove(dir / (pic.name + "_x4.png"), ec);
  return 1;
}

// Every picture drawn from the pixel maps and the landscape code; 0 on a
// fault in the sources, said on standard error.
static int draw_all(const fs::path& src, std::vector<Picture>& pics) {
  std::string error;
  Palette pal;
  if (!pixmap_read_palette((src / "palette.txt").string(), pal, error)) {
    fprintf(stderr, "artgen: %s\n", error.c_str());
    return 0;
  }
  std::vector<fs::path> maps;
  for (const auto& entry : fs::directory_iterator(src / "sprites"))
    if (entry.path().extension() == ".txt") maps.push_back(entry.path());
  std::sort(maps.begin(), maps.end());
  for (const fs::path& m : maps)
    if (!pixmap_read_file(m.string(), pal, pics, error)) {
      fprintf(stderr, "artgen: %s\n", error.c_str());
      return 0;
    }
  pics.push_back(landscape_draw(pal));
  pics.push_back(sunlight_draw(pal));
  return 1;
}

static const Picture* find(const std::vector<Picture>& pics, const char* name) {
  for (const Picture& p : pics)
    if (p.name == name) return &p;
  return nullptr;
}

static int build(const fs::path& src, const fs::path& see) {
  std::vector<Picture> pics;
  if (!draw_all(src, pics)) return 1;

  int faults = 0;
  for (const char* name : NAMES) {
    long n =
        std::count_if(pics.begin(), pics.end(), [&](const Picture& p) { return p.name == name; });
    if (n != 1) fprintf(stderr, "artgen: %s is made %ld times\n", name, n), faults++;
  }
  for (const Picture& p : pics) {
    if (std::find_if(std::begin(NAMES), std::end(NAMES),
                     [&](const char* n) { return p.name == n; }) == std::end(NAMES))
      fprintf(stderr, "artgen: %s is not a picture the game loads\n", p.name.c_str()), faults++;
    if (png_palette_depth(p) < 0)
      fprintf(stderr, "artgen: %s has more than 256 colours\n", p.name.c_str()), faults++;
  }
  if (faults) return 1;
  fs::create_directories(see);
  for (const Picture& p : pics)
    if (!write_picture(p, see)) {
      fprintf(stderr, "artgen: cannot write %s\n", (see / (p.name + ".png")).c_str());
      return 1;
    }
  return 0;
}

// The icon's pixels as C++ source: 0xAARRGGBB values, top row first, each
// followed by a comma. 0 when the file cannot be written.
static int write_icon_source(const Picture& icon, const fs::path& path) {
  std::ofstream file(path, std::ios::trunc);
  file << "// The window's icon, " << icon.width << " by " << icon.height
       << ", made by artgen icons: 0xAARRGGBB, top row first.\n";
  char hex[16];
  for (size_t i = 0; i < icon.pixels.size(); i++) {
    snprintf(hex, sizeof hex, "0x%08X,", 0xFF000000u | icon.pixels[i]);
    file << hex << ((i + 1) % 8 ? " " : "\n");
  }
  if (!file.good()) fprintf(stderr, "artgen: cannot write %s\n", path.c_str());
  return file.good();
}

static int write_png(const Picture& pic, const fs::path& path) {
  std::vector<uint8_t> bytes = png_encode(pic);
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write((const char*)bytes.data(), (std::streamsize)bytes.size());
  if (bytes.empty() || !file.good())
    return fprintf(stderr, "artgen: cannot write %s\n", path.c_str()), 0;
  return 1;
}

// The icons and the web page's still: the first screen as the game opens it,
// the figure standing at its start in the meadow, at a quarter of its size
// (160 by 120: the page shows it with hard pixel edges, as the game does). The
// icon is the 16 by 16 square around the figure; each larger icon is that
// picture scaled by a whole number with hard pixel edges: 16 to 256 pixels for
// desktops, 192 and 512 for the web page's manifest.
static int icons(const fs::path& src, const fs::path& out) {
  std::vector<Picture> pics;
  if (!draw_all(src, pics)) return 1;
  const Picture *land = find(pics, "urth"), *figure = find(pics, "sir0");
  if (!land || !figure) return fprintf(stderr, "artgen: no landscape or figure\n"), 1;
  Picture still = picture_make("still", 160, 120, 0);
  for (int y = 0; y < 120; y++)
    for (int x = 0; x < 160; x++) still.set(x, y, land->at(x, y));
  // The figure starts at source x 25, standing on the walking line (row 95).
  for (int y = 0; y < figure->height; y++)
    for (int x = 0; x < figure->width; x++)
      if (figure->at(x, y) != KEY) still.set(25 + x, 95 - figure->height + y, figure->at(x, y));
  if (png_palette_depth(still) < 0) still.kind = PNG_RGB;
  const int left = 22, top = 80;
  Picture base = picture_make("icon", 16, 16, 0);
  for (int y = 0; y < 16; y++)
    for (int x = 0; x < 16; x++) base.set(x, y, still.at(left + x, top + y));
  std::error_code ec;
  fs::create_directories(out, ec);
  if (!write_png(still, out / "still.png")) return 1;
  for (int size : {16, 32, 48, 64, 128, 192, 256, 512}) {
    Picture icon = picture_make("icon", size, size, 0);
    for (int y = 0; y < size; y++)
      for (int x = 0; x < size; x++) icon.set(x, y, base.at(x * 16 / size, y * 16 / size));
    // The 64-pixel one goes into the program too, for its window.
    if (size == 64 && !write_icon_source(icon, out / "window_icon.inc")) return 1;
    if (!write_png(icon, out / ("icon" + std::to_string(size) + ".png"))) return 1;
  }
  return 0;
}

// The installer's Welcome and Finish picture, 164 by 314 as the installer wants
// it: the meadow at the start with the figure, scaled by three with hard pixel
// edges, as a 24-bit BMP.
static int installer_picture(const fs::path& src, const fs::path& out) {
  std::vector<Picture> pics;
  if (!draw_all(src, pics)) return 1;
  const Picture *land = find(pics, "urth"), *figure = find(pics, "sir0");
  if (!land || !figure) return fprintf(stderr, "artgen: no landscape or figure\n"), 1;
  const int width = 164, height = 314, scale = 3, top = land->height - (height + scale - 1) / scale;
  Picture base = picture_make("installer", (width + scale - 1) / scale, land->height - top, 0);
  for (int y = 0; y < base.height; y++)
    for (int x = 0; x < base.width; x++) base.set(x, y, land->at(x, top + y));
  for (int y = 0; y < figure->height; y++)
    for (int x = 0; x < figure->width; x++)
      if (figure->at(x, y) != KEY)
        base.set(25 + x, 95 - figure->height - top + y, figure->at(x, y));
  const int row = width * 3; // a multiple of 4, as BMP rows must be
  std::vector<uint8_t> bmp(54 + (size_t)row * height, 0);
  auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; i++) bmp[at + i] = (uint8_t)(v >> (8 * i));
  };
  bmp[0] = 'B', bmp[1] = 'M';
  put32(2, (uint32_t)bmp.size());
  put32(10, 54);
  put32(14, 40);
  put32(18, width);
  put32(22, height);
  bmp[26] = 1, bmp[28] = 24;
  put32(34, (uint32_t)row * height);
  for (int y = 0; y < height; y++) // bottom row first
    for (int x = 0; x < width; x++) {
      const uint32_t c = base.at(x / scale, y / scale);
      uint8_t* px = &bmp[54 + (size_t)(height - 1 - y) * row + x * 3];
      px[0] = (uint8_t)c, px[1] = (uint8_t)(c >> 8), px[2] = (uint8_t)(c >> 16);
    }
  std::ofstream file(out, std::ios::binary | std::ios::trunc);
  file.write((const char*)bmp.data(), (std::streamsize)bmp.size());
  if (!file.good()) return fprintf(stderr, "artgen: cannot write %s\n", out.c_str()), 1;
  return 0;
}

int main(int argc, char** argv) {
  std::string mode = argc > 1 ? argv[1] : "";
  if (argc == 4 && mode == "installer") return installer_picture(argv[2], argv[3]);
  if (argc == 4 && mode == "build") return build(argv[2], argv[3]);
  if (argc == 4 && mode == "icons") return icons(argv[2], argv[3]);
  if (argc == 4 && mode == "preview") {
    std::string error;
    std::error_code ec;
    fs::create_directories(argv[3], ec);
    if (preview_write(argv[2], argv[3], error)) return 0;
    fprintf(stderr, "artgen: %s\n", error.c_str());
    return 1;
  }
  fprintf(stderr, "usage: artgen build <artgen folder> <see folder>\n"
                  "       artgen preview <see folder> <out folder>\n"
                  "       artgen icons <artgen folder> <out folder>\n"
                  "       artgen installer <artgen folder> <out.bmp>\n");
  return 2;
}
