// Small helpers of the Windows tests of every area: paths the build gives,
// fresh GUIDs, the system folder, removing a folder tree, code page 932
// bytes, and starting a program and waiting for it. Written with the
// system's calls only, so that the routines under test do not check
// themselves.
#pragma once

#include <windows.h>

#include <string>

// A path of the build ("Z:/...") with backslashes, as Windows programs
// take it.
std::wstring Native(const wchar_t* path);

// A fresh GUID in the braced form.
std::wstring NewGuid();

// The system folder and the Windows folder.
std::wstring SystemFolder();
std::wstring WindowsFolder();

// Removes a folder with everything in it, read-only files included.
void TreeRemove(const std::wstring& folder);

// The code page 932 bytes of a text.
std::string Cp932(const std::wstring& text);

// Starts a command line (program path first) in folder (the current one
// when empty), with its output and error going to output when given (a
// handle it inherits), trying again twice when the system refuses: under a
// loaded Wine a start can fail once right after another process wrote the
// program file. Returns the process handle (to close) and its id, or NULL.
HANDLE ProgramStart(const std::wstring& command_line, const std::wstring& folder, HANDLE output,
                    DWORD* process_id);

// ProgramStart, then a wait of up to timeout_ms. Returns the exit code, or
// -1 when the program did not start and -2 when it did not end in time (it
// is then ended, and waited for a little while, so that its files are
// free).
long RunProgram(const std::wstring& command_line, const std::wstring& folder, DWORD timeout_ms,
                HANDLE output = nullptr);
