// Text pixel maps. A file holds one row of the frame table (or one single
// picture); every picture in a file has the same size, because the game places
// every frame by the size of the first.
//
//   # comment
//   format palette | palette 8 | rgb      how the PNGs are written
//   colour Z 12 34 56                      a colour for this file only
//   size W H                               pictures have this size; rows left out at
//                                          the bottom are transparent
//   picture NAME                           rows of palette characters, then "end"
//   picture NAME = BASE [mirror] [swap ab cd ...]
//   patch X Y                              rows over the copy from (X, Y), "," keeps; "end"
#include "tools/artgen/picture.h"

#include <fstream>
#include <sstream>

Picture picture_make(const std::string& name, int width, int height, uint32_t fill) {
  Picture p;
  p.name = name;
  p.width = width;
  p.height = height;
  p.pixels.assign((size_t)width * height, fill);
  return p;
}

static std::string strip(const std::string& line) {
  size_t end = line.find_last_not_of(" \t\r");
  return end == std::string::npos ? "" : line.substr(0, end + 1);
}

int pixmap_read_palette(const std::string& path, Palette& pal, std::string& error) {
  std::ifstream in(path);
  if (!in) return error = path + ": cannot open", 0;
  std::string line;
  for (int n = 1; std::getline(in, line); n++) {
    line = strip(line);
    if (line.empty() || line[0] == '#') continue;
    std::istringstream words(line);
    std::string ch;
    int r = -1, g = -1, b = -1;
    words >> ch >> r >> g >> b;
    if (ch.size() != 1 || r < 0 || r > 255 || g < 0 || g > 255 || b < 0 || b > 255)
      return error = path + ":" + std::to_string(n) + ": expected <char> <r> <g> <b>", 0;
    pal[ch[0]] = (uint32_t)(r << 16 | g << 8 | b);
  }
  return 1;
}

namespace {
struct Reader {
  std::string path;
  std::ifstream in;
  int line_no = 0;
  std::string* error;

  bool next(std::string& line) {
    while (std::getline(in, line)) {
      line_no++;
      line = strip(line);
      if (!line.empty() && line[0] != '#') return true;
    }
    return false;
  }
  int fail(const std::string& why) {
    *error = path + ":" + std::to_string(line_no) + ": " + why;
    return 0;
  }
  // Rows up to "end"; all of one width.
  int rows(std::vector<std::string>& out) {
    std::string line;
    while (next(line)) {
      if (line == "end") return out.empty() ? fail("no rows") : 1;
      if (!out.empty() && line.size() != out[0].size()) return fail("row of another width");
      out.push_back(line);
    }
    return fail("missing end");
  }
};
} // namespace

static const Picture* find(const std::vector<Picture>& pics, const std::string& name) {
  for (const Picture& p : pics)
    if (p.name == name) return &p;
  return nullptr;
}

