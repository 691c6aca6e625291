// The project form's bindings, its commit rule and its option rules.
#include "editor/form_rules.h"

#include <string.h>

#include "common/cp932.h"
#include "common/text.h"
#include "editor/resource.h"

#define FIELD(name) static_cast<uint16_t>(offsetof(ProjectRecord, name)), \
                    static_cast<uint16_t>(sizeof(ProjectRecord().name))
#define FLAG(name) static_cast<uint16_t>(offsetof(ProjectRecord, name)), 1
#define OS_FLAG(n) static_cast<uint16_t>(offsetof(ProjectRecord, os_flags) + 4 + (n)), 1

const FormBinding form_bindings[] = {
    {IDC_PROJECT_NAME, BIND_TEXT, FIELD(project_name), 78, 0},
    {IDC_PROJECT_FOLDER, BIND_SHOWN, FIELD(project_folder), 0, 0},
    {IDC_PROJECT_GUID, BIND_SHOWN, FIELD(project_guid), 0, 0},
    {IDC_PRODUCT_NAME, BIND_TEXT, FIELD(product_name), 78, 0},
    {IDC_VERSION_MAJOR, BIND_DIGITS, FIELD(version_major), 5, 0},
    {IDC_VERSION_MINOR, BIND_DIGITS, FIELD(version_minor), 5, 0},
    {IDC_VERSION_BUILD, BIND_DIGITS, FIELD(version_build), 5, 0},
    {IDC_MODULE_PATH, BIND_SHOWN, FIELD(module_path), 0, 0},
    {IDC_OS_2000, BIND_OS, OS_FLAG(0), 0, 0},
    {IDC_OS_XP, BIND_OS, OS_FLAG(1), 0, 0},
    {IDC_OS_2003, BIND_OS, OS_FLAG(2), 0, 0},
    {IDC_OS_VISTA, BIND_OS, OS_FLAG(3), 0, 0},
    {IDC_OS_7, BIND_OS, OS_FLAG(4), 0, 0},
    {IDC_OS_2008, BIND_OS, OS_FLAG(5), 0, 0},
    {IDC_SETUP_NAME, BIND_TEXT, FIELD(setup_program_name), 78, 0},
    {IDC_REQUIRE_ADMIN, BIND_CHECK, FLAG(require_admin), 0, 0},
    {IDC_INSTALLER_FOLDER, BIND_SHOWN, FIELD(installer_folder), 0, 0},
    {IDC_INSTALL_NORMAL, BIND_RADIO, FLAG(install_type), 0, IDC_INSTALL_SILENT},
    {IDC_INSTALL_WARNING, BIND_CHECK, FLAG(install_warning), 0, 0},
    {IDC_INSTALL_TIMEOUT, BIND_LIST, FLAG(install_warning_timeout), 0, 0},
    {IDC_COPY_ERROR_END, BIND_RADIO, FLAG(copy_error_mode), 0, IDC_COPY_ERROR_RESTART},
    {IDC_INSTALL_REBOOT_MESSAGE, BIND_CHECK, FLAG(install_reboot_message), 0, 0},
    {IDC_INSTALL_REBOOT_RUN, BIND_CHECK, FLAG(install_reboot_run), 0, 0},
    {IDC_NO_UNINSTALL, BIND_CHECK, FLAG(no_uninstall_entry), 0, 0},
    {IDC_UNINSTALL_NORMAL, BIND_RADIO, FLAG(uninstall_type), 0, IDC_UNINSTALL_SILENT},
    {IDC_UNINSTALL_WARNING, BIND_CHECK, FLAG(uninstall_warning), 0, 0},
    {IDC_UNINSTALL_TIMEOUT, BIND_LIST, FLAG(uninstall_warning_timeout), 0, 0},
    {IDC_DELETE_ERROR_END, BIND_RADIO, FLAG(delete_error_mode), 0, IDC_DELETE_ERROR_RESTART},
    {IDC_UNINSTALL_REBOOT_MESSAGE, BIND_CHECK, FLAG(uninstall_reboot_message), 0, 0},
    {IDC_UNINSTALL_REBOOT_RUN, BIND_CHECK, FLAG(uninstall_reboot_run), 0, 0},
    {IDC_LINKED_INSTALLER, BIND_CHECK, FLAG(linked_installer), 0, 0},  // pressed while linked
};
const size_t form_binding_count = sizeof form_bindings / sizeof form_bindings[0];

