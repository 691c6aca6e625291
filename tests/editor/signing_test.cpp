// Code signing under Wine: composed lines read back by the system's own
// parser, program starts and their statuses, the settings file, and
// signing runs with the stand-in tool (tests/editor/signtool), which signs
// for real with the host's osslsigncode.
#include "editor/signing.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/file.h"
#include "common/file_syscalls.h"
#include "editor/project/editor_text.h"
#include "tests/common/scratch.h"
#include "tests/editor/signing_support.h"
#include "tests/support/helpers.h"

using namespace signing_test;

namespace {

// The time limit of the signing runs here.
const DWORD kLimit = 120000;

// The arguments CommandLineToArgvW makes of line.
std::vector<std::wstring> Argv(const std::wstring& line) {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(line.c_str(), &argc);
  std::vector<std::wstring> args(argv, argv + (argv ? argc : 0));
  LocalFree(argv);
  return args;
}

SigningSettings Settings(const std::wstring& tool_folder, const std::wstring& password) {
  SigningSettings settings = {};
  EXPECT_TRUE(text_to_field(settings.tool_folder, sizeof settings.tool_folder,
                            tool_folder.c_str()));
  EXPECT_TRUE(text_to_field(settings.certificate, sizeof settings.certificate,
                            Native(VT_SIGNING_P12).c_str()));
  EXPECT_TRUE(text_to_field(settings.password, sizeof settings.password, password.c_str()));
  return settings;
}

BOOL WINAPI FullDiskWrite(HANDLE, LPCVOID, DWORD, LPDWORD written, LPOVERLAPPED) {
  if (written) *written = 0;
  SetLastError(ERROR_HANDLE_DISK_FULL);
  return FALSE;
}

void WriteSettings(const std::wstring& path, const SigningSettings& settings) {
  WriteBytes(path, std::string(reinterpret_cast<const char*>(&settings), sizeof settings));
}

// A scratch folder with the stand-in tool in "tools 署名" and a package to
// sign, "パッケージ 1.exe" (a copy of a small Windows program).
class SigningRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    tools_ = scratch_ / L"tools 署名";
    ASSERT_TRUE(CreateDirectoryW(tools_.c_str(), nullptr));
    tool_ = tools_ + L"\\signtool.exe";
    ASSERT_TRUE(CopyFileW(VT_SIGNTOOL_EXE, tool_.c_str(), FALSE)) << GetLastError();
    package_ = scratch_ / L"パッケージ 1.exe";
    ASSERT_TRUE(CopyFileW(VT_PLANTED_SIGNTOOL_EXE, package_.c_str(), FALSE)) << GetLastError();
    settings_path_ = scratch_ / L"codesign.txt";
  }

  // The stand-in's output, for a failure message.
  std::string ToolOutput() { return ReadBytes(tools_ + L"\\" SIGNTOOL_OUTPUT_FILE); }

  Scratch scratch_;
  std::wstring tools_, tool_, package_, settings_path_;
};

TEST(SigningCommandLine, ComposedLinesReadBackExactly) {
  SigningValues rows[] = {
      {L"C:\\証明書\\開発 用.pfx", L"pass word", L"表計算 コントロール", L"http://example.jp/a b",
       true, L"http://ts.example.jp/", L"C:\\出力\\Setup 1.exe"},
      {L"\\\\server\\share\\", L"\\", L"末尾\\\\", L"", false, L"", L"D:\\"},
      {L"c.pfx", L"", L"x\\ y\\", L"*?<>|&^%", true, L"", L"ソ\\"},
  };
  for (const SigningValues& v : rows) {
    wchar_t arguments[SIGNING_ARGUMENTS_CAP];
    ASSERT_GT(signing_arguments_compose(v, false, arguments, SIGNING_ARGUMENTS_CAP), 0);
    std::vector<std::wstring> expected = {L"C:\\Tools 1\\signtool.exe", L"sign", L"/f",
                                          v.certificate, L"/a", L"/fd", L"sha256"};
    if (*v.description) expected.insert(expected.end(), {L"/d", v.description});
    if (*v.description_url) expected.insert(expected.end(), {L"/du", v.description_url});
    if (v.timestamp && *v.timestamp_url)
      expected.insert(expected.end(), {L"/tr", v.timestamp_url, L"/td", L"sha256"});
    expected.insert(expected.end(), {L"/p", v.password, v.package});
    EXPECT_EQ(Argv(L"\"C:\\Tools 1\\signtool.exe\" " + std::wstring(arguments)), expected)
        << Utf8(arguments);
  }
}

