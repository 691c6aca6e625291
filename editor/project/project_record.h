// The project record: everything the editor knows about one installer
// project, and the project file, which is this record written byte for byte
// (2696 bytes, no header, no version, no check value). Compiles without
// windows.h.
//
// Map of the record (offsets in bytes, text fields code page 932,
// NUL-terminated inside the field and NUL-padded to its end; flags 0 or 1):
//
//    0  128  project_name            never empty in a valid project file
//  128  272  project_folder          folder of the project file, no trailing "\"
//  400   48  project_guid            "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", NULs
//  448  272  module_path             the COM module to install
//  720  128  product_name
//  848    8  version_major           up to 5 decimal digits
//  856    8  version_minor
//  864    8  version_build
//  872   16  os_flags                "0000" + six "1"/"0" + six NULs
//  888  128  setup_program_name
// 1016  272  installer_folder
// 1288   15  flags (one byte each, see the struct)
// 1303    1  reserved
// 1304    1  code_signing
// 1305    1  linked_installer
// 1306   30  reserved, carried as loaded
// 1336  272  signing_settings_path   "codesign.txt" in the project folder
// 1608  272  linked_installer_path   after a save, its copy in the project folder
// 1880  816  reserved, carried as loaded
#pragma once

#include <stddef.h>
#include <stdint.h>

enum {
  PROJECT_RECORD_SIZE = 2696,
  PROJECT_GUID_LENGTH = 38  // characters of the GUID text, braces included
};

struct ProjectRecord {
  char project_name[128];
  char project_folder[272];
  char project_guid[48];
  char module_path[272];
  char product_name[128];
  char version_major[8];
  char version_minor[8];
  char version_build[8];
  char os_flags[16];
  char setup_program_name[128];
  char installer_folder[272];
  uint8_t require_admin;
  uint8_t install_type;             // 0 normal, 1 silent
  uint8_t install_warning;
  uint8_t install_warning_timeout;  // 0-13
  uint8_t uninstall_run;
  uint8_t copy_error_mode;          // 1 = replace at restart
  uint8_t install_reboot_message;
  uint8_t install_reboot_run;
  uint8_t uninstall_type;           // 0 normal, 1 silent
  uint8_t uninstall_warning;
  uint8_t uninstall_warning_timeout;
  uint8_t delete_error_mode;        // 1 = delete at restart
  uint8_t uninstall_reboot_message;
  uint8_t uninstall_reboot_run;
  uint8_t no_uninstall_entry;
  uint8_t reserved_1303;
  uint8_t code_signing;
  uint8_t linked_installer;
  uint8_t reserved_1306[30];
  char signing_settings_path[272];
  char linked_installer_path[272];
  uint8_t reserved_1880[816];
};

