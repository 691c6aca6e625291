// The Installer's decisions that need no system call: the run statuses, the
// command line, the checks of names taken from the configuration document,
// the composition of every path and command the operations use, the
// outcome rows of install and uninstall, and the uninstall entry's values.
// Compiles without windows.h.
#pragma once

#include <stddef.h>

// Run statuses; the status of a run is the process's exit code.
enum RunStatus {
  RUN_OK = 0,                  // success, also a run the user cancelled
  RUN_NO_DOCUMENT = 11,        // "BINTYPE"/501 missing or empty
  RUN_NO_BANNER = 12,          // "BINTYPE"/492 missing or empty
  RUN_DOCUMENT_WRITE = 13,     // the document could not be written out
  RUN_BANNER_WRITE = 14,       // the banner could not be taken into memory
  RUN_OS_REFUSED = 21,         // the OS mask does not allow this system
  RUN_NOT_ADMIN = 22,          // administrator rights required and missing
  RUN_EXTRACT_FAILED = 23,     // the payload could not be taken in
  RUN_INTEGRITY = 24,          // checksum differs, or the package names
                               // something that is not a plain name
  RUN_NO_FOLDER = 25,          // the system cannot name its system folder, or
                               // the Program Files folder an uninstaller needs
  RUN_COPY_FAILED = 31,        // the module could not be installed
  RUN_DELETE_FAILED = 32,      // the module could not be removed
  RUN_UNINSTALLER_FAILED = 33, // installed and registered, but its uninstaller
                               // could not be put in place: no uninstall entry
  RUN_REGISTER_FAILED = 34,    // installed, but the registration program ended
                               // with an error: no uninstall entry
  RUN_BAD_UNINSTALL_GUID = 41, // uninstall command line without a valid GUID
  RUN_MODULE_MISSING = 999,    // uninstall found no module; a success
  RUN_RESTART_REQUIRED = 3010  // a run with the silent switch that succeeded
                               // and waits for the restart
};

// A short text of what a status means, for the log.
const wchar_t* run_status_meaning(int status);

// Whether a start-up status gets the start-up error popup: statuses 1 to
// 19, unless the package carries the silent marker.
bool startup_popup_wanted(int status, bool silent_marker);

// Whether the command line (the text after the program name) selects
// uninstall mode: its first ten characters are "-UnInstall", exact case.
bool command_line_is_uninstall(const wchar_t* line);

// The GUID part of an uninstall command line: everything from the twelfth
// character on (the eleventh, "/" in the uninstall entry, is not examined),
// at most 255 characters, into guid of cap characters. Empty when the line
// has eleven characters or fewer.
void command_line_guid(const wchar_t* line, wchar_t* guid, size_t cap);

// Switches that may stand anywhere on the command line, as words of their
// own: "-Silent/" (a silent run whatever the document says) and
// "-Log/<path>" (a log of the run; the path in double quotes when it holds
// spaces). What is left, without them and the spaces around it, is read as
// ever: uninstall mode and its GUID (command_line_is_uninstall,
// command_line_guid).
enum { COMMAND_REST_CAP = 512, COMMAND_LOG_CAP = 260 };
struct CommandSwitches {
  bool silent;
  wchar_t log_path[COMMAND_LOG_CAP];  // empty: no log (or a path too long)
  wchar_t rest[COMMAND_REST_CAP];     // the line without the switches
};
void command_line_switches(const wchar_t* line, CommandSwitches* out);

// Whether text is a GUID in its 38-character braced form,
// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" with hexadecimal digits of
// either case and nothing before or after. Only such a GUID may name the
// uninstall key and folder.
bool guid_is_braced(const wchar_t* text);

// What an uninstall may remove: RUN_BAD_UNINSTALL_GUID unless the
// command line's GUID is a braced GUID and, compared without regard to
// case, the document's InstallGUID (the entry of another product is never
// removed); RUN_INTEGRITY unless the module's name is a plain file name;
// otherwise RUN_OK.
int uninstall_check(const wchar_t* command_guid, const wchar_t* document_guid,
                    const wchar_t* file_name);

// Whether name is a plain file name that stays inside the folder it is
// joined to: not empty, not "." or "..", without a path separator, a drive
// or stream colon, a wildcard or a control character.
bool file_name_is_plain(const wchar_t* name);

// Paths and commands. Each composer writes into out of cap characters and
// returns the length, or -1 (out empty) when the result does not fit or a
// path would be longer than the 259 characters the file layer accepts.

