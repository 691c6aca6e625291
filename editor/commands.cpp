// The project commands of the main window: new, open, save, save as and
// close with the change confirmation, opening a recent project and drawing
// a new GUID; and the program's side of the project files: the working
// record with its saved copy and the remembered folders.
#include <string.h>

#include "common/message.h"
#include "common/time_stamp.h"
#include "common/window.h"
#include "editor/editor.h"
#include "editor/project/editor_text.h"
#include "editor/resource.h"

namespace {

// The first length bytes of a field as UTF-16 into a VT_PATH_CAP buffer.
bool FieldPrefixToText(wchar_t* out, const char* field, size_t length) {
  return field_to_text(out, VT_PATH_CAP, field, length);
}

// After an open: the folder of the file, the module's folder when the
// module path holds one, the installer folder when set. A folder whose
// condition fails keeps its value.
void RememberOpened(const wchar_t* path, const ProjectRecord* record) {
  EditorFolders& remembered = editor_state.remembered;
  wchar_t folder[VT_PATH_CAP], name[VT_PATH_CAP];
  if (path_split(path, folder, VT_PATH_CAP, name, VT_PATH_CAP))
    TextCopy(remembered.project, VT_PATH_CAP, folder);
  ptrdiff_t cut = field_folder_length(record->module_path, sizeof record->module_path);
  if (cut >= 0 && FieldPrefixToText(folder, record->module_path, static_cast<size_t>(cut)))
    TextCopy(remembered.module, VT_PATH_CAP, folder);
  if (record->installer_folder[0] &&
      FieldPrefixToText(folder, record->installer_folder, sizeof record->installer_folder))
    TextCopy(remembered.installer, VT_PATH_CAP, folder);
  editor_start_folders_reset();
}

// After a save: the module path cut at its last "\" (the whole text when it
// holds none), the installer folder, and the folder of the project file.
void RememberSaved(const wchar_t* path, const ProjectRecord* record) {
  EditorFolders& remembered = editor_state.remembered;
  wchar_t folder[VT_PATH_CAP], name[VT_PATH_CAP];
  path_split(path, folder, VT_PATH_CAP, name, VT_PATH_CAP);
  ptrdiff_t cut = field_folder_length(record->module_path, sizeof record->module_path);
  size_t module_length = cut >= 0 ? static_cast<size_t>(cut)
                                  : field_length(record->module_path, sizeof record->module_path);
  FieldPrefixToText(remembered.module, record->module_path, module_length);
  FieldPrefixToText(remembered.installer, record->installer_folder,
                    sizeof record->installer_folder);
  TextCopy(remembered.project, VT_PATH_CAP, folder);
  editor_start_folders_reset();
}

// Whether a save got past its checks: every result but the three that
// change nothing.
bool SaveBegan(int result) {
  return result != PROJECT_SAVE_NO_GUID && result != PROJECT_SAVE_BAD_PATH &&
         result != PROJECT_SAVE_NO_FOLDER;
}

enum SaveKind {
  SAVE_PLAIN,   // 603, also when closing
  SAVE_AS,      // 604
  SAVE_SWITCH   // "保存する" before a new or opened project
};

// What the project list says of the open project, and the time now.
struct Lookup {
  bool registered;
  ProjectEntry entry;
  int update_count;
  wchar_t stamp[LIST_STAMP_LENGTH + 1];
};

bool Changed() { return project_records_differ(&editor_state.working, &editor_state.saved); }

void Guid(wchar_t* guid) { project_guid_text(editor_state.working, guid); }

// The leading decimal digits of a text (spaces skipped first), at most max.
int LeadingNumber(const wchar_t* text, int max) {
  while (*text == L' ') ++text;
  int n = 0;
  for (int i = 0; i < max && text[i] >= L'0' && text[i] <= L'9'; ++i) n = n * 10 + (text[i] - L'0');
  return n;
}

// The preamble of the project commands: the pending edit committed, the
// project looked up, the time taken.
void Preamble(Lookup* l) {
  form_commit_pending();
  wchar_t guid[PROJECT_GUID_LENGTH + 1];
  Guid(guid);
  DWORD error = 0;
  memset(&l->entry, 0, sizeof l->entry);
  l->registered =
      find_project_entry(editor_state.base_folder, guid, &l->entry, &error) == LIST_OK;
  l->update_count = l->registered ? LeadingNumber(l->entry.update_count, 8) : 0;
  TimeStamp now;
  TimeStampMake(&now);
  for (int i = 0; i < LIST_STAMP_LENGTH; ++i) l->stamp[i] = static_cast<wchar_t>(now.text[i]);
  l->stamp[LIST_STAMP_LENGTH] = 0;
}

bool NameMissing() {
  if (editor_state.working.project_name[0]) return false;
  message_show(IDS_NO_PROJECT_NAME, CAPTION_WARNING, MB_OK | MB_ICONEXCLAMATION);
  return true;
}

// The project start folder, or the base folder when that is empty.
const wchar_t* StartFolder() {
  return editor_state.start.project[0] ? editor_state.start.project : editor_state.base_folder;
}

// The file a save writes, by the save-target rule. *dialog tells whether
// the save dialog chose it. Returns false when the dialog was cancelled or
// no path can be formed.
bool SaveTarget(SaveKind kind, const Lookup& l, wchar_t* path, bool* dialog) {
  wchar_t registered[VT_PATH_CAP];
  bool has_path = l.registered && TextFormat(registered, VT_PATH_CAP, L"%s\\%s", l.entry.folder,
                                             l.entry.file_name) >= 0;
  *dialog = false;
  if (has_path && (kind == SAVE_PLAIN || (kind == SAVE_SWITCH && editor.project_path[0])))
    return TextCopy(path, VT_PATH_CAP, registered) >= 0;
  *dialog = true;
  if (has_path && kind == SAVE_AS) return project_file_save_dialog(l.entry.folder, path);
  if (has_path) return project_file_save_dialog(registered, path);
  wchar_t name[VT_PATH_CAP], proposed[VT_PATH_CAP];
  field_to_text(name, VT_PATH_CAP, editor_state.working.project_name,
                sizeof editor_state.working.project_name);
  if (TextFormat(proposed, VT_PATH_CAP, L"%s\\%s.sip", StartFolder(), name) < 0)
    TextCopy(proposed, VT_PATH_CAP, StartFolder());
  return project_file_save_dialog(proposed, path);
}

// Reports a save that failed or was incomplete. Returns false when
// nothing was saved.
bool SaveReport(int result, int detail, DWORD error) {
  if (result == PROJECT_SAVED) return true;
  wchar_t text[VT_MESSAGE_CAP];
  MessageTextFormat(text, VT_MESSAGE_CAP, IDS_SAVE_BASE + result,
                    detail, static_cast<int>(error));
  bool saved = result == PROJECT_SAVED_NO_COPY;
  message_text_show(text, saved ? CAPTION_WARNING : CAPTION_ERROR, MB_OK | MB_ICONEXCLAMATION);
  return saved;
}

// Writes the project file at the target of kind. Returns false when the
// dialog was cancelled or the save failed (and was reported).
bool SaveRun(SaveKind kind, const Lookup& l, wchar_t* path, bool* dialog) {
  if (!SaveTarget(kind, l, path, dialog)) return false;
  int detail = 0;
  DWORD error = 0;
  int result = save_project_file(path, *dialog, &detail, &error);
  if (!SaveReport(result, detail, error)) return false;
  // The list may hold builds that other processes counted meanwhile.
  form_show_build_count();
  return true;
}

// The change confirmation before a new or opened project. Returns true
// when the command goes on.
bool ConfirmSwitch() {
  INT_PTR answer = DialogBoxParamW(editor.instance, MAKEINTRESOURCEW(IDD_SAVE_CONFIRM),
                                   editor.main, SaveConfirmDialogProc, 0);
  if (answer == 3) return true;    // 破棄する
  if (answer != 1) return false;   // 中止する
  if (NameMissing()) return false;
  Lookup l;
  Preamble(&l);
  wchar_t path[VT_PATH_CAP];
  bool dialog;
  return SaveRun(SAVE_SWITCH, l, path, &dialog);
}

// The signing switch and the settings path of one record into another.
void SigningFieldsCopy(const ProjectRecord& from, ProjectRecord* to) {
  to->code_signing = from.code_signing;
  memcpy(to->signing_settings_path, from.signing_settings_path, sizeof to->signing_settings_path);
}

void MenuRebuild() {
  rebuild_recent_menu(1);
  rebuild_recent_menu(0);
}

void Post(int id) { PostMessageW(editor.main, WM_COMMAND, MAKEWPARAM(id, 0), 0); }

// Opens path: the file's checks, then the record, its counters and dates.
void OpenPath(const wchar_t* path) {
  const wchar_t* caption = NULL;
  DWORD error = 0;
  int message = open_project_file(path, &caption, &error);
  if (message) {
    message_show(message, caption, MB_OK | MB_ICONEXCLAMATION);
    return;
  }
  wchar_t guid[PROJECT_GUID_LENGTH + 1];
  Guid(guid);
  ProjectEntry entry;
  bool listed = find_project_entry(editor_state.base_folder, guid, &entry, &error) == LIST_OK;
  editor_state.build_count = listed ? LeadingNumber(entry.build_count, 6) : 0;
  form_show_record(listed ? &entry : NULL);
  MenuRebuild();
}

// Writes the project at the target of a plain save or a save as and makes
// it the saved state: the saved copy, the remembered project path, the
// folder, date and count shown, the recent-projects menu. *dialog tells
// whether the save dialog chose the file. Returns SAVE_DONE, or
// SAVE_CANCELLED when the dialog was cancelled, SAVE_FAILED when the save
// failed (it has been reported; the changes stay in the editor).
enum SaveResult { SAVE_DONE, SAVE_CANCELLED, SAVE_FAILED };
SaveResult SaveProject(bool save_as, const Lookup& l, bool* dialog) {
  wchar_t path[VT_PATH_CAP];
  *dialog = false;
  if (!SaveTarget(save_as ? SAVE_AS : SAVE_PLAIN, l, path, dialog)) return SAVE_CANCELLED;
  int detail = 0;
  DWORD error = 0;
  int result = save_project_file(path, *dialog, &detail, &error);
  if (!SaveReport(result, detail, error)) return SAVE_FAILED;
  editor_state.saved = editor_state.working;
  TextCopy(editor.project_path, VT_PATH_CAP, path);
  form_show_field(IDC_PROJECT_FOLDER);
  form_show_saved(l.stamp, (save_as ? 0 : l.update_count) + 1);
  MenuRebuild();
  return SAVE_DONE;
}

// The change confirmation of a close. Returns its answer: 1 save, 2 stay,
// 3 discard; 3 also when there is no change. A changed project without a
// name is asked about too (its typing would be lost), and "保存する" then
// says that the name is missing and stays.
INT_PTR ConfirmClose() {
  form_commit_pending();
  if (!Changed()) return 3;
  INT_PTR answer = DialogBoxParamW(editor.instance, MAKEINTRESOURCEW(IDD_SAVE_CONFIRM),
                                   editor.main, SaveConfirmDialogProc, 0);
  return answer == 1 && NameMissing() ? 2 : answer;
}

}  // namespace

