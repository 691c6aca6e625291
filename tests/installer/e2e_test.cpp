// The Installer end to end: packages built with the assembler from the
// test COM module, installed and uninstalled as real processes, and what
// they leave in the system folder, the registry and Program Files.
#include <gtest/gtest.h>
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <functional>
#include <map>

#include "tests/installer/e2e_fixture.h"

namespace {

TEST_F(InstallerE2E, SilentInstallThenUninstallThenUninstallAgain) {
  PackageResult built = Build();
  ASSERT_TRUE(built.ok);
  ASSERT_EQ(Install(), 0);

  EXPECT_EQ(FileBytes(Target()), module_bytes_) << "installed module differs";
  EXPECT_TRUE(ModuleRegistered(module_name_));

  wchar_t user[256];
  DWORD size = 256;
  GetUserNameW(user, &size);
  std::map<std::wstring, std::wstring> expected = {
      {L"DisplayName", L"サンプル グリッド"},
      {L"DisplayVersion", L"2.3.45"},
      {L"Publisher", L"Halvenco"},
      {L"UnInstallLocation", UninstallFolder()},
      {L"InstallUserInfo", user},
      {L"UninstallString", L"\"" + Uninstaller() + L"\" -UnInstall/" + guid_},
      {L"QuietUninstallString", L"\"" + Uninstaller() + L"\" -UnInstall/" + guid_ + L" -Silent/"},
      {L"DisplayIcon", Uninstaller()},
      {L"InstallDate", Today()},
      {L"EstimatedSize", std::to_wstring((module_bytes_.size() + 1023) / 1024)},
      {L"NoModify", L"1"},
      {L"NoRepair", L"1"},
  };
  std::map<std::wstring, std::wstring> entry = KeyTexts(UninstallKey(guid_));
  EXPECT_EQ(entry, expected);

  std::string package = FileBytes(package_);
  std::string uninstaller = FileBytes(Uninstaller());
  EXPECT_EQ(uninstaller.size(), built.image_length);
  EXPECT_TRUE(uninstaller == package.substr(0, built.image_length))
      << "the uninstaller is the package image without its payload";

  // The uninstall command exactly as the entry gives it.
  std::wstring command = entry[L"UninstallString"];
  ASSERT_FALSE(command.empty());
  EXPECT_EQ(RunProgram(command, L"", kRunTimeout), 0);
  EXPECT_FALSE(FileExists(Target()));
  EXPECT_FALSE(ModuleRegistered(module_name_));
  EXPECT_FALSE(KeyExists(UninstallKey(guid_)));
  EXPECT_TRUE(FileExists(Uninstaller())) << "the uninstaller stays";

  // Again: the module is gone, which counts as success with its own status.
  KeyCreate(UninstallKey(guid_));
  EXPECT_EQ(RunProgram(command, L"", kRunTimeout), 999);
  EXPECT_FALSE(KeyExists(UninstallKey(guid_)));
}

// Every check that fails ends the run with its status and installs nothing.
TEST_F(InstallerE2E, FailedChecksInstallNothing) {
  struct Row {
    const char* what;
    std::map<std::wstring, std::wstring> overrides;
    const wchar_t* wine_version;
    std::function<void(const std::wstring& package, const PackageResult& built)> damage;
    long status;
  };
  auto truncate = [](const std::wstring& package, const PackageResult& built) {
    std::string bytes = FileBytes(package);
    ASSERT_TRUE(FileWriteBytes(package, bytes.substr(0, built.image_length + 2)));
  };
  auto alter = [](const std::wstring& package, const PackageResult& built) {
    std::string bytes = FileBytes(package);
    bytes[built.image_length + 4 + built.payload_length / 2] ^= 0x01;
    ASSERT_TRUE(FileWriteBytes(package, bytes));
  };
  const Row rows[] = {
      {"mask refuses the system", {{L"Vantorel-Init.InstOsVer", L"111-111-110-001"}}, L"win7",
       nullptr, 21},
      {"Windows 6.2 is not known", {}, L"win10", nullptr, 21},
      {"payload cut short", {}, L"win7", truncate, 23},
      {"one payload byte altered", {}, L"win7", alter, 24},
      {"file name with a separator",
       {{L"Vantorel-Copy.InstFileName", L"..\\vte2e_escape.ocx"}}, L"win7", nullptr, 24},
      {"file name with a stream", {{L"Vantorel-Copy.InstFileName", L"x.ocx:evil"}}, L"win7",
       nullptr, 24},
      {"install GUID not braced", {{L"Vantorel-Init.InstallGUID", L"..\\.."}}, L"win7", nullptr,
       24},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    PackageResult built = Build(row.overrides);
    ASSERT_TRUE(built.ok);
    if (row.damage) row.damage(package_, built);
    WineVersionSet(PackageName(), row.wine_version);
    EXPECT_EQ(Install(), row.status);
    ExpectNothingInstalled();
    std::wstring escaped = SystemFolder() + L"\\..\\vte2e_escape.ocx";
    EXPECT_FALSE(FileExists(escaped));
    DeleteFileW(escaped.c_str());
  }
}

// A package without its document or its banner cannot start; with the
// silent marker it ends without any window.
TEST_F(InstallerE2E, MissingResourcesEndTheRunAtStartUp) {
  struct Row {
    int id;
    long status;
  } rows[] = {{501, 11}, {492, 12}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.id);
    ASSERT_TRUE(Build({}, true).ok);
    ASSERT_TRUE(ResourceHide(package_, row.id));
    EXPECT_EQ(Install(), row.status);
    ExpectNothingInstalled();
  }
}

