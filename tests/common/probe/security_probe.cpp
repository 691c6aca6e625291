// Reports the security blocks of a program that identified the running
// system with OsIdentify, for the access-control tests, which run this
// program under the Windows versions Wine can report. Each block is given
// to a new mutex, whose list the system keeps as given, and read back.
//
// Written to the file given as the only argument: "code ace-state" (as the
// OS probe writes it), then one line per block,
//   <entry function> <form> <grant> <what the mutex got>
// entry function "found" (as looked up) or "plain" (AddAceExProc cleared,
// as on a system without the Ex form); form W or A; grant full or read;
// then "none" (no attributes), "null" (a NULL list) or "list <size>
// <inherit handle>" followed by "type/flags/mask/SID" per entry.
#include <stdio.h>
#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <initializer_list>

#include "common/os.h"
#include "common/security.h"

namespace {

void ListWrite(FILE* out, SECURITY_ATTRIBUTES* attributes) {
  if (!attributes) {
    fprintf(out, " none");
    return;
  }
  HANDLE mutex = CreateMutexW(attributes, FALSE, nullptr);
  PACL acl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!mutex || GetSecurityInfo(mutex, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                nullptr, &acl, nullptr, &descriptor) != ERROR_SUCCESS) {
    fprintf(out, " failed %lu", GetLastError());
  } else if (!acl) {
    fprintf(out, " null");
  } else {
    fprintf(out, " list %u %d", acl->AclSize, attributes->bInheritHandle);
    for (DWORD i = 0; i < acl->AceCount; ++i) {
      ACCESS_ALLOWED_ACE* ace;
      char* sid = nullptr;
      if (!GetAce(acl, i, reinterpret_cast<void**>(&ace)) ||
          !ConvertSidToStringSidA(&ace->SidStart, &sid))
        continue;
      fprintf(out, " %u/%u/%lx/%s", ace->Header.AceType, ace->Header.AceFlags, ace->Mask, sid);
      LocalFree(sid);
    }
  }
  if (descriptor) LocalFree(descriptor);
  if (mutex) CloseHandle(mutex);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return -1;
  int code = OsIdentify(nullptr);
  FILE* out = _wfopen(argv[1], L"w");
  if (!out) return -2;
  int ace = AddAceExProc == OS_ACE_PROC_UNSET ? 1 : AddAceExProc ? 2 : 0;
  fprintf(out, "%d %d\n", code, ace);
  AddAceExFn found = AddAceExProc;
  for (AddAceExFn proc : {found, AddAceExFn(nullptr)}) {
    AddAceExProc = proc;
    for (bool narrow : {false, true}) {
      for (SecurityGrant grant : {SECURITY_GRANT_FULL, SECURITY_GRANT_USERS_READ}) {
        SecurityBlock block = {};
        SECURITY_ATTRIBUTES* attributes = nullptr;
        (narrow ? SecurityBlockBuildA : SecurityBlockBuild)(&attributes, &block, grant);
        fprintf(out, "%s %s %s", proc ? "found" : "plain", narrow ? "A" : "W",
                grant == SECURITY_GRANT_FULL ? "full" : "read");
        ListWrite(out, attributes);
        fprintf(out, "\n");
        SecurityBlockFree(&block);
      }
    }
  }
  fclose(out);
  return code;
}
