// What an elevated run may trust: an uninstall entry only with a working
// uninstaller, and an uninstall that removes nothing outside the system
// folder and nothing of another product.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

#include "tests/installer/e2e_fixture.h"

namespace {

// The uninstaller cannot be put in place (a file stands where its folder
// goes): the module stays installed and registered, no uninstall entry
// points at a program that is not there, and the run says so with 33.
TEST_F(InstallerE2E, NoUninstallEntryWithoutAWorkingUninstaller) {
  ASSERT_TRUE(Build().ok);
  CreateDirectoryW((ProgramFilesFolder() + L"\\HV-Vanto").c_str(), nullptr);
  ASSERT_TRUE(FileWriteBytes(UninstallFolder(), "not a folder"));
  EXPECT_EQ(Install(), 33);
  DeleteFileW(UninstallFolder().c_str());
  EXPECT_EQ(FileBytes(Target()), module_bytes_) << "the module stays installed";
  EXPECT_TRUE(ModuleRegistered(module_name_)) << "and registered";
  EXPECT_FALSE(KeyExists(UninstallKey(guid_))) << "no entry without its uninstaller";
}

// An uninstall takes the module's name from the document: a name that
// leads out of the system folder removes nothing.
TEST_F(InstallerE2E, UninstallTouchesNothingOutsideTheSystemFolder) {
  const std::wstring name = L"vte2e_" + tag_ + L".dll";
  const std::wstring outside = SystemFolder() + L"\\..\\" + name;
  ASSERT_TRUE(FileWriteBytes(outside, module_bytes_));
  ASSERT_TRUE(Build({{L"Vantorel-Copy.InstFileName", L"..\\" + name}}).ok);
  KeyCreate(UninstallKey(guid_));
  // The package's own image serves as its uninstaller.
  EXPECT_EQ(RunProgram(L"\"" + package_ + L"\" -UnInstall/" + guid_, L"", kRunTimeout), 24);
  EXPECT_EQ(FileBytes(outside), module_bytes_) << "left in place";
  EXPECT_TRUE(KeyExists(UninstallKey(guid_)));
  DeleteFileW(outside.c_str());
}

// An uninstaller removes its own product only: started with the GUID of
// another, it leaves that product's entry and its own module alone. Its
// own GUID counts in any letter case.
TEST_F(InstallerE2E, UninstallOfAnotherProductsGuidRemovesNothing) {
  ASSERT_TRUE(Build().ok);
  ASSERT_EQ(Install(), 0);
  const std::wstring other = NewGuid();
  KeyCreate(UninstallKey(other));
  EXPECT_EQ(UninstallWith(L"-UnInstall/" + other), 41);
  EXPECT_TRUE(KeyExists(UninstallKey(other))) << "the other product's entry stays";
  EXPECT_TRUE(FileExists(Target()));
  EXPECT_TRUE(ModuleRegistered(module_name_));
  EXPECT_TRUE(KeyExists(UninstallKey(guid_)));
  KeyRemove(UninstallKey(other));

  std::wstring lower = guid_;
  std::transform(lower.begin(), lower.end(), lower.begin(), ::towlower);
  EXPECT_EQ(UninstallWith(L"-UnInstall/" + lower), 0);
  EXPECT_FALSE(FileExists(Target()));
  EXPECT_FALSE(KeyExists(UninstallKey(guid_)));
}

}  // namespace

namespace {

// The names in a folder, sorted.
std::vector<std::wstring> Names(const std::wstring& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    std::wstring name = found.cFileName;
    if (name != L"." && name != L"..") names.push_back(name);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  std::sort(names.begin(), names.end());
  return names;
}

// Runs the test's programs with TMP and TEMP naming folder, and puts them
// back when it goes.
class TempFolderSet {
 public:
  explicit TempFolderSet(const std::wstring& folder) {
    for (int i = 0; i < 2; ++i) {
      wchar_t value[MAX_PATH] = L"";
      had_[i] = GetEnvironmentVariableW(kNames[i], value, MAX_PATH) > 0;
      old_[i] = value;
      SetEnvironmentVariableW(kNames[i], folder.c_str());
    }
  }
  ~TempFolderSet() {
    for (int i = 0; i < 2; ++i) SetEnvironmentVariableW(kNames[i], had_[i] ? old_[i].c_str() : nullptr);
  }

 private:
  const wchar_t* kNames[2] = {L"TMP", L"TEMP"};
  bool had_[2];
  std::wstring old_[2];
};

// The run makes a folder of its own in the temporary folder and its files
// inside it: files planted under the names it uses, and a link planted
// where a predictable name would be, are neither followed nor overwritten;
// the run works, and of its own only the extracted module stays.
TEST_F(InstallerE2E, TemporaryFilesOnlyInAFolderOfTheRunsOwn) {
  ASSERT_TRUE(Build().ok);
  const std::wstring temp = scratch_.file(L"temp");
  ASSERT_TRUE(CreateDirectoryW(temp.c_str(), nullptr));
  const std::string planted = "planted, not to be changed";
  for (const wchar_t* name : {L"Setup.ini", L"gif2.gif", L"QOR.ocx"})
    ASSERT_TRUE(FileWriteBytes(temp + L"\\" + name, planted));
  // A link to a file elsewhere, where a run that trusted names might write.
  const std::wstring victim = scratch_.file(L"victim.txt");
  ASSERT_TRUE(FileWriteBytes(victim, planted));
  bool linked = CreateSymbolicLinkW((temp + L"\\Qor.tmp").c_str(), victim.c_str(), 0) != FALSE;
  const std::vector<std::wstring> before = Names(temp);
  {
    TempFolderSet set(temp);
    EXPECT_EQ(Install(), 0);
  }
  EXPECT_EQ(FileBytes(Target()), module_bytes_);
  for (const wchar_t* name : {L"Setup.ini", L"gif2.gif", L"QOR.ocx"})
    EXPECT_EQ(FileBytes(temp + L"\\" + name), planted) << name;
  EXPECT_EQ(FileBytes(victim), planted) << (linked ? "the link was not followed" : "no link");
  std::vector<std::wstring> after = Names(temp);
  std::vector<std::wstring> added;
  std::set_difference(after.begin(), after.end(), before.begin(), before.end(),
                      std::back_inserter(added));
  ASSERT_EQ(added.size(), 1u) << "one folder of the run's own";
  const std::wstring own = temp + L"\\" + added[0];
  EXPECT_TRUE(GetFileAttributesW(own.c_str()) & FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ(Names(own), std::vector<std::wstring>{L"QOR.ocx"}) << "the module copy stays";
  EXPECT_EQ(FileBytes(own + L"\\QOR.ocx"), module_bytes_);
}

}  // namespace
