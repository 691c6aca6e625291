// The paths below the editor's base folder, and the split of a path.
#include "editor/project/project_paths.h"

#include <wchar.h>

bool store_path(const wchar_t* base_folder, const wchar_t* name, wchar_t* out) {
  if (base_folder[0] == 0) return TextCopy(out, VT_PATH_MAX + 1, name) >= 0;
  return TextFormat(out, VT_PATH_MAX + 1, L"%s\\%s", base_folder, name) >= 0;
}

bool store_project_folder(const wchar_t* project_root, const wchar_t* guid, wchar_t* out) {
  return TextFormat(out, VT_PATH_MAX + 1, L"%s\\%s", project_root, guid) >= 0;
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
