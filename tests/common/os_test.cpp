// OsIdentify on the Windows versions Wine can report, each run in a fresh
// probe process whose reported version is set in Wine's per-program
// settings.
#include <gtest/gtest.h>
#include <windows.h>

#include <set>
#include <string>

#include "common/os.h"

namespace {

const wchar_t kVersionKey[] = L"Software\\Wine\\AppDefaults\\os_probe.exe";

std::wstring ProbePath() {
  wchar_t path[MAX_PATH];
  DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring self(path, n);
  return self.substr(0, self.find_last_of(L"\\/") + 1) + L"os_probe.exe";
}

struct ProbeResult {
  int code = -1;
  unsigned long lcid = 0;
  int ace = -1;
  std::string name;
  OsVersion reported = {};
};

// Runs the probe with Wine reporting version (a winecfg name).
ProbeResult RunProbe(const wchar_t* version) {
  HKEY key;
  EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kVersionKey, 0, nullptr, 0, KEY_SET_VALUE,
                            nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueExW(key, L"Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version),
                 static_cast<DWORD>((wcslen(version) + 1) * sizeof(wchar_t)));
  RegCloseKey(key);

  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  wchar_t out[MAX_PATH];
  GetTempFileNameW(temp, L"osp", 0, out);
  std::wstring command = L"\"" + ProbePath() + L"\" \"" + out + L"\"";
  STARTUPINFOW startup = {sizeof startup};
  PROCESS_INFORMATION process = {};
  ProbeResult result;
  if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    ADD_FAILURE() << "probe not started: " << GetLastError();
    return result;
  }
  WaitForSingleObject(process.hProcess, 30000);
  DWORD exit_code = 0;
  GetExitCodeProcess(process.hProcess, &exit_code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);

  FILE* file = _wfopen(out, L"r");
  char name[64] = {};
  if (file) {
    OsVersion& v = result.reported;
    if (fscanf(file, "%d %lu %d %63[^\n] %u %u %u %u %u", &result.code, &result.lcid,
               &result.ace, name, &v.platform, &v.major, &v.minor, &v.build,
               &v.product_type) != 9)
      result.code = -1;
    fclose(file);
  }
  DeleteFileW(out);
  result.name = name;
  EXPECT_EQ(static_cast<int>(exit_code), result.code) << "exit code is the OS code";
  return result;
}

// Wine's per-program version setting is honoured for the version numbers,
// but (measured with Wine 8) it reports the workstation product type for
// "win2008r2" and the server type for "win7". So each probe's code is
// checked against what the system reported, and the set of versions
// together must reach every NT code Wine can give.
TEST(OsIdentify, VersionsWineReports) {
  const wchar_t* versions[] = {L"winxp64", L"win2003", L"vista", L"win2008",
                               L"win7",    L"win2008r2", L"win10"};
  std::set<int> codes;
  for (const wchar_t* version : versions) {
    ProbeResult r = RunProbe(version);
    std::string label(version, version + wcslen(version));
    const OsVersion& v = r.reported;
    EXPECT_EQ(v.platform, 2u) << label;
    EXPECT_EQ(r.code, OsClassify(v)) << label << " reported " << v.major << "." << v.minor
                                     << " type " << v.product_type;
    EXPECT_EQ(r.name, OsName(r.code)) << label;
    EXPECT_EQ(r.ace, r.code >= OS_VISTA ? 2 : 1) << label << ": looked up from Vista on only";
    EXPECT_EQ(r.lcid, static_cast<unsigned long>(GetUserDefaultLCID())) << label;
    codes.insert(r.code);
  }
  RegDeleteKeyW(HKEY_CURRENT_USER, kVersionKey);
  EXPECT_EQ(codes, (std::set<int>{OS_UNKNOWN, OS_WIN2003, OS_VISTA, OS_WIN7, OS_WIN2008,
                                  OS_WIN2008R2}));
}

TEST(OsIdentify, SetsTheProcessValuesAndLooksUpOnce) {
  const char* name = nullptr;
  int code = OsIdentify(&name);
  EXPECT_EQ(code, OsCode);
  EXPECT_EQ(UserDefaultLcid, GetUserDefaultLCID());
  ASSERT_NE(name, nullptr);
  if (code >= OS_VISTA) {
    AddAceExFn found = AddAceExProc;
    EXPECT_NE(found, nullptr);
    EXPECT_NE(found, OS_ACE_PROC_UNSET);
    // Once looked up (even when nothing was found) the pointer is kept.
    AddAceExProc = nullptr;
    OsIdentify(nullptr);
    EXPECT_EQ(AddAceExProc, nullptr);
    AddAceExProc = found;
  }
}

}  // namespace
