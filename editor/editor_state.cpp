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
  if (editor_state.base_folder[0] == 0) return TextCopy(out, VT_PATH_MAX + 1, name) >= 0;
  return TextFormat(out, VT_PATH_MAX + 1, L"%s\\%s", editor_state.base_folder, name) >= 0;
}

bool editor_project_folder(const wchar_t* guid, wchar_t* out) {
  return TextFormat(out, VT_PATH_MAX + 1, L"%s\\%s", editor_state.project_root, guid) >= 0;
}

void editor_start_folders_reset() {
  editor_state.start = editor_state.remembered;
}

bool path_split(const wchar_t* path, wchar_t* folder, size_t folder_cap,
                wchar_t* name, size_t name_cap) {
  const wchar_t* last = NULL;
  for (const wchar_t* p = path; *p; ++p)
    if (*p == L'\\') last = p;
  if (!last) return false;
  size_t folder_len = static_cast<size_t>(last - path);
  if (folder_len >= folder_cap || TextCopy(name, name_cap, last + 1) < 0) return false;
  wmemcpy(folder, path, folder_len);
  folder[folder_len] = 0;
  return true;
}
