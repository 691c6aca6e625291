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
bool RecordProjectFolder(const ProjectRecord* record, const wchar_t* project_root,
                         wchar_t* folder) {
  wchar_t guid[PROJECT_GUID_LENGTH + 1];
  return project_guid_text(*record, guid) && store_project_folder(project_root, guid, folder);
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

// The save of record as path, in folder and name, recorded in the project
// list of base_folder; only when the list took it, the file is written.
// Returns PROJECT_SAVED, PROJECT_SAVE_LIST_FAILED or
// PROJECT_SAVE_FILE_FAILED.
int ListThenFile(const ProjectRecord* record, const wchar_t* base_folder, const wchar_t* path,
                 const wchar_t* folder, const wchar_t* name, int* build_count, int* detail,
                 DWORD* sysError) {
  TimeStamp stamp;
  TimeStampMake(&stamp);
  wchar_t stamp_text[LIST_STAMP_LENGTH + 1], project_name[VT_PATH_CAP];
  wchar_t guid[PROJECT_GUID_LENGTH + 1];
  StampText(&stamp, stamp_text);
  field_to_text(project_name, VT_PATH_CAP, record->project_name, sizeof record->project_name);
  project_guid_text(*record, guid);
  int listed = record_project_save(base_folder, stamp_text, project_name, guid, folder, name,
                                   build_count, sysError);
  if (listed != LIST_OK) {
    *detail = listed;
    return PROJECT_SAVE_LIST_FAILED;
  }
  DWORD error = 0;
  int written = project_file_store(path, record, &error);
  if (written >= 0) return PROJECT_SAVED;
  *sysError = error;
  *detail = written;
  return PROJECT_SAVE_FILE_FAILED;
}

// A last-folder file and the folder it is read into or written from.
template <typename Folder>
struct LastFolderFile {
  const wchar_t* name;
  Folder* folder;
};

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

int project_file_open(const wchar_t* path, const wchar_t* project_root, ProjectRecord* record,
                      const wchar_t** caption, DWORD* sysError) {
  ProjectRecord scratch;
  int check = project_file_load(path, &scratch, sysError);
  *caption = check == PROJECT_MSG_UNREADABLE ? CAPTION_ERROR : CAPTION_WARNING;
  if (check) return check;
  wchar_t folder[VT_PATH_CAP];
  if (!RecordProjectFolder(&scratch, project_root, folder) || !FolderExists(folder))
    return PROJECT_MSG_INVALID;
  *record = scratch;
  *caption = NULL;
  return 0;
}

int project_file_save(ProjectRecord* record, const wchar_t* path, const ProjectStore& store,
                      bool chosen_in_dialog, int* build_count, int* detail, DWORD* sysError) {
  *detail = 0;
  *sysError = 0;
  // Everything that could make the save refer to another place is checked
  // before anything changes.
  if (!project_guid_valid(record->project_guid, sizeof record->project_guid))
    return PROJECT_SAVE_NO_GUID;
  wchar_t folder[VT_PATH_CAP], name[VT_PATH_CAP], project_folder[VT_PATH_CAP];
  char folder_field[sizeof record->project_folder];
  char name_field[sizeof ListEntry().file_name];
  if (TextLength(path) > VT_PATH_MAX || !path_split(path, folder, VT_PATH_CAP, name, VT_PATH_CAP) ||
      !text_to_field(folder_field, sizeof folder_field, folder) ||
      !text_to_field(name_field, sizeof name_field, name) ||
      !RecordProjectFolder(record, store.project_root, project_folder))
    return PROJECT_SAVE_BAD_PATH;

  memcpy(record->project_folder, folder_field, sizeof folder_field);
  if (chosen_in_dialog) {
    int st = DirCreate(project_folder, sysError);
    if (!FolderExists(project_folder)) {
      *detail = st;
      return PROJECT_SAVE_NO_FOLDER;
    }
  }
  bool copied = CopyAttachment(record->linked_installer, record->linked_installer_path,
                               sizeof record->linked_installer_path, project_folder);
  copied &= CopyAttachment(record->code_signing, record->signing_settings_path,
                           sizeof record->signing_settings_path, project_folder);
  int saved = ListThenFile(record, store.base_folder, path, folder, name, build_count, detail,
                           sysError);
  if (saved != PROJECT_SAVED) return saved;
  return copied ? PROJECT_SAVED : PROJECT_SAVED_NO_COPY;
}

void last_folders_read(const wchar_t* base_folder, wchar_t* project, wchar_t* module,
                       wchar_t* installer) {
  const LastFolderFile<wchar_t> files[] = {{EDITOR_LAST_PROJECT_FILE, project},
                                           {EDITOR_LAST_MODULE_FILE, module},
                                           {EDITOR_LAST_INSTALLER_FILE, installer}};
  for (const auto& f : files) {
    f.folder[0] = 0;
    wchar_t path[VT_PATH_CAP];
    char bytes[LAST_FOLDER_FILE_SIZE] = {};
    DWORD error = 0;
    if (!store_path(base_folder, f.name, path) ||
        FileReadAll(path, sizeof bytes, bytes, &error) != ST_OK)
      continue;
    field_to_text(f.folder, VT_PATH_CAP, bytes, sizeof bytes);
  }
}

void last_folders_write(const wchar_t* base_folder, const wchar_t* project,
                        const wchar_t* module, const wchar_t* installer) {
  const LastFolderFile<const wchar_t> files[] = {{EDITOR_LAST_PROJECT_FILE, project},
                                                 {EDITOR_LAST_MODULE_FILE, module},
                                                 {EDITOR_LAST_INSTALLER_FILE, installer}};
  for (const auto& f : files) {
    wchar_t path[VT_PATH_CAP];
    char bytes[LAST_FOLDER_FILE_SIZE];
    // A folder that code page 932 cannot hold exactly would be remembered
    // as another folder: its file is left as it is.
    if (f.folder[0] == 0 || !text_to_field(bytes, sizeof bytes, f.folder) ||
        !store_path(base_folder, f.name, path))
      continue;
    DWORD error = 0;
    FileReplaceWrite(path, sizeof bytes, bytes, &error);
  }
}
