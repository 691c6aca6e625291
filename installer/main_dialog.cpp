// The main dialog, 401: the banner and the facts of the installation;
// "開始" runs the operation under the progress dialog and shows its
// outcome, "中止" leaves without doing anything.
#include "common/message.h"
#include "common/status.h"
#include "common/window.h"
#include "installer/installer.h"
#include "installer/resource.h"

namespace {

// The two bold fonts, made from the dialog's own; deleted when the dialog
// has closed.
struct MainFonts {
  HFONT company;  // 1022, height 15
  HFONT title;    // 901, height 12
};
MainFonts Fonts;

HFONT FontBold(LOGFONTW font, LONG height) {
  font.lfPitchAndFamily = 1;
  font.lfWeight = FW_BOLD;
  font.lfHeight = height;
  return CreateFontIndirectW(&font);
}

void FontsApply(HWND dialog) {
  LOGFONTW font = {};
  HFONT own = reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0));
  if (!own || !GetObjectW(own, sizeof font, &font)) return;
  Fonts.company = FontBold(font, 15);
  Fonts.title = FontBold(font, 12);
  SendDlgItemMessageW(dialog, IDC_MAIN_COMPANY, WM_SETFONT,
                      reinterpret_cast<WPARAM>(Fonts.company), FALSE);
  SendDlgItemMessageW(dialog, IDC_MAIN_TITLE, WM_SETFONT,
                      reinterpret_cast<WPARAM>(Fonts.title), FALSE);
}

void FontsDelete() {
  if (Fonts.company) DeleteObject(Fonts.company);
  if (Fonts.title) DeleteObject(Fonts.title);
  Fonts.company = Fonts.title = NULL;
}

// The module's file version, "%u.%u.%u.%u", into text of cap characters:
// of the package's module in install mode (read from the held package),
// of the installed one in uninstall mode, both by the PE walk. "不明"
// (IDS_VERSION_UNKNOWN) when it has no version information (or, in
// uninstall mode, is not there).
void ModuleVersionText(wchar_t* text, size_t cap) {
  ModuleVersion version = {false, 0, 0};
  wchar_t installed[VT_PATH_CAP];
  if (!Settings.uninstall_mode)
    version = module_version_read(
        FileSpan{Settings.package_held, Settings.payload_offset, Settings.payload_length});
  else if (compose_target_path(installed, VT_PATH_CAP, Settings.system_folder,
                               Settings.file_name) >= 0)
    version = module_version_at(installed);
  if (!version.known || module_version_text(text, cap, version) < 0)
    MessageTextLoad(text, static_cast<int>(cap), IDS_VERSION_UNKNOWN);
}

void FactsShow(HWND dialog) {
  wchar_t text[64];
  if (!Settings.uninstall_mode)
    SetDlgItemTextW(dialog, IDC_MAIN_LEAD, MessageTextShared(IDS_LEAD_INSTALL));
  SetDlgItemTextW(dialog, IDC_MAIN_FILE, Settings.file_name);
  ModuleVersionText(text, 64);
  SetDlgItemTextW(dialog, IDC_MAIN_MODULE_VERSION, text);
  SetDlgItemTextW(dialog, IDC_MAIN_PROGRAM, Settings.program_name);
  TextFormat(text, 64, L"%d.%d.%d", Settings.ver_major, Settings.ver_minor,
             Settings.ver_build);
  SetDlgItemTextW(dialog, IDC_MAIN_PROGRAM_VERSION, text);
  SetDlgItemTextW(dialog, IDC_MAIN_USER, Settings.user_name);
  SetDlgItemTextW(dialog, IDC_MAIN_COMPANY, Settings.company_name);
}

void MainInit(HWND dialog) {
  Settings.main_dialog = dialog;
  FontsApply(dialog);
  HICON icon = LoadIconW(Settings.instance, MAKEINTRESOURCEW(IDI_MAIN));
  SendMessageW(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
  FactsShow(dialog);
  WindowCentreOnDesktop(dialog);
}

// The banner over the area of control 122.
void MainPaint(HWND dialog) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(dialog, &paint);
  RECT area;
  HWND banner = GetDlgItem(dialog, IDC_MAIN_BANNER);
  if (dc && Settings.banner && banner && GetClientRect(banner, &area))
    paint_banner(dc, area.right - 1, area.bottom);
  EndPaint(dialog, &paint);
}

// A completion message (text id) without an owner; the main dialog waits
// for it.
void CompletionShow(UINT id) {
  MessageBoxW(NULL, MessageTextShared(id), CAPTION_CONFIRM,
              MB_OK | MB_ICONINFORMATION | MB_TASKMODAL);
}

// A question (text id) of the main dialog: whether it was answered "Yes".
bool Asked(HWND dialog, UINT id) {
  return MessageBoxW(dialog, MessageTextShared(id), CAPTION_CONFIRM,
                     MB_YESNO | MB_ICONQUESTION) == IDYES;
}

// "開始": the operation under the progress dialog, then its outcome; the
// dialog closes whatever the outcome.
void MainStart(HWND dialog) {
  INT_PTR result = show_progress_dialog(dialog);
  switch (completion_after_progress(static_cast<int>(result), Settings.uninstall_mode,
                                    Settings.status, Settings.restart_needed)) {
    case COMPLETION_NONE:
      break;
    case COMPLETION_INSTALLED:
      CompletionShow(IDS_INSTALLED);
      break;
    case COMPLETION_UNINSTALLED:
      CompletionShow(IDS_UNINSTALLED);
      break;
    case COMPLETION_MODULE_MISSING:
      CompletionShow(IDS_MODULE_MISSING);
      break;
    case COMPLETION_RESTART_ASK:
      if (Asked(dialog, IDS_RESTART_QUESTION)) restart_system();
      break;
  }
  EndDialog(dialog, IDC_MAIN_STOP);
}

// "中止", the close box and Escape: closes after the user confirms.
void MainStop(HWND dialog) {
  if (Asked(dialog, IDS_STOP_ASK)) EndDialog(dialog, IDC_MAIN_STOP);
}

}  // namespace

INT_PTR CALLBACK main_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG:
      MainInit(dialog);
      return TRUE;
    case WM_PAINT:
      MainPaint(dialog);
      return TRUE;
    case WM_CTLCOLORSTATIC:
      return transparent_text_colour(wparam, lparam);
    case WM_COMMAND:
      if (LOWORD(wparam) == IDC_MAIN_START) MainStart(dialog);
      else if (LOWORD(wparam) == IDC_MAIN_STOP) MainStop(dialog);
      else return FALSE;
      return TRUE;
  }
  return FALSE;
}

void show_main_dialog() {
  DialogBoxParamW(Settings.instance, MAKEINTRESOURCEW(IDD_MAIN), NULL, main_dialog_proc, 0);
  FontsDelete();
}
