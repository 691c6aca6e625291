// Start-up of an Installer run: the package's own facts and resources, the
// temporary files, the configuration, the mode, the checks, then the
// operation, and the clean-up that ends every run.
#include "common/file.h"
#include "common/message.h"
#include "common/os.h"
#include "installer/installer.h"
#include "installer/resource.h"
#include "package/module_check.h"
#include "package/package.h"

#include <shlobj.h>

namespace {

const int kTempFolderAttempts = 16;

// A "BINTYPE" resource of the running image, by number in any language.
struct ResourceBytes {
  const void* data;
  DWORD size;
};

// Finds, loads and locks a "BINTYPE" resource. A missing one has size 0 and
// leaves the system's error in *error.
ResourceBytes ResourceFind(int id, DWORD* error) {
  ResourceBytes bytes = {NULL, 0};
  HRSRC found = FindResourceW(Settings.instance, MAKEINTRESOURCEW(id),
                              WIDE(PACKAGE_RES_TYPE));
  HGLOBAL loaded = found ? LoadResource(Settings.instance, found) : NULL;
  bytes.data = loaded ? LockResource(loaded) : NULL;
  if (bytes.data) bytes.size = SizeofResource(Settings.instance, found);
  if (!bytes.size) *error = GetLastError();
  return bytes;
}

// The user, the running package's path and the system folder, and the
// package held open. A value that does not fit its buffer stays empty
// rather than shortened.
void OwnFactsRead() {
  DWORD size = SETTINGS_TEXT_CAP;
  if (!GetUserNameW(Settings.user_name, &size)) Settings.user_name[0] = 0;
  DWORD n = GetModuleFileNameW(NULL, Settings.own_path, VT_PATH_CAP);
  if (n == 0 || n > VT_PATH_MAX) Settings.own_path[0] = 0;
  n = GetSystemDirectoryW(Settings.system_folder, VT_PATH_CAP);
  if (n == 0 || n > VT_PATH_MAX) Settings.system_folder[0] = 0;
  // Read once from here on, through this handle only: a running program
  // can be renamed and its name given to another file, and the checksum is
  // no defence against a replacement made to match it.
  DWORD error = 0;
  if (!Settings.own_path[0] || FileOpen(Settings.own_path, &Settings.package_held, GENERIC_READ,
                                        FILE_SHARE_READ, OPEN_EXISTING, &error) < 0)
    Settings.package_held = NULL;
}

// The silent marker: the fourth part of the own file version is not 0,
// read from the held package by the PE walk (no version library is loaded
// for it).
void SilentMarkerRead() {
  uint32_t ms = 0, ls = 0;
  Settings.silent_marker =
      Settings.package_held &&
      file_version_read(FileSpan{Settings.package_held, 0, 0xFFFFFFFFu}, &ms, &ls) &&
      (ls & 0xFFFF) != 0;
}

// The run's own folder in the temporary folder, temp_base: a name the
// system makes unique (its empty file taken away at once) becomes a folder
// that only this user, Administrators and SYSTEM may use, held until the
// end of the run; the document is written inside it. Nothing of the run
// lies where another user could put a link for it to follow. A folder that
// cannot be made leaves the names empty.
void TempFolderMake() {
  wchar_t folder[VT_PATH_CAP];
  TempFolderGet(folder);
  Settings.temp_base[0] = 0;
  for (int attempt = 0; folder[0] && attempt < kTempFolderAttempts; ++attempt) {
    if (!GetTempFileNameW(folder, L"Qor", 0, Settings.temp_base)) break;
    DeleteFileW(Settings.temp_base);
    DWORD error = 0;
    int st = DirCreateOwn(Settings.temp_base, &Settings.temp_held, &error);
    if (st == ST_OK) break;
    Settings.temp_base[0] = 0;
    if (st != ST_DIR_EXISTS) break;  // taken meanwhile: another name
  }
  const wchar_t* base = Settings.temp_base;
  if (!base[0] ||
      TextFormat(Settings.document_path, VT_PATH_CAP, L"%s\\%s", base, L"Setup.ini") < 0)
    Settings.document_path[0] = 0;
  log_line(L"一時フォルダ: %s", base);
}

// Whether the open file holds exactly bytes.
bool FileHolds(HANDLE file, const void* bytes, DWORD size, DWORD* error) {
  FileCopy compare = {size, NULL, NULL, bytes, NULL, 0, 0};
  DWORD size_now = 0;
  return FileSizeGet(file, &size_now, error) == ST_OK && size_now == size &&
         FileCopyRange(file, &compare, error) == ST_OK;
}

// Keeps a temporary file that was just written open for reading with no
// writer allowed and checks that it holds the resource's bytes. The
// temporary folder belongs to the user, whose other programs must not
// change what this elevated run reads from it. Returns 0, or the file
// layer's status (ST_READ_FAILED when the bytes differ).
int TempHold(const wchar_t* path, const ResourceBytes& bytes, HANDLE* held, DWORD* error) {
  int st = FileOpen(path, held, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, error);
  if (st < 0) return st;
  if (!FileHolds(*held, bytes.data, bytes.size, error)) {
    CloseHandle(*held);
    *held = NULL;
    if (!*error) *error = ERROR_INVALID_DATA;
    return ST_READ_FAILED;
  }
  return ST_OK;
}

// Writes a resource's bytes to a new file of the run's folder, which is
// never an existing file or a link (ST_FILE_EXISTS, or ST_OPEN_FAILED with
// ERROR_REPARSE_TAG_MISMATCH), and holds it (TempHold).
int TempWriteHeld(const wchar_t* path, const ResourceBytes& bytes, HANDLE* held,
                  DWORD* error) {
  HANDLE file = NULL;
  int st = temp_file_create(path, &file, GENERIC_WRITE, 0, error);
  if (st < 0) return st;
  st = FileWrite(file, bytes.data, bytes.size, NULL, error);
  CloseHandle(file);
  if (st < 0) return st;
  return TempHold(path, bytes, held, error);
}

// The document written out and held. Returns 0 or a status of 11 to 13
// with the system's error in *error; a banner the package lacks is told
// here too, whether or not the run shows it.
int DocumentWrite(HANDLE* document_held, DWORD* error) {
  ResourceBytes document = ResourceFind(PACKAGE_RES_DOCUMENT, error);
  if (!document.size) return RUN_NO_DOCUMENT;
  ResourceBytes banner = ResourceFind(PACKAGE_RES_BANNER, error);
  if (!banner.size) return RUN_NO_BANNER;
  *error = 0;
  if (TempWriteHeld(Settings.document_path, document, document_held, error) < 0)
    return RUN_DOCUMENT_WRITE;
  return RUN_OK;
}

// The banner picture, for a run that shows the main dialog, loaded from
// the package's own bytes in memory: no file that a user program could
// swap is ever parsed. Returns 0, or 14 when its bytes could not be put
// where the picture loader reads them (a picture that does not load
// leaves the banner area empty and is not reported).
int BannerLoad(DWORD* error) {
  ResourceBytes banner = ResourceFind(PACKAGE_RES_BANNER, error);
  if (load_banner(banner.data, banner.size, error) == BANNER_NO_MEMORY) return RUN_BANNER_WRITE;
  return RUN_OK;
}

// The start-up error popup: icon 112, "OK", 120 seconds, "%s - %d" of the
// status's text and the system's error.
void StartupErrorShow(int status, DWORD error) {
  wchar_t line[VT_PATH_CAP];
  TextFormat(line, VT_PATH_CAP, L"%s - %d",
             MessageTextShared(IDS_STATUS_BASE + status), static_cast<int>(error));
  popup_prepare(IDI_POPUP_ERROR, true);
  popup_set_lines(line, L"");
  Settings.popup_timeout = 120;
  show_warning_popup(true);
}

void CloseHeld(HANDLE* handle) {
  if (*handle) CloseHandle(*handle);
  *handle = NULL;
}

void DeleteMade(const wchar_t* path) {
  if (path[0]) DeleteFileW(path);
}

}  // namespace

