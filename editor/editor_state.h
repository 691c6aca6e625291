// Process-wide state of the editor program: the base folder and the
// folders below it, the remembered and start folders, the working record
// with its saved copy and the open project's build count. The data layer
// (editor/project/) is handed what it needs of it. Compiles without
// windows.h.
//
// Only the user-interface thread changes it, except the build count, which
// the build thread raises while the user-interface thread waits.
#pragma once

#include <stddef.h>

#include "common/text.h"
#include "editor/project/project_paths.h"
#include "editor/project/project_record.h"

// The three folders the editor remembers from run to run (and the three
// start folders of its dialogs, seeded from them).
struct EditorFolders {
  wchar_t project[VT_PATH_CAP];    // folder of the project file
  wchar_t module[VT_PATH_CAP];     // folder of the module
  wchar_t installer[VT_PATH_CAP];  // installer_folder of the project
};

struct EditorState {
  wchar_t base_folder[VT_PATH_CAP];   // folder of the executable
  wchar_t project_root[VT_PATH_CAP];  // base folder + "\InstallList"
  EditorFolders remembered;           // kept in PJT_PathS, OCX_PathS, EXE_PathS
  EditorFolders start;                // initial folders of the dialogs
  ProjectRecord working;              // the record the form edits
  ProjectRecord saved;                // the state last created, opened or saved
  int build_count;                    // successful builds of the open project
};

extern EditorState editor_state;

// Sets the base folder from the executable's full path (cut at its last
// "\" or "/"; empty when it holds neither) and the project-folder root
// below it. Returns false, with both empty, when they do not fit.
bool editor_base_folder_set(const wchar_t* executable_path);

// Forms "%s\%s" of the base folder and a name into out (VT_PATH_CAP); a
// name alone when the base folder is empty (store_path). Returns false,
// out empty, when the path would be longer than the file layer accepts
// (259).
bool editor_base_path(const wchar_t* name, wchar_t* out);

// Forms the project folder of a GUID text, project root + "\" + GUID, into
// out (VT_PATH_CAP). Returns false, out empty, when it would be longer than
// 259 characters.
bool editor_project_folder(const wchar_t* guid, wchar_t* out);

// Sets the three start folders from the remembered folders.
void editor_start_folders_reset();

// Where the data layer finds the lists and the project folders.
ProjectStore editor_store();
