// The main window, dialog 401: its initialisation, the dispatch of its
// commands and of the messages of the desktop (handed-over and dropped
// files, the end of the session), the read-only field colours, the
// recent-projects menu, the keyboard shortcuts and the about box.
#include "common/message.h"
#include "common/window.h"
#include "editor/desktop.h"
#include "editor/editor.h"
#include "editor/resource.h"

namespace {

// The keyboard shortcuts of the main window, translated in the dialog's
// own message loop.
HACCEL Accelerators;
HHOOK ShortcutHook;

LRESULT CALLBACK ShortcutFilter(int code, WPARAM wparam, LPARAM lparam) {
  MSG* msg = reinterpret_cast<MSG*>(lparam);
  // Keys typed into the main window or its controls, not into a message
  // box or another dialog above it.
  if (code == MSGF_DIALOGBOX && msg && editor.main &&
      (msg->message == WM_KEYDOWN || msg->message == WM_SYSKEYDOWN) &&
      GetAncestor(msg->hwnd, GA_ROOT) == editor.main &&
      TranslateAcceleratorW(editor.main, Accelerators, msg))
    return 1;
  return CallNextHookEx(ShortcutHook, code, wparam, lparam);
}

void ShortcutsStart() {
  Accelerators = LoadAcceleratorsW(editor.instance, MAKEINTRESOURCEW(IDA_MAIN));
  if (Accelerators)
    ShortcutHook = SetWindowsHookExW(WH_MSGFILTER, ShortcutFilter, NULL, GetCurrentThreadId());
}

void ShortcutsStop() {
  if (ShortcutHook) UnhookWindowsHookEx(ShortcutHook);
  ShortcutHook = NULL;
}

void MainInit(HWND dialog) {
  editor.main = dialog;
  MainWindow = dialog;
  editor.menu = GetMenu(dialog);
  editor.close_after_save = false;
  editor.path_to_open[0] = 0;
  HICON icon = LoadIconW(editor.instance, MAKEINTRESOURCEW(IDI_EDITOR));
  SendMessageW(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
  form_prepare();
  form_new_project(false);
  rebuild_recent_menu(0);
  ShortcutsStart();
  caption_refresh();
  WindowCentreOnDesktop(dialog);
  desktop_init(dialog);
}

void AboutShow() {
  DialogBoxParamW(editor.instance, MAKEINTRESOURCEW(IDD_ABOUT), editor.main, AboutDialogProc, 0);
}

void Post(int id) { PostMessageW(editor.main, WM_COMMAND, MAKEWPARAM(id, 0), 0); }

void MainCommand(int id, int code) {
  // A build command posted while a build runs (the key pressed twice) is
  // dispatched by the progress dialog's loop: it waits for nothing.
  if ((id == IDC_BUILD || id == IDM_BUILD) && progress_running()) return;
  switch (id) {
    case IDCANCEL: command_close(); return;
    case IDM_ABOUT: AboutShow(); return;
    case IDM_EXIT: Post(IDCANCEL); return;
    case IDM_NEW: command_new(); return;
    case IDM_OPEN: command_open(); return;
    case IDM_SAVE: command_save(false); return;
    case IDM_SAVE_AS: command_save(true); return;
    case IDM_BUILD: Post(IDC_BUILD); return;
    case IDC_PROJECT_FOLDER_PICK:
    case IDC_INSTALLER_FOLDER_PICK: choose_folder(id); return;
    case IDC_PROJECT_GUID_NEW: command_guid_reissue(); return;
    case IDC_MODULE_PICK: choose_module(); return;
    case IDC_BUILD: command_build(); return;
    case IDC_LINKED_INSTALLER: command_linked_installer(); return;
    case IDC_SIGNING: command_signing(); return;
  }
  if (id >= IDM_RECENT_FIRST && id <= IDM_RECENT_LAST) {
    command_recent(id);
    return;
  }
  form_command(id, code);
}

// The answer of a message whose result a dialog procedure hands back
// through DWLP_MSGRESULT.
INT_PTR Answer(HWND dialog, LONG_PTR result) {
  SetWindowLongPtrW(dialog, DWLP_MSGRESULT, result);
  return TRUE;
}

}  // namespace

INT_PTR CALLBACK main_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG:
      MainInit(dialog);
      return TRUE;  // the focus goes to the project name
    case WM_COMMAND:
      MainCommand(LOWORD(wparam), HIWORD(wparam));
      caption_refresh();
      return TRUE;
    case WM_TIMER:
      open_request_poll(wparam);
      return TRUE;
    case WM_COPYDATA:
      return Answer(dialog, handover_receive(reinterpret_cast<COPYDATASTRUCT*>(lparam)));
    case WM_DROPFILES:
      files_dropped(reinterpret_cast<HDROP>(wparam));
      caption_refresh();
      return TRUE;
    case WM_QUERYENDSESSION: {
      BOOL may_end = session_end_query();
      caption_refresh();
      return Answer(dialog, may_end);
    }
    case WM_ENDSESSION:
      session_end(wparam != FALSE);
      return TRUE;
    case WM_CTLCOLORSTATIC:
      // The form's read-only displays.
      return readonly_field_colours(
          reinterpret_cast<HDC>(wparam), reinterpret_cast<HWND>(lparam),
          {IDC_PROJECT_FOLDER, IDC_PROJECT_GUID, IDC_MODULE_PATH, IDC_INSTALLER_FOLDER});
    case WM_DESTROY:
      ShortcutsStop();
      editor.main = NULL;
      MainWindow = NULL;
      return FALSE;
  }
  return FALSE;
}

void rebuild_recent_menu(int mode) {
  HMENU file = GetSubMenu(editor.menu, 0);
  if (!file) return;
  DeleteMenu(file, IDM_EXIT, MF_BYCOMMAND);
  if (mode == 1) {
    for (int id = IDM_RECENT_FIRST; id <= IDM_RECENT_SEPARATOR; ++id)
      DeleteMenu(file, id, MF_BYCOMMAND);
  } else {
    DWORD error = 0;
    if (read_recent_projects(editor_state.base_folder, &editor.recent, &error) == RECENT_OK &&
        editor.recent.count > 0) {
      for (int i = 0; i < editor.recent.count; ++i)
        AppendMenuW(file, MF_STRING, IDM_RECENT_FIRST + i, editor.recent.text[i]);
      AppendMenuW(file, MF_SEPARATOR, IDM_RECENT_SEPARATOR, NULL);
    }
    wchar_t exit_item[VT_PATH_CAP];
    MessageTextLoad(exit_item, VT_PATH_CAP, IDS_EXIT_ITEM);
    AppendMenuW(file, MF_STRING, IDM_EXIT, exit_item);
  }
  DrawMenuBar(editor.main);
}

INT_PTR readonly_field_colours(HDC dc, HWND control, std::initializer_list<int> ids) {
  int id = GetDlgCtrlID(control);
  for (int field : ids) {
    if (field != id) continue;
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(0, 0, 0));
    return reinterpret_cast<INT_PTR>(editor.readonly_brush);
  }
  return FALSE;
}

int message_show(UINT id, const wchar_t* caption, UINT flags) {
  return MessageBoxW(editor.main, MessageTextShared(id), caption, flags);
}

int message_text_show(const wchar_t* text, const wchar_t* caption, UINT flags) {
  return MessageBoxW(editor.main, text, caption, flags);
}
