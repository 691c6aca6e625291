// Fuzzes the PE walks: the ones that find the version resource (over the
// bytes in memory, and through a reader as the Installer reads the file
// version of a module) and the one that judges a module by its exports.
// Any bytes as a file, nothing read outside them, and what is found lies
// inside them.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "package/pe_image.h"

namespace {

struct Input {
  const uint8_t* data;
  size_t size;
};

// Reads from the input only; a read past its end gives fewer bytes.
uint32_t Read(void* context, uint32_t offset, void* out, uint32_t count) {
  const Input* in = static_cast<const Input*>(context);
  if (offset >= in->size) return 0;
  size_t n = in->size - offset < count ? in->size - offset : count;
  memcpy(out, in->data + offset, n);
  return static_cast<uint32_t>(n);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Input input{data, size};
  PeReader reader{Read, &input};
  int judged = pe_module_check(reader, 0x8664, "DllUnregisterServer");
  if (judged < PE_MODULE_OK || judged > PE_MODULE_NO_EXPORT) abort();
  // The fixed part found through the reader is the 52 bytes at its offset.
  uint32_t at = 0, ms = 0, ls = 0;
  uint8_t found[VERSION_FIXED_SIZE];
  if (pe_version_find(reader, 0x411, &at, found) &&
      (at > size || size - at < VERSION_FIXED_SIZE || memcmp(data + at, found, sizeof found) != 0))
    abort();
  if (pe_file_version(reader, &ms, &ls) != pe_version_find(reader, 0, &at, found)) abort();
  uint32_t rva = 0, offset = 0, data_rva = 0, data_size = 0, block = 0;
  PeSection s{};
  if (!pe_resource_section(data, size, &rva, &s)) return 0;
  if (!pe_file_offset(s, rva, 0, &offset) || offset > size) return 0;
  size_t inside = rva - s.virtual_address;
  size_t length = size - offset;
  if (s.raw_size - inside < length) length = s.raw_size - inside;
  if (!pe_resource_data(data + offset, length, 16, 1, 0x411, &data_rva, &data_size)) return 0;
  if (!pe_file_offset(s, data_rva, data_size, &block)) return 0;
  if (block > size || data_size > size - block) return 0;
  size_t fixed = 0;
  if (!version_fixed_offset(data + block, data_size, &fixed)) return 0;
  if (fixed + VERSION_FIXED_SIZE > data_size) abort();
  return 0;
}
