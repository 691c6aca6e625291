// The main dialog, the progress dialog and the closing messages of runs
// that are not silent, as a user meets them: real packages started as
// processes under Xvfb, their windows found, read and answered through the
// UI driver. Screens of the dialogs are saved for looking at. No test ever
// answers "Yes" to a restart.
#include <gtest/gtest.h>
#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "tests/installer/e2e_fixture.h"
#include "tests/support/ui_driver.h"

namespace {

const wchar_t kMainCaption[] = L"Installer";
const wchar_t kProgressCaption[] = L"セットアップ処理";
const wchar_t kConfirm[] = L"確認メッセージ";
const wchar_t kError[] = L"異常メッセージ";

const wchar_t kLeadInstall[] = L"インストール設定に問題が無いか確認して下さい。";
const wchar_t kLeadUninstall[] = L"下記セットアップファイルのアンインストールを実施します。";
const wchar_t kStopAsk[] = L"処理を中止します。\r\nよろしいですか？";
const wchar_t kRestartAsk[] = L"処理を完了する為にはPCの再起動が必要です。\r\nリブートしますか？";

const DWORD kWindowWait = 60000;

std::wstring UserName() {
  wchar_t user[256];
  DWORD size = 256;
  return GetUserNameW(user, &size) ? user : L"";
}

// One run of a package or an uninstaller as its own process; one that is
// still running when the test ends is ended.
class PackageRun {
 public:
  explicit PackageRun(const std::wstring& command) {
    process_ = ProgramStart(command, L"", nullptr, &pid_);
  }
  ~PackageRun() {
    if (!process_) return;
    if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) TerminateProcess(process_, 9);
    CloseHandle(process_);
  }
  HWND Dialog(const wchar_t* caption, DWORD timeout_ms = kWindowWait) const {
    return process_ ? UiDialogWait(pid_, caption, timeout_ms) : nullptr;
  }
  // The exit code, or -2 when the process did not end in time.
  long Wait() {
    DWORD code = 0;
    if (!process_ || !UiProcessWait(process_, kWindowWait, &code)) return -2;
    return static_cast<long>(code);
  }

 private:
  HANDLE process_ = nullptr;
  DWORD pid_ = 0;
};

// A message box as seen: its text and its buttons' ids.
struct Box {
  HWND window = nullptr;
  std::wstring text;
  std::vector<int> buttons;
  bool icon = false;
};

Box BoxWait(const PackageRun& run, const wchar_t* caption) {
  Box box;
  box.window = run.Dialog(caption);
  if (!box.window) return box;
  box.text = UiControlText(box.window, UI_MESSAGE_BOX_TEXT_ID);
  for (const UiButton& button : UiPushButtons(box.window)) box.buttons.push_back(button.id);
  box.icon = UiDialogIcon(box.window) != nullptr;
  return box;
}

// The texts of the main dialog's controls that change from run to run.
std::map<int, std::wstring> Facts(HWND main) {
  std::map<int, std::wstring> texts;
  for (int id : {902, 913, 914, 915, 916, 917, 918, 1022}) texts[id] = UiControlText(main, id);
  return texts;
}

// The main dialog lies centred on the screen.
void ExpectCentred(HWND main) {
  RECT rect, screen;
  ASSERT_TRUE(GetWindowRect(main, &rect));
  ASSERT_TRUE(GetWindowRect(GetDesktopWindow(), &screen));
  EXPECT_EQ(rect.left, (screen.right - (rect.right - rect.left)) / 2);
  EXPECT_EQ(rect.top, (screen.bottom - (rect.bottom - rect.top)) / 2);
}

