// The install and uninstall operations: the module into the system folder
// (or its replacement at the next restart), its registration, the uninstall
// folder, entry and program; or the module's removal and the entry's.
#include <string.h>

#include "common/file.h"
#include "common/message.h"
#include "common/process.h"
#include "installer/installer.h"
#include "installer/resource.h"
#include "package/config_keys.h"
#include "package/module_check.h"
#include "package/package.h"
#include "package/pe_image.h"

namespace {

// How long the registration program may take before the run goes on.
const DWORD kRegistrationWaitMs = 120000;

// A module in place is read and tested without standing in anybody's way.
const DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// The failure message of the operation: its text in the string table and
// the system's error it shows. It is formatted only where it is shown, so
// that a silent run that shows nothing loads no window system for it.
struct Failure {
  UINT text;    // 0 while nothing failed
  DWORD error;
};

// The module inside the held package, read as an image of its own.
FileSpan PackageModule() {
  return FileSpan{Settings.package_held, Settings.payload_offset, Settings.payload_length};
}

// What became of a copy of the module.
enum StageResult {
  STAGED,         // the new file holds exactly the checked bytes
  STAGE_FAILED,   // it could not be made, written or read back
  STAGE_DAMAGED   // the package's bytes differ from its checksum (status 24)
};

// Copies the module from the held package into the open file (new and
// empty), folding the bytes into the package checksum as they pass, and
// reads back what landed there. Sets the system's error (ERROR_CRC when
// bytes differ) unless STAGED.
StageResult ModuleCopyInto(HANDLE target, DWORD* error) {
  HANDLE source = Settings.package_held;
  if (!source) {
    *error = ERROR_INVALID_HANDLE;
    return STAGE_FAILED;
  }
  FileCopy copy = {Settings.payload_length, target, NULL, NULL, checksum_update, 0, 0};
  FileCopy landed = {FILE_COPY_TO_END, NULL, NULL, NULL, checksum_update, 0, 0};
  if (FileSeek(source, Settings.payload_offset, error) != ST_OK ||
      FileCopyRange(source, &copy, error) != ST_OK)
    return STAGE_FAILED;
  *error = ERROR_CRC;
  if (copy.sum != Settings.expected_checksum) return STAGE_DAMAGED;
  if (FileSeek(target, 0, error) != ST_OK || FileCopyRange(target, &landed, error) != ST_OK)
    return STAGE_FAILED;
  if (landed.sum != copy.sum || landed.passed != copy.passed) {
    *error = ERROR_CRC;
    return STAGE_FAILED;
  }
  return STAGED;
}

// Makes a new file of a unique name in the system folder, beside the
// target (so that it can take the target's place in one step), holding
// the checked module, its name in staged. A file that does not end STAGED
// is removed again.
StageResult ModuleStage(wchar_t* staged, DWORD* error) {
  if (!GetTempFileNameW(Settings.system_folder, L"Qor", 0, staged)) {
    *error = GetLastError();
    return STAGE_FAILED;
  }
  // The name was made as an empty file, which nobody else can have
  // opened: it is opened again with sharing for readers only.
  HANDLE file = NULL;
  StageResult result = STAGE_FAILED;
  if (FileOpen(staged, &file, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, TRUNCATE_EXISTING,
               error) >= 0)
    result = ModuleCopyInto(file, error);
  if (file) CloseHandle(file);
  if (result != STAGED) DeleteFileW(staged);
  return result;
}

// Whether the module in place can be replaced now: opening it for deletion
// fails while another program holds it without sharing that (the file
// layer waits a little for a lock that goes away).
bool ModuleReplaceable(const wchar_t* target, DWORD* error) {
  HANDLE file = NULL;
  if (FileOpen(target, &file, DELETE, kShareAll, OPEN_EXISTING, error) < 0)
    return false;
  CloseHandle(file);
  return true;
}

// Whether the open module in place holds the package's bytes: its size
// first, then its checksum, one read of the file.
bool ModuleIdentical(HANDLE file) {
  DWORD error = 0, size = 0;
  FileCopy pass = {FILE_COPY_TO_END, NULL, NULL, NULL, checksum_update, 0, 0};
  return FileSizeGet(file, &size, &error) == ST_OK && size == Settings.payload_length &&
         FileCopyRange(file, &pass, &error) == ST_OK && pass.passed == size &&
         pass.sum == Settings.expected_checksum;
}

// What the install does with the module in place, logged.
ModulePlacement PlacementChoose(const wchar_t* target, bool existed) {
  bool identical = false;
  ModuleVersion in_place = {false, 0, 0}, package = {false, 0, 0};
  HANDLE file = NULL;
  DWORD error = 0;
  if (existed && FileOpen(target, &file, GENERIC_READ, kShareAll, OPEN_EXISTING, &error) >= 0) {
    identical = ModuleIdentical(file);
    if (!identical) {
      in_place = module_version_read(FileSpan{file, 0, 0xFFFFFFFFu});
      package = module_version_read(PackageModule());
    }
    CloseHandle(file);
  }
  ModulePlacement placement = module_placement(existed, identical, in_place, package);
  wchar_t have[32], bring[32];
  module_version_text(have, 32, in_place);
  module_version_text(bring, 32, package);
  if (placement == PLACE_KEEP_IDENTICAL)
    log_line(L"コピー: %s は同一のため書き込みません", target);
  else if (placement == PLACE_KEEP_NEWER)
    log_line(L"コピー: %s は新しい版 %s のため残します (パッケージ %s)", target, have, bring);
  else if (existed)
    log_line(L"コピー: %s の版 %s をパッケージの版 %s で置き換えます", target, have, bring);
  return placement;
}

void FailureSet(Failure* failure, UINT text, DWORD error) {
  failure->text = text;
  failure->error = error;
}

// The failure message with its error into out (VT_PATH_CAP); empty when
// nothing failed.
void FailureText(const Failure& failure, wchar_t* out) {
  out[0] = 0;
  if (failure.text)
    MessageTextFormat(out, VT_PATH_CAP, failure.text, static_cast<int>(failure.error));
}

// Install mode: the module in place, from a checked copy under a new name
// beside it that takes its place in one step, or whose replacement waits
// for the restart when the module in place is in use. Until that step the
// module in place stays byte for byte as it was. Returns false (status 31,
// or 24 when the package's bytes are damaged; failure message set) when
// the run ends here.
bool ModuleCopy(const wchar_t* target, bool existed, Failure* failure) {
  DWORD error = 0;
  wchar_t staged[VT_PATH_CAP] = L"";
  bool in_use = existed && !ModuleReplaceable(target, &error);
  StageResult result = STAGE_FAILED;
  bool done = false;
  if (in_use && !Settings.replace_at_restart) {
    log_line(L"コピー: %s は使用中 (%d)", target, static_cast<int>(error));
  } else if ((result = ModuleStage(staged, &error)) == STAGED) {
    log_line(L"コピー: %s (チェックサム %08X, 読み戻し済み)", staged, Settings.expected_checksum);
    done = !in_use && FileReplace(staged, target, &error) == ST_OK;
    if (done) {
      log_line(L"コピー: %s", target);
    } else if (copy_outcome(false, Settings.replace_at_restart) == COPY_AT_RESTART) {
      log_line(L"コピー: %s は使用中 (%d)", target, static_cast<int>(error));
      // The checked copy itself waits for the restart where it is, in
      // the system folder, where no user program can swap it.
      done = MoveFileExW(staged, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_DELAY_UNTIL_REBOOT);
      if (done) {
        log_line(L"置換: 再起動時 %s", target);
        Settings.restart_needed = true;
      } else {
        error = GetLastError();
      }
    }
    if (!done) DeleteFileW(staged);
  }
  if (done) return true;
  if (result == STAGE_DAMAGED) {
    log_line(L"展開: チェックサムが期待値 %08X と異なります", Settings.expected_checksum);
    Settings.status = RUN_INTEGRITY;
  } else {
    log_line(L"コピー失敗: %s (%d)", target, static_cast<int>(error));
    Settings.status = RUN_COPY_FAILED;
  }
  FailureSet(failure, IDS_COPY_FAILED, error);
  return false;
}

// Uninstall mode: the module deleted (or its deletion scheduled) and the
// uninstall key removed; a module in use that may not wait for the restart
// is registered again and the key stays. Returns false (status 32, failure
// message set) when the run ends that way.
bool ModuleRemove(const wchar_t* target, Failure* failure) {
  DWORD error = 0;
  BOOL deleted = DeleteFileW(target);
  if (!deleted) error = GetLastError();
  DeleteOutcome outcome = delete_outcome(deleted != 0, error, Settings.delete_at_restart);
  log_line(L"削除: %s (%d)", target, static_cast<int>(error));
  switch (outcome) {
    case DELETE_DONE:
      break;
    case DELETE_MISSING:
      Settings.status = RUN_MODULE_MISSING;
      break;
    case DELETE_FAILED:
      Settings.status = RUN_DELETE_FAILED;
      register_module(target, true);
      FailureSet(failure, IDS_DELETE_FAILED, error);
      return false;
    case DELETE_AT_RESTART:
      Settings.restart_needed = true;
      MoveFileExW(target, NULL, MOVEFILE_DELAY_UNTIL_REBOOT);
      log_line(L"削除: 再起動時 %s", target);
      break;
  }
  return true;
}

// Removes this product's uninstall entry.
void EntryRemove() {
  wchar_t key[VT_PATH_CAP];
  if (compose_uninstall_key(key, VT_PATH_CAP, Settings.guid) < 0) return;
  delete_registry_key(key);
  log_line(L"レジストリ: HKLM\\%s を削除", key);
}

// Whether the registration program ran and reported a failure: a program
// that could not be judged (not started, or still running after the wait)
// is no failure.
bool RegistrationFailed(const wchar_t* target, bool register_it) {
  DWORD code = 0;
  return register_module(target, register_it, &code) == REGISTER_STARTED && code != 0 &&
         code != STILL_ACTIVE;
}

// Install mode: the uninstall folder and program, and only when the
// program stands there whole, the entry that starts it. Without a working
// uninstaller there is no entry (an entry that starts a broken program
// would leave a product that cannot be removed): what was made is taken
// away again and the run ends with status 33, the module installed and
// registered. Returns false then (failure message set).
bool UninstallerRegister(Failure* failure) {
  program_files_find();
  wchar_t folder[VT_PATH_CAP], path[VT_PATH_CAP];
  DWORD error = ERROR_FILENAME_EXCED_RANGE;
  bool made = false;
  if (compose_uninstall_folder(folder, VT_PATH_CAP, Settings.program_files_folder,
                               Settings.guid) >= 0 &&
      compose_uninstaller_path(path, VT_PATH_CAP, folder) >= 0) {
    // The uninstaller runs elevated later: users may read and run it, not
    // replace it.
    DirCreate(folder, &error, DIR_GRANT_USERS_READ);
    int st = copy_uninstaller(path, &error);
    made = st >= 0;
    if (st == ST_OK_EXISTED)
      log_line(L"ファイル: %s は同一のため書き込みません", path);
    else
      log_line(L"ファイル: %s (%d)", path, static_cast<int>(error));
    if (!made) {
      DeleteFileW(path);
      RemoveDirectoryW(folder);
    }
  }
  if (made) {
    write_uninstall_entry();
    return true;
  }
  log_line(L"アンインストーラ失敗: %s (%d)", folder, static_cast<int>(error));
  Settings.status = RUN_UNINSTALLER_FAILED;
  FailureSet(failure, IDS_UNINSTALLER_FAILED, error);
  return false;
}

// Reports the outcome: to the progress dialog in a dialog run, by a popup
// (when asked for) in a silent run.
void OutcomeReport(bool direct, const Failure& failure) {
  if (!direct && Settings.progress_dialog) {
    int command = IDC_PROGRESS_DONE;
    if (operation_failed(Settings.status)) {
      FailureText(failure, Settings.popup_line1);
      command = IDC_PROGRESS_FAILED;
    }
    // The progress dialog stays at least a second.
    Sleep(1000);
    progress_post(command);
    return;
  }
  switch (silent_report(Settings.status, Settings.warn, Settings.restart_needed,
                        Settings.restart_prompt, Settings.restart_allowed)) {
    case REPORT_NOTHING:
      break;
    case REPORT_FAILURE: {
      wchar_t text[VT_PATH_CAP];
      popup_prepare(IDI_POPUP_WARNING, true);
      FailureText(failure, text);
      popup_set_lines(text, L"");
      show_warning_popup(Settings.popup_timeout != 0);
      break;
    }
    case REPORT_RESTART_ASK:
    case REPORT_RESTART_TELL: {
      bool ask = Settings.restart_allowed;
      wchar_t line1[VT_PATH_CAP], line2[VT_PATH_CAP];
      popup_prepare(IDI_POPUP_INFO, !ask);
      MessageTextLoad(line1, VT_PATH_CAP, IDS_RESTART_NEEDED);
      MessageTextLoad(line2, VT_PATH_CAP, ask ? IDS_RESTART_ASK : IDS_RESTART_TELL);
      popup_set_lines(line1, line2);
      if (show_warning_popup(false) == IDC_POPUP_YES && ask) restart_system();
      break;
    }
  }
}

// The shared count of the module at path now.
void SharedCountSet(const wchar_t* path, const SharedStep& step) {
  if (step.write) shared_count_write(path, step.count);
}

// Install mode after the checks: the module (unless the same or a newer
// one is there), its registration, the shared count and the uninstaller
// with its entry.
void InstallRun(const wchar_t* target, Failure* failure) {
  const bool existed = FileKindGet(target) == FILE_KIND_FILE;
  wchar_t key[VT_PATH_CAP];
  const bool reinstall = compose_uninstall_key(key, VT_PATH_CAP, Settings.guid) >= 0 &&
                         registry_key_exists(key);
  const ModulePlacement placement = PlacementChoose(target, existed);
  if (placement == PLACE_COPY && !ModuleCopy(target, existed, failure)) return;
  // The same bytes this product's earlier run registered need no second
  // registration.
  if (registration_needed(placement, reinstall) && RegistrationFailed(target, true)) {
    // A module this run brought is taken away again; one that was there
    // before stays where its owner put it.
    Settings.status = RUN_REGISTER_FAILED;
    FailureSet(failure, IDS_REGISTER_FAILED, ERROR_FUNCTION_FAILED);
    if (!existed && !Settings.restart_needed && DeleteFileW(target))
      log_line(L"削除: %s", target);
    return;
  }
  const SharedCount before = shared_count_read(target);
  const SharedStep step = shared_count_after_install(before, existed, reinstall);
  SharedCountSet(target, step);
  if (Settings.no_uninstall_registration || UninstallerRegister(failure)) return;
  // Without an entry nobody will lower the count again.
  if (step.write)
    shared_count_write(target, before.kind == SHARED_COUNTED ? before.count : 0);
}

// Uninstall mode after the checks: a module other products still use (or
// may use: a count that cannot be read, or one at its maximum) stays,
// registered; otherwise it is unregistered and removed. The entry goes in
// both cases, unless the module could not be removed.
void UninstallRun(const wchar_t* target, Failure* failure) {
  const SharedStep step = shared_count_after_uninstall(shared_count_read(target));
  if (step.keep_module) {
    SharedCountSet(target, step);
    log_line(L"共有: %s は他の製品が使用中のため残します", target);
    EntryRemove();
    return;
  }
  // A failed unregistration is logged and never stops the removal.
  RegistrationFailed(target, false);
  if (!ModuleRemove(target, failure)) return;
  SharedCountSet(target, step);
  EntryRemove();
}

}  // namespace

