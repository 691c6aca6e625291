// The package checksum, eight bytes a step.
//
// Table 0 is the reflected CRC-32 table of 0xEDB88320; table k gives the
// effect of a byte followed by k zero bytes, so eight lookups fold eight
// bytes into the register at once ("slicing by eight"). The result is the
// same as one table-0 lookup per byte, for every input and every split.
//
// The tables are built when the program starts (8 KiB of zero-initialised
// data, nothing in the image), before any thread of the program exists.
#include "package/checksum.h"

#include <stddef.h>

#include "package/byte_order.h"

namespace {

const uint32_t kPolynomial = 0xEDB88320u;

// Zero-initialised, so that it takes no room in the image, and filled
// before main.
uint32_t g_tables[8][256];

void TablesBuild() {
  for (uint32_t n = 0; n < 256; ++n) {
    uint32_t r = n;
    for (int bit = 0; bit < 8; ++bit) r = (r & 1) ? (r >> 1) ^ kPolynomial : r >> 1;
    g_tables[0][n] = r;
  }
  for (int k = 1; k < 8; ++k)
    for (int n = 0; n < 256; ++n)
      g_tables[k][n] = (g_tables[k - 1][n] >> 8) ^ g_tables[0][g_tables[k - 1][n] & 0xFF];
}

struct TablesAtStart {
  TablesAtStart() { TablesBuild(); }
} g_tables_at_start;


}  // namespace

uint32_t checksum_update(uint32_t start, const void* bytes, int count) {
  if (!bytes || count <= 0) return start;
  if (!g_tables[0][1]) TablesBuild();  // called by a constructor before ours ran
  const uint32_t(*t)[256] = g_tables;
  const unsigned char* p = static_cast<const unsigned char*>(bytes);
  size_t n = static_cast<size_t>(count);
  uint32_t r = start;
  for (; n >= 8; n -= 8, p += 8) {
    uint32_t lo = r ^ le32_get(p);
    uint32_t hi = le32_get(p + 4);
    r = t[7][lo & 0xFF] ^ t[6][(lo >> 8) & 0xFF] ^ t[5][(lo >> 16) & 0xFF] ^ t[4][lo >> 24] ^
        t[3][hi & 0xFF] ^ t[2][(hi >> 8) & 0xFF] ^ t[1][(hi >> 16) & 0xFF] ^ t[0][hi >> 24];
  }
  for (; n; --n, ++p) r = (r >> 8) ^ t[0][(r ^ *p) & 0xFF];
  return r;
}
