// The build button and the two buttons beside it: the checks before a
// build, the project's base document, and the build itself; the linked
// installer and the signing dialog of saved projects.
#include "common/message.h"
#include "editor/editor.h"
#include "editor/project/project_file.h"
#include "editor/project_build.h"
#include "editor/resource.h"

namespace {

bool Registered(const ProjectRecord& record) {
  wchar_t guid[PROJECT_GUID_LENGTH + 1];
  DWORD error = 0;
  return project_guid_text(record, guid) &&
         find_project_entry(editor_state.base_folder, guid, NULL, &error) == LIST_OK;
}

bool Unregistered() {
  if (Registered(editor_state.working)) return false;
  message_show(IDS_UNREGISTERED, CAPTION_WARNING, MB_OK | MB_ICONEXCLAMATION);
  return true;
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
  int failed = project_build_check(*record, Registered(*record));
  if (failed) {
    message_show(failed, CAPTION_WARNING, MB_OK | MB_ICONEXCLAMATION);
    return;
  }
  project_folder_prepare(*record);
  if (progress_dialog_run(record) != 1) return;
  form_show_build_count();
  message_text_show(MessageBuffer, CAPTION_CONFIRM, MB_OK);
}

void command_linked_installer() {
  if (Unregistered()) return;
  // The button stays pressed while the project has a linked installer; a
  // second press takes it back.
  editor_state.working.linked_installer = editor_state.working.linked_installer ? 0 : 1;
  form_show_field(IDC_LINKED_INSTALLER);
}

void command_signing() {
  if (Unregistered()) return;
  signing_dialog_run();
}
