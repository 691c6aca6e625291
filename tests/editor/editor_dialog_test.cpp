// The main window in the test's own process, where the file layer can be
// made to fail: a disk that cannot take the project file. The save says
// so, the project file it would have replaced stays whole, and the changes
// stay in the editor to be saved again.
#include <windows.h>

#include <gtest/gtest.h>

#include <string.h>

#include <atomic>
#include <string>

#include "common/file_syscalls.h"
#include "common/message.h"
#include "editor/editor.h"
#include "editor/project_file.h"
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

bool Eventually(bool (*condition)(HWND), HWND window) {
  for (DWORD start = GetTickCount(); GetTickCount() - start < kWait; Sleep(50))
    if (condition(window)) return true;
  return false;
}

TEST(EditorSave, AFullDiskKeepsTheFileAndTheChanges) {
  EditorBase base;
  ASSERT_TRUE(editor_base_folder_set(base.Path(L"Vantorel.exe").c_str()));
  ASSERT_TRUE(CreateDirectoryW(editor_state.project_root, nullptr));
  editor.instance = GetModuleHandleW(nullptr);
  ModuleInstance = editor.instance;
  editor.readonly_brush = CreateSolidBrush(RGB(255, 230, 180));
  editor.pending_edit = -1;
  reset_project_record();
  FileSys.WriteFile = WriteOrFull;
  const std::wstring file = base.Path(L"full.sip");
  const DWORD pid = GetCurrentProcessId();
  std::wstring failure, caption;
  bool changed_after = false;
  std::string kept;

  auto drive = [&] {
    HWND main = UiDialogWait(pid, L"Vantorel Install Editor - ", kWait);
    if (!main) return false;
    UiSetEditText(main, IDC_PROJECT_NAME, L"Full disk");
    UiCommand(main, IDM_SAVE_AS);
    HWND save = UiDialogWait(pid, L"プロジェクトファイルの保存", kWait);
    if (!save || !UiFileDialogChoose(save, file.c_str())) return false;
    if (!Eventually([](HWND m) { return UiControlText(m, IDC_UPDATE_COUNT) == L"       1"; },
                    main))
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
  };
  bool driven = false;
  UiRunModal(
      [&] {
        return DialogBoxParamW(editor.instance, MAKEINTRESOURCEW(IDD_MAIN), nullptr,
                               main_dialog_proc, 0);
      },
      [&] {
        if (drive()) return true;
        // Lost its way: with nothing left to ask about, the cancelled
        // window closes.
        DiskFull = false;
        editor_state.saved = editor_state.working;
        return false;
      },
      &driven);
  FileSyscallsReset();
  DeleteObject(editor.readonly_brush);
  EXPECT_TRUE(driven);
  EXPECT_EQ(caption, L"異常メッセージ");
  EXPECT_EQ(failure, L"プロジェクトファイルの書込みに失敗しました。 - ( -56, 112 )");
  EXPECT_TRUE(changed_after) << "the changes stay to be saved again";
  ASSERT_EQ(kept.size(), sizeof(ProjectRecord));
  EXPECT_EQ(FileRead(file), kept) << "the file the save would have replaced is whole";
  EXPECT_EQ(FirstMatch(base.folder(), L"*.tmp"), L"") << "no half-written file is left";
}

}  // namespace
