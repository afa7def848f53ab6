// Previews of the art as the game shows it: the landscape at 4x with every
// object standing where the world puts it, at the start and once solved, cut
// into views of two screens each; and a sheet of every frame at 4x.
#include "tools/artgen/picture.h"

#include <algorithm>
#include <fstream>

namespace {

struct Placed {
  const char* name; // picture
  float x, y;       // world position of the left edge and the bottom edge
  float depth;      // drawing layer, lower first
};

// Stamps a quarter-size picture at 4x with its bottom-left corner at world (x, y).
void stamp(Picture& world, const Picture& pic, float x, float y) {
  int left = (int)x, top = 480 - (int)(pic.height * 4 + y);
  for (int py = 0; py < pic.height * 4; py++)
    for (int px = 0; px < pic.width * 4; px++) {
      uint32_t c = pic.at(px / 4, py / 4);
      if (c != KEY) world.set(left + px, top + py, c);
    }
}

int save(const Picture& pic, const std::string& path) {
  std::vector<uint8_t> bytes = png_encode(pic);
  std::ofstream out(path, std::ios::binary);
  out.write((const char*)bytes.data(), (std::streamsize)bytes.size());
  return !bytes.empty() && out.good();
}

} // namespace

int preview_write(const std::string& see_dir, const std::string& out_dir, std::string& error) {
  auto load = [&](const std::string& name, Picture& pic) {
    pic.name = name;
    if (png_load(see_dir + "/" + name + ".png", pic)) return true;
    error = see_dir + "/" + name + ".png: cannot read";
    return false;
  };
  Picture land;
  if (!load("urth", land)) return 0;
  Picture world = picture_make("world", land.width * 4, 480, 0);
  world.kind = PNG_RGB;

  // The world as it starts, and the same stretch with every puzzle solved.
  const std::vector<Placed> start = {
      {"rox0", 1580, 0, -5},   {"brid0", 4020, 0, -5},  {"pit0", 4800, 0, -4},
      {"frz0", 5600, 100, -4}, {"gal0", 6100, 100, -2}, {"sir0", 100, 100, 0},
      {"sir1", 1480, 100, 0},  {"sher0", 4930, 100, 0}, {"tree0", 3550, 0, 5},
      {"lite", 2480, 0, 10},   {"bsh", 3100, 0, 10},    {"bsh", 5100, 0, 10},
      {"sir3", 3480, 100, 0},  {"sir2", 3950, 100, 0},  {"fg0", 5400, 100, 0},
      {"mag", 5000, 100, -3},  {"feet", 5300, 100, -7}, {"twigs", 3200, 80, -3},
  };
  const std::vector<Placed> solved = {
      {"rox3", 1580, 0, -5},   {"tree6", 3550, 0, -5},  {"brid3", 4020, 0, -5},
      {"pit3", 4800, 0, -4},   {"feet", 5660, 99, -7},  {"feet", 5500, 101, -7},
      {"twigs", 3600, 80, -3}, {"mam0", 5618, 100, -2}, {"gal2", 6100, 100, -2},
      {"fg3", 5520, 100, 0},   {"sir1", 4100, 100, 0},  {"sher1", 4890, 100, 0},
      {"lite", 2480, 0, 10},   {"bsh", 3100, 0, 10},    {"bsh", 5100, 0, 10},
      {"tree3", 2900, 0, -5},  {"tree1", 2000, 0, 5},   {"frz2", 1200, 100, -4},
      {"mam3", 800, 100, -2},  {"gal1", 6000, 100, -2}, {"rox1", 1000, 0, -5},
      {"pit2", 4500, 0, -4},   {"brid2", 3800, 0, -5},  {"fg2", 4300, 100, 0},
  };
  int views = 0;
  for (int pass = 0; pass < 2; pass++) {
    std::vector<Placed> list = pass == 0 ? start : solved;
    std::stable_sort(list.begin(), list.end(),
                     [](const Placed& a, const Placed& b) { return a.depth < b.depth; });
    for (int y = 0; y < 480; y++)
      for (int x = 0; x < world.width; x++) world.set(x, y, land.at(x / 4, y / 4));
    for (const Placed& e : list) {
      Picture pic;
      if (!load(e.name, pic)) return 0;
      stamp(world, pic, e.x, e.y);
    }
    for (int v = 0; v * 1280 < world.width; v++) {
      Picture view = picture_make("view", 1280, 480, 0);
      view.kind = PNG_RGB;
      for (int y = 0; y < 480; y++)
        for (int x = 0; x < 1280 && v * 1280 + x < world.width; x++)
          view.set(x, y, world.at(v * 1280 + x, y));
      std::string path = out_dir + "/" + (pass ? "solved" : "start") + std::to_string(v) + ".png";
      if (!save(view, path)) return error = path + ": cannot write", 0;
      views++;
    }
  }

  // Every frame at 4x on a plain ground, a row of the frame table per line, on
  // two sheets: the figures and small things, then the large objects.
  const std::vector<std::vector<std::vector<const char*>>> sheets = {
      {{"sir0", "sir1", "sir2", "sir3", "fg0", "fg1", "fg2", "fg3"},
       {"gal0", "gal1", "gal2", "gal3", "sher0", "sher1", "mag", "twigs", "feet"},
       {"frz0", "frz1", "frz2", "mam0", "mam1"},
       {"mam2", "mam3", "bsh"}},
      {{"rox0", "rox1", "rox2", "rox3", "pit0", "pit1", "pit2", "pit3"},
       {"tree3", "tree4", "tree5", "tree6"},
       {"brid0", "brid1", "brid2", "brid3"},
       {"tree0", "tree1", "tree2", "lite"}},
  };
  for (size_t s = 0; s < sheets.size(); s++) {
    const auto& rows = sheets[s];
    std::vector<int> heights;
    int sheet_w = 0, sheet_h = 8;
    for (const auto& row : rows) {
      int w = 8, h = 0;
      for (const char* name : row) {
        Picture pic;
        if (!load(name, pic)) return 0;
        w += pic.width * 4 + 8;
        h = std::max(h, pic.height * 4);
      }
      sheet_w = std::max(sheet_w, w);
      heights.push_back(h);
      sheet_h += h + 8;
    }
    Picture sheet = picture_make("sheet", sheet_w, sheet_h, 0x5A6E78);
    sheet.kind = PNG_RGB;
    int y = 8;
    for (size_t r = 0; r < rows.size(); r++) {
      int x = 8;
      for (const char* name : rows[r]) {
        Picture pic;
        load(name, pic);
        for (int py = 0; py < pic.height * 4; py++)
          for (int px = 0; px < pic.width * 4; px++) {
            uint32_t c = pic.at(px / 4, py / 4);
            if (c != KEY) sheet.set(x + px, y + heights[r] - pic.height * 4 + py, c);
          }
        x += pic.width * 4 + 8;
      }
      y += heights[r] + 8;
    }
    std::string path = out_dir + "/sheet" + std::to_string(s) + ".png";
    if (!save(sheet, path)) return error = path + ": cannot write", 0;
  }
  return views + 2;
}
