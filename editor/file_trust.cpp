// Reading the owner and the access list of an open file for the rule of
// editor/trust_rules.h.
#include "editor/file_trust.h"

#include <aclapi.h>

#include "common/os.h"
#include "common/text.h"
#include "editor/trust_rules.h"

namespace {

// Access lists longer than this are not read: such a file is not one the
// editor wrote.
const DWORD kEntriesMax = 32;

// The accounts a file may be written by, on the process heap.
struct Accounts {
  PSID self;
  PSID administrators;
  PSID system;
};

PSID TokenUserCopy() {
  HANDLE token = NULL;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return NULL;
  BYTE buffer[256];
  DWORD size = 0;
  PSID copy = NULL;
  if (GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size)) {
    PSID sid = reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid;
    DWORD length = GetLengthSid(sid);
    copy = HeapAlloc(GetProcessHeap(), 0, length);
    if (copy && !CopySid(length, copy, sid)) {
      HeapFree(GetProcessHeap(), 0, copy);
      copy = NULL;
    }
  }
  CloseHandle(token);
  return copy;
}

// False when an account cannot be had; what was had is freed by
// AccountsFree either way.
bool AccountsGet(Accounts* a) {
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  a->self = TokenUserCopy();
  if (!AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0,
                                0, 0, 0, 0, 0, &a->administrators))
    a->administrators = NULL;
  if (!AllocateAndInitializeSid(&nt, 1, SECURITY_LOCAL_SYSTEM_RID, 0, 0, 0, 0, 0, 0, 0,
                                &a->system))
    a->system = NULL;
  return a->self && a->administrators && a->system;
}

void AccountsFree(Accounts* a) {
  if (a->self) HeapFree(GetProcessHeap(), 0, a->self);
  if (a->administrators) FreeSid(a->administrators);
  if (a->system) FreeSid(a->system);
}

TrustWho Who(const Accounts& a, PSID sid) {
  if (!sid || !IsValidSid(sid)) return TRUST_WHO_OTHER;
  if (EqualSid(sid, a.self)) return TRUST_WHO_SELF;
  if (EqualSid(sid, a.administrators)) return TRUST_WHO_ADMINISTRATORS;
  if (EqualSid(sid, a.system)) return TRUST_WHO_SYSTEM;
  return TRUST_WHO_OTHER;
}

TrustEntryKind KindOf(BYTE type) {
  switch (type) {
    case ACCESS_ALLOWED_ACE_TYPE: return TRUST_ENTRY_ALLOW;
    case ACCESS_ALLOWED_COMPOUND_ACE_TYPE:
    case ACCESS_ALLOWED_OBJECT_ACE_TYPE:
    case ACCESS_ALLOWED_CALLBACK_ACE_TYPE:
    case ACCESS_ALLOWED_CALLBACK_OBJECT_ACE_TYPE: return TRUST_ENTRY_ALLOW_OTHER;
    case ACCESS_DENIED_ACE_TYPE:
    case ACCESS_DENIED_OBJECT_ACE_TYPE:
    case ACCESS_DENIED_CALLBACK_ACE_TYPE:
    case ACCESS_DENIED_CALLBACK_OBJECT_ACE_TYPE: return TRUST_ENTRY_DENY;
    default: return TRUST_ENTRY_OTHER;
  }
}

// The entries of a list as the rule takes them. False for a list too long
// or one whose entries cannot be read.
bool EntriesRead(const Accounts& a, PACL list, TrustEntry* entries, DWORD* count) {
  *count = list->AceCount;
  if (*count > kEntriesMax) return false;
  for (DWORD i = 0; i < *count; ++i) {
    ACCESS_ALLOWED_ACE* ace = NULL;
    if (!GetAce(list, i, reinterpret_cast<void**>(&ace))) return false;
    // Every entry type holds its access mask right after its header.
    TrustEntry& e = entries[i];
    e.kind = KindOf(ace->Header.AceType);
    e.who = e.kind == TRUST_ENTRY_ALLOW ? Who(a, &ace->SidStart) : TRUST_WHO_OTHER;
    e.mask = ace->Mask;
    e.inherit_only = (ace->Header.AceFlags & INHERIT_ONLY_ACE) != 0;
  }
  return true;
}

// Whether the volume of path keeps access lists; true when it cannot be
// told.
bool VolumeKeepsLists(const wchar_t* path) {
  wchar_t root[VT_PATH_CAP];
  DWORD flags = 0;
  if (!trust_volume_root(path, root, VT_PATH_CAP) ||
      !GetVolumeInformationW(root, NULL, 0, NULL, NULL, &flags, NULL, 0))
    return true;
  return (flags & FILE_PERSISTENT_ACLS) != 0;
}

}  // namespace

bool file_trusted(HANDLE handle, const wchar_t* path, bool folder) {
  if (OsProtectionOf(OsCode) == OS_PROTECT_NONE || !VolumeKeepsLists(path)) return true;
  PSID owner = NULL;
  PACL list = NULL;
  PSECURITY_DESCRIPTOR descriptor = NULL;
  if (GetSecurityInfo(handle, SE_FILE_OBJECT,
                      OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner, NULL,
                      &list, NULL, &descriptor) != ERROR_SUCCESS)
    return false;
  Accounts accounts = {};
  TrustEntry entries[kEntriesMax];
  DWORD count = 0;
  bool trusted = AccountsGet(&accounts) && (!list || EntriesRead(accounts, list, entries, &count)) &&
                 trust_only_ours(Who(accounts, owner), list != NULL, entries, count, folder);
  AccountsFree(&accounts);
  LocalFree(descriptor);
  return trusted;
}
