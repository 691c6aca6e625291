// Access control: the security block handed to the creation of folders and
// registry keys, and the grants added to an existing kernel object.
#include "common/security.h"

#include <aclapi.h>

#include "common/os.h"
#include "common/security_groups.h"
#include "common/status.h"

SecurityGroupSid SecurityGroups[SECURITY_GROUP_COUNT] = {
    {2, {SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS}},  // Administrators
    {1, {SECURITY_LOCAL_SYSTEM_RID, 0}},                          // SYSTEM
    {1, {SECURITY_AUTHENTICATED_USER_RID, 0}}};                   // Authenticated Users

namespace {

// Files and subfolders created below inherit every entry.
const DWORD kInheritFlags = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;
// Every standard and object-specific right of a kernel object (0x1FFFFF).
const DWORD kObjectAllAccess = STANDARD_RIGHTS_REQUIRED | SYNCHRONIZE | 0xFFFF;
// Room for a domain name of the account look-up.
const DWORD kDomainCap = 256;

static_assert(sizeof(ACL) == 8, "access list header");
static_assert(sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD) == 8, "allow entry without its SID");
static_assert(sizeof(SECURITY_DESCRIPTOR) == (sizeof(void*) == 4 ? 20 : 40),
              "absolute security descriptor");

void* HeapGet(SIZE_T size) { return HeapAlloc(GetProcessHeap(), 0, size); }

void HeapPut(void* memory) {
  if (memory) HeapFree(GetProcessHeap(), 0, memory);
}

// The entry function holds an address only after a look-up that found it;
// 1 means not looked up, NULL not found.
bool AceProcFound() { return reinterpret_cast<UINT_PTR>(AddAceExProc) >= 2; }

// Adds an allow entry that files and subfolders created below inherit.
// Systems before Windows 2000 have no AddAccessAllowedAceEx: there the
// entry is added plainly and the inheritance flags are set in its header,
// which gives the same entry.
BOOL EntryAdd(PACL acl, DWORD access, PSID sid) {
  if (AceProcFound()) return AddAceExProc(acl, ACL_REVISION, kInheritFlags, access, sid);
  if (!AddAccessAllowedAce(acl, ACL_REVISION, access, sid)) return FALSE;
  ACE_HEADER* header;
  if (!GetAce(acl, acl->AceCount - 1, reinterpret_cast<void**>(&header))) return FALSE;
  header->AceFlags = static_cast<BYTE>(kInheritFlags);
  return TRUE;
}

BOOL AccountLookUp(const wchar_t* name, PSID sid, DWORD* sidSize, DWORD* domainSize) {
  wchar_t domain[kDomainCap];
  SID_NAME_USE use;
  return LookupAccountNameW(NULL, name, sid, sidSize, domain, domainSize, &use);
}

BOOL AccountLookUp(const char* name, PSID sid, DWORD* sidSize, DWORD* domainSize) {
  char domain[kDomainCap];
  SID_NAME_USE use;
  return LookupAccountNameA(NULL, name, sid, sidSize, domain, domainSize, &use);
}

// SidLookup and SidLookupA: the first look-up only learns the SID's size.
template <typename C>
int SidResolve(const C* name, PSID* sid) {
  *sid = NULL;
  if (!name) return 0;
  DWORD sidSize = 0;
  DWORD domainSize = kDomainCap;
  AccountLookUp(name, NULL, &sidSize, &domainSize);
  if (sidSize == 0) return 0;  // no such account
  PSID found = HeapGet(sidSize);
  if (!found) return 0;
  domainSize = kDomainCap;
  if (!AccountLookUp(name, found, &sidSize, &domainSize)) {
    HeapPut(found);
    return 0;
  }
  *sid = found;
  return 1;
}

// The SID of the user the process runs as, copied to the process heap.
// Returns 0 when it cannot be had.
int TokenUserSid(PSID* sid) {
  *sid = NULL;
  HANDLE token = NULL;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return 0;
  DWORD size = 0;
  GetTokenInformation(token, TokenUser, NULL, 0, &size);
  TOKEN_USER* user = size ? static_cast<TOKEN_USER*>(HeapGet(size)) : NULL;
  if (user && GetTokenInformation(token, TokenUser, user, size, &size)) {
    DWORD length = GetLengthSid(user->User.Sid);
    PSID copy = HeapGet(length);
    if (copy && CopySid(length, copy, user->User.Sid))
      *sid = copy;
    else
      HeapPut(copy);
  }
  HeapPut(user);
  CloseHandle(token);
  return *sid != NULL;
}

