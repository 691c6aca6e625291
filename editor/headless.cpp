// The headless build: "Vantorel.exe /build <project file>" builds the
// project's package with no window, by the same routine as the build
// button, and tells each step and the outcome on the console it was
// started from (or wherever its output was sent).
//
// It works beside a running editor: it takes no mutex, keeps its own work
// folder, and changes the project list only to record a successful build
// of a project the list holds.
#include "common/file.h"
#include "common/message.h"
#include "common/status.h"
#include "editor/editor.h"
#include "editor/editor_rules.h"
#include "editor/editor_text.h"
#include "editor/form_rules.h"
#include "editor/project_build.h"
#include "editor/project_file.h"
#include "editor/resource.h"

namespace {

// Exit codes.
enum {
  EXIT_BUILT = 0,
  EXIT_ARGUMENTS = 2,  // bad arguments, or a project file that cannot be used
  EXIT_INVALID = 3,    // the project fails a check before the build
  EXIT_BUILD = 4,      // a build step failed
  EXIT_SIGNING = 5,    // signing failed
  EXIT_VERIFY = 6      // the package written does not read back as built
};

// Where the lines go: the output handle the program was given (a file or a
// pipe), else the console of the program that started it.
HANDLE Output;
bool OutputIsConsole;

void OutputOpen() {
  Output = GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD mode = 0;
  if (Output && Output != INVALID_HANDLE_VALUE && GetFileType(Output) != FILE_TYPE_UNKNOWN) {
    OutputIsConsole = GetConsoleMode(Output, &mode) != FALSE;
    return;
  }
  Output = NULL;
  if (!AttachConsole(ATTACH_PARENT_PROCESS)) return;
  Output = CreateFileW(L"CONOUT$", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                       OPEN_EXISTING, 0, NULL);
  if (Output == INVALID_HANDLE_VALUE) Output = NULL;
  OutputIsConsole = Output != NULL;
}

// Writes a text and a line end: UTF-16 to a console, the ANSI code page to
// a file or pipe, as console programs of the system do.
void Line(const wchar_t* text) {
  if (!Output) return;
  DWORD written = 0;
  if (OutputIsConsole) {
    WriteConsoleW(Output, text, static_cast<DWORD>(TextLength(text)), &written, NULL);
    WriteConsoleW(Output, L"\r\n", 2, &written, NULL);
    return;
  }
  static char bytes[VT_MESSAGE_CAP * 2 + 2];
  int n = WideCharToMultiByte(CP_ACP, 0, text, -1, bytes, sizeof bytes - 2, NULL, NULL);
  if (n <= 0) return;
  bytes[n - 1] = '\r';
  bytes[n] = '\n';
  DWORD error = 0;  // a line that cannot be written is lost, not the build
  FileWrite(Output, bytes, static_cast<DWORD>(n + 1), NULL, &error);
}

void LineId(UINT id) { Line(MessageTextShared(id)); }

void Step(void*, PackageStep step) {
  wchar_t text[VT_MESSAGE_CAP];
  MessageTextFormat(text, VT_MESSAGE_CAP, IDS_HEADLESS_STEP_BASE + step, static_cast<int>(step),
                    static_cast<int>(PACKAGE_STEP_VERIFY));
  Line(text);
}

int Finish(int code) {
  wchar_t text[64];
  MessageTextFormat(text, 64, IDS_HEADLESS_FAILED, code);
  if (code != EXIT_BUILT) Line(text);
  if (Output && Output != GetStdHandle(STD_OUTPUT_HANDLE)) CloseHandle(Output);
  return code;
}

// Puts an override from the command line into its field; false when it
// does not fit exactly.
template <size_t N>
bool Override(char (&field)[N], const wchar_t* text) {
  return !text || text_to_field(field, N, text);
}

int ExitOfStep(PackageStep step) {
  if (step == PACKAGE_STEP_SIGN) return EXIT_SIGNING;
  if (step == PACKAGE_STEP_VERIFY) return EXIT_VERIFY;
  return EXIT_BUILD;
}

// Records the build of a project the list holds: its stored count plus one.
void BuildRecord(const ProjectRecord& record) {
  wchar_t guid[PROJECT_GUID_LENGTH + 1];
  ProjectEntry entry;
  DWORD error = 0;
  project_guid_text(record, guid);
  if (find_project_entry(guid, &entry, &error) != LIST_OK) return;
  int count = 0;
  for (int i = 0; i < 6 && entry.build_count[i] >= L'0' && entry.build_count[i] <= L'9'; ++i)
    count = count * 10 + (entry.build_count[i] - L'0');
  editor_state.build_count = count;
  project_build_record(record);
}

int Build(ProjectBuildJob* job) {
  wchar_t work[VT_PATH_CAP];
  if (!work_folder_make(work)) {
    job->build.step = PACKAGE_STEP_COPY;
    MessageTextFormat(job->message, VT_MESSAGE_CAP, IDS_BUILD_STEP_BASE + PACKAGE_STEP_COPY,
                      ST_CREATE_FAILED, static_cast<int>(GetLastError()));
    Line(job->message);
    return EXIT_BUILD;
  }
  job->work_folder = work;
  job->progress = Step;
  int status = project_build_run(job);
  work_folder_remove(work);
  if (job->signs && (status == 0 || job->build.step >= PACKAGE_STEP_SIGN)) {
    wchar_t text[VT_MESSAGE_CAP];
    MessageTextFormat(text, VT_MESSAGE_CAP, IDS_HEADLESS_SIGNING, job->sign_run.command_line,
                      static_cast<int>(job->sign_run.exit_code));
    Line(text);
  }
  Line(job->message);
  if (status != 0) return ExitOfStep(job->build.step);
  BuildRecord(job->record);
  return EXIT_BUILT;
}

}  // namespace

int headless_main(int argc, wchar_t** argv) {
  OutputOpen();
  HeadlessArgs args;
  static ProjectBuildJob job;
  ProjectRecord& record = job.record;
  if (headless_args_parse(argc, argv, &args) != HEADLESS_BUILD) {
    LineId(IDS_HEADLESS_USAGE);
    return Finish(EXIT_ARGUMENTS);
  }
  wchar_t executable[VT_PATH_CAP] = {0};
  DWORD n = GetModuleFileNameW(NULL, executable, VT_PATH_CAP);
  if (n == 0 || n >= VT_PATH_CAP || !editor_base_folder_set(executable)) return Finish(EXIT_ARGUMENTS);
  DWORD error = 0;
  if (int message = project_file_load(args.project, &record, &error)) {
    LineId(message);
    return Finish(EXIT_ARGUMENTS);
  }
  if (!Override(record.installer_folder, args.output_folder) ||
      !Override(record.setup_program_name, args.setup_name)) {
    LineId(IDS_HEADLESS_USAGE);
    return Finish(EXIT_ARGUMENTS);
  }
  if (int failed = form_build_check(record, true, project_module_usable(record))) {
    LineId(failed);
    return Finish(EXIT_INVALID);
  }
  project_folder_prepare(record);
  return Finish(Build(&job));
}
