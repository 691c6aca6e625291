// The signing dialog, 403: a saved project's code-signing settings, kept
// in "codesign.txt" in its project folder, and the project's switch to sign
// its packages.
#include <string.h>

#include "common/file.h"
#include "common/message.h"
#include "editor/editor.h"
#include "editor/project/editor_text.h"
#include "editor/project/project_file.h"
#include "editor/resource.h"
#include "editor/signing.h"

namespace {

const int kToolFolderMax = 254;  // characters the folder selection may return

// The controls the switch 1101 enables.
const int kSwitched[] = {IDC_SIGN_TOOL_FOLDER,    IDC_SIGN_CERTIFICATE,     IDC_SIGN_PASSWORD,
                         IDC_SIGN_DESCRIPTION,    IDC_SIGN_DESCRIPTION_URL, IDC_SIGN_TIMESTAMP,
                         IDC_SIGN_TIMESTAMP_URL,  IDC_SIGN_TOOL_PICK,       IDC_SIGN_CERTIFICATE_PICK};

struct TextControl {
  int id;
  size_t offset;
  size_t size;
  int limit;  // edit limit in characters; 0: read-only
};

#define SETTING(name) offsetof(SigningSettings, name), sizeof(SigningSettings().name)
const TextControl kTexts[] = {
    {IDC_SIGN_TOOL_FOLDER, SETTING(tool_folder), 0},
    {IDC_SIGN_CERTIFICATE, SETTING(certificate), 0},
    {IDC_SIGN_PASSWORD, SETTING(password), 36},
    {IDC_SIGN_DESCRIPTION, SETTING(description), 60},
    {IDC_SIGN_DESCRIPTION_URL, SETTING(description_url), 124},
    {IDC_SIGN_TIMESTAMP_URL, SETTING(timestamp_url), 124},
};
#undef SETTING

SigningSettings Settings;

char* SettingField(const TextControl& t) { return reinterpret_cast<char*>(&Settings) + t.offset; }

// The project's settings file, "codesign.txt" in its project folder.
bool ProjectSettingsPath(wchar_t* path, wchar_t* folder) {
  wchar_t guid[PROJECT_GUID_LENGTH + 1];
  return project_guid_text(editor_state.working, guid) && editor_project_folder(guid, folder) &&
         TextFormat(path, VT_PATH_CAP, L"%s\\%s", folder, SIGNING_SETTINGS_FILE) >= 0;
}

// The settings the project has, or none.
void SettingsLoad() {
  memset(&Settings, 0, sizeof Settings);
  wchar_t path[VT_PATH_CAP];
  DWORD error = 0;
  if (!field_to_text(path, VT_PATH_CAP, editor_state.working.signing_settings_path,
                     sizeof editor_state.working.signing_settings_path) ||
      !path[0] || signing_settings_read(path, &Settings, &error) != ST_OK)
    memset(&Settings, 0, sizeof Settings);
}

void SwitchApply(HWND dialog) {
  bool on = IsDlgButtonChecked(dialog, IDC_SIGN_ON) == BST_CHECKED;
  for (int id : kSwitched) EnableWindow(GetDlgItem(dialog, id), on);
  if (on)
    EnableWindow(GetDlgItem(dialog, IDC_SIGN_TIMESTAMP_URL),
                 IsDlgButtonChecked(dialog, IDC_SIGN_TIMESTAMP) == BST_CHECKED);
}

// Places the dialog over the main window: centred, 30 pixels to the
// right, 80 pixels below its client area's top.
void Place(HWND dialog) {
  POINT origin = {0, 0};
  RECT main_rect, rect;
  if (!ClientToScreen(editor.main, &origin) || !GetWindowRect(editor.main, &main_rect) ||
      !GetWindowRect(dialog, &rect))
    return;
  int width = rect.right - rect.left;
  int x = origin.x + ((main_rect.right - main_rect.left) - width) / 2 + 30;
  SetWindowPos(dialog, NULL, x, origin.y + 80, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOREDRAW);
}

void SigningInit(HWND dialog) {
  SettingsLoad();
  HMENU system = GetSystemMenu(dialog, FALSE);
  if (system) DeleteMenu(system, SC_CLOSE, MF_BYCOMMAND);
  for (const TextControl& t : kTexts) {
    if (t.limit)
      SendDlgItemMessageW(dialog, t.id, EM_LIMITTEXT, t.limit, 0);
    else
      SendDlgItemMessageW(dialog, t.id, EM_SETREADONLY, TRUE, 0);
    wchar_t text[VT_PATH_CAP];
    field_to_text(text, VT_PATH_CAP, SettingField(t), t.size);
    SetDlgItemTextW(dialog, t.id, text);
  }
  CheckDlgButton(dialog, IDC_SIGN_TIMESTAMP, Settings.timestamp == 1 ? BST_CHECKED : BST_UNCHECKED);
  SecureZeroMemory(&Settings, sizeof Settings);  // the password stays in its control only
  CheckDlgButton(dialog, IDC_SIGN_ON,
                 editor_state.working.code_signing == 1 ? BST_CHECKED : BST_UNCHECKED);
  SwitchApply(dialog);
  Place(dialog);
}

// Whether a chosen path fits its field exactly; otherwise says so.
bool Fits(HWND dialog, const wchar_t* path, size_t size) {
  char field[256];
  if (size <= sizeof field && text_to_field(field, size, path)) return true;
  MessageBoxW(dialog, MessageTextShared(IDS_FOLDER_UNUSABLE), CAPTION_WARNING,
              MB_OK | MB_ICONEXCLAMATION);
  return false;
}

void ToolPick(HWND dialog) {
  wchar_t current[VT_PATH_CAP], folder[VT_PATH_CAP];
  GetDlgItemTextW(dialog, IDC_SIGN_TOOL_FOLDER, current, VT_PATH_CAP);
  if (!folder_browse(dialog, current, folder)) return;
  if (TextLength(folder) > static_cast<size_t>(kToolFolderMax) ||
      !Fits(dialog, folder, sizeof Settings.tool_folder))
    return;
  SetDlgItemTextW(dialog, IDC_SIGN_TOOL_FOLDER, folder);
}

void CertificatePick(HWND dialog) {
  wchar_t current[VT_PATH_CAP], path[VT_PATH_CAP];
  GetDlgItemTextW(dialog, IDC_SIGN_CERTIFICATE, current, VT_PATH_CAP);
  if (any_file_open_dialog(dialog, IDS_CERTIFICATE_TITLE, current, path) &&
      Fits(dialog, path, sizeof Settings.certificate))
    SetDlgItemTextW(dialog, IDC_SIGN_CERTIFICATE, path);
}

bool Empty(HWND dialog, int id) {
  return GetWindowTextLengthW(GetDlgItem(dialog, id)) == 0;
}

// The first of the required values that is missing, as its message.
int Missing(HWND dialog) {
  if (Empty(dialog, IDC_SIGN_TOOL_FOLDER)) return IDS_SIGN_NO_TOOL;
  if (Empty(dialog, IDC_SIGN_CERTIFICATE)) return IDS_SIGN_NO_CERTIFICATE;
  if (Empty(dialog, IDC_SIGN_PASSWORD)) return IDS_SIGN_NO_PASSWORD;
  return 0;
}

// The settings from the controls: the required three always, the
// optional ones when given, the timestamp only when asked for.
void SettingsTake(HWND dialog) {
  memset(&Settings, 0, sizeof Settings);
  bool timestamp = IsDlgButtonChecked(dialog, IDC_SIGN_TIMESTAMP) == BST_CHECKED;
  for (const TextControl& t : kTexts) {
    if (t.id == IDC_SIGN_TIMESTAMP_URL && !timestamp) continue;
    wchar_t text[VT_PATH_CAP];
    GetDlgItemTextW(dialog, t.id, text, VT_PATH_CAP);
    text_to_field(SettingField(t), t.size, text);
  }
  Settings.timestamp = timestamp ? 1 : 0;
}

// "登録": the switch into the project, and with it on, the settings into
// the project's settings file. Returns false when the dialog stays open.
bool Register(HWND dialog) {
  ProjectRecord& record = editor_state.working;
  if (IsDlgButtonChecked(dialog, IDC_SIGN_ON) != BST_CHECKED) {
    record.code_signing = 0;
    signing_registration_store();
    return true;
  }
  record.code_signing = 1;
  if (int missing = Missing(dialog)) {
    MessageBoxW(dialog, MessageTextShared(missing), CAPTION_WARNING, MB_OK | MB_ICONQUESTION);
    return false;
  }
  wchar_t path[VT_PATH_CAP], folder[VT_PATH_CAP];
  DWORD error = 0;
  if (!ProjectSettingsPath(path, folder)) return true;
  text_to_field(record.signing_settings_path, sizeof record.signing_settings_path, path);
  SettingsTake(dialog);
  int written = signing_settings_write(path, Settings, &error);
  SecureZeroMemory(&Settings, sizeof Settings);
  if (written < 0) {
    wchar_t text[VT_MESSAGE_CAP];
    MessageTextFormat(text, VT_MESSAGE_CAP, IDS_SIGN_WRITE_FAILED, static_cast<int>(error));
    MessageBoxW(dialog, text, CAPTION_ERROR, MB_OK | MB_ICONEXCLAMATION);
    return false;
  }
  signing_registration_store();
  return true;
}

void ProjectFolderEnsure() {
  wchar_t path[VT_PATH_CAP], folder[VT_PATH_CAP];
  DWORD error = 0;
  if (ProjectSettingsPath(path, folder)) DirCreate(folder, &error);
}

void SigningCommand(HWND dialog, int id) {
  switch (id) {
    case IDC_SIGN_ON:
    case IDC_SIGN_TIMESTAMP: SwitchApply(dialog); break;
    case IDC_SIGN_TOOL_PICK: ToolPick(dialog); break;
    case IDC_SIGN_CERTIFICATE_PICK: CertificatePick(dialog); break;
    case IDOK:
      ProjectFolderEnsure();
      if (Register(dialog)) EndDialog(dialog, IDOK);
      break;
    case IDCANCEL:
      ProjectFolderEnsure();
      EndDialog(dialog, IDCANCEL);
      break;
  }
}

INT_PTR CALLBACK SigningProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG:
      SigningInit(dialog);
      return TRUE;
    case WM_COMMAND:
      SigningCommand(dialog, LOWORD(wparam));
      return TRUE;
    case WM_CTLCOLORSTATIC:
      return readonly_field_colours(reinterpret_cast<HDC>(wparam), reinterpret_cast<HWND>(lparam),
                                    {IDC_SIGN_TOOL_FOLDER, IDC_SIGN_CERTIFICATE});
  }
  return FALSE;
}

}  // namespace

INT_PTR signing_dialog_run() {
  return DialogBoxParamW(editor.instance, MAKEINTRESOURCEW(IDD_SIGNING), editor.main,
                         SigningProc, 0);
}
