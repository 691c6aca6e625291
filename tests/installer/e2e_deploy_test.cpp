// What administrators who deploy the Installer rely on: shared-module
// counts across products, the silent switch, the log of a run and a
// registration that fails.
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
      StartProgram(Quoted(package_) + L" -Log/" + Quoted(log) + L" -Silent/", L"", &pid);
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

}  // namespace
