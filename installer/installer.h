// The routines of the Installer program: start-up and its checks, the
// install and uninstall operations with their registry routines, the main
// and progress dialogs, and the warning popup.
#pragma once

#include <windows.h>
#include <stdint.h>

#include "installer/rules.h"
#include "installer/settings.h"
#include "package/module_check.h"

// Start-up (startup.cpp, config.cpp, checks.cpp).

// One whole run of the Installer on the command line (the text after the
// program name). Returns the run status, the process's exit code.
int installer_run(HINSTANCE instance, const wchar_t* command_line);

// Creates a new file of the run's temporary folder and opens it with
// access and share: never an existing file (ST_FILE_EXISTS) and never a
// link or other reparse point (ST_OPEN_FAILED with
// ERROR_REPARSE_TAG_MISMATCH).
int temp_file_create(const wchar_t* path, HANDLE* file, DWORD access, DWORD share,
                     DWORD* error);

// Finds the Program Files folder into Settings.program_files_folder, once:
// the registry's value that the shell reads, or the environment's, or the
// shell's location when neither has it. Left empty when none knows it.
void program_files_find();

// The groups of keys the configuration document is read in.
enum ConfigGroup {
  CONFIG_INSTALL,    // every run, at start-up
  CONFIG_UNINSTALL,  // a run as the uninstaller, after the command line
  CONFIG_OS_MASK,    // the checks: Settings.os_mask
  CONFIG_ENTRY       // the uninstall entry's texts: Settings.entry
};

// Reads the keys of one group from the document into their places in
// Settings; a missing key reads as an empty value.
void read_configuration_group(ConfigGroup group);

// Reads the configuration document at Settings.document_path into the
// settings record.
void read_configuration();

// Chooses install or uninstall mode from the command line; uninstall mode
// takes its GUID from it and its flags from the uninstall section.
void read_command_line(const wchar_t* line);

// The environment checks: 0, or a status of 21 to 24 (41 in uninstall mode
// for a command line without a valid GUID). Shows the warning popup for a
// failed check when the configuration asks for it.
int environment_checks();

// Whether the process token holds the Administrators group, enabled.
bool is_administrator();

// Operations (operation.cpp).

// Installs or uninstalls the module and leaves the outcome in
// Settings.status and Settings.restart_needed. direct: called on the main
// thread of a silent run, which reports by itself; otherwise the body of
// the worker thread, which posts command 1 or 2 to the progress dialog.
void run_operation(bool direct);

// The file version of the image in span (the module inside the held
// package, or a whole file), read by the PE walk; unknown when it carries
// none. module_version_at reads that of the file at path, opened for
// reading beside anyone who holds it.
ModuleVersion module_version_read(FileSpan span);
ModuleVersion module_version_at(const wchar_t* path);

// run_operation in its thread form, the start routine of the worker thread.
unsigned __stdcall run_operation_thread(void* unused);

// Starts the registration program on the module in the system folder and
// waits for it to end. Returns REGISTER_STARTED, or REGISTER_NOT_STARTED
// when the module is no image for this processor or lacks the entry point
// (or the program did not start).
// With exit_code, the program's exit code is left there (STILL_ACTIVE when
// it outlasted the wait); the run is logged.
enum { REGISTER_NOT_STARTED = 0, REGISTER_STARTED = 1 };
int register_module(const wchar_t* path, bool register_it, DWORD* exit_code = NULL);

// Writes the uninstall registry entry. Always returns 0: a value that
// cannot be written is not reported (set_registry_values).
int write_uninstall_entry();

// Copies the first image_length bytes of the held package to the
// uninstaller program at path (created or truncated) and checks that the
// file then holds exactly them. Returns 0; ST_OK_EXISTED when the file held
// exactly them already and was left alone; or a status of the file layer
// with the system's error (ERROR_CRC when the file holds other bytes).
int copy_uninstaller(const wchar_t* path, DWORD* error);

// Restarts the system. Returns RESTART_ACCEPTED when the system accepted
// the restart, RESTART_REFUSED when not.
enum { RESTART_REFUSED = 0, RESTART_ACCEPTED = 1 };
int restart_system();

// Registry routines under HKEY_LOCAL_MACHINE (registry.cpp).

// Creates or opens key_path once and sets count values (REG_SZ, or
// REG_DWORD for a row without text), each logged. A key created here gives
// "Authenticated Users" read access only. Failures are not reported.
void set_registry_values(const wchar_t* key_path, const RegistryRow* rows, int count);

// Whether key_path exists.
bool registry_key_exists(const wchar_t* key_path);

