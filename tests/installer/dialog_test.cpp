// The banner and the progress dialog, opened by the Installer's own
// routines in this test program (which carries the Installer's resources)
// and driven from a second thread as a user would.
#include <gtest/gtest.h>
#include <windows.h>
#include <objbase.h>
#include <process.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "common/status.h"
#include "installer/installer.h"
#include "installer/resource.h"
#include "tests/common/scratch.h"
#include "tests/support/helpers.h"
#include "tests/support/ui_driver.h"

namespace {

// The pixels of a 32-bit top-down bitmap of width by height.
struct Pixels {
  HDC dc = nullptr;
  HBITMAP bitmap = nullptr;
  const DWORD* bits = nullptr;
  int width = 0, height = 0;

  Pixels(int w, int h) : width(w), height(h) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* data = nullptr;
    dc = CreateCompatibleDC(nullptr);
    bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &data, nullptr, 0);
    bits = static_cast<const DWORD*>(data);
    SelectObject(dc, bitmap);
    PatBlt(dc, 0, 0, w, h, WHITENESS);
  }
  ~Pixels() {
    DeleteDC(dc);
    DeleteObject(bitmap);
  }
  DWORD at(int x, int y) const {
    GdiFlush();
    return bits[y * width + x] & 0xFFFFFF;
  }
};

class Banner : public ::testing::Test {
 protected:
  void SetUp() override { CoInitialize(nullptr); }
  void TearDown() override {
    if (Settings.banner) Settings.banner->Release();
    Settings.banner = nullptr;
    CoUninitialize();
  }
};

// Every control of a dialog has an id of its own: the Installer finds its
// controls by id, and a second control under one id is one it never sees.
TEST(InstallerTemplates, NoTwoControlsOfADialogShareAnId) {
  for (int id : {IDD_MAIN, IDD_PROGRESS, IDD_WARNING}) {
    std::vector<int> shared;
    ASSERT_TRUE(UiTemplateSharedIds(id, &shared)) << id;
    EXPECT_EQ(shared, std::vector<int>()) << "dialog " << id;
  }
}

// The banner drawn at its own size lands where the picture's own bitmap
// puts it, two pixels in: upright, not mirrored top to bottom; drawn
// into half the size it is scaled, not cut.
TEST_F(Banner, PaintedUprightAndScaled) {
  const std::string gif = ReadBytes(Native(VT_BANNER_GIF));
  DWORD error = 0;
  ASSERT_EQ(load_banner(gif.data(), static_cast<DWORD>(gif.size()), &error), BANNER_LOADED);
  ASSERT_NE(Settings.banner, nullptr);
  OLE_HANDLE handle = 0;
  ASSERT_EQ(Settings.banner->get_Handle(&handle), S_OK);
  BITMAP info = {};
  ASSERT_TRUE(GetObjectW(reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(handle)), sizeof info,
                         &info));
  const int w = info.bmWidth, h = info.bmHeight;
  ASSERT_GT(w, 8);
  ASSERT_GT(h, 8);

  Pixels reference(w, h);
  HDC source = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(source, reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(handle)));
  BitBlt(reference.dc, 0, 0, w, h, source, 0, 0, SRCCOPY);
  SelectObject(source, old);
  DeleteDC(source);

  Pixels painted(w + 2, h);
  paint_banner(painted.dc, w, h);
  int differing = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) differing += painted.at(x + 2, y) != reference.at(x, y);
  EXPECT_EQ(differing, 0) << "of " << w * h << " pixels";
  EXPECT_NE(reference.at(0, 0), reference.at(0, h - 1)) << "the banner's top and bottom differ";

  // Half the size: the top-left and bottom-left corners keep their colours.
  Pixels half(w / 2 + 2, h / 2);
  paint_banner(half.dc, w / 2, h / 2);
  EXPECT_EQ(half.at(2, 0), reference.at(0, 0));
  EXPECT_EQ(half.at(2, h / 2 - 1), reference.at(0, h - 1));
}

// Bytes that are no whole picture, and none at all, leave no banner.
TEST_F(Banner, DamagedOrMissingBytesLeaveNoBanner) {
  const std::string gif = ReadBytes(Native(VT_BANNER_GIF));
  ASSERT_GT(gif.size(), 64u);
  const std::string cut("GIF89a\x10\x00", 8);
  const std::string damaged = gif.substr(0, 13) + std::string(gif.size() - 13, '\xFF');
  for (const std::string& bytes : {cut, damaged, std::string()}) {
    DWORD error = 0;
    EXPECT_EQ(load_banner(bytes.data(), static_cast<DWORD>(bytes.size()), &error), BANNER_NONE);
    EXPECT_EQ(Settings.banner, nullptr);
    Pixels painted(10, 10);
    paint_banner(painted.dc, 8, 10);  // nothing to draw, nothing drawn
    EXPECT_EQ(painted.at(5, 5), 0xFFFFFFu);
  }
}

// The weight and height of the font a control of dialog uses.
std::pair<LONG, LONG> FontOf(HWND dialog, int id) {
  LOGFONTW font = {};
  HFONT handle = reinterpret_cast<HFONT>(SendDlgItemMessageW(dialog, id, WM_GETFONT, 0, 0));
  if (!handle || !GetObjectW(handle, sizeof font, &font)) return {0, 0};
  return {font.lfWeight, font.lfHeight};
}

