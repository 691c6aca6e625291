// Starting a program by its full path and waiting for it.
#include "common/process.h"

#include "common/text.h"

namespace {

// How long ProcessEnd waits for an ended child to go.
const DWORD kEndWaitMs = 5000;

// ProcessStart and ProcessStartSharingStdHandles.
int Start(const ProcessLaunch& launch, bool std_handles, HANDLE* process, DWORD* sysError) {
  *process = NULL;
  *sysError = 0;
  size_t length = launch.program ? TextLengthMax(launch.program, VT_PATH_MAX + 1) : 0;
  if (length == 0 || length > VT_PATH_MAX || !PathIsFull(launch.program) ||
      !launch.command_line)
    return ST_PROC_BAD_PROGRAM;
  STARTUPINFOW startup;
  ZeroMemory(&startup, sizeof startup);
  startup.cb = sizeof startup;
  if (launch.show >= 0) {
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(launch.show);
  }
  if (std_handles) {
    startup.dwFlags |= STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  }
  PROCESS_INFORMATION started;
  if (!CreateProcessW(launch.program, launch.command_line, NULL, NULL, std_handles,
                      launch.creation_flags, NULL, launch.folder, &startup, &started)) {
    *sysError = GetLastError();
    return ST_PROC_START;
  }
  CloseHandle(started.hThread);
  *process = started.hProcess;
  return ST_OK;
}

}  // namespace

bool PathIsFull(const wchar_t* path) {
  if (!path || !path[0]) return false;
  wchar_t drive = static_cast<wchar_t>(path[0] | 0x20);
  if (drive >= L'a' && drive <= L'z' && path[1] == L':')
    return path[2] == L'\\' || path[2] == L'/';
  return path[0] == L'\\' && path[1] == L'\\';
}

int ProcessStart(const ProcessLaunch& launch, HANDLE* process, DWORD* sysError) {
  return Start(launch, false, process, sysError);
}

int ProcessStartSharingStdHandles(const ProcessLaunch& launch, HANDLE* process,
                                  DWORD* sysError) {
  return Start(launch, true, process, sysError);
}

int ProcessWait(HANDLE process, DWORD limit, DWORD* exitCode, DWORD* sysError) {
  *sysError = 0;
  DWORD waited = WaitForSingleObject(process, limit);
  if (waited == WAIT_TIMEOUT) {
    *sysError = WAIT_TIMEOUT;
    return ST_PROC_RUNNING;
  }
  if (waited != WAIT_OBJECT_0) {
    *sysError = waited == WAIT_FAILED ? GetLastError() : ERROR_INVALID_HANDLE;
    return ST_PROC_WAIT;
  }
  // Asked only once the process has ended, so that an exit code of
  // STILL_ACTIVE (259), which a program may return on purpose, is its own.
  if (!GetExitCodeProcess(process, exitCode)) {
    *sysError = GetLastError();
    return ST_PROC_WAIT;
  }
  return ST_OK;
}

bool ProcessEnd(HANDLE process) {
  if (WaitForSingleObject(process, 0) == WAIT_OBJECT_0) return true;
  if (!TerminateProcess(process, ERROR_TIMEOUT)) return false;
  return WaitForSingleObject(process, kEndWaitMs) == WAIT_OBJECT_0;
}

int ProcessRun(const ProcessLaunch& launch, DWORD limit, bool endAtLimit, DWORD* exitCode,
               DWORD* sysError) {
  HANDLE process = NULL;
  int status = ProcessStart(launch, &process, sysError);
  if (status < 0) return status;
  status = ProcessWait(process, limit, exitCode, sysError);
  if (status == ST_PROC_RUNNING && endAtLimit) ProcessEnd(process);
  CloseHandle(process);
  return status;
}
