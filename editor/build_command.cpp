// The build button and the two buttons beside it: the checks before a
// build, the project's base document, and the build itself; the linked
// installer and the signing dialog of saved projects.
#include "common/file.h"
#include "common/message.h"
#include "editor/editor.h"
#include "editor/editor_text.h"
#include "editor/form_rules.h"
#include "editor/resource.h"
#include "package/package.h"

namespace {

const wchar_t kDocumentName[] = L"instbase.ini";

bool Registered(const ProjectRecord& record) {
  wchar_t guid[PROJECT_GUID_LENGTH + 1];
  DWORD error = 0;
  return field_to_text(guid, PROJECT_GUID_LENGTH + 1, record.project_guid,
                       sizeof record.project_guid) &&
         find_project_entry(guid, NULL, &error) == LIST_OK;
}

// Whether the module exists with at least one byte.
bool ModuleUsable(const ProjectRecord& record) {
  wchar_t path[VT_PATH_CAP];
  DWORD size = 0, error = 0;
  return field_to_text(path, VT_PATH_CAP, record.module_path, sizeof record.module_path) &&
         path[0] && query_file_size(path, &size, &error) == ST_OK && size > 0;
}

bool Unregistered() {
  if (Registered(editor_state.working)) return false;
  message_show(IDS_UNREGISTERED, CAPTION_WARNING, MB_OK | MB_ICONEXCLAMATION);
  return true;
}

// Copies the base folder's base document into the project folder unless
// one is there; an existing one is never overwritten.
void BaseDocumentEnsure(const ProjectRecord& record) {
  wchar_t guid[PROJECT_GUID_LENGTH + 1], folder[VT_PATH_CAP], source[VT_PATH_CAP],
      target[VT_PATH_CAP];
  field_to_text(guid, PROJECT_GUID_LENGTH + 1, record.project_guid, sizeof record.project_guid);
  if (!editor_project_folder(guid, folder) || !editor_base_path(kDocumentName, source) ||
      TextFormat(target, VT_PATH_CAP, L"%s\\%s", folder, kDocumentName) < 0)
    return;
  DWORD error = 0;
  DirCreate(folder, &error);
  CopyFileW(source, target, TRUE);
}

}  // namespace

void command_build() {
  form_commit_pending();
  const ProjectRecord* record = &editor_state.working;
  if (project_records_differ(&editor_state.working, &editor_state.saved)) {
    if (message_show(IDS_BUILD_UNSAVED_ASK, CAPTION_CONFIRM, MB_YESNO | MB_ICONQUESTION) != IDYES)
      return;
    // The question promises a build from the project as it was saved.
    record = &editor_state.saved;
  }
  int failed = form_build_check(*record, Registered(*record), ModuleUsable(*record));
  if (failed) {
    message_show(failed, CAPTION_WARNING, MB_OK | MB_ICONEXCLAMATION);
    return;
  }
  BaseDocumentEnsure(*record);
  if (progress_dialog_run(record) != 1) return;
  form_show_build_count();
  message_text_show(MessageBuffer, CAPTION_CONFIRM, MB_OK);
}

void command_linked_installer() {
  if (Unregistered()) return;
  editor_state.working.linked_installer = 1;
}

void command_signing() {
  if (Unregistered()) return;
  signing_dialog_run();
}
