// Entry point of the editor: its exit code is that of editor_main.
#include "common/syslib.h"
#include "editor/editor.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, PWSTR command_line, int show) {
  // No library is ever taken from the current folder.
  SystemLibrarySearchRestrict();
  return editor_main(instance, previous, command_line, show);
}
