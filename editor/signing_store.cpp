// The signing settings files of a project: "codesign.txt" and the password
// encrypted for the user in "codesign.pwd" beside it, both the user's alone.
#include <windows.h>

#include <string.h>
#include <wincrypt.h>

#include "common/file.h"
#include "common/syslib.h"
#include "editor/file_trust.h"
#include "editor/project/project_paths.h"
#include "editor/signing.h"

namespace {

// Binds the encrypted password to this use: a blob another program made
// for the same user does not decrypt as a password here.
const wchar_t kEntropy[] = L"Vantorel code-signing password";
// Largest password file read: the encrypted form of 39 bytes is far below.
const DWORD kPasswordFileMax = 4096;

// crypt32's encryption for the user, loaded from the system folder when
// first needed. Systems before Windows 2000 have none.
struct Dpapi {
  HMODULE module;
  decltype(&::CryptProtectData) protect;
  decltype(&::CryptUnprotectData) unprotect;
};

bool DpapiLoad(Dpapi* d) {
  d->module = SystemLibraryLoad(L"crypt32.dll");
  return SystemProcGet(d->module, "CryptProtectData", &d->protect) &&
         SystemProcGet(d->module, "CryptUnprotectData", &d->unprotect);
}

void DpapiFree(Dpapi* d) {
  if (d->module) FreeLibrary(d->module);
}

DATA_BLOB Entropy() {
  DATA_BLOB entropy = {sizeof kEntropy, reinterpret_cast<BYTE*>(const_cast<wchar_t*>(kEntropy))};
  return entropy;
}

// "codesign.pwd" in the folder of the settings file.
bool PasswordPath(const wchar_t* settings_path, wchar_t* out) {
  wchar_t folder[VT_PATH_CAP], name[VT_PATH_CAP];
  return path_split(settings_path, folder, VT_PATH_CAP, name, VT_PATH_CAP) &&
         TextFormat(out, VT_PATH_CAP, L"%s\\%s", folder, SIGNING_PASSWORD_FILE) >= 0;
}

// Opens a settings file for reading; with trusted, refuses one that
// someone else could have written (the check is made on the handle the
// bytes are then read through). Returns 0, ST_SIGN_UNTRUSTED or the open's
// status.
int OpenChecked(const wchar_t* path, bool trusted, HANDLE* file, DWORD* sysError) {
  int status = FileOpen(path, file, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, sysError);
  if (status < 0) return status;
  if (!trusted || file_trusted(*file, path, false)) return ST_OK;
  CloseHandle(*file);
  *file = NULL;
  *sysError = ERROR_ACCESS_DENIED;
  return ST_SIGN_UNTRUSTED;
}

// Decrypts blob into the password field. Returns false for a blob that
// does not decrypt or a password that does not fit.
bool Decrypt(const Dpapi& d, DATA_BLOB* blob, SigningSettings* settings, DWORD* sysError) {
  DATA_BLOB entropy = Entropy(), clear = {0, NULL};
  if (!d.unprotect(blob, NULL, &entropy, NULL, NULL, CRYPTPROTECT_UI_FORBIDDEN, &clear)) {
    *sysError = GetLastError();
    return false;
  }
  bool fits = clear.cbData < sizeof settings->password &&
              !memchr(clear.pbData, 0, clear.cbData);
  if (fits) memcpy(settings->password, clear.pbData, clear.cbData);
  SecureZeroMemory(clear.pbData, clear.cbData);
  LocalFree(clear.pbData);
  if (!fits) *sysError = ERROR_INVALID_DATA;
  return fits;
}

// The password from the password file beside settings_path. Returns 0,
// ST_SIGN_UNTRUSTED, or ST_SIGN_PASSWORD with the system error of what
// failed (ERROR_CALL_NOT_IMPLEMENTED where the system cannot decrypt).
int PasswordRead(const wchar_t* settings_path, bool trusted, SigningSettings* settings,
                 DWORD* sysError) {
  wchar_t path[VT_PATH_CAP];
  HANDLE file = NULL;
  if (!PasswordPath(settings_path, path)) {
    *sysError = ERROR_FILENAME_EXCED_RANGE;
    return ST_SIGN_PASSWORD;
  }
  int status = OpenChecked(path, trusted, &file, sysError);
  if (status == ST_SIGN_UNTRUSTED) return status;
  if (status < 0) return ST_SIGN_PASSWORD;
  static BYTE bytes[kPasswordFileMax];
  DWORD got = 0;
  status = FileRead(file, bytes, kPasswordFileMax, &got, sysError);
  CloseHandle(file);
  if (status != ST_OK && status != ST_SHORT_READ) return ST_SIGN_PASSWORD;
  Dpapi d = {};
  DATA_BLOB blob = {got, bytes};
  bool decrypted = DpapiLoad(&d);
  if (!decrypted) *sysError = ERROR_CALL_NOT_IMPLEMENTED;
  decrypted = decrypted && Decrypt(d, &blob, settings, sysError);
  DpapiFree(&d);
  return decrypted ? int{ST_OK} : ST_SIGN_PASSWORD;
}

// The record at path and its password. Returns signing_settings_read_trusted's
// statuses; the record is cleared on failure.
int SettingsRead(const wchar_t* path, bool trusted, SigningSettings* settings,
                 DWORD* sysError) {
  memset(settings, 0, sizeof *settings);
  HANDLE file = NULL;
  int status = OpenChecked(path, trusted, &file, sysError);
  if (status < 0) return status;
  BYTE bytes[SIGNING_SETTINGS_SIZE];
  DWORD got = 0;
  status = FileRead(file, bytes, SIGNING_SETTINGS_SIZE, &got, sysError);
  CloseHandle(file);
  if (status == ST_OK) status = signing_settings_parse(bytes, got, settings);
  SecureZeroMemory(bytes, sizeof bytes);
  // A record that holds its password was written before passwords were
  // kept encrypted, or on a system that cannot encrypt them. Read only to
  // be shown, settings whose password cannot be had show the rest.
  if (status == ST_OK && !settings->password[0]) {
    DWORD error = 0;
    int password = PasswordRead(path, trusted, settings, &error);
    if (password < 0 && trusted) {
      status = password;
      *sysError = error;
    }
  }
  if (status < 0) SecureZeroMemory(settings, sizeof *settings);
  return status;
}

// Encrypts the password and writes it as the password file at path.
int PasswordWrite(const Dpapi& d, const wchar_t* path, const SigningSettings& settings,
                  DWORD* sysError) {
  DATA_BLOB clear = {static_cast<DWORD>(strnlen(settings.password, sizeof settings.password)),
                     reinterpret_cast<BYTE*>(const_cast<char*>(settings.password))};
  DATA_BLOB entropy = Entropy(), blob = {0, NULL};
  if (!d.protect(&clear, L"Vantorel", &entropy, NULL, NULL, CRYPTPROTECT_UI_FORBIDDEN, &blob)) {
    *sysError = GetLastError();
    return ST_SIGN_PASSWORD;
  }
  int status = FileReplaceWrite(path, blob.cbData, blob.pbData, sysError, FILE_ACCESS_PRIVATE);
  LocalFree(blob.pbData);
  return status;
}

}  // namespace

