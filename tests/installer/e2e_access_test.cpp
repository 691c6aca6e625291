// The Installer end to end on the systems before Windows Vista: a package
// that identifies Windows 2000, XP or 2003 (as Wine reports them to it)
// makes its uninstall folder, uninstaller and entry with the three groups'
// access list, and its uninstaller, identifying the same system, removes
// them again. Where the platform keeps the list given to a new folder or
// key, the list is read back: never a NULL one, which would let any user
// rewrite the entry or replace the uninstaller. Wine 8 keeps neither; the
// list the Installer builds on these systems is read back from a kernel
// object by the access-control tests.
#include <gtest/gtest.h>
#include <windows.h>
#include <aclapi.h>

#include <stdio.h>

#include <string>

#include "tests/installer/e2e_fixture.h"

namespace {

// A list that is there and holds the three groups.
void ExpectTheThreeGroups(PACL acl) {
  ASSERT_NE(acl, nullptr) << "a NULL list gives everyone full access";
  EXPECT_TRUE(AclHas(acl, WinBuiltinAdministratorsSid));
  EXPECT_TRUE(AclHas(acl, WinLocalSystemSid));
  EXPECT_TRUE(AclHas(acl, WinAuthenticatedUserSid));
}

class InstallerBeforeVista : public InstallerE2E {
 protected:
  void TearDown() override {
    WineVersionSet(L"hvuninst.exe", nullptr);
    InstallerE2E::TearDown();
  }
};

TEST_F(InstallerBeforeVista, UninstallFolderAndKeyGetTheListAndGoAgain) {
  const bool folders = PlatformKeepsAccessLists(false);
  const bool keys = PlatformKeepsAccessLists(true);
  // Windows 2000, XP and 2003 allowed, as new projects allow them.
  ASSERT_TRUE(Build({{L"Vantorel-Init.InstOsVer", L"000-001-111-110"}}).ok);
  for (const wchar_t* version : {L"win2k", L"winxp", L"win2003"}) {
    std::wstring name(version);
    SCOPED_TRACE(std::string(name.begin(), name.end()));
    WineVersionSet(PackageName(), version);
    WineVersionSet(L"hvuninst.exe", version);
    ASSERT_EQ(Install(), 0);
    std::wstring command = KeyTexts(UninstallKey(guid_))[L"UninstallString"];
    EXPECT_EQ(command, L"\"" + Uninstaller() + L"\" -UnInstall/" + guid_);
    EXPECT_TRUE(FileExists(Uninstaller()));
    EXPECT_TRUE(ModuleRegistered(module_name_));

    PSECURITY_DESCRIPTOR descriptor = nullptr;
    PACL acl = nullptr;
    if (folders &&
        GetNamedSecurityInfoW(UninstallFolder().c_str(), SE_FILE_OBJECT,
                              DACL_SECURITY_INFORMATION, nullptr, nullptr, &acl, nullptr,
                              &descriptor) == ERROR_SUCCESS) {
      ExpectTheThreeGroups(acl);
      LocalFree(descriptor);
    }
    HKEY key;
    if (keys && RegOpenKeyExW(HKEY_LOCAL_MACHINE, UninstallKey(guid_).c_str(), 0, READ_CONTROL,
                              &key) == ERROR_SUCCESS) {
      descriptor = nullptr;
      if (GetSecurityInfo(key, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                          &acl, nullptr, &descriptor) == ERROR_SUCCESS) {
        ExpectTheThreeGroups(acl);
        LocalFree(descriptor);
      }
      RegCloseKey(key);
    }

    EXPECT_EQ(RunProgram(command, L"", kRunTimeout), 0);
    EXPECT_FALSE(KeyExists(UninstallKey(guid_)));
    EXPECT_FALSE(FileExists(Target()));
    EXPECT_FALSE(ModuleRegistered(module_name_));
    Cleanup();
  }
  if (!folders || !keys)
    printf("note: this platform does not keep the list given to a new folder or registry "
           "key; the lists were not read back\n");
}

}  // namespace
