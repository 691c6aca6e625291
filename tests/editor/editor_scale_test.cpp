// The editor at 96, 144 and 192 DPI. The system's DPI is the prefix's, read
// by each program when it starts, so these tests change it for their own
// time only and run alone. A copy of this program started at each DPI
// creates every dialog of the editor's templates and measures each
// control's text in the dialog's font against the control; the real
// Vantorel.exe, whose manifest declares it DPI aware, shows its main
// window, the signing dialog and the save confirmation at 144 DPI for the
// screens.
#include <windows.h>

#include <gtest/gtest.h>

#include <stdlib.h>

#include <string>
#include <vector>

#include "editor/resource.h"
#include "tests/editor/editor_e2e.h"
#include "tests/support/ui_driver.h"

namespace {

const wchar_t kDesktopKey[] = L"Control Panel\\Desktop";
const wchar_t kDpiValue[] = L"LogPixels";
const char kChildDpi[] = "VT_SCALE_CHILD_DPI";

// The system's DPI set for the prefix while the object lives; the setting
// it had comes back afterwards.
class SystemDpi {
 public:
  explicit SystemDpi(DWORD dpi) {
    DWORD size = sizeof old_;
    had_ = RegGetValueW(HKEY_CURRENT_USER, kDesktopKey, kDpiValue, RRF_RT_REG_DWORD, nullptr,
                        &old_, &size) == ERROR_SUCCESS;
    set_ = RegSetKeyValueW(HKEY_CURRENT_USER, kDesktopKey, kDpiValue, REG_DWORD, &dpi,
                           sizeof dpi) == ERROR_SUCCESS;
  }
  ~SystemDpi() {
    if (had_)
      RegSetKeyValueW(HKEY_CURRENT_USER, kDesktopKey, kDpiValue, REG_DWORD, &old_, sizeof old_);
    else
      RegDeleteKeyValueW(HKEY_CURRENT_USER, kDesktopKey, kDpiValue);
  }
  bool set() const { return set_; }

 private:
  DWORD old_ = 0;
  bool had_ = false, set_ = false;
};

// --- The measuring copy ---------------------------------------------------

INT_PTR CALLBACK Inert(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

std::wstring ClassOf(HWND window) {
  wchar_t name[64];
  int n = GetClassNameW(window, name, 64);
  return std::wstring(name, n > 0 ? n : 0);
}

// Room a control's frame and decoration take from its text, in pixels of
// the dialog's DPI: a push button's edges, a check box's or radio button's
// box and the gap after it, the indent of a group box's caption.
int Decoration(HWND control, int dpi) {
  LONG_PTR style = GetWindowLongPtrW(control, GWL_STYLE);
  LONG_PTR type = style & BS_TYPEMASK;
  if (ClassOf(control) != L"Button") return 0;
  if (type == BS_GROUPBOX) return MulDiv(16, dpi, 96);
  if ((type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_RADIOBUTTON ||
       type == BS_AUTORADIOBUTTON) &&
      !(style & BS_PUSHLIKE))
    return MulDiv(17, dpi, 96);
  return MulDiv(6, dpi, 96);
}

// Every text of one dialog that its control cuts: a line per control, empty
// when all fit.
std::string DialogCuts(int id, int dpi) {
  HWND dialog =
      CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), nullptr, Inert, 0);
  if (!dialog) return "dialog " + std::to_string(id) + " not created\n";
  HDC dc = GetDC(dialog);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0)));
  std::string cuts;
  for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    wchar_t text[512];
    int length = GetWindowTextW(c, text, 512);
    std::wstring kind = ClassOf(c);
    if (length <= 0 || (kind != L"Static" && kind != L"Button")) continue;
    if (kind == L"Static" && (GetWindowLongPtrW(c, GWL_STYLE) & SS_TYPEMASK) > SS_RIGHT) continue;
    SIZE size;
    RECT rect;
    GetTextExtentPoint32W(dc, text, length, &size);
    GetClientRect(c, &rect);
    int needed = size.cx + Decoration(c, dpi);
    if (needed > rect.right || size.cy > rect.bottom)
      cuts += "dialog " + std::to_string(id) + " control " + std::to_string(GetDlgCtrlID(c)) +
              ": text " + std::to_string(needed) + "x" + std::to_string(size.cy) + " in " +
              std::to_string(rect.right) + "x" + std::to_string(rect.bottom) + "\n";
  }
  SelectObject(dc, old);
  ReleaseDC(dialog, dc);
  DestroyWindow(dialog);
  return cuts;
}

// Where the measuring copy at a DPI writes what it found.
std::wstring ReportFile(int dpi) {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  return std::wstring(temp) + L"vt_scale_" + std::to_wstring(dpi) + L".txt";
}

