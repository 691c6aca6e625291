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
    for (int i = 0; i < count; ++i) {
      const RegistryRow& row = rows[i];
      DWORD number = static_cast<DWORD>(row.number);
      const BYTE* data = row.text ? reinterpret_cast<const BYTE*>(row.text)
                                  : reinterpret_cast<const BYTE*>(&number);
      DWORD size = row.text ? static_cast<DWORD>((TextLength(row.text) + 1) * sizeof(wchar_t))
                            : sizeof number;
      LONG result = RegSetValueExW(key, row.name, 0, row.text ? REG_SZ : REG_DWORD, data, size);
      if (row.text)
        log_line(L"レジストリ: HKLM\\%s: %s = \"%s\" (%d)", key_path, row.name, row.text,
                 static_cast<int>(result));
      else
        log_line(L"レジストリ: HKLM\\%s: %s = %u (%d)", key_path, row.name,
                 static_cast<unsigned>(number), static_cast<int>(result));
    }
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
    return REGISTRY_VALUE_FAILED;
  }
  buffer[0] = 0;
  HKEY key = NULL;
  LONG result = RegOpenKeyExW(HKEY_LOCAL_MACHINE, key_path, 0, KEY_READ, &key);
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
    return REGISTRY_VALUE_FAILED;
  }
  return REGISTRY_VALUE_READ;
}

bool registry_key_exists(const wchar_t* key_path) {
  HKEY key = NULL;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key_path, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
    return false;
  RegCloseKey(key);
  return true;
}

namespace {

const wchar_t kSharedKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";

}  // namespace

SharedCount shared_count_read(const wchar_t* path) {
  HKEY key = NULL;
  // Room for more than a count, so that a longer value shows its size.
  DWORD data[4] = {}, type = 0, size = sizeof data;
  LONG result = RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSharedKey, 0, KEY_QUERY_VALUE, &key);
  if (result == ERROR_SUCCESS) {
    result = RegQueryValueExW(key, path, NULL, &type, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(key);
  }
  const bool missing = result == ERROR_FILE_NOT_FOUND || result == ERROR_PATH_NOT_FOUND;
  // A value that is there but cannot be read (too long for a count, or
  // refused) is of a form not known here.
  SharedCount count = shared_count_classify(!missing, result == ERROR_SUCCESS ? type : REG_NONE,
                                            size, data[0]);
  if (count.kind == SHARED_UNKNOWN_FORM)
    log_line(L"共有カウント: %s は読めない形式です (種類 %u, %u バイト)", path,
             static_cast<unsigned>(type), static_cast<unsigned>(size));
  return count;
}

void shared_count_write(const wchar_t* path, unsigned long count) {
  HKEY key = NULL;
  // The key belongs to the system: it keeps the access list of its parent.
  LONG result = RegCreateKeyExW(HKEY_LOCAL_MACHINE, kSharedKey, 0, NULL, REG_OPTION_NON_VOLATILE,
                                KEY_SET_VALUE, NULL, &key, NULL);
  if (result == ERROR_SUCCESS) {
    DWORD value = static_cast<DWORD>(count);
    result = count ? RegSetValueExW(key, path, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                                    sizeof value)
                   : RegDeleteValueW(key, path);
    RegCloseKey(key);
  }
  log_line(L"共有カウント: %s = %u (%d)", path, static_cast<unsigned>(count),
           static_cast<int>(result));
}
