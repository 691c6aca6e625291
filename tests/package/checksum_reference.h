// The package checksum by its definition, one table lookup per byte: the
// yardstick the tests, the fuzzer and the benchmark hold the product's
// faster form against.
#pragma once

#include <stddef.h>
#include <stdint.h>

// Table entry n is n shifted right eight times, each shift followed by an
// exclusive-or with 0xEDB88320 when a 1 was shifted out; the register starts
// where the caller says.
inline uint32_t ChecksumReference(uint32_t r, const unsigned char* p, size_t n) {
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