TEST(RunAndWait, RefusalsAndStartFailures) {
  Scratch scratch;
  std::wstring bad = scratch / L"bad.exe";
  WriteBytes(bad, "not a program");
  struct Row {
    std::wstring program;
    const wchar_t* arguments;
    int status;
    DWORD error;
  } rows[] = {
      {scratch / L"missing.exe", L"sign", ST_RUN_NOT_FOUND, ERROR_FILE_NOT_FOUND},
      {bad, L"sign", ST_RUN_NOT_EXECUTABLE, ERROR_BAD_EXE_FORMAT},
      {L"signtool.exe", L"sign", ST_RUN_NO_PROGRAM, 0},  // never looked for
      {bad, L"", ST_RUN_BAD_ARGUMENTS, 0},
  };
  for (const Row& row : rows) {
    DWORD exit_code = 99, error = 99;
    EXPECT_EQ(run_and_wait(row.program.c_str(), row.arguments, INFINITE, &exit_code, &error),
              row.status)
        << Utf8(row.program);
    EXPECT_EQ(error, row.error) << Utf8(row.program);
    EXPECT_EQ(exit_code, 0u);
  }
}

TEST_F(SigningRunTest, RunAndWaitTellsAnEarlyEndFromALongRun) {
  WriteBytes(tools_ + L"\\" SIGNTOOL_EXIT_FILE, "7");
  DWORD exit_code = 0, error = 99;
  EXPECT_EQ(run_and_wait(tool_.c_str(), L"sign /a \"x y\"", INFINITE, &exit_code, &error),
            ST_RUN_ENDED_EARLY);
  EXPECT_EQ(exit_code, 7u);
  EXPECT_EQ(error, 0u);

  WriteBytes(tools_ + L"\\" SIGNTOOL_EXIT_FILE, "5 1500");
  DWORD start = GetTickCount();
  EXPECT_EQ(run_and_wait(tool_.c_str(), L"second", 60000, &exit_code, &error), ST_OK);
  EXPECT_GE(GetTickCount() - start, 1500u);
  EXPECT_EQ(exit_code, 5u);

  // The program by its full path between quotes, then the arguments.
  std::vector<SigntoolRun> runs = SigntoolLogRead(tools_);
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[0].command_line, L"\"" + tool_ + L"\" sign /a \"x y\"");
  EXPECT_EQ(runs[0].args, (std::vector<std::wstring>{tool_, L"sign", L"/a", L"x y"}));
  EXPECT_EQ(runs[1].args, (std::vector<std::wstring>{tool_, L"second"}));
}

TEST_F(SigningRunTest, RunAndWaitEndsAProgramAtItsTimeLimit) {
  WriteBytes(tools_ + L"\\" SIGNTOOL_EXIT_FILE, "0 60000");
  DWORD exit_code = 0, error = 0;
  DWORD start = GetTickCount();
  EXPECT_EQ(run_and_wait(tool_.c_str(), L"sign", 5000, &exit_code, &error), ST_RUN_TIMED_OUT);
  EXPECT_LT(GetTickCount() - start, 30000u) << "waited for the program's own end";
  EXPECT_EQ(error, static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_EQ(exit_code, static_cast<DWORD>(ERROR_TIMEOUT));
  EXPECT_TRUE(SigntoolEnded(tools_, 10000)) << "the program still runs";
}

std::string SidText(PSID sid) {
  char* text = nullptr;
  if (!sid || !ConvertSidToStringSidA(sid, &text)) return "<none>";
  std::string out = text;
  LocalFree(text);
  return out;
}

// The accounts of a file's access list as the system reports it, sorted.
std::vector<std::string> AccountsOf(const std::wstring& path) {
  PACL list = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                            nullptr, &list, nullptr, &descriptor) != ERROR_SUCCESS)
    return {"<unreadable>"};
  std::vector<std::string> accounts;
  for (DWORD i = 0; list && i < list->AceCount; ++i) {
    ACCESS_ALLOWED_ACE* ace = nullptr;
    if (GetAce(list, i, reinterpret_cast<void**>(&ace)))
      accounts.push_back(SidText(&ace->SidStart));
  }
  LocalFree(descriptor);
  std::sort(accounts.begin(), accounts.end());
  return accounts;
}

std::string UserSid() {
  HANDLE token = nullptr;
  BYTE buffer[256];
  DWORD size = 0;
  OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token);
  GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size);
  CloseHandle(token);
  return SidText(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid);
}

int FilesIn(const std::wstring& folder) {
  WIN32_FIND_DATAW entry;
  HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &entry);
  int files = 0;
  do files += !(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
  while (FindNextFileW(find, &entry));
  FindClose(find);
  return files;
}

