#include "runtime/platform/bmp_file.h"

#include <algorithm>
#include <cstring>

static uint32_t u32_at(const uint8_t* p) {
  return p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}
static uint16_t u16_at(const uint8_t* p) { return (uint16_t)(p[0] | p[1] << 8); }

// A bit field must be one run of set bits (or empty).
static int mask_ok(uint32_t m) {
  if (!m) return 1;
  while (!(m & 1)) m >>= 1;
  return (m & (m + 1)) == 0;
}

int bmp_parse(const uint8_t* data, size_t size, BmpInfo* info) {
  if (!data || size < 26 || data[0] != 'B' || data[1] != 'M' || u16_at(data + 6) ||
      u16_at(data + 8))
    return 0;
  BmpInfo b{};
  uint32_t header = u32_at(data + 14);
  if (header < 12 || header > size - 14 || (header > 12 && header < 16)) return 0;
  long long width, height;
  int planes;
  uint32_t colours_used = 0;
  if (header == 12) {
    width = u16_at(data + 18);
    height = u16_at(data + 20);
    planes = u16_at(data + 22);
    b.bits = u16_at(data + 24);
    b.palette_stride = 3;
  } else {
    width = (int32_t)u32_at(data + 18);
    height = (int32_t)u32_at(data + 22);
    planes = u16_at(data + 26);
    b.bits = u16_at(data + 28);
    b.compression = header >= 20 ? (int)u32_at(data + 30) : 0;
    colours_used = header >= 36 ? u32_at(data + 46) : 0;
    b.palette_stride = 4;
  }
  if (height < 0) b.top_down = 1, height = -height;
  if (planes != 1 || width < 1 || height < 1 || width > BMP_MAX_SIDE || height > BMP_MAX_SIDE ||
      width * height > BMP_MAX_PIXELS)
    return 0;
  b.width = (int)width;
  b.height = (int)height;

  switch (b.bits) {
  case 1:
  case 4:
  case 8:
  case 16:
  case 24:
  case 32: break;
  default: return 0;
  }
  switch (b.compression) {
  case 0: break;
  // Run-length streams are always stored bottom row first.
  case 1:
    if (b.bits != 8 || b.top_down) return 0;
    break;
  case 2:
    if (b.bits != 4 || b.top_down) return 0;
    break;
  case 3:
    // The three masks follow a 40-byte header or sit inside a longer one: at 54 either way.
    if ((b.bits != 16 && b.bits != 32) || header < 40 || size < 66) return 0;
    b.masks[2] = u32_at(data + 54);
    b.masks[1] = u32_at(data + 58);
    b.masks[0] = u32_at(data + 62);
    break;
  default: return 0;
  }
  if (b.compression != 3) {
    if (b.bits == 16) b.masks[2] = 0x7C00, b.masks[1] = 0x03E0, b.masks[0] = 0x001F;
    if (b.bits == 32) b.masks[2] = 0xFF0000, b.masks[1] = 0xFF00, b.masks[0] = 0xFF;
  }
  for (uint32_t m : b.masks)
    if (!mask_ok(m)) return 0;

  if (b.bits <= 8) {
    b.palette_offset = 14 + (size_t)header;
    uint32_t wanted = 1u << b.bits;
    if (colours_used && colours_used < wanted) wanted = colours_used;
    size_t present = (size - b.palette_offset) / b.palette_stride;
    b.palette_entries = (int)(present < wanted ? present : wanted);
  }

  b.data_offset = u32_at(data + 10);
  if (b.data_offset >= size) return 0;
  if (b.compression == 0 || b.compression == 3) {
    unsigned long long row = ((unsigned long long)b.width * b.bits + 31) / 32 * 4;
    if (row * b.height > size - b.data_offset) return 0;
  }
  *info = b;
  return 1;
}

struct Channel {
  uint32_t mask;
  int shift, bits;
};

static Channel channel_of(uint32_t mask) {
  Channel c{mask, 0, 0};
  if (!mask) return c;
  while (!((mask >> c.shift) & 1)) c.shift++;
  while (c.shift + c.bits < 32 && ((mask >> (c.shift + c.bits)) & 1)) c.bits++;
  return c;
}

// The top 8 bits of a field; narrower fields are shifted up (5 bits: times 8).
static uint8_t channel_value(const Channel& c, uint32_t v) {
  if (!c.bits) return 0;
  uint32_t x = (v & c.mask) >> c.shift;
  return (uint8_t)(c.bits <= 8 ? x << (8 - c.bits) : x >> (c.bits - 8));
}