// The well-known SID of a group on the process heap, made rather than
// looked up by a name that differs from system to system. Returns 0 when
// it cannot be made.
int WellKnownSid(int group, PSID* sid) {
  *sid = NULL;
  const SecurityGroupSid& g = SecurityGroups[group];
  if (g.count < 1 || g.count > 2) return 0;
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  DWORD size = GetSidLengthRequired(g.count);
  PSID made = HeapGet(size);
  if (!made || !InitializeSid(made, &nt, g.count)) {
    HeapPut(made);
    return 0;
  }
  for (BYTE i = 0; i < g.count; ++i) *GetSidSubAuthority(made, i) = g.rids[i];
  *sid = made;
  return 1;
}

// The SID of a group, or for the private grant, the process's user in the
// place of Authenticated Users.
int GroupSid(int group, SecurityGrant grant, PSID* sid) {
  if (group == SECURITY_GROUP_USERS && grant == SECURITY_GRANT_PRIVATE) return TokenUserSid(sid);
  return WellKnownSid(group, sid);
}

// What a group may do in a folder or key.
DWORD GroupAccess(int group, SecurityGrant grant) {
  // Under the users-read grant Authenticated Users may read and run what
  // the folder or key holds and change nothing: an administrator later runs
  // the uninstaller from there elevated.
  if (group == SECURITY_GROUP_USERS && grant == SECURITY_GRANT_USERS_READ)
    return GENERIC_READ | GENERIC_EXECUTE;
  // Administrators, SYSTEM, and Authenticated Users under the full grant:
  // full control.
  return GENERIC_ALL;
}

void AttributesSet(SecurityBlock* block, void* descriptor, BOOL inherit) {
  block->attributes.nLength = sizeof block->attributes;
  block->attributes.lpSecurityDescriptor = descriptor;
  block->attributes.bInheritHandle = inherit;
}

// Builds the access list, one allow entry per SID held in order, and the
// heap descriptor that carries it. On failure nothing is kept.
bool ListBuild(SecurityBlock* block, const DWORD* access) {
  DWORD size = AclSizeFor(block->count, block->sids);
  PACL acl = static_cast<PACL>(HeapGet(size));
  PSECURITY_DESCRIPTOR descriptor = HeapGet(sizeof(SECURITY_DESCRIPTOR));
  bool ok = acl && descriptor && InitializeAcl(acl, size, ACL_REVISION);
  for (int i = 0; ok && i < block->count; ++i)
    ok = EntryAdd(acl, access[i], block->sids[i]) != FALSE;
  ok = ok && InitializeSecurityDescriptor(descriptor, SECURITY_DESCRIPTOR_REVISION) &&
       SetSecurityDescriptorDacl(descriptor, TRUE, acl, FALSE);
  if (!ok) {
    HeapPut(descriptor);
    HeapPut(acl);
    return false;
  }
  block->acl = acl;
  block->descriptor = descriptor;
  AttributesSet(block, descriptor, FALSE);
  return true;
}

// The attributes to hand out, or NULL where the system keeps no access
// lists.
SECURITY_ATTRIBUTES* BlockBuild(SecurityBlock* block, SecurityGrant grant) {
  if (OsProtectionOf(OsCode) == OS_PROTECT_NONE) return NULL;
  DWORD access[SECURITY_GROUP_COUNT];
  block->count = 0;
  for (int group = 0; group < SECURITY_GROUP_COUNT; ++group) {
    PSID sid;
    if (!GroupSid(group, grant, &sid)) {
      // Without its own user a private folder would shut that user out.
      if (grant == SECURITY_GRANT_PRIVATE) break;
      continue;  // left out of the list
    }
    access[block->count] = GroupAccess(group, grant);
    block->sids[block->count++] = sid;
  }
  bool complete = grant != SECURITY_GRANT_PRIVATE || block->count == SECURITY_GROUP_COUNT;
  if (block->count > 0 && complete && ListBuild(block, access)) return &block->attributes;
  // No group resolved, or the list could not be made: an empty list would
  // lock everyone out, so the object gets the default security that its
  // parent and the process token give it.
  for (int i = 0; i < block->count; ++i) {
    HeapPut(block->sids[i]);
    block->sids[i] = NULL;
  }
  block->count = 0;
  AttributesSet(block, NULL, FALSE);
  return &block->attributes;
}

}  // namespace

