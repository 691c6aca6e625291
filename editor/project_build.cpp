// A project's build: paths, keys and signing around package_build, and
// the texts of its outcome.
#include "editor/project_build.h"

#include "common/file.h"
#include "common/message.h"
#include "editor/editor_state.h"
#include "editor/editor_text.h"
#include "editor/project_document.h"
#include "editor/project_file.h"
#include "editor/project_list.h"
#include "editor/resource.h"
#include "package/package.h"

namespace {

const wchar_t kTemplateName[] = L"Installer.exe";
const wchar_t kDocumentName[] = L"instbase.ini";
const wchar_t kSilentSwitch[] = L"silent.dat";

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
  wchar_t working_copy[VT_PATH_CAP];
  wchar_t working_document[VT_PATH_CAP];
  wchar_t module[VT_PATH_CAP];
  wchar_t settings[VT_PATH_CAP];
};

void PathsMake(ProjectBuildJob* job, Paths* p) {
  const ProjectRecord& r = job->record;
  wchar_t guid[PROJECT_GUID_LENGTH + 1], folder[VT_PATH_CAP], name[VT_PATH_CAP];
  project_guid_text(r, guid);
  if (!editor_project_folder(guid, p->project_folder)) p->project_folder[0] = 0;
  if (!editor_base_path(kTemplateName, p->template_path)) p->template_path[0] = 0;
  Join(p->base_document, p->project_folder, kDocumentName);
  Join(p->working_copy, job->work_folder, kTemplateName);
  Join(p->working_document, job->work_folder, kDocumentName);
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

int Sign(void* context, const wchar_t* working_copy, DWORD* sysError) {
  BuildContext* c = static_cast<BuildContext*>(context);
  return sign_package(c->settings, working_copy, &c->job->sign_run, sysError);
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

void MessageSet(ProjectBuildJob* job) {
  const PackageBuild& b = job->build;
  if (b.status == 0) {
    MessageTextFormat(job->message, VT_MESSAGE_CAP, IDS_BUILD_DONE, job->output);
  } else if (b.step == PACKAGE_STEP_OUTPUT) {
    MessageTextFormat(job->message, VT_MESSAGE_CAP, IDS_BUILD_STEP_BASE + b.step,
                      static_cast<int>(b.sys_error));
  } else {
    MessageTextFormat(job->message, VT_MESSAGE_CAP, IDS_BUILD_STEP_BASE + b.step, b.status,
                      static_cast<int>(b.sys_error));
  }
}

}  // namespace

int project_build_run(ProjectBuildJob* job) {
  static Paths paths;  // only one build runs at a time
  PathsMake(job, &paths);
  job->signs = job->record.code_signing == 1 && paths.settings[0] && Exists(paths.settings);
  BuildContext context{job, paths.settings};
  PackageBuild& b = job->build;
  b = PackageBuild{};
  b.template_path = paths.template_path;
  b.base_document = paths.base_document;
  b.module_path = paths.module;
  b.working_copy = paths.working_copy;
  b.working_document = paths.working_document;
  b.output = job->output;
  b.silent = SilentAsked(paths.project_folder);
  b.write_keys = Keys;
  b.sign = job->signs ? Sign : NULL;
  b.progress = Progress;
  b.context = &context;
  package_build(&b);
  MessageSet(job);
  return b.status;
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
  project_guid_text(record, guid);
  ++editor_state.build_count;
  DWORD error = 0;
  record_project_build(guid, &error);
}
