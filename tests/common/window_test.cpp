// The window helpers on real windows: dialogs placed below a main window
// and ended by their buttons, the folder browser centred and preselected,
// bringing another thread's window forward, the documents folder and the
// time stamp; and the parts of the window driver those do not reach.
#include "common/message.h"

#include <gtest/gtest.h>
#include <objbase.h>
#include <shlobj.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "common/time_stamp.h"
#include "common/window.h"
#include "tests/common/message_test_res.h"
#include "tests/support/ui_driver.h"

namespace {

const DWORD kWaitMs = 10000;

// A plain visible top-level window of the calling thread.
HWND PlainWindow(const wchar_t* caption, int x, int y, int width, int height,
                 HBRUSH background = NULL) {
  WNDCLASSW wc = {};
  wc.lpfnWndProc = DefWindowProcW;
  wc.hInstance = GetModuleHandleW(NULL);
  wc.lpszClassName = background ? L"VtTestSolid" : L"VtTestPlain";
  wc.hbrBackground = background ? background : reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  RegisterClassW(&wc);
  DWORD style = background ? WS_POPUP : WS_OVERLAPPEDWINDOW;
  HWND window = CreateWindowExW(0, wc.lpszClassName, caption, style, x, y, width,
                                height, NULL, NULL, wc.hInstance, NULL);
  if (window) {
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
  }
  return window;
}

// Handles the messages waiting for the calling thread's windows.
void PumpMessages() {
  MSG msg;
  while (PeekMessageW(&msg, NULL, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

POINT ClientOrigin(HWND window) {
  POINT origin = {0, 0};
  ClientToScreen(window, &origin);
  return origin;
}

std::string Narrow(const std::wstring& text) {
  char buffer[1024];
  int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, buffer, sizeof(buffer), NULL, NULL);
  return n > 0 ? std::string(buffer) : std::string();
}

int Width(const RECT& r) { return r.right - r.left; }
int Height(const RECT& r) { return r.bottom - r.top; }

class PlacedDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    ModuleInstance = GetModuleHandleW(NULL);
    main_ = PlainWindow(L"Vantorel Install Editor - ", 60, 50, 800, 600);
    ASSERT_NE(main_, nullptr);
    MainWindow = main_;
  }
  void TearDown() override {
    MainWindow = NULL;
    DestroyWindow(main_);
  }
  HWND main_ = NULL;
};

struct DialogCase {
  int resource;
  DLGPROC proc;
  const wchar_t* caption;
  int button;  // 0: answer with the Escape key
  INT_PTR expected;
};

TEST_F(PlacedDialog, OpensBelowTheMainWindowAndEndsWithTheClickedId) {
  const DialogCase cases[] = {
      {IDD_SAVE_CONFIRM, SaveConfirmDialogProc, L"編集プロジェクトの保存確認", 1, 1},
      {IDD_SAVE_CONFIRM, SaveConfirmDialogProc, L"編集プロジェクトの保存確認", 2, 2},
      {IDD_SAVE_CONFIRM, SaveConfirmDialogProc, L"編集プロジェクトの保存確認", 3, 3},
      {IDD_SAVE_CONFIRM, SaveConfirmDialogProc, L"編集プロジェクトの保存確認", 0, 2},
      {IDD_ABOUT, AboutDialogProc, L"バージョン情報", 1, 1},
      {IDD_ABOUT, AboutDialogProc, L"バージョン情報", 0, 2},
  };
  RECT main_rect;
  GetWindowRect(main_, &main_rect);
  POINT origin = ClientOrigin(main_);
  for (const DialogCase& c : cases) {
    RECT placed = {};
    bool stray_ignored = false;
    bool driven = false;
    INT_PTR result = UiRunModal(
        [&] {
          return DialogBoxParamW(ModuleInstance, MAKEINTRESOURCEW(c.resource), main_,
                                 c.proc, 0);
        },
        [&] {
          HWND dialog = UiDialogWait(GetCurrentProcessId(), c.caption, kWaitMs);
          if (!dialog) return false;
          GetWindowRect(dialog, &placed);
          // A command that is not one of the dialog's answers leaves it open.
          if (!UiClick(dialog, IDC_STRAY)) return false;
          stray_ignored = !UiWindowGoneWait(dialog, 300);
          return c.button ? UiClick(dialog, c.button) : UiSendKey(dialog, VK_ESCAPE);
        },
        &driven);
    SCOPED_TRACE(c.resource * 10 + c.button);
    EXPECT_TRUE(driven);
    EXPECT_TRUE(stray_ignored);
    EXPECT_EQ(result, c.expected);
    // Centred over the main window, 180 pixels below its client origin;
    // odd differences truncate toward zero.
    EXPECT_EQ(placed.left, origin.x + (Width(main_rect) - Width(placed)) / 2);
    EXPECT_EQ(placed.top, origin.y + 180);
  }
}

INT_PTR CALLBACK IdleDialogProc(HWND, UINT message, WPARAM, LPARAM) {
  return message == WM_INITDIALOG;
}

TEST_F(PlacedDialog, StaysWhereItIsWithoutAMainWindow) {
  HWND dialog = CreateDialogParamW(ModuleInstance, MAKEINTRESOURCEW(IDD_ABOUT), NULL,
                                   IdleDialogProc, 0);
  ASSERT_NE(dialog, nullptr);
  SetWindowPos(dialog, NULL, 20, 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  RECT before, after;
  GetWindowRect(dialog, &before);
  MainWindow = NULL;
  DialogPlaceBelowMain(dialog);
  GetWindowRect(dialog, &after);
  EXPECT_TRUE(EqualRect(&before, &after));

  // With the main window back, the same dialog moves below it.
  MainWindow = main_;
  DialogPlaceBelowMain(dialog);
  GetWindowRect(dialog, &after);
  EXPECT_EQ(after.top, ClientOrigin(main_).y + 180);
  EXPECT_EQ(Width(after), Width(before));
  EXPECT_EQ(Height(after), Height(before));
  DestroyWindow(dialog);
}

std::wstring FolderName(const std::wstring& path) {
  return path.substr(path.rfind(L'\\') + 1);
}

// Waits until the tree of the folder browser shows text as its selection.
bool TreeSelectionWait(HWND browser, const std::wstring& text, DWORD timeout_ms) {
  DWORD start = GetTickCount();
  while (_wcsicmp(UiTreeSelectionText(browser).c_str(), text.c_str()) != 0) {
    if (GetTickCount() - start >= timeout_ms) return false;
    Sleep(20);
  }
  return true;
}

TEST_F(PlacedDialog, FolderBrowserIsCentredOnItsOwnerWithTheFolderPreselected) {
  ASSERT_TRUE(SUCCEEDED(CoInitialize(NULL)));
  // Under Wine the browser sometimes fails to find a folder created just
  // before it opened (measured: about one run in four); the Windows folder
  // is always there, and is not what the browser selects by itself.
  wchar_t windows[MAX_PATH];
  ASSERT_GT(GetWindowsDirectoryW(windows, MAX_PATH), 0u);
  const std::wstring folder = windows;
  BrowseOwner = main_;
  BrowseOffset.x = 30;
  BrowseOffset.y = -20;
  BROWSEINFOW info = {};
  info.hwndOwner = main_;
  info.lpszTitle = L"フォルダを選択して下さい。";
  info.ulFlags = BIF_RETURNONLYFSDIRS;
  info.lpfn = BrowseDialogCallback;
  info.lParam = reinterpret_cast<LPARAM>(folder.c_str());

  RECT placed = {};
  LPITEMIDLIST chosen = NULL;
  bool driven = false;
  UiRunModal(
      [&] {
        chosen = SHBrowseForFolderW(&info);
        return intptr_t(0);
      },
      [&] {
        UiWindowQuery query;
        query.class_name = L"#32770";
        query.process_id = GetCurrentProcessId();
        HWND browser = UiWindowWait(query, kWaitMs);
        if (!browser) return false;
        GetWindowRect(browser, &placed);
        // Preselected: the browser's tree shows the folder selected.
        if (!TreeSelectionWait(browser, FolderName(folder), kWaitMs)) return false;
        return UiClick(browser, IDOK);
      },
      &driven);
  EXPECT_TRUE(driven);
  ASSERT_NE(chosen, nullptr);
  wchar_t path[MAX_PATH] = {0};
  EXPECT_TRUE(SHGetPathFromIDListW(chosen, path));
  CoTaskMemFree(chosen);
  EXPECT_EQ(_wcsicmp(path, folder.c_str()), 0) << Narrow(path);

  RECT owner;
  GetWindowRect(main_, &owner);
  POINT origin = ClientOrigin(main_);
  EXPECT_EQ(placed.left, origin.x + 30 + (Width(owner) - Width(placed)) / 2);
  EXPECT_EQ(placed.top, origin.y - 20 + (Height(owner) - Height(placed)) / 2);
  BrowseOwner = NULL;
  BrowseOffset.x = BrowseOffset.y = 0;
  CoUninitialize();
}

// A window owned by a thread of its own, which pumps its messages until
// the window is closed.
class ThreadWindow {
 public:
  ThreadWindow() {
    thread_ = std::thread([this] {
      HWND window = PlainWindow(L"other thread", 300, 200, 300, 200);
      window_ = window;
      MSG msg;
      while (IsWindow(window) && GetMessageW(&msg, NULL, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
      }
    });
    while (!window_) Sleep(10);
  }
  ~ThreadWindow() {
    PostMessageW(window_, WM_CLOSE, 0, 0);
    thread_.join();
  }
  HWND window() const { return window_; }

 private:
  std::thread thread_;
  std::atomic<HWND> window_{NULL};
};

// Whether a comes before b in the z-order of the top-level windows.
bool Above(HWND a, HWND b) {
  for (HWND w = GetTopWindow(NULL); w; w = GetWindow(w, GW_HWNDNEXT)) {
    if (w == a) return true;
    if (w == b) return false;
  }
  return false;
}

TEST(WindowBringForward, RaisesAWindowOfAnotherThreadToTheForeground) {
  HWND own = PlainWindow(L"this thread", 100, 100, 300, 200);
  ASSERT_NE(own, nullptr);
  ThreadWindow other;
  // The other thread's window was shown last, so it lies on top, while
  // this thread's window keeps the foreground; raise this one above it.
  SetForegroundWindow(own);
  SetWindowPos(own, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  PumpMessages();
  ASSERT_EQ(GetForegroundWindow(), own);
  ASSERT_TRUE(Above(own, other.window()));

  WindowBringForward(other.window());
  PumpMessages();
  EXPECT_EQ(GetForegroundWindow(), other.window());
  EXPECT_TRUE(Above(other.window(), own));

  // And back again to this thread's window, from the other's foreground.
  WindowBringForward(own);
  PumpMessages();
  EXPECT_EQ(GetForegroundWindow(), own);
  EXPECT_TRUE(Above(own, other.window()));
  DestroyWindow(own);
}

TEST(DocumentsFolderGet, GivesTheProfilesDocumentsFolder) {
  wchar_t folder[VT_PATH_CAP];
  DocumentsFolderGet(folder);
  wchar_t profile[MAX_PATH];
  DWORD n = GetEnvironmentVariableW(L"USERPROFILE", profile, MAX_PATH);
  ASSERT_GT(n, 0u);
  std::wstring expected = std::wstring(profile, n) + L"\\Documents";
  // Wine reports the folder with a closing backslash (it links the folder to
  // the host's home); Windows without.
  std::wstring got = folder;
  if (got.size() > 3 && got.back() == L'\\') got.pop_back();
  EXPECT_EQ(_wcsicmp(got.c_str(), expected.c_str()), 0) << Narrow(folder);
  DWORD attributes = GetFileAttributesW(folder);
  EXPECT_NE(attributes, INVALID_FILE_ATTRIBUTES);
  EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

TEST(DocumentsFolderGet, FallsBackToTheDriveRootWhenComCannotStart) {
  // A thread of the multithreaded apartment cannot enter the single-threaded
  // one, so CoInitialize fails there.
  std::wstring folder;
  std::thread thread([&] {
    if (FAILED(CoInitializeEx(NULL, COINIT_MULTITHREADED))) return;
    wchar_t buffer[VT_PATH_CAP];
    DocumentsFolderGet(buffer);
    folder = buffer;
    CoUninitialize();
  });
  thread.join();
  EXPECT_EQ(folder, L"C:\\");
}

bool SameSecond(const SYSTEMTIME& a, const SYSTEMTIME& b) {
  return a.wYear == b.wYear && a.wMonth == b.wMonth && a.wDay == b.wDay &&
         a.wHour == b.wHour && a.wMinute == b.wMinute && a.wSecond == b.wSecond;
}

TEST(TimeStampMake, AgreesWithTheLocalTime) {
  // Retried when the second turns over between the readings.
  for (int attempt = 0; attempt < 5; ++attempt) {
    SYSTEMTIME before, after;
    TimeStamp stamp;
    GetLocalTime(&before);
    int status = TimeStampMake(&stamp);
    GetLocalTime(&after);
    if (!SameSecond(before, after)) continue;
    EXPECT_EQ(status, 0);
    wchar_t digits[15];
    wsprintfW(digits, L"%04d%02d%02d%02d%02d%02d", before.wYear, before.wMonth,
              before.wDay, before.wHour, before.wMinute, before.wSecond);
    EXPECT_EQ(std::u16string(stamp.text, 14),
              std::u16string(reinterpret_cast<const char16_t*>(digits), 14));
    EXPECT_EQ(stamp.year, before.wYear);
    EXPECT_EQ(stamp.month, before.wMonth);
    EXPECT_EQ(stamp.day, before.wDay);
    EXPECT_EQ(stamp.hour, before.wHour);
    EXPECT_EQ(stamp.minute, before.wMinute);
    EXPECT_EQ(stamp.second, before.wSecond);
    EXPECT_EQ(stamp.weekday, before.wDayOfWeek);
    return;
  }
  FAIL() << "the clock never held still for a second";
}

// What the edit dialog saw of its field.
struct EditSeen {
  std::vector<WORD> codes;
  std::wstring text_at_kill_focus;
};
EditSeen edit_seen;

INT_PTR CALLBACK EditDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) return TRUE;
  if (message != WM_COMMAND) return FALSE;
  if (LOWORD(wparam) == IDC_EDIT_NAME) {
    edit_seen.codes.push_back(HIWORD(wparam));
    // The first kill-focus after the change; the dialog's end brings another.
    if (HIWORD(wparam) == EN_KILLFOCUS && edit_seen.text_at_kill_focus.empty()) {
      wchar_t text[64];
      GetDlgItemTextW(dialog, IDC_EDIT_NAME, text, 64);
      edit_seen.text_at_kill_focus = text;
    }
    return TRUE;
  }
  if (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL) {
    EndDialog(dialog, LOWORD(wparam));
    return TRUE;
  }
  return FALSE;
}

TEST(WindowDriver, SetsAnEditFieldWithTheNotificationsOfTyping) {
  edit_seen = EditSeen();
  std::wstring read_back;
  bool driven = false;
  INT_PTR result = UiRunModal(
      [&] {
        return DialogBoxParamW(GetModuleHandleW(NULL), MAKEINTRESOURCEW(IDD_EDIT), NULL,
                               EditDialogProc, 0);
      },
      [&] {
        HWND dialog = UiDialogWait(GetCurrentProcessId(), L"編集テスト", kWaitMs);
        if (!dialog || !UiSetEditText(dialog, IDC_EDIT_NAME, L"顧客管理システム"))
          return false;
        read_back = UiControlText(dialog, IDC_EDIT_NAME);
        return UiClick(dialog, IDOK);
      },
      &driven);
  EXPECT_TRUE(driven);
  EXPECT_EQ(result, IDOK);
  EXPECT_EQ(read_back, L"顧客管理システム");
  // Update and change as the text changes, then the kill-focus of leaving
  // the field, which sees the new text.
  const std::vector<WORD>& codes = edit_seen.codes;
  auto change = std::find(codes.begin(), codes.end(), WORD(EN_CHANGE));
  ASSERT_NE(change, codes.end());
  EXPECT_NE(std::find(codes.begin(), change, WORD(EN_UPDATE)), change);
  EXPECT_NE(std::find(change, codes.end(), WORD(EN_KILLFOCUS)), codes.end());
  EXPECT_EQ(edit_seen.text_at_kill_focus, L"顧客管理システム");
}

// Reads the pixel at (x, y) of a bottom-up 24-bit BMP file as RGB.
bool BmpPixel(const std::wstring& path, int x, int y, COLORREF* color) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL,
                            OPEN_EXISTING, 0, NULL);
  if (file == INVALID_HANDLE_VALUE) return false;
  BITMAPFILEHEADER head;
  BITMAPINFOHEADER info;
  DWORD got = 0;
  bool ok = ReadFile(file, &head, sizeof(head), &got, NULL) && got == sizeof(head) &&
            ReadFile(file, &info, sizeof(info), &got, NULL) && got == sizeof(info) &&
            head.bfType == 0x4D42 && info.biBitCount == 24 && x < info.biWidth &&
            y < info.biHeight;
  BYTE bgr[3];
  if (ok) {
    DWORD stride = (static_cast<DWORD>(info.biWidth) * 3 + 3) & ~3u;
    DWORD offset = head.bfOffBits + stride * (info.biHeight - 1 - y) + 3 * x;
    ok = SetFilePointer(file, offset, NULL, FILE_BEGIN) == offset &&
         ReadFile(file, bgr, 3, &got, NULL) && got == 3;
  }
  CloseHandle(file);
  if (ok) *color = RGB(bgr[2], bgr[1], bgr[0]);
  return ok;
}

TEST(WindowDriver, ScreenshotHoldsWhatIsOnTheScreen) {
  HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
  HWND window = PlainWindow(L"red", 200, 150, 120, 90, red);
  ASSERT_NE(window, nullptr);
  SetForegroundWindow(window);
  PumpMessages();
  Sleep(200);
  PumpMessages();

  wchar_t base[MAX_PATH];
  GetTempPathW(MAX_PATH, base);
  wchar_t path[MAX_PATH];
  wsprintfW(path, L"%svt-screen-%lu.bmp", base, GetCurrentProcessId());
  EXPECT_TRUE(UiScreenshot(path));
  COLORREF inside = 0, outside = 0;
  EXPECT_TRUE(BmpPixel(path, 260, 195, &inside));
  EXPECT_TRUE(BmpPixel(path, 340, 195, &outside));
  EXPECT_EQ(inside, RGB(255, 0, 0));
  EXPECT_NE(outside, RGB(255, 0, 0));
  DeleteFileW(path);
  DestroyWindow(window);
  DeleteObject(red);
}

}  // namespace
