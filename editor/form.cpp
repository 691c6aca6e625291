// The project form: moving values between the working record and the
// controls of the main window through the binding table, the commit of
// typed text, the option groups and the counters and dates of the project
// list.
#include <windows.h>
#include <commctrl.h>
#include <imm.h>
#include <string.h>

#include <initializer_list>

#include "common/message.h"
#include "editor/editor.h"
#include "editor/form_rules.h"
#include "editor/project/editor_text.h"
#include "editor/project/project_file.h"
#include "editor/resource.h"

namespace {

const wchar_t kNoDate[] = L"----/--/-- 00:00";
const wchar_t kNewBuildCount[] = L"0     ";
const wchar_t kNewUpdateCount[] = L"       0";

HWND Control(int id) { return GetDlgItem(editor.main, id); }

// Sets a control's text without taking it for typing.
void TextSet(int id, const wchar_t* text) {
  bool was = editor.filling;
  editor.filling = true;
  SetDlgItemTextW(editor.main, id, text);
  editor.filling = was;
}

bool IsTextBinding(const FormBinding& b) {
  return b.kind == BIND_TEXT || b.kind == BIND_DIGITS || b.kind == BIND_SHOWN;
}

void FieldShow(const FormBinding& b) {
  wchar_t text[VT_PATH_CAP];
  field_to_text(text, VT_PATH_CAP, form_field(&editor_state.working, b), b.width);
  TextSet(b.id, text);
}

// A time stamp of 14 digits as "YYYY/MM/DD hh:mm"; kNoDate for one that
// begins with a space or lower.
void DateShow(int id, const wchar_t* stamp) {
  if (stamp[0] <= L' ' && stamp[0] != 0) {
    TextSet(id, kNoDate);
    return;
  }
  wchar_t text[32];
  TextFormat(text, 32, L"%.4s/%.2s/%.2s %.2s:%.2s", stamp, stamp + TextLengthMax(stamp, 4),
             stamp + TextLengthMax(stamp, 6), stamp + TextLengthMax(stamp, 8),
             stamp + TextLengthMax(stamp, 10));
  TextSet(id, text);
}

// The view's controls as the window shows them now.
void ViewRead(FormView* view) {
  for (int id : form_view_ids) {
    form_view_check(view, id, IsDlgButtonChecked(editor.main, id) == BST_CHECKED);
    form_view_enable(view, id, IsWindowEnabled(Control(id)) != FALSE);
  }
  view->install_timeout =
      static_cast<int>(SendDlgItemMessageW(editor.main, IDC_INSTALL_TIMEOUT, CB_GETCURSEL, 0, 0));
  view->uninstall_timeout = static_cast<int>(
      SendDlgItemMessageW(editor.main, IDC_UNINSTALL_TIMEOUT, CB_GETCURSEL, 0, 0));
}

void ViewEnablesApply(const FormView& view) {
  for (int id : form_view_ids) EnableWindow(Control(id), form_view_enabled(view, id));
}

void ViewApply(const FormView& view) {
  for (int id : form_view_ids) {
    const FormBinding* b = form_binding_find(id);
    if (b && b->kind != BIND_LIST)
      CheckDlgButton(editor.main, id, form_view_checked(view, id) ? BST_CHECKED : BST_UNCHECKED);
  }
  SendDlgItemMessageW(editor.main, IDC_INSTALL_TIMEOUT, CB_SETCURSEL, view.install_timeout, 0);
  SendDlgItemMessageW(editor.main, IDC_UNINSTALL_TIMEOUT, CB_SETCURSEL, view.uninstall_timeout, 0);
  ViewEnablesApply(view);
}

// The option controls, the time-out lists and their enabled states from
// the working record.
void OptionsShow() {
  FormView view;
  form_view_show(&view, editor_state.working);
  ViewApply(view);
}

// The text of a text field as code page 932 bytes into bytes (2 *
// VT_PATH_CAP); typed, when given, receives the control's own text.
// Returns the number of bytes.
size_t TypedBytes(const FormBinding& b, char* bytes, wchar_t* typed) {
  wchar_t text[VT_PATH_CAP];
  if (!typed) typed = text;
  GetDlgItemTextW(editor.main, b.id, typed, VT_PATH_CAP);
  int n = WideCharToMultiByte(CP_ACP, 0, typed, -1, bytes, 2 * VT_PATH_CAP, NULL, NULL);
  if (n <= 0) {
    bytes[0] = 0;
    n = 1;
  }
  return static_cast<size_t>(n - 1);
}

// Commits one text field: its text, normalised, into its field, and the
// field shown back when it holds something else than the control (a text
// cut to fit, or normalised).
void Commit(const FormBinding& b) {
  wchar_t typed[VT_PATH_CAP];
  char bytes[2 * VT_PATH_CAP];
  size_t n = TypedBytes(b, bytes, typed);
  form_text_commit(&editor_state.working, b, bytes, n);
  wchar_t stored[VT_PATH_CAP];
  field_to_text(stored, VT_PATH_CAP, form_field(&editor_state.working, b), b.width);
  if (wcscmp(stored, typed) != 0) TextSet(b.id, stored);
}

// A start folder into a new project's field, so that the field holds what
// the form shows; a folder the field cannot hold exactly leaves it empty.
void StartFolderTake(char* field, size_t size, const wchar_t* folder) {
  if (!text_to_field(field, size, folder)) memset(field, 0, size);
}

void TextNotified(const FormBinding& b, int code) {
  if (editor.filling || b.kind == BIND_SHOWN) return;
  if (code != EN_KILLFOCUS) {
    editor.pending_edit = b.id;
    return;
  }
  editor.pending_edit = -1;
  Commit(b);
}

void OptionNotified(const FormBinding& b, int id, int code) {
  if (editor.filling) return;
  if (b.kind != BIND_LIST && code != BN_CLICKED) return;
  FormView view;
  ViewRead(&view);
  form_option_command(id, &view, &editor_state.working);
  ViewEnablesApply(view);
}

}  // namespace

