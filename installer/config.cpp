// Reading the configuration document and the command line into the
// settings record.
#include <stddef.h>

#include "installer/installer.h"
#include "package/config_keys.h"
#include "package/config_values.h"

namespace {

// Sizes of the buffers values are read into, as the document's readers have
// always used them: a flag or a time-out is judged by what fits.
const DWORD kValueCap = 128;     // numbers, the checksum and most flags
const DWORD kShortValueCap = 24;  // the restart, replacement and entry flags

// How a value is taken into its destination.
enum ConfigKind : uint8_t {
  KIND_TEXT,         // the text itself (wchar_t[capacity])
  KIND_TEXT_IF_SET,  // the text, unless it is empty (wchar_t[capacity])
  KIND_FLAG,         // config_flag (bool)
  KIND_TIMEOUT,      // config_timeout, seconds (int)
  KIND_NUMBER,       // config_number of `digits` digits (int32_t)
  KIND_CHECKSUM      // config_checksum (uint32_t)
};

// Where a value goes: the offset of its field in Settings.
#define FIELD(member) static_cast<uint16_t>(offsetof(InstallerSettings, member))
static_assert(sizeof(InstallerSettings) <= 0xFFFF, "every field offset fits 16 bits");

enum ConfigSection : uint8_t { SECTION_INIT, SECTION_COPY, SECTION_UNINSTALL };
const wchar_t* const kSections[] = {WIDE(CFG_INIT), WIDE(CFG_COPY), WIDE(CFG_UNINSTALL)};

// One key: a compact row, since every package carries the table.
struct ConfigEntry {
  const wchar_t* key;
  uint16_t field;     // offset of the destination in Settings
  uint16_t capacity;  // characters read, terminator included
  uint8_t group;      // ConfigGroup
  uint8_t section;    // ConfigSection
  uint8_t kind;       // ConfigKind
  uint8_t digits;     // KIND_NUMBER only
};

// Every key the Installer reads, in the order it reads them.
const ConfigEntry kEntries[] = {
    {WIDE(CFG_INSTALL_GUID), FIELD(guid), SETTINGS_TEXT_CAP,
     CONFIG_INSTALL, SECTION_INIT, KIND_TEXT, 0},
    {WIDE(CFG_PGM_NAME), FIELD(program_name), SETTINGS_TEXT_CAP,
     CONFIG_INSTALL, SECTION_INIT, KIND_TEXT, 0},
    {WIDE(CFG_GUI_CO_NAME), FIELD(company_name), SETTINGS_TEXT_CAP,
     CONFIG_INSTALL, SECTION_INIT, KIND_TEXT, 0},
    {WIDE(CFG_ADMINISTRATOR), FIELD(admin_required), kValueCap,
     CONFIG_INSTALL, SECTION_INIT, KIND_FLAG, 0},
    {WIDE(CFG_FILE_LEN), FIELD(image_length), kValueCap,
     CONFIG_INSTALL, SECTION_INIT, KIND_NUMBER, 8},
    {WIDE(CFG_FILE_NAME), FIELD(file_name), SETTINGS_TEXT_CAP,
     CONFIG_INSTALL, SECTION_COPY, KIND_TEXT, 0},
    {WIDE(CFG_FILE_CRC), FIELD(expected_checksum), kValueCap,
     CONFIG_INSTALL, SECTION_COPY, KIND_CHECKSUM, 0},
    {WIDE(CFG_VER_MAJOR), FIELD(ver_major), kValueCap,
     CONFIG_INSTALL, SECTION_INIT, KIND_NUMBER, 5},
    {WIDE(CFG_VER_MINOR), FIELD(ver_minor), kValueCap,
     CONFIG_INSTALL, SECTION_INIT, KIND_NUMBER, 5},
    {WIDE(CFG_VER_BUILD), FIELD(ver_build), kValueCap,
     CONFIG_INSTALL, SECTION_INIT, KIND_NUMBER, 5},
    {WIDE(CFG_INSTALL_TYPE), FIELD(silent), kValueCap, CONFIG_INSTALL, SECTION_INIT, KIND_FLAG, 0},
    {WIDE(CFG_WARNING_MSG), FIELD(warn), kValueCap, CONFIG_INSTALL, SECTION_INIT, KIND_FLAG, 0},
    {WIDE(CFG_WARNING_TYPE), FIELD(popup_timeout), kValueCap,
     CONFIG_INSTALL, SECTION_INIT, KIND_TIMEOUT, 0},
    {WIDE(CFG_COPY_ERROR), FIELD(replace_at_restart), kShortValueCap,
     CONFIG_INSTALL, SECTION_INIT, KIND_FLAG, 0},
    {WIDE(CFG_REBOOT_MSG), FIELD(restart_prompt), kShortValueCap,
     CONFIG_INSTALL, SECTION_INIT, KIND_FLAG, 0},
    {WIDE(CFG_REBOOT_RUN), FIELD(restart_allowed), kShortValueCap,
     CONFIG_INSTALL, SECTION_INIT, KIND_FLAG, 0},
    {WIDE(CFG_UNINSTALL_NOT), FIELD(no_uninstall_registration), kShortValueCap,
     CONFIG_INSTALL, SECTION_INIT, KIND_FLAG, 0},

    {WIDE(CFG_UN_CO_NAME), FIELD(company_name), SETTINGS_TEXT_CAP,
     CONFIG_UNINSTALL, SECTION_UNINSTALL, KIND_TEXT_IF_SET, 0},
    {WIDE(CFG_UNINSTALL_TYPE), FIELD(silent), kValueCap,
     CONFIG_UNINSTALL, SECTION_UNINSTALL, KIND_FLAG, 0},
    {WIDE(CFG_WARNING_MSG), FIELD(warn), kValueCap,
     CONFIG_UNINSTALL, SECTION_UNINSTALL, KIND_FLAG, 0},
    {WIDE(CFG_WARNING_TYPE), FIELD(popup_timeout), kShortValueCap,
     CONFIG_UNINSTALL, SECTION_UNINSTALL, KIND_TIMEOUT, 0},
    {WIDE(CFG_DELETE_ERROR), FIELD(delete_at_restart), kShortValueCap,
     CONFIG_UNINSTALL, SECTION_UNINSTALL, KIND_FLAG, 0},
    {WIDE(CFG_REBOOT_MSG), FIELD(restart_prompt), kShortValueCap,
     CONFIG_UNINSTALL, SECTION_UNINSTALL, KIND_FLAG, 0},
    {WIDE(CFG_REBOOT_RUN), FIELD(restart_allowed), kShortValueCap,
     CONFIG_UNINSTALL, SECTION_UNINSTALL, KIND_FLAG, 0},

    {WIDE(CFG_OS_VER), FIELD(os_mask), VT_PATH_CAP, CONFIG_OS_MASK, SECTION_INIT, KIND_TEXT, 0},

    {WIDE(CFG_UN_DSP_NAME), FIELD(entry.display), VT_PATH_CAP,
     CONFIG_ENTRY, SECTION_UNINSTALL, KIND_TEXT, 0},
    {WIDE(CFG_UN_COMMENTS), FIELD(entry.comments), VT_PATH_CAP,
     CONFIG_ENTRY, SECTION_UNINSTALL, KIND_TEXT, 0},
    {WIDE(CFG_UN_CO_NAME), FIELD(entry.publisher), VT_PATH_CAP,
     CONFIG_ENTRY, SECTION_UNINSTALL, KIND_TEXT, 0},
    {WIDE(CFG_UN_CO_URL), FIELD(entry.help), VT_PATH_CAP,
     CONFIG_ENTRY, SECTION_UNINSTALL, KIND_TEXT, 0},
    {WIDE(CFG_UN_PGM_URL), FIELD(entry.about), VT_PATH_CAP,
     CONFIG_ENTRY, SECTION_UNINSTALL, KIND_TEXT, 0},
    {WIDE(CFG_UN_UPD_URL), FIELD(entry.update), VT_PATH_CAP,
     CONFIG_ENTRY, SECTION_UNINSTALL, KIND_TEXT, 0},
};

// Reads one key with an empty default (a missing key reads as an empty
// value) and takes it into its destination.
void EntryRead(const ConfigEntry& e) {
  void* destination = reinterpret_cast<char*>(&Settings) + e.field;
  wchar_t value[kValueCap];
  bool direct = e.kind == KIND_TEXT;
  wchar_t* into = direct ? static_cast<wchar_t*>(destination) : value;
  DWORD capacity = direct || e.capacity < kValueCap ? e.capacity : kValueCap;
  if (e.kind == KIND_TEXT_IF_SET) capacity = kValueCap;
  GetPrivateProfileStringW(kSections[e.section], e.key, L"", into, capacity,
                           Settings.document_path);
  switch (e.kind) {
    case KIND_TEXT: break;
    case KIND_TEXT_IF_SET:
      if (value[0]) TextCopy(static_cast<wchar_t*>(destination), e.capacity, value);
      break;
    case KIND_FLAG: *static_cast<bool*>(destination) = config_flag(value); break;
    case KIND_TIMEOUT: *static_cast<int*>(destination) = config_timeout(value); break;
    case KIND_NUMBER: *static_cast<int32_t*>(destination) = config_number(value, e.digits); break;
    case KIND_CHECKSUM: *static_cast<uint32_t*>(destination) = config_checksum(value); break;
  }
}

}  // namespace

void read_configuration_group(ConfigGroup group) {
  for (const ConfigEntry& e : kEntries)
    if (e.group == group) EntryRead(e);
}

void read_configuration() {
  read_configuration_group(CONFIG_INSTALL);
  TextCopy(Settings.document_guid, SETTINGS_TEXT_CAP, Settings.guid);
}

void read_command_line(const wchar_t* line) {
  Settings.uninstall_mode = false;
  if (!command_line_is_uninstall(line)) return;

  Settings.uninstall_mode = true;
  Settings.silent = Settings.warn = Settings.delete_at_restart = false;
  Settings.restart_prompt = Settings.restart_allowed = false;
  Settings.popup_timeout = 0;
  read_configuration_group(CONFIG_UNINSTALL);
  // The GUID is checked before it names anything (environment_checks).
  command_line_guid(line, Settings.guid, SETTINGS_TEXT_CAP);
}
