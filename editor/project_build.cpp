// A project's build: paths, keys and signing around package_build, and
// the texts of its outcome.
#include "editor/project_build.h"

#include "common/file.h"
#include "common/message.h"
#include "editor/editor.h"
#include "editor/editor_rules.h"
#include "editor/editor_state.h"
#include "editor/file_trust.h"
#include "editor/form_rules.h"
#include "editor/project/editor_text.h"
#include "editor/project/project_document.h"
#include "editor/project/project_file.h"
#include "editor/project/project_list.h"
#include "editor/resource.h"
#include "installer/rules.h"
#include "package/package.h"

namespace {

const wchar_t kTemplateName[] = L"Installer.exe";
const wchar_t kDocumentName[] = L"instbase.ini";
const wchar_t kSilentSwitch[] = L"silent.dat";
const int kPrivateNames = 64;  // names tried for the private folder

bool Exists(const wchar_t* path) { return FileKindGet(path) != FILE_KIND_NONE; }

// "%s\%s" into a path buffer; empty when it does not fit, which the build
// then reports at the step that uses it.
void Join(wchar_t* out, const wchar_t* folder, const wchar_t* name) {
  TextFormat(out, VT_PATH_CAP, L"%s\\%s", folder, name);
}

struct Paths {
  wchar_t project_folder[VT_PATH_CAP];
  wchar_t template_path[VT_PATH_CAP];
  wchar_t base_document[VT_PATH_CAP];
  wchar_t working_document[VT_PATH_CAP];
  wchar_t module[VT_PATH_CAP];
  wchar_t settings[VT_PATH_CAP];
  wchar_t private_folder[VT_PATH_CAP];  // "" until made
};

void PathsMake(ProjectBuildJob* job, Paths* p) {
  const ProjectRecord& r = job->record;
  wchar_t guid[PROJECT_GUID_LENGTH + 1], folder[VT_PATH_CAP], name[VT_PATH_CAP];
  project_guid_text(r, guid);
  if (!editor_project_folder(guid, p->project_folder)) p->project_folder[0] = 0;
  if (!editor_base_path(kTemplateName, p->template_path)) p->template_path[0] = 0;
  Join(p->base_document, p->project_folder, kDocumentName);
  Join(p->working_document, job->work_folder, kDocumentName);
  p->private_folder[0] = 0;
  field_to_text(p->module, VT_PATH_CAP, r.module_path, sizeof r.module_path);
  field_to_text(p->settings, VT_PATH_CAP, r.signing_settings_path, sizeof r.signing_settings_path);
  if (job->output_folder)
    TextCopy(folder, VT_PATH_CAP, job->output_folder);
  else
    field_to_text(folder, VT_PATH_CAP, r.installer_folder, sizeof r.installer_folder);
  if (job->setup_name)
    TextCopy(name, VT_PATH_CAP, job->setup_name);
  else
    field_to_text(name, VT_PATH_CAP, r.setup_program_name, sizeof r.setup_program_name);
  TextFormat(job->output, VT_PATH_CAP, L"%s\\%s.exe", folder, name);
}

// What the build's hooks work with.
struct BuildContext {
  ProjectBuildJob* job;
  const wchar_t* settings;  // the project's signing settings
};

int Keys(void* context, const PackageModule& module, const char* document, DWORD* sysError) {
  static ProjectKeys keys;  // only one build runs at a time
  project_document_keys(static_cast<BuildContext*>(context)->job->record, module, &keys);
  return package_keys_write(document, keys.keys, keys.count, sysError);
}

// The seconds the signing tool may run.
unsigned SignSeconds(const ProjectBuildJob& job) {
  return job.sign_timeout ? job.sign_timeout : unsigned{SIGNING_TIME_LIMIT_DEFAULT};
}

int Sign(void* context, const wchar_t* working_copy, DWORD* sysError) {
  BuildContext* c = static_cast<BuildContext*>(context);
  return sign_package(c->settings, working_copy, SignSeconds(*c->job) * 1000, &c->job->sign_run,
                      sysError);
}

void Progress(void* context, PackageStep step) {
  ProjectBuildJob* job = static_cast<BuildContext*>(context)->job;
  if (job->progress) job->progress(job->context, step);
}

// Whether the project folder holds the silent switch file.
bool SilentAsked(const wchar_t* project_folder) {
  wchar_t marker[VT_PATH_CAP];
  return project_folder[0] && TextFormat(marker, VT_PATH_CAP, L"%s\\%s", project_folder,
                                         kSilentSwitch) >= 0 && Exists(marker);
}

// The settings of a project that signs are its own "codesign.txt" in its
// project folder (the letters a-z in any case, as the system compares
// names).
bool SettingsOwn(const Paths& p) {
  wchar_t own[VT_PATH_CAP];
  return p.project_folder[0] &&
         TextFormat(own, VT_PATH_CAP, L"%s\\%s", p.project_folder, SIGNING_SETTINGS_FILE) >= 0 &&
         text_same_nocase(own, p.settings);
}

// Makes a new folder in the user's temporary folder that only the user can
// reach, holding it open. Returns 0, or DirCreateOwn's status;
// ST_DIR_FAILED (ERROR_ACCESS_DENIED) when it came out open to others.
int PrivateFolderMake(wchar_t* folder, HANDLE* held, DWORD* sysError) {
  wchar_t temp[VT_PATH_CAP];
  TempFolderGet(temp);
  DWORD first = GetTickCount() ^ (GetCurrentProcessId() << 8);
  int status = ST_DIR_BAD_PATH;
  for (int i = 0; i < kPrivateNames; ++i) {
    unsigned tag = static_cast<unsigned>((first + i) & 0xFFFF);
    if (TextFormat(folder, VT_PATH_CAP, L"%svts%04X", temp, tag) < 0) break;
    status = DirCreateOwn(folder, held, sysError);
    if (status != ST_DIR_EXISTS) break;
  }
  if (status != ST_OK) {
    folder[0] = 0;
    return status;
  }
  if (file_trusted(*held, folder, true)) return ST_OK;
  CloseHandle(*held);
  *held = NULL;
  work_folder_remove(folder);
  folder[0] = 0;
  *sysError = ERROR_ACCESS_DENIED;
  return ST_DIR_FAILED;
}

// The text of a signing failure that has one of its own; false otherwise.
bool SignMessage(ProjectBuildJob* job, const wchar_t* settings) {
  const PackageBuild& b = job->build;
  wchar_t* out = job->message;
  if (b.step != PACKAGE_STEP_SIGN) return false;
  switch (b.status) {
    case ST_SIGN_FOREIGN:
      MessageTextFormat(out, VT_MESSAGE_CAP, IDS_SIGN_FOREIGN, settings);
      return true;
    case ST_SIGN_UNTRUSTED:
      MessageTextFormat(out, VT_MESSAGE_CAP, IDS_SIGN_UNTRUSTED, settings);
      return true;
    case ST_RUN_TIMED_OUT:
      MessageTextFormat(out, VT_MESSAGE_CAP, IDS_SIGN_TIMED_OUT,
                        static_cast<int>(SignSeconds(*job)));
      return true;
    case ST_SIGN_PASSWORD:
      MessageTextFormat(out, VT_MESSAGE_CAP, IDS_SIGN_PASSWORD, static_cast<int>(b.sys_error));
      return true;
    default:
      return false;
  }
}

void MessageSet(ProjectBuildJob* job, const wchar_t* settings) {
  const PackageBuild& b = job->build;
  if (b.status == 0) {
    MessageTextFormat(job->message, VT_MESSAGE_CAP, IDS_BUILD_DONE, job->output);
  } else if (SignMessage(job, settings)) {
    // its own text
  } else if (b.step == PACKAGE_STEP_OUTPUT) {
    MessageTextFormat(job->message, VT_MESSAGE_CAP, IDS_BUILD_STEP_BASE + b.step,
                      static_cast<int>(b.sys_error));
  } else {
    MessageTextFormat(job->message, VT_MESSAGE_CAP, IDS_BUILD_STEP_BASE + b.step, b.status,
                      static_cast<int>(b.sys_error));
  }
}

// A build that stops before the package build runs, at step with status.
int Refused(ProjectBuildJob* job, const Paths& p, PackageStep step, int status,
            DWORD sysError) {
  job->build.step = step;
  job->build.status = status;
  job->build.sys_error = sysError;
  MessageSet(job, p.settings);
  return status;
}

}  // namespace

