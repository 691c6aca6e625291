// The settings record of an Installer run: filled on the main thread at
// start-up from the package's resources, its configuration document and the
// command line; read afterwards by the operations and the dialogs, which
// write only the run state at its end.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <olectl.h>
#include <stdint.h>

#include "common/text.h"

enum {
  SETTINGS_TEXT_CAP = 256  // names and texts of the document
};

struct InstallerSettings {
  HINSTANCE instance;
  int os_code;
  wchar_t program_files_folder[VT_PATH_CAP];  // found when first needed; empty
                                              // when not found
  wchar_t user_name[SETTINGS_TEXT_CAP];
  wchar_t own_path[VT_PATH_CAP];
  wchar_t system_folder[VT_PATH_CAP];
  bool silent_marker;  // fourth part of the own file version is not 0

  // Temporary files: temp_base is the run's own folder in the temporary
  // folder, held open (temp_held) so that it stays that folder;
  // document_path is "%s\Setup.ini" of it, the configuration document.
  wchar_t temp_base[VT_PATH_CAP];
  HANDLE temp_held;
  wchar_t document_path[VT_PATH_CAP];

  // The package, the Installer's own file, open from the start of the run
  // and shared with readers only: nobody can change or replace it while the
  // run reads its payload and its image. NULL when it could not be opened so.
  HANDLE package_held;
  // The module inside it, found by the checks: the file offset and length
  // of the payload, and whether its checksum was compared then (a silent
  // run compares it as the module is copied). The module is copied from
  // there straight into the system folder.
  DWORD payload_offset;
  DWORD payload_length;
  bool payload_checked;

  wchar_t guid[SETTINGS_TEXT_CAP];
  wchar_t document_guid[SETTINGS_TEXT_CAP];  // InstallGUID of the document
  wchar_t program_name[SETTINGS_TEXT_CAP];
  wchar_t company_name[SETTINGS_TEXT_CAP];
  wchar_t file_name[SETTINGS_TEXT_CAP];
  int32_t image_length;
  uint32_t expected_checksum;
  int32_t ver_major, ver_minor, ver_build;

  bool admin_required;
  bool silent;
  bool warn;
  int popup_timeout;  // seconds; 0 waits for the user
  bool replace_at_restart;
  bool delete_at_restart;
  bool restart_prompt;
  bool restart_allowed;
  bool no_uninstall_registration;
  bool uninstall_mode;
  bool silent_switch;  // "-Silent/" on the command line

  // Read when needed: the OS mask by the checks, the uninstall entry's
  // texts when the entry is written.
  wchar_t os_mask[VT_PATH_CAP];
  struct {
    wchar_t display[VT_PATH_CAP];
    wchar_t comments[VT_PATH_CAP];
    wchar_t publisher[VT_PATH_CAP];
    wchar_t help[VT_PATH_CAP];
    wchar_t about[VT_PATH_CAP];
    wchar_t update[VT_PATH_CAP];
  } entry;

  // Run state.
  int status;  // the exit code
  bool restart_needed;
  wchar_t popup_line1[VT_PATH_CAP];
  wchar_t popup_line2[VT_PATH_CAP];
  HICON popup_icon;
  bool popup_single_button;
  HWND main_dialog;
  HWND progress_dialog;  // set when the progress dialog opens; never cleared
  IPicture* banner;
};

// The one settings record of the process.
extern InstallerSettings Settings;