int installer_run(HINSTANCE instance, const wchar_t* command_line) {
  UINT previous_mode = SetErrorMode(SEM_FAILCRITICALERRORS);
  Settings.os_code = OsIdentify(NULL);
  Settings.instance = instance;
  ModuleInstance = instance;
  OwnFactsRead();
  SilentMarkerRead();
  CommandSwitches switches;
  command_line_switches(command_line, &switches);
  Settings.silent_switch = switches.silent;
  log_open(switches.log_path);
  log_line(L"開始: %s %s", Settings.own_path, command_line ? command_line : L"");
  TempFolderMake();

  HANDLE document_held = NULL;
  DWORD error = 0;
  bool com = false;
  Settings.status = DocumentWrite(&document_held, &error);
  if (Settings.status == RUN_OK) {
    read_configuration();
    read_command_line(switches.rest);
    // The silent switch overrides the document: no dialog, no popup.
    if (Settings.silent_switch) {
      Settings.silent = true;
      Settings.warn = Settings.restart_prompt = false;
    }
    Settings.status = environment_checks();
  }
  if (Settings.status == RUN_OK) {
    // A silent run operates at once and wakes nothing of the window system;
    // any other run shows the main dialog with its banner, which operates
    // on the user's request.
    if (Settings.silent) {
      run_operation(true);
    } else {
      com = SUCCEEDED(CoInitialize(NULL));
      Settings.status = BannerLoad(&error);
      if (Settings.status == RUN_OK) show_main_dialog();
    }
  }
  // A run started with the silent switch tells a restart it waits for by
  // its exit code, as deployment tools expect.
  if (Settings.silent_switch && Settings.restart_needed && Settings.status == RUN_OK)
    Settings.status = RUN_RESTART_REQUIRED;
  if (startup_popup_wanted(Settings.status, Settings.silent_marker || Settings.silent_switch))
    StartupErrorShow(Settings.status, error);

  if (Settings.banner) Settings.banner->Release();
  Settings.banner = NULL;
  if (com) CoUninitialize();
  CloseHeld(&Settings.package_held);
  CloseHeld(&document_held);
  // Nothing of the run stays in the temporary folder.
  DeleteMade(Settings.document_path);
  CloseHeld(&Settings.temp_held);
  if (Settings.temp_base[0]) RemoveDirectoryW(Settings.temp_base);
  SetErrorMode(previous_mode);
  log_line(L"終了: 状態 %d (%s)", Settings.status, run_status_meaning(Settings.status));
  log_close();
  return Settings.status;
}

