// Project files, project folders, new projects and the last-folder files.
#include "editor/project/project_file.h"

#include <objbase.h>
#include <string.h>

#include "common/file.h"
#include "common/message.h"
#include "common/time_stamp.h"
#include "editor/project/editor_text.h"
#include "editor/project/project_list.h"
#include "package/package.h"

namespace {

enum { LAST_FOLDER_FILE_SIZE = 280 };

bool FolderExists(const wchar_t* path) { return FileKindGet(path) == FILE_KIND_FOLDER; }

// The project folder named by a record's GUID field.
bool RecordProjectFolder(const ProjectRecord* record, wchar_t* folder) {
  wchar_t guid[PROJECT_GUID_LENGTH + 1];
  return project_guid_text(*record, guid) && editor_project_folder(guid, folder);
}

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
void RememberSaved(const wchar_t* project_folder, const ProjectRecord* record) {
  EditorFolders& remembered = editor_state.remembered;
  ptrdiff_t cut = field_folder_length(record->module_path, sizeof record->module_path);
  size_t module_length = cut >= 0 ? static_cast<size_t>(cut)
                                  : field_length(record->module_path, sizeof record->module_path);
  FieldPrefixToText(remembered.module, record->module_path, module_length);
  FieldPrefixToText(remembered.installer, record->installer_folder,
                    sizeof record->installer_folder);
  TextCopy(remembered.project, VT_PATH_CAP, project_folder);
  editor_start_folders_reset();
}

// Copies an attachment (the file a path field names) into the project
// folder unless a file of its name is there already, and then lets the
// field name the copy. The field changes only once the copy exists, so a
// failed copy never loses the original path. Returns false when a copy was
// due and could not be made.
bool CopyAttachment(uint8_t wanted, char* field, size_t size, const wchar_t* project_folder) {
  if (!wanted || field[0] == 0) return true;
  size_t name_at = field_name_offset(field, size);
  size_t length = field_length(field, size);
  wchar_t name[VT_PATH_CAP], target[VT_PATH_CAP], source[VT_PATH_CAP];
  if (name_at >= length || !field_to_text(name, VT_PATH_CAP, field + name_at, length - name_at))
    return false;
  if (TextFormat(target, VT_PATH_MAX + 1, L"%s\\%s", project_folder, name) < 0) return false;
  if (FileKindGet(target) != FILE_KIND_NONE) return true;
  char target_field[sizeof ProjectRecord().linked_installer_path];
  if (size != sizeof target_field || !text_to_field(target_field, size, target) ||
      !field_to_text(source, VT_PATH_CAP, field, size))
    return false;
  if (!CopyFileW(source, target, TRUE)) return false;
  memcpy(field, target_field, size);
  return true;
}

void StampText(const TimeStamp* stamp, wchar_t* text) {
  for (int i = 0; i < LIST_STAMP_LENGTH; ++i) text[i] = static_cast<wchar_t>(stamp->text[i]);
  text[LIST_STAMP_LENGTH] = 0;
}

struct LastFolderFile {
  const wchar_t* name;
  wchar_t* folder;
};

void LastFolderFiles(LastFolderFile files[3]) {
  files[0] = {EDITOR_LAST_PROJECT_FILE, editor_state.remembered.project};
  files[1] = {EDITOR_LAST_MODULE_FILE, editor_state.remembered.module};
  files[2] = {EDITOR_LAST_INSTALLER_FILE, editor_state.remembered.installer};
}

}  // namespace

bool project_guid_text(const ProjectRecord& record, wchar_t* guid) {
  return field_to_text(guid, PROJECT_GUID_LENGTH + 1, record.project_guid,
                       sizeof record.project_guid);
}

bool new_project_guid(char* field) {
  if (FAILED(CoInitialize(NULL))) return false;
  GUID guid;
  bool drawn = SUCCEEDED(CoCreateGuid(&guid));
  if (drawn) project_guid_format(field, guid.Data1, guid.Data2, guid.Data3, guid.Data4);
  CoUninitialize();
  return drawn;
}

void reset_project_record() {
  project_record_clear(&editor_state.working);
  new_project_guid(editor_state.working.project_guid);
}

int project_file_load(const wchar_t* path, ProjectRecord* record, DWORD* sysError) {
  DWORD size = 0;
  if (query_file_size(path, &size, sysError) != ST_OK) return PROJECT_MSG_UNREADABLE;
  if (size != PROJECT_RECORD_SIZE) return PROJECT_MSG_NOT_PROJECT;
  memset(record, 0, sizeof *record);
  if (FileReadAll(path, sizeof *record, record, sysError) != ST_OK) return PROJECT_MSG_INVALID;
  return project_file_check_content(record, sizeof *record);
}