// The copy started at a DPI measures before any test runs, writes its
// report and ends with 0 when every text fits, 1 otherwise, 2 when the
// system is not at that DPI.
struct MeasuringCopy {
  MeasuringCopy() {
    const char* wanted = getenv(kChildDpi);
    if (!wanted) return;
    SetProcessDPIAware();  // as the editor's manifest declares it
    int dpi = atoi(wanted);
    HDC screen = GetDC(nullptr);
    int system = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    std::string cuts;
    if (system != dpi) {
      cuts = "the system is at " + std::to_string(system) + " DPI\n";
    } else {
      for (int id : {IDD_MAIN, IDD_PROGRESS, IDD_SIGNING, IDD_SAVE_CONFIRM, IDD_ABOUT})
        cuts += DialogCuts(id, dpi);
    }
    FileWrite(ReportFile(dpi), cuts);
    ExitProcess(system != dpi ? 2 : cuts.empty() ? 0 : 1);
  }
} measuring_copy;

// --- The tests --------------------------------------------------------------

// Runs this program as the measuring copy at the system's DPI now. Returns
// its exit code (-1 when it did not run) and its report.
long MeasureNow(int dpi, std::string* report) {
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  SetEnvironmentVariableA(kChildDpi, std::to_string(dpi).c_str());
  HANDLE process = UiProcessStart(L"\"" + std::wstring(self) + L"\"", nullptr);
  SetEnvironmentVariableA(kChildDpi, nullptr);
  DWORD code = 0;
  bool ended = process && UiProcessWait(process, kEditorWait, &code);
  if (process && !ended) TerminateProcess(process, 9);
  if (process) CloseHandle(process);
  *report = FileRead(ReportFile(dpi));
  DeleteFileW(ReportFile(dpi).c_str());
  return ended ? static_cast<long>(code) : -1;
}

TEST(EditorScale, EveryTextFitsItsControlAt96144And192Dpi) {
  for (int dpi : {96, 144, 192}) {
    SystemDpi set(dpi);
    ASSERT_TRUE(set.set());
    std::string found;
    EXPECT_EQ(MeasureNow(dpi, &found), 0) << "at " << dpi << " DPI:\n" << found;
  }
}

// What the manifest of an executable declares of the DPI, as the system's
// own reader of manifests (the one that starts the program) finds it: the
// value of its "dpiAware" setting, empty when there is none.
std::wstring ManifestDpiAware(const std::wstring& exe) {
  typedef BOOL(WINAPI * QuerySettings)(DWORD, HANDLE, PCWSTR, PCWSTR, PWSTR, SIZE_T, SIZE_T*);
  QuerySettings query = reinterpret_cast<QuerySettings>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "QueryActCtxSettingsW")));
  ACTCTXW request = {};
  request.cbSize = sizeof request;
  request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
  request.lpSource = exe.c_str();
  request.lpResourceName = MAKEINTRESOURCEW(1);
  HANDLE context = CreateActCtxW(&request);
  if (!query || context == INVALID_HANDLE_VALUE) return L"";
  wchar_t value[64] = {0};
  SIZE_T written = 0;
  if (!query(0, context, nullptr, L"dpiAware", value, 64, &written)) value[0] = 0;
  ReleaseActCtx(context);
  return value;
}

TEST(EditorScale, TheEditorAt144DpiIsSharpAndShowsItsDialogsWhole) {
  // System DPI aware: the system sizes the dialogs' fonts for its DPI and
  // never stretches the editor's windows as a picture.
  EXPECT_EQ(ManifestDpiAware(VantorelExe()), L"true");
  SystemDpi set(144);
  ASSERT_TRUE(set.set());
  EditorBase base;
  base.LastFolder(L"EXE_PathS", base.folder());
  Editor e(base);
  ASSERT_TRUE(e.Main());
  e.Type(IDC_PROJECT_NAME, L"サンプル グリッド");
  e.Type(IDC_PRODUCT_NAME, L"Sample Grid");
  e.Type(IDC_VERSION_MAJOR, L"2");
  e.Type(IDC_SETUP_NAME, L"GridSetup");
  e.Command(IDM_SAVE_AS);
  ASSERT_TRUE(e.ChooseFile(L"プロジェクトファイルの保存", base.Path(L"grid.sip")));
  ASSERT_TRUE(e.TextIs(IDC_UPDATE_COUNT, L"       1"));
  EXPECT_TRUE(ScreenSave(L"editor_main_144dpi", {e.Main()}));

  e.Press(IDC_SIGNING);
  HWND sign = e.DialogWait(L"コードサイニング証明書の組込み");
  ASSERT_TRUE(sign);
  UiPress(sign, IDC_SIGN_ON);
  EXPECT_TRUE(ScreenSave(L"editor_signing_144dpi", {e.Main(), sign}));
  UiClick(sign, IDCANCEL);
  ASSERT_TRUE(UiWindowGoneWait(sign, kEditorWait));

  e.Type(IDC_VERSION_MINOR, L"1");
  e.Command(IDCANCEL);
  HWND confirm = e.DialogWait(L"編集プロジェクトの保存確認");
  ASSERT_TRUE(confirm);
  EXPECT_TRUE(ScreenSave(L"editor_save_confirm_144dpi", {e.Main(), confirm}));
  UiClick(confirm, 3);  // 破棄する
  EXPECT_EQ(e.Wait(), 0);
}

}  // namespace
