// The package assembler end to end: a package from the real test template,
// read back the way the Installer reads it, and run.
#include <gtest/gtest.h>

#include <stdio.h>

#include <string>
#include <vector>

#include "common/status.h"
#include "package/config_keys.h"
#include "package/config_values.h"
#include "package/package.h"
#include "package/profile_writer.h"
#include "support.h"

namespace {

using namespace pkgtest;

struct Packed {
  int exit_code;
  std::string output;
  DWORD image_length;
  uint32_t checksum;
  DWORD payload_length;
};

class Vtpack : public ::testing::Test {
 protected:
  void SetUp() override {
    doc_ = dir_ / L"instbase.ini";
    ASSERT_TRUE(CopyFileW(BaseDocument().c_str(), doc_.c_str(), FALSE));
    module_ = RandomBytes(123457, 21);
    WriteBytes(dir_ / L"samplegrid.ocx", module_);
    out_ = dir_ / L"Setup.exe";
  }

  Packed Pack(const std::wstring& module, const std::vector<std::wstring>& extra = {}) {
    std::wstring line = Quote(VtpackExe()) + L" " + Quote(TemplateExe()) + L" " + Quote(doc_) +
                        L" " + Quote(module) + L" " + Quote(out_);
    for (const std::wstring& e : extra) line += L" " + Quote(e);
    Packed p{0, "", 0, 0, 0};
    p.exit_code = RunProgram(line, dir_ / L"vtpack.log", &p.output);
    unsigned long n = 0, l = 0;
    unsigned c = 0;
    if (sscanf(p.output.c_str(), "image_length=%lu checksum=%X payload_length=%lu", &n, &c, &l) == 3) {
      p.image_length = n;
      p.checksum = c;
      p.payload_length = l;
    }
    return p;
  }

