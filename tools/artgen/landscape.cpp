// The landscape and the sunlight, drawn by code: a journey from a green meadow
// in the west through a sunlit stretch and a wood to a chasm, then over a cold
// moor into winter. Everything is seeded, so every build draws the same pixels.
#include "tools/artgen/picture.h"

#include <cmath>

namespace {

constexpr int W = 1600, H = 120;
constexpr int LINE = 95; // first ground row: the walking line

// Where the stretches of the journey meet (source x).
constexpr int MEADOW_END = 440;
constexpr int WOOD_START = 730;
constexpr int CHASM_LEFT = 1008, CHASM_RIGHT = 1042; // the gap the bridge spans
constexpr int MOOR_START = 1046;
constexpr int WINTER_START = 1300;

struct Rng {
  uint32_t s;
  uint32_t next() {
    s ^= s << 13;
    s ^= s >> 17;
    s ^= s << 5;
    return s;
  }
  int below(int n) { return (int)(next() % (uint32_t)n); }
};

const int BAYER[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};

// True where an ordered dither of strength t (0..1) picks the second colour.
bool dither(int x, int y, double t) { return t * 16.0 > BAYER[y & 3][x & 3] + 0.5; }

uint32_t rgb(int r, int g, int b) { return (uint32_t)(r << 16 | g << 8 | b); }

uint32_t mix(uint32_t a, uint32_t b, double t) {
  auto ch = [&](int shift) {
    double v = ((a >> shift) & 255) * (1 - t) + ((b >> shift) & 255) * t;
    return (uint32_t)std::lround(v) << shift;
  };
  return ch(16) | ch(8) | ch(0);
}

// How far x has come from one stretch into the next, 0..1 over a soft border.
double blend(int x, int border, int width) {
  double t = (x - (border - width / 2.0)) / width;
  return t < 0 ? 0 : t > 1 ? 1 : t;
}

// A colour ramp drawn in flat bands with dithered seams, as an old game would.
uint32_t ramp(const std::vector<uint32_t>& bands, double t, int x, int y) {
  if (t <= 0) return bands.front();
  if (t >= 1) return bands.back();
  double pos = t * (bands.size() - 1);
  int i = (int)pos;
  double f = pos - i;
  // Only the last third of each band dithers into the next.
  double d = f < 0.66 ? 0 : (f - 0.66) / 0.34;
  return dither(x, y, d) ? bands[i + 1] : bands[i];
}

const std::vector<uint32_t> SKY_MEADOW = {rgb(78, 140, 222), rgb(100, 162, 232), rgb(128, 186, 240),
                                          rgb(160, 208, 246), rgb(196, 228, 250)};
const std::vector<uint32_t> SKY_SUNNY = {rgb(96, 150, 226), rgb(132, 180, 236), rgb(186, 210, 228),
                                         rgb(238, 222, 176), rgb(255, 214, 140)};
const std::vector<uint32_t> SKY_MOOR = {rgb(96, 108, 146), rgb(118, 128, 162), rgb(142, 150, 180),
                                        rgb(168, 174, 198), rgb(192, 196, 214)};
const std::vector<uint32_t> SKY_WINTER = {rgb(128, 154, 200), rgb(152, 176, 214),
                                          rgb(178, 198, 226), rgb(206, 220, 238),
                                          rgb(232, 240, 250)};

// A colour for each stretch (meadow, sunny, wood, moor, winter), blended
// smoothly across the borders.
uint32_t by_stretch(int x, const uint32_t (&c)[5]) {
  uint32_t v = mix(c[0], c[1], blend(x, MEADOW_END, 80));
  v = mix(v, c[2], blend(x, WOOD_START + 30, 80));
  v = mix(v, c[3], blend(x, MOOR_START + 40, 100));
  return mix(v, c[4], blend(x, WINTER_START, 100));
}

uint32_t sky(int x, int y) {
  const std::vector<uint32_t>* skies[] = {&SKY_MEADOW, &SKY_SUNNY, &SKY_MEADOW, &SKY_MOOR,
                                          &SKY_WINTER};
  double t = y / (double)(LINE - 20);
  uint32_t bands[5];
  for (int i = 0; i < 5; i++) bands[i] = ramp(*skies[i], t, x, y);
  return by_stretch(x, bands);
}

double hills_far(int x) {
  return 62 + 6 * std::sin(x * 0.011) + 4 * std::sin(x * 0.027 + 1.3) + 2 * std::sin(x * 0.07);
}

double hills_near(int x) {
  return 80 + 4 * std::sin(x * 0.019 + 0.5) + 3 * std::sin(x * 0.043 + 2.1);
}

// Snowy peaks of the east: sharp, from a sum of triangle waves.
double peaks(int x) {
  auto tri = [](double v) { return std::fabs(v - std::floor(v) - 0.5) * 2; };
  return 40 + 22 * tri(x / 90.0) + 10 * tri(x / 37.0 + 0.3);
}

void circle(Picture& p, double cx, double cy, double r, uint32_t c) {
  for (int y = (int)(cy - r); y <= (int)(cy + r); y++)
    for (int x = (int)(cx - r); x <= (int)(cx + r); x++)
      if ((x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r) p.set(x, y, c);
}

// A cloud of overlapping puffs with a flat, shaded underside.
void cloud(Picture& p, int x0, int y0, int len, uint32_t light, uint32_t shade, Rng& rng) {
  Picture puff = picture_make("", p.width, p.height, 0);
  for (int i = 0; i < len / 5 + 2; i++) {
    double cx = x0 + rng.below(len), r = 3 + rng.below(4);
    circle(puff, cx, y0 - r / 2, r, 1);
  }
  for (int y = y0 - 12; y <= y0 + 1; y++)
    for (int x = x0 - 8; x < x0 + len + 8; x++) {
      if (x < 0 || x >= W || y < 0 || puff.at(x, y) == 0) continue;
      bool under = y >= y0 - 1 || (y + 2 < H && puff.at(x, y + 2) == 0);
      p.set(x, y, under ? shade : light);
    }
}

// A round leafy tree in the middle distance.
void round_tree(Picture& p, int x, int base, int size, const Palette& pal) {
  for (int y = base - size; y < base; y++) p.set(x, y, pal.at('W'));
  circle(p, x, base - size - 2, size * 0.55 + 1, pal.at('G'));
  circle(p, x - 1, base - size - 3, size * 0.45, pal.at('g'));
  p.set(x - 2, base - size - 5, pal.at('l'));
}

// A pine tree in the snow.
void pine(Picture& p, int x, int base, int size, bool snowy, const Palette& pal) {
  uint32_t dark = rgb(36, 84, 70), mid = rgb(52, 110, 86);
  for (int y = base - 3; y < base; y++) p.set(x, y, pal.at('W'));
  for (int i = 0; i < size; i++) {
    int y = base - 3 - i;
    int half = (size - i) / 2 + ((i % 4) == 0 ? 1 : 0);
    for (int dx = -half; dx <= half; dx++) {
      uint32_t c = dx < 0 ? dark : mid;
      if (snowy && (i % 4 == 0 || i % 4 == 1) && std::abs(dx) >= half - 1 - (i % 4))
        c = pal.at('x');
      if (snowy && i == size - 1) c = pal.at('x');
      p.set(x + dx, y, c);
    }
  }
}

// A bare tree of the moor: trunk and a few forked branches.
void bare_tree(Picture& p, int x, int base, int size, const Palette& pal, Rng& rng) {
  uint32_t bark = rgb(78, 62, 60);
  for (int y = base - size; y < base; y++) {
    p.set(x, y, bark);
    if (y > base - 4) p.set(x + 1, y, bark);
  }
  for (int b = 0; b < 4; b++) {
    int y = base - size + 2 + b * (size / 5), dir = (b % 2) ? 1 : -1;
    int len = 3 + rng.below(4);
    for (int i = 1; i <= len; i++) p.set(x + dir * i, y - i / 2, bark);
  }
  (void)pal;
}

void ground(Picture& p, const Palette& pal, Rng& rng) {
  for (int x = 0; x < W; x++) {
    bool winter = x >= WINTER_START - 30 + (int)(8 * std::sin(x * 0.3));
    bool moor = x >= MOOR_START;
    bool wood = x >= WOOD_START && x < MOOR_START;
    bool sunny = x >= MEADOW_END && x < WOOD_START;
    bool gap = x >= CHASM_LEFT - 1 && x <= CHASM_RIGHT + 1; // nothing grows over the chasm
    uint32_t top, under;
    if (winter)
      top = pal.at('x'), under = rgb(200, 220, 240);
    else if (moor)
      top = rgb(128, 116, 84), under = rgb(98, 86, 70);
    else if (wood)
      top = pal.at('G'), under = rgb(40, 84, 46);
    else if (sunny)
      top = rgb(176, 196, 80), under = pal.at('g');
    else
      top = pal.at('g'), under = pal.at('G');
    // Patches of snow creep in over the moor.
    double thaw = (WINTER_START - x) / 60.0; // patches grow towards the winter
    if (moor && !winter && std::sin(x * 0.21) + std::sin(x * 0.057) > thaw) {
      top = pal.at('x');
      under = rgb(200, 220, 240);
    }
    for (int y = LINE; y < H; y++) {
      double depth = (y - LINE) / (double)(H - LINE);
      uint32_t earth = winter ? rgb(104, 98, 116) : moor ? rgb(110, 84, 66) : pal.at('d');
      uint32_t deep = winter ? rgb(70, 64, 84) : moor ? rgb(74, 56, 46) : pal.at('D');
      uint32_t c = dither(x, y, depth * 1.3 - 0.1) ? deep : earth;
      if (y == LINE)
        c = top;
      else if (y == LINE + 1)
        c = dither(x, y, 0.5) ? top : under;
      else if (y == LINE + 2)
        c = under;
      else if (y == LINE + 3 && (x * 7 + rng.below(3)) % 5 == 0)
        c = under; // ragged edge
      p.set(x, y, c);
    }
    // Stones and pebbles in the earth.
    if (rng.below(9) == 0) {
      int y = LINE + 5 + rng.below(H - LINE - 7);
      uint32_t stone = winter ? rgb(150, 156, 176) : pal.at('c');
      p.set(x, y, stone);
      p.set(x + 1, y, stone);
      p.set(x, y + 1, pal.at('C'));
      p.set(x + 1, y + 1, pal.at('C'));
    }
    // Grass tufts and flowers just above the line (west of the winter).
    if (!winter && !moor && !gap && rng.below(3) == 0) p.set(x, LINE - 1, top);
    if (!winter && !moor && !wood && !gap && rng.below(7) == 0) {
      uint32_t flower = sunny ? pal.at('y') : (rng.below(3) == 0 ? pal.at('x') : pal.at('r'));
      if (sunny && rng.below(2)) flower = pal.at('o');
      p.set(x, LINE - 2, top);
      p.set(x, LINE - 3, flower);
    }
    if (winter && rng.below(5) == 0) p.set(x, LINE - 1, pal.at('x')); // drifts
  }
  // Roots in the wood's earth.
  for (int x = WOOD_START + 6; x < CHASM_LEFT - 8; x += 17 + rng.below(12)) {
    int y = LINE + 3, rx = x;
    for (int i = 0; i < 12; i++) {
      p.set(rx, y, pal.at('W'));
      y += rng.below(2);
      rx += rng.below(3) - 1;
    }
  }
}

void chasm(Picture& p, const Palette& pal, Rng& rng) {
  for (int y = LINE; y < H; y++) {
    double t = (y - LINE) / (double)(H - LINE);
    // Rough walls: each row's edge wanders a little.
    int left = CHASM_LEFT + (y > LINE + 2 ? rng.below(2) : 0) + (y - LINE) / 9;
    int right = CHASM_RIGHT - (y > LINE + 2 ? rng.below(2) : 0) - (y - LINE) / 9;
    for (int x = left; x <= right; x++) {
      uint32_t c = dither(x, y, t * 1.6) ? rgb(14, 10, 22) : rgb(38, 30, 50);
      p.set(x, y, c);
    }
    p.set(left, y, pal.at('C'));
    p.set(right, y, pal.at('C'));
    p.set(left - 1, y, pal.at('k'));
    p.set(right + 1, y, pal.at('k'));
  }
  // Lips of the banks: the ground ends in a dark edge.
  for (int y = LINE; y < LINE + 3; y++) {
    p.set(CHASM_LEFT - 1, y, pal.at('D'));
    p.set(CHASM_RIGHT + 1, y, pal.at('D'));
  }
}

// The wood: tall trunks and a roof of leaves over a dim floor.
void wood(Picture& p, const Palette& pal, Rng& rng) {
  uint32_t canopy_dark = rgb(30, 70, 44), canopy = pal.at('G'), leaf = pal.at('g');
  uint32_t shade = rgb(56, 96, 70), trunk_far = rgb(70, 58, 50);
  int left = WOOD_START - 30, right = CHASM_LEFT - 20;
  // Distant foliage behind the trunks, sinking towards both ends of the wood.
  for (int x = left - 10; x < right + 24; x++) {
    double fade = std::min(blend(x, left + 10, 70), 1 - blend(x, right + 14, 50));
    int top = LINE - (int)((52 + 5 * std::sin(x * 0.31) + 3 * std::sin(x * 0.77)) * fade);
    for (int y = top; y < LINE; y++)
      p.set(x, y, y == top ? shade : dither(x, y, 0.25) ? shade : rgb(44, 86, 64));
  }
  // Far trunks, faint.
  for (int x = left + 4; x < right; x += 9 + rng.below(7)) {
    int w = 2 + rng.below(2);
    for (int y = 20; y < LINE; y++)
      for (int i = 0; i < w; i++) p.set(x + i, y, trunk_far);
  }
  // Shadowy undergrowth.
  for (int x = left; x < right + 14; x++) {
    double fade = std::min(blend(x, left + 20, 40), 1 - blend(x, right + 4, 24));
    int top = LINE - 10 - (int)(4 * std::sin(x * 0.35) + 2 * std::sin(x * 0.9));
    for (int y = top; y < LINE; y++)
      if (dither(x, y, fade)) p.set(x, y, dither(x, y, 0.3) ? shade : canopy_dark);
  }
  // Near trunks with bark light on one side.
  for (int x = left + 12; x < right - 4; x += 22 + rng.below(14)) {
    int w = 4 + rng.below(3);
    for (int y = 10; y < LINE; y++)
      for (int i = 0; i < w; i++)
        p.set(x + i, y, i == 0 ? pal.at('k') : i == 1 ? pal.at('w') : pal.at('W'));
    p.set(x - 1, LINE - 1, pal.at('W'));
    p.set(x + w, LINE - 1, pal.at('W'));
  }
  // The roof of leaves, ragged at its lower edge, lifting towards both ends.
  for (int x = left - 20; x < right + 30; x++) {
    double fade = std::min(blend(x, left + 10, 80), 1 - blend(x, right + 20, 60));
    int bottom = (int)((30 + 6 * std::sin(x * 0.21) + 4 * std::sin(x * 0.53 + 1)) * fade);
    for (int y = 0; y < bottom; y++) {
      uint32_t c = canopy_dark;
      if ((x * 3 + y * 5) % 11 < 3) c = canopy;
      if ((x * 7 + y * 3) % 23 == 0) c = leaf;
      if (y >= bottom - 2) c = dither(x, y, 0.5) ? canopy : canopy_dark;
      p.set(x, y, c);
    }
  }
}

} // namespace

Picture landscape_draw(const Palette& pal) {
  Picture p = picture_make("urth", W, H, 0);
  p.kind = PNG_RGB;
  Rng rng{0x5EED1234u};

  for (int x = 0; x < W; x++)
    for (int y = 0; y < LINE; y++) p.set(x, y, sky(x, y));

  // The sun over the sunlit stretch, with a dithered halo.
  uint32_t sun = pal.at('Y'), rim = pal.at('y');
  for (int y = 0; y < 50; y++)
    for (int x = 590; x < 720; x++) {
      double d = std::hypot(x - 655.0, y - 16.0);
      if (d < 9)
        p.set(x, y, sun);
      else if (d < 10.5)
        p.set(x, y, rim);
      else if (d < 24 && dither(x, y, (24 - d) / 20 * 0.6))
        p.set(x, y, mix(p.at(x, y), sun, 0.5));
    }

  // Clouds, greyer over the moor.
  const int clouds[][3] = {{40, 18, 34},   {150, 30, 22},  {260, 14, 40},  {380, 26, 26},
                           {470, 34, 30},  {540, 12, 20},  {1080, 20, 44}, {1190, 32, 30},
                           {1260, 12, 36}, {1360, 24, 28}, {1470, 16, 40}, {1560, 30, 24}};
  for (const auto& c : clouds) {
    bool grey = c[0] > MOOR_START;
    cloud(p, c[0], c[1], c[2], grey ? rgb(222, 226, 236) : pal.at('x'),
          grey ? rgb(170, 176, 196) : rgb(200, 214, 236), rng);
  }

  // Far hills, rising in the east into snowy peaks.
  const uint32_t far_hills[] = {rgb(118, 170, 176), rgb(186, 178, 128), rgb(96, 140, 120),
                                rgb(122, 124, 156), rgb(150, 162, 196)};
  for (int x = 0; x < W; x++) {
    double w = blend(x, WINTER_START - 40, 160);
    double top = hills_far(x) * (1 - w) + peaks(x) * w;
    uint32_t c = by_stretch(x, far_hills);
    for (int y = (int)top; y < LINE; y++)
      p.set(x, y, w > 0.6 && y < top + 7 - (x % 3) ? pal.at('x') : c);
  }

  // Near hills with their own tint per stretch; heather on the moor.
  const uint32_t near_hills[] = {rgb(84, 156, 74), rgb(206, 178, 82), rgb(60, 110, 70),
                                 rgb(112, 100, 104), rgb(214, 226, 240)};
  const uint32_t heather = rgb(130, 86, 124);
  for (int x = 0; x < W; x++) {
    double top = hills_near(x);
    uint32_t c = by_stretch(x, near_hills);
    bool moor = x > MOOR_START && x < WINTER_START - 30;
    for (int y = (int)top; y < LINE; y++) {
      uint32_t v = c;
      if (y == (int)top)
        v = mix(c, pal.at('x'), 0.25);
      else if (moor && std::sin(x * 0.13 + y * 0.7) + std::sin(x * 0.05) > 0.9)
        v = heather;
      p.set(x, y, v);
    }
  }

  // Meadow trees and wheat in the sun.
  for (int x = 20; x < MEADOW_END - 30; x += 46 + rng.below(40))
    round_tree(p, x, 86 + rng.below(4), 5 + rng.below(4), pal);
  for (int x = MEADOW_END + 10; x < WOOD_START - 40; x++) {
    int h = 4 + (int)(2 * std::sin(x * 0.8)) + rng.below(2);
    for (int y = LINE - h; y < LINE; y++)
      p.set(x, y, y == LINE - h ? pal.at('y') : (x % 2 ? pal.at('t') : rgb(196, 150, 70)));
  }
  // A wooden fence along the field.
  for (int x = MEADOW_END + 40; x < MEADOW_END + 150; x++) {
    if (x % 12 == 0)
      for (int y = LINE - 9; y < LINE; y++) p.set(x, y, pal.at('W'));
    p.set(x, LINE - 7, pal.at('w'));
    p.set(x, LINE - 4, pal.at('w'));
  }

  wood(p, pal, rng);

  // The moor: rocks and bare trees.
  for (int x = MOOR_START + 20; x < WINTER_START + 10; x += 38 + rng.below(30))
    bare_tree(p, x, LINE, 12 + rng.below(8), pal, rng);
  for (int x = MOOR_START + 8; x < WINTER_START; x += 29 + rng.below(25)) {
    circle(p, x, LINE - 1, 3 + rng.below(2), pal.at('C'));
    circle(p, x - 1, LINE - 2, 2, pal.at('c'));
  }

  // Winter: pines and falling snow.
  for (int x = WINTER_START + 6; x < W; x += 24 + rng.below(26))
    pine(p, x, LINE - 2 - rng.below(3), 14 + rng.below(10), true, pal);
  for (int i = 0; i < 260; i++) {
    int x = WINTER_START - 60 + rng.below(W - WINTER_START + 60), y = rng.below(LINE - 4);
    if (x < WINTER_START && rng.below(WINTER_START - x + 1) > 8) continue;
    p.set(x, y, pal.at('x'));
  }

  ground(p, pal, rng);
  chasm(p, pal, rng);
  return p;
}

Picture sunlight_draw(const Palette& pal) {
  Picture p = picture_make("lite", 48, 120, KEY);
  p.kind = PNG_PALETTE;
  // Three rays slanting down to the west, thicker in their middles.
  const double rays[][2] = {{6, 7}, {20, 10}, {37, 6}};
  for (int y = 0; y < p.height; y++)
    for (int x = 0; x < p.width; x++) {
      double u = x - (p.height - y) * 0.22; // distance along the slant
      double fade = y > LINE - 8 ? (LINE + 2 - y) / 10.0 : y < 10 ? y / 10.0 : 1;
      for (const auto& r : rays) {
        double across = u - (r[0] - 26);
        if (across < 0 || across > r[1]) continue;
        double core = 1 - std::fabs(across / r[1] * 2 - 1);
        double t = (0.18 + 0.35 * core) * fade;
        if (dither(x, y, t))
          p.set(x, y, core > 0.7 && (x + y) % 7 == 0 ? pal.at('x') : pal.at('Y'));
      }
    }
  return p;
}
