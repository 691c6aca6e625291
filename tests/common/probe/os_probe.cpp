// Reports what OsIdentify finds, for the OsIdentify tests, which run this
// program under each Windows version Wine can report: the OS code is the
// exit code, and "code lcid ace-state name" goes to the file given as the
// only argument (ace-state: 1 unset, 0 NULL, 2 found), followed by the
// platform, version and product type the system reports on a second line.
#include <stdio.h>

#include "common/os.h"

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return -1;
  const char* name = nullptr;
  int code = OsIdentify(&name);
  int ace = AddAceExProc == OS_ACE_PROC_UNSET ? 1 : AddAceExProc ? 2 : 0;
  FILE* out = _wfopen(argv[1], L"w");
  if (!out) return -2;
  fprintf(out, "%d %lu %d %s\n", code, static_cast<unsigned long>(UserDefaultLcid), ace, name);
  OSVERSIONINFOEXA v = {};
  v.dwOSVersionInfoSize = sizeof v;
  GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&v));
  fprintf(out, "%lu %lu %lu %lu %u\n", v.dwPlatformId, v.dwMajorVersion, v.dwMinorVersion,
          v.dwBuildNumber & 0xFFFF, v.wProductType);
  fclose(out);
  return code;
}
