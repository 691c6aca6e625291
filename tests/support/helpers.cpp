// Small helpers of the Windows tests of every area.
#include "tests/support/helpers.h"

#include <objbase.h>
#include <stdio.h>

#include <vector>

std::wstring Native(const wchar_t* path) {
  std::wstring out = path;
  for (wchar_t& c : out)
    if (c == L'/') c = L'\\';
  return out;
}

std::wstring NewGuid() {
  GUID guid;
  CoCreateGuid(&guid);
  wchar_t text[64];
  StringFromGUID2(guid, text, 64);
  return text;
}

std::wstring SystemFolder() {
  wchar_t folder[MAX_PATH];
  UINT n = GetSystemDirectoryW(folder, MAX_PATH);
  return std::wstring(folder, n < MAX_PATH ? n : 0);
}

std::wstring WindowsFolder() {
  wchar_t folder[MAX_PATH];
  UINT n = GetWindowsDirectoryW(folder, MAX_PATH);
  return std::wstring(folder, n < MAX_PATH ? n : 0);
}

void TreeRemove(const std::wstring& folder) {
  WIN32_FIND_DATAW entry;
  HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &entry);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      std::wstring name = entry.cFileName;
      if (name == L"." || name == L"..") continue;
      std::wstring path = folder + L"\\" + name;
      if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        TreeRemove(path);
      } else {
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(path.c_str());
      }
    } while (FindNextFileW(find, &entry));
    FindClose(find);
  }
  RemoveDirectoryW(folder.c_str());
}

std::string Cp932(const std::wstring& text) {
  if (text.empty()) return std::string();
  int n = WideCharToMultiByte(932, 0, text.c_str(), static_cast<int>(text.size()), NULL, 0,
                              NULL, NULL);
  std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
  if (n > 0)
    WideCharToMultiByte(932, 0, text.c_str(), static_cast<int>(text.size()), &out[0], n, NULL,
                        NULL);
  return out;
}

HANDLE ProgramStart(const std::wstring& command_line, const std::wstring& folder, HANDLE output,
                    DWORD* process_id) {
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  if (output) {
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = output;
    startup.hStdError = output;
  }
  PROCESS_INFORMATION process = {};
  for (int attempt = 1;; ++attempt) {
    std::vector<wchar_t> line(command_line.begin(), command_line.end());
    line.push_back(0);
    if (CreateProcessW(NULL, line.data(), NULL, NULL, output != NULL, 0, NULL,
                       folder.empty() ? NULL : folder.c_str(), &startup, &process))
      break;
    fwprintf(stderr, L"cannot start %ls (attempt %d): error %lu\n", command_line.c_str(),
             attempt, GetLastError());
    if (attempt == 3) return NULL;
    Sleep(500);
  }
  CloseHandle(process.hThread);
  if (process_id) *process_id = process.dwProcessId;
  return process.hProcess;
}

long RunProgram(const std::wstring& command_line, const std::wstring& folder, DWORD timeout_ms,
                HANDLE output) {
  HANDLE process = ProgramStart(command_line, folder, output, nullptr);
  if (!process) return -1;
  long result = -2;
  DWORD code = 0;
  if (WaitForSingleObject(process, timeout_ms) == WAIT_OBJECT_0 &&
      GetExitCodeProcess(process, &code))
    result = static_cast<long>(code);
  else if (TerminateProcess(process, 9))
    WaitForSingleObject(process, 5000);
  CloseHandle(process);
  return result;
}