int project_build_run(ProjectBuildJob* job) {
  static Paths paths;  // only one build runs at a time
  PathsMake(job, &paths);
  PackageBuild& b = job->build;
  b = PackageBuild{};
  job->sign_run = SignRun{};
  bool asked = job->record.code_signing == 1 && paths.settings[0];
  if (asked && !SettingsOwn(paths)) {
    job->signs = false;
    return Refused(job, paths, PACKAGE_STEP_SIGN, ST_SIGN_FOREIGN, 0);
  }
  job->signs = asked && Exists(paths.settings);
  HANDLE held = NULL;
  DWORD error = 0;
  int status = job->signs ? PrivateFolderMake(paths.private_folder, &held, &error) : ST_OK;
  if (status != ST_OK) return Refused(job, paths, PACKAGE_STEP_COPY, status, error);
  BuildContext context{job, paths.settings};
  b.template_path = paths.template_path;
  b.base_document = paths.base_document;
  b.module_path = paths.module;
  b.working_document = paths.working_document;
  b.private_folder = paths.private_folder;
  b.output = job->output;
  b.silent = SilentAsked(paths.project_folder);
  b.write_keys = Keys;
  b.sign = job->signs ? Sign : NULL;
  b.progress = Progress;
  b.context = &context;
  package_build(&b);
  if (held) CloseHandle(held);
  work_folder_remove(paths.private_folder);
  MessageSet(job, paths.settings);
  return b.status;
}

