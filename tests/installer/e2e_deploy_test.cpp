// What administrators who deploy the Installer rely on: shared-module
// counts across products, a module that is never downgraded or needlessly
// rewritten, the silent switch, the log of a run and a registration that
// fails.
#include <shlobj.h>

#include "tests/installer/e2e_fixture.h"
#include "tests/support/ui_driver.h"

namespace {

class DeployE2E : public InstallerE2E {
 protected:
  // A second product with the same module: its own GUID and package.
  std::wstring OtherGuid() {
    if (other_guid_.empty()) other_guid_ = NewGuid();
    return other_guid_;
  }

  std::wstring UninstallCommand(const std::wstring& guid) {
    return Quoted(ProgramFilesFolder() + L"\\HV-Vanto\\" + guid + L"\\hvuninst.exe") +
           L" -UnInstall/" + guid;
  }

  std::wstring other_guid_;
};

// Two products install the same module; the first uninstall leaves it for
// the second, whose uninstall removes it. A reinstall counts once.
TEST_F(DeployE2E, ASharedModuleStaysUntilItsLastProductIsRemoved) {
  ASSERT_TRUE(Build().ok);
  ASSERT_EQ(Install(), 0);
  EXPECT_EQ(SharedCount(Target()), 1);
  ASSERT_EQ(Install(), 0) << "a reinstall";
  EXPECT_EQ(SharedCount(Target()), 1) << "a reinstall counts once";

  package_ = scratch_.file(L"pkg2_" + tag_ + L".exe");
  ASSERT_TRUE(Build({{L"Vantorel-Init.InstallGUID", OtherGuid()}}).ok);
  ASSERT_EQ(Install(), 0);
  EXPECT_EQ(SharedCount(Target()), 2);

  EXPECT_EQ(RunProgram(UninstallCommand(guid_), L"", kRunTimeout), 0);
  EXPECT_TRUE(FileExists(Target())) << "the other product still uses it";
  EXPECT_TRUE(ModuleRegistered(module_name_));
  EXPECT_EQ(SharedCount(Target()), 1);
  EXPECT_FALSE(KeyExists(UninstallKey(guid_))) << "the first product's entry goes";
  EXPECT_TRUE(KeyExists(UninstallKey(OtherGuid())));

  EXPECT_EQ(RunProgram(UninstallCommand(OtherGuid()), L"", kRunTimeout), 0);
  EXPECT_FALSE(FileExists(Target()));
  EXPECT_FALSE(ModuleRegistered(module_name_));
  EXPECT_EQ(SharedCount(Target()), -1);
  EXPECT_FALSE(KeyExists(UninstallKey(OtherGuid())));
  KeyRemove(UninstallKey(OtherGuid()));
  TreeRemove(ProgramFilesFolder() + L"\\HV-Vanto\\" + OtherGuid());
}

// A module that was there before any install without a count belongs to
// someone else as well: the uninstall leaves it in place.
TEST_F(DeployE2E, AModulePresentBeforeTheInstallSurvivesTheUninstall) {
  ASSERT_TRUE(FileWriteBytes(Target(), module_bytes_));
  ASSERT_TRUE(Build().ok);
  ASSERT_EQ(Install(), 0);
  EXPECT_EQ(SharedCount(Target()), 2);
  EXPECT_EQ(RunProgram(UninstallCommand(guid_), L"", kRunTimeout), 0);
  EXPECT_TRUE(FileExists(Target()));
  EXPECT_EQ(SharedCount(Target()), 1);
  EXPECT_FALSE(KeyExists(UninstallKey(guid_)));
}

// A package that shows its dialog runs with "-Silent/" without any window,
// installs, logs its steps, and is removed by the entry's quiet command.
TEST_F(DeployE2E, TheSilentSwitchShowsNothingAndTheLogTellsEachStep) {
  ASSERT_TRUE(Build({{L"Vantorel-Init.InstallType", L"0"},
                     {L"Vantorel-Init.WarningMsg", L"1"},
                     {L"Vantorel-UnInstall.UnInstallType", L"0"}})
                  .ok);
  std::wstring log = scratch_.file(L"run " + tag_ + L".log");
  DWORD pid = 0;
  HANDLE process =
      ProgramStart(Quoted(package_) + L" -Log/" + Quoted(log) + L" -Silent/", L"", nullptr, &pid);
  ASSERT_NE(process, nullptr);
  bool window = false;
  DWORD code = STILL_ACTIVE;
  for (DWORD start = GetTickCount(); GetTickCount() - start < kRunTimeout;) {
    UiWindowQuery query;
    query.process_id = pid;
    if (UiWindowFind(query)) window = true;
    if (WaitForSingleObject(process, 50) == WAIT_OBJECT_0) break;
  }
  GetExitCodeProcess(process, &code);
  CloseHandle(process);
  EXPECT_FALSE(window) << "a window of the run appeared";
  EXPECT_EQ(code, 0u);
  EXPECT_TRUE(ModuleRegistered(module_name_));

  std::string text = FileBytes(log);
  for (const char* step : {"開始: ", "検査: OS ", "検査: 管理者権限: 合格", "展開: ", "コピー: ",
                           "登録: ", "終了コード 0", "共有カウント: ", "ファイル: ",
                           "レジストリ: HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
                           "QuietUninstallString", "終了: 状態 0 (正常終了)"})
    EXPECT_NE(text.find(step), std::string::npos) << step << "\n" << text;

  // The quiet command removes it without a window too, and appends its
  // lines to the same log when asked.
  std::wstring quiet = KeyTexts(UninstallKey(guid_))[L"QuietUninstallString"];
  ASSERT_FALSE(quiet.empty());
  EXPECT_EQ(RunProgram(quiet + L" -Log/" + Quoted(log), L"", kRunTimeout), 0);
  EXPECT_FALSE(FileExists(Target()));
  EXPECT_FALSE(KeyExists(UninstallKey(guid_)));
  text = FileBytes(log);
  EXPECT_NE(text.find("削除: "), std::string::npos) << text;
  size_t first_end = text.find("終了: 状態 0");
  EXPECT_NE(text.find("終了: 状態 0", first_end + 1), std::string::npos) << "two runs logged";
}

// A failing run logs how far it got and its status; a module whose
// registration fails ends the install with 34 and leaves nothing behind.
TEST_F(DeployE2E, FailuresAreLoggedAndAFailedRegistrationIsNoSuccess) {
  PackageResult built = Build();
  ASSERT_TRUE(built.ok);
  std::string bytes = FileBytes(package_);
  bytes[built.image_length + 4 + built.payload_length / 2] ^= 0x01;
  ASSERT_TRUE(FileWriteBytes(package_, bytes));
  std::wstring log = scratch_.file(L"fail_" + tag_ + L".log");
  EXPECT_EQ(RunProgram(Quoted(package_) + L" -Log/" + log, L"", kRunTimeout), 24);
  std::string text = FileBytes(log);
  EXPECT_NE(text.find("展開: "), std::string::npos) << text;
  EXPECT_NE(text.find("終了: 状態 24 (パッケージが壊れています)"), std::string::npos) << text;
  ExpectNothingInstalled();

  // The same module under a name it refuses to be registered by.
  Cleanup();
  module_name_ = L"vtfail_" + tag_ + L".ocx";
  module_ = scratch_.file(module_name_);
  ASSERT_TRUE(FileWriteBytes(module_, module_bytes_));
  ASSERT_TRUE(Build().ok);
  EXPECT_EQ(RunProgram(Quoted(package_) + L" -Silent/ -Log/" + log, L"", kRunTimeout), 34);
  text = FileBytes(log);
  EXPECT_NE(text.find("終了: 状態 34 (登録に失敗しました)"), std::string::npos) << text;
  EXPECT_FALSE(FileExists(Target())) << "the module this run brought is taken away";
  EXPECT_FALSE(KeyExists(UninstallKey(guid_)));
  EXPECT_EQ(SharedCount(Target()), -1);
}

// A package of module version 3 over the same module at version 4,
// counted for one other product: version 4 stays byte for byte and is
// registered, this product counts as a user and gets its entry; its
// uninstall leaves version 4 for the other product.
TEST_F(DeployE2E, ANewerModuleInPlaceIsNeverDowngraded) {
  const std::string v4 = FileBytes(TestComVersionedDll()), v3 = FileBytes(TestComVersion3Dll());
  ASSERT_FALSE(v4.empty());
  ASSERT_FALSE(v3.empty());
  ASSERT_TRUE(FileWriteBytes(Target(), v4));
  SharedValueSet(Target(), REG_DWORD, std::string("\x01\0\0\0", 4));
  ASSERT_TRUE(FileWriteBytes(module_, v3));
  ASSERT_TRUE(Build().ok);
  const std::wstring log = scratch_.file(L"newer_" + tag_ + L".log");
  EXPECT_EQ(RunProgram(Quoted(package_) + L" -Log/" + Quoted(log), L"", kRunTimeout), 0);
  EXPECT_EQ(FileBytes(Target()), v4) << "version 4 stays";
  EXPECT_EQ(SharedCount(Target()), 2);
  EXPECT_TRUE(ModuleRegistered(module_name_)) << "what is there is registered";
  EXPECT_TRUE(KeyExists(UninstallKey(guid_)));
  std::string text = FileBytes(log);
  EXPECT_NE(text.find("は新しい版 4.3.2.1 のため残します (パッケージ 3.0.0.0)"), std::string::npos)
      << text;
  EXPECT_NE(text.find("終了: 状態 0 "), std::string::npos) << text;

  EXPECT_EQ(RunProgram(UninstallCommand(guid_) + L" -Log/" + Quoted(log), L"", kRunTimeout), 0);
  EXPECT_EQ(FileBytes(Target()), v4) << "left for the other product";
  EXPECT_EQ(SharedCount(Target()), 1);
  EXPECT_FALSE(KeyExists(UninstallKey(guid_)));
  std::printf("%s", FileBytes(log).c_str());
}

// The last time the file at path was written.
ULONGLONG WriteTime(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data = {};
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return static_cast<ULONGLONG>(data.ftLastWriteTime.dwHighDateTime) << 32 |
         data.ftLastWriteTime.dwLowDateTime;
}

// The package's own module already in place, loaded by another program:
// nothing is written, nothing waits for the restart (the silent switch
// would end with 3010), and the file keeps its time stamp.
TEST_F(DeployE2E, TheSameModuleInUseIsNotWrittenAgain) {
  ASSERT_TRUE(FileWriteBytes(Target(), module_bytes_));
  HANDLE file = CreateFileW(Target().c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0,
                            nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  FILETIME old = {0x12345600, 0x01C00000};  // in 2001
  SetFileTime(file, nullptr, nullptr, &old);
  CloseHandle(file);
  const ULONGLONG stamp = WriteTime(Target());
  ASSERT_TRUE(Build({{L"Vantorel-Init.CopyError", L"1"}, {L"Vantorel-Init.RebootMsg", L"1"}}).ok);
  HMODULE in_use = LoadLibraryW(Target().c_str());
  ASSERT_NE(in_use, nullptr);
  const std::wstring log = scratch_.file(L"same_" + tag_ + L".log");
  long status = RunProgram(Quoted(package_) + L" -Silent/ -Log/" + Quoted(log), L"", kRunTimeout);
  FreeLibrary(in_use);
  EXPECT_EQ(status, 0) << "no restart waits";
  EXPECT_EQ(WriteTime(Target()), stamp) << "not written";
  EXPECT_EQ(FileBytes(Target()), module_bytes_);
  for (const auto& pair : PendingRenames())
    EXPECT_NE(Lower(PendingPath(pair.second)), Lower(Target())) << "no replacement waits";
  EXPECT_TRUE(ModuleRegistered(module_name_));
  EXPECT_EQ(SharedCount(Target()), 2) << "its earlier owner and this product";
  const std::string text = FileBytes(log);
  EXPECT_NE(text.find("は同一のため書き込みません"), std::string::npos) << text;
  EXPECT_EQ(text.find("置換: "), std::string::npos) << text;
  std::printf("%s", text.c_str());
}

// A count that is text, and a count at its maximum: the install leaves
// each as it is and the uninstall keeps the module for the users it
// cannot count.
TEST_F(DeployE2E, ACountOfUnknownFormOrAtItsMaximumKeepsTheModule) {
  const std::wstring one = L"1";
  const struct {
    const char* what;
    DWORD type;
    std::string data;
  } rows[] = {
      {"text", REG_SZ, std::string(reinterpret_cast<const char*>(one.c_str()), 4)},
      {"maximum", REG_DWORD, std::string("\xFF\xFF\xFF\xFF", 4)},
  };
  ASSERT_TRUE(Build().ok);
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    Cleanup();
    const std::wstring log = scratch_.file(L"count_" + tag_ + L".log");
    SharedValueSet(Target(), row.type, row.data);
    EXPECT_EQ(RunProgram(Quoted(package_) + L" -Log/" + Quoted(log), L"", kRunTimeout), 0);
    EXPECT_EQ(SharedValue(Target()), std::make_pair(row.type, row.data)) << "left as it was";
    EXPECT_EQ(RunProgram(UninstallCommand(guid_) + L" -Log/" + Quoted(log), L"", kRunTimeout), 0);
    EXPECT_EQ(FileBytes(Target()), module_bytes_) << "the module survives the uninstall";
    EXPECT_TRUE(ModuleRegistered(module_name_));
    EXPECT_EQ(SharedValue(Target()), std::make_pair(row.type, row.data));
    EXPECT_FALSE(KeyExists(UninstallKey(guid_)));
    std::printf("%s: %s", row.what, FileBytes(log).c_str());
  }
}

// "-Log/" naming a second name of another file: nothing is written through
// it and the run completes. A command line cannot forge a line of a log.
TEST_F(DeployE2E, ALogNamingAHardLinkIsNotWrittenThroughNorForged) {
  ASSERT_TRUE(Build().ok);
  const std::wstring log = scratch_.file(L"forged_" + tag_ + L".log");
  EXPECT_EQ(RunProgram(Quoted(package_) + L" -Log/" + Quoted(log) +
                           L" x\r\n2026-12-09 00:00:00 終了: 状態 0 (正常終了)",
                       L"", kRunTimeout),
            0);
  const std::string text = FileBytes(log);
  EXPECT_NE(text.find("x\\x0D\\x0A2026-12-09"), std::string::npos) << text;
  EXPECT_EQ(text.find("\n2026-12-09 00:00:00"), std::string::npos) << text;

  Cleanup();
  const std::wstring victim = scratch_.file(L"victim.txt");
  const std::wstring link = scratch_.file(L"hard.log");
  ASSERT_TRUE(FileWriteBytes(victim, "not a log"));
  ASSERT_TRUE(CreateHardLinkW(link.c_str(), victim.c_str(), nullptr));
  EXPECT_EQ(RunProgram(Quoted(package_) + L" -Log/" + Quoted(link), L"", kRunTimeout), 0);
  EXPECT_EQ(FileBytes(victim), "not a log");
  EXPECT_TRUE(ModuleRegistered(module_name_)) << "the run completed";
}

// The same for a symbolic link, where the platform makes one.
TEST_F(DeployE2E, ALogNamingASymbolicLinkIsNotWrittenThrough) {
  const std::wstring victim = scratch_.file(L"victim.txt");
  const std::wstring link = scratch_.file(L"sym.log");
  ASSERT_TRUE(FileWriteBytes(victim, "not a log"));
  if (!CreateSymbolicLinkW(link.c_str(), victim.c_str(), 0) || !FileExists(link))
    GTEST_SKIP() << "this platform makes no symbolic link (Wine 8's CreateSymbolicLinkW "
                    "reports success and makes nothing)";
  ASSERT_TRUE(Build().ok);
  EXPECT_EQ(RunProgram(Quoted(package_) + L" -Log/" + Quoted(link), L"", kRunTimeout), 0);
  EXPECT_EQ(FileBytes(victim), "not a log");
  EXPECT_TRUE(ModuleRegistered(module_name_)) << "the run completed";
}

// The Program Files folder the run works with is the shell's, on each
// system it is run as.
TEST_F(DeployE2E, ProgramFilesIsTheShellsOnEverySystem) {
  wchar_t shell[MAX_PATH] = L"";
  ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, shell, CSIDL_PROGRAM_FILES, FALSE));
  PackageResult built = Build();
  ASSERT_TRUE(built.ok);
  std::string bytes = FileBytes(package_);
  bytes[built.image_length + 4 + built.payload_length / 2] ^= 0x01;  // stops after the checks
  ASSERT_TRUE(FileWriteBytes(package_, bytes));
  char expected[3 * MAX_PATH];
  WideCharToMultiByte(CP_UTF8, 0, shell, -1, expected, sizeof expected, nullptr, nullptr);
  for (const wchar_t* version : {L"winxp64", L"win2003", L"vista", L"win7", L"win2008r2"}) {
    SCOPED_TRACE(std::string(version, version + wcslen(version)));
    WineVersionSet(PackageName(), version);
    const std::wstring log = scratch_.file(std::wstring(L"pf_") + version + L".log");
    EXPECT_EQ(RunProgram(Quoted(package_) + L" -Log/" + Quoted(log), L"", kRunTimeout), 24);
    EXPECT_NE(FileBytes(log).find("Program Files \"" + std::string(expected) + "\": 合格"),
              std::string::npos)
        << FileBytes(log);
  }
}

}  // namespace