// The banner is drawn over the banner area (control 122), scaled and
// upright: its tile near the right end is the tile's blue, and its left
// end is light at the top and blue along the foot.
void ExpectBanner(HWND main) {
  RECT area;
  ASSERT_TRUE(GetClientRect(GetDlgItem(main, 122), &area));
  // Other tests' windows may lie over the dialog for a moment: it is raised
  // above them, and the colours are read again until they show.
  SetWindowPos(main, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  COLORREF tile = 0, top = 0, foot = 0;
  for (DWORD start = GetTickCount(); GetTickCount() - start < 5000; Sleep(100)) {
    HDC screen = GetDC(nullptr);
    // A point of the 480 by 69 picture, as painted at (2, 0) of the dialog.
    auto colour = [&](int x, int y) {
      POINT at = {2 + x * (area.right - 1) / 480, y * area.bottom / 69};
      ClientToScreen(main, &at);
      return GetPixel(screen, at.x, at.y);
    };
    tile = colour(400, 34), top = colour(2, 2), foot = colour(2, 67);
    ReleaseDC(nullptr, screen);
    if (GetBValue(tile) > GetRValue(tile) + 60 && GetRValue(top) > 0xE0 &&
        GetBValue(foot) > GetRValue(foot) + 60)
      break;
  }
  SetWindowPos(main, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  EXPECT_GT(GetBValue(tile), GetRValue(tile) + 60) << std::hex << tile;
  EXPECT_GT(GetRValue(top), 0xE0) << std::hex << top;
  EXPECT_GT(GetBValue(foot), GetRValue(foot) + 60) << std::hex << foot;
}

// What the progress dialog did after "開始".
struct Progress {
  bool seen = false;
  DWORD shown_ms = 0;  // from first seen to gone
};

// Clicks "開始" and watches the progress dialog until it has gone or shows
// the error message: it lies centred over the main dialog, 180 pixels
// below the main dialog's client top. With escape, the Escape key is
// pressed while it is open; with screen, the screen is saved under that
// name.
Progress StartAndWatch(const PackageRun& run, HWND main, bool escape, const wchar_t* screen) {
  Progress progress;
  if (!UiClick(main, 1)) return progress;
  HWND dialog = run.Dialog(kProgressCaption, 20000);
  if (!dialog) return progress;
  DWORD seen_at = GetTickCount();
  progress.seen = true;
  RECT own, outer;
  POINT origin = {0, 0};
  if (GetWindowRect(dialog, &own) && GetWindowRect(main, &outer) &&
      ClientToScreen(main, &origin)) {
    EXPECT_EQ(own.left, origin.x + ((outer.right - outer.left) - (own.right - own.left)) / 2);
    EXPECT_EQ(own.top, origin.y + 180);
  }
  if (escape) {
    EXPECT_TRUE(UiSendKey(dialog, VK_ESCAPE));
  }
  if (screen) {
    Sleep(300);
    EXPECT_TRUE(ScreenSave(screen, {main, dialog}));
  }
  // It goes when the worker reports success; a failure is shown over it
  // first.
  DWORD start = GetTickCount();
  while (IsWindowVisible(dialog) && !run.Dialog(kError, 0) && GetTickCount() - start < 30000)
    Sleep(20);
  progress.shown_ms = GetTickCount() - seen_at;
  return progress;
}

// Has Wine draw the frames and captions of a program's windows itself, as
// the system would: the test display has no window manager to draw them.
// With drawn false the setting is removed.
void FramesDrawn(const std::wstring& exe_name, bool drawn) {
  std::wstring key = L"Software\\Wine\\AppDefaults\\" + exe_name + L"\\X11 Driver";
  if (!drawn) {
    RegDeleteKeyW(HKEY_CURRENT_USER, key.c_str());
    return;
  }
  HKEY handle;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                      &handle, nullptr) != ERROR_SUCCESS)
    return;
  RegSetValueExW(handle, L"Decorated", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"N"),
                 2 * sizeof(wchar_t));
  RegCloseKey(handle);
}

const wchar_t kUninstallerName[] = L"hvuninst.exe";

class InstallerDialogs : public InstallerE2E {
 protected:
  void SetUp() override {
    InstallerE2E::SetUp();
    FramesDrawn(PackageName(), true);
    FramesDrawn(kUninstallerName, true);
  }
  void TearDown() override {
    FramesDrawn(PackageName(), false);
    FramesDrawn(kUninstallerName, false);
    InstallerE2E::TearDown();
  }

  // A package that is interactive in both modes; with versioned, of the
  // test module that carries a file version.
  PackageResult BuildInteractive(bool versioned,
                                 std::map<std::wstring, std::wstring> overrides = {}) {
    if (versioned) {
      module_bytes_ = FileBytes(TestComVersionedDll());
      EXPECT_FALSE(module_bytes_.empty()) << "versioned test module missing";
      EXPECT_TRUE(FileWriteBytes(module_, module_bytes_));
    }
    overrides[L"Vantorel-Init.InstallType"] = L"0";
    overrides[L"Vantorel-UnInstall.UnInstallType"] = L"0";
    return Build(overrides);
  }
};