void run_operation(bool direct) {
  bool install = !Settings.uninstall_mode;
  Failure failure = {0, 0};
  Settings.popup_line1[0] = 0;
  Settings.popup_line2[0] = 0;

  wchar_t target[VT_PATH_CAP];
  if (compose_target_path(target, VT_PATH_CAP, Settings.system_folder, Settings.file_name) < 0) {
    Settings.status = install ? RUN_COPY_FAILED : RUN_DELETE_FAILED;
    FailureSet(&failure, install ? IDS_COPY_FAILED : IDS_DELETE_FAILED,
               ERROR_FILENAME_EXCED_RANGE);
  } else if (install) {
    InstallRun(target, &failure);
  } else {
    UninstallRun(target, &failure);
  }
  OutcomeReport(direct, failure);
}

ModuleVersion module_version_read(FileSpan span) {
  uint32_t ms = 0, ls = 0;
  bool known = span.file && file_version_read(span, &ms, &ls);
  return ModuleVersion{known, ms, ls};
}

ModuleVersion module_version_at(const wchar_t* path) {
  ModuleVersion version = {false, 0, 0};
  HANDLE file = NULL;
  DWORD error = 0;
  if (FileOpen(path, &file, GENERIC_READ, kShareAll, OPEN_EXISTING, &error) < 0) return version;
  version = module_version_read(FileSpan{file, 0, 0xFFFFFFFFu});
  CloseHandle(file);
  return version;
}

