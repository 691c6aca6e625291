// Access lists of the security block and of GrantObjectAccess, read back
// from the system with GetSecurityInfo.
//
// Wine 8 keeps no access list on files: it derives a folder's list from
// the Unix permission bits. So the list DirCreate hands to
// CreateDirectoryW is taken at that call and given to a kernel object,
// whose list Wine stores as it is, and read back from there. The systems
// before Windows Vista are reached in two ways: by setting the OS code in
// this process, and by a probe program that identifies the system Wine
// reports to it.
#include "common/security.h"

#include <aclapi.h>
#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "common/file.h"
#include "common/file_syscalls.h"
#include "common/os.h"
#include "common/security_groups.h"
#include "probe/probe_run.h"
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

// What CreateDirectoryW was given: the first call's list, and how many
// calls had attributes at all.
struct Seen {
  int calls = 0;
  int with_attributes = 0;
  List list;
  BOOL inherit = -1;
} seen;

BOOL WINAPI WatchedCreateDirectory(LPCWSTR path, LPSECURITY_ATTRIBUTES attributes) {
  if (attributes) {
    if (seen.with_attributes++ == 0) {
      seen.list = StoredList(attributes);
      seen.inherit = attributes->bInheritHandle;
    }
  }
  ++seen.calls;
  return ::CreateDirectoryW(path, attributes);
}

const DWORD kAll = GENERIC_ALL, kRead = GENERIC_READ | GENERIC_EXECUTE;
const int kInherit = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;

const std::vector<Entry> kFullEntries = {
    {ACCESS_ALLOWED_ACE_TYPE, kInherit, kAll, ADMINISTRATORS},
    {ACCESS_ALLOWED_ACE_TYPE, kInherit, kAll, SYSTEM_ACCOUNT},
    {ACCESS_ALLOWED_ACE_TYPE, kInherit, kAll, AUTHENTICATED_USERS}};
const std::vector<Entry> kUsersReadEntries = {
    {ACCESS_ALLOWED_ACE_TYPE, kInherit, kAll, ADMINISTRATORS},
    {ACCESS_ALLOWED_ACE_TYPE, kInherit, kAll, SYSTEM_ACCOUNT},
    {ACCESS_ALLOWED_ACE_TYPE, kInherit, kRead, AUTHENTICATED_USERS}};