// The whole life of a module through the dialogs: installed, uninstalled
// with the command of its uninstall entry, and uninstalled again once it is
// gone. Escape during the progress dialog changes nothing.
TEST_F(InstallerDialogs, InstallThenUninstallThroughTheDialogs) {
  ASSERT_TRUE(BuildInteractive(true).ok);
  {
    PackageRun run(Quoted(package_));
    HWND main = run.Dialog(kMainCaption);
    ASSERT_NE(main, nullptr);
    std::map<int, std::wstring> expected = {
        {902, kLeadInstall}, {913, module_name_},  {914, L"4.3.2.1"},
        {915, L"Systemフォルダ"}, {916, L"Sample Grid"}, {917, L"2.3.45"},
        {918, UserName()},   {1022, L"Halvenco"},
    };
    EXPECT_EQ(Facts(main), expected);
    EXPECT_EQ(UiControlText(main, 901), L"インストール情報");
    ExpectCentred(main);
    Sleep(300);
    ExpectBanner(main);
    EXPECT_TRUE(ScreenSave(L"main_install", {main}));

    Progress progress = StartAndWatch(run, main, true, L"progress");
    ASSERT_TRUE(progress.seen);
    EXPECT_GE(progress.shown_ms, 800u) << "the progress dialog stays about a second";
    EXPECT_EQ(run.Dialog(kError, 0), nullptr) << "Escape did not end the progress dialog";
    Box done = BoxWait(run, kConfirm);
    ASSERT_NE(done.window, nullptr);
    EXPECT_EQ(done.text, L"インストールは正常に行えました。");
    EXPECT_EQ(done.buttons, std::vector<int>{IDOK});
    UiClick(done.window, IDOK);
    EXPECT_EQ(run.Wait(), 0);
  }
  EXPECT_EQ(FileBytes(Target()), module_bytes_);
  EXPECT_TRUE(ModuleRegistered(module_name_));
  std::wstring command = KeyTexts(UninstallKey(guid_))[L"UninstallString"];
  ASSERT_FALSE(command.empty());

  struct Row {
    const char* what;
    const wchar_t* version;
    const wchar_t* completion;
    long status;
  } rows[] = {
      {"installed module", L"4.3.2.1", L"アンインストールは正常に行えました。", 0},
      {"module already gone", L"不明",
       L"アンインストール予定のファイルが見つかりません。\r\n"
       L"アンインストール処理は正常として扱いました。",
       999},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    KeyCreate(UninstallKey(guid_));
    PackageRun run(command);
    HWND main = run.Dialog(kMainCaption);
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(UiControlText(main, 902), kLeadUninstall);
    EXPECT_EQ(UiControlText(main, 913), module_name_);
    EXPECT_EQ(UiControlText(main, 914), row.version);
    if (row.status == 0) {
      Sleep(300);
      EXPECT_TRUE(ScreenSave(L"main_uninstall", {main}));
    }
    ASSERT_TRUE(StartAndWatch(run, main, false, nullptr).seen);
    Box done = BoxWait(run, kConfirm);
    ASSERT_NE(done.window, nullptr);
    EXPECT_EQ(done.text, row.completion);
    EXPECT_EQ(done.buttons, std::vector<int>{IDOK});
    UiClick(done.window, IDOK);
    EXPECT_EQ(run.Wait(), row.status);
    EXPECT_FALSE(FileExists(Target()));
    EXPECT_FALSE(ModuleRegistered(module_name_));
    EXPECT_FALSE(KeyExists(UninstallKey(guid_)));
  }
}

