// Walking the headers and the resource directory of a PE image in bytes.
#include "package/pe_image.h"

#include "package/byte_order.h"

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
  uint16_t u16(size_t o) const { return le16_get(p + o); }
  uint32_t u32(size_t o) const { return le32_get(p + o); }
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

// Where the headers of an image lie, once they are known to hold together:
// the optional header (PE32 or PE32+) and the section table inside the
// bytes given.
struct Headers {
  uint32_t pe;        // offset of "PE\0\0"
  uint32_t opt;       // the optional header
  uint32_t opt_size;
  uint32_t count_at;  // NumberOfRvaAndSizes, inside the optional header
  uint32_t dirs;      // the data directories, inside the optional header
  uint32_t table;     // the section table
  uint32_t sections;
};

// "MZ", and "PE\0\0" with a file header where e_lfanew points.
bool IsImage(const Bytes& b) {
  if (!b.p || !b.has(0, 0x40) || b.p[0] != 'M' || b.p[1] != 'Z') return false;
  uint32_t pe = b.u32(0x3C);
  return b.has(pe, 24) && b.u32(pe) == kPeSignature;
}

bool HeadersRead(const Bytes& b, Headers* h) {
  if (!IsImage(b)) return false;
  h->pe = b.u32(0x3C);
  h->sections = b.u16(h->pe + 6);
  h->opt_size = b.u16(h->pe + 20);
  h->opt = h->pe + 24;
  if (!b.has(h->opt, h->opt_size) || h->opt_size < 2) return false;
  switch (b.u16(h->opt)) {
    case kMagicPe32: h->count_at = 92, h->dirs = 96; break;
    case kMagicPe32Plus: h->count_at = 108, h->dirs = 112; break;
    default: return false;
  }
  h->table = h->opt + h->opt_size;
  return h->opt_size >= h->dirs && b.has(h->table, h->sections * 40u);
}

// The RVA and size of a data directory; false when the image has none of
// that index.
bool DataDirectory(const Bytes& b, const Headers& h, uint32_t index, uint32_t* rva,
                   uint32_t* size) {
  if (b.u32(h.opt + h.count_at) <= index || h.opt_size < h.dirs + (index + 1) * 8) return false;
  *rva = b.u32(h.opt + h.dirs + index * 8);
  *size = b.u32(h.opt + h.dirs + index * 8 + 4);
  return true;
}

bool Subdirectory(uint32_t target, uint32_t* offset) {
  if (!(target & kHighBit)) return false;
  *offset = target & ~kHighBit;
  return true;
}

}  // namespace

bool pe_is_image(const uint8_t* head, size_t length) {
  return IsImage(Bytes{head, length});
}

