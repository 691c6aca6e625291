// The routines of the editor program: start-up, the main window with its
// project form and project commands, the file and folder choosers, the
// build with its progress dialog, the signing dialog and the headless
// build. The data they work on (records, folders, lists) is in
// editor/editor_state.h and is stored by the data layer, editor/project/;
// this is the state of the program's windows.
#pragma once

#include <windows.h>

#include <initializer_list>

#include "common/text.h"
#include "editor/editor_state.h"
#include "editor/project/project_file.h"
#include "editor/project/project_list.h"

struct EditorSession {
  HINSTANCE instance;
  HWND main;                // the main window, once it has opened
  HMENU menu;               // its menu
  HANDLE mutex;             // the single-instance mutex
  HBRUSH readonly_brush;    // background of the read-only fields
  wchar_t work_folder[VT_PATH_CAP];  // this run's scratch folder ("" when none)

  // The project commands' state.
  wchar_t project_path[VT_PATH_CAP];  // written by the last save; "" at start
  wchar_t path_to_open[VT_PATH_CAP];  // a recent project to open next
  bool close_after_save;              // the save was asked for by closing

  // The project form's state.
  int pending_edit;     // text field changed since its last commit, or -1
  bool filling;         // the program itself is setting the controls
  RecentProjects recent;  // the entries of the recent-projects menu
};

extern EditorSession editor;

// The name of the single-instance mutex.
#define EDITOR_MUTEX_NAME L"Global\\Vantorel-EditMainGW"

// Start-up and exit (startup.cpp).

// The program: the headless build when the command line asks for one,
// otherwise start-up, the main window and the clean-up. Returns the exit
// code: 0 after the main window closed, 999 when another editor runs, 1
// when the single-instance mutex could not be made.
int editor_main(HINSTANCE instance, HINSTANCE previous, PWSTR command_line, int show);

// Everything before the main window: 0, 1 or 999 as editor_main.
int editor_startup();

// Window enumeration callback: stops at the first top-level window whose
// caption begins with the editor's caption prefix and stores it at the HWND
// the parameter points to.
BOOL CALLBACK find_running_editor(HWND window, LPARAM found);

// Makes a new, empty work folder below the base folder, named "QOR" and up
// to four hexadecimal digits, into folder (VT_PATH_CAP). Returns false when
// none could be made.
bool work_folder_make(wchar_t* folder);

// Deletes a work folder with everything in it.
void work_folder_remove(const wchar_t* folder);

// The main window (main_window.cpp).

INT_PTR CALLBACK main_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

// Mode 0 adds the recent projects (651-665, separator 666) and the exit
// item to the File menu; mode 1 removes them.
void rebuild_recent_menu(int mode);

// The colours of a read-only field of a dialog, for WM_CTLCOLORSTATIC:
// black text on the editor's own background when control is one of ids
// (returns the brush), the system's otherwise (returns FALSE).
INT_PTR readonly_field_colours(HDC dc, HWND control, std::initializer_list<int> ids);

// Shows text id of the string table in a message box of the main window.
int message_show(UINT id, const wchar_t* caption, UINT flags);

// Shows a text in a message box of the main window.
int message_text_show(const wchar_t* text, const wchar_t* caption, UINT flags);

// The project form (form.cpp).

// Fills the time-out lists, sets the edit limits and read-only fields.
void form_prepare();

// Shows the working record in every bound control with its option state,
// and the counters and dates of its project-list entry (NULL: a project
// the list does not know).
void form_show_record(const ProjectEntry* entry);

// Makes the working record a new project with a fresh GUID.
void reset_project_record();

// Starts a new project: a fresh working record (unless reset is false: the
// one the start-up made) and its saved copy, the start folders, empty
// fields, initial counters and the default option state.
void form_new_project(bool reset);

// Commits the text field with pending edits into the working record.
void form_commit_pending();

// The working record as it would be with the pending edit committed: what
// the form shows.
void form_record_as_typed(ProjectRecord* record);

