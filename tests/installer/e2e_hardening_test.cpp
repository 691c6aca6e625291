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

// The names the system's temporary-name routine goes through for the
// prefix "Qor" from the unique number first on: Wine's takes the number
// from the low 16 bits of the tick count and counts up past every name
// that exists, never 0.
std::vector<std::wstring> TempNames(unsigned first, int count) {
  std::vector<std::wstring> names;
  for (unsigned n = first & 0xFFFF; static_cast<int>(names.size()) < count; n = (n + 1) & 0xFFFF) {
    if (n == 0) continue;
    wchar_t name[16];
    swprintf(name, 16, L"Qor%X.tmp", n);
    names.push_back(name);
  }
  return names;
}

// The run makes a folder of its own in the temporary folder and its
// document inside it: files planted under the names earlier runs used are
// left alone, and links planted at the names the run's own folder is
// chosen from, all of them second names of one file elsewhere, are passed
// over, never written through. The run works and leaves nothing behind.
TEST_F(InstallerE2E, TemporaryFilesOnlyInAFolderOfTheRunsOwn) {
  ASSERT_TRUE(Build().ok);
  const std::wstring temp = scratch_.file(L"temp");
  ASSERT_TRUE(CreateDirectoryW(temp.c_str(), nullptr));
  const std::string planted = "planted, not to be changed";
  for (const wchar_t* name : {L"Setup.ini", L"gif2.gif", L"QOR.ocx"})
    ASSERT_TRUE(FileWriteBytes(temp + L"\\" + name, planted));
  // Links at the names of a stretch of unique numbers, and the run started
  // when the tick count reaches the stretch: its folder's name must be
  // looked for through all of them. The stretch lies far enough ahead for
  // the links to be planted before it comes (or a wrap of the tick count
  // later).
  const std::wstring victim = scratch_.file(L"victim.txt");
  ASSERT_TRUE(FileWriteBytes(victim, planted));
  const int kPlanted = 3000;
  const DWORD first = GetTickCount() + 15000;
  const std::vector<std::wstring> names = TempNames(first, kPlanted + 1);
  for (int i = 0; i < kPlanted; ++i)
    ASSERT_TRUE(CreateHardLinkW((temp + L"\\" + names[i]).c_str(), victim.c_str(), nullptr))
        << "the link " << i << " could not be planted: " << GetLastError();
  // The tick count comes round to the stretch (after its wrap at 65,536
  // when the planting took longer than foreseen).
  const std::vector<std::wstring> before = Names(temp);
  while (((GetTickCount() - first) & 0xFFFF) > 200) Sleep(1);
  const std::wstring log = scratch_.file(L"temp_" + tag_ + L".log");
  {
    TempFolderSet set(temp);
    EXPECT_EQ(RunProgram(Quoted(package_) + L" -Log/" + Quoted(log), L"", kRunTimeout), 0);
  }
  EXPECT_EQ(FileBytes(Target()), module_bytes_);
  for (const wchar_t* name : {L"Setup.ini", L"gif2.gif", L"QOR.ocx"})
    EXPECT_EQ(FileBytes(temp + L"\\" + name), planted) << name;
  EXPECT_EQ(FileBytes(victim), planted) << "no link was written through";
  // The run's folder was the first free name after the planted ones, so it
  // began where they stand; it is gone, and so is all of the run's own.
  const std::string text = FileBytes(log);
  EXPECT_NE(Lower(std::wstring(text.begin(), text.end())).find(Lower(names[kPlanted])),
            std::wstring::npos)
      << "the run did not look where the links were planted:\n" << text;
  EXPECT_EQ(Names(temp), before) << "nothing of the run stays";
  for (int i = 0; i < kPlanted; ++i) DeleteFileW((temp + L"\\" + names[i]).c_str());
}

}  // namespace