// The shared-module count of the module at path (a value of unknown form
// is logged), and its update: a count of 0 deletes the value. Logged.
SharedCount shared_count_read(const wchar_t* path);
void shared_count_write(const wchar_t* path, unsigned long count);

// Deletes key_path with its subkeys. Failures are not reported.
void delete_registry_key(const wchar_t* key_path);

// Reads a REG_SZ or REG_EXPAND_SZ value (not expanded) of key_path, in
// the process's own view of the registry, into buffer of capacity bytes,
// always terminated. REGISTRY_VALUE_READ, or REGISTRY_VALUE_FAILED
// with the registry error as the thread's last error.
enum { REGISTRY_VALUE_FAILED = 0, REGISTRY_VALUE_READ = 1 };
int read_registry_value(DWORD capacity, const wchar_t* name, wchar_t* buffer,
                        const wchar_t* key_path);

// The log of the run, "-Log/<path>" (log.cpp): one line a step in UTF-8,
// after a time stamp, appended to the file and written at once. A log that
// cannot be opened is no log; the run goes on without it.
void log_open(const wchar_t* path);
void log_line(const wchar_t* format, ...);
void log_close();

// The warning popup, dialog 405 (popup.cpp).

// Opens the popup modally on the desktop with the icon, lines and buttons
// that Settings.popup_* hold; with countdown, it answers 2 by itself after
// Settings.popup_timeout seconds (never when that is 0). Returns
// IDC_POPUP_YES ("Yes") or IDC_POPUP_NO ("No", "OK", the close box, or an
// expired countdown).
int show_warning_popup(bool countdown);

INT_PTR CALLBACK warning_popup_proc(HWND dialog, UINT message, WPARAM wparam,
                                    LPARAM lparam);

// Sets the popup's icon (a resource number) and its buttons.
void popup_prepare(int icon_id, bool single_button);

// Sets the popup's two lines.
void popup_set_lines(const wchar_t* line1, const wchar_t* line2);

// The banner picture (banner.cpp).

// Loads the picture from size bytes in memory into Settings.banner.
// Returns BANNER_LOADED; BANNER_NONE when the bytes are no picture the
// system can load; BANNER_NO_MEMORY (with the system's error) when no
// stream over the bytes could be made. Settings.banner stays empty unless
// loaded.
enum { BANNER_LOADED = 0, BANNER_NONE = 2, BANNER_NO_MEMORY = 3 };
int load_banner(const void* bytes, DWORD size, DWORD* error);

// Draws Settings.banner, when there is one, upright and scaled into the
// rectangle of width and height at (2, 0) of dc.
void paint_banner(HDC dc, int width, int height);

// The text colours of the texts 901 and 902, which the main dialog and the
// popup draw without a background of their own (WM_CTLCOLORSTATIC): black
// on a transparent background. Returns the brush for those two, FALSE for
// any other control, which then keeps the dialog's colours.
INT_PTR transparent_text_colour(WPARAM dc, LPARAM control);

// The main dialog, 401 (main_dialog.cpp).

// Opens the main dialog without an owner and returns when it has closed:
// the user stopped, or the operation ran and its outcome was shown. The
// operation's outcome is left in Settings.status.
void show_main_dialog();

INT_PTR CALLBACK main_dialog_proc(HWND dialog, UINT message, WPARAM wparam,
                                  LPARAM lparam);

// The progress dialog, 402 (progress.cpp).

// Opens the progress dialog modally over owner; it starts the worker
// thread and closes on the worker's report. Returns IDC_PROGRESS_DONE when
// the operation succeeded, IDC_PROGRESS_FAILED when it failed or could not
// begin (its message was shown,
// and a run that could not begin has the status of a failed copy or
// removal).
INT_PTR show_progress_dialog(HWND owner);

INT_PTR CALLBACK progress_dialog_proc(HWND dialog, UINT message, WPARAM wparam,
                                      LPARAM lparam);

// Posts the worker's report, IDC_PROGRESS_DONE or IDC_PROGRESS_FAILED, to
// the progress dialog. Only commands posted this way end that dialog; the
// Enter and Escape keys, which send commands 1 and 2 as well, do not.
void progress_post(int command);

// How the progress dialog starts the worker thread: _beginthreadex, which
// tests replace by a routine that fails as the system may.
typedef uintptr_t(__cdecl* WorkerThreadBeginFn)(void* security, unsigned stack_size,
                                                unsigned(__stdcall* start)(void*),
                                                void* argument, unsigned flags,
                                                unsigned* thread_id);
extern WorkerThreadBeginFn WorkerThreadBegin;