// Administrators held for deny only grants no rights: a package that
// requires them stops; one that does not goes on.
TEST_F(InstallerE2E, AdministratorsHeldForDenyOnlyDoNotCount) {
  ASSERT_TRUE(Build({{L"Vantorel-Init.Administrator", L"1"}}).ok);
  EXPECT_EQ(RunProgramWithoutAdministrators(L"\"" + package_ + L"\"", kRunTimeout), 22);
  ExpectNothingInstalled();
}

TEST_F(InstallerE2E, ModuleHeldOpenEndsWithCopyFailure) {
  const std::string old_bytes = "an older module";
  ASSERT_TRUE(FileWriteBytes(Target(), old_bytes));
  ASSERT_TRUE(Build().ok);
  HANDLE held = CreateFileW(Target().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  long status = Install();
  CloseHandle(held);
  EXPECT_EQ(status, 31);
  EXPECT_EQ(FileBytes(Target()), old_bytes);
  EXPECT_FALSE(ModuleRegistered(module_name_));
  EXPECT_FALSE(KeyExists(UninstallKey(guid_)));
}

// A module in use is replaced at the next restart from a checked copy in
// the system folder; the run goes on with the current file and succeeds.
TEST_F(InstallerE2E, ModuleInUseIsReplacedAtRestartFromACheckedCopy) {
  ASSERT_TRUE(FileWriteBytes(Target(), module_bytes_));
  // The new version differs from the one in place.
  std::string new_bytes = module_bytes_ + std::string(4096, '\x5a');
  ASSERT_TRUE(FileWriteBytes(module_, new_bytes));
  ASSERT_TRUE(Build({{L"Vantorel-Init.CopyError", L"1"}}).ok);
  HMODULE in_use = LoadLibraryW(Target().c_str());
  ASSERT_NE(in_use, nullptr);
  long status = Install();
  FreeLibrary(in_use);
  EXPECT_EQ(status, 0);

  std::wstring staged;
  for (const auto& pair : PendingRenames())
    if (Lower(PendingPath(pair.second)) == Lower(Target())) staged = PendingPath(pair.first);
  ASSERT_FALSE(staged.empty()) << "no replacement recorded";
  std::wstring system = Lower(SystemFolder()) + L"\\";
  EXPECT_EQ(Lower(staged).compare(0, system.size(), system), 0)
      << "the replacement's source lies in the system folder";
  EXPECT_EQ(FileBytes(staged), new_bytes) << "the replacement holds the checked bytes";
  EXPECT_EQ(FileBytes(Target()), module_bytes_) << "the current file stays until the restart";
  EXPECT_TRUE(ModuleRegistered(module_name_));
  EXPECT_TRUE(KeyExists(UninstallKey(guid_)));
  EXPECT_TRUE(FileExists(Uninstaller()));
  DeleteFileW(staged.c_str());
}

TEST_F(InstallerE2E, NoUninstallRegistrationLeavesNoUninstaller) {
  ASSERT_TRUE(Build({{L"Vantorel-Init.UnInstallNot", L"1"}}).ok);
  EXPECT_EQ(Install(), 0);
  EXPECT_EQ(FileBytes(Target()), module_bytes_);
  EXPECT_TRUE(ModuleRegistered(module_name_));
  EXPECT_FALSE(KeyExists(UninstallKey(guid_)));
  EXPECT_FALSE(FolderExists(UninstallFolder()));
}

// Only a braced GUID may name the key to delete; anything else removes
// nothing at all, neither this entry nor any other program's.
TEST_F(InstallerE2E, UninstallWithoutAValidGuidRemovesNothing) {
  const std::wstring sentinel =
      L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\VantorelTestSentinel";
  KeyCreate(sentinel);
  ASSERT_TRUE(Build().ok);
  ASSERT_EQ(Install(), 0);
  std::wstring bare = guid_.substr(1, 36);
  const std::wstring lines[] = {
      L"-UnInstall", L"-UnInstall/", L"-UnInstall/" + bare, L"-UnInstall/" + guid_ + L"x",
      L"-UnInstall/..\\..\\..", L"-UnInstall/" + guid_ + L"\\..",
  };
  for (const std::wstring& line : lines) {
    EXPECT_EQ(UninstallWith(line), 41) << line;
    EXPECT_TRUE(FileExists(Target()));
    EXPECT_TRUE(ModuleRegistered(module_name_));
    EXPECT_TRUE(KeyExists(UninstallKey(guid_)));
    EXPECT_TRUE(KeyExists(sentinel));
  }
  KeyRemove(sentinel);
}

// Uninstalling a module in use: with DeleteError "0" it stays registered
// and the entry stays for another try; with "1" its deletion waits for the
// restart and the entry goes.
TEST_F(InstallerE2E, UninstallOfAModuleInUse) {
  struct Row {
    const wchar_t* delete_error;
    long status;
    bool key_after;
    bool deletion_scheduled;
  } rows[] = {{L"0", 32, true, false}, {L"1", 0, false, true}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.delete_error);
    ASSERT_TRUE(Build({{L"Vantorel-UnInstall.DeleteError", row.delete_error}}).ok);
    ASSERT_EQ(Install(), 0);
    HMODULE in_use = LoadLibraryW(Target().c_str());
    ASSERT_NE(in_use, nullptr);
    long status = UninstallWith(L"-UnInstall/" + guid_);
    FreeLibrary(in_use);
    EXPECT_EQ(status, row.status);
    EXPECT_TRUE(FileExists(Target()));
    EXPECT_EQ(KeyExists(UninstallKey(guid_)), row.key_after);
    bool scheduled = false;
    for (const auto& pair : PendingRenames())
      scheduled |= Lower(PendingPath(pair.first)) == Lower(Target()) && pair.second.empty();
    EXPECT_EQ(scheduled, row.deletion_scheduled);
    if (!row.deletion_scheduled) {
      EXPECT_TRUE(ModuleRegistered(module_name_));
    }
    Cleanup();
  }
}