int signing_settings_read(const wchar_t* path, SigningSettings* settings, DWORD* sysError) {
  return SettingsRead(path, false, settings, sysError);
}

int signing_settings_read_trusted(const wchar_t* path, SigningSettings* settings,
                                  DWORD* sysError) {
  return SettingsRead(path, true, settings, sysError);
}

int signing_settings_write(const wchar_t* path, const SigningSettings& settings,
                           DWORD* sysError) {
  wchar_t password_path[VT_PATH_CAP];
  if (!PasswordPath(path, password_path)) {
    *sysError = 0;
    return ST_BAD_NAME;
  }
  static SigningSettings record;  // the dialog registers on one thread
  record = settings;
  Dpapi d = {};
  int status = ST_OK;
  if (DpapiLoad(&d)) {
    status = PasswordWrite(d, password_path, settings, sysError);
    SecureZeroMemory(record.password, sizeof record.password);
  }
  DpapiFree(&d);
  if (status == ST_OK)
    status = FileReplaceWrite(path, SIGNING_SETTINGS_SIZE, &record, sysError, FILE_ACCESS_PRIVATE);
  // Without encryption the record holds the password: no password file
  // from before may stand beside it.
  if (status == ST_OK && record.password[0]) DeleteFileW(password_path);
  SecureZeroMemory(&record, sizeof record);
  return status;
}