TEST(SigningSettingsFiles, ThePasswordIsKeptEncryptedInFilesOfTheUsersOwn) {
  Scratch scratch;
  const std::wstring path = scratch / L"codesign.txt", password = scratch / L"codesign.pwd";
  SigningSettings first = Settings(L"C:\\署名ツール", L"pass word");
  first.timestamp = 1;
  DWORD error = 0;
  ASSERT_EQ(signing_settings_write(path.c_str(), first, &error), ST_OK) << error;
  const std::string bytes = ReadBytes(path), sealed = ReadBytes(password);
  ASSERT_EQ(bytes.size(), static_cast<size_t>(SIGNING_SETTINGS_SIZE));
  SigningSettings without = first;
  memset(without.password, 0, sizeof without.password);
  EXPECT_EQ(bytes, std::string(reinterpret_cast<const char*>(&without), sizeof without))
      << "the record keeps no password";
  ASSERT_FALSE(sealed.empty());
  EXPECT_EQ(sealed.find("pass word"), std::string::npos);
  EXPECT_EQ(sealed.find(std::string("p\0a\0s\0s\0", 8)), std::string::npos);
  const std::vector<std::string> own = [] {
    std::vector<std::string> v = {UserSid(), "S-1-5-18", "S-1-5-32-544"};
    std::sort(v.begin(), v.end());
    return v;
  }();
  // Both files carry the list of the user, Administrators and SYSTEM alone
  // (the file layer's test shows what it hands to the system). Wine keeps
  // a file's list in its mode bits: it reports the user and SYSTEM, and
  // everyone for a file that others may read, as a file written plainly in
  // this folder may.
  for (const std::wstring& file : {path, password})
    for (const std::string& account : AccountsOf(file))
      EXPECT_NE(std::find(own.begin(), own.end(), account), own.end())
          << Utf8(file) << " lets " << account << " in";
  for (bool trusted : {false, true}) {
    SigningSettings read;
    memset(&read, 0xCC, sizeof read);
    ASSERT_EQ((trusted ? signing_settings_read_trusted : signing_settings_read)(path.c_str(), &read,
                                                                                  &error),
              ST_OK);
    EXPECT_EQ(memcmp(&read, &first, sizeof read), 0) << "read back with its password";
  }

  // A full disk while new settings are written: the old files stay whole
  // and nothing else is left in the folder.
  FileSys.WriteFile = FullDiskWrite;
  int status = signing_settings_write(path.c_str(), Settings(L"D:\\other", L"x"), &error);
  FileSyscallsReset();
  EXPECT_EQ(status, ST_DISK_FULL);
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_HANDLE_DISK_FULL));
  EXPECT_EQ(ReadBytes(path), bytes);
  EXPECT_EQ(ReadBytes(password), sealed);
  EXPECT_EQ(FilesIn(scratch.path()), 2);

  // A record written before passwords were kept encrypted still works, and
  // loses its password at the next registration.
  WriteSettings(path, Settings(L"C:\\old", L"plain"));
  DeleteFileW(password.c_str());
  SigningSettings read;
  ASSERT_EQ(signing_settings_read_trusted(path.c_str(), &read, &error), ST_OK);
  EXPECT_STREQ(read.password, "plain");
  ASSERT_EQ(signing_settings_write(path.c_str(), read, &error), ST_OK);
  EXPECT_EQ(ReadBytes(path).find("plain"), std::string::npos);
  ASSERT_EQ(signing_settings_read(path.c_str(), &read, &error), ST_OK);
  EXPECT_STREQ(read.password, "plain");

  // A file one byte short is no settings file, and the record is cleared.
  WriteBytes(path, bytes.substr(1));
  memset(&read, 0xCC, sizeof read);
  EXPECT_EQ(signing_settings_read(path.c_str(), &read, &error), ST_SHORT_READ);
  EXPECT_EQ(read.tool_folder[0] | read.reserved_880[639], 0);
  EXPECT_EQ(signing_settings_read((scratch / L"none.txt").c_str(), &read, &error),
            ST_FILE_NOT_FOUND);
}

// Lets everyone change a file, as another user (or a program of theirs)
// could leave it. Under Wine this is what a file's list can show besides
// its owner: its mode bits.
bool OpenToEveryone(const std::wstring& path) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:(A;;FA;;;WD)", SDDL_REVISION_1,
                                                            &descriptor, nullptr))
    return false;
  BOOL present = FALSE, defaulted = FALSE;
  PACL list = nullptr;
  GetSecurityDescriptorDacl(descriptor, &present, &list, &defaulted);
  DWORD error = SetNamedSecurityInfoW(const_cast<wchar_t*>(path.c_str()), SE_FILE_OBJECT,
                                      DACL_SECURITY_INFORMATION, nullptr, nullptr, list, nullptr);
  LocalFree(descriptor);
  std::vector<std::string> accounts = AccountsOf(path);
  return error == ERROR_SUCCESS &&
         std::find(accounts.begin(), accounts.end(), "S-1-1-0") != accounts.end();
}