void program_files_find() {
  if (Settings.program_files_folder[0]) return;
  // Where the shell itself takes it from: the registry's value in this
  // process's view (a 32-bit program on 64-bit Windows sees "Program Files
  // (x86)" there, as the shell tells it), then the environment; the shell
  // only when neither has it, so that a run loads no shell library.
  wchar_t path[VT_PATH_CAP] = L"";
  wchar_t value[VT_PATH_CAP];
  if (read_registry_value(sizeof value, L"ProgramFilesDir", value,
                          L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion") == REGISTRY_VALUE_READ) {
    DWORD n = ExpandEnvironmentStringsW(value, path, VT_PATH_CAP);
    if (n == 0 || n > VT_PATH_CAP) path[0] = 0;
  }
  if (!path[0]) {
    DWORD n = GetEnvironmentVariableW(L"ProgramFiles", path, VT_PATH_CAP);
    if (n == 0 || n >= VT_PATH_CAP) path[0] = 0;
  }
  if (!path[0]) {
    LPITEMIDLIST location = NULL;
    if (SUCCEEDED(SHGetSpecialFolderLocation(NULL, CSIDL_PROGRAM_FILES, &location)) && location) {
      if (!SHGetPathFromIDListW(location, path)) path[0] = 0;
      CoTaskMemFree(location);
    }
  }
  if (TextLength(path) <= VT_PATH_MAX) TextCopy(Settings.program_files_folder, VT_PATH_CAP, path);
}

int temp_file_create(const wchar_t* path, HANDLE* file, DWORD access, DWORD share,
                     DWORD* error) {
  int st = FileOpen(path, file, access, share, CREATE_NEW, error);
  if (st < 0) return st;
  if (FileIsReparsePoint(*file)) {
    CloseHandle(*file);
    *file = NULL;
    *error = ERROR_REPARSE_TAG_MISMATCH;
    return ST_OPEN_FAILED;
  }
  return ST_OK;
}