int open_project_file(const wchar_t* path, const wchar_t** caption, DWORD* sysError) {
  ProjectRecord opened;
  int message = project_file_open(path, editor_state.project_root, &opened, caption, sysError);
  if (message) return message;
  editor_state.working = opened;
  editor_state.saved = opened;
  RememberOpened(path, &opened);
  return 0;
}

int save_project_file(const wchar_t* path, bool chosen_in_dialog, int* detail,
                      DWORD* sysError) {
  int result = project_file_save(&editor_state.working, path, editor_store(), chosen_in_dialog,
                                 &editor_state.build_count, detail, sysError);
  if (SaveBegan(result)) RememberSaved(path, &editor_state.working);
  return result;
}

void load_last_folders() {
  EditorFolders& f = editor_state.remembered;
  last_folders_read(editor_state.base_folder, f.project, f.module, f.installer);
}

void store_last_folders() {
  const EditorFolders& f = editor_state.remembered;
  last_folders_write(editor_state.base_folder, f.project, f.module, f.installer);
}

void command_new() {
  Lookup l;
  Preamble(&l);
  if (Changed() && !ConfirmSwitch()) return;
  form_new_project(true);
  MenuRebuild();
}

void command_open() {
  Lookup l;
  Preamble(&l);
  wchar_t path[VT_PATH_CAP];
  bool from_menu = TextCopy(path, VT_PATH_CAP, editor.path_to_open) > 0;
  editor.path_to_open[0] = 0;
  if (Changed() && !ConfirmSwitch()) return;
  if (!from_menu && !project_file_open_dialog(StartFolder(), path)) return;
  OpenPath(path);
}

