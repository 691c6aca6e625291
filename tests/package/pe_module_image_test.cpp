// The PE walks on images the MinGW linker made (tests/package/fuzz/module,
// also the PE fuzzer's seeds): a module with the exports of an in-process
// server and a Japanese version resource, for x86-64 and i386.
#include <stdio.h>
#include <string.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "package/pe_image.h"

namespace {

std::vector<uint8_t> Image(const char* arch) {
  std::string path = std::string(VT_SOURCE_DIR) + "/tests/package/fuzz/seeds/pe_image/module_" +
                     arch + ".dll";
  std::vector<uint8_t> bytes;
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return bytes;
  uint8_t chunk[4096];
  size_t n;
  while ((n = fread(chunk, 1, sizeof chunk, f)) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
  fclose(f);
  return bytes;
}

uint32_t Read(void* context, uint32_t offset, void* out, uint32_t count) {
  const std::vector<uint8_t>& file = *static_cast<const std::vector<uint8_t>*>(context);
  if (offset >= file.size()) return 0;
  uint32_t n = static_cast<uint32_t>(file.size() - offset) < count
                   ? static_cast<uint32_t>(file.size() - offset)
                   : count;
  memcpy(out, file.data() + offset, n);
  return n;
}

int Judge(std::vector<uint8_t>& file, uint16_t machine, const char* name) {
  PeReader reader{Read, &file};
  return pe_module_check(reader, machine, name);
}

// The file version of the image's version resource, as the stamp finds it.
bool FileVersion(const std::vector<uint8_t>& file, uint32_t* ms, uint32_t* ls) {
  uint32_t rva = 0, offset = 0, data_rva = 0, data_size = 0, block = 0;
  PeSection s{};
  if (!pe_resource_section(file.data(), file.size(), &rva, &s) ||
      !pe_file_offset(s, rva, 0, &offset) || offset > file.size())
    return false;
  size_t length = file.size() - offset;
  if (s.raw_size - (rva - s.virtual_address) < length) length = s.raw_size - (rva - s.virtual_address);
  if (!pe_resource_data(file.data() + offset, length, 16, 1, 0x411, &data_rva, &data_size) ||
      !pe_file_offset(s, data_rva, data_size, &block) ||
      static_cast<size_t>(block) + data_size > file.size())
    return false;
  size_t fixed = 0;
  if (!version_fixed_offset(file.data() + block, data_size, &fixed)) return false;
  const uint8_t* p = file.data() + block + fixed;
  memcpy(ms, p + VERSION_FILE_MS, 4);
  memcpy(ls, p + VERSION_FILE_LS, 4);
  return true;
}

TEST(PeModuleImage, TheX64ModuleIsJudgedByItsExportNames) {
  std::vector<uint8_t> file = Image("x86_64");
  ASSERT_FALSE(file.empty());
  EXPECT_EQ(Judge(file, 0x8664, "DllUnregisterServer"), PE_MODULE_OK);
  EXPECT_EQ(Judge(file, 0x8664, "DllCanUnloadNow"), PE_MODULE_OK) << "the first name";
  EXPECT_EQ(Judge(file, 0x8664, "DllUnregister"), PE_MODULE_NO_EXPORT) << "a prefix only";
  EXPECT_EQ(Judge(file, 0x8664, "DllInstall"), PE_MODULE_NO_EXPORT);
  EXPECT_EQ(Judge(file, 0x14C, "DllUnregisterServer"), PE_MODULE_MACHINE);
  file.resize(file.size() / 2);  // headers whole, the sections cut off
  EXPECT_EQ(Judge(file, 0x8664, "DllUnregisterServer"), PE_MODULE_NO_EXPORT);
}

TEST(PeModuleImage, TheI386ModuleIsJudgedForItsProcessor) {
  std::vector<uint8_t> file = Image("i686");
  ASSERT_FALSE(file.empty());
  EXPECT_EQ(Judge(file, 0x14C, "DllUnregisterServer"), PE_MODULE_OK);
  EXPECT_EQ(Judge(file, 0x8664, "DllUnregisterServer"), PE_MODULE_MACHINE);
}

TEST(PeModuleImage, BothCarryTheirFileVersion) {
  for (const char* arch : {"x86_64", "i686"}) {
    std::vector<uint8_t> file = Image(arch);
    uint32_t ms = 0, ls = 0;
    ASSERT_TRUE(FileVersion(file, &ms, &ls)) << arch;
    EXPECT_EQ(ms, 0x00010000u) << arch;  // 1.0
    EXPECT_EQ(ls, 0x00010000u) << arch;  // .1.0
  }
}

}  // namespace