// Handles a command from a bound control. Returns false when id is bound
// to nothing.
bool form_command(int id, int code);

// Shows one bound field of the working record in its control (a text, or
// the state of a check box).
void form_show_field(int id);

// Shows the build count in 571 and, when given, the update date and the
// update count (577 right-aligned in eight characters).
void form_show_build_count();
void form_show_saved(const wchar_t* stamp14, int update_count);

// Choosers (choosers.cpp).

// The project-file dialogs: save (save and save as) and open. initial is a
// folder or a file (NULL or "" for the default folder); path receives the
// chosen file (VT_PATH_CAP). Return false when cancelled.
bool project_file_save_dialog(const wchar_t* initial, wchar_t* path);
bool project_file_open_dialog(const wchar_t* initial, wchar_t* path);

// A file dialog for any file that must exist, with a title of its own
// (a text of the string table).
bool any_file_open_dialog(HWND owner, UINT title, const wchar_t* initial,
                          wchar_t* path);

// The folder browser, centred over owner, with initial preselected;
// folder receives the choice (VT_PATH_CAP). Returns false when cancelled.
bool folder_browse(HWND owner, const wchar_t* initial, wchar_t* folder);

// 1103 / 1137: the folder browser for the project or installer folder.
void choose_folder(int id);

// 1112: the module selection with its check.
void choose_module();

// Selects path as the module when it passes the check of "選択" (a module
// that can be unregistered, that the field holds exactly); otherwise says
// so and changes nothing. Returns true when selected.
bool module_select(const wchar_t* path);

// The project commands (commands.cpp).

// Opens the project file at path (project_file_open below the project
// root). On success both the working record and the saved copy hold it,
// the remembered and start folders follow it, and the result is 0.
// Otherwise both records are untouched and the result is the message to
// show with *caption.
int open_project_file(const wchar_t* path, const wchar_t** caption, DWORD* sysError);

// Saves the working record as the project file at path
// (project_file_save with the editor's folders and build count); once the
// save has got past its checks, whatever the list and the file then do,
// the remembered and start folders follow the project. Returns
// project_file_save's result.
int save_project_file(const wchar_t* path, bool chosen_in_dialog, int* detail,
                      DWORD* sysError);

// Reads the three last-folder files into the remembered folders, and
// writes the remembered folders back (last_folders_read, _write).
void load_last_folders();
void store_last_folders();

void command_new();
void command_open();
void command_save(bool save_as);
void command_close();
void command_recent(int id);
void command_guid_reissue();

// The end of the user's session: a changed project asks as the close does.
// Returns true when the session may end: nothing to save, "破棄する", or
// "保存する" and the file was written.
bool command_session_end();

// Building and signing (build_command.cpp, progress.cpp, signing_dialog.cpp).

// 1156 (and 615): checks the project and builds its package.
void command_build();
// 1157: marks the project as having a linked installer, or takes it back.
void command_linked_installer();
// 1158: the signing dialog.
void command_signing();

// A registration in the signing dialog takes effect at once, as a GUID
// reissue does: the signing switch and the settings path go into the saved
// copy as well (so that a build before a save signs), and into the
// project's registered file, so that the file keeps what the editor no
// longer counts as a change. When the file cannot take them, that is
// said and the project stays changed.
void signing_registration_store();

// Runs dialog 402 over a build of record. Returns 1 on success (the
// message buffer holds the success text), 2 on failure (the failure has
// been shown), 0 when a build is running already (nothing is done). Only
// the worker's notice ends the dialog, and the worker has ended when it
// returns.
INT_PTR progress_dialog_run(const ProjectRecord* record);

// Whether a build's worker is running (its progress dialog is open).
bool progress_running();

// The signing dialog, 403; its result is not used.
INT_PTR signing_dialog_run();

// The headless build (headless.cpp): the whole run of "/build" on the
// command line. Returns the process's exit code.
int headless_main(int argc, wchar_t** argv);
