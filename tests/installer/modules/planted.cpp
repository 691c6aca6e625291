// A library or program planted beside a package under the name of a system
// file ("version.dll", "regsvr32.exe"). Loaded or started, it leaves the
// marker file "planted.<name>.txt" in its own folder, which the tests look
// for: an elevated Installer must never pick it up.
#include <windows.h>

namespace {

void MarkerLeave(HMODULE self) {
  wchar_t path[MAX_PATH];
  DWORD n = GetModuleFileNameW(self, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH - 16) return;
  wchar_t* name = path;
  for (wchar_t* p = path; *p; ++p)
    if (*p == L'\\' || *p == L'/') name = p + 1;
  wchar_t marker[MAX_PATH + 32];
  lstrcpynW(marker, path, static_cast<int>(name - path) + 1);
  lstrcatW(marker, L"planted.");
  lstrcatW(marker, name);
  lstrcatW(marker, L".txt");
  HANDLE file = CreateFileW(marker, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
}

}  // namespace

#ifdef PLANTED_PROGRAM
int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  MarkerLeave(instance);
  return 0;
}
#else
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) MarkerLeave(instance);
  return TRUE;
}
#endif