  // The package's document as the Installer finds it, and one value of it.
  std::string Document() {
    HMODULE m = LoadLibraryExW(out_.c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
    std::string data;
    HRSRC r = m ? FindResourceW(m, MAKEINTRESOURCEW(501), L"BINTYPE") : NULL;
    if (r) data.assign(static_cast<const char*>(LockResource(LoadResource(m, r))), SizeofResource(m, r));
    if (m) FreeLibrary(m);
    return data;
  }
  std::string Value(const char* section, const char* key) {
    std::string doc = Document();
    size_t at = 0, n = 0;
    return profile_find_key(doc.data(), doc.size(), section, key, &at, &n) ? doc.substr(at, n)
                                                                           : "<none>";
  }

  TempFolder dir_;
  std::wstring doc_, out_;
  std::string module_;
};

TEST_F(Vtpack, PackageFromTheTemplate) {
  const std::string template_bytes = ReadBytes(TemplateExe());
  const std::string base = ReadBytes(doc_);
  Packed p = Pack(dir_ / L"samplegrid.ocx", {L"Vantorel-Init.InstallGUID={6F1C2A3B-0D4E-4F50-8A6B-7C8D9E0F1A2B}",
                                             L"Vantorel-Init.InstPgmName=Sample Grid"});
  ASSERT_EQ(p.exit_code, 0) << p.output;
  EXPECT_EQ(ReadBytes(TemplateExe()), template_bytes) << "the template is never changed";
  EXPECT_EQ(ReadBytes(doc_), base) << "the document is never changed";
  EXPECT_EQ(GetFileAttributesW((out_ + L".ini").c_str()), INVALID_FILE_ATTRIBUTES)
      << "working document removed";

  // The stored document is the base document with the build's keys.
  std::string expected = base;
  const char* keys[][3] = {
      {CFG_INIT, CFG_INSTALL_GUID, "{6F1C2A3B-0D4E-4F50-8A6B-7C8D9E0F1A2B}"},
      {CFG_INIT, CFG_PGM_NAME, "Sample Grid"},
      {CFG_COPY, CFG_FILE_NAME, "samplegrid.ocx"},
      {CFG_COPY, CFG_FILE_CRC, nullptr},
      {CFG_COPY, CFG_FILE_LEN, "00123457"},
      {CFG_INIT, CFG_FILE_LEN, nullptr},
  };
  char crc[9], length[9];
  snprintf(crc, sizeof crc, "%08X", checksum_update(0, module_.data(), static_cast<int>(module_.size())));
  snprintf(length, sizeof length, "%08lu", static_cast<unsigned long>(p.image_length));
  keys[3][2] = crc;
  keys[5][2] = length;
  for (auto& k : keys) {
    std::string out(profile_write_bound(expected.size(), k[0], k[1], k[2]), '\0');
    size_t n = 0;
    ASSERT_EQ(profile_write_key(expected.data(), expected.size(), k[0], k[1], k[2], &out[0],
                                out.size(), &n), 0);
    expected = out.substr(0, n);
  }
  EXPECT_EQ(Document(), expected);

  // Image length, checksum and payload agree with the document and the module.
  const std::string package = ReadBytes(out_);
  EXPECT_EQ(p.payload_length, module_.size());
  EXPECT_EQ(static_cast<DWORD>(config_number(Value(CFG_INIT, CFG_FILE_LEN).c_str(), 8)),
            p.image_length);
  EXPECT_EQ(package.size(), p.image_length + 4 + module_.size());
  EXPECT_EQ(config_checksum(Value(CFG_COPY, CFG_FILE_CRC).c_str()), p.checksum);
  uint32_t checksum = 0;
  DWORD error = 0;
  const std::wstring target = dir_ / L"QOR.ocx";
  ASSERT_EQ(extract_payload(out_.c_str(), p.image_length, target.c_str(), &checksum, &error), 0);
  EXPECT_EQ(checksum, p.checksum);
  EXPECT_TRUE(ReadBytes(target) == module_);
  int v[4];
  ASSERT_EQ(read_version_parts(out_.c_str(), &v[0], &v[1], &v[2], &v[3], &error), 0);
  EXPECT_EQ(v[3], 0) << "not silent";

  // The package runs, and so does its image alone (the uninstaller copy).
  const int document_size = static_cast<int>(expected.size());
  EXPECT_EQ(RunProgram(Quote(out_), dir_ / L"run.log", nullptr), document_size);
  WriteBytes(dir_ / L"Uninstall.exe", package.substr(0, p.image_length));
  EXPECT_EQ(RunProgram(Quote(dir_ / L"Uninstall.exe"), dir_ / L"run.log", nullptr), document_size);
}

TEST_F(Vtpack, PlantedValuesAreKept) {
  Packed p = Pack(dir_ / L"samplegrid.ocx",
                  {L"Vantorel-Copy.InstFileCRC=DEADBEEF", L"Vantorel-Copy.InstFileName=..\\evil.ocx",
                   L"Vantorel-Init.WarningType==", L"Vantorel-Init.InstFileLen=00000100"});
  ASSERT_EQ(p.exit_code, 0) << p.output;
  EXPECT_EQ(Value(CFG_COPY, CFG_FILE_CRC), "DEADBEEF");
  EXPECT_EQ(Value(CFG_COPY, CFG_FILE_NAME), "..\\evil.ocx");
  EXPECT_EQ(Value(CFG_COPY, CFG_FILE_LEN), "00123457");
  EXPECT_EQ(Value(CFG_INIT, CFG_WARNING_TYPE), "=");
  EXPECT_EQ(Value(CFG_INIT, CFG_FILE_LEN), "00000100");
  EXPECT_NE(p.image_length, 100u);
  EXPECT_EQ(ReadBytes(out_).size(), p.image_length + 4 + module_.size()) << "the block is at the real end";
}

TEST_F(Vtpack, SilentPackage) {
  Packed p = Pack(dir_ / L"samplegrid.ocx", {L"--silent"});
  ASSERT_EQ(p.exit_code, 0) << p.output;
  int v[4];
  DWORD error = 0;
  ASSERT_EQ(read_version_parts(out_.c_str(), &v[0], &v[1], &v[2], &v[3], &error), 0);
  EXPECT_EQ(v[0] * 1000 + v[1] * 100 + v[2] * 10 + v[3], 1001);
  uint32_t checksum = 0;
  ASSERT_EQ(extract_payload(out_.c_str(), p.image_length, (dir_ / L"QOR.ocx").c_str(), &checksum,
                            &error),
            0);
  EXPECT_EQ(checksum, p.checksum);
}

TEST_F(Vtpack, EmptyModuleAndNoModule) {
  WriteBytes(dir_ / L"empty.ocx", "");
  Packed p = Pack(dir_ / L"empty.ocx");
  ASSERT_EQ(p.exit_code, 0) << p.output;
  EXPECT_EQ(p.payload_length, 0u);
  EXPECT_EQ(p.checksum, 0u);
  EXPECT_EQ(Value(CFG_COPY, CFG_FILE_CRC), "00000000");
  uint32_t checksum = 1;
  DWORD error = 0;
  EXPECT_EQ(extract_payload(out_.c_str(), p.image_length, (dir_ / L"QOR.ocx").c_str(), &checksum,
                            &error),
            0);
  EXPECT_EQ(checksum, 0u);
  EXPECT_EQ(ReadBytes(dir_ / L"QOR.ocx"), "");

  p = Pack(L"-");
  ASSERT_EQ(p.exit_code, 0) << p.output;
  EXPECT_EQ(ReadBytes(out_).size(), p.image_length) << "no payload block";
  EXPECT_EQ(Value(CFG_COPY, CFG_FILE_CRC), "") << "the base document's value";
  EXPECT_EQ(extract_payload(out_.c_str(), p.image_length, (dir_ / L"QOR.ocx").c_str(), &checksum,
                            &error),
            ST_SHORT_READ);
}

TEST_F(Vtpack, FailuresAreReported) {
  Packed p = Pack(dir_ / L"missing.ocx");
  EXPECT_EQ(p.exit_code, 1);
  EXPECT_NE(p.output.find("module size failed: status -46, error 2"), std::string::npos) << p.output;
  EXPECT_EQ(GetFileAttributesW(out_.c_str()), INVALID_FILE_ATTRIBUTES) << "nothing written";

  p = Pack(dir_ / L"samplegrid.ocx", {L"no-assignment"});
  EXPECT_EQ(p.exit_code, 2) << p.output;
  p = Pack(dir_ / L"samplegrid.ocx", {L"Vantorel-Init.Bad\x2600=1"});  // not in code page 932
  EXPECT_EQ(p.exit_code, 2) << p.output;
  p = Pack(dir_ / L"samplegrid.ocx", {L"Vantorel-Init.In=valid=x", L"Vantorel-Init.Key=a\x00e9"});
  EXPECT_EQ(p.exit_code, 2) << p.output;

  // A document that is not where it is said to be.
  doc_ = dir_ / L"none.ini";
  p = Pack(dir_ / L"samplegrid.ocx");
  EXPECT_EQ(p.exit_code, 1);
  EXPECT_NE(p.output.find("copying the document failed"), std::string::npos) << p.output;
}

}  // namespace
