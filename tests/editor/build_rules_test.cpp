// The rules around a build that need no Win32: the headless command line
// with its time limit for the signing tool, who can have written a
// settings file, and the root of a path's volume.
#include <gtest/gtest.h>

#include <initializer_list>

#include "editor/editor_rules.h"
#include "editor/trust_rules.h"

namespace {

TEST(HeadlessArguments, TheSigningToolsTimeLimit) {
  const struct {
    std::initializer_list<const wchar_t*> argv;
    int result;
    unsigned seconds;
  } rows[] = {
      {{L"/build", L"p.sip"}, HEADLESS_BUILD, 0},
      {{L"/build", L"p.sip", L"/signtimeout", L"30"}, HEADLESS_BUILD, 30},
      {{L"/build", L"/SignTimeout", L"1", L"p.sip", L"/out", L"C:\\o"}, HEADLESS_BUILD, 1},
      {{L"/build", L"p.sip", L"/signtimeout", L"86400"}, HEADLESS_BUILD, 86400},
      {{L"/build", L"p.sip", L"/signtimeout", L"86401"}, HEADLESS_BAD, 0},
      {{L"/build", L"p.sip", L"/signtimeout", L"0"}, HEADLESS_BAD, 0},
      {{L"/build", L"p.sip", L"/signtimeout", L""}, HEADLESS_BAD, 0},
      {{L"/build", L"p.sip", L"/signtimeout", L"-5"}, HEADLESS_BAD, 0},
      {{L"/build", L"p.sip", L"/signtimeout", L"1e3"}, HEADLESS_BAD, 0},
      {{L"/build", L"p.sip", L"/signtimeout", L"99999999999999999999"}, HEADLESS_BAD, 0},
      {{L"/build", L"p.sip", L"/signtimeout"}, HEADLESS_BAD, 0},
      {{L"/build", L"p.sip", L"/signtimeout", L"5", L"/signtimeout", L"6"}, HEADLESS_BAD, 0},
      {{L"/build", L"/signtimeout", L"5"}, HEADLESS_BAD, 0},
  };
  for (const auto& row : rows) {
    HeadlessArgs args;
    int result = headless_args_parse(static_cast<int>(row.argv.size()),
                                     const_cast<wchar_t* const*>(row.argv.begin()), &args);
    EXPECT_EQ(result, row.result) << row.argv.size();
    if (result == HEADLESS_BUILD) EXPECT_EQ(args.sign_timeout, row.seconds);
  }
}

TrustEntry Allow(TrustWho who, uint32_t mask) { return {TRUST_ENTRY_ALLOW, who, mask, false}; }

TEST(TrustOnlyOurs, OnlyTheUserAdministratorsAndSystemMayWrite) {
  const uint32_t kAll = 0x1F01FF, kRead = 0x1200A9, kWriteData = 0x2, kAppend = 0x4,
                 kWriteDac = 0x40000, kWriteOwner = 0x80000, kGenericWrite = 0x40000000,
                 kGenericAll = 0x10000000, kDeleteChild = 0x40, kDelete = 0x10000;
  const TrustEntry own[] = {Allow(TRUST_WHO_SELF, kAll), Allow(TRUST_WHO_ADMINISTRATORS, kAll),
                            Allow(TRUST_WHO_SYSTEM, kAll)};
  struct Row {
    const char* what;
    TrustWho owner;
    bool has_list, folder;
    std::initializer_list<TrustEntry> extra;
    bool trusted;
  } rows[] = {
      {"the user's own list", TRUST_WHO_SELF, true, false, {}, true},
      {"owned by Administrators", TRUST_WHO_ADMINISTRATORS, true, false, {}, true},
      {"owned by SYSTEM", TRUST_WHO_SYSTEM, true, false, {}, true},
      {"owned by someone else", TRUST_WHO_OTHER, true, false, {}, false},
      {"no list at all", TRUST_WHO_SELF, false, false, {}, false},
      {"others may read", TRUST_WHO_SELF, true, false, {Allow(TRUST_WHO_OTHER, kRead)}, true},
      {"others may write data", TRUST_WHO_SELF, true, false, {Allow(TRUST_WHO_OTHER, kWriteData)}, false},
      {"others may append", TRUST_WHO_SELF, true, false, {Allow(TRUST_WHO_OTHER, kAppend)}, false},
      {"others may change the list", TRUST_WHO_SELF, true, false, {Allow(TRUST_WHO_OTHER, kWriteDac)}, false},
      {"others may take it over", TRUST_WHO_SELF, true, false, {Allow(TRUST_WHO_OTHER, kWriteOwner)}, false},
      {"others may write (generic)", TRUST_WHO_SELF, true, false, {Allow(TRUST_WHO_OTHER, kGenericWrite)}, false},
      {"others have everything (generic)", TRUST_WHO_SELF, true, false, {Allow(TRUST_WHO_OTHER, kGenericAll)}, false},
      {"others may delete the file", TRUST_WHO_SELF, true, false, {Allow(TRUST_WHO_OTHER, kDelete)}, true},
      {"others may delete what a file holds", TRUST_WHO_SELF, true, false, {Allow(TRUST_WHO_OTHER, kDeleteChild)}, true},
      {"others may delete what a folder holds", TRUST_WHO_SELF, true, true, {Allow(TRUST_WHO_OTHER, kDeleteChild)}, false},
      {"a write passed on only to new files", TRUST_WHO_SELF, true, false,
       {{TRUST_ENTRY_ALLOW, TRUST_WHO_OTHER, kAll, true}}, true},
      {"a write denied to others", TRUST_WHO_SELF, true, false,
       {{TRUST_ENTRY_DENY, TRUST_WHO_OTHER, kAll, false}}, true},
      {"an allow entry of another form that writes", TRUST_WHO_SELF, true, false,
       {{TRUST_ENTRY_ALLOW_OTHER, TRUST_WHO_OTHER, kWriteData, false}}, false},
      {"an allow entry of another form that reads", TRUST_WHO_SELF, true, false,
       {{TRUST_ENTRY_ALLOW_OTHER, TRUST_WHO_OTHER, kRead, false}}, true},
      {"an audit entry", TRUST_WHO_SELF, true, false,
       {{TRUST_ENTRY_OTHER, TRUST_WHO_OTHER, kAll, false}}, true},
  };
  for (const Row& row : rows) {
    TrustEntry entries[8];
    size_t n = 0;
    for (const TrustEntry& e : own) entries[n++] = e;
    for (const TrustEntry& e : row.extra) entries[n++] = e;
    EXPECT_EQ(trust_only_ours(row.owner, row.has_list, entries, n, row.folder), row.trusted)
        << row.what;
  }
}

TEST(TrustVolumeRoot, DrivesAndShares) {
  const struct {
    const wchar_t* path;
    const wchar_t* root;  // NULL: none
  } rows[] = {
      {L"C:\\base\\InstallList\\{G}\\codesign.txt", L"C:\\"},
      {L"d:/work/codesign.txt", L"d:\\"},
      {L"\\\\server\\share\\base\\codesign.txt", L"\\\\server\\share\\"},
      {L"//server/share", L"\\\\server\\share\\"},
      {L"\\\\server\\", nullptr},
      {L"\\\\server", nullptr},
      {L"\\\\\\share\\x", nullptr},
      {L"C:relative", nullptr},
      {L"relative\\path", nullptr},
      {L"", nullptr},
  };
  for (const auto& row : rows) {
    wchar_t root[32];
    bool found = trust_volume_root(row.path, root, 32);
    EXPECT_EQ(found, row.root != nullptr) << row.path;
    EXPECT_STREQ(root, row.root ? row.root : L"") << row.path;
  }
  wchar_t small[4];
  EXPECT_TRUE(trust_volume_root(L"C:\\x", small, 4));
  EXPECT_FALSE(trust_volume_root(L"C:\\x", small, 3));
}

}  // namespace