unsigned __stdcall run_operation_thread(void*) {
  run_operation(false);
  return 0;
}

int register_module(const wchar_t* path, bool register_it, DWORD* exit_code) {
  // The entry is judged from the module's export table: loading the module
  // here would run its start-up code in this process and map all of it, only
  // for the registration program to load it again.
  if (module_check_file(path, register_it ? "DllRegisterServer" : "DllUnregisterServer") !=
      PE_MODULE_OK)
    return REGISTER_NOT_STARTED;

  // The registration program by its full path: a search would find one
  // planted in the package's or the current folder first.
  wchar_t program[VT_PATH_CAP];
  wchar_t command[2 * VT_PATH_CAP];
  if (compose_regsvr32_path(program, VT_PATH_CAP, Settings.system_folder) < 0 ||
      compose_registration_command(command, 2 * VT_PATH_CAP, program, path, register_it) < 0)
    return REGISTER_NOT_STARTED;
  const ProcessLaunch launch = {program, command, Settings.system_folder, 0, SW_SHOW};
  // The run waits for it: an uninstall deletes the module next, which must
  // not meet it still loaded there. One that outlasts the wait is left to
  // run and counts as still running.
  DWORD code = STILL_ACTIVE, error = 0;
  int status = ProcessRun(launch, kRegistrationWaitMs, false, &code, &error);
  if (status == ST_PROC_BAD_PROGRAM || status == ST_PROC_START) return REGISTER_NOT_STARTED;
  if (status < 0) code = STILL_ACTIVE;
  log_line(L"登録: %s: 終了コード %u", command, static_cast<unsigned>(code));
  if (exit_code) *exit_code = code;
  return REGISTER_STARTED;
}

