// Entry point of the Installer: its exit code is the run status.
#include "common/syslib.h"
#include "installer/installer.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR command_line, int) {
  // An elevated program started from a download folder must not load a
  // library planted beside it: restrict the search before anything loads.
  SystemLibrarySearchRestrict();
  return installer_run(instance, command_line);
}
