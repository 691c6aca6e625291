// Loading system libraries from the system folder only.
#include "common/syslib.h"

#include "common/text.h"

void SystemLibrarySearchRestrict() {
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  typedef BOOL(WINAPI * SetDefaultDllDirectoriesFn)(DWORD);
  typedef BOOL(WINAPI * SetDllDirectoryWFn)(LPCWSTR);
  SetDefaultDllDirectoriesFn set_default;
  SetDllDirectoryWFn set_directory;
  // LOAD_LIBRARY_SEARCH_SYSTEM32; present from Windows 8 and on Windows 7
  // with its loader update.
  if (SystemProcGet(kernel, "SetDefaultDllDirectories", &set_default))
    set_default(0x00000800);
  // Removes the current folder from the search order (Windows XP SP1 on).
  if (SystemProcGet(kernel, "SetDllDirectoryW", &set_directory))
    set_directory(L"");
}

HMODULE SystemLibraryLoad(const wchar_t* name) {
  wchar_t path[VT_PATH_CAP];
  UINT n = GetSystemDirectoryW(path, VT_PATH_CAP);
  if (n == 0 || n >= VT_PATH_CAP || TextAppend(path, VT_PATH_CAP, L"\\") < 0 ||
      TextAppend(path, VT_PATH_CAP, name) < 0) {
    SetLastError(ERROR_BUFFER_OVERFLOW);
    return NULL;
  }
  // The library's own dependencies are then looked for beside it first.
  return LoadLibraryExW(path, NULL, LOAD_WITH_ALTERED_SEARCH_PATH);
}
