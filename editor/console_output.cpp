// Writing lines to a console, a file or a pipe.
#include "editor/console_output.h"

#include "common/file.h"
#include "common/text.h"

namespace {

HANDLE Output;
bool OutputIsConsole;
bool OutputOwned;  // opened here (CONOUT$), not given

}  // namespace

void console_output_open(bool attach) {
  Output = GetStdHandle(STD_OUTPUT_HANDLE);
  OutputOwned = false;
  DWORD mode = 0;
  if (Output && Output != INVALID_HANDLE_VALUE && GetFileType(Output) != FILE_TYPE_UNKNOWN) {
    OutputIsConsole = GetConsoleMode(Output, &mode) != FALSE;
    return;
  }
  Output = NULL;
  if (!attach || !AttachConsole(ATTACH_PARENT_PROCESS)) return;
  Output = CreateFileW(L"CONOUT$", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                       OPEN_EXISTING, 0, NULL);
  if (Output == INVALID_HANDLE_VALUE) Output = NULL;
  OutputIsConsole = OutputOwned = Output != NULL;
}

void console_line(const wchar_t* text) {
  if (!Output) return;
  DWORD written = 0;
  if (OutputIsConsole) {
    WriteConsoleW(Output, text, static_cast<DWORD>(TextLength(text)), &written, NULL);
    WriteConsoleW(Output, L"\r\n", 2, &written, NULL);
    return;
  }
  static char bytes[VT_MESSAGE_CAP * 2 + 2];
  int n = WideCharToMultiByte(CP_ACP, 0, text, -1, bytes, sizeof bytes - 2, NULL, NULL);
  if (n <= 0) return;
  bytes[n - 1] = '\r';
  bytes[n] = '\n';
  DWORD error = 0;
  FileWrite(Output, bytes, static_cast<DWORD>(n + 1), NULL, &error);
}

void console_output_close() {
  if (OutputOwned) CloseHandle(Output);
  Output = NULL;
  OutputOwned = false;
}
