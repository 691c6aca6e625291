// The rules of the project form on the main window: which control shows
// which field of the project record, how typed text enters its field, and
// how the option groups enable their controls. Compiles without windows.h;
// editor/form.cpp moves the values between these rules and the real
// controls.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "editor/project/project_record.h"

// How a control is bound to its field.
enum FormBindKind {
  BIND_TEXT,    // edit control, committed into a text field
  BIND_DIGITS,  // the same, digits only (number style, no input method)
  BIND_SHOWN,   // read-only edit control showing a text field
  BIND_CHECK,   // check box: the field's byte is 1 when checked
  BIND_OS,      // OS check box: the field's character is "1" when checked
  BIND_RADIO,   // first of a radio pair: the field's byte is 0 when it is
                // checked, 1 when the second button is
  BIND_LIST     // drop-down list: the field's byte is the selected index
};

// One control and its field. width is the field's size in bytes; limit the
// edit limit in characters (0 for none); second the other button of a radio
// pair.
struct FormBinding {
  int id;
  FormBindKind kind;
  uint16_t offset;
  uint16_t width;
  uint8_t limit;
  int second;
};

extern const FormBinding form_bindings[];
extern const size_t form_binding_count;

// The binding of a control, or NULL when the control is bound to nothing.
// The second button of a radio pair finds the pair's binding.
const FormBinding* form_binding_find(int id);

// The bytes of a binding's field inside a record.
inline char* form_field(ProjectRecord* record, const FormBinding& b) {
  return reinterpret_cast<char*>(record) + b.offset;
}
inline const char* form_field(const ProjectRecord* record, const FormBinding& b) {
  return reinterpret_cast<const char*>(record) + b.offset;
}

// --- Typed text --------------------------------------------------------

// Normalises typed text (len bytes of code page 932) into out, which holds
// at least len + 1 bytes: bytes 0x00-0x20 at either end removed; every run
// of backslashes outside double-byte characters shrunk to one; a final
// single-byte backslash dropped; every leading backslash dropped. The
// second byte of a double-byte character (0x5C in "ソ") is never taken for
// a backslash. Returns the length of the result, which is NUL-terminated.
size_t form_text_normalise(const char* text, size_t len, char* out);

// Commits typed text (len bytes of code page 932) into the field of a text
// binding: normalised, then stored on whole characters, cut to the field
// with its terminating NUL kept; an empty result empties the field. Returns
// true when the field changed.
bool form_text_commit(ProjectRecord* record, const FormBinding& b, const char* text,
                      size_t len);

// --- Option groups -----------------------------------------------------

// The check state and the enabled state of the controls the option rules
// govern, and the selections of the two time-out lists.
enum { FORM_VIEW_SLOTS = 28 };
struct FormView {
  bool checked[FORM_VIEW_SLOTS];
  bool enabled[FORM_VIEW_SLOTS];
  int install_timeout;    // selected index of the installer's time-out list
  int uninstall_timeout;  // selected index of the uninstaller's
};

// The controls the view holds, in slot order.
extern const int form_view_ids[FORM_VIEW_SLOTS];

bool form_view_checked(const FormView& view, int id);
void form_view_check(FormView* view, int id, bool checked);
bool form_view_enabled(const FormView& view, int id);
void form_view_enable(FormView* view, int id, bool enabled);

// The form as it shows a record: every check box, radio button and list
// from its field, and the controls each option enables. A new project is
// shown the same way, which gives the default option state.
void form_view_show(FormView* view, const ProjectRecord& record);

// A click on an option control (or a selection in a list), with the view
// holding the controls' states after it: the control's field takes its
// value and the option rules enable or disable what depends on it. Returns
// false when id is not an option control (nothing changes then).
bool form_option_command(int id, FormView* view, ProjectRecord* record);

// --- Building ----------------------------------------------------------

// Messages of the checks before a build.
enum {
  BUILD_MSG_UNREGISTERED = 2003,    // the project is not in the project list
  BUILD_MSG_NO_PROJECT_NAME = 2004,
  BUILD_MSG_NO_PROJECT_FOLDER = 2005,
  BUILD_MSG_NO_PRODUCT_NAME = 2006,
  BUILD_MSG_NO_VERSION = 2007,
  BUILD_MSG_NO_MODULE = 2008,       // none chosen, missing or empty
  BUILD_MSG_NO_OS = 2009,
  BUILD_MSG_NO_SETUP_NAME = 2010,
  BUILD_MSG_NO_INSTALLER_FOLDER = 2011
};

// The first check a project fails before a build, in the order the
// messages are numbered, or 0 when it passes. registered tells whether its
// GUID is in the project list; module_usable whether the module file exists
// with a size of at least one byte.
int form_build_check(const ProjectRecord& record, bool registered, bool module_usable);
