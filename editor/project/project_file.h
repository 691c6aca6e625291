// Project files and the folders and small files the editor keeps under its
// base folder: opening and saving a project file, new projects and their
// GUIDs, the project folders "InstallList\GUID" and the last-folder files
// "PJT_PathS", "OCX_PathS" and "EXE_PathS".
//
// These routines show no window. Where opening fails, the caller shows the
// returned message number with the returned caption.
#pragma once

#include <windows.h>

#include "editor/editor_state.h"

// The GUID text of a record (PROJECT_GUID_LENGTH + 1 characters). Returns
// false, guid empty, when the field holds no text that fits.
bool project_guid_text(const ProjectRecord& record, wchar_t* guid);

// Draws a new GUID into a 48-byte GUID field. Returns false, leaving the
// field as it was, when COM cannot be initialised or no GUID is given.
bool new_project_guid(char* field);

// Makes the working record a new project with a fresh GUID.
void reset_project_record();

// Reads the project file at path into record: its size is 2696 bytes, its
// name is not empty and its GUID is a GUID text. Returns 0, or the message
// that tells why not (PROJECT_MSG_UNREADABLE, _NOT_PROJECT or _INVALID).
// Nothing else is looked at or changed.
int project_file_load(const wchar_t* path, ProjectRecord* record, DWORD* sysError);

// Writes record as the project file at path, replacing an existing file in
// one step (FileReplaceWrite): 0, or the file layer's status.
int project_file_store(const wchar_t* path, const ProjectRecord* record, DWORD* sysError);

// Opens the project file at path: its size is 2696 bytes, its name is not
// empty, its GUID is a GUID text and names an existing project folder. On
// success both the working record and the saved copy hold it, the
// remembered and start folders follow it, and the result is 0. Otherwise
// both records are untouched and the result is the message to show:
// PROJECT_MSG_UNREADABLE (2012, caption "異常メッセージ"), or
// PROJECT_MSG_NOT_PROJECT (2013) or PROJECT_MSG_INVALID (2014), caption
// "警告メッセージ"; *caption receives the caption.
int open_project_file(const wchar_t* path, const wchar_t** caption, DWORD* sysError);

// Results of save_project_file.
enum {
  PROJECT_SAVED = 0,
  PROJECT_SAVED_NO_COPY = 1,      // saved; an attachment (linked installer or
                                  // signing settings) could not be copied into
                                  // the project folder and keeps its old path
  PROJECT_SAVE_NO_GUID = 2,       // the project has no valid GUID; nothing done
  PROJECT_SAVE_BAD_PATH = 3,      // no "\" in the path, the path is too long,
                                  // or its folder or file name does not fit its
                                  // field exactly; nothing done
  PROJECT_SAVE_NO_FOLDER = 4,     // the project folder could not be created
                                  // (*detail: DirCreate's status)
  PROJECT_SAVE_LIST_FAILED = 5,   // the master list was not updated and the
                                  // file not written (*detail: LIST_ code)
  PROJECT_SAVE_FILE_FAILED = 6    // registered, but the project file could not
                                  // be written (*detail: file-layer status)
};

// Saves the working record as the project file at path (a full path);
// chosen_in_dialog says the path was just chosen in the save dialog, which
// creates the project folder. In order: project_folder takes the path's
// folder; linked installer and signing settings outside the project folder
// are copied into it (the field then names the copy); the remembered and
// start folders follow the project; the project list records the save and
// writes the file. Returns a PROJECT_SAVE code above; *detail receives the
// failing step's own status (0 when there is none).
int save_project_file(const wchar_t* path, bool chosen_in_dialog, int* detail,
                      DWORD* sysError);

// Reads the three last-folder files of the base folder into the remembered
// folders; a missing or unreadable file leaves its folder empty.
void load_last_folders();

// Writes each non-empty remembered folder into its last-folder file (280
// bytes of code page 932 text); an empty folder leaves its file alone.
// Failures are ignored.
void store_last_folders();
