// Process-wide editor state and the paths formed from the base folder.
#include "editor/editor_state.h"

#include <wchar.h>

EditorState editor_state;

bool editor_base_folder_set(const wchar_t* executable_path) {
  EditorState& s = editor_state;
  s.base_folder[0] = 0;
  s.project_root[0] = 0;
  size_t cut = 0;
  for (size_t i = 0; executable_path[i]; ++i)
    if (executable_path[i] == L'\\' || executable_path[i] == L'/') cut = i + 1;
  if (cut == 0) return TextCopy(s.project_root, VT_PATH_CAP, EDITOR_PROJECT_ROOT_NAME) >= 0;
  if (cut > VT_PATH_CAP) return false;
  wmemcpy(s.base_folder, executable_path, cut - 1);
  s.base_folder[cut - 1] = 0;
  if (editor_base_path(EDITOR_PROJECT_ROOT_NAME, s.project_root)) return true;
  s.base_folder[0] = 0;
  return false;
}

bool editor_base_path(const wchar_t* name, wchar_t* out) {
  return store_path(editor_state.base_folder, name, out);
}

bool editor_project_folder(const wchar_t* guid, wchar_t* out) {
  return store_project_folder(editor_state.project_root, guid, out);
}

void editor_start_folders_reset() {
  editor_state.start = editor_state.remembered;
}

ProjectStore editor_store() {
  return ProjectStore{editor_state.base_folder, editor_state.project_root};
}
