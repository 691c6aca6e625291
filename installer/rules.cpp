// The Installer's decisions that need no system call.
#include "installer/rules.h"

#include "common/text.h"

namespace {

const wchar_t kUninstallSwitch[] = L"-UnInstall";
const size_t kSwitchLength = 10;
const size_t kGuidLength = TEXT_GUID_LENGTH;
const size_t kGuidMaxChars = 255;

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
  return text && TextLengthMax(text, kGuidLength + 1) == kGuidLength && TextGuidShaped(text);
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
                         RegistryRow rows[UNINSTALL_ROWS_MAX], const UninstallFacts* facts) {
  const RegistryRow all[] = {
      {L"DisplayName", texts.display_name, 0},
      {L"DisplayVersion", texts.display_version, 0},
      {L"Comments", texts.comments, 0},
      {L"Publisher", texts.publisher, 0},
      {L"UnInstallLocation", texts.location, 0},
      {L"HelpLink", texts.help_link, 0},
      {L"URLInfoAbout", texts.url_info_about, 0},
      {L"URLUpdateInfo", texts.url_update_info, 0},
      {L"InstallUserInfo", texts.user_info, 0},
      {L"UninstallString", texts.uninstall_string, 0},
      {L"DisplayIcon", facts ? facts->display_icon : NULL, 0},
      {L"InstallDate", facts ? facts->install_date : NULL, 0},
      {L"QuietUninstallString", facts ? facts->quiet_uninstall_string : NULL, 0},
  };
  int count = 0;
  for (const RegistryRow& row : all)
    if (row.text && row.text[0]) rows[count++] = row;
  if (!facts) return count;
  if (facts->estimated_size_kb) rows[count++] = {L"EstimatedSize", NULL, facts->estimated_size_kb};
  rows[count++] = {L"NoModify", NULL, 1};
  rows[count++] = {L"NoRepair", NULL, 1};
  return count;
}

int compose_quiet_uninstall_command(wchar_t* out, size_t cap, const wchar_t* command) {
  return TextFormat(out, cap, L"%s -Silent/", command);
}

SharedCount shared_count_classify(bool found, unsigned long type, unsigned long size,
                                  unsigned long value) {
  const unsigned long kDword = 4;  // REG_DWORD
  if (!found) return {SHARED_NONE, 0};
  if (type != kDword || size != 4) return {SHARED_UNKNOWN_FORM, 0};
  if (value == 0) return {SHARED_NONE, 0};
  return {SHARED_COUNTED, value};
}

SharedStep shared_count_after_install(SharedCount now, bool existed_before, bool reinstall) {
  if (now.kind == SHARED_UNKNOWN_FORM) return {false, 0, true};
  unsigned long count = now.kind == SHARED_COUNTED ? now.count : 0;
  if (count == SHARED_COUNT_MAX) return {false, count, true};
  if (reinstall && count) return {false, count, true};
  if (reinstall) return {true, 1, true};
  if (count == 0 && existed_before) count = 1;  // the earlier owner
  return {true, count + 1, true};
}

SharedStep shared_count_after_uninstall(SharedCount now) {
  if (now.kind == SHARED_UNKNOWN_FORM) return {false, 0, true};
  if (now.kind == SHARED_NONE) return {false, 0, false};
  if (now.count == SHARED_COUNT_MAX) return {false, now.count, true};
  if (now.count > 1) return {true, now.count - 1, true};
  return {true, 0, false};
}

int module_version_compare(const ModuleVersion& a, const ModuleVersion& b) {
  if (a.ms != b.ms) return a.ms < b.ms ? -1 : 1;
  if (a.ls != b.ls) return a.ls < b.ls ? -1 : 1;
  return 0;
}

ModulePlacement module_placement(bool in_place, bool identical,
                                 const ModuleVersion& in_place_version,
                                 const ModuleVersion& package_version) {
  if (!in_place) return PLACE_COPY;
  if (identical) return PLACE_KEEP_IDENTICAL;
  if (in_place_version.known && package_version.known &&
      module_version_compare(in_place_version, package_version) > 0)
    return PLACE_KEEP_NEWER;
  return PLACE_COPY;
}

bool registration_needed(ModulePlacement placement, bool reinstall) {
  return placement != PLACE_KEEP_IDENTICAL || !reinstall;
}

int module_version_text(wchar_t* out, size_t cap, const ModuleVersion& version) {
  if (!version.known) return TextCopy(out, cap, L"不明");
  return TextFormat(out, cap, L"%u.%u.%u.%u", static_cast<unsigned>(version.ms >> 16),
                    static_cast<unsigned>(version.ms & 0xFFFF),
                    static_cast<unsigned>(version.ls >> 16),
                    static_cast<unsigned>(version.ls & 0xFFFF));
}

