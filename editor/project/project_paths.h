// Where the editor keeps what it stores: the names below its base folder,
// the paths formed from them, and the split of a path into folder and
// file name. Compiles without windows.h.
#pragma once

#include <stddef.h>

#include "common/text.h"

// Names below the base folder.
#define EDITOR_PROJECT_ROOT_NAME L"InstallList"
#define EDITOR_LAST_PROJECT_FILE L"PJT_PathS"
#define EDITOR_LAST_MODULE_FILE L"OCX_PathS"
#define EDITOR_LAST_INSTALLER_FILE L"EXE_PathS"
#define EDITOR_MASTER_LIST_FILE L"Project_List.mst"
#define EDITOR_RECENT_LIST_FILE L"Project_List.now"

// The two folders a save writes below: the base folder (the project lists)
// and the root of the project folders (base folder + "\InstallList").
struct ProjectStore {
  const wchar_t* base_folder;
  const wchar_t* project_root;
};

// Forms "%s\%s" of a base folder and a name into out (VT_PATH_CAP); the
// name alone when the base folder is empty. Returns false, out empty, when
// the path would be longer than the file layer accepts (259).
bool store_path(const wchar_t* base_folder, const wchar_t* name, wchar_t* out);

// Forms the project folder of a GUID text, project root + "\" + GUID, into
// out (VT_PATH_CAP). Returns false, out empty, when it would be longer than
// 259 characters.
bool store_project_folder(const wchar_t* project_root, const wchar_t* guid, wchar_t* out);

// Splits path at its last "\" into folder and file name. Returns false
// when the path holds no "\" or a part does not fit its buffer.
bool path_split(const wchar_t* path, wchar_t* folder, size_t folder_cap,
                wchar_t* name, size_t name_cap);
