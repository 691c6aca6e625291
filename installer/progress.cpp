// The progress dialog, 402: open while the worker thread installs or
// uninstalls; closed only by the worker's report.
#include <process.h>

#include "common/message.h"
#include "common/window.h"
#include "installer/installer.h"
#include "installer/resource.h"

WorkerThreadBeginFn WorkerThreadBegin = _beginthreadex;

namespace {

// The operation could not begin: the message with the system's error, and
// the status the operation would have failed with, since nothing was
// installed or removed.
void StartFailed(DWORD error) {
  MessageTextFormat(Settings.popup_line1, VT_PATH_CAP, IDS_THREAD_FAILED,
                    static_cast<int>(error));
  Settings.status = Settings.uninstall_mode ? RUN_DELETE_FAILED : RUN_COPY_FAILED;
}

// The failure message, without an owner; the run's other windows wait for
// it.
void FailureShow() {
  MessageBoxW(NULL, Settings.popup_line1, CAPTION_ERROR, MB_OK | MB_ICONWARNING | MB_TASKMODAL);
}

// Starts the worker thread; when it cannot start, the dialog reports that
// as a failure of the operation.
void WorkerStart() {
  uintptr_t thread = WorkerThreadBegin(NULL, 0, run_operation_thread, NULL, 0, NULL);
  if (thread) {
    CloseHandle(reinterpret_cast<HANDLE>(thread));
    return;
  }
  StartFailed(GetLastError());
  progress_post(IDC_PROGRESS_FAILED);
}

void ProgressInit(HWND dialog) {
  Settings.progress_dialog = dialog;
  Settings.popup_line1[0] = 0;
  Settings.popup_line2[0] = 0;
  // No close command: the dialog ends with the worker.
  HMENU menu = GetSystemMenu(dialog, FALSE);
  if (menu) DeleteMenu(menu, SC_CLOSE, MF_BYCOMMAND);
  DrawMenuBar(dialog);
  WorkerStart();
  // Over the main dialog: centred on it, 180 pixels below its client top.
  MainWindow = Settings.main_dialog;
  DialogPlaceBelowMain(dialog);
}

// Only the worker's report ends the dialog; it carries the dialog's own
// handle where a control's command carries the control's. The Enter and
// Escape keys send commands 1 and 2 without it and change nothing while
// the worker runs.
void ProgressCommand(HWND dialog, int command, LPARAM from) {
  if (reinterpret_cast<HWND>(from) != dialog) return;
  if (command == IDC_PROGRESS_DONE) {
    EndDialog(dialog, IDC_PROGRESS_DONE);
  } else if (command == IDC_PROGRESS_FAILED) {
    FailureShow();
    EndDialog(dialog, IDC_PROGRESS_FAILED);
  }
}

}  // namespace

INT_PTR CALLBACK progress_dialog_proc(HWND dialog, UINT message, WPARAM wparam,
                                      LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG:
      ProgressInit(dialog);
      return TRUE;
    case WM_COMMAND:
      ProgressCommand(dialog, LOWORD(wparam), lparam);
      return TRUE;
  }
  return FALSE;
}

INT_PTR show_progress_dialog(HWND owner) {
  INT_PTR result = DialogBoxParamW(Settings.instance, MAKEINTRESOURCEW(IDD_PROGRESS), owner,
                                   progress_dialog_proc, 0);
  if (result != -1) return result;
  // Without its dialog the worker never started: reported as such.
  StartFailed(GetLastError());
  FailureShow();
  return IDC_PROGRESS_FAILED;
}

void progress_post(int command) {
  HWND dialog = Settings.progress_dialog;
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(command, 0), reinterpret_cast<LPARAM>(dialog));
}