// The package is read through the one handle that start-up opened: while
// the main dialog is open it can be neither changed nor replaced under its
// name, and what is installed, module and uninstaller, is what was there
// at the start.
TEST_F(InstallerDialogs, ThePackageIsHeldFromTheStart) {
  PackageResult built = BuildInteractive(false);
  ASSERT_TRUE(built.ok);
  const std::string original = FileBytes(package_);
  // Another package of another module, as one made to take this one's place.
  const std::wstring other = scratch_.file(L"other.exe");
  const std::wstring other_module = scratch_.file(L"other.ocx");
  ASSERT_TRUE(FileWriteBytes(other_module, FileBytes(TestComVersionedDll())));
  ASSERT_TRUE(PackageBuild(other, other_module, Assignments(), false).ok);
  const std::wstring moved = package_ + L".old";
  {
    PackageRun run(Quoted(package_));
    HWND main = run.Dialog(kMainCaption);
    ASSERT_NE(main, nullptr);
    HANDLE writer = CreateFileW(package_.c_str(), GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(writer, INVALID_HANDLE_VALUE) << "nobody may write the package";
    if (writer != INVALID_HANDLE_VALUE) CloseHandle(writer);
    if (MoveFileW(package_.c_str(), moved.c_str())) {  // where a running program can be renamed
      ASSERT_TRUE(CopyFileW(other.c_str(), package_.c_str(), FALSE));
    }
    ASSERT_TRUE(StartAndWatch(run, main, false, nullptr).seen);
    Box done = BoxWait(run, kConfirm);
    ASSERT_NE(done.window, nullptr);
    EXPECT_EQ(done.text, L"インストールは正常に行えました。");
    UiClick(done.window, IDOK);
    EXPECT_EQ(run.Wait(), 0);
  }
  EXPECT_EQ(FileBytes(Target()), module_bytes_) << "the module checked at the start";
  EXPECT_TRUE(FileBytes(Uninstaller()) == original.substr(0, built.image_length))
      << "the uninstaller from the original image";
  DeleteFileW(moved.c_str());
}

// "中止", the Escape key and the close box all ask first; "No" leaves the
// dialog open, "Yes" ends the run as a success that installed nothing. The
// module here carries no version, which shows as unknown.
TEST_F(InstallerDialogs, StoppingAsksFirst) {
  ASSERT_TRUE(BuildInteractive(false).ok);
  PackageRun run(Quoted(package_));
  HWND main = run.Dialog(kMainCaption);
  ASSERT_NE(main, nullptr);
  EXPECT_EQ(UiControlText(main, 914), L"不明");

  struct Way {
    const char* what;
    bool (*ask)(HWND main);
  } ways[] = {
      {"中止", [](HWND main) { return UiClick(main, 2); }},
      {"Escape", [](HWND main) { return UiSendKey(main, VK_ESCAPE); }},
      {"close box",
       [](HWND main) { return PostMessageW(main, WM_SYSCOMMAND, SC_CLOSE, 0) != FALSE; }},
  };
  for (const Way& way : ways) {
    SCOPED_TRACE(way.what);
    ASSERT_TRUE(way.ask(main));
    Box ask = BoxWait(run, kConfirm);
    ASSERT_NE(ask.window, nullptr);
    EXPECT_EQ(ask.text, kStopAsk);
    EXPECT_EQ(ask.buttons, (std::vector<int>{IDYES, IDNO}));
    UiClick(ask.window, IDNO);
    EXPECT_TRUE(UiWindowGoneWait(ask.window, 10000));
    EXPECT_FALSE(UiWindowGoneWait(main, 1000)) << "the main dialog stays open";
    EXPECT_EQ(run.Dialog(kProgressCaption, 0), nullptr) << "nothing started";
  }
  ExpectNothingInstalled();

  ASSERT_TRUE(UiClick(main, 2));
  Box ask = BoxWait(run, kConfirm);
  ASSERT_NE(ask.window, nullptr);
  UiClick(ask.window, IDYES);
  EXPECT_EQ(run.Wait(), 0);
  ExpectNothingInstalled();
}

// The module in the system folder cannot be replaced. Without replacement
// at restart the run fails with the system's error in the error message;
// with it the restart question comes, and "No" ends the run as a success
// that waits for the restart.
TEST_F(InstallerDialogs, ModuleInUseEndsInFailureOrRestartQuestion) {
  struct Row {
    const wchar_t* copy_error;
    bool mapped;  // held as a loaded library; else opened without sharing
    const wchar_t* caption;
    const wchar_t* text;
    std::vector<int> buttons;
    int answer;
    long status;
  } rows[] = {
      {L"0", false, kError, L"指定ファイルのコピーに失敗しました。(32)", {IDOK}, IDOK, 31},
      {L"1", true, kConfirm, kRestartAsk, {IDYES, IDNO}, IDNO, 0},
  };
  // The package brings another build of the module than the one in use
  // (the same one would not be written at all).
  ASSERT_TRUE(FileWriteBytes(module_, module_bytes_ + std::string(4096, '\x5a')));
  for (const Row& row : rows) {
    SCOPED_TRACE(row.copy_error);
    ASSERT_TRUE(BuildInteractive(false, {{L"Vantorel-Init.CopyError", row.copy_error}}).ok);
    ASSERT_TRUE(FileWriteBytes(Target(), row.mapped ? module_bytes_ : "an older module"));
    HMODULE mapped = nullptr;
    HANDLE held = INVALID_HANDLE_VALUE;
    if (row.mapped) {
      mapped = LoadLibraryW(Target().c_str());
      ASSERT_NE(mapped, nullptr);
    } else {
      held = CreateFileW(Target().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
      ASSERT_NE(held, INVALID_HANDLE_VALUE);
    }
    long status = -1;
    Box box;
    {
      PackageRun run(Quoted(package_));
      HWND main = run.Dialog(kMainCaption);
      if (main && StartAndWatch(run, main, false, nullptr).seen) {
        box = BoxWait(run, row.caption);
        if (box.window) UiClick(box.window, row.answer);
        status = run.Wait();
      }
    }
    if (mapped) FreeLibrary(mapped);
    if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
    ASSERT_NE(box.window, nullptr);
    EXPECT_EQ(box.text, row.text);
    EXPECT_EQ(box.buttons, row.buttons);
    EXPECT_TRUE(box.icon);
    EXPECT_EQ(status, row.status);
    bool scheduled = false;
    for (const auto& pair : PendingRenames()) {
      if (Lower(PendingPath(pair.second)) != Lower(Target())) continue;
      scheduled = true;
      DeleteFileW(PendingPath(pair.first).c_str());
    }
    EXPECT_EQ(scheduled, row.mapped) << "the replacement waits for the restart";
    Cleanup();
  }
}

}  // namespace
