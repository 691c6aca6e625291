// Access lists of the security block and of GrantObjectAccess, read back
// from the system with GetSecurityInfo.
//
// Wine 8 keeps no access list on files: it derives a folder's list from
// the Unix permission bits. So the list DirCreate hands to
// CreateDirectoryW is taken at that call and given to a kernel object,
// whose list Wine stores as it is, and read back from there.
#include "common/security.h"

#include <aclapi.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/file.h"
#include "common/file_syscalls.h"
#include "common/os.h"
#include "common/security_groups.h"
#include "scratch.h"

namespace {

enum Group { ADMINISTRATORS, SYSTEM_ACCOUNT, AUTHENTICATED_USERS, EVERYONE, OTHER };

struct Entry {
  int type, flags;
  DWORD mask;
  Group group;
  bool operator==(const Entry& o) const {
    return type == o.type && flags == o.flags && mask == o.mask && group == o.group;
  }
};

std::ostream& operator<<(std::ostream& out, const Entry& e) {
  return out << "{type " << e.type << " flags " << e.flags << " mask " << std::hex << e.mask
             << std::dec << " group " << e.group << "}";
}

Group GroupOf(PSID sid) {
  const WELL_KNOWN_SID_TYPE known[] = {WinBuiltinAdministratorsSid, WinLocalSystemSid,
                                       WinAuthenticatedUserSid, WinWorldSid};
  for (int i = 0; i < 4; ++i) {
    BYTE buffer[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof buffer;
    if (CreateWellKnownSid(known[i], nullptr, buffer, &size) && EqualSid(sid, buffer))
      return Group(i);
  }
  return OTHER;
}

// The entries of a list and its size; size -1 for a NULL list.
struct List {
  int size = -1;
  std::vector<Entry> entries;
};

List ListOf(PACL acl) {
  List list;
  if (!acl) return list;
  list.size = acl->AclSize;
  for (DWORD i = 0; i < acl->AceCount; ++i) {
    ACCESS_ALLOWED_ACE* ace;
    GetAce(acl, i, reinterpret_cast<void**>(&ace));
    list.entries.push_back({ace->Header.AceType, ace->Header.AceFlags, ace->Mask,
                            GroupOf(&ace->SidStart)});
  }
  return list;
}

List ObjectList(HANDLE object) {
  PACL acl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  EXPECT_EQ(GetSecurityInfo(object, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                            nullptr, &acl, nullptr, &descriptor),
            DWORD(ERROR_SUCCESS));
  List list = ListOf(acl);
  LocalFree(descriptor);
  return list;
}

// Creates a kernel object with the attributes and reads its list back.
List StoredList(SECURITY_ATTRIBUTES* attributes) {
  HANDLE object = CreateMutexW(attributes, FALSE, nullptr);
  EXPECT_NE(object, HANDLE(NULL));
  List list = ObjectList(object);
  CloseHandle(object);
  return list;
}

struct Seen {
  int calls = 0;
  List list;
  BOOL inherit = -1;
} seen;

BOOL WINAPI WatchedCreateDirectory(LPCWSTR path, LPSECURITY_ATTRIBUTES attributes) {
  if (seen.calls++ == 0) {
    seen.list = StoredList(attributes);
    seen.inherit = attributes->bInheritHandle;
  }
  return ::CreateDirectoryW(path, attributes);
}

const DWORD kAll = GENERIC_ALL, kRead = GENERIC_READ | GENERIC_EXECUTE;
const int kInherit = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;

class AccessControl : public testing::Test {
 protected:
  static void SetUpTestSuite() { OsIdentify(nullptr); }
  void SetUp() override {
    ASSERT_GE(OsCode, OS_VISTA) << "the access lists need Windows Vista to 2008 R2";
    ASSERT_LE(OsCode, OS_WIN2008R2);
    ASSERT_GE(reinterpret_cast<UINT_PTR>(AddAceExProc), 2u);
    proc_ = AddAceExProc;
    seen = Seen();
    FileSys.CreateDirectoryW = WatchedCreateDirectory;
  }
  void TearDown() override {
    AddAceExProc = proc_;
    for (int i = 0; i < SECURITY_GROUP_COUNT; ++i) {
      SecurityGroupNames[i] = kNames[i];
      SecurityGroupNamesA[i] = kNamesA[i];
    }
    FileSyscallsReset();
    EXPECT_TRUE(HeapValidate(GetProcessHeap(), 0, nullptr));
  }
  const wchar_t* const kNames[3] = {L"Administrators", L"SYSTEM", L"Authenticated Users"};
  const char* const kNamesA[3] = {"Administrators", "SYSTEM", "Authenticated Users"};
  AddAceExFn proc_;
  Scratch scratch;
};

TEST_F(AccessControl, NewFolderGetsTheThreeGroupsInOrderWithInheritance) {
  DWORD error = 0;
  for (DirGrant grant : {DIR_GRANT_FULL, DIR_GRANT_USERS_READ}) {
    seen = Seen();
    std::wstring folder = scratch / (grant == DIR_GRANT_FULL ? L"full" : L"read");
    EXPECT_EQ(DirCreate(folder.c_str(), &error, grant), ST_OK);
    EXPECT_TRUE(Exists(folder));
    EXPECT_EQ(seen.list.size, 72);
    EXPECT_EQ(seen.inherit, FALSE);
    std::vector<Entry> expected = {
        {ACCESS_ALLOWED_ACE_TYPE, kInherit, kAll, ADMINISTRATORS},
        {ACCESS_ALLOWED_ACE_TYPE, kInherit, kAll, SYSTEM_ACCOUNT},
        {ACCESS_ALLOWED_ACE_TYPE, kInherit, grant == DIR_GRANT_FULL ? kAll : kRead,
         AUTHENTICATED_USERS}};
    EXPECT_EQ(seen.list.entries, expected) << grant;
  }
}

TEST_F(AccessControl, WithoutTheEntryFunctionEveryoneGetsANullList) {
  for (AddAceExFn proc : {OS_ACE_PROC_UNSET, AddAceExFn(nullptr)}) {
    AddAceExProc = proc;
    SecurityBlock block = {};
    SECURITY_ATTRIBUTES* attributes = nullptr;
    EXPECT_EQ(SecurityBlockBuild(&attributes, &block), 1);
    EXPECT_EQ(attributes->lpSecurityDescriptor, &block.inline_descriptor);
    EXPECT_EQ(attributes->bInheritHandle, TRUE);
    EXPECT_EQ(attributes->nLength, sizeof(SECURITY_ATTRIBUTES));
    BOOL present = FALSE, defaulted = TRUE;
    PACL acl = reinterpret_cast<PACL>(1);
    GetSecurityDescriptorDacl(attributes->lpSecurityDescriptor, &present, &acl, &defaulted);
    EXPECT_TRUE(present && !acl && !defaulted);
    EXPECT_TRUE(block.acl == nullptr && block.count == 0);
    EXPECT_EQ(StoredList(attributes).size, -1) << "no list: everyone has full access";
    SecurityBlock before = block;
    SecurityBlockFree(&block);
    EXPECT_EQ(memcmp(&before, &block, sizeof block), 0) << "nothing to free";

    seen = Seen();
    DWORD error = 0;
    EXPECT_EQ(DirCreate((scratch / (proc ? L"unset" : L"missing")).c_str(), &error), ST_OK);
    EXPECT_EQ(seen.list.size, -1);
    EXPECT_EQ(seen.inherit, TRUE);
  }
}

TEST_F(AccessControl, AGroupThatDoesNotResolveIsLeftOut) {
  SecurityGroupNames[1] = L"No Such Group 7f3a";
  SecurityGroupNamesA[1] = "No Such Group 7f3a";
  for (bool narrow : {false, true}) {
    SecurityBlock block = {};
    SECURITY_ATTRIBUTES* attributes;
    (narrow ? SecurityBlockBuildA : SecurityBlockBuild)(&attributes, &block,
                                                       SECURITY_GRANT_USERS_READ);
    EXPECT_EQ(block.count, 2);
    EXPECT_EQ(block.sids[2], PSID(NULL));
    List list = StoredList(attributes);
    EXPECT_EQ(list.size, 8 + (8 + 16) + (8 + 12));
    // The read-only grant stays with Authenticated Users, not with the slot.
    std::vector<Entry> expected = {{ACCESS_ALLOWED_ACE_TYPE, kInherit, kAll, ADMINISTRATORS},
                                   {ACCESS_ALLOWED_ACE_TYPE, kInherit, kRead, AUTHENTICATED_USERS}};
    EXPECT_EQ(list.entries, expected) << narrow;
    SecurityBlockFree(&block);
    EXPECT_TRUE(block.acl == nullptr && block.count == 0);
    SecurityBlockFree(&block);  // a second free finds nothing to free
  }
  // None resolves: an empty list would lock everyone out, so the object
  // gets the default security instead.
  SecurityGroupNames[0] = SecurityGroupNames[2] = L"No Such Group 7f3a";
  SecurityBlock block = {};
  SECURITY_ATTRIBUTES* attributes;
  SecurityBlockBuild(&attributes, &block);
  EXPECT_EQ(attributes->lpSecurityDescriptor, nullptr);
  EXPECT_TRUE(block.count == 0 && block.acl == nullptr);
  SecurityBlockFree(&block);
}

TEST_F(AccessControl, SidLookupOfKnownAndUnknownNames) {
  PSID sid = reinterpret_cast<PSID>(1);
  EXPECT_EQ(SidLookup(L"No Such Group 7f3a", &sid), 0);
  EXPECT_EQ(sid, PSID(NULL));
  sid = reinterpret_cast<PSID>(1);
  EXPECT_EQ(SidLookupA("No Such Group 7f3a", &sid), 0);
  EXPECT_EQ(sid, PSID(NULL));
  ASSERT_NE(SidLookupA("Authenticated Users", &sid), 0);
  EXPECT_EQ(GroupOf(sid), AUTHENTICATED_USERS);
  PSID admins;
  ASSERT_NE(SidLookup(L"Administrators", &admins), 0);
  EXPECT_EQ(GroupOf(admins), ADMINISTRATORS);
  const PSID both[] = {admins, sid};
  EXPECT_EQ(AclSizeFor(2, both), 8u + (8 + 16) + (8 + 12));
  HeapFree(GetProcessHeap(), 0, sid);
  HeapFree(GetProcessHeap(), 0, admins);
}

// A mutex whose list lets everyone wait on it, as a list to be kept.
HANDLE MutexEveryoneMayWaitOn() {
  HANDLE mutex = CreateMutexW(nullptr, FALSE, nullptr);
  BYTE everyone[SECURITY_MAX_SID_SIZE];
  DWORD size = sizeof everyone;
  CreateWellKnownSid(WinWorldSid, nullptr, everyone, &size);
  BYTE buffer[64];
  PACL acl = reinterpret_cast<PACL>(buffer);
  InitializeAcl(acl, sizeof buffer, ACL_REVISION);
  AddAccessAllowedAce(acl, ACL_REVISION, SYNCHRONIZE, everyone);
  EXPECT_EQ(SetSecurityInfo(mutex, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                            acl, nullptr),
            DWORD(ERROR_SUCCESS));
  return mutex;
}

TEST_F(AccessControl, GrantObjectAccessAddsTheGroupsAndKeepsTheEntriesThere) {
  HANDLE mutex = MutexEveryoneMayWaitOn();
  EXPECT_EQ(GrantObjectAccess(mutex), ST_OK);
  std::vector<Entry> entries = ObjectList(mutex).entries;
  ASSERT_EQ(entries.size(), 4u);
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(entries[i], (Entry{ACCESS_ALLOWED_ACE_TYPE, 0, 0x1FFFFF, Group(i)}));
  EXPECT_EQ(entries[3], (Entry{ACCESS_ALLOWED_ACE_TYPE, 0, SYNCHRONIZE, EVERYONE}));
  CloseHandle(mutex);
}

TEST_F(AccessControl, GrantObjectAccessFailuresLeaveTheListAlone) {
  HANDLE mutex = MutexEveryoneMayWaitOn();
  SecurityGroupNames[1] = L"No Such Group 7f3a";
  EXPECT_EQ(GrantObjectAccess(mutex), ST_ACL_MERGE);
  std::vector<Entry> entries = ObjectList(mutex).entries;
  EXPECT_EQ(entries, (std::vector<Entry>{{ACCESS_ALLOWED_ACE_TYPE, 0, SYNCHRONIZE, EVERYONE}}));
  CloseHandle(mutex);
  EXPECT_EQ(GrantObjectAccess(NULL), ST_ACL_QUERY);
}

}  // namespace