void command_save(bool save_as) {
  Lookup l;
  Preamble(&l);
  if (NameMissing()) {
    editor.close_after_save = false;
    return;
  }
  if (!save_as && !Changed()) {
    message_show(IDS_NO_CHANGES, CAPTION_WARNING, MB_OK | MB_ICONQUESTION);
    return;
  }
  bool closing = editor.close_after_save;
  editor.close_after_save = false;
  bool dialog = false;
  // A failed save keeps the editor open with the project changed: nothing
  // typed is lost.
  SaveResult result = SaveProject(save_as, l, &dialog);
  if (result == SAVE_FAILED) return;
  if (result == SAVE_CANCELLED) {
    // A save asked for by closing closes the editor without saving when
    // its dialog is cancelled.
    if (closing) {
      editor_state.saved = editor_state.working;
      Post(IDCANCEL);
    }
    return;
  }
  if (closing)
    Post(IDCANCEL);
  else if (!dialog)
    message_show(IDS_SAVED, CAPTION_CONFIRM, MB_OK | MB_ICONQUESTION);
}

void command_close() {
  INT_PTR answer = ConfirmClose();
  if (answer == 1) {  // 保存する: the save closes the editor when it is done
    editor.close_after_save = true;
    Post(IDM_SAVE);
    return;
  }
  if (answer != 3) return;  // 中止する
  store_last_folders();
  EndDialog(editor.main, IDCANCEL);
}

