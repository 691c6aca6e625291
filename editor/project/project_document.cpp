// The configuration keys of a project's build.
#include "editor/project/project_document.h"

#include "common/os_code.h"
#include "common/text.h"
#include "package/config_keys.h"

namespace {

const int kTimeoutLast = 13;

// Appends a key whose value is copied from text (at most size bytes, up to
// its first NUL).
void Add(ProjectKeys* out, const char* section, const char* key, const char* text,
         size_t size) {
  if (out->count == PROJECT_KEYS_MAX) return;
  char* value = out->values[out->count];
  size_t n = TextLengthMax(text, size < PROJECT_KEY_VALUE_CAP - 1 ? size : PROJECT_KEY_VALUE_CAP - 1);
  for (size_t i = 0; i < n; ++i) value[i] = text[i];
  value[n] = 0;
  out->keys[out->count++] = PackageKey{section, key, value};
}

template <size_t N>
void AddField(ProjectKeys* out, const char* section, const char* key, const char (&field)[N]) {
  Add(out, section, key, field, N);
}

void AddFlag(ProjectKeys* out, const char* section, const char* key, uint8_t flag) {
  Add(out, section, key, flag == 1 ? "1" : "0", 1);
}

void AddTimeout(ProjectKeys* out, const char* section, uint8_t index) {
  char code[2] = {static_cast<char>('0' + (index > kTimeoutLast ? kTimeoutLast : index)), 0};
  Add(out, section, CFG_WARNING_TYPE, code, 1);
}

void AddNumber(ProjectKeys* out, const char* section, const char* key, const char* format,
               uint32_t number) {
  char text[16];
  TextFormat(text, sizeof text, format, static_cast<int>(number));
  Add(out, section, key, text, sizeof text);
}

void InitKeys(const ProjectRecord& r, ProjectKeys* out) {
  char mask[16];
  OsMaskFormat(r.os_flags, mask);
  AddField(out, CFG_INIT, CFG_INSTALL_GUID, r.project_guid);
  AddField(out, CFG_INIT, CFG_PGM_NAME, r.product_name);
  Add(out, CFG_INIT, CFG_OS_VER, mask, sizeof mask);
  if (r.version_major[0]) AddField(out, CFG_INIT, CFG_VER_MAJOR, r.version_major);
  if (r.version_minor[0]) AddField(out, CFG_INIT, CFG_VER_MINOR, r.version_minor);
  if (r.version_build[0]) AddField(out, CFG_INIT, CFG_VER_BUILD, r.version_build);
  AddFlag(out, CFG_INIT, CFG_ADMINISTRATOR, r.require_admin);
  AddFlag(out, CFG_INIT, CFG_INSTALL_TYPE, r.install_type);
  AddFlag(out, CFG_INIT, CFG_WARNING_MSG, r.install_warning);
  AddTimeout(out, CFG_INIT, r.install_warning_timeout);
  AddFlag(out, CFG_INIT, CFG_UNINSTALL_RUN, r.uninstall_run);
  AddFlag(out, CFG_INIT, CFG_COPY_ERROR, r.copy_error_mode);
  AddFlag(out, CFG_INIT, CFG_REBOOT_MSG, r.install_reboot_message);
  AddFlag(out, CFG_INIT, CFG_REBOOT_RUN, r.install_reboot_run);
  // The box "do not register the uninstaller" reaches the Installer; without
  // it the base document's value stands.
  if (r.no_uninstall_entry == 1) AddFlag(out, CFG_INIT, CFG_UNINSTALL_NOT, 1);
}

void UninstallKeys(const ProjectRecord& r, ProjectKeys* out) {
  AddField(out, CFG_UNINSTALL, CFG_UN_DSP_NAME, r.product_name);
  AddFlag(out, CFG_UNINSTALL, CFG_UNINSTALL_TYPE, r.uninstall_type);
  AddFlag(out, CFG_UNINSTALL, CFG_WARNING_MSG, r.uninstall_warning);
  AddTimeout(out, CFG_UNINSTALL, r.uninstall_warning_timeout);
  AddFlag(out, CFG_UNINSTALL, CFG_DELETE_ERROR, r.delete_error_mode);
  AddFlag(out, CFG_UNINSTALL, CFG_REBOOT_MSG, r.uninstall_reboot_message);
  AddFlag(out, CFG_UNINSTALL, CFG_REBOOT_RUN, r.uninstall_reboot_run);
}

}  // namespace

void project_document_keys(const ProjectRecord& record, const PackageModule& module,
                           ProjectKeys* out) {
  out->count = 0;
  InitKeys(record, out);
  Add(out, CFG_COPY, CFG_FILE_NAME, module.file_name ? module.file_name : "",
      PROJECT_KEY_VALUE_CAP);
  AddNumber(out, CFG_COPY, CFG_FILE_CRC, PACKAGE_CHECKSUM_FORMAT, module.checksum);
  AddNumber(out, CFG_COPY, CFG_FILE_LEN, PACKAGE_LENGTH_FORMAT, module.size);
  UninstallKeys(record, out);
}
