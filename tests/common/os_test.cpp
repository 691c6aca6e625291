// OsIdentify on the Windows versions Wine can report, each run in a fresh
// probe process whose reported version is set in Wine's per-program
// settings.
#include <gtest/gtest.h>
#include <windows.h>

#include <set>
#include <string>

#include "common/os.h"
#include "probe/probe_run.h"

namespace {

struct ProbeResult {
  int code = -1;
  unsigned long lcid = 0;
  int ace = -1;
  std::string name;
  OsVersion reported = {};
};

// Runs the probe with Wine reporting version (a winecfg name).
ProbeResult RunProbe(const wchar_t* version) {
  ProbeRun run = ProbeRunAs(L"os_probe.exe", version);
  ProbeResult result;
  char name[64] = {};
  OsVersion& v = result.reported;
  if (sscanf(run.output.c_str(), "%d %lu %d %63[^\n] %u %u %u %u %u", &result.code,
             &result.lcid, &result.ace, name, &v.platform, &v.major, &v.minor, &v.build,
             &v.product_type) != 9)
    result.code = -1;
  result.name = name;
  EXPECT_EQ(static_cast<int>(run.exit_code), result.code) << "exit code is the OS code";
  return result;
}

// Wine's per-program version setting is honoured for the version numbers,
// but (measured with Wine 8) it reports the workstation product type for
// "win2008r2" and the server type for "win7". So each probe's code is
// checked against what the system reported, and the set of versions
// together must reach every NT code Wine can give.
TEST(OsIdentify, VersionsWineReports) {
  const wchar_t* versions[] = {L"win2k", L"winxp",     L"winxp64", L"win2003", L"vista",
                               L"win2008", L"win7", L"win2008r2", L"win10"};
  std::set<int> codes;
  for (const wchar_t* version : versions) {
    ProbeResult r = RunProbe(version);
    std::string label(version, version + wcslen(version));
    const OsVersion& v = r.reported;
    EXPECT_EQ(v.platform, 2u) << label;
    EXPECT_EQ(r.code, OsClassify(v)) << label << " reported " << v.major << "." << v.minor
                                     << " type " << v.product_type;
    EXPECT_EQ(r.name, OsName(r.code)) << label;
    // Every NT system Wine reports (Windows 2000 to 2003, and later ones the
    // table does not know) gets a list, so the function is looked up.
    EXPECT_EQ(r.ace, 2) << label;
    EXPECT_EQ(r.lcid, static_cast<unsigned long>(GetUserDefaultLCID())) << label;
    codes.insert(r.code);
  }
  EXPECT_EQ(codes, (std::set<int>{OS_UNKNOWN, OS_WIN2000, OS_WINXP, OS_WIN2003, OS_VISTA,
                                  OS_WIN7, OS_WIN2008, OS_WIN2008R2}));
}

TEST(OsIdentify, SetsTheProcessValuesAndLooksUpOnce) {
  const char* name = nullptr;
  int code = OsIdentify(&name);
  EXPECT_EQ(code, OsCode);
  EXPECT_EQ(UserDefaultLcid, GetUserDefaultLCID());
  ASSERT_NE(name, nullptr);
  if (OsProtectionOf(code) == OS_PROTECT_ACCESS_LIST) {
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
