// Project files and the folders and small files the editor keeps under its
// base folder: opening and saving a project file, new projects' GUIDs, the
// project folders "InstallList\GUID" and the last-folder files
// "PJT_PathS", "OCX_PathS" and "EXE_PathS".
//
// These routines show no window and keep no state: the program hands them
// its records, folders and build count. Where opening fails, the caller
// shows the returned message number with the returned caption.
#pragma once

#include <windows.h>

#include "editor/project/project_paths.h"
#include "editor/project/project_record.h"

// The GUID text of a record (PROJECT_GUID_LENGTH + 1 characters). Returns
// false, guid empty, when the field holds no text that fits.
bool project_guid_text(const ProjectRecord& record, wchar_t* guid);

// Draws a new GUID into a 48-byte GUID field. Returns false, leaving the
// field as it was, when COM cannot be initialised or no GUID is given.
bool new_project_guid(char* field);

// Reads the project file at path into record: its size is 2696 bytes, its
// name is not empty and its GUID is a GUID text. Returns 0, or the message
// that tells why not (PROJECT_MSG_UNREADABLE, _NOT_PROJECT or _INVALID).
// Nothing else is looked at or changed.
int project_file_load(const wchar_t* path, ProjectRecord* record, DWORD* sysError);

// Writes record as the project file at path, replacing an existing file in
// one step (FileReplaceWrite): 0, or the file layer's status.
int project_file_store(const wchar_t* path, const ProjectRecord* record, DWORD* sysError);

// Opens the project file at path: its size is 2696 bytes, its name is not
// empty, its GUID is a GUID text and names an existing project folder
// below project_root. On success record holds it and the result is 0.
// Otherwise record is untouched and the result is the message to show:
// PROJECT_MSG_UNREADABLE (2012, caption "異常メッセージ"), or
// PROJECT_MSG_NOT_PROJECT (2013) or PROJECT_MSG_INVALID (2014), caption
// "警告メッセージ"; *caption receives the caption (NULL on success).
int project_file_open(const wchar_t* path, const wchar_t* project_root, ProjectRecord* record,
                      const wchar_t** caption, DWORD* sysError);

// Results of project_file_save.
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

// Saves record as the project file at path (a full path); chosen_in_dialog
// says the path was just chosen in the save dialog, which creates the
// project folder below store.project_root. In order: project_folder takes
// the path's folder; linked installer and signing settings outside the
// project folder are copied into it (the field then names the copy); the
// project list of store.base_folder records the save with *build_count
// (record_project_save, which sets it to the count written); and only
// once the list took it, the file is written. Returns a PROJECT_SAVE code
// above; *detail receives the failing step's own status (0 when there is
// none).
int project_file_save(ProjectRecord* record, const wchar_t* path, const ProjectStore& store,
                      bool chosen_in_dialog, int* build_count, int* detail, DWORD* sysError);

// Reads the three last-folder files of base_folder into project, module
// and installer (VT_PATH_CAP each); a missing or unreadable file leaves
// its folder empty.
void last_folders_read(const wchar_t* base_folder, wchar_t* project, wchar_t* module,
                       wchar_t* installer);

// Writes each non-empty folder into its last-folder file of base_folder
// (280 bytes of code page 932 text); an empty folder leaves its file
// alone. Failures are ignored.
void last_folders_write(const wchar_t* base_folder, const wchar_t* project,
                        const wchar_t* module, const wchar_t* installer);