// The title (901) and the company name (1022) are bold, made from the
// dialog's own font; the dialog carries its big icon.
TEST(MainDialog, BoldTitleAndCompanyAndItsIcon) {
  Settings = InstallerSettings();
  Settings.instance = GetModuleHandleW(nullptr);
  wcscpy(Settings.company_name, L"テスト商会");
  bool drive_ok = false;
  UiRunModal(
      [] {
        show_main_dialog();
        return intptr_t{0};
      },
      [] {
        HWND main = UiDialogWait(GetCurrentProcessId(), L"Installer", 10000);
        if (!main) return false;
        EXPECT_EQ(FontOf(main, IDC_MAIN_TITLE), std::make_pair(LONG{FW_BOLD}, LONG{12}));
        EXPECT_EQ(FontOf(main, IDC_MAIN_COMPANY), std::make_pair(LONG{FW_BOLD}, LONG{15}));
        EXPECT_EQ(FontOf(main, IDC_MAIN_INTRO).first, FW_NORMAL);
        EXPECT_EQ(UiControlText(main, IDC_MAIN_COMPANY), L"テスト商会");
        EXPECT_NE(SendMessageW(main, WM_GETICON, ICON_BIG, 0), 0);
        if (!UiClick(main, IDC_MAIN_STOP)) return false;
        HWND ask = UiDialogWait(GetCurrentProcessId(), L"確認メッセージ", 10000);
        return ask && UiClick(ask, IDYES) && UiWindowGoneWait(main, 5000);
      },
      &drive_ok);
  EXPECT_TRUE(drive_ok);
  EXPECT_EQ(Settings.status, RUN_OK);
}

// A worker that does nothing, so that the test alone ends the dialog.
unsigned __stdcall IdleWorker(void*) { return 0; }
uintptr_t __cdecl IdleBegin(void* security, unsigned stack, unsigned(__stdcall*)(void*),
                            void* argument, unsigned flags, unsigned* id) {
  return _beginthreadex(security, stack, IdleWorker, argument, flags, id);
}
uintptr_t __cdecl FailingBegin(void*, unsigned, unsigned(__stdcall*)(void*), void*, unsigned,
                               unsigned*) {
  SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return 0;
}

const wchar_t kProgressCaption[] = L"セットアップ処理";

class ProgressDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    Settings = InstallerSettings();
    Settings.instance = GetModuleHandleW(nullptr);
    Settings.main_dialog = nullptr;
  }
  void TearDown() override { WorkerThreadBegin = _beginthreadex; }

  INT_PTR Show(const std::function<bool()>& drive) {
    bool drive_ok = false;
    intptr_t result = UiRunModal([] { return static_cast<intptr_t>(show_progress_dialog(nullptr)); },
                                 drive, &drive_ok);
    EXPECT_TRUE(drive_ok);
    return result;
  }
};

// Keys and the close command do not end the dialog while the worker runs;
// only the worker's report does. It has no close command.
TEST_F(ProgressDialog, OnlyTheWorkersReportEndsIt) {
  WorkerThreadBegin = IdleBegin;
  INT_PTR result = Show([] {
    HWND dialog = UiDialogWait(GetCurrentProcessId(), kProgressCaption, 10000);
    if (!dialog) return false;
    HMENU menu = GetSystemMenu(dialog, FALSE);
    EXPECT_EQ(GetMenuState(menu, SC_CLOSE, MF_BYCOMMAND), static_cast<UINT>(-1));
    UiSendKey(dialog, VK_ESCAPE);
    UiSendKey(dialog, VK_RETURN);
    PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    EXPECT_FALSE(UiWindowGoneWait(dialog, 1000)) << "the progress dialog closed";
    EXPECT_EQ(UiDialogWait(GetCurrentProcessId(), L"異常メッセージ", 0), nullptr);
    progress_post(IDC_PROGRESS_DONE);
    return UiWindowGoneWait(dialog, 5000);
  });
  EXPECT_EQ(result, IDC_PROGRESS_DONE);
}

// A worker thread that cannot start, or a progress dialog that cannot
// open (here: a module without the dialog), is reported with the system's
// error, and the run counts as failed.
TEST_F(ProgressDialog, OperationThatCannotBeginIsAFailure) {
  struct Row {
    const char* what;
    bool dialog_missing;
    bool uninstall;
    int status;
  } rows[] = {
      {"thread, install", false, false, RUN_COPY_FAILED},
      {"thread, uninstall", false, true, RUN_DELETE_FAILED},
      {"dialog, install", true, false, RUN_COPY_FAILED},
  };
  const std::wstring prefix = L"実処理の担当モジュールの起動に失敗 - ( ";
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    WorkerThreadBegin = FailingBegin;
    Settings.instance =
        row.dialog_missing ? GetModuleHandleW(L"kernel32.dll") : GetModuleHandleW(nullptr);
    Settings.uninstall_mode = row.uninstall;
    Settings.status = RUN_OK;
    std::wstring text;
    INT_PTR result = Show([&] {
      HWND box = UiDialogWait(GetCurrentProcessId(), L"異常メッセージ", 10000);
      if (!box) return false;
      text = UiControlText(box, UI_MESSAGE_BOX_TEXT_ID);
      return UiClick(box, IDOK);
    });
    EXPECT_EQ(result, IDC_PROGRESS_FAILED);
    if (row.dialog_missing) {
      EXPECT_EQ(text.compare(0, prefix.size(), prefix), 0) << text.size();
    } else {
      EXPECT_EQ(text, prefix + L"8 )");
    }
    EXPECT_EQ(Settings.status, row.status);
  }
}

}  // namespace
