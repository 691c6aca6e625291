// The Installer's popups as a user meets them: real packages run under
// Xvfb, their popups read and answered through the UI driver. No test ever
// answers "Yes" to a restart.
#include "tests/installer/e2e_fixture.h"
#include "tests/support/ui_driver.h"

namespace {

const wchar_t kCaption[] = L"確認メッセージ";

struct PopupSeen {
  bool found = false;
  std::wstring line1, line2;
  std::vector<std::wstring> buttons;
  bool icon = false;
};

// Starts the command, waits for its popup, reads it, saves the screen
// under the name screen when one is given, clicks the button id and
// returns the exit code (or -2 when the program did not end).
long RunAndAnswer(const std::wstring& command, int answer, PopupSeen* seen,
                  const wchar_t* screen = nullptr) {
  DWORD pid = 0;
  HANDLE process = ProgramStart(command, L"", nullptr, &pid);
  if (!process) return -1;
  HWND popup = UiDialogWait(pid, kCaption, 60000);
  if (popup) {
    seen->found = true;
    seen->line1 = UiControlText(popup, 901);
    seen->line2 = UiControlText(popup, 902);
    for (const UiButton& button : UiPushButtons(popup)) seen->buttons.push_back(button.text);
    seen->icon = UiDialogIcon(popup) != nullptr;
    if (screen) {
      Sleep(300);
      EXPECT_TRUE(ScreenSave(screen, {popup}));
    }
    UiClick(popup, answer);
  }
  DWORD code = 0;
  long result = -2;
  if (UiProcessWait(process, 60000, &code)) {
    result = static_cast<long>(code);
  } else {
    TerminateProcess(process, 9);
  }
  CloseHandle(process);
  return result;
}

using InstallerPopups = InstallerE2E;

TEST_F(InstallerPopups, FailedCheckIsReportedWhenWarningsAreOn) {
  struct Row {
    const char* what;
    std::map<std::wstring, std::wstring> overrides;
    long status;
    const wchar_t* line1;
    const wchar_t* line2;
  } rows[] = {
      {"mask",
       {{L"Vantorel-Init.InstOsVer", L"000-000-000-000"}, {L"Vantorel-Init.WarningMsg", L"1"}},
       21, L"インストール対象のOSとして登録されていません。", L"インストールは行えません。 - (0, 0)"},
      {"file name",
       {{L"Vantorel-Copy.InstFileName", L"a\\b.ocx"}, {L"Vantorel-Init.WarningMsg", L"1"}},
       24, L"インストールファイルの整合性が確認出来ません。",
       L"インストール処理を中止します。 - (0, 0)"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    ASSERT_TRUE(Build(row.overrides).ok);
    PopupSeen seen;
    EXPECT_EQ(RunAndAnswer(Quoted(package_), 2, &seen, row.status == 21 ? L"popup" : nullptr),
              row.status);
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(seen.line1, row.line1);
    EXPECT_EQ(seen.line2, row.line2);
    EXPECT_EQ(seen.buttons, std::vector<std::wstring>{L"OK"});
    EXPECT_TRUE(seen.icon);
    ExpectNothingInstalled();
  }
}

TEST_F(InstallerPopups, StartUpErrorShowsStatusTextAndError) {
  ASSERT_TRUE(Build().ok);
  ASSERT_TRUE(ResourceHide(package_, 501));
  PopupSeen seen;
  EXPECT_EQ(RunAndAnswer(Quoted(package_), 2, &seen), 11);
  ASSERT_TRUE(seen.found);
  const std::wstring prefix = L"インストール環境データの取得エラー1 - ";
  EXPECT_EQ(seen.line1.compare(0, prefix.size(), prefix), 0);
  EXPECT_GT(std::stol(seen.line1.substr(prefix.size())), 0) << "the system's error";
  EXPECT_EQ(seen.line2, L"");
  EXPECT_EQ(seen.buttons, std::vector<std::wstring>{L"OK"});
}

TEST_F(InstallerPopups, SilentCopyFailureIsReportedWhenWarningsAreOn) {
  ASSERT_TRUE(FileWriteBytes(Target(), "older"));
  ASSERT_TRUE(Build({{L"Vantorel-Init.WarningMsg", L"1"}}).ok);
  HANDLE held = CreateFileW(Target().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  PopupSeen seen;
  long status = RunAndAnswer(Quoted(package_), 2, &seen);
  CloseHandle(held);
  EXPECT_EQ(status, 31);
  ASSERT_TRUE(seen.found);
  EXPECT_EQ(seen.line1, L"指定ファイルのコピーに失敗しました。(32)");
  EXPECT_EQ(seen.line2, L"");
  EXPECT_EQ(seen.buttons, std::vector<std::wstring>{L"OK"});
}

// The restart prompt of a silent run: "Yes"/"No" when a restart is allowed,
// else only "OK". Answered "No" or "OK", the run ends as a success that
// waits for the restart.
TEST_F(InstallerPopups, RestartPromptOfASilentRun) {
  struct Row {
    const wchar_t* reboot_run;
    std::vector<std::wstring> buttons;
    const wchar_t* line2;
  } rows[] = {
      {L"1", {L"Yes", L"No"}, L"PCのリブートを実行しますか？。"},
      {L"0", {L"OK"}, L"PCの再起動を行って下さい。"},
  };
  // The package brings another build of the module than the one in use
  // (the same one would not be written at all).
  ASSERT_TRUE(FileWriteBytes(module_, module_bytes_ + std::string(4096, '\x5a')));
  for (const Row& row : rows) {
    SCOPED_TRACE(row.reboot_run);
    ASSERT_TRUE(FileWriteBytes(Target(), module_bytes_));
    ASSERT_TRUE(Build({{L"Vantorel-Init.CopyError", L"1"},
                       {L"Vantorel-Init.RebootMsg", L"1"},
                       {L"Vantorel-Init.RebootRun", row.reboot_run}})
                    .ok);
    HMODULE in_use = LoadLibraryW(Target().c_str());
    ASSERT_NE(in_use, nullptr);
    PopupSeen seen;
    long status = RunAndAnswer(Quoted(package_), 2, &seen);  // "No", or "OK"
    FreeLibrary(in_use);
    EXPECT_EQ(status, 0);
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(seen.line1, L"処理を完了する為にはPCの再起動が必要です。");
    EXPECT_EQ(seen.line2, row.line2);
    EXPECT_EQ(seen.buttons, row.buttons);
    bool scheduled = false;
    for (const auto& pair : PendingRenames()) {
      if (Lower(PendingPath(pair.second)) != Lower(Target())) continue;
      scheduled = true;
      DeleteFileW(PendingPath(pair.first).c_str());
    }
    EXPECT_TRUE(scheduled);
    Cleanup();
  }
}

}  // namespace
