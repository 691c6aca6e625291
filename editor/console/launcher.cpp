// The console launcher, Vantorel.com: starts the window program
// Vantorel.exe beside it with its own arguments and standard handles, waits
// for it and ends with its exit code.
//
// A command prompt waits for a console program but not for a window
// program, whose exit code it then never sees. For the bare name
// "Vantorel" the prompt takes the ".com" before the ".exe", so
// "Vantorel /build x.sip" waits for the build, shows its lines and keeps
// its exit code in a prompt, in PowerShell and in a CI runner alike.
#include <windows.h>

#include "common/command_line.h"
#include "common/message.h"
#include "common/process.h"
#include "common/syslib.h"
#include "common/text.h"
#include "editor/console/launcher.h"
#include "editor/console_output.h"

namespace {

// The longest command line the system takes.
const size_t kLineCap = 32768;

// "Vantorel.exe" in this program's folder into path (VT_PATH_CAP).
bool EditorPath(wchar_t* path) {
  DWORD n = GetModuleFileNameW(NULL, path, VT_PATH_CAP);
  if (n == 0 || n >= VT_PATH_CAP) return false;
  size_t cut = 0;
  for (size_t i = 0; path[i]; ++i)
    if (path[i] == L'\\' || path[i] == L'/') cut = i + 1;
  path[cut] = 0;
  return TextAppend(path, VT_PATH_CAP, L"Vantorel.exe") >= 0 && TextLength(path) <= VT_PATH_MAX;
}

int Failed(DWORD error) {
  wchar_t text[VT_MESSAGE_CAP];
  MessageTextFormat(text, VT_MESSAGE_CAP, IDS_LAUNCH_FAILED, static_cast<int>(error));
  console_line(text);
  return LAUNCH_EXIT_NOT_STARTED;
}

// Starts Vantorel.exe with the arguments of this program's own command
// line, as they were written, and waits for it. Returns its exit code, or
// LAUNCH_EXIT_NOT_STARTED when it cannot be started or waited for.
int LauncherRun() {
  static wchar_t program[VT_PATH_CAP], line[kLineCap];
  if (!EditorPath(program)) return Failed(ERROR_FILENAME_EXCED_RANGE);
  const wchar_t* arguments = CommandLineArguments(GetCommandLineW());
  line[0] = 0;
  if (CommandLineAppendQuoted(line, kLineCap, program) < 0 ||
      (arguments[0] && CommandLineAppendSwitch(line, kLineCap, arguments) < 0))
    return Failed(ERROR_FILENAME_EXCED_RANGE);
  const ProcessLaunch launch = {program, line, NULL, 0, -1};
  HANDLE process = NULL;
  DWORD error = 0, code = 0;
  if (ProcessStartSharingStdHandles(launch, &process, &error) < 0) return Failed(error);
  int status = ProcessWait(process, INFINITE, &code, &error);
  CloseHandle(process);
  return status == ST_OK ? static_cast<int>(code) : Failed(error);
}

}  // namespace

int wmain() {
  // No library is ever taken from the current folder.
  SystemLibrarySearchRestrict();
  ModuleInstance = GetModuleHandleW(NULL);
  console_output_open(false);
  int code = LauncherRun();
  console_output_close();
  return code;
}
