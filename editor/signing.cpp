// Code signing: running the signing tool on a package, within its time
// limit.
#include "editor/signing.h"

#include "common/command_line.h"
#include "common/process.h"
#include "editor/project/editor_text.h"

namespace {

// How long a tool may take and still count as having ended at once.
const DWORD kEarlyEndMs = 1000;

int CreationStatus(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND: return ST_RUN_NOT_FOUND;
    case ERROR_ACCESS_DENIED: return ST_RUN_ACCESS_DENIED;
    case ERROR_FILE_INVALID: return ST_RUN_INVALID;
    case ERROR_FILE_CORRUPT: return ST_RUN_CORRUPT;
    case ERROR_BAD_EXE_FORMAT: return ST_RUN_NOT_EXECUTABLE;
    default: return ST_RUN_FAILED;
  }
}

// The text fields of the settings as UTF-16, each buffer one character
// longer than its field so that every field fits.
struct SigningTexts {
  wchar_t tool_folder[sizeof(SigningSettings::tool_folder) + 1];
  wchar_t certificate[sizeof(SigningSettings::certificate) + 1];
  wchar_t password[sizeof(SigningSettings::password) + 1];
  wchar_t description[sizeof(SigningSettings::description) + 1];
  wchar_t description_url[sizeof(SigningSettings::description_url) + 1];
  wchar_t timestamp_url[sizeof(SigningSettings::timestamp_url) + 1];
};

template <size_t N, size_t M>
bool FieldText(wchar_t (&out)[N], const char (&field)[M]) {
  static_assert(N > M, "every character of a field takes at least one byte");
  return field_to_text(out, N, field, M);
}

bool SettingsTexts(const SigningSettings& settings, SigningTexts* texts) {
  return FieldText(texts->tool_folder, settings.tool_folder) &&
         FieldText(texts->certificate, settings.certificate) &&
         FieldText(texts->password, settings.password) &&
         FieldText(texts->description, settings.description) &&
         FieldText(texts->description_url, settings.description_url) &&
         FieldText(texts->timestamp_url, settings.timestamp_url);
}

// "<folder>\signtool.exe" into program (VT_PATH_CAP); a folder that ends
// with a backslash (a drive's root) gets no second one. Returns false for
// an empty folder or a path that does not fit.
bool ToolProgram(const wchar_t* folder, wchar_t* program) {
  size_t length = TextLength(folder);
  if (length == 0) return false;
  const wchar_t* separator = folder[length - 1] == L'\\' ? L"" : L"\\";
  return TextFormat(program, VT_PATH_CAP, L"%s%s%s", folder, separator, SIGNING_TOOL_FILE) >= 0;
}

// Waits for a started program: within the first second it only tells
// whether it has ended (ST_RUN_ENDED_EARLY); after it, it is waited for up
// to the limit, and ended there (ST_RUN_TIMED_OUT).
int WaitLimited(HANDLE process, DWORD limit_ms, DWORD* exit_code, DWORD* sysError) {
  DWORD early = limit_ms < kEarlyEndMs ? limit_ms : kEarlyEndMs;
  int status = ProcessWait(process, early, exit_code, sysError);
  if (status == ST_OK) return ST_RUN_ENDED_EARLY;
  if (status == ST_PROC_RUNNING && limit_ms > early)
    status = ProcessWait(process, limit_ms == INFINITE ? INFINITE : limit_ms - early, exit_code,
                         sysError);
  if (status == ST_OK) return ST_OK;
  if (status != ST_PROC_RUNNING) return ST_RUN_FAILED;
  // Ended as ProcessEnd ends a child: with ERROR_TIMEOUT as its exit code.
  ProcessEnd(process);
  *exit_code = ERROR_TIMEOUT;
  *sysError = WAIT_TIMEOUT;
  return ST_RUN_TIMED_OUT;
}

}  // namespace