bool pe_resource_section(const uint8_t* head, size_t length, uint32_t* rsrc_rva,
                         PeSection* section) {
  Bytes b{head, length};
  Headers h;
  uint32_t rva = 0, size = 0;
  if (!HeadersRead(b, &h) || !DataDirectory(b, h, kResourceDirectory, &rva, &size) ||
      rva == 0 || size == 0)
    return false;
  for (uint32_t i = 0; i < h.sections; ++i) {
    uint32_t s = h.table + i * 40;
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

namespace {

const uint32_t kExportDirectory = 0;      // index among the data directories
const uint32_t kHeadRead = 4096;          // headers and section table
const uint32_t kNamesMax = 65536;         // exported names looked at
const uint32_t kNameBatch = 256;          // name pointers read at once
const uint32_t kNameMax = 256;            // longest name compared

// The file offset of an RVA through the section table of the headers.
bool RvaOffset(const Bytes& head, uint32_t table, uint32_t sections, uint32_t rva,
               uint32_t* offset) {
  for (uint32_t i = 0; i < sections; ++i) {
    uint32_t s = table + i * 40;
    PeSection section{head.u32(s + 12), head.u32(s + 8), head.u32(s + 20), head.u32(s + 16)};
    if (pe_file_offset(section, rva, 0, offset) && rva - section.virtual_address < section.raw_size)
      return true;
  }
  return false;
}

struct ExportWalk {
  const PeReader* reader;
  Bytes head;
  uint32_t table;
  uint32_t sections;
};

// Whether the exported name at name_rva is name.
bool NameIs(const ExportWalk& w, uint32_t name_rva, const char* name) {
  uint32_t at = 0;
  if (!RvaOffset(w.head, w.table, w.sections, name_rva, &at)) return false;
  char found[kNameMax + 1];
  uint32_t want = 0;
  while (name[want] && want < kNameMax) ++want;
  uint32_t got = w.reader->read(w.reader->context, at, found, want + 1);
  if (got != want + 1) return false;
  for (uint32_t i = 0; i < want; ++i)
    if (found[i] != name[i]) return false;
  return found[want] == 0;
}

// Looks for name among count name pointers at file offset names_at.
bool NamesHold(const ExportWalk& w, uint32_t names_at, uint32_t count, const char* name) {
  uint8_t batch[kNameBatch * 4];
  for (uint32_t first = 0; first < count; first += kNameBatch) {
    uint32_t n = count - first < kNameBatch ? count - first : kNameBatch;
    if (names_at > 0xFFFFFFFFu - first * 4) return false;
    uint32_t got = w.reader->read(w.reader->context, names_at + first * 4, batch, n * 4);
    Bytes b{batch, got};
    for (uint32_t i = 0; i < n && b.has(i * 4, 4); ++i)
      if (NameIs(w, b.u32(i * 4), name)) return true;
    if (got < n * 4) return false;
  }
  return false;
}

}  // namespace

int pe_module_check(const PeReader& reader, uint16_t machine, const char* name) {
  uint8_t head_bytes[kHeadRead];
  uint32_t got = reader.read(reader.context, 0, head_bytes, kHeadRead);
  Bytes head{head_bytes, got};
  Headers h;
  if (!IsImage(head)) return PE_MODULE_NOT_IMAGE;
  if (head.u16(head.u32(0x3C) + 4) != machine) return PE_MODULE_MACHINE;
  if (!HeadersRead(head, &h)) return PE_MODULE_NOT_IMAGE;
  uint32_t export_rva = 0, export_size = 0, export_at = 0;
  uint8_t directory[40];
  if (!DataDirectory(head, h, kExportDirectory, &export_rva, &export_size) || export_rva == 0 ||
      !RvaOffset(head, h.table, h.sections, export_rva, &export_at) ||
      reader.read(reader.context, export_at, directory, sizeof directory) != sizeof directory)
    return PE_MODULE_NO_EXPORT;
  Bytes d{directory, sizeof directory};
  uint32_t count = d.u32(24), names_rva = d.u32(32), names_at = 0;
  if (count > kNamesMax) count = kNamesMax;
  if (!RvaOffset(head, h.table, h.sections, names_rva, &names_at)) return PE_MODULE_NO_EXPORT;
  ExportWalk walk{&reader, head, h.table, h.sections};
  return NamesHold(walk, names_at, count, name) ? PE_MODULE_OK : PE_MODULE_NO_EXPORT;
}

namespace {

const uint32_t kEntryBatch = 64;       // directory entries read at once
const uint32_t kVersionHead = 512;     // bytes of a version block read
const uint16_t kRtVersion = 16;

// Reads exactly count bytes at offset, refusing an offset that wraps.
bool ReadExactly(const PeReader& r, uint32_t offset, void* out, uint32_t count) {
  if (offset > 0xFFFFFFFFu - count) return false;
  return r.read(r.context, offset, out, count) == count;
}

// The resource directory as it lies in the file: its offset and the bytes
// of the section from there.
struct ResourceFile {
  const PeReader* reader;
  uint32_t at;
  uint32_t length;
};

// DirectoryEntry, reading the directory at offset (from the directory's
// start) through the reader, a batch of entries at a time.
bool DirectoryEntryRead(const ResourceFile& f, uint32_t offset, uint32_t id, bool any_single,
                        uint32_t* target) {
  uint8_t header[16];
  if (offset > f.length || f.length - offset < 16 || !ReadExactly(*f.reader, f.at + offset, header, 16))
    return false;
  Bytes h{header, 16};
  uint32_t count = h.u16(12) + static_cast<uint32_t>(h.u16(14));
  uint32_t first = offset + 16;
  if (f.length - first < count * 8u) return false;
  uint8_t batch[kEntryBatch * 8];
  bool single_numeric = false;
  uint32_t single_target = 0;
  for (uint32_t i = 0; i < count; i += kEntryBatch) {
    uint32_t n = count - i < kEntryBatch ? count - i : kEntryBatch;
    if (!ReadExactly(*f.reader, f.at + first + i * 8, batch, n * 8)) return false;
    Bytes b{batch, n * 8};
    for (uint32_t k = 0; k < n; ++k) {
      uint32_t name = b.u32(k * 8);
      if (i + k == 0) {
        single_numeric = !(name & kHighBit);
        single_target = b.u32(4);
      }
      if (!(name & kHighBit) && name == id) {
        *target = b.u32(k * 8 + 4);
        return true;
      }
    }
  }
  // The only entry, when it has a number.
  if (any_single && count == 1 && single_numeric) {
    *target = single_target;
    return true;
  }
  return false;
}

}  // namespace

bool pe_version_find(const PeReader& reader, uint16_t language, uint32_t* at,
                     uint8_t fixed[VERSION_FIXED_SIZE]) {
  uint8_t head_bytes[kHeadRead];
  uint32_t got = reader.read(reader.context, 0, head_bytes, kHeadRead);
  uint32_t rva = 0, rsrc_at = 0;
  PeSection section{};
  if (!pe_resource_section(head_bytes, got, &rva, &section) ||
      !pe_file_offset(section, rva, 0, &rsrc_at))
    return false;
  ResourceFile f{&reader, rsrc_at, section.raw_size - (rva - section.virtual_address)};
  uint32_t target = 0, names = 0, languages = 0;
  if (!DirectoryEntryRead(f, 0, kRtVersion, false, &target) || !Subdirectory(target, &names) ||
      !DirectoryEntryRead(f, names, 1, false, &target) || !Subdirectory(target, &languages) ||
      !DirectoryEntryRead(f, languages, language, true, &target) || (target & kHighBit))
    return false;
  uint8_t leaf[16];
  if (target > f.length || f.length - target < 16 || !ReadExactly(reader, rsrc_at + target, leaf, 16))
    return false;
  Bytes l{leaf, 16};
  uint32_t data_rva = l.u32(0), data_size = l.u32(4), data_at = 0;
  if (!pe_file_offset(section, data_rva, data_size, &data_at)) return false;
  uint8_t block[kVersionHead];
  uint32_t want = data_size < kVersionHead ? data_size : kVersionHead;
  if (!ReadExactly(reader, data_at, block, want)) return false;
  size_t offset = 0;
  if (!version_fixed_offset(block, want, &offset)) return false;
  *at = data_at + static_cast<uint32_t>(offset);
  for (size_t i = 0; i < VERSION_FIXED_SIZE; ++i) fixed[i] = block[offset + i];
  return true;
}

bool pe_file_version(const PeReader& reader, uint32_t* ms, uint32_t* ls) {
  uint32_t at = 0;
  uint8_t fixed[VERSION_FIXED_SIZE];
  if (!pe_version_find(reader, 0, &at, fixed)) return false;
  *ms = le32_get(fixed + VERSION_FILE_MS);
  *ls = le32_get(fixed + VERSION_FILE_LS);
  return true;
}
