// Finding the version resource's fixed part in PE images built byte by
// byte here, over their bytes and through a reader: both header forms, the
// language fallback, and every damaged or shortened image refused without
// reading outside its bytes.
#include "package/pe_image.h"

#include <gtest/gtest.h>

#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

struct Image {
  std::vector<uint8_t> bytes;
  size_t fixed_at;  // file offset of the fixed part

  void put16(size_t at, uint32_t v) {
    bytes[at] = static_cast<uint8_t>(v);
    bytes[at + 1] = static_cast<uint8_t>(v >> 8);
  }
  void put32(size_t at, uint32_t v) {
    put16(at, v & 0xFFFF);
    put16(at + 2, v >> 16);
  }
};

const uint32_t kRsrcRva = 0x3000;
const size_t kRsrcFile = 0x400;

// One section ".rsrc" at file 0x400 holding RT_VERSION/1 in the given
// languages, each a version block of version 1.0.0.0.
Image Build(bool plus, std::vector<uint16_t> languages = {0x411}) {
  Image im{std::vector<uint8_t>(0x800, 0), 0};
  im.bytes[0] = 'M';
  im.bytes[1] = 'Z';
  const size_t pe = 0x80;
  im.put32(0x3C, pe);
  im.put32(pe, 0x00004550);
  im.put16(pe + 4, plus ? 0x8664 : 0x14C);
  im.put16(pe + 6, 2);  // sections: .text, .rsrc
  const uint32_t opt_size = plus ? 240 : 224;
  im.put16(pe + 20, opt_size);
  const size_t opt = pe + 24;
  im.put16(opt, plus ? 0x20B : 0x10B);
  const size_t dirs = opt + (plus ? 112 : 96);
  im.put32(opt + (plus ? 108 : 92), 16);
  im.put32(dirs + 2 * 8, kRsrcRva);
  im.put32(dirs + 2 * 8 + 4, 0x400);
  const size_t table = opt + opt_size;
  memcpy(&im.bytes[table], ".text", 5);
  im.put32(table + 8, 0x100);
  im.put32(table + 12, 0x1000);
  im.put32(table + 16, 0x200);
  im.put32(table + 20, 0x200);
  memcpy(&im.bytes[table + 40], ".rsrc", 5);
  im.put32(table + 40 + 8, 0x300);
  im.put32(table + 40 + 12, kRsrcRva);
  im.put32(table + 40 + 16, 0x400);
  im.put32(table + 40 + 20, kRsrcFile);

  // Directory: type 16 -> name 1 -> languages -> data entries.
  const size_t r = kRsrcFile;
  im.put16(r + 14, 1);
  im.put32(r + 16, 16);
  im.put32(r + 20, 0x80000000u | 0x18);
  im.put16(r + 0x18 + 14, 1);
  im.put32(r + 0x18 + 16, 1);
  im.put32(r + 0x18 + 20, 0x80000000u | 0x30);
  const uint32_t n = static_cast<uint32_t>(languages.size());
  im.put16(r + 0x30 + 14, n);
  const size_t entries = 0x30 + 16 + 8 * n;
  size_t block = entries + 16 * n;
  for (uint32_t i = 0; i < n; ++i) {
    im.put32(r + 0x30 + 16 + 8 * i, languages[i]);
    im.put32(r + 0x30 + 20 + 8 * i, static_cast<uint32_t>(entries + 16 * i));
  }
  for (uint32_t i = 0; i < n; ++i) {
    block = (block + 3) & ~size_t(3);
    const size_t length = 40 + 52;
    im.put32(r + entries + 16 * i, kRsrcRva + static_cast<uint32_t>(block));
    im.put32(r + entries + 16 * i + 4, length);
    im.put16(r + block, length);
    im.put16(r + block + 2, 52);
    const char* key = "VS_VERSION_INFO";
    for (size_t k = 0; key[k]; ++k) im.put16(r + block + 6 + 2 * k, static_cast<uint8_t>(key[k]));
    im.put32(r + block + 40, 0xFEEF04BDu);
    im.put32(r + block + 40 + VERSION_FILE_MS, 0x00010000u + i);
    if (i == 0) im.fixed_at = r + block + 40;
    block += length;
  }
  return im;
}

