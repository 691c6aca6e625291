// Fuzzes the reading of a project file: the content checks and the
// separator search in every path field, on any bytes of any length.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "editor/project/project_record.h"

namespace {

void CheckPathField(const char* field, size_t size) {
  size_t length = field_length(field, size);
  ptrdiff_t folder = field_folder_length(field, size);
  if (folder >= 0 && (static_cast<size_t>(folder) >= length || field[folder] != '\\')) abort();
  if (folder < -1) abort();
  if (field_name_offset(field, size) > length) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  int result = project_file_check_content(data, size);
  if (size != PROJECT_RECORD_SIZE) {
    if (result != PROJECT_MSG_NOT_PROJECT) abort();
    // Fuzz the fields of a record padded or cut from the input as well.
  }
  ProjectRecord record;
  memset(&record, 0, sizeof record);
  memcpy(&record, data, size < sizeof record ? size : sizeof record);
  if (size == PROJECT_RECORD_SIZE) {
    bool usable = record.project_name[0] != 0 &&
                  project_guid_valid(record.project_guid, sizeof record.project_guid);
    if ((result == 0) != usable) abort();
    if (result != 0 && result != PROJECT_MSG_INVALID) abort();
  }
  CheckPathField(record.project_folder, sizeof record.project_folder);
  CheckPathField(record.module_path, sizeof record.module_path);
  CheckPathField(record.installer_folder, sizeof record.installer_folder);
  CheckPathField(record.signing_settings_path, sizeof record.signing_settings_path);
  CheckPathField(record.linked_installer_path, sizeof record.linked_installer_path);
  return 0;
}
