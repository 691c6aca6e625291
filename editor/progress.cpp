// The build's progress dialog, 402: it starts the worker thread that builds
// the package and closes only when the worker reports. The dialog has no
// buttons, so Enter and Escape reach it as the commands 1 and 2: it ignores
// every command and ends on the worker's own notice.
#include <process.h>

#include "common/message.h"
#include "common/window.h"
#include "editor/editor.h"
#include "editor/project_build.h"
#include "editor/resource.h"

namespace {

// The worker's notice to the dialog: wParam is the result, 1 or 2.
const UINT kWorkerDone = WM_APP + 1;

// The build the worker runs; read by the user-interface thread only after
// the dialog has returned.
ProjectBuildJob Job;
HWND ProgressDialog;
HANDLE WorkerThread;
// Set while a build runs (user-interface thread only): a second build
// would reset the job the worker still uses.
bool Running;

unsigned __stdcall Worker(void*) {
  int status = project_build_run(&Job);
  if (status == 0) project_build_record(Job.record);
  PostMessageW(ProgressDialog, kWorkerDone, status == 0 ? 1 : 2, 0);
  return 0;
}

void ProgressInit(HWND dialog) {
  ProgressDialog = dialog;
  HMENU system = GetSystemMenu(dialog, FALSE);
  if (system) DeleteMenu(system, SC_CLOSE, MF_BYCOMMAND);
  DrawMenuBar(dialog);
  DialogPlaceBelowMain(dialog);
  uintptr_t thread = _beginthreadex(NULL, 0, Worker, NULL, 0, NULL);
  if (thread) {
    WorkerThread = reinterpret_cast<HANDLE>(thread);
    return;
  }
  MessageTextFormat(Job.message, VT_MESSAGE_CAP, IDS_BUILD_THREAD,
                    static_cast<int>(GetLastError()));
  PostMessageW(dialog, kWorkerDone, 2, 0);
}

void WorkerDone(HWND dialog, WPARAM result) {
  if (result != 1) MessageBoxW(NULL, Job.message, CAPTION_ERROR, MB_OK | MB_ICONEXCLAMATION);
  EndDialog(dialog, result == 1 ? 1 : 2);
}

INT_PTR CALLBACK ProgressProc(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      ProgressInit(dialog);
      return TRUE;
    case WM_COMMAND:
      return TRUE;  // Enter, Escape, Alt+F4: the build goes on
    case kWorkerDone:
      WorkerDone(dialog, wparam);
      return TRUE;
  }
  return FALSE;
}

}  // namespace

INT_PTR progress_dialog_run(const ProjectRecord* record) {
  if (Running) return 0;
  Running = true;
  Job = ProjectBuildJob{};
  Job.record = *record;
  Job.work_folder = editor.work_folder;
  INT_PTR result = DialogBoxParamW(editor.instance, MAKEINTRESOURCEW(IDD_PROGRESS), editor.main,
                                   ProgressProc, 0);
  // The worker posts its notice as its last act; it is waited for so that
  // nothing of this build runs on when the next one starts.
  if (WorkerThread) {
    WaitForSingleObject(WorkerThread, INFINITE);
    CloseHandle(WorkerThread);
    WorkerThread = NULL;
  }
  if (result == 1) TextCopy(MessageBuffer, VT_MESSAGE_CAP, Job.message);
  Running = false;
  return result;
}

bool progress_running() { return Running; }
