// Any bytes through the BMP decoder, in both row orders and with the colour
// table honoured (the bitmap store's loading) or not (the registry's decoder).
#include "runtime/image/codecs.h"
#include "runtime/platform/bmp_file.h"

#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static int ready = (bmp_decoder_register(), 1);
  (void)ready;
  DecodeInfo info;
  if (!decode_open_memory(data, size, &info)) return 0;
  // The decoder allows pictures up to its caps; keep each run small and quick.
  if ((long long)info.width * info.height > (1 << 22)) {
    decode_close();
    return 0;
  }
  const int row_size = (info.width * 3 + 3) & ~3;
  std::vector<uint8_t> rows((size_t)row_size * info.height);
  decode_rows(rows.data(), row_size, size & 1 ? ROWS_BOTTOM_UP : 0);
  BmpInfo bmp;
  if (bmp_parse(data, size, &bmp)) bmp_decode(&bmp, data, size, rows.data(), row_size, 1, 0);
  return 0;
}
