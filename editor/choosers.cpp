// Choosing files and folders: the project-file dialogs, the module
// selection with its check, the folder browser and the form's two folder
// buttons.
#include <windows.h>
#include <commdlg.h>
#include <shlobj.h>
#include <string.h>

#include "common/file.h"
#include "common/message.h"
#include "common/os.h"
#include "common/syslib.h"
#include "common/window.h"
#include "editor/editor.h"
#include "editor/form_rules.h"
#include "editor/project/editor_text.h"
#include "editor/resource.h"
#include "package/package.h"
#include "package/pe_image.h"

namespace {

const DWORD kSaveFlags = OFN_EXPLORER | OFN_NOTESTFILECREATE | OFN_OVERWRITEPROMPT |
                         OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;                     // 0x9080A
const DWORD kOpenFlags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST |
                         OFN_NOCHANGEDIR;                                          // 0x81808
const DWORD kOpenAdded = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST;                    // 0x804
const DWORD kOpenBuffer = 256;
const DWORD kSaveBuffer = VT_PATH_CAP;

const wchar_t kProjectFilter[] =
    L"Project Files(*.sip)\0*.sip\0Everything File(*.*)\0*.*\0";
const wchar_t kModuleFilter[] = L"COM File(*.DLL;*.OCX;*.EXE)\0*.DLL;*.OCX;*.EXE\0";
const wchar_t kAnyFilter[] = L"Everything File(*.*)\0*.*\0";
const LCID kJapanese = 1041;

// The module must export this to be unregistered again by its uninstaller.
const char kUnregisterExport[] = "DllUnregisterServer";

// Where file dialogs start when the path they are given does not exist:
// the documents folder, then the folder of the last file opened.
wchar_t DefaultFolder[VT_PATH_CAP];

bool IsFolder(const wchar_t* path) { return FileKindGet(path) == FILE_KIND_FOLDER; }

// The dialog's initial folder and proposed file name from a path that
// names a folder or a file.
void InitialSplit(const wchar_t* initial, wchar_t* folder, wchar_t* name, size_t name_cap) {
  folder[0] = 0;
  name[0] = 0;
  if (initial && initial[0]) {
    if (IsFolder(initial)) {
      TextCopy(folder, VT_PATH_CAP, initial);
    } else if (path_split(initial, folder, VT_PATH_CAP, name, name_cap) && !IsFolder(folder)) {
      folder[0] = 0;
    }
  }
  if (folder[0]) return;
  if (!DefaultFolder[0]) DocumentsFolderGet(DefaultFolder);
  TextCopy(folder, VT_PATH_CAP, DefaultFolder);
}

struct FileDialog {
  HWND owner;
  UINT title;  // a text of the string table
  const wchar_t* filter;
  const wchar_t* default_extension;
  DWORD flags;
  DWORD buffer;  // characters of the file buffer
  bool save;
};

// The file dialogs' library is loaded when a dialog is first shown: loading
// it starts the window system's desktop, which a headless build of the
// same program never needs.
typedef BOOL(WINAPI* FileDialogFn)(LPOPENFILENAMEW);
bool FileDialogShow(bool save, OPENFILENAMEW* ofn) {
  static HMODULE library;  // only the user-interface thread shows dialogs
  if (!library) library = SystemLibraryLoad(L"comdlg32.dll");
  FileDialogFn show;
  return SystemProcGet(library, save ? "GetSaveFileNameW" : "GetOpenFileNameW", &show) &&
         show(ofn);
}

// Runs a file dialog; the current folder is kept. path receives the
// choice (VT_PATH_CAP). Returns false when cancelled.
bool FileDialogRun(const FileDialog& d, const wchar_t* initial, wchar_t* path) {
  wchar_t folder[VT_PATH_CAP], file[VT_PATH_CAP], current[VT_PATH_CAP];
  InitialSplit(initial, folder, file, d.buffer);
  DWORD kept = GetCurrentDirectoryW(VT_PATH_CAP, current);
  OPENFILENAMEW ofn = {};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = d.owner;
  ofn.lpstrFilter = d.filter;
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = file;
  ofn.nMaxFile = d.buffer;
  ofn.lpstrInitialDir = folder;
  wchar_t title[VT_PATH_CAP];
  ofn.lpstrTitle = MessageTextLoad(title, VT_PATH_CAP, d.title);
  ofn.lpstrDefExt = d.default_extension;
  ofn.Flags = d.save ? d.flags : d.flags | kOpenAdded;
  bool chosen = FileDialogShow(d.save, &ofn);
  if (kept > 0 && kept < VT_PATH_CAP) SetCurrentDirectoryW(current);
  if (!chosen || TextCopy(path, VT_PATH_CAP, file) < 0) return false;
  wchar_t chosen_folder[VT_PATH_CAP], name[VT_PATH_CAP];
  if (!d.save && path_split(path, chosen_folder, VT_PATH_CAP, name, VT_PATH_CAP))
    TextCopy(DefaultFolder, VT_PATH_CAP, chosen_folder);
  return true;
}

// Stores a chosen path into a record field and shows it. Returns false,
// with the field unchanged, when the path does not fit it exactly.
bool FieldStore(int id, const wchar_t* path) {
  const FormBinding* b = form_binding_find(id);
  char stored[sizeof(ProjectRecord().module_path)];
  if (!b || b->width > sizeof stored || !text_to_field(stored, b->width, path)) return false;
  memcpy(form_field(&editor_state.working, *b), stored, b->width);
  form_show_field(id);
  return true;
}

}  // namespace