bool folder_is_absolute(const wchar_t* folder) {
  if (!folder) return false;
  const wchar_t c = folder[0];
  bool letter = (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
  if (letter && folder[1] == L':' && folder[2] == L'\\') return true;
  // "\\server\share": a name for the server, then one for the share.
  if (c != L'\\' || folder[1] != L'\\') return false;
  const wchar_t* p = folder + 2;
  size_t server = 0;
  while (p[server] && p[server] != L'\\') ++server;
  return server > 0 && p[server] == L'\\' && p[server + 1] && p[server + 1] != L'\\';
}

namespace {

// Whether a character would break or bend a line of the log.
bool IsControl(wchar_t c) {
  return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029;
}

}  // namespace

size_t log_text_escape(const wchar_t* text, wchar_t* out, size_t cap) {
  static const wchar_t kHex[] = L"0123456789ABCDEF";
  if (cap == 0) return 0;
  size_t n = 0;
  for (const wchar_t* p = text; p && *p; ++p) {
    const unsigned c = static_cast<unsigned>(*p);
    wchar_t escape[7];
    size_t length = 0;
    if (!IsControl(*p)) {
      escape[length++] = *p;
    } else {
      const int digits = c > 0xFF ? 4 : 2;
      escape[length++] = L'\\';
      escape[length++] = digits == 4 ? L'u' : L'x';
      for (int d = digits - 1; d >= 0; --d) escape[length++] = kHex[(c >> (4 * d)) & 0xF];
    }
    if (n + length + 1 > cap) break;
    for (size_t i = 0; i < length; ++i) out[n++] = escape[i];
  }
  out[n] = 0;
  return n;
}

const wchar_t* run_status_meaning(int status) {
  switch (status) {
    case RUN_OK: return L"正常終了";
    case RUN_NO_DOCUMENT: return L"設定情報がありません";
    case RUN_NO_BANNER: return L"画像がありません";
    case RUN_DOCUMENT_WRITE: return L"設定情報を書き出せません";
    case RUN_BANNER_WRITE: return L"画像をメモリに置けません";
    case RUN_OS_REFUSED: return L"対象外のOSです";
    case RUN_NOT_ADMIN: return L"管理者権限がありません";
    case RUN_EXTRACT_FAILED: return L"モジュールを取り出せません";
    case RUN_INTEGRITY: return L"パッケージが壊れています";
    case RUN_NO_FOLDER: return L"システムフォルダまたはProgram Filesフォルダが不明です";
    case RUN_COPY_FAILED: return L"コピーに失敗しました";
    case RUN_DELETE_FAILED: return L"削除に失敗しました";
    case RUN_UNINSTALLER_FAILED: return L"アンインストーラを作成できません";
    case RUN_REGISTER_FAILED: return L"登録に失敗しました";
    case RUN_BAD_UNINSTALL_GUID: return L"GUIDが正しくありません";
    case RUN_MODULE_MISSING: return L"モジュールが既にありません";
    case RUN_RESTART_REQUIRED: return L"再起動が必要です";
    default: return L"不明";
  }
}

namespace {

const wchar_t kSilentSwitch[] = L"-Silent/";
const wchar_t kLogSwitch[] = L"-Log/";
const size_t kSilentLength = sizeof kSilentSwitch / sizeof(wchar_t) - 1;
const size_t kLogLength = sizeof kLogSwitch / sizeof(wchar_t) - 1;

// Whether the count characters at text are word.
bool WordIs(const wchar_t* text, size_t count, const wchar_t* word, size_t length) {
  if (count < length) return false;
  for (size_t i = 0; i < length; ++i)
    if (text[i] != word[i]) return false;
  return true;
}

bool IsSpace(wchar_t c) { return c == L' ' || c == L'\t'; }

// Takes the path of "-Log/<path>" (count characters at from, quotes
// removed); a path that does not fit is no path.
void LogPathTake(const wchar_t* from, size_t count, wchar_t* path) {
  if (count >= 2 && from[0] == L'"' && from[count - 1] == L'"') {
    ++from;
    count -= 2;
  }
  path[0] = 0;
  if (count == 0 || count >= COMMAND_LOG_CAP) return;
  for (size_t i = 0; i < count; ++i) path[i] = from[i];
  path[count] = 0;
}

}  // namespace

void command_line_switches(const wchar_t* line, CommandSwitches* out) {
  out->silent = false;
  out->log_path[0] = 0;
  out->rest[0] = 0;
  if (!line) return;
  size_t n = 0;
  const wchar_t* p = line;
  while (IsSpace(*p)) ++p;
  while (*p) {
    // One word: up to the next space outside double quotes.
    const wchar_t* word = p;
    const wchar_t* gap = word;  // the spaces before it
    while (gap > line && IsSpace(gap[-1])) --gap;
    bool quoted = false;
    for (; *p && (quoted || !IsSpace(*p)); ++p)
      if (*p == L'"') quoted = !quoted;
    size_t length = static_cast<size_t>(p - word);
    if (length == kSilentLength && WordIs(word, length, kSilentSwitch, kSilentLength)) {
      out->silent = true;
    } else if (length > kLogLength && WordIs(word, length, kLogSwitch, kLogLength)) {
      LogPathTake(word + kLogLength, length - kLogLength, out->log_path);
    } else {
      // Kept as it stands, after a word kept before it with the spaces
      // that stood before it.
      const wchar_t* from = n ? gap : word;
      for (const wchar_t* c = from; c < p && n + 1 < COMMAND_REST_CAP; ++c) out->rest[n++] = *c;
      out->rest[n] = 0;
    }
    while (IsSpace(*p)) ++p;
  }
}

Completion completion_after_progress(int progress_result, bool uninstall_mode,
                                     int status, bool restart_needed) {
  if (progress_result != 1) return COMPLETION_NONE;
  if (restart_needed) return COMPLETION_RESTART_ASK;
  if (!uninstall_mode) return COMPLETION_INSTALLED;
  return status == RUN_MODULE_MISSING ? COMPLETION_MODULE_MISSING : COMPLETION_UNINSTALLED;
}
