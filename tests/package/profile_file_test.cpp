// The key writer on document files under Wine: the base document written
// in the editor's order gives the built document byte for byte, and the
// platform's profile reader (as the Installer uses it) reads every value
// back, Japanese text included.
#include "package/profile_file.h"

#include <gtest/gtest.h>

#include <string>

#include "common/status.h"
#include "package/config_keys.h"
#include "sample_keys.h"
#include "support.h"

namespace {

using namespace pkgtest;

std::wstring ReadKey(const std::wstring& file, const char* section, const char* key) {
  wchar_t value[300];
  std::wstring s(section, section + strlen(section)), k(key, key + strlen(key));
  GetPrivateProfileStringW(s.c_str(), k.c_str(), L"<none>", value, 300, file.c_str());
  return value;
}

TEST(ProfileWriteFile, TheBuiltDocumentOfASampleProject) {
  TempFolder dir;
  const std::wstring doc = dir / L"instbase.ini";
  ASSERT_TRUE(CopyFileW(BaseDocument().c_str(), doc.c_str(), FALSE));
  for (const Key& k : kBuildKeys) {
    DWORD error = 0;
    ASSERT_EQ(profile_write_file(Narrow(doc).c_str(), k.section, k.key, k.value, &error), 0)
        << k.key;
  }
  EXPECT_EQ(ReadBytes(doc), ReadBytes(FromUnix(VT_SOURCE_DIR "/tests/package/data/built_document.ini")));
  EXPECT_EQ(ReadKey(doc, CFG_INIT, CFG_FILE_LEN), L"00098304");
  EXPECT_EQ(ReadKey(doc, CFG_COPY, CFG_FILE_LEN), L"00040960");
  EXPECT_EQ(ReadKey(doc, CFG_UNINSTALL, CFG_UN_CO_NAME), L"Halvenco");
}

TEST(ProfileWriteFile, ThePlatformReaderSeesWhatWasWritten) {
  TempFolder dir;
  const std::wstring doc = dir / L"instbase.ini";
  ASSERT_TRUE(CopyFileW(BaseDocument().c_str(), doc.c_str(), FALSE));
  const std::string base = ReadBytes(doc);
  // "サンプル表" in code page 932: the second byte of 表 is a backslash.
  const char* kana = "\x83\x54\x83\x93\x83\x76\x83\x8B\x95\x5C";
  const Key keys[] = {
      {CFG_INIT, CFG_PGM_NAME, kana},
      {CFG_UNINSTALL, CFG_UN_DSP_NAME, kana},
      {CFG_INIT, CFG_WARNING_TYPE, "="},
      {CFG_UNINSTALL, CFG_WARNING_TYPE, ";"},
      {CFG_INIT, CFG_OS_VER, "111-011-111-110"},
  };
  DWORD error = 0;
  for (const Key& k : keys)
    ASSERT_EQ(profile_write_file(Narrow(doc).c_str(), k.section, k.key, k.value, &error), 0);
  EXPECT_EQ(ReadKey(doc, CFG_INIT, CFG_PGM_NAME), L"\x30B5\x30F3\x30D7\x30EB\x8868");
  EXPECT_EQ(ReadKey(doc, CFG_UNINSTALL, CFG_UN_DSP_NAME), L"\x30B5\x30F3\x30D7\x30EB\x8868");
  EXPECT_EQ(ReadKey(doc, CFG_INIT, CFG_WARNING_TYPE), L"=");
  EXPECT_EQ(ReadKey(doc, CFG_UNINSTALL, CFG_WARNING_TYPE), L";");
  EXPECT_EQ(ReadKey(doc, CFG_INIT, CFG_OS_VER), L"111-011-111-110");
  EXPECT_EQ(ReadKey(doc, CFG_INIT, CFG_GUI_TITLE), L"Vantorel OCX Installer");
  // The header comments stay at column 52.
  const std::string after = ReadBytes(doc);
  EXPECT_EQ(after.substr(0, 60), base.substr(0, 60));
  EXPECT_NE(after.find("[Vantorel-UnInstall]" + std::string(32, ' ') + ";"), std::string::npos);
}

TEST(ProfileWriteFile, NewAndShrinkingDocuments) {
  TempFolder dir;
  const std::wstring doc = dir / L"new.ini";
  DWORD error = 0;
  ASSERT_EQ(profile_write_file(Narrow(doc).c_str(), "S", "k", "a long value", &error), 0);
  EXPECT_EQ(ReadBytes(doc), "[S]\r\nk=a long value\r\n");
  ASSERT_EQ(profile_write_file(Narrow(doc).c_str(), "S", "k", "v", &error), 0);
  EXPECT_EQ(ReadBytes(doc), "[S]\r\nk=v\r\n") << "the file is cut to its new length";
  ASSERT_EQ(profile_write_file(Narrow(doc).c_str(), "S", "k", "v", &error), 0);
  EXPECT_EQ(ReadBytes(doc), "[S]\r\nk=v\r\n");
}

TEST(ProfileWriteFile, FailuresLeaveTheDocument) {
  TempFolder dir;
  const std::wstring doc = dir / L"doc.ini";
  WriteBytes(doc, "[S]\r\nk=1\r\n");
  DWORD error = 0;
  EXPECT_EQ(profile_write_file(Narrow(doc).c_str(), "S", "k", "a\r\nb", &error), ST_PROFILE_VALUE);
  EXPECT_EQ(profile_write_file(Narrow(dir / L"no\\doc.ini").c_str(), "S", "k", "v", &error),
            ST_PATH_NOT_FOUND);
  // Someone reads it and lets nobody write: the write gives up (after the
  // file layer's retries) and the document is as it was.
  HANDLE reader = CreateFileW(doc.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
  ASSERT_NE(reader, INVALID_HANDLE_VALUE);
  EXPECT_EQ(profile_write_file(Narrow(doc).c_str(), "S", "k", "2", &error), ST_BUSY);
  CloseHandle(reader);
  EXPECT_EQ(ReadBytes(doc), "[S]\r\nk=1\r\n");
}

}  // namespace
