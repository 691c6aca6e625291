// The Installer's decisions that need no system call.
#include "installer/rules.h"

#include "common/text.h"

namespace {

const wchar_t kUninstallSwitch[] = L"-UnInstall";
const size_t kSwitchLength = 10;
const size_t kGuidLength = 38;
const size_t kGuidMaxChars = 255;

bool IsHexDigit(wchar_t c) {
  return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f') ||
         (c >= L'A' && c <= L'F');
}

// A composed path must also fit what the file layer accepts.
int PathResult(wchar_t* out, int length) {
  if (length > VT_PATH_MAX) {
    out[0] = 0;
    return -1;
  }
  return length;
}

}  // namespace

bool startup_popup_wanted(int status, bool silent_marker) {
  return status >= 1 && status <= 19 && !silent_marker;
}

bool command_line_is_uninstall(const wchar_t* line) {
  if (!line) return false;
  for (size_t i = 0; i < kSwitchLength; ++i)
    if (line[i] != kUninstallSwitch[i]) return false;  // also stops at the end
  return true;
}

void command_line_guid(const wchar_t* line, wchar_t* guid, size_t cap) {
  if (cap == 0) return;
  guid[0] = 0;
  if (!line || TextLengthMax(line, kSwitchLength + 2) <= kSwitchLength + 1) return;
  const wchar_t* from = line + kSwitchLength + 1;
  size_t n = 0;
  while (from[n] && n < kGuidMaxChars && n + 1 < cap) {
    guid[n] = from[n];
    ++n;
  }
  guid[n] = 0;
}

bool guid_is_braced(const wchar_t* text) {
  if (!text || TextLengthMax(text, kGuidLength + 1) != kGuidLength) return false;
  for (size_t i = 0; i < kGuidLength; ++i) {
    wchar_t c = text[i];
    bool ok;
    if (i == 0) ok = c == L'{';
    else if (i == kGuidLength - 1) ok = c == L'}';
    else if (i == 9 || i == 14 || i == 19 || i == 24) ok = c == L'-';
    else ok = IsHexDigit(c);
    if (!ok) return false;
  }
  return true;
}

int uninstall_check(const wchar_t* command_guid, const wchar_t* document_guid,
                    const wchar_t* file_name) {
  if (!guid_is_braced(command_guid) || !document_guid) return RUN_BAD_UNINSTALL_GUID;
  for (size_t i = 0; i < kGuidLength; ++i) {
    wchar_t a = command_guid[i], b = document_guid[i];
    if (a >= L'a' && a <= L'f') a = static_cast<wchar_t>(a - (L'a' - L'A'));
    if (b >= L'a' && b <= L'f') b = static_cast<wchar_t>(b - (L'a' - L'A'));
    if (a != b) return RUN_BAD_UNINSTALL_GUID;
  }
  if (document_guid[kGuidLength] != 0) return RUN_BAD_UNINSTALL_GUID;
  return file_name_is_plain(file_name) ? RUN_OK : RUN_INTEGRITY;
}

bool file_name_is_plain(const wchar_t* name) {
  if (!name || !name[0]) return false;
  if (name[0] == L'.' && (!name[1] || (name[1] == L'.' && !name[2]))) return false;
  for (const wchar_t* p = name; *p; ++p) {
    wchar_t c = *p;
    if (c < 0x20) return false;
    switch (c) {
      case L'\\': case L'/': case L':': case L'*': case L'?':
      case L'"': case L'<': case L'>': case L'|':
        return false;
      default:
        break;
    }
  }
  return true;
}

int compose_target_path(wchar_t* out, size_t cap, const wchar_t* system_folder,
                        const wchar_t* file_name) {
  return PathResult(out, TextFormat(out, cap, L"%s\\%s", system_folder, file_name));
}

int compose_uninstall_folder(wchar_t* out, size_t cap,
                             const wchar_t* program_files, const wchar_t* guid) {
  return PathResult(out, TextFormat(out, cap, L"%s\\HV-Vanto\\%s", program_files, guid));
}

int compose_uninstaller_path(wchar_t* out, size_t cap, const wchar_t* folder) {
  return PathResult(out, TextFormat(out, cap, L"%s\\hvuninst.exe", folder));
}

int compose_uninstall_key(wchar_t* out, size_t cap, const wchar_t* guid) {
  return TextFormat(out, cap, L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\%s",
                    guid);
}

int compose_uninstall_command(wchar_t* out, size_t cap, const wchar_t* folder,
                              const wchar_t* guid) {
  return TextFormat(out, cap, L"\"%s\\hvuninst.exe\" -UnInstall/%s", folder, guid);
}

int compose_regsvr32_path(wchar_t* out, size_t cap, const wchar_t* system_folder) {
  return PathResult(out, TextFormat(out, cap, L"%s\\regsvr32.exe", system_folder));
}

int compose_registration_command(wchar_t* out, size_t cap,
                                 const wchar_t* regsvr32_path,
                                 const wchar_t* module, bool register_it) {
  return TextFormat(out, cap, register_it ? L"\"%s\" /s \"%s\"" : L"\"%s\" /u /s \"%s\"",
                    regsvr32_path, module);
}

CopyOutcome copy_outcome(bool copied, bool replace_at_restart) {
  if (copied) return COPY_DONE;
  return replace_at_restart ? COPY_AT_RESTART : COPY_FAILED;
}

DeleteOutcome delete_outcome(bool deleted, unsigned error, bool delete_at_restart) {
  const unsigned kFileNotFound = 2;  // ERROR_FILE_NOT_FOUND
  if (deleted) return DELETE_DONE;
  if (error == kFileNotFound) return DELETE_MISSING;
  return delete_at_restart ? DELETE_AT_RESTART : DELETE_FAILED;
}

bool operation_failed(int status) {
  return status != RUN_OK && status != RUN_MODULE_MISSING;
}

SilentReport silent_report(int status, bool warn, bool restart_needed,
                           bool restart_prompt, bool restart_allowed) {
  if (operation_failed(status)) return warn ? REPORT_FAILURE : REPORT_NOTHING;
  if (restart_needed && restart_prompt)
    return restart_allowed ? REPORT_RESTART_ASK : REPORT_RESTART_TELL;
  return REPORT_NOTHING;
}

int uninstall_entry_rows(const UninstallTexts& texts,
                         RegistryRow rows[UNINSTALL_ROWS_MAX]) {
  const RegistryRow all[UNINSTALL_ROWS_MAX] = {
      {L"DisplayName", texts.display_name},
      {L"DisplayVersion", texts.display_version},
      {L"Comments", texts.comments},
      {L"Publisher", texts.publisher},
      {L"UnInstallLocation", texts.location},
      {L"HelpLink", texts.help_link},
      {L"URLInfoAbout", texts.url_info_about},
      {L"URLUpdateInfo", texts.url_update_info},
      {L"InstallUserInfo", texts.user_info},
      {L"UninstallString", texts.uninstall_string},
  };
  int count = 0;
  for (const RegistryRow& row : all)
    if (row.text && row.text[0]) rows[count++] = row;
  return count;
}

Completion completion_after_progress(int progress_result, bool uninstall_mode,
                                     int status, bool restart_needed) {
  if (progress_result != 1) return COMPLETION_NONE;
  if (restart_needed) return COMPLETION_RESTART_ASK;
  if (!uninstall_mode) return COMPLETION_INSTALLED;
  return status == RUN_MODULE_MISSING ? COMPLETION_MODULE_MISSING : COMPLETION_UNINSTALLED;
}
