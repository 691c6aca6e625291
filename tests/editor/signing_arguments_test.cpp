// The signing tool's arguments: which parts appear in which order (the
// file digest and an RFC 3161 timestamp as current tools require them), how
// values are quoted, the masked password, and the refusals; and the
// settings record taken from a file's bytes.
#include "editor/project/signing_settings.h"

#include <gtest/gtest.h>
#include <string.h>

#include <string>

#include "common/status.h"

namespace {

SigningValues Full() {
  return {L"C:\\certs\\dev.pfx",       L"secret", L"Sample Grid", L"http://example.jp/grid",
          true,  L"http://ts.example.jp/", L"C:\\work\\Setup.exe"};
}

std::wstring Compose(const SigningValues& values, bool mask = false, size_t cap = 4096) {
  std::wstring out(cap, L'?');
  int n = signing_arguments_compose(values, mask, &out[0], cap);
  if (n < 0) {
    EXPECT_EQ(out[0], L'\0') << "a refused composition leaves the buffer empty";
    return L"<" + std::to_wstring(n) + L">";
  }
  return out.c_str();
}

TEST(SigningArguments, PartsInTheirOrderQuotedAndMasked) {
  struct Row {
    const char* what;
    void (*change)(SigningValues&);
    bool mask;
    const wchar_t* arguments;
  } rows[] = {
      {"every part", [](SigningValues&) {}, false,
       L"sign /f \"C:\\certs\\dev.pfx\" /a /fd sha256 /d \"Sample Grid\" "
       L"/du \"http://example.jp/grid\" /tr \"http://ts.example.jp/\" /td sha256 /p \"secret\" "
       L"\"C:\\work\\Setup.exe\""},
      {"description URL without description, timestamp on without URL",
       [](SigningValues& v) { v.description = L"", v.timestamp_url = L""; }, false,
       L"sign /f \"C:\\certs\\dev.pfx\" /a /fd sha256 /du \"http://example.jp/grid\" "
       L"/p \"secret\" \"C:\\work\\Setup.exe\""},
      {"timestamp URL with the switch off, a password with a space",
       [](SigningValues& v) { v.timestamp = false, v.password = L"pass word"; }, false,
       L"sign /f \"C:\\certs\\dev.pfx\" /a /fd sha256 /d \"Sample Grid\" "
       L"/du \"http://example.jp/grid\" /p \"pass word\" \"C:\\work\\Setup.exe\""},
      {"trailing backslashes and Japanese text",
       [](SigningValues& v) {
         v.certificate = L"\\\\srv\\証明書\\", v.description = L"表示 ソフト\\\\",
         v.description_url = L"", v.timestamp = false, v.package = L"D:\\出力 先\\ソ.exe";
       },
       false,
       L"sign /f \"\\\\srv\\証明書\\\\\" /a /fd sha256 /d \"表示 ソフト\\\\\\\\\" /p \"secret\" "
       L"\"D:\\出力 先\\ソ.exe\""},
      {"masked", [](SigningValues& v) { v.description = L"", v.description_url = L""; }, true,
       L"sign /f \"C:\\certs\\dev.pfx\" /a /fd sha256 /tr \"http://ts.example.jp/\" /td sha256 "
       L"/p \"***\" \"C:\\work\\Setup.exe\""},
  };
  for (const Row& row : rows) {
    SigningValues values = Full();
    row.change(values);
    EXPECT_EQ(Compose(values, row.mask), row.arguments) << row.what;
  }
}

TEST(SigningArguments, RefusesValuesThatCannotBeQuoted) {
  SigningValues values = Full();
  values.description = L"the \"grid\"";
  EXPECT_EQ(Compose(values), L"<-215>");
  values = Full();
  values.password = L"tab\tbed";
  EXPECT_EQ(Compose(values, true), L"<-215>") << "masked, the same status";
  // A value that is left out is not looked at.
  values = Full();
  values.timestamp = false;
  values.timestamp_url = L"http://\"ts\"/";
  EXPECT_EQ(Compose(values).find(L"/t"), std::wstring::npos);
  EXPECT_EQ(Compose(values).find(L"/td"), std::wstring::npos);
}

TEST(SigningArguments, RefusesArgumentsOf2048CharactersOrMore) {
  SigningValues values = Full();
  std::wstring base = Compose(values);
  // Lengthen the package path until the arguments are 2,047 characters.
  std::wstring package = std::wstring(values.package) + std::wstring(2047 - base.size(), L'p');
  values.package = package.c_str();
  EXPECT_EQ(Compose(values).size(), 2047u);
  package += L"p";
  values.package = package.c_str();
  EXPECT_EQ(Compose(values), L"<-203>");
  EXPECT_EQ(Compose(values, true), L"<-203>") << "masking does not make it fit";
  // The caller's buffer is a limit too.
  EXPECT_EQ(Compose(Full(), false, base.size() + 1), base);
  EXPECT_EQ(Compose(Full(), false, base.size()), L"<-203>");
}

TEST(SigningSettingsParse, ARecordIsTakenWholeOrNotAtAll) {
  SigningSettings full = {};
  memcpy(full.tool_folder, "C:\\Tools", 8);
  memcpy(full.password, "secret", 6);
  full.timestamp = 1;
  std::string bytes(reinterpret_cast<const char*>(&full), sizeof full);
  struct Row {
    const char* what;
    std::string bytes;
    int status;
  } rows[] = {
      {"a whole record", bytes, ST_OK},
      {"a longer file: its first record", bytes + "trailing", ST_OK},
      {"one byte short", bytes.substr(0, bytes.size() - 1), ST_SHORT_READ},
      {"nothing", "", ST_SHORT_READ},
      {"a tool folder without its NUL", std::string(256, 'x') + bytes.substr(256), ST_SIGN_BAD_SETTINGS},
      {"a password without its NUL", bytes.substr(0, 512) + std::string(40, 'p') + bytes.substr(552),
       ST_SIGN_BAD_SETTINGS},
      {"a timestamp URL without its NUL", bytes.substr(0, 752) + std::string(128, 'u') + bytes.substr(880),
       ST_SIGN_BAD_SETTINGS},
  };
  for (const Row& row : rows) {
    SigningSettings read;
    memset(&read, 0xCC, sizeof read);
    EXPECT_EQ(signing_settings_parse(row.bytes.data(), row.bytes.size(), &read), row.status)
        << row.what;
    if (row.status == ST_OK)
      EXPECT_EQ(memcmp(&read, &full, sizeof full), 0) << row.what;
    else
      EXPECT_EQ(read.tool_folder[0] | read.password[0] | read.timestamp, 0) << row.what;
  }
}

}  // namespace