struct RowWriter {
  const BmpInfo* info;
  uint8_t* dest;
  int row_size;
  int bottom_up;
  // The destination row of a file row (file rows count from the bottom unless top-down).
  uint8_t* row(int file_y) const {
    int picture_y = info->top_down ? file_y : info->height - 1 - file_y;
    int dest_y = bottom_up ? info->height - 1 - picture_y : picture_y;
    return dest + (size_t)dest_y * row_size;
  }
};

// Run-length streams: (n, i) repeats i n times; 0 then 0 ends a line, 1 the
// picture, 2 moves right and up by the next two bytes, n >= 3 copies n literal
// indexes padded to an even byte count. Nothing lands outside the picture.
// 0 when the data runs out before the picture is ended or its last line passed:
// a file cut short, whose missing rows must not pass for black ones.
static int decode_rle(const BmpInfo* info, const uint8_t* data, size_t size, const RowWriter& out,
                      const uint8_t colours[256][3]) {
  const int nibbles = info->compression == 2;
  const int w = info->width, h = info->height;
  size_t p = info->data_offset;
  int x = 0, y = 0;
  auto put = [&](int index) {
    if (x < w && y < h) std::memcpy(out.row(y) + (size_t)x * 3, colours[index], 3);
    x++;
  };
  while (y < h) {
    if (size - p < 2) return 0;
    int n = data[p], v = data[p + 1];
    p += 2;
    if (n) {
      if (x >= w) continue; // the rest of an overlong run would leave the row
      for (int k = 0; k < n && x < w; k++) put(nibbles ? (k & 1 ? v & 15 : v >> 4) : v);
    } else if (v == 0) {
      x = 0, y++;
    } else if (v == 1) {
      return 1;
    } else if (v == 2) {
      if (size - p < 2) return 0;
      x += data[p], y += data[p + 1];
      p += 2;
    } else {
      size_t bytes = nibbles ? ((size_t)v + 1) / 2 : (size_t)v;
      if (size - p < bytes) return 0;
      for (int k = 0; k < v; k++) {
        int b = data[p + (nibbles ? k / 2 : k)];
        if (x < w) put(nibbles ? (k & 1 ? b & 15 : b >> 4) : b);
      }
      // A missing pad byte after the last literals is the end of the data.
      p = std::min(p + bytes + (bytes & 1), size);
    }
  }
  return 1;
}

int bmp_decode(const BmpInfo* info, const uint8_t* data, size_t size, uint8_t* dest, int row_size,
               int bottom_up, int fixed_mono) {
  if (!info || !data || !dest || row_size < 0 || (size_t)row_size < (size_t)info->width * 3)
    return 0;
  const int w = info->width, h = info->height;
  RowWriter out{info, dest, row_size, bottom_up};

  uint8_t colours[256][3] = {};
  for (int i = 0; i < info->palette_entries; i++) {
    const uint8_t* e = data + info->palette_offset + (size_t)i * info->palette_stride;
    std::memcpy(colours[i], e, 3);
  }
  if (info->bits == 1 && fixed_mono) {
    std::memset(colours[0], 0, 3);
    std::memset(colours[1], 255, 3);
  }

  if (info->compression == 1 || info->compression == 2) {
    for (int y = 0; y < h; y++) std::memset(dest + (size_t)y * row_size, 0, (size_t)w * 3);
    return decode_rle(info, data, size, out, colours);
  }

  const size_t file_row = ((size_t)w * info->bits + 31) / 32 * 4;
  Channel blue = channel_of(info->masks[0]), green = channel_of(info->masks[1]),
          red = channel_of(info->masks[2]);
  for (int y = 0; y < h; y++) {
    const uint8_t* s = data + info->data_offset + (size_t)y * file_row;
    uint8_t* d = out.row(y);
    for (int x = 0; x < w; x++, d += 3) {
      int index;
      switch (info->bits) {
      case 1: index = s[x >> 3] >> (7 - (x & 7)) & 1; break;
      case 4: index = s[x >> 1] >> (x & 1 ? 0 : 4) & 15; break;
      case 8: index = s[x]; break;
      case 24: std::memcpy(d, s + (size_t)x * 3, 3); continue;
      default: {
        uint32_t v = info->bits == 16 ? u16_at(s + (size_t)x * 2) : u32_at(s + (size_t)x * 4);
        d[0] = channel_value(blue, v);
        d[1] = channel_value(green, v);
        d[2] = channel_value(red, v);
        continue;
      }
      }
      std::memcpy(d, colours[index], 3);
    }
  }
  return 1;
}