bool command_session_end() {
  INT_PTR answer = ConfirmClose();
  if (answer != 1) return answer == 3;
  // The session ends once this returns: the save runs now, and a save
  // that did not write the file (cancelled, failed) keeps the session.
  Lookup l;
  Preamble(&l);
  bool dialog = false;
  return SaveProject(false, l, &dialog) == SAVE_DONE;
}

void command_recent(int id) {
  int i = id - IDM_RECENT_FIRST;
  if (i < 0 || i >= editor.recent.count) return;
  const ListEntry& e = editor.recent.records[i].entry;
  wchar_t folder[VT_PATH_CAP], name[VT_PATH_CAP];
  if (!field_to_text(folder, VT_PATH_CAP, e.folder, sizeof e.folder) ||
      !field_to_text(name, VT_PATH_CAP, e.file_name, sizeof e.file_name) ||
      TextFormat(editor.path_to_open, VT_PATH_CAP, L"%s\\%s", folder, name) < 0)
    editor.path_to_open[0] = 0;
  Post(IDM_OPEN);
}

void command_guid_reissue() {
  if (editor.project_path[0] &&
      message_show(IDS_GUID_REISSUE_ASK, CAPTION_CONFIRM, MB_YESNO | MB_ICONQUESTION) != IDYES)
    return;
  editor.project_path[0] = 0;
  // The new GUID goes into the saved copy as well: drawing it alone is no
  // change that needs saving.
  if (new_project_guid(editor_state.working.project_guid))
    memcpy(editor_state.saved.project_guid, editor_state.working.project_guid,
           sizeof editor_state.saved.project_guid);
  form_show_field(IDC_PROJECT_GUID);
}

void signing_registration_store() {
  const ProjectRecord& working = editor_state.working;
  ProjectRecord& saved = editor_state.saved;
  if (saved.code_signing == working.code_signing &&
      memcmp(saved.signing_settings_path, working.signing_settings_path,
             sizeof saved.signing_settings_path) == 0)
    return;
  // The registered project file takes the two fields and nothing else: a
  // file that is no longer this project's is left alone.
  wchar_t guid[PROJECT_GUID_LENGTH + 1], path[VT_PATH_CAP];
  ProjectEntry entry;
  ProjectRecord file;
  DWORD error = 0;
  int status = -1;
  Guid(guid);
  if (find_project_entry(editor_state.base_folder, guid, &entry, &error) == LIST_OK &&
      TextFormat(path, VT_PATH_CAP, L"%s\\%s", entry.folder, entry.file_name) >= 0 &&
      project_file_load(path, &file, &error) == 0 &&
      memcmp(file.project_guid, working.project_guid, sizeof file.project_guid) == 0) {
    SigningFieldsCopy(working, &file);
    status = project_file_store(path, &file, &error);
  }
  if (status < 0) {
    // Not stored: the project stays changed, to be saved as a whole.
    wchar_t text[VT_MESSAGE_CAP];
    MessageTextFormat(text, VT_MESSAGE_CAP, IDS_SAVE_FILE_FAILED, status,
                      static_cast<int>(error));
    message_text_show(text, CAPTION_ERROR, MB_OK | MB_ICONEXCLAMATION);
    return;
  }
  SigningFieldsCopy(working, &saved);
}