// "%s\%s": the module's place in the system folder.
int compose_target_path(wchar_t* out, size_t cap, const wchar_t* system_folder,
                        const wchar_t* file_name);

// "%s\HV-Vanto\%s" from the Program Files folder (may be empty) and the GUID.
int compose_uninstall_folder(wchar_t* out, size_t cap,
                             const wchar_t* program_files, const wchar_t* guid);

// The uninstall folder followed by "\hvuninst.exe".
int compose_uninstaller_path(wchar_t* out, size_t cap, const wchar_t* folder);

// "Software\Microsoft\Windows\CurrentVersion\Uninstall\%s" of the GUID.
int compose_uninstall_key(wchar_t* out, size_t cap, const wchar_t* guid);

// "\"%s\hvuninst.exe\" -UnInstall/%s": the entry's UninstallString.
int compose_uninstall_command(wchar_t* out, size_t cap, const wchar_t* folder,
                              const wchar_t* guid);

// The registration program by its full path in the system folder.
int compose_regsvr32_path(wchar_t* out, size_t cap,
                          const wchar_t* system_folder);

// Its command line: "\"<program>\" /s \"%s\"" to register, with "/u /s" to
// unregister.
int compose_registration_command(wchar_t* out, size_t cap,
                                 const wchar_t* regsvr32_path,
                                 const wchar_t* module, bool register_it);

// What becomes of an install when the module could not be copied.
enum CopyOutcome {
  COPY_DONE,       // the module is in place
  COPY_FAILED,     // status 31, nothing else is done
  COPY_AT_RESTART  // replacement scheduled; the run goes on as a success
};
CopyOutcome copy_outcome(bool copied, bool replace_at_restart);

// What becomes of an uninstall by the outcome of deleting the module.
enum DeleteOutcome {
  DELETE_DONE,       // deleted; the uninstall key is removed
  DELETE_MISSING,    // status 999; the uninstall key is removed
  DELETE_FAILED,     // status 32; registered again, the key stays
  DELETE_AT_RESTART  // deletion scheduled; the key is removed
};
DeleteOutcome delete_outcome(bool deleted, unsigned error,
                             bool delete_at_restart);

// Whether a status ends an operation as a failure (31, 32, or any other
// status but 0 and 999); the dialog run then reports command 2.
bool operation_failed(int status);

// What a silent run shows after its operation.
enum SilentReport {
  REPORT_NOTHING,
  REPORT_FAILURE,      // warning popup, icon 111, "OK"
  REPORT_RESTART_ASK,  // restart prompt, icon 110, "Yes"/"No"
  REPORT_RESTART_TELL  // restart prompt, icon 110, "OK" only
};
SilentReport silent_report(int status, bool warn, bool restart_needed,
                           bool restart_prompt, bool restart_allowed);

// The values of the uninstall registry entry, in the order they are
// written. A text that is empty (or absent) gives no value.
struct UninstallTexts {
  const wchar_t* display_name;     // UnInstallDspName
  const wchar_t* display_version;  // "%d.%d.%d"
  const wchar_t* comments;         // UnInstallComments
  const wchar_t* publisher;        // UnInstallCoName
  const wchar_t* location;         // the uninstall folder
  const wchar_t* help_link;        // UnInstallCoURL
  const wchar_t* url_info_about;   // UnInstallPgmURL
  const wchar_t* url_update_info;  // UnInstallUpdURL
  const wchar_t* user_info;        // the user name
  const wchar_t* uninstall_string; // the uninstall command
};

struct RegistryRow {
  const wchar_t* name;
  const wchar_t* text;   // a REG_SZ value; NULL for a REG_DWORD value
  unsigned long number;  // the REG_DWORD value
};
enum { UNINSTALL_ROWS_MAX = 16 };

// The values an entry holds besides the document's texts, for the system's
// list of programs and for deployment tools.
struct UninstallFacts {
  const wchar_t* display_icon;            // the uninstaller
  const wchar_t* install_date;            // "YYYYMMDD"
  const wchar_t* quiet_uninstall_string;  // the uninstall command, silent
  unsigned long estimated_size_kb;        // the module's size; 0: not known
};

// Fills rows with the values to write; returns how many. Without facts
// only the document's texts are written; with them also DisplayIcon,
// InstallDate, QuietUninstallString, EstimatedSize (when known) and
// NoModify and NoRepair (1).
int uninstall_entry_rows(const UninstallTexts& texts,
                         RegistryRow rows[UNINSTALL_ROWS_MAX],
                         const UninstallFacts* facts = NULL);