uint32_t ReadBytes(void* context, uint32_t offset, void* out, uint32_t count) {
  const std::vector<uint8_t>* bytes = static_cast<const std::vector<uint8_t>*>(context);
  if (offset >= bytes->size()) return 0;
  uint32_t n = static_cast<uint32_t>(std::min<size_t>(count, bytes->size() - offset));
  memcpy(out, bytes->data() + offset, n);
  return n;
}

bool FixedPartInMemory(const std::vector<uint8_t>& file, uint16_t language, size_t* at);

// Runs the whole look-up on an image of length bytes, over its bytes in
// memory and through a reader as the Installer reads a module's version;
// both find the same fixed part, or neither does.
bool FixedPart(const std::vector<uint8_t>& file, uint16_t language, size_t* at) {
  bool found = FixedPartInMemory(file, language, at);
  std::vector<uint8_t> copy = file;
  PeReader reader{ReadBytes, &copy};
  uint32_t read_at = 0, ms = 0, ls = 0;
  uint8_t fixed[VERSION_FIXED_SIZE];
  bool read = pe_version_find(reader, language, &read_at, fixed);
  EXPECT_EQ(read, found) << file.size();
  if (read && found) {
    EXPECT_EQ(read_at, *at);
    EXPECT_EQ(memcmp(fixed, file.data() + read_at, VERSION_FIXED_SIZE), 0);
  }
  if (pe_file_version(reader, &ms, &ls)) {
    EXPECT_TRUE(pe_version_find(reader, 0, &read_at, fixed));
    EXPECT_EQ(ms, fixed[VERSION_FILE_MS] | fixed[VERSION_FILE_MS + 1] << 8 |
                      fixed[VERSION_FILE_MS + 2] << 16 | uint32_t(fixed[VERSION_FILE_MS + 3]) << 24);
  }
  return found;
}

bool FixedPartInMemory(const std::vector<uint8_t>& file, uint16_t language, size_t* at) {
  uint32_t rva = 0, offset = 0, data_rva = 0, data_size = 0;
  PeSection s{};
  if (!pe_resource_section(file.data(), file.size(), &rva, &s)) return false;
  if (!pe_file_offset(s, rva, 0, &offset) || offset > file.size()) return false;
  const uint8_t* rsrc = file.data() + offset;
  size_t rsrc_length = std::min<size_t>(file.size() - offset, s.raw_size - (rva - s.virtual_address));
  if (!pe_resource_data(rsrc, rsrc_length, 16, 1, language, &data_rva, &data_size)) return false;
  uint32_t block = 0;
  if (!pe_file_offset(s, data_rva, data_size, &block) || block > file.size() ||
      data_size > file.size() - block)
    return false;
  size_t fixed = 0;
  if (!version_fixed_offset(file.data() + block, data_size, &fixed)) return false;
  *at = block + fixed;
  return true;
}

TEST(PeImage, FindsTheFixedPartInBothHeaderForms) {
  for (bool plus : {false, true}) {
    Image im = Build(plus);
    size_t at = 0;
    ASSERT_TRUE(FixedPart(im.bytes, 0x411, &at)) << plus;
    EXPECT_EQ(at, im.fixed_at);
  }
}

TEST(PeImage, LanguageChoice) {
  Image two = Build(false, {0x409, 0x411});
  size_t at = 0;
  ASSERT_TRUE(FixedPart(two.bytes, 0x411, &at));
  EXPECT_EQ(two.bytes[at + VERSION_FILE_MS], 1) << "the second entry, 0x411";
  ASSERT_TRUE(FixedPart(two.bytes, 0x409, &at));
  EXPECT_EQ(two.bytes[at + VERSION_FILE_MS], 0);
  EXPECT_FALSE(FixedPart(two.bytes, 0x407, &at)) << "two others: none is guessed";
  Image one = Build(false, {0x409});
  EXPECT_TRUE(FixedPart(one.bytes, 0x411, &at)) << "the only one is taken";
}

