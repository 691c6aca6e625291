// Entry point of the Installer: its exit code is the run status.
//
// The Installer starts here rather than in the C runtime's start-up code.
// It is copied into every package and every uninstaller, and that code
// (the runtime's argument, environment, thread-local storage and
// relocation set-up, none of which the Installer uses) was a sixth of its
// image. The runtime library, msvcrt.dll, sets itself up when it loads;
// what is left to do here is the program's own static constructors and
// the exit through exit(), which flushes the C streams.
#include <stdlib.h>

#include "common/command_line.h"
#include "common/syslib.h"
#include "installer/installer.h"

// The constructors of static objects as the linker gathers them: a count
// or -1, the functions, then a null pointer. They run last to first.
extern "C" void (*__CTOR_LIST__[])();

namespace {

void StaticConstructorsRun() {
  size_t count = 0;
  while (__CTOR_LIST__[count + 1]) ++count;
  for (; count > 0; --count) __CTOR_LIST__[count]();
}

}  // namespace

// The 32-bit system enters with the stack aligned to 4 bytes only.
extern "C" __attribute__((force_align_arg_pointer, noreturn)) void InstallerStart() {
  // An elevated program started from a download folder must not load a
  // library planted beside it: restrict the search before anything loads.
  SystemLibrarySearchRestrict();
  StaticConstructorsRun();
  exit(installer_run(GetModuleHandleW(NULL), CommandLineArguments(GetCommandLineW())));
}