// Registered settings that everyone may change are refused before the tool
// runs, the record and the password file alike; so is a password that
// does not decrypt. (Owners and the other accounts of a list are the rule's
// table test: Wine shows none but the file's own user.)
TEST_F(SigningRunTest, SettingsSomeoneElseCouldHaveWrittenAreNeverUsed) {
  const std::wstring password = scratch_ / L"codesign.pwd";
  struct Row {
    const char* what;
    bool record;          // the record is changed (else the password file)
    bool open;            // everyone may change it
    const char* bytes;    // NULL: as registered
    int status;
  } rows[] = {
      {"as registered", true, false, nullptr, ST_OK},
      {"a record everyone may change", true, true, nullptr, ST_SIGN_UNTRUSTED},
      {"a password file everyone may change", false, true, nullptr, ST_SIGN_UNTRUSTED},
      {"a password that does not decrypt", false, false, "not sealed", ST_SIGN_PASSWORD},
  };
  WriteBytes(tools_ + L"\\" SIGNTOOL_EXIT_FILE, "0");
  for (const Row& row : rows) {
    DWORD error = 0;
    ASSERT_EQ(signing_settings_write(settings_path_.c_str(), Settings(tools_, L"pass word"),
                                     &error),
              ST_OK);
    const std::wstring& file = row.record ? settings_path_ : password;
    if (row.bytes) WriteBytes(file, row.bytes);
    if (row.open) ASSERT_TRUE(OpenToEveryone(file)) << row.what << ": cannot be planted";
    size_t runs = SigntoolLogRead(tools_).size();
    SignRun run;
    EXPECT_EQ(sign_package(settings_path_.c_str(), package_.c_str(), kLimit, &run, &error),
              row.status)
        << row.what;
    EXPECT_EQ(run.started, row.status == ST_OK) << row.what;
    EXPECT_EQ(SigntoolLogRead(tools_).size(), runs + (row.status == ST_OK)) << row.what;
    DeleteFileW(file.c_str());
  }
}

TEST_F(SigningRunTest, SignsThePackageWithExactlyTheComposedArguments) {
  SigningSettings settings = Settings(tools_, L"pass word");
  ASSERT_TRUE(text_to_field(settings.description, sizeof settings.description, L"表計算 部品"));
  ASSERT_TRUE(text_to_field(settings.description_url, sizeof settings.description_url,
                            L"http://example.jp/部品"));
  settings.timestamp = 1;
  ASSERT_TRUE(text_to_field(settings.timestamp_url, sizeof settings.timestamp_url,
                            L"http://ts.example.jp/"));
  WriteSettings(settings_path_, settings);
  std::string unsigned_bytes = ReadBytes(package_);
  std::string report;
  EXPECT_FALSE(SignatureVerifies(package_, Native(VT_SIGNING_CERT_PEM), &report))
      << "an unsigned package verifies: " << report;

  SignRun run;
  DWORD error = 99;
  ASSERT_EQ(sign_package(settings_path_.c_str(), package_.c_str(), kLimit, &run, &error), ST_OK)
      << error << " " << ToolOutput();
  EXPECT_TRUE(run.started);
  EXPECT_EQ(run.exit_code, 0u);
  EXPECT_EQ(error, 0u);

  std::vector<SigntoolRun> runs = SigntoolLogRead(tools_);
  ASSERT_EQ(runs.size(), 1u);
  std::vector<std::wstring> expected = {
      tool_,  L"sign",     L"/f",   Native(VT_SIGNING_P12), L"/a", L"/fd",  L"sha256",
      L"/d",  L"表計算 部品", L"/du", L"http://example.jp/部品", L"/tr",
      L"http://ts.example.jp/", L"/td", L"sha256", L"/p",  L"pass word", package_};
  EXPECT_EQ(runs[0].args, expected);
  // What people are shown is what the tool got, but for the password.
  std::wstring shown = runs[0].command_line;
  shown.replace(shown.find(L"\"pass word\""), 11, L"\"***\"");
  EXPECT_EQ(std::wstring(run.command_line), shown);

  EXPECT_TRUE(SignatureVerifies(package_, Native(VT_SIGNING_CERT_PEM), &report)) << report;
  EXPECT_GT(ReadBytes(package_).size(), unsigned_bytes.size());
}

