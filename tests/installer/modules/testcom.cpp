// A COM module whose registration can be observed: DllRegisterServer
// records the module under HKLM\Software\VantorelTest\Registered (value:
// its file name, data: its full path) and DllUnregisterServer removes that
// value again. The Installer's tests and the sample job install it.
// A copy whose name starts with "vtfail" refuses to be registered.
#include <windows.h>
#include <olectl.h>

namespace {

HMODULE Self;
const wchar_t kKey[] = L"Software\\VantorelTest\\Registered";

// The module's full path and the file name part of it.
bool OwnNames(wchar_t* path, DWORD cap, const wchar_t** name) {
  DWORD n = GetModuleFileNameW(Self, path, cap);
  if (n == 0 || n >= cap) return false;
  *name = path;
  for (const wchar_t* p = path; *p; ++p)
    if (*p == L'\\' || *p == L'/') *name = p + 1;
  return true;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) Self = instance;
  return TRUE;
}

extern "C" __declspec(dllexport) HRESULT WINAPI DllRegisterServer() {
  wchar_t path[MAX_PATH];
  const wchar_t* name;
  if (!OwnNames(path, MAX_PATH, &name)) return E_FAIL;
  // A copy named "vtfail*" refuses its registration, as a broken control
  // would.
  if (CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, name, 6, L"vtfail", 6) == CSTR_EQUAL)
    return SELFREG_E_CLASS;
  HKEY key;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, NULL, 0, KEY_SET_VALUE, NULL, &key, NULL))
    return E_FAIL;
  LONG result = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(path),
                               (lstrlenW(path) + 1) * sizeof(wchar_t));
  RegCloseKey(key);
  return result == ERROR_SUCCESS ? S_OK : E_FAIL;
}

extern "C" __declspec(dllexport) HRESULT WINAPI DllUnregisterServer() {
  wchar_t path[MAX_PATH];
  const wchar_t* name;
  if (!OwnNames(path, MAX_PATH, &name)) return E_FAIL;
  HKEY key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, KEY_SET_VALUE, &key)) return S_OK;
  RegDeleteValueW(key, name);
  RegCloseKey(key);
  return S_OK;
}
