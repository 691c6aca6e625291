// The editor among the desktop's programs: its caption names the project,
// it opens project files handed over by a second start or dropped on it,
// takes a module dropped on the module field, and on the end of the
// user's session asks as the close does and leaves nothing behind.
#include "editor/desktop.h"

#include "common/text.h"
#include "editor/desktop_rules.h"
#include "editor/editor.h"
#include "editor/project/editor_text.h"
#include "editor/project/project_file.h"
#include "editor/resource.h"

namespace {

const UINT_PTR kOpenTimer = 1;
const UINT kOpenPollMs = 50;
// How long a second start waits for the running editor to take its path.
const UINT kHandoverWaitMs = 10000;

// The project file to open once the main window is free ("" for none).
wchar_t Waiting[VT_PATH_CAP];

// Whether a point of the main window's client area lies on a control's
// rectangle.
bool OnControl(POINT at, int id) {
  HWND control = GetDlgItem(editor.main, id);
  RECT rect;
  if (!control || !GetWindowRect(control, &rect)) return false;
  MapWindowPoints(NULL, editor.main, reinterpret_cast<POINT*>(&rect), 2);
  return PtInRect(&rect, at) != FALSE;
}

bool OnModuleRow(POINT at) {
  return OnControl(at, IDC_MODULE_LABEL) || OnControl(at, IDC_MODULE_PATH) ||
         OnControl(at, IDC_MODULE_PICK);
}

}  // namespace

void desktop_init(HWND main) {
  DragAcceptFiles(main, TRUE);
  if (Waiting[0]) SetTimer(main, kOpenTimer, kOpenPollMs, NULL);
}

void caption_refresh() {
  if (!editor.main) return;
  ProjectRecord shown;
  form_record_as_typed(&shown);
  wchar_t name[VT_PATH_CAP], caption[VT_PATH_CAP + 32], now[VT_PATH_CAP + 32];
  field_to_text(name, VT_PATH_CAP, shown.project_name, sizeof shown.project_name);
  editor_caption_format(name, project_records_differ(&shown, &editor_state.saved), caption,
                        VT_PATH_CAP + 32);
  GetWindowTextW(editor.main, now, VT_PATH_CAP + 32);
  if (lstrcmpW(now, caption) != 0) SetWindowTextW(editor.main, caption);
}

void open_request(const wchar_t* path) {
  if (TextCopy(Waiting, VT_PATH_CAP, path) < 0) return;
  if (editor.main) SetTimer(editor.main, kOpenTimer, kOpenPollMs, NULL);
}

void open_request_poll(UINT_PTR timer) {
  // While a dialog or message box is open over the main window, the window
  // is disabled and a command of its own would run inside that dialog.
  if (timer != kOpenTimer || !IsWindowEnabled(editor.main)) return;
  KillTimer(editor.main, kOpenTimer);
  if (!Waiting[0] || TextCopy(editor.path_to_open, VT_PATH_CAP, Waiting) < 0) return;
  Waiting[0] = 0;
  command_open();
  caption_refresh();
}

BOOL handover_receive(const COPYDATASTRUCT* data) {
  wchar_t path[VT_PATH_CAP];
  if (!data || !editor_handover_take(static_cast<uint32_t>(data->dwData), data->lpData,
                                     data->cbData, path, VT_PATH_CAP))
    return FALSE;
  open_request(path);
  return TRUE;
}

bool handover_send(HWND running, const wchar_t* path) {
  COPYDATASTRUCT data;
  data.dwData = EDITOR_HANDOVER_OPEN;
  data.cbData = static_cast<DWORD>((TextLength(path) + 1) * sizeof(wchar_t));
  data.lpData = const_cast<wchar_t*>(path);
  DWORD_PTR taken = 0;
  return SendMessageTimeoutW(running, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data),
                             SMTO_ABORTIFHUNG, kHandoverWaitMs, &taken) &&
         taken == TRUE;
}

void files_dropped(HDROP drop) {
  wchar_t path[VT_PATH_CAP] = {0};
  POINT at = {0, 0};
  UINT length = DragQueryFileW(drop, 0, NULL, 0);
  bool taken = length > 0 && length <= VT_PATH_MAX &&
               DragQueryFileW(drop, 0, path, VT_PATH_CAP) == length;
  DragQueryPoint(drop, &at);
  DragFinish(drop);
  // A drop on a window that a dialog has disabled is not for it.
  if (!taken || !IsWindowEnabled(editor.main)) return;
  if (OnModuleRow(at))
    module_select(path);
  else
    open_request(path);
}

BOOL session_end_query() {
  // A package half written is no state to end in.
  if (progress_running()) return FALSE;
  return command_session_end() ? TRUE : FALSE;
}

void session_end(bool ending) {
  if (!ending) return;
  store_last_folders();
  work_folder_remove(editor.work_folder);
  editor.work_folder[0] = 0;
  EndDialog(editor.main, IDCANCEL);
}