int write_uninstall_entry() {
  wchar_t key[VT_PATH_CAP], folder[VT_PATH_CAP], version[64], command[2 * VT_PATH_CAP];
  wchar_t program[VT_PATH_CAP], quiet[2 * VT_PATH_CAP], date[16];
  if (compose_uninstall_key(key, VT_PATH_CAP, Settings.guid) < 0 ||
      compose_uninstall_folder(folder, VT_PATH_CAP, Settings.program_files_folder,
                               Settings.guid) < 0 ||
      compose_uninstall_command(command, 2 * VT_PATH_CAP, folder, Settings.guid) < 0 ||
      compose_uninstaller_path(program, VT_PATH_CAP, folder) < 0 ||
      compose_quiet_uninstall_command(quiet, 2 * VT_PATH_CAP, command) < 0)
    return 0;
  TextFormat(version, 64, L"%d.%d.%d", Settings.ver_major, Settings.ver_minor,
             Settings.ver_build);
  SYSTEMTIME now;
  GetLocalTime(&now);
  TextFormat(date, 16, L"%04d%02d%02d", now.wYear, now.wMonth, now.wDay);
  const DWORD size = Settings.payload_length;
  read_configuration_group(CONFIG_ENTRY);
  const auto& e = Settings.entry;
  UninstallTexts texts = {e.display, version, e.comments, e.publisher, folder, e.help,
                          e.about,   e.update,  Settings.user_name, command};
  UninstallFacts facts = {program, date, quiet, size / 1024ul + (size % 1024ul != 0)};
  RegistryRow rows[UNINSTALL_ROWS_MAX];
  int count = uninstall_entry_rows(texts, rows, &facts);
  set_registry_values(key, rows, count);
  return 0;
}