#undef FIELD
#undef FLAG
#undef OS_FLAG

const FormBinding* form_binding_find(int id) {
  for (const FormBinding& b : form_bindings)
    if (b.id == id || (b.kind == BIND_RADIO && b.second == id)) return &b;
  return NULL;
}

// --- Typed text --------------------------------------------------------

size_t form_text_normalise(const char* text, size_t len, char* out) {
  auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  size_t begin = 0, end = len;
  while (begin < end && byte(begin) <= 0x20) ++begin;
  while (end > begin && byte(end - 1) <= 0x20) --end;
  size_t n = 0;
  bool last_single_backslash = false;
  for (size_t i = begin; i < end;) {
    size_t size = Cp932CharSize(text + begin, end - begin, i - begin);
    bool backslash = size == 1 && text[i] == '\\';
    // A backslash directly followed by another is dropped: runs shrink to one.
    if (!(backslash && i + 1 < end && text[i + 1] == '\\')) {
      memcpy(out + n, text + i, size);
      n += size;
      last_single_backslash = backslash;
    }
    i += size;
  }
  if (last_single_backslash) --n;
  size_t lead = 0;
  while (lead < n && out[lead] == '\\') ++lead;
  memmove(out, out + lead, n - lead);
  n -= lead;
  out[n] = 0;
  return n;
}

bool form_text_commit(ProjectRecord* record, const FormBinding& b, const char* text,
                      size_t len) {
  char normal[VT_PATH_CAP * 2 + 1];
  if (len > sizeof normal - 1) len = sizeof normal - 1;
  form_text_normalise(text, len, normal);
  char stored[sizeof(ProjectRecord().module_path)];
  Cp932FieldCopy(stored, b.width, normal);
  char* field = form_field(record, b);
  if (memcmp(field, stored, b.width) == 0) return false;
  memcpy(field, stored, b.width);
  return true;
}

// --- Option groups -----------------------------------------------------

const int form_view_ids[FORM_VIEW_SLOTS] = {
    IDC_INSTALL_TIMEOUT_LABEL, IDC_UNINSTALL_TIMEOUT_LABEL, IDC_DELETE_ERROR_LABEL,
    IDC_OS_2000, IDC_OS_XP, IDC_OS_2003, IDC_OS_VISTA, IDC_OS_7, IDC_OS_2008,
    IDC_REQUIRE_ADMIN,
    IDC_INSTALL_NORMAL, IDC_INSTALL_SILENT, IDC_INSTALL_WARNING, IDC_INSTALL_TIMEOUT,
    IDC_COPY_ERROR_END, IDC_COPY_ERROR_RESTART, IDC_INSTALL_REBOOT_MESSAGE, IDC_INSTALL_REBOOT_RUN,
    IDC_NO_UNINSTALL,
    IDC_UNINSTALL_NORMAL, IDC_UNINSTALL_SILENT, IDC_UNINSTALL_WARNING, IDC_UNINSTALL_TIMEOUT,
    IDC_DELETE_ERROR_END, IDC_DELETE_ERROR_RESTART, IDC_UNINSTALL_REBOOT_MESSAGE,
    IDC_UNINSTALL_REBOOT_RUN,
    IDC_LINKED_INSTALLER};

