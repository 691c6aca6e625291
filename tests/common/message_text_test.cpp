// The two-line split of the Installer's texts, the placement of dialogs and
// the time stamp.
#include "common/message_text.h"

#include <gtest/gtest.h>

#include <string.h>
#include <wchar.h>

#include <string>

#include "common/placement.h"
#include "common/time_stamp.h"

namespace {

struct SplitCase {
  const char* what;
  const wchar_t* text;
  int status;
  unsigned error;
  size_t cap1, cap2;
  bool ok;
  const wchar_t* line1;
  const wchar_t* line2;
};

const SplitCase kSplitCases[] = {
    {"two lines with status and error 0",
     L"インストール対象のOSとして登録されていません。$-$インストールは行えません。", 0, 0,
     64, 64, true, L"インストール対象のOSとして登録されていません。",
     L"インストールは行えません。 - (0, 0)"},
    {"negative status and an error", L"first$-$second", -21, 5, 64, 64, true,
     L"first", L"second - (-21, 5)"},
    {"cut at the first $ only", L"a$-$b$-$c", 1, 2, 64, 64, true, L"a",
     L"b$-$c - (1, 2)"},
    {"second line starts three after the $ whatever follows", L"a$xyz", 0, 0, 64,
     64, true, L"a", L"z - (0, 0)"},
    {"empty first line", L"$-$b", 0, 0, 64, 64, true, L"", L"b - (0, 0)"},
    {"text ending at the $ reads nothing past its end", L"abc$", 0, 0, 64, 64,
     true, L"abc", L" - (0, 0)"},
    {"text ending within the separator", L"abc$-", 0, 0, 64, 64, true, L"abc",
     L" - (0, 0)"},
    {"no $ yields no lines", L"インストールは行えません。", 0, 0, 64, 64, false, L"",
     L""},
    {"empty text", L"", 0, 0, 64, 64, false, L"", L""},
    {"first line exactly fits", L"abcd$-$x", 0, 0, 5, 64, true, L"abcd",
     L"x - (0, 0)"},
    {"first line one too long", L"abcde$-$x", 0, 0, 5, 64, false, L"", L""},
    {"second line exactly fits with its numbers", L"a$-$x", 0, 0, 64, 11, true,
     L"a", L"x - (0, 0)"},
    {"numbers push the second line over", L"a$-$x", 10, 0, 64, 11, false, L"",
     L""},
    {"second line text alone too long", L"a$-$0123456789", 0, 0, 64, 8, false,
     L"", L""},
};

TEST(MessageSplitTwoLines, SplitsAtTheFirstDollarWithinTheBuffers) {
  for (const SplitCase& c : kSplitCases) {
    wchar_t line1[64], line2[64];
    // Stale content must not survive a failure.
    wcscpy(line1, L"stale");
    wcscpy(line2, L"stale");
    bool ok = MessageSplitTwoLines(c.text, c.status, c.error, line1, c.cap1, line2,
                                   c.cap2);
    EXPECT_EQ(ok, c.ok) << c.what;
    EXPECT_EQ(std::wstring(line1), c.line1) << c.what;
    EXPECT_EQ(std::wstring(line2), c.line2) << c.what;
  }
}

TEST(MessageSplitTwoLines, ZeroCapacitiesAreRefused) {
  wchar_t line[8] = L"keep";
  EXPECT_FALSE(MessageSplitTwoLines(L"a$-$b", 0, 0, line, 0, line, 0));
  EXPECT_EQ(std::wstring(line), L"keep");
}

struct PlaceCase {
  ScreenPoint origin;
  int main_width, dialog_width;
  ScreenPoint expected;
};

TEST(PlaceBelowMain, CentresOverTheMainWindowAndDropsBelowItsClientOrigin) {
  const PlaceCase cases[] = {
      {{100, 120}, 800, 300, {350, 300}},
      {{0, 0}, 801, 300, {250, 180}},
      // Dialogs wider than the main window: the odd difference truncates
      // toward zero, not down.
      {{100, 120}, 300, 301, {100, 300}},
      {{100, 120}, 100, 105, {98, 300}},
      {{-50, -200}, 100, 400, {-200, -20}},
  };
  for (const PlaceCase& c : cases) {
    ScreenPoint at = PlaceBelowMain(c.origin, c.main_width, c.dialog_width);
    EXPECT_EQ(at.x, c.expected.x) << c.main_width << " " << c.dialog_width;
    EXPECT_EQ(at.y, c.expected.y) << c.main_width << " " << c.dialog_width;
  }
}

TEST(PlaceCentred, CentresOnTheOwnerOriginPlusOffset) {
  ScreenPoint at = PlaceCentred({100, 120}, {0, 0}, 800, 600, 300, 200);
  EXPECT_EQ(at.x, 350);
  EXPECT_EQ(at.y, 320);
  at = PlaceCentred({100, 120}, {30, -20}, 800, 600, 300, 200);
  EXPECT_EQ(at.x, 380);
  EXPECT_EQ(at.y, 300);
  // A browser larger than its owner, odd differences in both directions.
  at = PlaceCentred({10, 10}, {0, 0}, 100, 100, 105, 103);
  EXPECT_EQ(at.x, 8);
  EXPECT_EQ(at.y, 9);
}

TEST(TimeStampFill, FourteenDigitsThenTheSevenFields) {
  TimeStamp stamp;
  memset(&stamp, 0xAB, sizeof(stamp));
  // 03:10:04 on Saturday, 21 January 2012.
  EXPECT_TRUE(TimeStampFill(&stamp, 2012, 1, 21, 3, 10, 4, 6));
  EXPECT_EQ(std::u16string(stamp.text, 14), u"20120121031004");
  const uint16_t fields[7] = {stamp.year, stamp.month, stamp.day, stamp.hour,
                              stamp.minute, stamp.second, stamp.weekday};
  const uint16_t expected[7] = {2012, 1, 21, 3, 10, 4, 6};
  for (int i = 0; i < 7; ++i) EXPECT_EQ(fields[i], expected[i]) << i;
  for (char16_t c : stamp.text) EXPECT_NE(c, u'\0');
}

TEST(TimeStampFill, AYearPastItsFourDigitsGivesZerosNotAShiftedText) {
  TimeStamp stamp;
  EXPECT_FALSE(TimeStampFill(&stamp, 10000, 12, 31, 23, 59, 59, 0));
  EXPECT_EQ(std::u16string(stamp.text, 14), u"00000000000000");
  EXPECT_EQ(stamp.year, 10000);
  EXPECT_EQ(stamp.month, 12);
  EXPECT_TRUE(TimeStampFill(&stamp, 9999, 12, 31, 23, 59, 59, 5));
  EXPECT_EQ(std::u16string(stamp.text, 14), u"99991231235959");
}

}  // namespace