namespace {

// Whether the open file holds exactly the first length bytes of the package.
bool UninstallerWhole(HANDLE program, DWORD length, DWORD* error) {
  DWORD size = 0;
  if (FileSizeGet(program, &size, error) != ST_OK || size != length ||
      FileSeek(program, 0, error) != ST_OK || FileSeek(Settings.package_held, 0, error) != ST_OK)
    return false;
  FileCopy compare = {length, NULL, Settings.package_held, NULL, NULL, 0, 0};
  return FileCopyRange(program, &compare, error) == ST_OK;
}

}  // namespace

int copy_uninstaller(const wchar_t* path, DWORD* error) {
  HANDLE package = Settings.package_held, program = NULL;
  *error = 0;
  if (!package || Settings.image_length <= 0) {
    *error = ERROR_INVALID_HANDLE;
    return ST_OPEN_FAILED;
  }
  const DWORD length = static_cast<DWORD>(Settings.image_length);
  // An uninstaller that an earlier run of this package left whole is not
  // written again.
  if (FileOpen(path, &program, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, error) >= 0) {
    bool whole = UninstallerWhole(program, length, error);
    CloseHandle(program);
    *error = 0;
    if (whole) return ST_OK_EXISTED;
  }
  int st = FileOpen(path, &program, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                    CREATE_ALWAYS, error);
  if (st < 0) return st;
  FileCopy copy = {length, program, NULL, NULL, NULL, 0, 0};
  st = FileSeek(package, 0, error);
  if (st == ST_OK) st = FileCopyRange(package, &copy, error);
  // Checked as it landed: exactly the image, byte for byte.
  if (st == ST_OK && (!FlushFileBuffers(program) || !UninstallerWhole(program, length, error))) {
    if (*error == 0) *error = ERROR_CRC;
    st = ST_WRITE_FAILED;
  }
  CloseHandle(program);
  return st < 0 ? st : ST_OK;
}

int restart_system() {
  HANDLE token = NULL;
  if (OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
    TOKEN_PRIVILEGES privileges = {};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (LookupPrivilegeValueW(NULL, SE_SHUTDOWN_NAME, &privileges.Privileges[0].Luid))
      AdjustTokenPrivileges(token, FALSE, &privileges, 0, NULL, NULL);
    CloseHandle(token);
  }
  return ExitWindowsEx(EWX_REBOOT | EWX_FORCE, 0) ? RESTART_ACCEPTED : RESTART_REFUSED;
}