// Users may read and run what the elevated uninstall later runs, never
// change it.
struct AceView {
  std::wstring group;
  DWORD mask;
  BYTE flags;
};

std::vector<AceView> AclRead(PACL acl) {
  std::vector<AceView> aces;
  struct Known {
    WELL_KNOWN_SID_TYPE type;
    const wchar_t* name;
  } known[] = {{WinBuiltinAdministratorsSid, L"Administrators"},
               {WinLocalSystemSid, L"SYSTEM"},
               {WinAuthenticatedUserSid, L"Authenticated Users"},
               {WinBuiltinUsersSid, L"Users"},
               {WinWorldSid, L"Everyone"},
               {WinInteractiveSid, L"Interactive"}};
  for (DWORD i = 0; acl && i < acl->AceCount; ++i) {
    void* ace = nullptr;
    if (!GetAce(acl, i, &ace)) continue;
    auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
    AceView view = {L"other", allowed->Mask, allowed->Header.AceFlags};
    wchar_t* sid_text = nullptr;
    if (ConvertSidToStringSidW(reinterpret_cast<PSID>(&allowed->SidStart), &sid_text)) {
      view.group = sid_text;
      LocalFree(sid_text);
    }
    if (allowed->Header.AceType != ACCESS_ALLOWED_ACE_TYPE) view.group = L"not an allow entry";
    for (const Known& k : known) {
      BYTE sid[SECURITY_MAX_SID_SIZE];
      DWORD size = sizeof sid;
      if (CreateWellKnownSid(k.type, nullptr, sid, &size) &&
          EqualSid(sid, reinterpret_cast<PSID>(&allowed->SidStart)))
        view.group = k.name;
    }
    aces.push_back(view);
  }
  return aces;
}

std::string AclDescribe(const std::vector<AceView>& aces) {
  std::string text;
  char line[160];
  for (const AceView& ace : aces) {
    snprintf(line, sizeof line, " [%ls %08lx %02x]", ace.group.c_str(),
             static_cast<unsigned long>(ace.mask), ace.flags);
    text += line;
  }
  return text;
}

bool OrdinaryGroup(const std::wstring& group) {
  return group == L"Authenticated Users" || group == L"Users" || group == L"Everyone" ||
         group == L"Interactive";
}

// No entry, explicit or inherited, lets an ordinary group of users write.
void ExpectNoUserWrites(const std::vector<AceView>& aces, DWORD write_rights) {
  for (const AceView& ace : aces) {
    if (!OrdinaryGroup(ace.group)) continue;
    EXPECT_EQ(ace.mask & (GENERIC_ALL | GENERIC_WRITE | WRITE_DAC | WRITE_OWNER | DELETE |
                          write_rights),
              0u)
        << AclDescribe(aces);
  }
}