bool project_file_save_dialog(const wchar_t* initial, wchar_t* path) {
  FileDialog d{editor.main, IDS_SAVE_TITLE, kProjectFilter, L"sip", kSaveFlags, kSaveBuffer, true};
  return FileDialogRun(d, initial, path);
}

bool project_file_open_dialog(const wchar_t* initial, wchar_t* path) {
  FileDialog d{editor.main, IDS_OPEN_TITLE, kProjectFilter, NULL, kOpenFlags, kOpenBuffer, false};
  return FileDialogRun(d, initial, path);
}

bool any_file_open_dialog(HWND owner, UINT title, const wchar_t* initial,
                          wchar_t* path) {
  FileDialog d{owner, title, kAnyFilter, NULL, kOpenFlags, kOpenBuffer, false};
  return FileDialogRun(d, initial, path);
}

bool folder_browse(HWND owner, const wchar_t* initial, wchar_t* folder) {
  wchar_t current[VT_PATH_CAP], display[MAX_PATH + 1], chosen[MAX_PATH + 1] = {0};
  DWORD kept = GetCurrentDirectoryW(VT_PATH_CAP, current);
  bool com = SUCCEEDED(CoInitialize(NULL));
  LPITEMIDLIST root = NULL;
  SHGetSpecialFolderLocation(owner, CSIDL_DRIVES, &root);
  BrowseOwner = owner;
  BrowseOffset = POINT{0, 0};
  BROWSEINFOW info = {};
  info.hwndOwner = owner;
  info.pidlRoot = root;
  info.pszDisplayName = display;
  wchar_t title[VT_PATH_CAP];
  UINT title_id = UserDefaultLcid == kJapanese ? IDS_BROWSE_TITLE_JAPANESE : IDS_BROWSE_TITLE;
  info.lpszTitle = MessageTextLoad(title, VT_PATH_CAP, title_id);
  info.ulFlags = BIF_RETURNONLYFSDIRS;
  info.lpfn = BrowseDialogCallback;
  info.lParam = reinterpret_cast<LPARAM>(initial);
  LPITEMIDLIST picked = SHBrowseForFolderW(&info);
  bool ok = picked && SHGetPathFromIDListW(picked, chosen) && chosen[0];
  if (picked) CoTaskMemFree(picked);
  if (root) CoTaskMemFree(root);
  if (com) CoUninitialize();
  if (kept > 0 && kept < VT_PATH_CAP) SetCurrentDirectoryW(current);
  return ok && TextCopy(folder, VT_PATH_CAP, chosen) >= 0;
}

void choose_folder(int id) {
  int shown = id == IDC_PROJECT_FOLDER_PICK ? IDC_PROJECT_FOLDER : IDC_INSTALLER_FOLDER;
  wchar_t initial[VT_PATH_CAP], folder[VT_PATH_CAP];
  GetDlgItemTextW(editor.main, shown, initial, VT_PATH_CAP);
  if (!folder_browse(editor.main, initial, folder)) return;
  if (!FieldStore(shown, folder)) {
    message_show(IDS_FOLDER_UNUSABLE, CAPTION_WARNING, MB_OK | MB_ICONEXCLAMATION);
    return;
  }
  wchar_t* start = shown == IDC_PROJECT_FOLDER ? editor_state.start.project
                                               : editor_state.start.installer;
  TextCopy(start, VT_PATH_CAP, folder);
}

void choose_module() {
  wchar_t current[VT_PATH_CAP], initial[VT_PATH_CAP], path[VT_PATH_CAP];
  field_to_text(current, VT_PATH_CAP, editor_state.working.module_path,
                sizeof editor_state.working.module_path);
  // The current module's name, proposed in the module start folder.
  const wchar_t* name = wcsrchr(current, L'\\');
  name = name ? name + 1 : current;
  if (!editor_state.start.module[0] ||
      TextFormat(initial, VT_PATH_CAP, L"%s\\%s", editor_state.start.module, name) < 0)
    TextCopy(initial, VT_PATH_CAP, current);
  FileDialog d{editor.main, IDS_MODULE_TITLE, kModuleFilter, NULL, kOpenFlags, kOpenBuffer, false};
  if (FileDialogRun(d, initial, path)) module_select(path);
}

bool module_select(const wchar_t* path) {
  if (module_check_file(path, kUnregisterExport) != PE_MODULE_OK ||
      !FieldStore(IDC_MODULE_PATH, path)) {
    message_show(IDS_NOT_A_MODULE, CAPTION_WARNING, MB_OK | MB_ICONEXCLAMATION);
    return false;
  }
  wchar_t folder[VT_PATH_CAP], file[VT_PATH_CAP];
  if (path_split(path, folder, VT_PATH_CAP, file, VT_PATH_CAP) && TextLength(folder) >= 4)
    TextCopy(editor_state.start.module, VT_PATH_CAP, folder);
  return true;
}