static_assert(sizeof(ProjectRecord) == PROJECT_RECORD_SIZE, "ProjectRecord is 2696 bytes");
static_assert(offsetof(ProjectRecord, project_name) == 0x000, "project_name");
static_assert(offsetof(ProjectRecord, project_folder) == 0x080, "project_folder");
static_assert(offsetof(ProjectRecord, project_guid) == 0x190, "project_guid");
static_assert(offsetof(ProjectRecord, module_path) == 0x1C0, "module_path");
static_assert(offsetof(ProjectRecord, product_name) == 0x2D0, "product_name");
static_assert(offsetof(ProjectRecord, version_major) == 0x350, "version_major");
static_assert(offsetof(ProjectRecord, version_minor) == 0x358, "version_minor");
static_assert(offsetof(ProjectRecord, version_build) == 0x360, "version_build");
static_assert(offsetof(ProjectRecord, os_flags) == 0x368, "os_flags");
static_assert(offsetof(ProjectRecord, setup_program_name) == 0x378, "setup_program_name");
static_assert(offsetof(ProjectRecord, installer_folder) == 0x3F8, "installer_folder");
static_assert(offsetof(ProjectRecord, require_admin) == 0x508, "require_admin");
static_assert(offsetof(ProjectRecord, install_type) == 0x509, "install_type");
static_assert(offsetof(ProjectRecord, install_warning) == 0x50A, "install_warning");
static_assert(offsetof(ProjectRecord, install_warning_timeout) == 0x50B, "install_warning_timeout");
static_assert(offsetof(ProjectRecord, uninstall_run) == 0x50C, "uninstall_run");
static_assert(offsetof(ProjectRecord, copy_error_mode) == 0x50D, "copy_error_mode");
static_assert(offsetof(ProjectRecord, install_reboot_message) == 0x50E, "install_reboot_message");
static_assert(offsetof(ProjectRecord, install_reboot_run) == 0x50F, "install_reboot_run");
static_assert(offsetof(ProjectRecord, uninstall_type) == 0x510, "uninstall_type");
static_assert(offsetof(ProjectRecord, uninstall_warning) == 0x511, "uninstall_warning");
static_assert(offsetof(ProjectRecord, uninstall_warning_timeout) == 0x512, "uninstall_warning_timeout");
static_assert(offsetof(ProjectRecord, delete_error_mode) == 0x513, "delete_error_mode");
static_assert(offsetof(ProjectRecord, uninstall_reboot_message) == 0x514, "uninstall_reboot_message");
static_assert(offsetof(ProjectRecord, uninstall_reboot_run) == 0x515, "uninstall_reboot_run");
static_assert(offsetof(ProjectRecord, no_uninstall_entry) == 0x516, "no_uninstall_entry");
static_assert(offsetof(ProjectRecord, reserved_1303) == 0x517, "reserved byte");
static_assert(offsetof(ProjectRecord, code_signing) == 0x518, "code_signing");
static_assert(offsetof(ProjectRecord, linked_installer) == 0x519, "linked_installer");
static_assert(offsetof(ProjectRecord, reserved_1306) == 0x51A, "reserved block");
static_assert(offsetof(ProjectRecord, signing_settings_path) == 0x538, "signing_settings_path");
static_assert(offsetof(ProjectRecord, linked_installer_path) == 0x648, "linked_installer_path");
static_assert(offsetof(ProjectRecord, reserved_1880) == 0x758, "reserved tail");

// Messages of the project-file opening checks: the numbers of their texts
// in the editor's string table.
enum {
  PROJECT_MSG_UNREADABLE = 2012,   // the file's size cannot be queried
  PROJECT_MSG_NOT_PROJECT = 2013,  // the size is not 2696 bytes
  PROJECT_MSG_INVALID = 2014       // empty name, bad GUID or no project folder
};

// Fills the record as a new project without a GUID: zeros, os_flags "0000"
// then six "1" and six NULs.
void project_record_clear(ProjectRecord* record);

// Writes a GUID into a 48-byte field as "{%08lX-%04X-%04X-%02X%02X-%02X...}"
// followed by NULs.
void project_guid_format(char* field, uint32_t data1, uint16_t data2,
                         uint16_t data3, const uint8_t data4[8]);

// True when the field (size bytes) holds, up to its first NUL, a GUID text
// of 38 characters in braces with hexadecimal digits of either case. Only
// such a text may name a project folder or a list key.
bool project_guid_valid(const char* field, size_t size);

// True when the two records differ in any of their 2696 bytes (the project
// then has unsaved changes).
bool project_records_differ(const ProjectRecord* a, const ProjectRecord* b);

// Checks of a project file's content that need no file system: 0 when
// bytes is a usable record, PROJECT_MSG_NOT_PROJECT when size is not 2696,
// PROJECT_MSG_INVALID when the name is empty or the GUID is not a GUID.
int project_file_check_content(const void* bytes, size_t size);

// Length of the text of a fixed field: up to its first NUL, at most size.
size_t field_length(const char* field, size_t size);

// The folder part of the path text in field (size bytes): the bytes before
// its last "\" that is not the second byte of a double-byte character.
// Returns the folder's length, or -1 when the text holds no separator.
ptrdiff_t field_folder_length(const char* field, size_t size);

// The file-name part of the path text in field: the offset of the first
// byte after the last real "\" (0 when there is none).
size_t field_name_offset(const char* field, size_t size);
