// The environment checks of an install run: the OS mask, the administrator
// rights, the names the package gives, and the payload with its checksum.
#include "common/file.h"
#include "common/message.h"
#include "common/os_code.h"
#include "installer/installer.h"
#include "installer/resource.h"
#include "package/config_keys.h"
#include "package/package.h"

namespace {

// A check's outcome in the log.
const wchar_t* const kPassed[] = {L"不合格", L"合格"};

// The popup of a failed check: icon 111, "OK", the status's two-line text
// with " - (status, error)" of the extraction, a countdown when the
// configuration gives a timeout.
void CheckFailureShow(int result, int extract_status, DWORD error) {
  popup_prepare(IDI_POPUP_WARNING, true);
  MessageSplitTwoLines(MessageTextShared(IDS_STATUS_BASE + result), extract_status, error,
                       Settings.popup_line1, VT_PATH_CAP, Settings.popup_line2,
                       VT_PATH_CAP);
  show_warning_popup(Settings.popup_timeout != 0);
}

// Whether the package names only what it may: a plain file name for the
// module and, where an uninstall entry is made, a braced GUID for its key
// and folder. Anything else would reach outside the system folder or
// another program's uninstall entry.
bool PackageNamesValid() {
  if (!file_name_is_plain(Settings.file_name)) return false;
  return Settings.no_uninstall_registration || guid_is_braced(Settings.guid);
}

// The payload found in the held package and, for a run that shows its
// dialog, its checksum compared with the document's; nothing is written
// anywhere. A silent run compares the checksum as it copies the module,
// reading the payload once (the operation's status 24). The package stays
// open, shared with readers only, to the end of the run: the bytes
// installed are the bytes checked. Returns 0, 23 or 24 with the read's
// status and error.
int PayloadCheck(int* extract_status, DWORD* error) {
  uint32_t checksum = 0;
  *error = 0;
  if (!Settings.package_held) {
    *extract_status = ST_OPEN_FAILED;
    *error = ERROR_SHARING_VIOLATION;
    return RUN_EXTRACT_FAILED;
  }
  Settings.payload_checked = !Settings.silent;
  *extract_status = payload_locate(Settings.package_held, Settings.image_length,
                                   &Settings.payload_offset, &Settings.payload_length,
                                   Settings.payload_checked ? &checksum : NULL, error);
  if (*extract_status < 0) {
    log_line(L"展開失敗: (%d, %u)", *extract_status, static_cast<unsigned>(*error));
    return RUN_EXTRACT_FAILED;
  }
  if (!Settings.payload_checked) {
    log_line(L"展開: %u バイト (チェックサムはコピーと共に確かめます, 期待値 %08X)",
             static_cast<unsigned>(Settings.payload_length), Settings.expected_checksum);
    return RUN_OK;
  }
  log_line(L"展開: %u バイト (チェックサム %08X, 期待値 %08X)",
           static_cast<unsigned>(Settings.payload_length), checksum, Settings.expected_checksum);
  if (checksum != Settings.expected_checksum) return RUN_INTEGRITY;
  return RUN_OK;
}

// Whether the folders the run works in are named in full: the system
// folder always, the Program Files folder when an uninstaller is made.
// Returns 0 or 25.
int FoldersCheck(bool uninstaller) {
  if (uninstaller) program_files_find();
  bool known = folder_is_absolute(Settings.system_folder) &&
               (!uninstaller || folder_is_absolute(Settings.program_files_folder));
  log_line(L"検査: システムフォルダ \"%s\", Program Files \"%s\": %s", Settings.system_folder,
           uninstaller ? Settings.program_files_folder : L"-", kPassed[known]);
  return known ? RUN_OK : RUN_NO_FOLDER;
}

int ChecksRun(int* extract_status, DWORD* error) {
  read_configuration_group(CONFIG_OS_MASK);
  bool allowed = OsMaskAllows(Settings.os_mask, Settings.os_code);
  log_line(L"検査: OS %d, 対象 %s: %s", Settings.os_code, Settings.os_mask, kPassed[allowed]);
  if (!allowed) return RUN_OS_REFUSED;
  // The 9x family allowed by the mask (95 OSR2, 98 SE, ME) has no rights.
  if (OsIsNtFamily(Settings.os_code) && Settings.admin_required) {
    bool admin = is_administrator();
    log_line(L"検査: 管理者権限: %s", kPassed[admin]);
    if (!admin) return RUN_NOT_ADMIN;
  }
  bool names = PackageNamesValid();
  log_line(L"検査: 名前 %s, %s: %s", Settings.file_name, Settings.guid, kPassed[names]);
  if (!names) return RUN_INTEGRITY;
  int folders = FoldersCheck(!Settings.no_uninstall_registration);
  if (folders != RUN_OK) return folders;
  return PayloadCheck(extract_status, error);
}

}  // namespace

int environment_checks() {
  // Uninstall mode examines the names it removes by: the GUID that names the
  // key, which must be this product's, and a plain name of the module.
  if (Settings.uninstall_mode) {
    int result = uninstall_check(Settings.guid, Settings.document_guid, Settings.file_name);
    log_line(L"検査: GUID %s, 名前 %s: %s", Settings.guid, Settings.file_name,
             kPassed[result == RUN_OK]);
    return result == RUN_OK ? FoldersCheck(false) : result;
  }

  int extract_status = 0;
  DWORD error = 0;
  int result = ChecksRun(&extract_status, &error);
  if (result != RUN_OK && Settings.warn) CheckFailureShow(result, extract_status, error);
  return result;
}

bool is_administrator() {
  HANDLE token = NULL;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  bool found = false;
  DWORD size = 0;
  GetTokenInformation(token, TokenGroups, NULL, 0, &size);
  TOKEN_GROUPS* groups =
      size ? static_cast<TOKEN_GROUPS*>(HeapAlloc(GetProcessHeap(), 0, size)) : NULL;
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  PSID administrators = NULL;
  if (groups && GetTokenInformation(token, TokenGroups, groups, size, &size) &&
      AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID,
                               DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                               &administrators)) {
    for (DWORD i = 0; i < groups->GroupCount && !found; ++i) {
      // A group held for deny only (a restricted or filtered token) grants
      // nothing: only an enabled membership counts.
      const SID_AND_ATTRIBUTES& group = groups->Groups[i];
      found = EqualSid(group.Sid, administrators) && (group.Attributes & SE_GROUP_ENABLED) &&
              !(group.Attributes & SE_GROUP_USE_FOR_DENY_ONLY);
    }
  }
  if (administrators) FreeSid(administrators);
  if (groups) HeapFree(GetProcessHeap(), 0, groups);
  CloseHandle(token);
  return found;
}
