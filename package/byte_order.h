// Little-endian fields of the package and of PE images, read and written
// byte by byte so that neither alignment nor the host's order matters.
// Compiles without windows.h.
#pragma once

#include <stdint.h>

inline uint16_t le16_get(const unsigned char* p) {
  return static_cast<uint16_t>(p[0] | p[1] << 8);
}

inline uint32_t le32_get(const unsigned char* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

inline void le32_put(unsigned char* p, uint32_t v) {
  p[0] = static_cast<unsigned char>(v);
  p[1] = static_cast<unsigned char>(v >> 8);
  p[2] = static_cast<unsigned char>(v >> 16);
  p[3] = static_cast<unsigned char>(v >> 24);
}
