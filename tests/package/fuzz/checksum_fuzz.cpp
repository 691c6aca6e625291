// Fuzzes the eight-bytes-a-step checksum against the one-byte-per-step
// definition, over the whole input and split at a point the input chooses.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>

#include "package/checksum.h"

namespace {

uint32_t Reference(uint32_t r, const uint8_t* p, size_t n) {
  static uint32_t table[256];
  if (!table[1]) {
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t v = i;
      for (int k = 0; k < 8; ++k) v = (v & 1) ? (v >> 1) ^ 0xEDB88320u : v >> 1;
      table[i] = v;
    }
  }
  for (size_t i = 0; i < n; ++i) r = (r >> 8) ^ table[(r ^ p[i]) & 0xFF];
  return r;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  uint32_t start = data[0] | data[1] << 8;
  size_t split = (data[2] | data[3] << 8) % size;
  const uint8_t* p = data + 4;
  size_t n = size - 4;
  split = split > n ? n : split;
  uint32_t whole = checksum_update(start, p, static_cast<int>(n));
  if (whole != Reference(start, p, n)) abort();
  uint32_t first = checksum_update(start, p, static_cast<int>(split));
  if (checksum_update(first, p + split, static_cast<int>(n - split)) != whole) abort();
  return 0;
}
