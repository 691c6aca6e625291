// Access control for the folders, registry keys and kernel objects that the
// programs create: "Administrators", "SYSTEM" and "Authenticated Users", in
// that order, each by its well-known SID, whatever it is called on the
// system (common/security_groups.h).
//
// A SecurityBlock is built just before a create call, handed to it as its
// SECURITY_ATTRIBUTES and freed right after. It never carries a NULL access
// list, which would give every local user full control: on the Windows 9x
// family, which keeps no access lists, the build hands out no attributes at
// all (a NULL pointer that the create calls accept).
#pragma once

#include <windows.h>

// What "Authenticated Users" receives; the other two groups always get full
// control.
enum SecurityGrant {
  SECURITY_GRANT_FULL,       // GENERIC_ALL
  SECURITY_GRANT_USERS_READ,  // GENERIC_READ | GENERIC_EXECUTE
  SECURITY_GRANT_PRIVATE      // no Authenticated Users: the user the process
                              // runs as gets full control in their place
};

struct SecurityBlock {
  int count;                      // SIDs held; 0 until built
  PACL acl;                       // heap access list; NULL when none was built
  PSID sids[8];                   // heap SIDs; an unresolved group leaves no slot
  SECURITY_ATTRIBUTES attributes; // what the build hands out
  PSECURITY_DESCRIPTOR descriptor;  // heap descriptor holding acl
};

// Builds the block (zero-initialised by the caller) and hands out its
// attributes: with the three groups' access list where the OS code gets
// one (OsProtectionOf), with the default security of the parent and the
// process token where no group resolves or the list cannot be made there,
// and NULL on the Windows 9x family. Always returns 1. The narrow form,
// which once looked the groups up by their ANSI names, builds the same.
int SecurityBlockBuild(SECURITY_ATTRIBUTES** attributes, SecurityBlock* block,
                       SecurityGrant grant = SECURITY_GRANT_FULL);
int SecurityBlockBuildA(SECURITY_ATTRIBUTES** attributes, SecurityBlock* block,
                        SecurityGrant grant = SECURITY_GRANT_FULL);

// Frees what the build allocated; does nothing where no list was built.
void SecurityBlockFree(SecurityBlock* block);

// Resolves an account name on the local system into a SID on the process
// heap (the builds no longer look groups up by name). Returns non-zero on
// success; on failure the SID pointer is NULL.
int SidLookup(const wchar_t* name, PSID* sid);
int SidLookupA(const char* name, PSID* sid);

// Byte size of an access list with one allow entry per SID.
DWORD AclSizeFor(int count, const PSID* sids);

// Adds full-access grants for the three groups to the access list of an
// existing kernel object, keeping its entries. Returns 0 or ST_ACL_*.
int GrantObjectAccess(HANDLE object);
