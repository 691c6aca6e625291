// run_operation in its thread form, as the progress dialog starts it: the
// worker posts command 1 or 2 to the dialog no sooner than a second after
// it began. The uninstall runs against a scratch folder standing in for the
// system folder.
#include <gtest/gtest.h>
#include <windows.h>
#include <objbase.h>
#include <process.h>

#include <string>

#include "installer/installer.h"

namespace {

struct Posted {
  bool arrived;
  WPARAM command;
};

// Waits for the WM_COMMAND that the worker posts to window.
Posted CommandWait(HWND window, DWORD timeout_ms) {
  DWORD start = GetTickCount();
  MSG msg;
  while (GetTickCount() - start < timeout_ms) {
    if (PeekMessageW(&msg, window, WM_COMMAND, WM_COMMAND, PM_REMOVE))
      return {true, msg.wParam};
    Sleep(10);
  }
  return {false, 0};
}

std::wstring Guid() {
  GUID guid;
  CoCreateGuid(&guid);
  wchar_t text[64];
  StringFromGUID2(guid, text, 64);
  return text;
}

TEST(OperationThread, PostsItsOutcomeToTheProgressDialog) {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  std::wstring folder = std::wstring(temp) + L"vti_op_" + std::to_wstring(GetTickCount());
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  std::wstring module = folder + L"\\gone.ocx";

  struct Row {
    const char* what;
    bool present;
    bool held;
    int status;
    WPARAM command;
    const wchar_t* line1;
  } rows[] = {
      {"deleted", true, false, RUN_OK, 1, L""},
      {"already missing", false, false, RUN_MODULE_MISSING, 1, L""},
      {"in use", true, true, RUN_DELETE_FAILED, 2, L"指定ファイルの削除に失敗しました。(32)"},
  };
  HWND progress = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  nullptr, nullptr);
  ASSERT_NE(progress, nullptr);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    HANDLE held = INVALID_HANDLE_VALUE;
    if (row.present) {
      HANDLE file = CreateFileW(module.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                                nullptr);
      ASSERT_NE(file, INVALID_HANDLE_VALUE);
      CloseHandle(file);
      if (row.held)
        held = CreateFileW(module.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    }
    Settings = InstallerSettings();
    Settings.instance = GetModuleHandleW(nullptr);
    Settings.uninstall_mode = true;
    wcscpy(Settings.system_folder, folder.c_str());
    wcscpy(Settings.file_name, L"gone.ocx");
    wcscpy(Settings.guid, Guid().c_str());
    Settings.progress_dialog = progress;

    DWORD start = GetTickCount();
    uintptr_t thread = _beginthreadex(nullptr, 0, run_operation_thread, nullptr, 0, nullptr);
    ASSERT_NE(thread, 0u);
    Posted posted = CommandWait(progress, 20000);
    DWORD elapsed = GetTickCount() - start;
    WaitForSingleObject(reinterpret_cast<HANDLE>(thread), 10000);
    DWORD exit_code = 1;
    GetExitCodeThread(reinterpret_cast<HANDLE>(thread), &exit_code);
    CloseHandle(reinterpret_cast<HANDLE>(thread));
    if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
    DeleteFileW(module.c_str());

    ASSERT_TRUE(posted.arrived);
    EXPECT_EQ(LOWORD(posted.command), row.command);
    EXPECT_GE(elapsed, 1000u) << "the progress dialog stays at least a second";
    EXPECT_EQ(exit_code, 0u);
    EXPECT_EQ(Settings.status, row.status);
    EXPECT_EQ(std::wstring(Settings.popup_line1), row.line1);
  }
  DestroyWindow(progress);
  RemoveDirectoryW(folder.c_str());
}

}  // namespace
