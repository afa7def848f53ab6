#include "runtime/platform/read_stream.h"

#include <cstring>

int read_stream_whole(FILE* f, uint64_t size, const char* signature, std::vector<uint8_t>* out) {
  out->clear();
  int ok = 1;
  if (signature) {
    const size_t n = std::strlen(signature);
    char head[16];
    ok = n <= sizeof head && fread(head, 1, n, f) == n && std::memcmp(head, signature, n) == 0 &&
         fseek(f, 0, SEEK_SET) == 0;
  }
  if (ok) {
    out->resize((size_t)size);
    ok = out->empty() || fread(out->data(), 1, out->size(), f) == out->size();
  }
  fclose(f);
  if (!ok) out->clear();
  return ok;
}
