// The warning popup, dialog 405: an icon and two lines of text with "Yes"
// and "No", or a single "OK", optionally answered by a countdown.
#include "installer/installer.h"
#include "installer/resource.h"

namespace {

// The popup is modal and never nested, so its countdown lives here.
struct PopupState {
  int ticks;
  bool timer;
};
PopupState Popup;

void PopupInit(HWND dialog, bool countdown) {
  Popup.ticks = 0;
  Popup.timer = false;
  SendDlgItemMessageW(dialog, IDC_POPUP_ICON, STM_SETICON,
                      reinterpret_cast<WPARAM>(Settings.popup_icon), 0);
  SetDlgItemTextW(dialog, IDC_POPUP_LINE1, Settings.popup_line1);
  SetDlgItemTextW(dialog, IDC_POPUP_LINE2, Settings.popup_line2);
  if (countdown)
    Popup.timer = SetTimer(dialog, IDT_POPUP_COUNTDOWN, 1000, NULL) != 0;
  if (Settings.popup_single_button) {
    DestroyWindow(GetDlgItem(dialog, IDC_POPUP_YES));
    SetDlgItemTextW(dialog, IDC_POPUP_NO, L"OK");
    SendMessageW(dialog, DM_SETDEFID, IDC_POPUP_NO, 0);
  }
}

// Each second counts; the countdown answers "No"/"OK" once it reaches the
// timeout. A timeout of 0 is never reached: the popup waits for the user.
void PopupTick(HWND dialog) {
  ++Popup.ticks;
  if (Popup.ticks == Settings.popup_timeout)
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_POPUP_NO, BN_CLICKED), 0);
}

}  // namespace

INT_PTR CALLBACK warning_popup_proc(HWND dialog, UINT message, WPARAM wparam,
                                    LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG:
      PopupInit(dialog, lparam != 0);
      return TRUE;
    case WM_TIMER:
      if (wparam == IDT_POPUP_COUNTDOWN) PopupTick(dialog);
      return TRUE;
    case WM_COMMAND:
      // The close box and the Escape key arrive as IDCANCEL, which is 2.
      if (LOWORD(wparam) == IDC_POPUP_YES || LOWORD(wparam) == IDC_POPUP_NO) {
        EndDialog(dialog, LOWORD(wparam));
        return TRUE;
      }
      return FALSE;
    case WM_CTLCOLORSTATIC:
      // The two lines (901, 902) lie on the white area.
      return transparent_text_colour(wparam, lparam);
    case WM_DESTROY:
      if (Popup.timer) KillTimer(dialog, IDT_POPUP_COUNTDOWN);
      Popup.timer = false;
      return FALSE;
  }
  return FALSE;
}

int show_warning_popup(bool countdown) {
  INT_PTR result = DialogBoxParamW(Settings.instance, MAKEINTRESOURCEW(IDD_WARNING),
                                   GetDesktopWindow(), warning_popup_proc,
                                   countdown ? 1 : 0);
  // A popup that could not be shown answers as the countdown would.
  return result == IDC_POPUP_YES ? IDC_POPUP_YES : IDC_POPUP_NO;
}

void popup_prepare(int icon_id, bool single_button) {
  Settings.popup_icon = LoadIconW(Settings.instance, MAKEINTRESOURCEW(icon_id));
  Settings.popup_single_button = single_button;
}

void popup_set_lines(const wchar_t* line1, const wchar_t* line2) {
  // The texts of the program fit; one that does not is left out whole.
  TextCopy(Settings.popup_line1, VT_PATH_CAP, line1);
  TextCopy(Settings.popup_line2, VT_PATH_CAP, line2);
}