namespace {

// The controls the option rules enable and disable together.
const int kInstallWarning[] = {IDC_INSTALL_TIMEOUT_LABEL, IDC_INSTALL_WARNING, IDC_INSTALL_TIMEOUT};
const int kInstallReboot[] = {IDC_INSTALL_REBOOT_MESSAGE, IDC_INSTALL_REBOOT_RUN};
const int kUninstallChoices[] = {IDC_UNINSTALL_NORMAL, IDC_UNINSTALL_SILENT,
                                 IDC_DELETE_ERROR_LABEL, IDC_DELETE_ERROR_END,
                                 IDC_DELETE_ERROR_RESTART};
const int kUninstallWarning[] = {IDC_UNINSTALL_TIMEOUT_LABEL, IDC_UNINSTALL_WARNING,
                                 IDC_UNINSTALL_TIMEOUT};
const int kUninstallReboot[] = {IDC_UNINSTALL_REBOOT_MESSAGE, IDC_UNINSTALL_REBOOT_RUN};

int Slot(int id) {
  for (int i = 0; i < FORM_VIEW_SLOTS; ++i)
    if (form_view_ids[i] == id) return i;
  return -1;
}

template <size_t N>
void EnableAll(FormView* view, const int (&ids)[N], bool enabled) {
  for (int id : ids) form_view_enable(view, id, enabled);
}

uint8_t& Flag(ProjectRecord* record, const FormBinding& b) {
  return *reinterpret_cast<uint8_t*>(form_field(record, b));
}

uint8_t Flag(const ProjectRecord& record, const FormBinding& b) {
  return *reinterpret_cast<const uint8_t*>(form_field(&record, b));
}

int* ListSelection(FormView* view, int id) {
  return id == IDC_INSTALL_TIMEOUT ? &view->install_timeout : &view->uninstall_timeout;
}

// The check boxes, radio buttons and lists from their fields.
void ViewFromRecord(FormView* view, const ProjectRecord& record) {
  for (const FormBinding& b : form_bindings) {
    uint8_t value = Flag(record, b);
    switch (b.kind) {
      case BIND_CHECK: form_view_check(view, b.id, value == 1); break;
      case BIND_OS: form_view_check(view, b.id, value == '1'); break;
      case BIND_RADIO:
        form_view_check(view, b.id, value == 0);
        form_view_check(view, b.second, value != 0);
        break;
      case BIND_LIST: *ListSelection(view, b.id) = value; break;
      default: break;
    }
  }
}

// The field of one option control from the view.
void RecordFromView(const FormBinding& b, FormView* view, ProjectRecord* record) {
  uint8_t& value = Flag(record, b);
  bool checked = form_view_checked(*view, b.id);
  switch (b.kind) {
    case BIND_CHECK: value = checked ? 1 : 0; break;
    case BIND_OS: value = checked ? '1' : '0'; break;
    case BIND_RADIO: value = checked ? 0 : 1; break;
    case BIND_LIST: value = static_cast<uint8_t>(*ListSelection(view, b.id)); break;
    default: break;
  }
}

// What the installer's type and update-error choices enable.
void InstallerEnables(FormView* view, const ProjectRecord& r) {
  bool silent = r.install_type != 0;
  EnableAll(view, kInstallWarning, silent);
  EnableAll(view, kInstallReboot, silent && r.copy_error_mode != 0);
}

// What the uninstaller's type and delete-error choices enable, unless no
// uninstaller is registered at all.
void UninstallerEnables(FormView* view, const ProjectRecord& r) {
  bool registered = r.no_uninstall_entry != 1;
  bool silent = r.uninstall_type != 0;
  EnableAll(view, kUninstallChoices, registered);
  EnableAll(view, kUninstallWarning, registered && silent);
  EnableAll(view, kUninstallReboot, registered && silent && r.delete_error_mode != 0);
}

}  // namespace

bool form_view_checked(const FormView& view, int id) {
  int s = Slot(id);
  return s >= 0 && view.checked[s];
}