class AccessControl : public testing::Test {
 protected:
  static void SetUpTestSuite() { OsIdentify(nullptr); }
  void SetUp() override {
    ASSERT_EQ(OsProtectionOf(OsCode), OS_PROTECT_ACCESS_LIST) << OsCode;
    ASSERT_GE(reinterpret_cast<UINT_PTR>(AddAceExProc), 2u) << "Wine has AddAccessAllowedAceEx";
    proc_ = AddAceExProc;
    code_ = OsCode;
    seen = Seen();
    FileSys.CreateDirectoryW = WatchedCreateDirectory;
  }
  void TearDown() override {
    AddAceExProc = proc_;
    OsCode = code_;
    for (int i = 0; i < SECURITY_GROUP_COUNT; ++i) SecurityGroups[i] = kGroups[i];
    FileSyscallsReset();
    EXPECT_TRUE(HeapValidate(GetProcessHeap(), 0, nullptr));
  }
  const SecurityGroupSid kGroups[3] = {SecurityGroups[0], SecurityGroups[1], SecurityGroups[2]};
  AddAceExFn proc_;
  int code_;
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

// A folder of the run's own: Administrators, SYSTEM and the process's own
// user, nobody else; made new (never an existing one) and held so that it
// cannot be deleted.
TEST_F(AccessControl, OwnFolderIsTheUsersAdministratorsAndSystemsAlone) {
  seen = Seen();
  const std::wstring folder = scratch / L"own";
  HANDLE held = NULL;
  DWORD error = 0;
  ASSERT_EQ(DirCreateOwn(folder.c_str(), &held, &error), ST_OK);
  ASSERT_NE(held, HANDLE(NULL));
  ASSERT_EQ(seen.list.entries.size(), 3u);
  EXPECT_EQ(seen.list.entries[0].group, ADMINISTRATORS);
  EXPECT_EQ(seen.list.entries[1].group, SYSTEM_ACCOUNT);
  EXPECT_EQ(seen.list.entries[2].group, OTHER) << "the user, not Authenticated Users";
  for (const Entry& e : seen.list.entries) EXPECT_EQ(e.mask, kAll);
  EXPECT_FALSE(RemoveDirectoryW(folder.c_str())) << "held";
  HANDLE again = NULL;
  EXPECT_EQ(DirCreateOwn(folder.c_str(), &again, &error), ST_DIR_EXISTS);
  EXPECT_EQ(again, HANDLE(NULL));
  CloseHandle(held);
  EXPECT_TRUE(RemoveDirectoryW(folder.c_str()));
}

// Whether the descriptor handed out carries a list (not a NULL one).
bool CarriesAList(const SECURITY_ATTRIBUTES* attributes) {
  BOOL present = FALSE, defaulted = TRUE;
  PACL acl = nullptr;
  return GetSecurityDescriptorDacl(attributes->lpSecurityDescriptor, &present, &acl,
                                   &defaulted) &&
         present && acl && !defaulted;
}

// Windows 2000, XP and 2003 get the list the later systems get; so do NT
// 4.0 and 3.51, which have no AddAccessAllowedAceEx, and a system the table
// does not know. With the Ex form missing or not looked up, the plain entry
// with its inheritance flags set gives the same list byte for byte.
TEST_F(AccessControl, EveryNtCodeGetsTheListWithEitherEntryFunction) {
  SecurityBlock reference = {};
  SECURITY_ATTRIBUTES* attributes = nullptr;
  SecurityBlockBuild(&attributes, &reference);
  ASSERT_NE(reference.acl, nullptr);
  for (int code : {OS_NT351, OS_NT40, OS_WIN2000, OS_WINXP, OS_WIN2003, OS_VISTA, OS_WIN7,
                   OS_WIN2008, OS_WIN2008R2, OS_UNKNOWN}) {
    for (AddAceExFn proc : {proc_, AddAceExFn(nullptr), OS_ACE_PROC_UNSET}) {
      OsCode = code;
      AddAceExProc = proc;
      SCOPED_TRACE(testing::Message() << "code " << code << " entry function "
                                      << (proc == proc_ ? "found" : proc ? "unset" : "missing"));
      SecurityBlock block = {};
      ASSERT_EQ(SecurityBlockBuild(&attributes, &block), 1);
      ASSERT_EQ(attributes, &block.attributes);
      EXPECT_TRUE(CarriesAList(attributes));
      EXPECT_EQ(attributes->bInheritHandle, FALSE);
      List list = StoredList(attributes);
      EXPECT_EQ(list.size, 72);
      EXPECT_EQ(list.entries, kFullEntries);
      ASSERT_EQ(block.acl->AclSize, reference.acl->AclSize);
      EXPECT_EQ(memcmp(block.acl, reference.acl, reference.acl->AclSize), 0);
      SecurityBlockFree(&block);

      // The registry keys' narrow build, users reading only.
      ASSERT_EQ(SecurityBlockBuildA(&attributes, &block, SECURITY_GRANT_USERS_READ), 1);
      ASSERT_NE(attributes, nullptr);
      EXPECT_TRUE(CarriesAList(attributes));
      EXPECT_EQ(StoredList(attributes).entries, kUsersReadEntries);
      SecurityBlockFree(&block);
    }
  }
  SecurityBlockFree(&reference);

  // A folder made on an identified Windows XP whose Ex form is missing.
  OsCode = OS_WINXP;
  AddAceExProc = nullptr;
  DWORD error = 0;
  EXPECT_EQ(DirCreate((scratch / L"xp\\uninstall").c_str(), &error, DIR_GRANT_USERS_READ),
            ST_OK);
  EXPECT_EQ(seen.with_attributes, seen.calls);
  EXPECT_EQ(seen.list.entries, kUsersReadEntries);
  EXPECT_TRUE(Exists(scratch / L"xp\\uninstall"));
}

// The 9x family keeps no access lists: no attributes at all, so nothing
// can hand out a NULL list there, and the folder is still made, parents
// and all.
TEST_F(AccessControl, The9xFamilyGetsNoAttributes) {
  for (int code = OS_WIN95; code <= OS_WINME; ++code) {
    OsCode = code;
    for (bool narrow : {false, true}) {
      SecurityBlock block = {};
      SECURITY_ATTRIBUTES* attributes = reinterpret_cast<SECURITY_ATTRIBUTES*>(1);
      EXPECT_EQ((narrow ? SecurityBlockBuildA : SecurityBlockBuild)(&attributes, &block,
                                                                   SECURITY_GRANT_USERS_READ),
                1);
      EXPECT_EQ(attributes, nullptr) << code;
      const SecurityBlock untouched = {};
      EXPECT_EQ(memcmp(&block, &untouched, sizeof block), 0) << "nothing allocated";
      SecurityBlockFree(&block);
      EXPECT_EQ(memcmp(&block, &untouched, sizeof block), 0) << "nothing to free";
    }
    seen = Seen();
    DWORD error = 0;
    std::wstring folder = scratch / (L"9x" + std::to_wstring(code) + L"\\below");
    EXPECT_EQ(DirCreate(folder.c_str(), &error), ST_OK) << code;
    EXPECT_TRUE(Exists(folder));
    EXPECT_GE(seen.calls, 2) << "the parent is made too";
    EXPECT_EQ(seen.with_attributes, 0);
  }
}

TEST_F(AccessControl, AGroupThatCannotBeMadeIsLeftOut) {
  SecurityGroups[1] = SecurityGroupSid{0, {0, 0}};
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
  SecurityGroups[0] = SecurityGroups[2] = SecurityGroupSid{0, {0, 0}};
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
  SecurityGroups[1] = SecurityGroupSid{0, {0, 0}};
  EXPECT_EQ(GrantObjectAccess(mutex), ST_ACL_MERGE);
  std::vector<Entry> entries = ObjectList(mutex).entries;
  EXPECT_EQ(entries, (std::vector<Entry>{{ACCESS_ALLOWED_ACE_TYPE, 0, SYNCHRONIZE, EVERYONE}}));
  CloseHandle(mutex);
  EXPECT_EQ(GrantObjectAccess(NULL), ST_ACL_QUERY);
}

// What the probe wrote for one identified system: its code, the state of
// the entry function, and per block the words after its label.
struct ProbeReport {
  int code = -1, ace = -1;
  std::vector<std::string> labels;
  std::vector<std::vector<std::string>> blocks;
};

ProbeReport SecurityProbe(const wchar_t* version) {
  ProbeRun run = ProbeRunAs(L"security_probe.exe", version);
  ProbeReport report;
  std::istringstream lines(run.output);
  std::string line;
  if (std::getline(lines, line)) std::istringstream(line) >> report.code >> report.ace;
  while (std::getline(lines, line)) {
    std::istringstream words(line);
    std::string a, b, c, word;
    words >> a >> b >> c;
    report.labels.push_back(a + " " + b + " " + c);
    report.blocks.emplace_back();
    while (words >> word) report.blocks.back().push_back(word);
  }
  EXPECT_EQ(static_cast<int>(run.exit_code), report.code) << "exit code is the OS code";
  return report;
}

// A program that identifies Windows 2000, XP or 2003 (Wine's "winxp64"
// reports 5.2 as well) builds the three groups' list, read back entry by
// entry from a mutex: with the Ex form as looked up and with the plain
// entry, in both forms and both grants. Windows 7 and a system the table
// does not know get the same.
TEST(AccessControlOnIdentifiedSystems, ListOfTheThreeGroupsNeverANullList) {
  const std::string admins = "/S-1-5-32-544", local_system = "/S-1-5-18", users = "/S-1-5-11";
  const std::string all = "0/3/10000000", read_only = "0/3/a0000000";
  const std::vector<std::string> full = {"list", "72", "0", all + admins,
                                         all + local_system, all + users};
  const std::vector<std::string> users_read = {"list", "72", "0", all + admins,
                                               all + local_system, read_only + users};
  const struct {
    const wchar_t* version;
    std::set<int> codes;
  } systems[] = {{L"win2k", {OS_WIN2000}},
                 {L"winxp", {OS_WINXP}},
                 {L"winxp64", {OS_WIN2003}},
                 {L"win2003", {OS_WIN2003}},
                 {L"win7", {OS_WIN7, OS_WIN2008R2}},
                 {L"win10", {OS_UNKNOWN}}};
  for (const auto& system_case : systems) {
    std::wstring wide = system_case.version;
    SCOPED_TRACE(std::string(wide.begin(), wide.end()));
    ProbeReport report = SecurityProbe(system_case.version);
    EXPECT_EQ(system_case.codes.count(report.code), 1u) << report.code;
    EXPECT_EQ(report.ace, 2) << "AddAccessAllowedAceEx looked up";
    ASSERT_EQ(report.blocks.size(), 8u);
    for (size_t i = 0; i < report.blocks.size(); ++i) {
      const std::string& label = report.labels[i];
      bool reads = label.substr(label.size() - 4) == "read";
      EXPECT_EQ(report.blocks[i], reads ? users_read : full) << label;
    }
  }
}

}  // namespace