int SecurityBlockBuild(SECURITY_ATTRIBUTES** attributes, SecurityBlock* block,
                       SecurityGrant grant) {
  *attributes = BlockBuild(block, grant);
  return 1;
}

int SecurityBlockBuildA(SECURITY_ATTRIBUTES** attributes, SecurityBlock* block,
                        SecurityGrant grant) {
  *attributes = BlockBuild(block, grant);
  return 1;
}

void SecurityBlockFree(SecurityBlock* block) {
  if (!block->acl) return;
  HeapPut(block->descriptor);
  HeapPut(block->acl);
  for (int i = 0; i < block->count; ++i) {
    HeapPut(block->sids[i]);
    block->sids[i] = NULL;
  }
  // A second free finds nothing left to free.
  block->descriptor = NULL;
  block->acl = NULL;
  block->count = 0;
  block->attributes.lpSecurityDescriptor = NULL;
}

int SidLookup(const wchar_t* name, PSID* sid) { return SidResolve(name, sid); }

int SidLookupA(const char* name, PSID* sid) { return SidResolve(name, sid); }

DWORD AclSizeFor(int count, const PSID* sids) {
  DWORD size = sizeof(ACL);
  for (int i = 0; i < count; ++i)
    if (sids[i]) size += sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD) + GetLengthSid(sids[i]);
  return size;
}

int GrantObjectAccess(HANDLE object) {
  PACL current = NULL;
  PSECURITY_DESCRIPTOR descriptor = NULL;
  DWORD error = GetSecurityInfo(object, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, NULL,
                                NULL, &current, NULL, &descriptor);
  if (error != ERROR_SUCCESS) {
    SetLastError(error);
    return ST_ACL_QUERY;
  }
  // Full access for each group, by its well-known SID, for the object
  // itself only.
  EXPLICIT_ACCESS_W grants[SECURITY_GROUP_COUNT] = {};
  PSID sids[SECURITY_GROUP_COUNT] = {};
  bool made = true;
  for (int group = 0; group < SECURITY_GROUP_COUNT; ++group) {
    EXPLICIT_ACCESS_W& grant = grants[group];
    made = WellKnownSid(group, &sids[group]) && made;
    grant.grfAccessPermissions = kObjectAllAccess;
    grant.grfAccessMode = GRANT_ACCESS;
    grant.grfInheritance = NO_INHERITANCE;
    grant.Trustee.pMultipleTrustee = NULL;
    grant.Trustee.MultipleTrusteeOperation = NO_MULTIPLE_TRUSTEE;
    grant.Trustee.TrusteeForm = TRUSTEE_IS_SID;
    grant.Trustee.TrusteeType = TRUSTEE_IS_GROUP;
    grant.Trustee.ptstrName = static_cast<LPWSTR>(sids[group]);
  }
  PACL merged = NULL;
  int status = ST_OK;
  error = made ? SetEntriesInAclW(SECURITY_GROUP_COUNT, grants, current, &merged)
               : static_cast<DWORD>(ERROR_NONE_MAPPED);
  for (PSID sid : sids) HeapPut(sid);
  if (error != ERROR_SUCCESS) {
    status = ST_ACL_MERGE;
  } else {
    error = SetSecurityInfo(object, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, NULL, NULL,
                            merged, NULL);
    if (error != ERROR_SUCCESS) status = ST_ACL_APPLY;
  }
  if (merged) LocalFree(merged);
  // The current list lies inside this descriptor.
  LocalFree(descriptor);
  if (status != ST_OK) SetLastError(error);
  return status;
}
