#include "runtime/image/picture_cache.h"

#include "runtime/platform/plat_core.h"

#include <cstring>

// The file: the magic, the hash of everything after it, then the decoder's
// identity and the pictures. Numbers are little-endian. A picture: its name,
// file size and hash, width, height, depth and file depth, then one byte a row
// (1: the same as the row above, which is not kept again) and the rows kept.
static const char magic[8] = {'Q', 'P', 'I', 'C', 'S', '\r', '\n', 1};

uint64_t picture_cache_hash(const void* bytes, size_t n) {
  // Eight bytes a step, each step mixed through a multiply and a shift.
  const uint8_t* p = (const uint8_t*)bytes;
  uint64_t h = 0x9E3779B97F4A7C15ull ^ n;
  for (; n >= 8; n -= 8, p += 8) {
    uint64_t w;
    std::memcpy(&w, p, 8); // in the machine's own order: files are read where they were written
    h = (h ^ w) * 0xFF51AFD7ED558CCDull;
    h ^= h >> 32;
  }
  for (; n; n--, p++) h = (h ^ *p) * 0x100000001B3ull;
  h ^= h >> 29;
  return h * 0xC4CEB9FE1A85EC53ull;
}

// Reads numbers and bytes off the file, refusing to read past its end.
struct Reader {
  const uint8_t* at;
  const uint8_t* end;
  bool bad = false;
  uint64_t number(int bytes) {
    if (end - at < bytes) {
      bad = true;
      return 0;
    }
    uint64_t v = 0;
    for (int i = 0; i < bytes; i++) v |= (uint64_t)at[i] << (8 * i);
    at += bytes;
    return v;
  }
  const uint8_t* take(size_t n) {
    if ((size_t)(end - at) < n) {
      bad = true;
      return nullptr;
    }
    const uint8_t* p = at;
    at += n;
    return p;
  }
};

static void put(std::vector<uint8_t>* out, uint64_t v, int bytes) {
  for (int i = 0; i < bytes; i++) out->push_back((uint8_t)(v >> (8 * i)));
}

int picture_cache_read(const char* name, std::vector<CachedPicture>* out) {
  out->clear();
  std::vector<uint8_t> file;
  if (!plat_read_file(name, &file, PLAT_MAX_FILE_BYTES) || file.size() < sizeof magic + 8 ||
      std::memcmp(file.data(), magic, sizeof magic) != 0)
    return 0;
  Reader r{file.data() + sizeof magic, file.data() + file.size()};
  const uint64_t hash = r.number(8);
  if (picture_cache_hash(r.at, (size_t)(r.end - r.at)) != hash) return 0;
  const std::string identity = png_decoder_identity();
  const size_t identity_length = (size_t)r.number(2);
  const uint8_t* id = r.take(identity_length);
  if (r.bad || identity_length != identity.size() ||
      std::memcmp(id, identity.data(), identity_length))
    return 0;
  std::vector<CachedPicture> pictures;
  for (uint64_t count = r.number(4); count && !r.bad; count--) {
    CachedPicture p;
    const size_t name_length = (size_t)r.number(2);
    const uint8_t* n = r.take(name_length);
    if (r.bad) return 0;
    p.name.assign((const char*)n, name_length);
    p.size = r.number(8);
    p.hash = r.number(8);
    p.info.width = (int)r.number(4);
    p.info.height = (int)r.number(4);
    p.info.depth = (int)r.number(4);
    p.info.file_depth = (int)r.number(4);
    if (r.bad || p.info.width < 1 || p.info.height < 1 || p.info.width > CODEC_MAX_SIDE ||
        p.info.height > CODEC_MAX_SIDE ||
        (int64_t)p.info.width * p.info.height > CODEC_MAX_PIXELS ||
        (p.info.depth != 24 && p.info.depth != 32))
      return 0;
    const size_t row = codec_pixel_bytes(p.info.width, p.info.depth);
    const uint8_t* alike = r.take((size_t)p.info.height);
    if (r.bad || alike[0] != 0) return 0;
    p.rows.resize(row * (size_t)p.info.height);
    for (int j = 0; j < p.info.height; j++) {
      uint8_t* to = p.rows.data() + row * (size_t)j;
      if (alike[j] == 1) {
        std::memcpy(to, to - row, row);
      } else if (const uint8_t* kept = alike[j] == 0 ? r.take(row) : nullptr) {
        std::memcpy(to, kept, row);
      } else {
        return 0;
      }
    }
    pictures.push_back(std::move(p));
  }
  if (r.bad || r.at != r.end) return 0;
  out->swap(pictures);
  return 1;
}

int picture_cache_write(const char* name, const std::vector<CachedPicture>& pictures) {
  std::vector<uint8_t> body;
  const std::string identity = png_decoder_identity();
  put(&body, identity.size(), 2);
  body.insert(body.end(), identity.begin(), identity.end());
  put(&body, pictures.size(), 4);
  for (const CachedPicture& p : pictures) {
    const size_t row = codec_pixel_bytes(p.info.width, p.info.depth);
    if (p.name.size() > 0xFFFF || p.rows.size() != row * (size_t)p.info.height) return 0;
    put(&body, p.name.size(), 2);
    body.insert(body.end(), p.name.begin(), p.name.end());
    put(&body, p.size, 8);
    put(&body, p.hash, 8);
    for (int v : {p.info.width, p.info.height, p.info.depth, p.info.file_depth})
      put(&body, (uint32_t)v, 4);
    const size_t flags = body.size();
    body.resize(flags + (size_t)p.info.height);
    for (int j = 0; j < p.info.height; j++) {
      const uint8_t* from = p.rows.data() + row * (size_t)j;
      body[flags + (size_t)j] = j && std::memcmp(from, from - row, row) == 0;
      if (!body[flags + (size_t)j]) body.insert(body.end(), from, from + row);
    }
  }
  std::vector<uint8_t> head(magic, magic + sizeof magic);
  put(&head, picture_cache_hash(body.data(), body.size()), 8);
  PlatWriteFile f;
  if (!plat_write_begin(&f, name)) return 0;
  const bool ok = fwrite(head.data(), 1, head.size(), f.file) == head.size() &&
                  fwrite(body.data(), 1, body.size(), f.file) == body.size();
  return plat_write_end(&f, ok);
}