void form_prepare() {
  HWND dialog = editor.main;
  for (int list : {IDC_INSTALL_TIMEOUT, IDC_UNINSTALL_TIMEOUT}) {
    for (int i = 0; i <= IDS_TIMEOUT_LAST - IDS_TIMEOUT_FIRST; ++i) {
      wchar_t entry[VT_PATH_CAP];
      MessageTextLoad(entry, VT_PATH_CAP, IDS_TIMEOUT_FIRST + i);
      SendDlgItemMessageW(dialog, list, CB_INSERTSTRING, i, reinterpret_cast<LPARAM>(entry));
    }
    SendDlgItemMessageW(dialog, list, CB_SETCURSEL, 0, 0);
  }
  for (size_t i = 0; i < form_binding_count; ++i) {
    const FormBinding& b = form_bindings[i];
    if (b.limit) SendDlgItemMessageW(dialog, b.id, EM_LIMITTEXT, b.limit, 0);
    if (b.kind == BIND_SHOWN) SendDlgItemMessageW(dialog, b.id, EM_SETREADONLY, TRUE, 0);
    // Version numbers are digits: no input method.
    if (b.kind == BIND_DIGITS) ImmAssociateContext(Control(b.id), NULL);
  }
}

void form_show_record(const ProjectEntry* entry) {
  for (size_t i = 0; i < form_binding_count; ++i)
    if (IsTextBinding(form_bindings[i])) FieldShow(form_bindings[i]);
  TextSet(IDC_BUILD_COUNT, entry ? entry->build_count : L"");
  DateShow(IDC_CREATED_AT, entry ? entry->created_at : L"");
  DateShow(IDC_UPDATED_AT, entry ? entry->updated_at : L" ");
  TextSet(IDC_UPDATE_COUNT, entry ? entry->update_count : L"");
  OptionsShow();
  editor.pending_edit = -1;
}

void reset_project_record() {
  project_record_clear(&editor_state.working);
  new_project_guid(editor_state.working.project_guid);
}

void form_new_project(bool reset) {
  editor_state.build_count = 0;
  if (reset) reset_project_record();
  editor_start_folders_reset();
  ProjectRecord& r = editor_state.working;
  StartFolderTake(r.project_folder, sizeof r.project_folder, editor_state.start.project);
  StartFolderTake(r.installer_folder, sizeof r.installer_folder, editor_state.start.installer);
  editor_state.saved = r;
  for (int id : {IDC_PROJECT_GUID, IDC_PROJECT_FOLDER, IDC_INSTALLER_FOLDER}) form_show_field(id);
  for (int id : {IDC_PROJECT_NAME, IDC_PRODUCT_NAME, IDC_VERSION_MAJOR, IDC_VERSION_MINOR,
                 IDC_VERSION_BUILD, IDC_MODULE_PATH, IDC_SETUP_NAME})
    TextSet(id, L"");
  TextSet(IDC_BUILD_COUNT, kNewBuildCount);
  TextSet(IDC_CREATED_AT, kNoDate);
  TextSet(IDC_UPDATED_AT, kNoDate);
  TextSet(IDC_UPDATE_COUNT, kNewUpdateCount);
  OptionsShow();
  editor.pending_edit = -1;
}

void form_record_as_typed(ProjectRecord* record) {
  *record = editor_state.working;
  const FormBinding* b =
      editor.pending_edit >= 0 ? form_binding_find(editor.pending_edit) : NULL;
  if (!b) return;
  char bytes[2 * VT_PATH_CAP];
  size_t n = TypedBytes(*b, bytes, NULL);
  form_text_commit(record, *b, bytes, n);
}

void form_commit_pending() {
  if (editor.pending_edit < 0) return;
  const FormBinding* b = form_binding_find(editor.pending_edit);
  editor.pending_edit = -1;
  if (b) Commit(*b);
}

bool form_command(int id, int code) {
  const FormBinding* b = form_binding_find(id);
  if (!b) return false;
  if (IsTextBinding(*b))
    TextNotified(*b, code);
  else
    OptionNotified(*b, id, code);
  return true;
}

void form_show_field(int id) {
  const FormBinding* b = form_binding_find(id);
  if (!b) return;
  if (IsTextBinding(*b))
    FieldShow(*b);
  else if (b->kind == BIND_CHECK)
    CheckDlgButton(editor.main, id, *form_field(&editor_state.working, *b) == 1 ? BST_CHECKED
                                                                                 : BST_UNCHECKED);
}

void form_show_build_count() {
  wchar_t text[16];
  TextFormat(text, 16, L"%d", editor_state.build_count);
  TextSet(IDC_BUILD_COUNT, text);
}

void form_show_saved(const wchar_t* stamp14, int update_count) {
  DateShow(IDC_UPDATED_AT, stamp14);
  wchar_t text[16];
  TextFormat(text, 16, L"%8d", update_count);
  TextSet(IDC_UPDATE_COUNT, text);
}