// The uninstall command followed by " -Silent/": QuietUninstallString.
int compose_quiet_uninstall_command(wchar_t* out, size_t cap, const wchar_t* command);

// Shared modules: the count of the products that use a module in the
// system folder, kept under the module's full path in the system's
// SharedDLLs key.
//
// What the value says: no value (or 0), a count (a 4-byte REG_DWORD), or a
// value of any other form, which other installers wrote and this one cannot
// read: users it cannot count.
enum SharedKind { SHARED_NONE, SHARED_COUNTED, SHARED_UNKNOWN_FORM };
struct SharedCount {
  SharedKind kind;
  unsigned long count;  // SHARED_COUNTED only
};
// The count found: found is whether the value exists, type and size its
// registry type and byte size, value its first four bytes. A value that
// could not be read for another reason than its absence is of unknown form.
SharedCount shared_count_classify(bool found, unsigned long type, unsigned long size,
                                  unsigned long value);

// The largest count: one that reached it stays there, since it no longer
// tells how many users there are.
const unsigned long SHARED_COUNT_MAX = 0xFFFFFFFFul;

// What an install or an uninstall does with the count and the module.
struct SharedStep {
  bool write;            // set the count (0: delete the value)
  unsigned long count;
  bool keep_module;      // uninstall: other users remain, the module stays
};

// The count after an install: an earlier owner of a file that was there
// without a count is counted as 1; a reinstall of the same product (its
// uninstall entry still there) counts only once; a count at its maximum or
// of unknown form is left alone.
SharedStep shared_count_after_install(SharedCount now, bool existed_before, bool reinstall);

// The count after an uninstall: one less, and the module stays while users
// remain; with this product the last (or only) user the value goes and the
// module is removed. A count at its maximum or of unknown form is left
// alone and the module stays.
SharedStep shared_count_after_uninstall(SharedCount now);

// The file version of a module (VS_FIXEDFILEINFO), when it carries one.
struct ModuleVersion {
  bool known;
  unsigned long ms, ls;  // dwFileVersionMS, dwFileVersionLS
};

// -1, 0 or 1 as version a is lower than, equal to or higher than b, part
// by part from the most significant.
int module_version_compare(const ModuleVersion& a, const ModuleVersion& b);

// What an install does with the module in the system folder.
enum ModulePlacement {
  PLACE_COPY,            // copy the package's module into place
  PLACE_KEEP_IDENTICAL,  // the same bytes are there: nothing is written
  PLACE_KEEP_NEWER       // a higher file version is there: it stays
};
// in_place: a module is there; identical: it holds the package's bytes.
// Only a module of a known, higher version than the package's known one
// is kept; any other difference is replaced.
ModulePlacement module_placement(bool in_place, bool identical,
                                 const ModuleVersion& in_place_version,
                                 const ModuleVersion& package_version);

// Whether the install registers the module: always, except when the bytes
// in place are the package's and this product's earlier run (its uninstall
// entry still there) registered them.
bool registration_needed(ModulePlacement placement, bool reinstall);

// "%u.%u.%u.%u" of a version, or "不明" when it is unknown.
int module_version_text(wchar_t* out, size_t cap, const ModuleVersion& version);

// Whether a folder the run works in is named in full: a drive and a
// backslash ("C:\...") or a network share ("\\server\share..."). An empty
// or relative folder would put the module or the uninstaller on the
// current drive, where a standard user can make the folder first.
bool folder_is_absolute(const wchar_t* folder);

// The text of a log line with every control character (C0, DEL, C1, and
// the line and paragraph separators) written as "\xHH" or "\uHHHH", so that
// no text a caller gives can start a line of the log of its own. Writes
// into out of cap characters, an escape never cut; returns the length.
size_t log_text_escape(const wchar_t* text, wchar_t* out, size_t cap);

// What the main dialog shows once the progress dialog has ended with
// progress_result (1 success, 2 failure, already reported by the progress
// dialog; anything else: it did not run).
enum Completion {
  COMPLETION_NONE,            // nothing more is shown
  COMPLETION_INSTALLED,       // "インストールは正常に行えました。"
  COMPLETION_UNINSTALLED,     // "アンインストールは正常に行えました。"
  COMPLETION_MODULE_MISSING,  // status 999: the missing module was a success
  COMPLETION_RESTART_ASK      // work waits for the restart: ask for it
};
Completion completion_after_progress(int progress_result, bool uninstall_mode,
                                     int status, bool restart_needed);
