// The fixture of the Installer's end-to-end tests: one package of the test
// COM module under names of its own, and the clean-up of everything a run
// may leave behind.
#pragma once

#include <gtest/gtest.h>
#include <wchar.h>
#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "tests/installer/e2e_support.h"

const DWORD kRunTimeout = 90000;

// The local date as the uninstall entry's InstallDate gives it.
inline std::wstring Today() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  wchar_t text[16];
  swprintf(text, 16, L"%04u%02u%02u", now.wYear, now.wMonth, now.wDay);
  return text;
}

const wchar_t kSharedKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";

// The shared-module count of path: -1 when there is no value.
inline long SharedCount(const std::wstring& path) {
  DWORD count = 0, size = sizeof count, type = 0;
  HKEY key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSharedKey, 0, KEY_READ, &key)) return -1;
  LONG result = RegQueryValueExW(key, path.c_str(), nullptr, &type,
                                 reinterpret_cast<BYTE*>(&count), &size);
  RegCloseKey(key);
  return result == ERROR_SUCCESS && type == REG_DWORD ? static_cast<long>(count) : -1;
}

// Sets the value of path under SharedDLLs as it is given, of any type.
inline void SharedValueSet(const std::wstring& path, DWORD type, const std::string& data) {
  RegSetKeyValueW(HKEY_LOCAL_MACHINE, kSharedKey, path.c_str(), type, data.data(),
                  static_cast<DWORD>(data.size()));
}

// The type and bytes of that value; type REG_NONE and no bytes when none.
inline std::pair<DWORD, std::string> SharedValue(const std::wstring& path) {
  char data[64];
  DWORD size = sizeof data, type = REG_NONE;
  if (RegGetValueW(HKEY_LOCAL_MACHINE, kSharedKey, path.c_str(), RRF_RT_ANY | RRF_NOEXPAND, &type,
                   data, &size))
    return {REG_NONE, ""};
  return {type, std::string(data, size)};
}

inline void SharedCountRemove(const std::wstring& path) {
  HKEY key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSharedKey, 0, KEY_SET_VALUE, &key)) return;
  RegDeleteValueW(key, path.c_str());
  RegCloseKey(key);
}

// One package of the test module under a name of its own, with its GUID,
// and the clean-up of everything a run may have left.
class InstallerE2E : public ::testing::Test {
 protected:
  InstallerE2E() : scratch_(L"e2e") {}

  void SetUp() override {
    tag_ = std::to_wstring(GetTickCount()) + L"_" + std::to_wstring(GetCurrentProcessId());
    guid_ = NewGuid();
    module_name_ = L"vte2e_" + tag_ + L".ocx";
    package_ = scratch_.file(L"pkg_" + tag_ + L".exe");
    module_ = scratch_.file(module_name_);
    module_bytes_ = FileBytes(TestComDll());
    ASSERT_FALSE(module_bytes_.empty()) << "test module missing";
    ASSERT_TRUE(FileWriteBytes(module_, module_bytes_));
    WineVersionSet(PackageName(), L"win7");
  }

  void TearDown() override {
    WineVersionSet(PackageName(), nullptr);
    Cleanup();
  }

  // Removes what a run may have left; the package and its settings stay.
  void Cleanup() {
    DeleteFileW(Target().c_str());
    RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kRegisteredKey, module_name_.c_str());
    KeyRemove(UninstallKey(guid_));
    TreeRemove(UninstallFolder());
    PendingRenamesRemove(module_name_);
    SharedCountRemove(Target());
  }

  std::wstring PackageName() const { return L"pkg_" + tag_ + L".exe"; }
  std::wstring Target() const { return SystemFolder() + L"\\" + module_name_; }
  std::wstring UninstallFolder() const {
    return ProgramFilesFolder() + L"\\HV-Vanto\\" + guid_;
  }
  std::wstring Uninstaller() const { return UninstallFolder() + L"\\hvuninst.exe"; }

  // The settings of a silent package with an uninstall entry, changed by
  // overrides ("Section.Key" to value).
  std::vector<std::wstring> Assignments(
      const std::map<std::wstring, std::wstring>& overrides = {}) const {
    std::map<std::wstring, std::wstring> values = {
        {L"Vantorel-Init.InstallGUID", guid_},
        {L"Vantorel-Init.InstPgmName", L"Sample Grid"},
        {L"Vantorel-Init.InstOsVer", L"000-000-011-110"},
        {L"Vantorel-Init.InstVerMajor", L"2"},
        {L"Vantorel-Init.InstVerMinor", L"3"},
        {L"Vantorel-Init.InstVerBuild", L"45"},
        {L"Vantorel-Init.Administrator", L"1"},
        {L"Vantorel-Init.InstallType", L"1"},
        {L"Vantorel-UnInstall.UnInstallType", L"1"},
        {L"Vantorel-UnInstall.UnInstallDspName", L"サンプル グリッド"},
    };
    for (const auto& o : overrides) values[o.first] = o.second;
    std::vector<std::wstring> list;
    for (const auto& v : values) list.push_back(v.first + L"=" + v.second);
    return list;
  }

  PackageResult Build(const std::map<std::wstring, std::wstring>& overrides = {},
                      bool silent_marker = false) {
    PackageResult built = PackageBuild(package_, module_, Assignments(overrides), silent_marker);
    EXPECT_TRUE(built.ok) << built.output;
    return built;
  }

  long Install(const std::wstring& folder = L"") {
    return RunProgram(L"\"" + package_ + L"\"", folder, kRunTimeout);
  }

  long UninstallWith(const std::wstring& arguments) {
    return RunProgram(L"\"" + Uninstaller() + L"\" " + arguments, L"", kRunTimeout);
  }

  void ExpectNothingInstalled() {
    EXPECT_FALSE(FileExists(Target()));
    EXPECT_FALSE(ModuleRegistered(module_name_));
    EXPECT_FALSE(KeyExists(UninstallKey(guid_)));
    EXPECT_FALSE(FolderExists(UninstallFolder()));
  }

  ScratchDir scratch_;
  std::wstring tag_, guid_, module_name_, package_, module_;
  std::string module_bytes_;
};
