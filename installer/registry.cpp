// The registry routines of the Installer, all under HKEY_LOCAL_MACHINE.
#include "common/security.h"
#include "common/syslib.h"
#include "installer/installer.h"

void set_registry_values(const wchar_t* key_path, const RegistryRow* rows, int count) {
  // The uninstall entry's UninstallString runs elevated later: users may
  // read the key, not rewrite it.
  SecurityBlock block = {};
  SECURITY_ATTRIBUTES* attributes = NULL;
  SecurityBlockBuildA(&attributes, &block, SECURITY_GRANT_USERS_READ);
  HKEY key = NULL;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, key_path, 0, NULL, REG_OPTION_NON_VOLATILE,
                      KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_CREATE_SUB_KEY, attributes, &key,
                      NULL) == ERROR_SUCCESS) {
    for (int i = 0; i < count; ++i)
      RegSetValueExW(key, rows[i].name, 0, REG_SZ, reinterpret_cast<const BYTE*>(rows[i].text),
                     static_cast<DWORD>((TextLength(rows[i].text) + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
  }
  SecurityBlockFree(&block);
}

void delete_registry_key(const wchar_t* key_path) {
  if (!key_path || !key_path[0]) return;
  if (RegDeleteKeyW(HKEY_LOCAL_MACHINE, key_path) == ERROR_SUCCESS) return;
  // A key with subkeys needs the shell's recursive delete, loaded only from
  // the system folder.
  typedef LSTATUS(WINAPI * DeleteKeyAFn)(HKEY, LPCSTR);
  typedef LSTATUS(WINAPI * DeleteKeyWFn)(HKEY, LPCWSTR);
  HMODULE shlwapi = GetModuleHandleW(L"shlwapi.dll");
  HMODULE loaded = NULL;
  if (!shlwapi) shlwapi = loaded = SystemLibraryLoad(L"shlwapi.dll");
  if (!shlwapi) return;
  DeleteKeyAFn delete_a;
  DeleteKeyWFn delete_w;
  if (SystemProcGet(shlwapi, "SHDeleteKeyA", &delete_a) &&
      SystemProcGet(shlwapi, "SHDeleteKeyW", &delete_w))
    delete_w(HKEY_LOCAL_MACHINE, key_path);
  if (loaded) FreeLibrary(loaded);
}

int read_registry_value(DWORD capacity, const wchar_t* name, wchar_t* buffer,
                        const wchar_t* key_path) {
  if (capacity < sizeof(wchar_t)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  buffer[0] = 0;
  HKEY key = NULL;
  LONG result = RegOpenKeyExW(HKEY_LOCAL_MACHINE, key_path, 0, KEY_READ | KEY_WOW64_64KEY, &key);
  if (result == ERROR_SUCCESS) {
    // Room is kept for a terminator, which a stored value need not carry.
    DWORD type = 0, size = capacity - sizeof(wchar_t);
    result = RegQueryValueExW(key, name, NULL, &type, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    if (result == ERROR_SUCCESS && type != REG_SZ && type != REG_EXPAND_SZ)
      result = ERROR_INVALID_DATA;
    if (result == ERROR_SUCCESS) buffer[size / sizeof(wchar_t)] = 0;
  }
  if (result != ERROR_SUCCESS) {
    buffer[0] = 0;
    SetLastError(static_cast<DWORD>(result));
    return 0;
  }
  return 1;
}