void form_view_check(FormView* view, int id, bool checked) {
  int s = Slot(id);
  if (s >= 0) view->checked[s] = checked;
}

bool form_view_enabled(const FormView& view, int id) {
  int s = Slot(id);
  return s >= 0 && view.enabled[s];
}

void form_view_enable(FormView* view, int id, bool enabled) {
  int s = Slot(id);
  if (s >= 0) view->enabled[s] = enabled;
}

void form_view_show(FormView* view, const ProjectRecord& record) {
  for (int i = 0; i < FORM_VIEW_SLOTS; ++i) {
    view->checked[i] = false;
    view->enabled[i] = true;
  }
  ViewFromRecord(view, record);
  InstallerEnables(view, record);
  UninstallerEnables(view, record);
}

bool form_option_command(int id, FormView* view, ProjectRecord* record) {
  const FormBinding* b = form_binding_find(id);
  if (!b || b->kind == BIND_TEXT || b->kind == BIND_DIGITS || b->kind == BIND_SHOWN)
    return false;
  RecordFromView(*b, view, record);
  const ProjectRecord& r = *record;
  switch (b->id) {
    case IDC_INSTALL_NORMAL:
      // The time-out list follows the type, whatever the warning box says;
      // from its next click on, it follows the warning box.
      InstallerEnables(view, r);
      break;
    case IDC_INSTALL_WARNING:
      form_view_enable(view, IDC_INSTALL_TIMEOUT, r.install_warning == 1);
      break;
    case IDC_COPY_ERROR_END:
      EnableAll(view, kInstallReboot, r.install_type != 0 && r.copy_error_mode != 0);
      break;
    case IDC_NO_UNINSTALL:
      if (r.no_uninstall_entry == 1) {
        UninstallerEnables(view, r);
      } else {
        // Taking the box off gives back what the uninstaller's choices on
        // the form enable.
        bool silent = form_view_checked(*view, IDC_UNINSTALL_SILENT);
        EnableAll(view, kUninstallChoices, true);
        if (silent) EnableAll(view, kUninstallWarning, true);
        if (silent && form_view_checked(*view, IDC_DELETE_ERROR_RESTART))
          EnableAll(view, kUninstallReboot, true);
      }
      break;
    case IDC_UNINSTALL_NORMAL:
      EnableAll(view, kUninstallWarning, r.uninstall_type != 0);
      EnableAll(view, kUninstallReboot, r.uninstall_type != 0 && r.delete_error_mode != 0);
      break;
    case IDC_UNINSTALL_WARNING:
      form_view_enable(view, IDC_UNINSTALL_TIMEOUT, r.uninstall_warning == 1);
      break;
    case IDC_DELETE_ERROR_END:
      EnableAll(view, kUninstallReboot, r.uninstall_type != 0 && r.delete_error_mode != 0);
      break;
    default: break;  // fields only
  }
  return true;
}

// --- Building ----------------------------------------------------------

int form_build_check(const ProjectRecord& r, bool registered, bool module_usable) {
  bool any_os = false;
  for (int i = 4; i < 10; ++i) any_os |= r.os_flags[i] != '0';
  if (!registered) return BUILD_MSG_UNREGISTERED;
  if (!r.project_name[0]) return BUILD_MSG_NO_PROJECT_NAME;
  if (!r.project_folder[0]) return BUILD_MSG_NO_PROJECT_FOLDER;
  if (!r.product_name[0]) return BUILD_MSG_NO_PRODUCT_NAME;
  if (!r.version_major[0]) return BUILD_MSG_NO_VERSION;
  if (!r.module_path[0] || !module_usable) return BUILD_MSG_NO_MODULE;
  if (!any_os) return BUILD_MSG_NO_OS;
  if (!r.setup_program_name[0]) return BUILD_MSG_NO_SETUP_NAME;
  if (!r.installer_folder[0]) return BUILD_MSG_NO_INSTALLER_FOLDER;
  return 0;
}