// The explicit entries are exactly Administrators and SYSTEM with full
// control and Authenticated Users with read and execute; no entry at all
// lets an ordinary group write.
void ExpectUsersReadOnly(PACL acl, DWORD full, DWORD write_rights) {
  std::vector<AceView> aces = AclRead(acl);
  std::vector<AceView> explicit_aces;
  for (const AceView& ace : aces)
    if (!(ace.flags & INHERITED_ACE)) explicit_aces.push_back(ace);
  ASSERT_EQ(explicit_aces.size(), 3u) << AclDescribe(aces);
  EXPECT_EQ(explicit_aces[0].group, L"Administrators");
  EXPECT_EQ(explicit_aces[1].group, L"SYSTEM");
  EXPECT_EQ(explicit_aces[2].group, L"Authenticated Users");
  for (int i = 0; i < 2; ++i)
    EXPECT_TRUE(explicit_aces[i].mask == GENERIC_ALL || (explicit_aces[i].mask & full) == full)
        << std::hex << explicit_aces[i].mask;
  EXPECT_NE(explicit_aces[2].mask & (GENERIC_READ | GENERIC_EXECUTE), 0u);
  ExpectNoUserWrites(aces, write_rights);
}

TEST_F(InstallerE2E, UninstallFolderAndKeyLetUsersOnlyRead) {
  ASSERT_TRUE(Build({{L"Vantorel-UnInstall.UnInstallComments", L"コメント"},
                     {L"Vantorel-UnInstall.UnInstallCoURL", L"http://example.com/help"}})
                  .ok);
  ASSERT_EQ(Install(), 0);
  std::map<std::wstring, std::wstring> entry = KeyTexts(UninstallKey(guid_));
  EXPECT_EQ(entry[L"Comments"], L"コメント");
  EXPECT_EQ(entry[L"HelpLink"], L"http://example.com/help");
  EXPECT_EQ(entry.count(L"URLInfoAbout"), 0u);

  bool folders = PlatformKeepsAccessLists(false);
  bool keys = PlatformKeepsAccessLists(true);
  if (folders) {
    const DWORD file_writes = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA |
                              FILE_WRITE_ATTRIBUTES | FILE_DELETE_CHILD;
    for (const std::wstring& path : {UninstallFolder(), Uninstaller()}) {
      SCOPED_TRACE(std::string(path.begin(), path.end()));
      PACL acl = nullptr;
      PSECURITY_DESCRIPTOR descriptor = nullptr;
      ASSERT_EQ(GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                                      nullptr, nullptr, &acl, nullptr, &descriptor),
                ERROR_SUCCESS);
      // The program inherits the folder's entries.
      if (path == UninstallFolder())
        ExpectUsersReadOnly(acl, FILE_ALL_ACCESS, file_writes);
      else
        ExpectNoUserWrites(AclRead(acl), file_writes);
      LocalFree(descriptor);
    }
  }
  if (keys) {
    HKEY key;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, UninstallKey(guid_).c_str(), 0, READ_CONTROL,
                            &key),
              ERROR_SUCCESS);
    PACL acl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_EQ(GetSecurityInfo(key, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                              &acl, nullptr, &descriptor),
              ERROR_SUCCESS);
    ExpectUsersReadOnly(acl, KEY_ALL_ACCESS, KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_CREATE_LINK);
    LocalFree(descriptor);
    RegCloseKey(key);
  }
  if (!folders || !keys)
    GTEST_SKIP() << "this platform does not keep the access list a new "
                 << (folders ? "" : "folder ") << (keys ? "" : "registry key ")
                 << "is given, so reading it back cannot tell what the Installer set";
}

// A library or registration program planted beside the package, or in the
// folder it is started from, is never loaded or run.
TEST_F(InstallerE2E, FilesPlantedBesideThePackageAreNotUsed) {
  ASSERT_TRUE(Build().ok);
  for (const wchar_t* name : {L"version.dll", L"regsvr32.exe"}) {
    std::string bytes = FileBytes(PlantedDir() + L"\\" + name);
    ASSERT_FALSE(bytes.empty()) << "planted file missing";
    ASSERT_TRUE(FileWriteBytes(scratch_.file(name), bytes));
  }
  EXPECT_EQ(Install(scratch_.path()), 0);
  EXPECT_FALSE(FileExists(scratch_.file(L"planted.version.dll.txt")));
  EXPECT_FALSE(FileExists(scratch_.file(L"planted.regsvr32.exe.txt")));
  EXPECT_TRUE(ModuleRegistered(module_name_)) << "the system's registration program ran";
}

}  // namespace