TEST(PeImage, DamagedImagesAreRefused) {
  struct Row {
    const char* name;
    size_t at;
    uint32_t value;
    int width;
  } rows[] = {
      {"no MZ", 0, 0x5A4E, 2},
      {"header offset past the end", 0x3C, 0x7FFFFFF0u, 4},
      {"no PE signature", 0x80, 0x00004551, 4},
      {"unknown optional header", 0x80 + 24, 0x10C, 2},
      {"optional header too short", 0x80 + 20, 64, 2},
      {"too few data directories", 0x80 + 24 + 92, 2, 4},
      {"no resource directory", 0x80 + 24 + 96 + 16, 0, 4},
      {"resource directory in no section", 0x80 + 24 + 96 + 16, 0x9000, 4},
      {"section table past the end", 0x80 + 6, 0xFFFF, 2},
      {"type directory offset past the end", kRsrcFile + 20, 0x80000000u | 0x7FFFFF00u, 4},
      {"type entry is data, not a directory", kRsrcFile + 20, 0x18, 4},
      {"entry count past the end", kRsrcFile + 14, 0xFFFF, 2},
      {"no version type", kRsrcFile + 16, 6, 4},
      {"version block outside the section", kRsrcFile + 0x48, 0x10, 4},
      {"version block larger than the section", kRsrcFile + 0x4C, 0x10000, 4},
  };
  for (const Row& row : rows) {
    Image im = Build(false);
    if (row.width == 2)
      im.put16(row.at, row.value);
    else
      im.put32(row.at, row.value);
    size_t at = 0;
    EXPECT_FALSE(FixedPart(im.bytes, 0x411, &at)) << row.name;
  }
}