int pixmap_read_file(const std::string& path, const Palette& global, std::vector<Picture>& out,
                     std::string& error) {
  Reader r;
  r.path = path;
  r.error = &error;
  r.in.open(path);
  if (!r.in) return error = path + ": cannot open", 0;
  Palette pal = global;
  PngKind kind = PNG_PALETTE;
  int min_depth = 1;
  int size_w = 0, size_h = 0;
  std::vector<Picture> pics;
  std::string line;
  auto colour_of = [&](char c, uint32_t& rgb) {
    auto it = pal.find(c);
    if (it == pal.end()) return false;
    rgb = it->second;
    return true;
  };
  while (r.next(line)) {
    std::istringstream words(line);
    std::string word;
    words >> word;
    if (word == "format") {
      std::string how;
      words >> how;
      if (how == "rgb")
        kind = PNG_RGB;
      else if (how == "palette") {
        kind = PNG_PALETTE;
        if (!(words >> min_depth)) min_depth = 1;
        if (min_depth != 1 && min_depth != 2 && min_depth != 4 && min_depth != 8)
          return r.fail("palette depth must be 1, 2, 4 or 8");
      } else
        return r.fail("format is palette or rgb");
    } else if (word == "colour") {
      std::string ch;
      int red = -1, g = -1, b = -1;
      words >> ch >> red >> g >> b;
      if (ch.size() != 1 || red < 0 || red > 255 || g < 0 || g > 255 || b < 0 || b > 255)
        return r.fail("colour <char> <r> <g> <b>");
      pal[ch[0]] = (uint32_t)(red << 16 | g << 8 | b);
    } else if (word == "size") {
      if (!(words >> size_w >> size_h) || size_w < 1 || size_h < 1 || size_w > 4096 ||
          size_h > 4096)
        return r.fail("size <width> <height>");
    } else if (word == "picture") {
      std::string name, eq, base;
      words >> name >> eq;
      if (name.empty() || find(pics, name)) return r.fail("missing or repeated name");
      Picture pic;
      if (eq.empty()) {
        std::vector<std::string> rows;
        if (!r.rows(rows)) return 0;
        if (size_w && ((int)rows[0].size() != size_w || (int)rows.size() > size_h))
          return r.fail("rows do not fit the size");
        pic = picture_make(name, (int)rows[0].size(), size_h ? size_h : (int)rows.size(), KEY);
        for (int y = 0; y < (int)rows.size(); y++)
          for (int x = 0; x < pic.width; x++) {
            uint32_t c;
            if (!colour_of(rows[y][x], c))
              return r.fail(std::string("unknown colour '") + rows[y][x] + "'");
            pic.set(x, y, c);
          }
      } else {
        words >> base;
        const Picture* from = find(pics, base);
        if (eq != "=" || !from) return r.fail("picture NAME = BASE, BASE earlier in the file");
        pic = *from;
        pic.name = name;
        std::string op;
        while (words >> op) {
          if (op == "mirror") {
            for (int y = 0; y < pic.height; y++)
              for (int x = 0; x < pic.width / 2; x++) {
                uint32_t a = pic.at(x, y);
                pic.set(x, y, pic.at(pic.width - 1 - x, y));
                pic.set(pic.width - 1 - x, y, a);
              }
          } else if (op == "swap") {
            std::string pair;
            while (words >> pair) {
              uint32_t a, b;
              if (pair.size() != 2 || !colour_of(pair[0], a) || !colour_of(pair[1], b))
                return r.fail("swap pairs are two known colours");
              for (uint32_t& px : pic.pixels)
                if (px == a) px = b | 0x1000000; // marked, so a later pair leaves it alone
            }
            for (uint32_t& px : pic.pixels) px &= 0xFFFFFF;
          } else
            return r.fail("unknown operation " + op);
        }
        // Patches follow until the next picture.
        std::streampos mark = r.in.tellg();
        int mark_line = r.line_no;
        while (r.next(line)) {
          std::istringstream pw(line);
          std::string p;
          int px = -1, py = -1;
          pw >> p >> px >> py;
          if (p != "patch") {
            r.in.seekg(mark);
            r.line_no = mark_line;
            break;
          }
          std::vector<std::string> rows;
          if (!r.rows(rows)) return 0;
          if (px < 0 || py < 0 || px + (int)rows[0].size() > pic.width ||
              py + (int)rows.size() > pic.height)
            return r.fail("patch outside the picture");
          for (int y = 0; y < (int)rows.size(); y++)
            for (int x = 0; x < (int)rows[y].size(); x++) {
              uint32_t c;
              if (rows[y][x] == ',') continue;
              if (!colour_of(rows[y][x], c))
                return r.fail(std::string("unknown colour '") + rows[y][x] + "'");
              pic.set(px + x, py + y, c);
            }
          mark = r.in.tellg();
          mark_line = r.line_no;
        }
      }
      if (!pics.empty() && (pic.width != pics[0].width || pic.height != pics[0].height))
        return r.fail(name + " differs in size from " + pics[0].name);
      pics.push_back(pic);
    } else
      return r.fail("unknown line");
  }
  for (Picture& p : pics) {
    p.kind = kind;
    p.min_depth = min_depth;
    out.push_back(p);
  }
  return 1;
}
