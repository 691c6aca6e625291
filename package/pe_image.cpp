// Walking the headers and the resource directory of a PE image in bytes.
#include "package/pe_image.h"

namespace {

const uint32_t kPeSignature = 0x00004550u;    // "PE\0\0"
const uint32_t kFixedSignature = 0xFEEF04BDu;
const uint16_t kMagicPe32 = 0x10B;
const uint16_t kMagicPe32Plus = 0x20B;
const uint32_t kResourceDirectory = 2;         // index among the data directories
const uint32_t kHighBit = 0x80000000u;

// Reads little-endian values at an offset only when they lie inside the bytes.
struct Bytes {
  const uint8_t* p;
  size_t n;

  bool has(size_t offset, size_t size) const { return offset <= n && size <= n - offset; }
  uint16_t u16(size_t o) const { return static_cast<uint16_t>(p[o] | p[o + 1] << 8); }
  uint32_t u32(size_t o) const {
    return static_cast<uint32_t>(p[o]) | static_cast<uint32_t>(p[o + 1]) << 8 |
           static_cast<uint32_t>(p[o + 2]) << 16 | static_cast<uint32_t>(p[o + 3]) << 24;
  }
};

// The entries of the directory at offset: named entries first, then those
// with numeric identifiers. Gives the target (data entry or subdirectory
// offset, with the high bit telling which) of the numeric id, or of the
// only numeric entry when any_single is set and id is not there.
bool DirectoryEntry(const Bytes& b, uint32_t offset, uint32_t id, bool any_single,
                    uint32_t* target) {
  if (!b.has(offset, 16)) return false;
  uint32_t named = b.u16(offset + 12);
  uint32_t ids = b.u16(offset + 14);
  uint32_t first = offset + 16;
  if (!b.has(first, (named + ids) * 8u)) return false;
  for (uint32_t i = 0; i < named + ids; ++i) {
    uint32_t e = first + i * 8;
    if (!(b.u32(e) & kHighBit) && b.u32(e) == id) {
      *target = b.u32(e + 4);
      return true;
    }
  }
  if (any_single && named + ids == 1 && !(b.u32(first) & kHighBit)) {
    *target = b.u32(first + 4);
    return true;
  }
  return false;
}

bool Subdirectory(uint32_t target, uint32_t* offset) {
  if (!(target & kHighBit)) return false;
  *offset = target & ~kHighBit;
  return true;
}

}  // namespace

bool pe_is_image(const uint8_t* head, size_t length) {
  Bytes b{head, length};
  if (!head || !b.has(0, 0x40) || head[0] != 'M' || head[1] != 'Z') return false;
  uint32_t pe = b.u32(0x3C);
  return b.has(pe, 24) && b.u32(pe) == kPeSignature;
}

bool pe_resource_section(const uint8_t* head, size_t length, uint32_t* rsrc_rva,
                         PeSection* section) {
  Bytes b{head, length};
  if (!pe_is_image(head, length)) return false;
  uint32_t pe = b.u32(0x3C);
  uint32_t sections = b.u16(pe + 6);
  uint32_t optional_size = b.u16(pe + 20);
  uint32_t opt = pe + 24;
  if (!b.has(opt, optional_size) || optional_size < 2) return false;
  uint32_t count_at, dirs;
  switch (b.u16(opt)) {
    case kMagicPe32: count_at = 92, dirs = 96; break;
    case kMagicPe32Plus: count_at = 108, dirs = 112; break;
    default: return false;
  }
  if (optional_size < dirs) return false;
  uint32_t dir_count = b.u32(opt + count_at);
  if (dir_count <= kResourceDirectory ||
      optional_size < dirs + (kResourceDirectory + 1) * 8)
    return false;
  uint32_t rva = b.u32(opt + dirs + kResourceDirectory * 8);
  uint32_t size = b.u32(opt + dirs + kResourceDirectory * 8 + 4);
  if (rva == 0 || size == 0) return false;
  uint32_t table = opt + optional_size;
  if (!b.has(table, sections * 40u)) return false;
  for (uint32_t i = 0; i < sections; ++i) {
    uint32_t s = table + i * 40;
    PeSection candidate{b.u32(s + 12), b.u32(s + 8), b.u32(s + 20), b.u32(s + 16)};
    uint32_t extent = candidate.virtual_size > candidate.raw_size ? candidate.virtual_size
                                                                   : candidate.raw_size;
    if (rva >= candidate.virtual_address && rva - candidate.virtual_address < extent) {
      *rsrc_rva = rva;
      *section = candidate;
      return true;
    }
  }
  return false;
}

bool pe_file_offset(const PeSection& section, uint32_t rva, uint32_t size, uint32_t* offset) {
  if (rva < section.virtual_address) return false;
  uint32_t inside = rva - section.virtual_address;
  if (inside > section.raw_size || size > section.raw_size - inside) return false;
  if (section.raw_offset > 0xFFFFFFFFu - inside) return false;
  *offset = section.raw_offset + inside;
  return true;
}

bool pe_resource_data(const uint8_t* rsrc, size_t length, uint16_t type, uint16_t name,
                      uint16_t language, uint32_t* data_rva, uint32_t* data_size) {
  Bytes b{rsrc, length};
  if (!rsrc) return false;
  uint32_t target, names, languages;
  if (!DirectoryEntry(b, 0, type, false, &target) || !Subdirectory(target, &names)) return false;
  if (!DirectoryEntry(b, names, name, false, &target) || !Subdirectory(target, &languages))
    return false;
  if (!DirectoryEntry(b, languages, language, true, &target) || (target & kHighBit)) return false;
  if (!b.has(target, 16)) return false;
  *data_rva = b.u32(target);
  *data_size = b.u32(target + 4);
  return true;
}

bool version_fixed_offset(const uint8_t* block, size_t length, size_t* offset) {
  Bytes b{block, length};
  if (!block || !b.has(0, 6)) return false;
  size_t declared = b.u16(0);
  if (declared < length) b.n = declared;  // the block's own length bounds it
  if (b.u16(2) < VERSION_FIXED_SIZE) return false;
  size_t i = 6;
  while (b.has(i, 2) && b.u16(i) != 0) i += 2;
  if (!b.has(i, 2)) return false;
  size_t fixed = (i + 2 + 3) & ~static_cast<size_t>(3);
  if (!b.has(fixed, VERSION_FIXED_SIZE) || b.u32(fixed) != kFixedSignature) return false;
  *offset = fixed;
  return true;
}
