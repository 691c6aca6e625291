// Identification of the running Windows version at start-up.
#include "common/os.h"

#include "common/syslib.h"

int OsCode = OS_UNKNOWN;
LCID UserDefaultLcid = 0;
AddAceExFn AddAceExProc = OS_ACE_PROC_UNSET;

namespace {

// Looks up AddAccessAllowedAceEx once; on Windows NT 4.0 and older, which
// lack it, the pointer becomes NULL. advapi32 is imported by the program,
// so it is normally loaded already; otherwise only the system folder's copy
// is loaded. Without a module the pointer keeps its initial value.
void AceProcLookUp() {
  if (AddAceExProc != OS_ACE_PROC_UNSET) return;
  HMODULE advapi = GetModuleHandleA("advapi32.dll");
  if (!advapi) advapi = SystemLibraryLoad(L"advapi32.dll");
  if (!advapi) return;
  AddAceExFn proc;
  SystemProcGet(advapi, "AddAccessAllowedAceEx", &proc);
  AddAceExProc = proc;
}

}  // namespace

int OsIdentify(const char** name) {
  UserDefaultLcid = GetUserDefaultLCID();
  OsCode = OS_UNKNOWN;

  OSVERSIONINFOA info = {};
  info.dwOSVersionInfoSize = sizeof info;  // 148
  if (GetVersionExA(&info)) {
    OsVersion version = {info.dwPlatformId, info.dwMajorVersion, info.dwMinorVersion,
                         info.dwBuildNumber & 0xFFFF, 0};
    // The product type is asked for only where it decides the code: the NT
    // versions after 5.2. Older systems do not know the extended structure.
    if (version.platform == VER_PLATFORM_WIN32_NT && version.major >= 6) {
      OSVERSIONINFOEXA extended = {};
      extended.dwOSVersionInfoSize = sizeof extended;  // 156
      if (GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&extended)))
        version.product_type = extended.wProductType;
    }
    OsCode = OsClassify(version);
  }

  if (OsProtectionOf(OsCode) == OS_PROTECT_ACCESS_LIST) AceProcLookUp();
  if (name) *name = OsName(OsCode);
  return OsCode;
}
