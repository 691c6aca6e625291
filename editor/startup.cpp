// The editor's life cycle: the single-instance rule, the folders of a run,
// the main window and the clean-up at exit. "/build" on the command line
// runs the headless build instead; a project file on the command line is
// opened, by this editor or by the one already running.
#include <windows.h>
#include <shellapi.h>

#include "common/file.h"
#include "common/message.h"
#include "common/os.h"
#include "common/security.h"
#include "common/window.h"
#include "editor/desktop.h"
#include "editor/desktop_rules.h"
#include "editor/editor.h"
#include "editor/editor_rules.h"
#include "editor/project/project_file.h"
#include "editor/resource.h"

EditorSession editor;

namespace {

const DWORD kMutexAllAccess = 0x1F0001;  // MUTEX_ALL_ACCESS
const COLORREF kReadOnlyColour = RGB(255, 230, 180);
// How long a start with a project file waits for the window of an editor
// that is itself still starting (two files opened at once from the shell).
const int kWindowWaitTries = 50;
const DWORD kWindowWaitMs = 100;

// The project file the command line names, as a full path ("" for none).
wchar_t StartProject[VT_PATH_CAP];

// Brings a running editor's main window forward and hands it the project
// file of the command line. Nothing is shown when its window is not there.
void RunningEditorRaise() {
  HWND found = NULL;
  for (int tries = 0;; ++tries) {
    EnumWindows(find_running_editor, reinterpret_cast<LPARAM>(&found));
    if (found || !StartProject[0] || tries >= kWindowWaitTries) break;
    Sleep(kWindowWaitMs);
  }
  if (!found) return;
  WindowBringForward(found);
  ShowWindow(found, IsIconic(found) ? SW_RESTORE : SW_SHOW);
  if (StartProject[0]) handover_send(found, StartProject);
}

// Creates the single-instance mutex. Returns 0, 999 when another editor
// made it first (also in the moment between our look and our creation), or
// 1 after showing why it could not be made.
int MutexCreate() {
  editor.mutex = CreateMutexW(NULL, FALSE, EDITOR_MUTEX_NAME);
  DWORD error = GetLastError();
  if (!editor.mutex) {
    wchar_t text[VT_MESSAGE_CAP];
    MessageTextFormat(text, VT_MESSAGE_CAP, IDS_MUTEX_FAILED, 0, static_cast<int>(error));
    MessageBoxW(NULL, text, CAPTION_ERROR, MB_OK | MB_ICONEXCLAMATION);
    return 1;
  }
  if (error == ERROR_ALREADY_EXISTS) {
    RunningEditorRaise();
    return 999;
  }
  GrantObjectAccess(editor.mutex);
  return 0;
}

// The base folder from the executable's full path, and the folders below it.
void FoldersPrepare() {
  wchar_t executable[VT_PATH_CAP] = {0};
  DWORD n = GetModuleFileNameW(NULL, executable, VT_PATH_CAP);
  if (n == 0 || n >= VT_PATH_CAP) executable[0] = 0;
  editor_base_folder_set(executable);
  DWORD error = 0;
  DirCreate(editor_state.project_root, &error);
  if (!work_folder_make(editor.work_folder)) editor.work_folder[0] = 0;
  load_last_folders();
}

// Splits the command line into arguments; argv[0] is the program.
int Arguments(wchar_t*** argv) {
  int argc = 0;
  *argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  return *argv ? argc : 0;
}

// The project file of the command line as a full path, taken against the
// current folder of this start (the running editor's may be another).
void StartProjectTake(int argc, wchar_t** argv) {
  StartProject[0] = 0;
  if (argc < 2) return;
  const wchar_t* project = editor_args_project(argc - 1, argv + 1);
  if (!project) return;
  DWORD n = GetFullPathNameW(project, VT_PATH_CAP, StartProject, NULL);
  if (n == 0 || n >= VT_PATH_CAP) StartProject[0] = 0;
}

}  // namespace

BOOL CALLBACK find_running_editor(HWND window, LPARAM found) {
  wchar_t caption[VT_PATH_CAP];
  int n = GetWindowTextW(window, caption, VT_PATH_CAP);
  if (n <= 0) return TRUE;
  if (compare_prefix_nocase(caption, EDITOR_CAPTION_PREFIX, EDITOR_CAPTION_PREFIX_LENGTH) != 0)
    return TRUE;
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

bool work_folder_make(wchar_t* folder) {
  folder[0] = 0;
  // GetTempFileName makes the unique name as an empty file in the base
  // folder (where the work folder goes; the current folder may be one the
  // user cannot write); the file goes at once and its name, without
  // extension, names the folder.
  wchar_t temp[MAX_PATH + 1], name[VT_PATH_CAP];
  const wchar_t* where = editor_state.base_folder[0] ? editor_state.base_folder : L".";
  for (int attempt = 0; attempt < 16; ++attempt) {
    if (!GetTempFileNameW(where, L"QOR", 0, temp)) return false;
    DeleteFileW(temp);
    if (!work_folder_name(temp, name, VT_PATH_CAP) || !editor_base_path(name, folder)) return false;
    if (CreateDirectoryW(folder, NULL)) return true;
    if (GetLastError() != ERROR_ALREADY_EXISTS) break;
  }
  folder[0] = 0;
  return false;
}

void work_folder_remove(const wchar_t* folder) {
  if (!folder[0]) return;
  wchar_t pattern[VT_PATH_CAP];
  DWORD error = 0;
  if (TextFormat(pattern, VT_PATH_CAP, L"%s\\*", folder) >= 0)
    TreeDelete(pattern, TREE_RECURSE, NULL, &error);
  RemoveDirectoryW(folder);
}

int editor_startup() {
  editor.readonly_brush = CreateSolidBrush(kReadOnlyColour);
  editor.pending_edit = -1;
  reset_project_record();
  HANDLE running = OpenMutexW(kMutexAllAccess, FALSE, EDITOR_MUTEX_NAME);
  if (running) {
    CloseHandle(running);
    RunningEditorRaise();
    return 999;
  }
  int status = MutexCreate();
  if (status != 0) return status;
  FoldersPrepare();
  return 0;
}

int editor_main(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  UINT previous_mode = SetErrorMode(SEM_FAILCRITICALERRORS);
  OsIdentify(NULL);
  editor.instance = instance;
  ModuleInstance = instance;
  wchar_t** argv = NULL;
  int argc = Arguments(&argv);
  int result;
  HeadlessArgs args;
  if (argc > 1 && headless_args_parse(argc - 1, argv + 1, &args) != HEADLESS_NONE) {
    result = headless_main(argc - 1, argv + 1);
  } else {
    StartProjectTake(argc, argv);
    result = editor_startup();
    if (result == 0 && StartProject[0]) open_request(StartProject);
    if (result == 0)
      DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_MAIN), NULL, main_dialog_proc, 0);
    work_folder_remove(editor.work_folder);
    if (editor.mutex) CloseHandle(editor.mutex);
  }
  if (argv) LocalFree(argv);
  SetErrorMode(previous_mode);
  return result;
}
