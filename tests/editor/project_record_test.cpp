// The project record: a new project, the GUID text, the content checks of a
// project file and the separator search in its path fields.
#include "editor/project/project_record.h"

#include <gtest/gtest.h>

#include <string.h>

#include <string>

namespace {

TEST(ProjectRecord, NewProjectHasFourZerosSixOnesAndSixNuls) {
  ProjectRecord record;
  memset(&record, 0xAA, sizeof record);
  project_record_clear(&record);
  EXPECT_EQ(std::string(record.os_flags, 16), std::string("0000111111\0\0\0\0\0\0", 16));
  // Every other byte is zero.
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(&record);
  for (size_t i = 0; i < sizeof record; ++i) {
    if (i >= offsetof(ProjectRecord, os_flags) && i < offsetof(ProjectRecord, os_flags) + 10)
      continue;
    ASSERT_EQ(bytes[i], 0) << "byte " << i;
  }
}

TEST(ProjectRecord, GuidIsFormattedUpperCaseAndPadded) {
  char field[48];
  memset(field, 'x', sizeof field);
  const uint8_t data4[8] = {0x8A, 0x6B, 0x7C, 0x8D, 0x9E, 0x0F, 0x1A, 0x2B};
  project_guid_format(field, 0x6F1C2A3B, 0x0D4E, 0x4F50, data4);
  EXPECT_EQ(std::string(field), "{6F1C2A3B-0D4E-4F50-8A6B-7C8D9E0F1A2B}");
  EXPECT_EQ(std::string(field + 38, 10), std::string(10, '\0'));
  EXPECT_TRUE(project_guid_valid(field, sizeof field));

  const uint8_t small[8] = {0, 1, 2, 3, 4, 5, 6, 7};
  project_guid_format(field, 0x1, 0x2, 0x3, small);
  EXPECT_EQ(std::string(field), "{00000001-0002-0003-0001-020304050607}");
}

TEST(ProjectRecord, OnlyAGuidTextNamesAProjectFolder) {
  struct Case {
    const char* text;
    bool valid;
  } cases[] = {
      {"{6F1C2A3B-0D4E-4F50-8A6B-7C8D9E0F1A2B}", true},
      {"{6f1c2a3b-0d4e-4f50-8a6b-7c8d9e0f1a2b}", true},
      {"", false},                                         // the project root itself
      {"..\\..\\Windows", false},                          // a folder elsewhere
      {"{6F1C2A3B-0D4E-4F50-8A6B-7C8D9E0F1A2}", false},    // one digit short
      {"{6F1C2A3B-0D4E-4F50-8A6B-7C8D9E0F1A2BC}", false},  // one too many
      {"{6F1C2A3B-0D4E-4F50-8A6B-7C8D9E0F1A2G}", false},
      {"{6F1C2A3B\\0D4E-4F50-8A6B-7C8D9E0F1A2B}", false},
      {"(6F1C2A3B-0D4E-4F50-8A6B-7C8D9E0F1A2B)", false},
  };
  for (const Case& c : cases) {
    char field[48] = {};
    strncpy(field, c.text, sizeof field);
    EXPECT_EQ(project_guid_valid(field, sizeof field), c.valid) << c.text;
  }
  // A field without any NUL is no GUID text either.
  char full[48];
  memset(full, 'A', sizeof full);
  EXPECT_FALSE(project_guid_valid(full, sizeof full));
}

ProjectRecord ValidRecord() {
  ProjectRecord record;
  project_record_clear(&record);
  strcpy(record.project_name, "Sample");
  strcpy(record.project_guid, "{6F1C2A3B-0D4E-4F50-8A6B-7C8D9E0F1A2B}");
  return record;
}

TEST(ProjectRecord, ContentChecksRunOnSizeNameAndGuid) {
  ProjectRecord record = ValidRecord();
  std::string bytes(reinterpret_cast<const char*>(&record), sizeof record);
  EXPECT_EQ(project_file_check_content(bytes.data(), bytes.size()), 0);
  EXPECT_EQ(project_file_check_content(bytes.data(), 2695), PROJECT_MSG_NOT_PROJECT);
  std::string longer = bytes + "x";
  EXPECT_EQ(project_file_check_content(longer.data(), longer.size()), PROJECT_MSG_NOT_PROJECT);
  EXPECT_EQ(project_file_check_content(bytes.data(), 0), PROJECT_MSG_NOT_PROJECT);

  std::string no_name = bytes;
  no_name[0] = 0;
  EXPECT_EQ(project_file_check_content(no_name.data(), no_name.size()), PROJECT_MSG_INVALID);
  std::string bad_guid = bytes;
  bad_guid[offsetof(ProjectRecord, project_guid)] = 0;
  EXPECT_EQ(project_file_check_content(bad_guid.data(), bad_guid.size()), PROJECT_MSG_INVALID);

  // Anything else is carried as it is: there is no magic number.
  std::string other = bytes;
  for (size_t i = offsetof(ProjectRecord, module_path); i < other.size(); ++i)
    other[i] = static_cast<char>(i * 7);
  EXPECT_EQ(project_file_check_content(other.data(), other.size()), 0);
}

// Path fields split at their last real "\"; "ソ" (0x83 0x5C) ends in one.
TEST(ProjectRecord, PathFieldsSplitAtTheRealSeparator) {
  struct Case {
    const char* path;
    ptrdiff_t folder;  // length of the folder part, -1 for none
  } cases[] = {
      {"C:\\dir\\setup.exe", 6},
      {"C:\\dir\\\x83\x5C\x83t\x83g.exe", 6},  // ソフト.exe
      {"C:\\\x83\x5C\\setup.exe", 5},          // ソ\setup.exe
      {"\x83\x5C", -1},                        // ソ alone
      {"setup.exe", -1},
      {"", -1},
      {"C:\\dir\\", 6},
  };
  for (const Case& c : cases) {
    char field[272] = {};
    strcpy(field, c.path);
    EXPECT_EQ(field_folder_length(field, sizeof field), c.folder) << c.path;
    EXPECT_EQ(field_name_offset(field, sizeof field), static_cast<size_t>(c.folder + 1)) << c.path;
  }
}

TEST(ProjectRecord, FieldsWithoutNulAreBoundedByTheirSize) {
  char field[8];
  memset(field, 'a', sizeof field);
  field[3] = '\\';
  EXPECT_EQ(field_length(field, sizeof field), 8u);
  EXPECT_EQ(field_folder_length(field, sizeof field), 3);
}

}  // namespace
