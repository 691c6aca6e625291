// The OS classification of every listed system and its borders, and the
// mask test and format.
#include "common/os_code.h"

#include <gtest/gtest.h>

namespace {

struct Row {
  OsVersion version;
  int code;
};

TEST(OsClassify, EveryListedSystemAndItsBorders) {
  const Row rows[] = {
      // Windows 95: build 950, SP1 951-1080, OSR2 above.
      {{1, 4, 0, 949, 0}, OS_UNKNOWN},
      {{1, 4, 0, 950, 0}, OS_WIN95},
      {{1, 4, 0, 951, 0}, OS_WIN95_SP1},
      {{1, 4, 0, 1080, 0}, OS_WIN95_SP1},
      {{1, 4, 0, 1081, 0}, OS_WIN95_OSR2},
      {{1, 4, 3, 1212, 0}, OS_WIN95_OSR2},
      // Windows 98: 1998, SP1 1999-2182, SE from 2183.
      {{1, 4, 10, 1997, 0}, OS_UNKNOWN},
      {{1, 4, 10, 1998, 0}, OS_WIN98},
      {{1, 4, 10, 1999, 0}, OS_WIN98_SP1},
      {{1, 4, 10, 2182, 0}, OS_WIN98_SP1},
      {{1, 4, 10, 2183, 0}, OS_WIN98_SE},
      {{1, 4, 10, 2222, 0}, OS_WIN98_SE},
      {{1, 4, 90, 3000, 0}, OS_WINME},
      {{1, 4, 11, 3000, 0}, OS_UNKNOWN},
      {{1, 5, 0, 3000, 0}, OS_UNKNOWN},
      // The 9x build sits in the low word; the high word holds the version.
      {{1, 4, 10, 0x040A08AE & 0xFFFF, 0}, OS_WIN98_SE},
      // NT family.
      {{2, 3, 51, 1057, 0}, OS_NT351},
      {{2, 3, 50, 807, 0}, OS_UNKNOWN},
      {{2, 4, 0, 1381, 0}, OS_NT40},
      {{2, 4, 1, 1381, 0}, OS_UNKNOWN},
      {{2, 5, 0, 2195, 1}, OS_WIN2000},
      {{2, 5, 1, 2600, 1}, OS_WINXP},
      {{2, 5, 2, 3790, 1}, OS_WIN2003},
      {{2, 5, 2, 3790, 3}, OS_WIN2003},
      {{2, 6, 0, 6002, 1}, OS_VISTA},
      {{2, 6, 0, 6002, 2}, OS_WIN2008},  // domain controller
      {{2, 6, 0, 6002, 3}, OS_WIN2008},
      {{2, 6, 1, 7601, 1}, OS_WIN7},
      {{2, 6, 1, 7601, 3}, OS_WIN2008R2},
      {{2, 6, 2, 9200, 1}, OS_UNKNOWN},
      {{2, 10, 0, 19045, 1}, OS_UNKNOWN},
      // Other platforms, and version numbers that only add up to a listed one.
      {{0, 3, 10, 0, 0}, OS_UNKNOWN},
      {{3, 6, 1, 7601, 1}, OS_UNKNOWN},
      {{2, 2, 151, 0, 0}, OS_UNKNOWN},
  };
  for (const Row& row : rows) {
    const OsVersion& v = row.version;
    EXPECT_EQ(OsClassify(v), row.code)
        << "platform " << v.platform << " " << v.major << "." << v.minor << " build "
        << v.build << " type " << v.product_type;
  }
}

TEST(OsName, NamesTheCodes) {
  EXPECT_STREQ(OsName(OS_WIN98_SE), "Windows 98 SE");
  EXPECT_STREQ(OsName(OS_WIN2008R2), "Windows 2008 Server R2");
  EXPECT_STREQ(OsName(OS_UNKNOWN), "Unknown");
  EXPECT_STREQ(OsName(8), "Unknown");
}

// No system is left with a descriptor that carries no access list: the 9x
// family, which keeps no lists, gets no attributes, and every other code a
// list of its own, the NT systems before Windows Vista included.
TEST(OsProtectionOf, EveryCode) {
  const struct {
    int code;
    OsProtection protection;
  } rows[] = {
      {OS_WIN95, OS_PROTECT_NONE},          {OS_WIN95_SP1, OS_PROTECT_NONE},
      {OS_WIN95_OSR2, OS_PROTECT_NONE},     {OS_WIN98, OS_PROTECT_NONE},
      {OS_WIN98_SP1, OS_PROTECT_NONE},      {OS_WIN98_SE, OS_PROTECT_NONE},
      {OS_WINME, OS_PROTECT_NONE},          {OS_NT351, OS_PROTECT_ACCESS_LIST},
      {OS_NT40, OS_PROTECT_ACCESS_LIST},    {OS_WIN2000, OS_PROTECT_ACCESS_LIST},
      {OS_WINXP, OS_PROTECT_ACCESS_LIST},   {OS_WIN2003, OS_PROTECT_ACCESS_LIST},
      {OS_VISTA, OS_PROTECT_ACCESS_LIST},   {OS_WIN7, OS_PROTECT_ACCESS_LIST},
      {OS_WIN2008, OS_PROTECT_ACCESS_LIST}, {OS_WIN2008R2, OS_PROTECT_ACCESS_LIST},
      // Codes the table does not know: a later NT version, never 9x.
      {OS_UNKNOWN, OS_PROTECT_ACCESS_LIST}, {8, OS_PROTECT_ACCESS_LIST},
      {100, OS_PROTECT_ACCESS_LIST},        {110, OS_PROTECT_ACCESS_LIST},
      {-1, OS_PROTECT_ACCESS_LIST},
  };
  for (const auto& row : rows) EXPECT_EQ(OsProtectionOf(row.code), row.protection) << row.code;
}

// Whatever an NT system reports, its classification leads to a list.
TEST(OsProtectionOf, EveryNtVersionGetsAList) {
  const OsVersion nt[] = {{2, 3, 10, 528, 0},  {2, 3, 51, 1057, 0}, {2, 4, 0, 1381, 0},
                          {2, 5, 0, 2195, 1},  {2, 5, 1, 2600, 1},  {2, 5, 2, 3790, 3},
                          {2, 6, 0, 6002, 1},  {2, 6, 1, 7601, 3},  {2, 6, 2, 9200, 1},
                          {2, 10, 0, 19045, 1}};
  for (const OsVersion& v : nt)
    EXPECT_EQ(OsProtectionOf(OsClassify(v)), OS_PROTECT_ACCESS_LIST) << v.major << "." << v.minor;
  const OsVersion family9x[] = {{1, 4, 0, 950, 0}, {1, 4, 10, 2222, 0}, {1, 4, 90, 3000, 0}};
  for (const OsVersion& v : family9x)
    EXPECT_EQ(OsProtectionOf(OsClassify(v)), OS_PROTECT_NONE) << v.major << "." << v.minor;
}

TEST(OsMaskAllows, SampleMask) {
  const char* mask = "000-000-011-110";
  for (int code : {OS_WIN2003, OS_VISTA, OS_WIN7, OS_WIN2008, OS_WIN2008R2})
    EXPECT_TRUE(OsMaskAllows(mask, code)) << code;
  for (int code : {OS_UNKNOWN, OS_WIN95, OS_WIN95_OSR2, OS_WIN98_SE, OS_WINME, OS_NT351,
                   OS_NT40, OS_WIN2000, OS_WINXP})
    EXPECT_FALSE(OsMaskAllows(mask, code)) << code;
  EXPECT_TRUE(OsMaskAllows(L"000-000-011-110", OS_WIN7));
  EXPECT_FALSE(OsMaskAllows(L"000-000-011-110", OS_WINXP));
}

TEST(OsMaskAllows, ShortEmptyAndOddMasks) {
  EXPECT_FALSE(OsMaskAllows("", OS_WIN7));
  EXPECT_FALSE(OsMaskAllows(static_cast<const char*>(nullptr), OS_WIN7));
  // "111" allows the three 9x positions and nothing of the NT family.
  for (int code : {OS_WIN95_OSR2, OS_WIN98_SE, OS_WINME}) EXPECT_TRUE(OsMaskAllows("111", code));
  for (int code = OS_NT351; code <= OS_WIN2008R2; ++code) EXPECT_FALSE(OsMaskAllows("111", code));
  // Codes without a position are never allowed, whatever the mask holds.
  for (int code : {OS_WIN95, OS_WIN95_SP1, OS_WIN98, OS_WIN98_SP1})
    EXPECT_FALSE(OsMaskAllows("111-111-111-111", code)) << code;
  // Only the character "1" allows; the separators are never looked at.
  EXPECT_FALSE(OsMaskAllows("000-000-000-0 0", OS_WIN2008));
  EXPECT_TRUE(OsMaskAllows("xxxx1", OS_NT351));
  // Position 13 decides both 2008 editions.
  EXPECT_TRUE(OsMaskAllows("000-000-000-010", OS_WIN2008));
  EXPECT_TRUE(OsMaskAllows("000-000-000-010", OS_WIN2008R2));
  EXPECT_FALSE(OsMaskAllows("000-000-000-100", OS_WIN2008R2));
}

TEST(OsMaskFormat, PlacesTheTenFlags) {
  char mask[16];
  OsMaskFormat("0000111111", mask);  // a new project
  EXPECT_STREQ(mask, "000-001-111-110");
  OsMaskFormat("0000001111", mask);
  EXPECT_STREQ(mask, "000-000-011-110");
  OsMaskFormat("1231111111", mask);
  EXPECT_STREQ(mask, "100-011-111-110") << "positions 4 and 14 stay 0; non-1 flags are 0";
  OsMaskFormat("11", mask);
  EXPECT_STREQ(mask, "110-000-000-000") << "a short flags text ends the flags";
  // Every flag lands where OsMaskAllows looks for it.
  const int codes[10] = {OS_WIN95_OSR2, OS_WIN98_SE, OS_WINME, OS_NT40, OS_WIN2000,
                         OS_WINXP, OS_WIN2003, OS_VISTA, OS_WIN7, OS_WIN2008};
  for (int i = 0; i < 10; ++i) {
    char flags[11] = "0000000000";
    flags[i] = '1';
    OsMaskFormat(flags, mask);
    for (int j = 0; j < 10; ++j) EXPECT_EQ(OsMaskAllows(mask, codes[j]), i == j) << i << " " << j;
    EXPECT_FALSE(OsMaskAllows(mask, OS_NT351));
  }
}

}  // namespace