int run_and_wait(const wchar_t* program, const wchar_t* arguments, DWORD limit_ms,
                 DWORD* exit_code, DWORD* sysError) {
  *exit_code = 0;
  *sysError = 0;
  size_t program_length = program ? TextLengthMax(program, VT_PATH_MAX + 1) : 0;
  if (program_length == 0 || program_length > VT_PATH_MAX || !PathIsFull(program))
    return ST_RUN_NO_PROGRAM;
  size_t arguments_length = arguments ? TextLengthMax(arguments, SIGNING_ARGUMENTS_CAP) : 0;
  if (arguments_length == 0 || arguments_length >= SIGNING_ARGUMENTS_CAP)
    return ST_RUN_BAD_ARGUMENTS;

  // CreateProcessW may write into the command line, so it is a buffer of
  // our own.
  wchar_t line[RUN_COMMAND_LINE_CAP] = L"";
  if (CommandLineAppendQuoted(line, RUN_COMMAND_LINE_CAP, program) < 0)
    return ST_RUN_NO_PROGRAM;
  if (CommandLineAppendSwitch(line, RUN_COMMAND_LINE_CAP, arguments) < 0) {
    SecureZeroMemory(line, sizeof line);
    return ST_RUN_BAD_ARGUMENTS;
  }
  const ProcessLaunch launch = {
      program, line, NULL, DETACHED_PROCESS | CREATE_NEW_PROCESS_GROUP | NORMAL_PRIORITY_CLASS,
      -1};
  HANDLE process = NULL;
  int started = ProcessStart(launch, &process, sysError);
  SecureZeroMemory(line, sizeof line);
  if (started < 0) return CreationStatus(*sysError);
  int status = WaitLimited(process, limit_ms, exit_code, sysError);
  CloseHandle(process);
  return status;
}

namespace {

// What a signing run holds that carries the password; cleared when the run
// is over.
struct SignSecrets {
  SigningSettings settings;
  SigningTexts texts;
  wchar_t arguments[SIGNING_ARGUMENTS_CAP];
};

// The run itself: the settings into secrets, the tool's command line into
// run, the tool started and waited for. Returns sign_package's status.
int SignRunOnce(const wchar_t* settings_path, const wchar_t* package, DWORD limit_ms,
                SignSecrets* s, SignRun* run, DWORD* sysError) {
  int status = signing_settings_read_trusted(settings_path, &s->settings, sysError);
  if (status < 0) return status;
  if (!SettingsTexts(s->settings, &s->texts)) return ST_SIGN_UNQUOTABLE;
  wchar_t program[VT_PATH_CAP];
  if (!ToolProgram(s->texts.tool_folder, program)) return ST_RUN_NO_PROGRAM;

  const SigningTexts& t = s->texts;
  SigningValues values = {t.certificate,     t.password,
                          t.description,     t.description_url,
                          s->settings.timestamp == 1, t.timestamp_url,
                          package};
  int composed = signing_arguments_compose(values, false, s->arguments, SIGNING_ARGUMENTS_CAP);
  if (composed < 0) return composed;
  // The line as the tool receives it, but for the password; it fits since
  // the real one did.
  wchar_t shown[SIGNING_ARGUMENTS_CAP + 3];
  if (signing_arguments_compose(values, true, shown, SIGNING_ARGUMENTS_CAP + 3) < 0 ||
      CommandLineAppendQuoted(run->command_line, SIGN_SHOWN_LINE_CAP, program) < 0 ||
      CommandLineAppendSwitch(run->command_line, SIGN_SHOWN_LINE_CAP, shown) < 0)
    run->command_line[0] = 0;

  status = run_and_wait(program, s->arguments, limit_ms, &run->exit_code, sysError);
  // An early end is no failure by itself: the exit code decides.
  if (status != ST_OK && status != ST_RUN_ENDED_EARLY && status != ST_RUN_TIMED_OUT)
    return status;
  run->started = true;
  if (status == ST_RUN_TIMED_OUT) return status;
  if (run->exit_code != 0) {
    *sysError = run->exit_code;
    return ST_SIGN_TOOL_FAILED;
  }
  return ST_OK;
}

}  // namespace

int sign_package(const wchar_t* settings_path, const wchar_t* package, DWORD limit_ms,
                 SignRun* run, DWORD* sysError) {
  SignRun unused;
  if (!run) run = &unused;
  run->command_line[0] = 0;
  run->exit_code = 0;
  run->started = false;
  *sysError = 0;
  static SignSecrets secrets;  // only one build signs at a time
  int status = SignRunOnce(settings_path, package, limit_ms, &secrets, run, sysError);
  SecureZeroMemory(&secrets, sizeof secrets);
  return status;
}
