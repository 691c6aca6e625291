// Reading the configuration document and the command line into the
// settings record.
#include "installer/installer.h"
#include "package/config_keys.h"
#include "package/config_values.h"

namespace {

// Reads one key of the document with an empty default; a missing key reads
// as an empty value.
void ConfigRead(const wchar_t* section, const wchar_t* key, wchar_t* value,
                DWORD capacity) {
  GetPrivateProfileStringW(section, key, L"", value, capacity, Settings.document_path);
}

bool ConfigFlag(const wchar_t* section, const wchar_t* key, DWORD capacity) {
  wchar_t value[128];
  ConfigRead(section, key, value, capacity < 128 ? capacity : 128);
  return config_flag(value);
}

int ConfigTimeout(const wchar_t* section, const wchar_t* key, DWORD capacity) {
  wchar_t value[128];
  ConfigRead(section, key, value, capacity < 128 ? capacity : 128);
  return config_timeout(value);
}

int ConfigNumber(const wchar_t* section, const wchar_t* key, int digits) {
  wchar_t value[128];
  ConfigRead(section, key, value, 128);
  return config_number(value, digits);
}

const wchar_t kInit[] = WIDE(CFG_INIT);
const wchar_t kCopy[] = WIDE(CFG_COPY);
const wchar_t kUninstall[] = WIDE(CFG_UNINSTALL);

}  // namespace

void read_configuration() {
  InstallerSettings& s = Settings;
  ConfigRead(kInit, WIDE(CFG_INSTALL_GUID), s.guid, SETTINGS_TEXT_CAP);
  TextCopy(s.document_guid, SETTINGS_TEXT_CAP, s.guid);
  ConfigRead(kInit, WIDE(CFG_PGM_NAME), s.program_name, SETTINGS_TEXT_CAP);
  ConfigRead(kInit, WIDE(CFG_GUI_CO_NAME), s.company_name, SETTINGS_TEXT_CAP);
  s.admin_required = ConfigFlag(kInit, WIDE(CFG_ADMINISTRATOR), 128);
  s.image_length = ConfigNumber(kInit, WIDE(CFG_FILE_LEN), 8);

  ConfigRead(kCopy, WIDE(CFG_FILE_NAME), s.file_name, SETTINGS_TEXT_CAP);
  wchar_t crc[128];
  ConfigRead(kCopy, WIDE(CFG_FILE_CRC), crc, 128);
  s.expected_checksum = config_checksum(crc);

  s.ver_major = ConfigNumber(kInit, WIDE(CFG_VER_MAJOR), 5);
  s.ver_minor = ConfigNumber(kInit, WIDE(CFG_VER_MINOR), 5);
  s.ver_build = ConfigNumber(kInit, WIDE(CFG_VER_BUILD), 5);

  s.silent = ConfigFlag(kInit, WIDE(CFG_INSTALL_TYPE), 128);
  s.warn = ConfigFlag(kInit, WIDE(CFG_WARNING_MSG), 128);
  s.popup_timeout = ConfigTimeout(kInit, WIDE(CFG_WARNING_TYPE), 128);
  s.replace_at_restart = ConfigFlag(kInit, WIDE(CFG_COPY_ERROR), 24);
  s.restart_prompt = ConfigFlag(kInit, WIDE(CFG_REBOOT_MSG), 24);
  s.restart_allowed = ConfigFlag(kInit, WIDE(CFG_REBOOT_RUN), 24);
  s.no_uninstall_registration = ConfigFlag(kInit, WIDE(CFG_UNINSTALL_NOT), 24);
}

void read_command_line(const wchar_t* line) {
  InstallerSettings& s = Settings;
  s.uninstall_mode = false;
  if (!command_line_is_uninstall(line)) return;

  s.uninstall_mode = true;
  s.silent = s.warn = s.delete_at_restart = false;
  s.restart_prompt = s.restart_allowed = false;
  s.popup_timeout = 0;

  wchar_t company[128];
  ConfigRead(kUninstall, WIDE(CFG_UN_CO_NAME), company, 128);
  if (company[0]) TextCopy(s.company_name, SETTINGS_TEXT_CAP, company);

  // The GUID is checked before it names anything (environment_checks).
  command_line_guid(line, s.guid, SETTINGS_TEXT_CAP);

  s.silent = ConfigFlag(kUninstall, WIDE(CFG_UNINSTALL_TYPE), 128);
  s.warn = ConfigFlag(kUninstall, WIDE(CFG_WARNING_MSG), 128);
  s.popup_timeout = ConfigTimeout(kUninstall, WIDE(CFG_WARNING_TYPE), 24);
  s.delete_at_restart = ConfigFlag(kUninstall, WIDE(CFG_DELETE_ERROR), 24);
  s.restart_prompt = ConfigFlag(kUninstall, WIDE(CFG_REBOOT_MSG), 24);
  s.restart_allowed = ConfigFlag(kUninstall, WIDE(CFG_REBOOT_RUN), 24);
}