int project_file_store(const wchar_t* path, const ProjectRecord* record, DWORD* sysError) {
  return FileReplaceWrite(path, sizeof(ProjectRecord), record, sysError);
}

int open_project_file(const wchar_t* path, const wchar_t** caption, DWORD* sysError) {
  ProjectRecord scratch;
  int check = project_file_load(path, &scratch, sysError);
  *caption = check == PROJECT_MSG_UNREADABLE ? CAPTION_ERROR : CAPTION_WARNING;
  if (check) return check;
  wchar_t folder[VT_PATH_CAP];
  if (!RecordProjectFolder(&scratch, folder) || !FolderExists(folder)) return PROJECT_MSG_INVALID;
  editor_state.working = scratch;
  editor_state.saved = scratch;
  RememberOpened(path, &scratch);
  *caption = NULL;
  return 0;
}

int save_project_file(const wchar_t* path, bool chosen_in_dialog, int* detail,
                      DWORD* sysError) {
  ProjectRecord& record = editor_state.working;
  *detail = 0;
  *sysError = 0;
  // Everything that could make the save refer to another place is checked
  // before anything changes.
  if (!project_guid_valid(record.project_guid, sizeof record.project_guid))
    return PROJECT_SAVE_NO_GUID;
  wchar_t folder[VT_PATH_CAP], name[VT_PATH_CAP], project_folder[VT_PATH_CAP];
  char folder_field[sizeof record.project_folder];
  char name_field[sizeof ListEntry().file_name];
  if (TextLength(path) > VT_PATH_MAX || !path_split(path, folder, VT_PATH_CAP, name, VT_PATH_CAP) ||
      !text_to_field(folder_field, sizeof folder_field, folder) ||
      !text_to_field(name_field, sizeof name_field, name) ||
      !RecordProjectFolder(&record, project_folder))
    return PROJECT_SAVE_BAD_PATH;

  memcpy(record.project_folder, folder_field, sizeof folder_field);
  if (chosen_in_dialog) {
    int st = DirCreate(project_folder, sysError);
    if (!FolderExists(project_folder)) {
      *detail = st;
      return PROJECT_SAVE_NO_FOLDER;
    }
  }
  bool copied = CopyAttachment(record.linked_installer, record.linked_installer_path,
                               sizeof record.linked_installer_path, project_folder);
  copied &= CopyAttachment(record.code_signing, record.signing_settings_path,
                           sizeof record.signing_settings_path, project_folder);
  RememberSaved(folder, &record);

  TimeStamp stamp;
  TimeStampMake(&stamp);
  wchar_t stamp_text[LIST_STAMP_LENGTH + 1], project_name[VT_PATH_CAP], guid[PROJECT_GUID_LENGTH + 1];
  StampText(&stamp, stamp_text);
  field_to_text(project_name, VT_PATH_CAP, record.project_name, sizeof record.project_name);
  project_guid_text(record, guid);
  int file_status = 0;
  int listed = record_project_save(stamp_text, project_name, guid, folder, name, &file_status,
                                   sysError);
  if (listed != LIST_OK) {
    *detail = listed;
    return PROJECT_SAVE_LIST_FAILED;
  }
  if (file_status < 0) {
    *detail = file_status;
    return PROJECT_SAVE_FILE_FAILED;
  }
  return copied ? PROJECT_SAVED : PROJECT_SAVED_NO_COPY;
}

void load_last_folders() {
  LastFolderFile files[3];
  LastFolderFiles(files);
  for (const LastFolderFile& f : files) {
    f.folder[0] = 0;
    wchar_t path[VT_PATH_CAP];
    char bytes[LAST_FOLDER_FILE_SIZE] = {};
    DWORD error = 0;
    if (!editor_base_path(f.name, path) ||
        FileReadAll(path, sizeof bytes, bytes, &error) != ST_OK)
      continue;
    field_to_text(f.folder, VT_PATH_CAP, bytes, sizeof bytes);
  }
}

void store_last_folders() {
  LastFolderFile files[3];
  LastFolderFiles(files);
  for (const LastFolderFile& f : files) {
    wchar_t path[VT_PATH_CAP];
    char bytes[LAST_FOLDER_FILE_SIZE];
    // A folder that code page 932 cannot hold exactly would be remembered
    // as another folder: its file is left as it is.
    if (f.folder[0] == 0 || !text_to_field(bytes, sizeof bytes, f.folder) ||
        !editor_base_path(f.name, path))
      continue;
    DWORD error = 0;
    FileReplaceWrite(path, sizeof bytes, bytes, &error);
  }
}
