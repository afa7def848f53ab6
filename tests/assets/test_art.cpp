// The built art and sounds against the layout the world is made for.
#include <png.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

struct Rgb {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels; // 0xRRGGBB, top row first
  int colour_type = -1;
  uint32_t at(int x, int y) const { return pixels[(size_t)y * width + x]; }
};

Rgb load(const std::string& name) {
  Rgb out;
  std::string path = std::string(QUILL_DATA_DIR) + "/see/" + name + ".png";
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return out;
  out.colour_type = image.format & PNG_FORMAT_FLAG_COLORMAP ? 3 : 2;
  image.format = PNG_FORMAT_RGB;
  std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) return out;
  out.width = (int)image.width;
  out.height = (int)image.height;
  for (size_t i = 0; i < rgb.size(); i += 3)
    out.pixels.push_back((uint32_t)(rgb[i] << 16 | rgb[i + 1] << 8 | rgb[i + 2]));
  return out;
}

const std::vector<std::vector<std::string>> ROWS = {
    {"sir0", "sir1", "sir2", "sir3"},
    {"rox0", "rox1", "rox2", "rox3"},
    {"tree0", "tree1", "tree2"},
    {"tree3", "tree4", "tree5", "tree6"},
    {"brid0", "brid1", "brid2", "brid3"},
    {"sher0", "sher1"},
    {"pit0", "pit1", "pit2", "pit3"},
    {"fg0", "fg1", "fg2", "fg3"},
    {"frz0", "frz1", "frz2"},
    {"mam0", "mam1"},
    {"gal0", "gal1", "gal2", "gal3"},
    {"mam2", "mam3"},
};
const char* const SINGLES[] = {"lite", "bsh", "twigs", "mag", "feet"};

} // namespace

// The game draws every frame of a row at the size measured from frame 0 (and
// the player's kinds 0 and 7 share one measured size), so a frame of another
// size would sink into the ground or float above it.
TEST(Art, EveryFrameOfARowHasTheSizeOfItsFirst) {
  Rgb sir = load("sir0");
  ASSERT_GT(sir.width, 0);
  for (const auto& row : ROWS) {
    Rgb first = load(row[0]);
    ASSERT_GT(first.width, 0) << row[0];
    for (const std::string& name : row) {
      Rgb pic = load(name);
      EXPECT_EQ(pic.width, first.width) << name;
      EXPECT_EQ(pic.height, first.height) << name;
    }
  }
  EXPECT_EQ(load("fg0").height, sir.height);
  EXPECT_EQ(load("mam2").height, load("mam0").height);
}

TEST(Art, TheLayoutFitsTheWorld) {
  Rgb land = load("urth");
  EXPECT_EQ(land.width, 1600);
  EXPECT_EQ(land.height, 120);
  // The player must stay under 100 units (25 source pixels) wide for the last
  // discoveries to be reachable, and stand about 12 to 14 rows high.
  Rgb sir = load("sir0");
  EXPECT_LT(sir.width, 25);
  EXPECT_GE(sir.height, 12);
  EXPECT_LE(sir.height, 16);
  // Objects standing on y 0 are drawn from the screen's bottom: their pictures
  // reach 25 rows below the walking line, and their lowest 25 rows are not all
  // that is drawn.
  for (const char* name : {"rox0", "tree0", "tree3", "brid0", "pit0", "bsh", "lite"}) {
    Rgb pic = load(name);
    ASSERT_GT(pic.height, 25) << name;
    bool above = false;
    for (int y = 0; y < pic.height - 25; y++)
      for (int x = 0; x < pic.width; x++) above |= pic.at(x, y) != 0xFF00FF;
    EXPECT_TRUE(above) << name << " shows nothing above the walking line";
  }
  // The bridge spans the chasm: the landscape's ground under the bridge's middle is dark.
  Rgb bridge = load("brid3");
  int middle = 4020 / 4 + bridge.width / 2;
  EXPECT_LT(land.at(middle, 110) & 0xFF, 0x40);
  EXPECT_GT(land.at(4020 / 4 - 20, 110) & 0xFF, 0x20); // earth, not the gap
}

// Near-magenta pixels would show as pink fringes, since only the exact key
// colour is left out; the art also needs both palette and colour sources so
// that both ways of making the scaled copies are used.
TEST(Art, OnlyExactMagentaIsNearMagentaAndBothKindsOfPngAreUsed) {
  int palette = 0, colour = 0;
  std::vector<std::string> names(std::begin(SINGLES), std::end(SINGLES));
  for (const auto& row : ROWS) names.insert(names.end(), row.begin(), row.end());
  for (const std::string& name : names) {
    Rgb pic = load(name);
    ASSERT_GT(pic.width, 0) << name;
    (pic.colour_type == 3 ? palette : colour)++;
    for (uint32_t c : pic.pixels) {
      int r = c >> 16, g = c >> 8 & 255, b = c & 255;
      bool near = r > 200 && g < 60 && b > 200;
      EXPECT_TRUE(!near || c == 0xFF00FF) << name << " has a colour close to the key";
    }
  }
  EXPECT_GT(palette, 0);
  EXPECT_GT(colour, 0);
}

TEST(Art, TheElevenSoundsAreShortPcmWaves) {
  for (const char* name :
       {"jjj", "hhh", "ccc", "iii", "bop", "sun2", "fire", "woo", "die", "luv", "inc"}) {
    std::ifstream in(std::string(QUILL_DATA_DIR) + "/hear/" + name + ".wav", std::ios::binary);
    std::vector<uint8_t> b((std::istreambuf_iterator<char>(in)), {});
    ASSERT_GE(b.size(), 44u) << name;
    auto u16 = [&](size_t at) { return b[at] | b[at + 1] << 8; };
    auto u32 = [&](size_t at) { return (uint32_t)(u16(at) | u16(at + 2) << 16); };
    EXPECT_EQ(memcmp(b.data(), "RIFF", 4), 0) << name;
    EXPECT_EQ(memcmp(b.data() + 12, "fmt ", 4), 0) << name;
    EXPECT_EQ(u16(20), 1) << name; // PCM
    int bits = u16(34);
    EXPECT_TRUE(bits == 8 || bits == 16) << name;
    EXPECT_EQ(memcmp(b.data() + 36, "data", 4), 0) << name;
    uint32_t data = u32(40);
    EXPECT_EQ(data + 44, b.size()) << name;
    double seconds = data / (double)u32(28);
    EXPECT_GT(seconds, 0.05) << name;
    EXPECT_LT(seconds, 2.5) << name;
  }
}