TEST(PeImage, TellsAnImageFromOtherBytes) {
  Image im = Build(false);
  EXPECT_TRUE(pe_is_image(im.bytes.data(), im.bytes.size()));
  EXPECT_FALSE(pe_is_image(im.bytes.data(), 0x80 + 23)) << "file header cut off";
  const std::string text = "MZ is how this text starts, but it is no image at all..............";
  EXPECT_FALSE(pe_is_image(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
  im.put32(0x80, 0x00004550 + 0x100);
  EXPECT_FALSE(pe_is_image(im.bytes.data(), im.bytes.size()));
}

TEST(PeImage, VersionBlockChecks) {
  Image im = Build(false);
  size_t block = im.fixed_at - 40;
  std::vector<uint8_t> b(im.bytes.begin() + block, im.bytes.begin() + block + 92);
  size_t fixed = 0;
  ASSERT_TRUE(version_fixed_offset(b.data(), b.size(), &fixed));
  EXPECT_EQ(fixed, 40u);
  std::vector<uint8_t> bad = b;
  bad[40] = 0;  // signature
  EXPECT_FALSE(version_fixed_offset(bad.data(), bad.size(), &fixed));
  bad = b;
  bad[2] = 10;  // value shorter than the fixed part
  EXPECT_FALSE(version_fixed_offset(bad.data(), bad.size(), &fixed));
  bad = b;
  bad[0] = 60;  // the block's own length ends inside the fixed part
  EXPECT_FALSE(version_fixed_offset(bad.data(), bad.size(), &fixed));
  bad = b;
  for (size_t i = 6; i < bad.size(); ++i) bad[i] = 'x';  // key never ends
  EXPECT_FALSE(version_fixed_offset(bad.data(), bad.size(), &fixed));
}

// Every shortened copy of the image is refused or still found at the same
// place, and nothing reads past its end (the sanitizer watches).
TEST(PeImage, ShortenedImages) {
  Image im = Build(true);
  for (size_t n = 0; n < im.bytes.size(); ++n) {
    std::vector<uint8_t> cut(im.bytes.begin(), im.bytes.begin() + n);
    size_t at = 0;
    if (FixedPart(cut, 0x411, &at)) {
      EXPECT_EQ(at, im.fixed_at) << n;
      EXPECT_LE(at + VERSION_FIXED_SIZE, n);
    }
  }
}

// A module image with an export directory naming the given functions,
// in a section at file 0x200 (RVA 0x1000).
std::vector<uint8_t> ModuleImage(uint16_t machine, std::vector<std::string> names) {
  const bool plus = machine == 0x8664;
  Image im = Build(plus);  // its headers; the rest is written anew
  im.bytes.resize(0x600);
  std::fill(im.bytes.begin() + 0x200, im.bytes.end(), 0);
  const size_t pe = 0x80, opt = pe + 24;
  im.put16(pe + 4, machine);
  im.put16(pe + 6, 1);
  const size_t dirs = opt + (plus ? 112 : 96);
  im.put32(dirs, 0x1000);       // export directory
  im.put32(dirs + 4, 0x400);
  im.put32(dirs + 16, 0);       // no resources
  const size_t table = opt + (plus ? 240 : 224);
  memcpy(&im.bytes[table], ".edata\0", 7);
  im.put32(table + 8, 0x400);   // virtual size
  im.put32(table + 12, 0x1000);
  im.put32(table + 16, 0x400);  // raw size
  im.put32(table + 20, 0x200);
  im.put32(0x200 + 24, static_cast<uint32_t>(names.size()));
  im.put32(0x200 + 32, 0x1040);  // the name pointers at file 0x240
  size_t text = 0x300;
  for (size_t i = 0; i < names.size(); ++i) {
    im.put32(0x240 + 4 * i, static_cast<uint32_t>(0x1000 + text - 0x200));
    memcpy(&im.bytes[text], names[i].c_str(), names[i].size() + 1);
    text += names[i].size() + 1;
  }
  return im.bytes;
}

int Check(std::vector<uint8_t> bytes, uint16_t machine) {
  PeReader reader{ReadBytes, &bytes};
  return pe_module_check(reader, machine, "DllUnregisterServer");
}

TEST(PeModule, JudgesExportsAndProcessorFromTheFile) {
  const std::vector<std::string> both = {"DllRegisterServer", "DllUnregisterServer"};
  EXPECT_EQ(Check(ModuleImage(0x8664, both), 0x8664), PE_MODULE_OK);
  EXPECT_EQ(Check(ModuleImage(0x14C, both), 0x14C), PE_MODULE_OK);
  EXPECT_EQ(Check(ModuleImage(0x14C, both), 0x8664), PE_MODULE_MACHINE);
  EXPECT_EQ(Check(ModuleImage(0x8664, {"DllRegisterServer"}), 0x8664), PE_MODULE_NO_EXPORT);
  EXPECT_EQ(Check(ModuleImage(0x8664, {"DllUnregisterServerEx"}), 0x8664), PE_MODULE_NO_EXPORT);
  EXPECT_EQ(Check(ModuleImage(0x8664, {}), 0x8664), PE_MODULE_NO_EXPORT);
  std::vector<uint8_t> text(64, 'x');
  EXPECT_EQ(Check(text, 0x8664), PE_MODULE_NOT_IMAGE);
}

// Every shortened module is judged without reading outside its bytes, and
// only a copy that still holds the name passes.
TEST(PeModule, ShortenedModules) {
  std::vector<uint8_t> whole = ModuleImage(0x8664, {"DllRegisterServer", "DllUnregisterServer"});
  for (size_t n = 0; n < whole.size(); n += 7) {
    std::vector<uint8_t> cut(whole.begin(), whole.begin() + n);
    int result = Check(cut, 0x8664);
    if (n < 0x300 + 18 + 20) EXPECT_NE(result, PE_MODULE_OK) << n;
  }
}

}  // namespace

