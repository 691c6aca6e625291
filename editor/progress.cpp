// The build's progress dialog, 402: it starts the worker thread that builds
// the package and closes when the worker reports.
#include <process.h>

#include "common/message.h"
#include "common/window.h"
#include "editor/editor.h"
#include "editor/project_build.h"
#include "editor/resource.h"

namespace {

// The build the worker runs; read by the user-interface thread only after
// the dialog has returned.
ProjectBuildJob Job;
HWND ProgressDialog;

unsigned __stdcall Worker(void*) {
  int status = project_build_run(&Job);
  if (status == 0) project_build_record(Job.record);
  PostMessageW(ProgressDialog, WM_COMMAND, MAKEWPARAM(status == 0 ? 1 : 2, 0), 0);
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
    CloseHandle(reinterpret_cast<HANDLE>(thread));
    return;
  }
  MessageTextFormat(Job.message, VT_MESSAGE_CAP, IDS_BUILD_THREAD,
                    static_cast<int>(GetLastError()));
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(2, 0), 0);
}

INT_PTR CALLBACK ProgressProc(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      ProgressInit(dialog);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wparam) == 1) {
        EndDialog(dialog, 1);
      } else if (LOWORD(wparam) == 2) {
        MessageBoxW(NULL, Job.message, CAPTION_ERROR, MB_OK | MB_ICONEXCLAMATION);
        EndDialog(dialog, 2);
      }
      return TRUE;
  }
  return FALSE;
}

}  // namespace

INT_PTR progress_dialog_run(const ProjectRecord* record) {
  Job = ProjectBuildJob{};
  Job.record = *record;
  Job.work_folder = editor.work_folder;
  INT_PTR result = DialogBoxParamW(editor.instance, MAKEINTRESOURCEW(IDD_PROGRESS), editor.main,
                                   ProgressProc, 0);
  if (result == 1) TextCopy(MessageBuffer, VT_MESSAGE_CAP, Job.message);
  return result;
}
