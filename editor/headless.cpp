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
#include "editor/console_output.h"
#include "editor/editor.h"
#include "editor/editor_rules.h"
#include "editor/project/editor_text.h"
#include "editor/project/project_file.h"
#include "editor/project_build.h"
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

void LineId(UINT id) { console_line(MessageTextShared(id)); }

void Step(void*, PackageStep step) {
  wchar_t text[VT_MESSAGE_CAP];
  MessageTextFormat(text, VT_MESSAGE_CAP, IDS_HEADLESS_STEP_BASE + step, static_cast<int>(step),
                    static_cast<int>(PACKAGE_STEP_VERIFY));
  console_line(text);
}

int Finish(int code) {
  wchar_t text[64];
  MessageTextFormat(text, 64, IDS_HEADLESS_FAILED, code);
  if (code != EXIT_BUILT) console_line(text);
  console_output_close();
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
  DWORD error = 0;
  if (project_guid_text(record, guid) &&
      find_project_entry(editor_state.base_folder, guid, NULL, &error) == LIST_OK)
    project_build_record(record);
}

int Build(ProjectBuildJob* job) {
  wchar_t work[VT_PATH_CAP];
  if (!work_folder_make(work)) {
    job->build.step = PACKAGE_STEP_COPY;
    MessageTextFormat(job->message, VT_MESSAGE_CAP, IDS_BUILD_STEP_BASE + PACKAGE_STEP_COPY,
                      ST_CREATE_FAILED, static_cast<int>(GetLastError()));
    console_line(job->message);
    return EXIT_BUILD;
  }
  job->work_folder = work;
  job->progress = Step;
  int status = project_build_run(job);
  work_folder_remove(work);
  if (job->sign_run.command_line[0]) {
    wchar_t text[VT_MESSAGE_CAP];
    MessageTextFormat(text, VT_MESSAGE_CAP, IDS_HEADLESS_SIGNING, job->sign_run.command_line,
                      static_cast<int>(job->sign_run.exit_code));
    console_line(text);
  }
  console_line(job->message);
  if (status != 0) return ExitOfStep(job->build.step);
  BuildRecord(job->record);
  return EXIT_BUILT;
}

}  // namespace

int headless_main(int argc, wchar_t** argv) {
  console_output_open(true);
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
  if (!Override(record.setup_program_name, args.setup_name)) {
    LineId(IDS_HEADLESS_USAGE);
    return Finish(EXIT_ARGUMENTS);
  }
  // An output folder too long for the project's field is the output step's
  // failure, found before anything is built.
  if (!Override(record.installer_folder, args.output_folder)) {
    wchar_t text[VT_MESSAGE_CAP];
    MessageTextFormat(text, VT_MESSAGE_CAP, IDS_BUILD_STEP_BASE + PACKAGE_STEP_OUTPUT,
                      static_cast<int>(ERROR_FILENAME_EXCED_RANGE));
    console_line(text);
    return Finish(EXIT_BUILD);
  }
  if (int failed = project_build_check(record, true)) {
    LineId(failed);
    return Finish(EXIT_INVALID);
  }
  job.sign_timeout = args.sign_timeout;
  project_folder_prepare(record);
  return Finish(Build(&job));
}
