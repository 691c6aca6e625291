// run_operation in this process against a scratch folder standing in for
// the system folder: its thread form, as the progress dialog starts it (the
// worker posts command 1 or 2 to the dialog no sooner than a second after
// it began), and an install whose copy fails half-way.
#include <gtest/gtest.h>
#include <windows.h>
#include <objbase.h>
#include <process.h>

#include <string>

#include "common/file_syscalls.h"
#include "installer/installer.h"
#include "package/checksum.h"
#include "tests/common/scratch.h"
#include "tests/support/helpers.h"

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
    wcscpy(Settings.guid, NewGuid().c_str());
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

// The disk fills up at the copy's second block: every later write of a
// whole copy block fails as a full disk does.
int CopyBlocks;
BOOL WINAPI DiskFullAtSecondBlock(HANDLE file, LPCVOID data, DWORD count, LPDWORD done,
                                  LPOVERLAPPED overlapped) {
  if (count == 81920 && ++CopyBlocks >= 2) {
    if (done) *done = 0;
    SetLastError(ERROR_DISK_FULL);
    return FALSE;
  }
  return ::WriteFile(file, data, count, done, overlapped);
}

// A copy that fails half-way over a module already in place: the module
// there stays byte for byte, nothing is left beside it, the run fails
// with 31, and its log says so.
TEST(OperationInstall, ACopyThatFailsHalfWayLeavesTheModuleInPlace) {
  Scratch system, other;
  const std::wstring module_path = system / L"mod.ocx", log = other / L"run.log";
  const std::string old_module = "the module other products rely on";
  WriteBytes(module_path, old_module);
  // A package: an image of 512 bytes, the length field, a module of three
  // blocks and a half.
  std::string module(3 * 81920 + 40960, '\0');
  for (size_t i = 0; i < module.size(); ++i) module[i] = static_cast<char>(i * 7 + (i >> 11));
  const uint32_t length = static_cast<uint32_t>(module.size());
  std::string bytes(512, 'I');
  for (int i = 0; i < 4; ++i) bytes += static_cast<char>(length >> (8 * i));
  WriteBytes(other / L"p.exe", bytes + module);

  Settings = InstallerSettings();
  Settings.instance = GetModuleHandleW(nullptr);
  wcscpy(Settings.system_folder, system.path().c_str());
  wcscpy(Settings.file_name, L"mod.ocx");
  wcscpy(Settings.guid, NewGuid().c_str());
  Settings.no_uninstall_registration = true;
  Settings.package_held = CreateFileW((other / L"p.exe").c_str(), GENERIC_READ, FILE_SHARE_READ,
                                      nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(Settings.package_held, INVALID_HANDLE_VALUE);
  Settings.payload_offset = 516;
  Settings.payload_length = length;
  Settings.expected_checksum = checksum_update(0, module.data(), static_cast<int>(module.size()));

  CopyBlocks = 0;
  FileSys.WriteFile = DiskFullAtSecondBlock;
  log_open(log.c_str());
  run_operation(true);
  log_close();
  FileSyscallsReset();
  CloseHandle(Settings.package_held);

  EXPECT_EQ(Settings.status, RUN_COPY_FAILED);
  EXPECT_GE(CopyBlocks, 2) << "the copy reached its second block";
  EXPECT_EQ(ReadBytes(module_path), old_module);
  WIN32_FIND_DATAW found;
  HANDLE stray = FindFirstFileW((system / L"*.tmp").c_str(), &found);
  EXPECT_EQ(stray, INVALID_HANDLE_VALUE) << "no stray file beside the module";
  if (stray != INVALID_HANDLE_VALUE) FindClose(stray);
  const std::string text = ReadBytes(log);
  EXPECT_NE(text.find("コピー失敗: "), std::string::npos) << text;
  EXPECT_NE(text.find("(112)"), std::string::npos) << "the full disk's error\n" << text;
  std::printf("%s", text.c_str());
}

// A system folder that is not named in full (none at all, or one without
// its drive) stops an uninstall before it touches anything, with 25 and
// the log line that says why. (Wine always names its folders, so this is
// shown in this process.)
TEST(OperationChecks, AFolderNotNamedInFullStopsTheRun) {
  Scratch other;
  for (const wchar_t* folder : {L"", L"\\windows\\system32"}) {
    Settings = InstallerSettings();
    Settings.uninstall_mode = true;
    wcscpy(Settings.system_folder, folder);
    wcscpy(Settings.file_name, L"mod.ocx");
    wcscpy(Settings.guid, NewGuid().c_str());
    wcscpy(Settings.document_guid, Settings.guid);
    log_open((other / L"run.log").c_str());
    EXPECT_EQ(environment_checks(), RUN_NO_FOLDER) << folder;
    log_close();
  }
  const std::string text = ReadBytes(other / L"run.log");
  EXPECT_NE(text.find("検査: システムフォルダ \"\\windows\\system32\", Program Files \"-\": 不合格"),
            std::string::npos)
      << text;
}

}  // namespace