TEST_F(SigningRunTest, ANonZeroExitCodeFailsTheSigning) {
  WriteSettings(settings_path_, Settings(tools_, L"pass word"));
  WriteBytes(tools_ + L"\\" SIGNTOOL_EXIT_FILE, "1");
  std::string unsigned_bytes = ReadBytes(package_);
  SignRun run;
  DWORD error = 0;
  EXPECT_EQ(sign_package(settings_path_.c_str(), package_.c_str(), kLimit, &run, &error),
            ST_SIGN_TOOL_FAILED);
  EXPECT_EQ(error, 1u);
  EXPECT_EQ(run.exit_code, 1u);
  EXPECT_TRUE(run.started);
  EXPECT_EQ(ReadBytes(package_), unsigned_bytes);

  // A wrong password: the tool runs osslsigncode, which refuses.
  DeleteFileW((tools_ + L"\\" SIGNTOOL_EXIT_FILE).c_str());
  WriteSettings(settings_path_, Settings(tools_, L"wrong"));
  EXPECT_EQ(sign_package(settings_path_.c_str(), package_.c_str(), kLimit, &run, &error),
            ST_SIGN_TOOL_FAILED);
  EXPECT_EQ(error, static_cast<DWORD>(SIGNTOOL_EXIT_SIGNING)) << ToolOutput();
  EXPECT_EQ(ReadBytes(package_), unsigned_bytes);
}

TEST_F(SigningRunTest, OnlyTheToolOfTheSettingsIsEverStarted) {
  // A planted signtool.exe in the current folder and first on the program
  // search path: a search for the tool would find it.
  std::wstring planted = scratch_ / L"planted";
  ASSERT_TRUE(CreateDirectoryW(planted.c_str(), nullptr));
  ASSERT_TRUE(CopyFileW(VT_PLANTED_SIGNTOOL_EXE, (planted + L"\\signtool.exe").c_str(), FALSE));
  wchar_t old_folder[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, old_folder);
  std::vector<wchar_t> old_path(32768);
  DWORD old_path_length = GetEnvironmentVariableW(L"PATH", old_path.data(), 32768);
  std::wstring path = planted + L";" + std::wstring(old_path.data(), old_path_length);
  ASSERT_TRUE(SetCurrentDirectoryW(planted.c_str()));
  ASSERT_TRUE(SetEnvironmentVariableW(L"PATH", path.c_str()));
  wchar_t found[MAX_PATH] = L"";
  SearchPathW(nullptr, L"signtool.exe", nullptr, MAX_PATH, found, nullptr);

  WriteBytes(tools_ + L"\\" SIGNTOOL_EXIT_FILE, "0");
  std::wstring empty_folder = scratch_ / L"empty";
  CreateDirectoryW(empty_folder.c_str(), nullptr);
  struct Row {
    std::wstring tool_folder;
    int status;
    DWORD error;
  } rows[] = {
      {tools_, ST_OK, 0},
      {L"", ST_RUN_NO_PROGRAM, 0},
      {empty_folder, ST_RUN_NOT_FOUND, ERROR_FILE_NOT_FOUND},
  };
  for (const Row& row : rows) {
    WriteSettings(settings_path_, Settings(row.tool_folder, L"pass word"));
    SignRun run;
    DWORD error = 99;
    EXPECT_EQ(sign_package(settings_path_.c_str(), package_.c_str(), kLimit, &run, &error), row.status)
        << Utf8(row.tool_folder);
    EXPECT_EQ(error, row.error) << Utf8(row.tool_folder);
    EXPECT_EQ(run.started, row.status == ST_OK);
  }
  std::vector<wchar_t> path_after(32768);
  GetEnvironmentVariableW(L"PATH", path_after.data(), 32768);
  SetCurrentDirectoryW(old_folder);
  SetEnvironmentVariableW(L"PATH", old_path.data());

  EXPECT_EQ(Native(found), planted + L"\\signtool.exe");
  EXPECT_EQ(SigntoolLogRead(tools_).size(), 1u);
  EXPECT_FALSE(Exists(planted + L"\\" SIGNTOOL_PLANTED_FILE)) << "the planted tool was started";
  EXPECT_EQ(std::wstring(path_after.data()), path) << "the program search path was changed";
  DWORD error = 0;
  EXPECT_EQ(sign_package((scratch_ / L"none.txt").c_str(), package_.c_str(), kLimit, nullptr, &error),
            ST_FILE_NOT_FOUND);
}

}  // namespace
