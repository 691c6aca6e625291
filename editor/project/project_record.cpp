// The project record: new projects, GUID text and the content checks of a
// project file.
#include "editor/project/project_record.h"

#include <string.h>

#include "common/cp932.h"
#include "common/text.h"

void project_record_clear(ProjectRecord* record) {
  memset(record, 0, sizeof *record);
  memcpy(record->os_flags, "0000111111", 10);
}

void project_guid_format(char* field, uint32_t data1, uint16_t data2,
                         uint16_t data3, const uint8_t data4[8]) {
  char text[PROJECT_GUID_LENGTH + 1];
  TextFormat(text, sizeof text, "{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
             static_cast<unsigned>(data1), static_cast<unsigned>(data2),
             static_cast<unsigned>(data3), data4[0], data4[1], data4[2], data4[3],
             data4[4], data4[5], data4[6], data4[7]);
  Cp932FieldCopy(field, sizeof ProjectRecord().project_guid, text);
}

bool project_guid_valid(const char* field, size_t size) {
  static_assert(PROJECT_GUID_LENGTH == TEXT_GUID_LENGTH, "a braced GUID");
  return field_length(field, size) == PROJECT_GUID_LENGTH && TextGuidShaped(field);
}

bool project_records_differ(const ProjectRecord* a, const ProjectRecord* b) {
  return memcmp(a, b, sizeof *a) != 0;
}

int project_file_check_content(const void* bytes, size_t size) {
  if (size != PROJECT_RECORD_SIZE) return PROJECT_MSG_NOT_PROJECT;
  ProjectRecord record;
  memcpy(&record, bytes, sizeof record);
  if (record.project_name[0] == 0) return PROJECT_MSG_INVALID;
  if (!project_guid_valid(record.project_guid, sizeof record.project_guid))
    return PROJECT_MSG_INVALID;
  return 0;
}

size_t field_length(const char* field, size_t size) {
  return TextLengthMax(field, size);
}

ptrdiff_t field_folder_length(const char* field, size_t size) {
  return Cp932LastIndexOf(field, field_length(field, size), '\\');
}

size_t field_name_offset(const char* field, size_t size) {
  return static_cast<size_t>(field_folder_length(field, size) + 1);
}
