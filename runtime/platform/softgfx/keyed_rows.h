// The software device's keyed draw of opaque runs, in the shape it keeps a
// texture's runs: written once, built for the vectors every machine has and,
// by the file its machine's build adds (keyed_rows_*.cpp), for wider ones.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

// A stretch of texels in one row that a keyed draw treats alike, and where its
// texels are kept packed.
struct KeyedRun {
  uint16_t start;  // its first texel's column
  uint16_t length; // texels (SURFACE_MAX_SIDE fits in 15 bits); bit 15: partly transparent
  uint32_t at;     // its first texel in KeyedRows::packed
};
enum : uint16_t { RUN_BLENDED = 0x8000 };

// A row's runs, runs[first] up to runs[end], and how many rows from it down
// have the same texels (itself included): a draw copies each run into all of
// them at once.
struct RowRuns {
  uint32_t first, end;
  uint32_t alike;
};

// What a keyed draw reads of a texture with no partly transparent texels.
struct KeyedRows {
  const RowRuns* rows;    // one a row
  const KeyedRun* runs;   // every distinct row's runs, top row first
  const uint32_t* packed; // the texels of every run
  int width;              // the texture's
};

// Copies the runs of rows ty to stop - 1, texels tx to right - 1 of each,
// texel (tx, ty) onto the pixel at dst, rows pitch bytes apart.
typedef void KeyedRowsCopy(const KeyedRows* k, uint8_t* dst, size_t pitch, int ty, int stop, int tx,
                           int right);

// The copy with vectors of the widest kind this machine has, when they are
// wider than 16 bytes; null otherwise.
KeyedRowsCopy* keyed_rows_copy_wide();

#define KEYED_ROWS_INLINE __attribute__((always_inline)) inline

// Copies n texels (n above 0) into each of the K rows (k when K is 0) from to
// down, pitch bytes apart: W bytes a step (16 or 32), each read once for all
// the rows, the last step ending exactly at the end (overlapping the one
// before), so there is no tail loop and no call. Four rows are written out in
// full: the compiler would keep the loop over them.
template <int K, int W>
KEYED_ROWS_INLINE void keyed_copy_texels(uint8_t* to, size_t pitch, int k, const uint32_t* texels,
                                         size_t n) {
  typedef uint32_t Texels4 __attribute__((vector_size(16)));
  typedef uint32_t Texels8 __attribute__((vector_size(32)));
  const uint8_t* from = (const uint8_t*)texels;
  const size_t bytes = 4 * n;
  uint8_t *r0 = to, *r1 = to + pitch, *r2 = r1 + pitch, *r3 = r2 + pitch;
  auto put = [&](size_t at, const void* v, size_t size) {
    if (K == 4) {
      std::memcpy(r0 + at, v, size);
      std::memcpy(r1 + at, v, size);
      std::memcpy(r2 + at, v, size);
      std::memcpy(r3 + at, v, size);
    } else {
      for (int r = 0; r < (K ? K : k); r++) std::memcpy(to + r * pitch + at, v, size);
    }
  };
  if (W == 32 && bytes >= 32) {
    Texels8 v;
    for (size_t i = 0; i + 32 < bytes; i += 32) {
      std::memcpy(&v, from + i, 32);
      put(i, &v, 32);
    }
    std::memcpy(&v, from + bytes - 32, 32);
    put(bytes - 32, &v, 32);
  } else if (bytes >= 16) {
    Texels4 v;
    for (size_t i = 0; i + 16 < bytes; i += 16) {
      std::memcpy(&v, from + i, 16);
      put(i, &v, 16);
    }
    std::memcpy(&v, from + bytes - 16, 16);
    put(bytes - 16, &v, 16);
  } else if (bytes >= 8) {
    uint64_t a, b;
    std::memcpy(&a, from, 8);
    std::memcpy(&b, from + bytes - 8, 8);
    put(0, &a, 8);
    put(bytes - 8, &b, 8);
  } else {
    uint32_t a;
    std::memcpy(&a, from, 4);
    put(0, &a, 4);
  }
}

// Copies the opaque runs of one row into K rows (k when K is 0), the pixel of
// texel tx at to; when Cut, only texels tx to right - 1.
template <int K, bool Cut, int W>
KEYED_ROWS_INLINE void keyed_copy_runs(uint8_t* to, size_t pitch, int k, const KeyedRun* run,
                                       const KeyedRun* end, const uint32_t* packed, int tx,
                                       int right) {
  for (; run < end; run++) {
    if (!Cut) {
      keyed_copy_texels<K, W>(to + 4 * (size_t)run->start, pitch, k, packed + run->at, run->length);
      continue;
    }
    const int a = run->start < tx ? tx : run->start;
    const int b = run->start + run->length > right ? right : run->start + run->length;
    if (a < b)
      keyed_copy_texels<K, W>(to + 4 * (size_t)(a - tx), pitch, k,
                              packed + run->at + (a - run->start), (size_t)(b - a));
  }
}

template <bool Cut, int W>
KEYED_ROWS_INLINE void keyed_copy_rows(const KeyedRows* t, uint8_t* dst, size_t pitch, int ty,
                                       int stop, int tx, int right) {
  for (int j = ty; j < stop;) {
    const RowRuns& row = t->rows[j];
    int k = (int)row.alike < stop - j ? (int)row.alike : stop - j;
    const KeyedRun *first = t->runs + row.first, *end = t->runs + row.end;
    j += k;
    for (; k >= 4; k -= 4, dst += 4 * pitch)
      keyed_copy_runs<4, Cut, W>(dst, pitch, 4, first, end, t->packed, tx, right);
    if (k == 1)
      keyed_copy_runs<1, Cut, W>(dst, pitch, 1, first, end, t->packed, tx, right);
    else if (k)
      keyed_copy_runs<0, Cut, W>(dst, pitch, k, first, end, t->packed, tx, right);
    dst += k * pitch;
  }
}

// The whole copy, W bytes a step: each run into every row like its own at
// once (art scaled by four has them four by four), cut runs by the edges only
// when the texture is cut.
template <int W>
KEYED_ROWS_INLINE void keyed_rows_copy(const KeyedRows* t, uint8_t* dst, size_t pitch, int ty,
                                       int stop, int tx, int right) {
  if (tx == 0 && right == t->width)
    keyed_copy_rows<false, W>(t, dst, pitch, ty, stop, tx, right);
  else
    keyed_copy_rows<true, W>(t, dst, pitch, ty, stop, tx, right);
}