int project_build_check(const ProjectRecord& record, bool registered) {
  if (int failed = form_build_check(record, registered, project_module_usable(record)))
    return failed;
  wchar_t name[VT_PATH_CAP];
  if (!field_to_text(name, VT_PATH_CAP, record.setup_program_name,
                     sizeof record.setup_program_name) ||
      !file_name_is_plain(name))
    return IDS_BAD_SETUP_NAME;
  return 0;
}

bool project_module_usable(const ProjectRecord& record) {
  wchar_t path[VT_PATH_CAP];
  DWORD size = 0, error = 0;
  return field_to_text(path, VT_PATH_CAP, record.module_path, sizeof record.module_path) &&
         path[0] && query_file_size(path, &size, &error) == ST_OK && size > 0;
}

void project_folder_prepare(const ProjectRecord& record) {
  wchar_t guid[PROJECT_GUID_LENGTH + 1], folder[VT_PATH_CAP], source[VT_PATH_CAP],
      target[VT_PATH_CAP];
  DWORD error = 0;
  if (!project_guid_text(record, guid) || !editor_project_folder(guid, folder)) return;
  DirCreate(folder, &error);
  if (editor_base_path(kDocumentName, source) &&
      TextFormat(target, VT_PATH_CAP, L"%s\\%s", folder, kDocumentName) >= 0)
    CopyFileW(source, target, TRUE);
}

void project_build_record(const ProjectRecord& record) {
  wchar_t guid[PROJECT_GUID_LENGTH + 1];
  DWORD error = 0;
  ++editor_state.build_count;
  if (project_guid_text(record, guid))
    record_project_build(editor_state.base_folder, guid, &editor_state.build_count, &error);
}
