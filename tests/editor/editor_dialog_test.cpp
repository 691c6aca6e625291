// The editor's dialogs in the test's own process. The main window runs
// with its real procedure where the file layer can be made to fail (a disk
// that cannot take the project file: the save says so, the file it would
// have replaced stays whole, and the changes stay to be saved again) and
// where files can be dropped on it. The dialog templates are walked with
// the dialog manager's own keyboard order.
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string.h>

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "common/file_syscalls.h"
#include "common/message.h"
#include "editor/editor.h"
#include "editor/project/project_file.h"
#include "editor/resource.h"
#include "tests/editor/editor_e2e.h"
#include "tests/support/ui_driver.h"

namespace {

const DWORD kWait = 30000;

// Writes of a whole project record fail as on a full disk while set.
std::atomic<bool> DiskFull(false);

BOOL WINAPI WriteOrFull(HANDLE file, LPCVOID data, DWORD count, LPDWORD written,
                        LPOVERLAPPED overlapped) {
  if (DiskFull && count == sizeof(ProjectRecord)) {
    *written = 0;
    SetLastError(ERROR_DISK_FULL);
    return FALSE;
  }
  return WriteFile(file, data, count, written, overlapped);
}

bool Eventually(const std::function<bool()>& condition) {
  for (DWORD start = GetTickCount(); GetTickCount() - start < kWait; Sleep(50))
    if (condition()) return true;
  return false;
}

// Runs the main window of an editor whose base folder is base, in this
// process, while drive answers it from a second thread. A drive that loses
// its way has the window's questions cancelled and its changes dropped, so
// that the window closes. Returns what drive returned.
bool MainWindowRun(const EditorBase& base, const std::function<bool(HWND)>& drive) {
  EXPECT_TRUE(editor_base_folder_set(base.Path(L"Vantorel.exe").c_str()));
  CreateDirectoryW(editor_state.project_root, nullptr);
  editor.instance = GetModuleHandleW(nullptr);
  ModuleInstance = editor.instance;
  editor.readonly_brush = CreateSolidBrush(RGB(255, 230, 180));
  editor.pending_edit = -1;
  reset_project_record();
  const DWORD pid = GetCurrentProcessId();
  bool driven = false;
  UiRunModal(
      [&] {
        return DialogBoxParamW(editor.instance, MAKEINTRESOURCEW(IDD_MAIN), nullptr,
                               main_dialog_proc, 0);
      },
      [&] {
        HWND main = UiDialogWaitPrefix(pid, L"Vantorel Install Editor - ", kWait);
        if (main && drive(main)) return true;
        DiskFull = false;
        editor_state.saved = editor_state.working;
        return false;
      },
      &driven);
  DeleteObject(editor.readonly_brush);
  return driven;
}

TEST(EditorSave, AFullDiskKeepsTheFileAndTheChanges) {
  EditorBase base;
  FileSys.WriteFile = WriteOrFull;
  const std::wstring file = base.Path(L"full.sip");
  const DWORD pid = GetCurrentProcessId();
  std::wstring failure, caption;
  bool changed_after = false;
  std::string kept;

  bool driven = MainWindowRun(base, [&](HWND main) {
    UiSetEditText(main, IDC_PROJECT_NAME, L"Full disk");
    UiCommand(main, IDM_SAVE_AS);
    HWND save = UiDialogWait(pid, L"プロジェクトファイルの保存", kWait);
    if (!save || !UiFileDialogChoose(save, file.c_str())) return false;
    if (!Eventually([&] { return UiControlText(main, IDC_UPDATE_COUNT) == L"       1"; }))
      return false;
    kept = FileRead(file);

    UiSetEditText(main, IDC_PRODUCT_NAME, L"Changed");
    DiskFull = true;
    UiCommand(main, IDM_SAVE);
    HWND box = UiMessageBoxWait(pid, kWait);
    if (!box) return false;
    caption = UiWindowText(box);
    failure = UiControlText(box, UI_MESSAGE_BOX_TEXT_ID);
    UiClick(box, IDOK);
    UiWindowGoneWait(box, kWait);
    DiskFull = false;
    changed_after = project_records_differ(&editor_state.working, &editor_state.saved);

    UiCommand(main, IDCANCEL);
    HWND confirm = UiDialogWait(pid, L"編集プロジェクトの保存確認", kWait);
    return confirm && UiClick(confirm, 3);  // 破棄する
  });
  FileSyscallsReset();
  EXPECT_TRUE(driven);
  EXPECT_EQ(caption, L"異常メッセージ");
  EXPECT_EQ(failure, L"プロジェクトファイルの書込みに失敗しました。 - ( -56, 112 )");
  EXPECT_TRUE(changed_after) << "the changes stay to be saved again";
  ASSERT_EQ(kept.size(), sizeof(ProjectRecord));
  EXPECT_EQ(FileRead(file), kept) << "the file the save would have replaced is whole";
  EXPECT_EQ(FirstMatch(base.folder(), L"*.tmp"), L"") << "no half-written file is left";
}

// Drops a file on the window at the middle of a control, as the shell does
// after a drag: a WM_DROPFILES whose memory the window frees.
bool DropOn(HWND main, int id, const std::wstring& path) {
  RECT rect;
  if (!GetWindowRect(GetDlgItem(main, id), &rect)) return false;
  POINT at = {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
  ScreenToClient(main, &at);
  size_t bytes = sizeof(DROPFILES) + (path.size() + 2) * sizeof(wchar_t);
  HGLOBAL memory = GlobalAlloc(GHND, bytes);
  DROPFILES* drop = static_cast<DROPFILES*>(GlobalLock(memory));
  if (!drop) return false;
  drop->pFiles = sizeof(DROPFILES);
  drop->pt = at;
  drop->fWide = TRUE;
  memcpy(drop + 1, path.c_str(), path.size() * sizeof(wchar_t));
  GlobalUnlock(memory);
  return PostMessageW(main, WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0) != FALSE;
}

TEST(EditorDrop, AModuleOnItsFieldIsCheckedAndAProjectAnywhereOpens) {
  EditorBase base;
  const std::wstring module = base.Path(L"grid.ocx");
  ASSERT_TRUE(CopyFileW(TestModule().c_str(), module.c_str(), FALSE));
  // A project of another run of the editor, its folder in this base.
  ProjectRecord record;
  project_record_clear(&record);
  strcpy(record.project_name, "Dropped");
  strcpy(record.project_guid, "{6B1D2C3A-0F4E-4A5B-9C8D-7E6F5A4B3C2D}");
  ASSERT_TRUE(CreateDirectoryW(base.Path(L"InstallList").c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW(
      base.Path(L"InstallList\\{6B1D2C3A-0F4E-4A5B-9C8D-7E6F5A4B3C2D}").c_str(), nullptr));
  const std::wstring project = base.Path(L"dropped.sip");
  ASSERT_TRUE(FileWrite(project, std::string(reinterpret_cast<char*>(&record), sizeof record)));
  const DWORD pid = GetCurrentProcessId();
  std::wstring refused, caption;

  bool driven = MainWindowRun(base, [&](HWND main) {
    // Not a module: the message of "選択", and nothing taken.
    if (!DropOn(main, IDC_MODULE_PATH, base.Path(L"Installer.exe"))) return false;
    HWND box = UiMessageBoxWait(pid, kWait);
    if (!box) return false;
    refused = UiControlText(box, UI_MESSAGE_BOX_TEXT_ID);
    UiClick(box, IDOK);
    UiWindowGoneWait(box, kWait);
    if (!DropOn(main, IDC_MODULE_PICK, module) ||
        !Eventually([&] { return UiControlText(main, IDC_MODULE_PATH) == module; }))
      return false;
    caption = UiWindowText(main);
    // A project dropped on the form: the module made a change to ask about.
    if (!DropOn(main, IDC_SETUP_NAME, project)) return false;
    HWND confirm = UiDialogWait(pid, L"編集プロジェクトの保存確認", kWait);
    if (!confirm || !UiClick(confirm, 3)) return false;  // 破棄する
    if (!Eventually([&] { return UiControlText(main, IDC_PROJECT_NAME) == L"Dropped"; }))
      return false;
    return UiCommand(main, IDCANCEL);
  });
  EXPECT_TRUE(driven);
  EXPECT_EQ(refused, L"有効なOCX実行モジュールではありません。");
  EXPECT_EQ(caption, L"Vantorel Install Editor -  *") << "a new project with a module";
}

// A dialog of the editor's templates, created but never shown.
INT_PTR CALLBACK Inert(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

std::vector<int> TabOrder(HWND dialog) {
  std::vector<int> ids;
  HWND first = GetNextDlgTabItem(dialog, nullptr, FALSE);
  for (HWND at = first; at && ids.size() < 100;) {
    ids.push_back(GetDlgCtrlID(at));
    at = GetNextDlgTabItem(dialog, at, FALSE);
    if (at == first) break;
  }
  return ids;
}

// The controls the arrow keys reach from a control: its group.
std::vector<int> Group(HWND dialog, int id) {
  std::vector<int> ids = {id};
  HWND start = GetDlgItem(dialog, id);
  for (HWND at = GetNextDlgGroupItem(dialog, start, FALSE); at && at != start;
       at = GetNextDlgGroupItem(dialog, at, FALSE)) {
    ids.push_back(GetDlgCtrlID(at));
    if (ids.size() > 100) break;
  }
  return ids;
}

// Every control of a dialog has an id of its own: the program finds its
// controls by id, and a second control under one id is one it never sees.
TEST(EditorTemplates, NoTwoControlsOfADialogShareAnId) {
  for (int id : {IDD_ABOUT, IDD_MAIN, IDD_PROGRESS, IDD_SIGNING, IDD_SAVE_CONFIRM}) {
    std::vector<int> shared;
    ASSERT_TRUE(UiTemplateSharedIds(id, &shared)) << id;
    EXPECT_EQ(shared, std::vector<int>()) << "dialog " << id;
  }
}

TEST(EditorKeyboard, TabFollowsTheReadingOrderAndEachRadioPairIsOneStop) {
  const struct {
    int dialog;
    std::vector<int> tab_order;
    std::vector<std::vector<int>> radio_pairs;
    std::vector<int> read_only;  // displays that take no focus
  } rows[] = {
      {IDD_MAIN,
       {IDC_PROJECT_NAME, IDC_PROJECT_FOLDER_PICK, IDC_PROJECT_GUID_NEW, IDC_PRODUCT_NAME,
        IDC_VERSION_MAJOR, IDC_VERSION_MINOR, IDC_VERSION_BUILD, IDC_MODULE_PICK, IDC_SETUP_NAME,
        IDC_INSTALLER_FOLDER_PICK, IDC_REQUIRE_ADMIN, 1121, 1122, 1123, 1124, 1125, 1126,
        IDC_INSTALL_NORMAL, IDC_INSTALL_WARNING, IDC_INSTALL_TIMEOUT, IDC_COPY_ERROR_END,
        IDC_INSTALL_REBOOT_MESSAGE, IDC_INSTALL_REBOOT_RUN, IDC_NO_UNINSTALL,
        IDC_UNINSTALL_NORMAL, IDC_UNINSTALL_WARNING, IDC_UNINSTALL_TIMEOUT,
        IDC_DELETE_ERROR_END, IDC_UNINSTALL_REBOOT_MESSAGE, IDC_UNINSTALL_REBOOT_RUN, IDC_BUILD,
        IDC_LINKED_INSTALLER, IDC_SIGNING},
       {{IDC_INSTALL_NORMAL, IDC_INSTALL_SILENT},
        {IDC_COPY_ERROR_END, IDC_COPY_ERROR_RESTART},
        {IDC_UNINSTALL_NORMAL, IDC_UNINSTALL_SILENT},
        {IDC_DELETE_ERROR_END, IDC_DELETE_ERROR_RESTART}},
       {IDC_PROJECT_FOLDER, IDC_PROJECT_GUID, IDC_MODULE_PATH, IDC_INSTALLER_FOLDER}},
      {IDD_SIGNING,
       {IDC_SIGN_ON, IDC_SIGN_TOOL_PICK, IDC_SIGN_CERTIFICATE_PICK, IDC_SIGN_PASSWORD,
        IDC_SIGN_DESCRIPTION, IDC_SIGN_DESCRIPTION_URL, IDC_SIGN_TIMESTAMP,
        IDC_SIGN_TIMESTAMP_URL, IDOK, IDCANCEL},
       {},
       {IDC_SIGN_TOOL_FOLDER, IDC_SIGN_CERTIFICATE}},
      {IDD_SAVE_CONFIRM, {IDCANCEL, IDOK, 3}, {}, {}},
  };
  for (const auto& row : rows) {
    HWND dialog = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(row.dialog),
                                     nullptr, Inert, 0);
    ASSERT_TRUE(dialog) << row.dialog;
    EXPECT_EQ(TabOrder(dialog), row.tab_order) << "dialog " << row.dialog;
    for (const auto& pair : row.radio_pairs) {
      EXPECT_EQ(Group(dialog, pair[0]), pair) << "arrows stay in the pair";
      EXPECT_EQ(Group(dialog, pair[1]), (std::vector<int>{pair[1], pair[0]}));
    }
    // Every other stop is a group of its own: the arrows go nowhere else.
    for (int id : row.tab_order) {
      bool radio = false;
      for (const auto& pair : row.radio_pairs) radio |= pair[0] == id;
      if (!radio && row.dialog != IDD_SAVE_CONFIRM) {
        EXPECT_EQ(Group(dialog, id), std::vector<int>{id}) << "dialog " << row.dialog;
      }
    }
    for (int id : row.read_only)
      EXPECT_FALSE(GetWindowLongPtrW(GetDlgItem(dialog, id), GWL_STYLE) & WS_TABSTOP) << id;
    DestroyWindow(dialog);
  }
}

}  // namespace
