// Decoded pictures kept in one file between starts, so that a warm start reads
// rows instead of decoding them. Each picture is kept under its file name with
// the size and a hash of the bytes it was decoded from, so it stands only for
// those very bytes; the file as a whole carries the identity of the decoder
// and a hash of its contents, so a file written by another decoder, or
// damaged anyhow, gives nothing.
#pragma once

#include "runtime/image/codecs.h"

#include <cstdint>
#include <string>
#include <vector>

struct CachedPicture {
  std::string name;          // the file name it was decoded from, as asked for
  uint64_t size, hash;       // that file's size and picture_cache_hash of its bytes
  DecodeInfo info;           // its description
  std::vector<uint8_t> rows; // codec_pixel_bytes(width, depth) bytes a row, top row first
};

// A hash of bytes: what a cached picture is matched with.
uint64_t picture_cache_hash(const void* bytes, size_t n);
// The pictures kept in the file, all or none: 0 (and none) when the file is
// missing, not a regular file, written by another decoder, or damaged.
int picture_cache_read(const char* name, std::vector<CachedPicture>* out);
// Writes the pictures (rows as described) in place of the file; 0 when it
// cannot be written, the old file then left as it was.
int picture_cache_write(const char* name, const std::vector<CachedPicture>& pictures);
