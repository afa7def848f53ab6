// Any bytes through the PNG decoder, from memory, in both row orders.
#include "runtime/image/codecs.h"

#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static int ready = (png_decoder_register(), 1);
  (void)ready;
  DecodeInfo info;
  if (!decode_open_memory(data, size, &info)) return 0;
  // The decoder allows pictures up to its caps; keep each run small and quick.
  if ((long long)info.width * info.height > (1 << 22)) {
    decode_close();
    return 0;
  }
  const int row_size = info.width * (info.depth / 8);
  std::vector<uint8_t> rows((size_t)row_size * info.height);
  decode_rows(rows.data(), row_size, size & 1 ? ROWS_BOTTOM_UP : 0);
  return 0;
}
