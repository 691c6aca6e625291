// Bounded copying and formatting: results that fit, results that do not,
// and the conversions the programs' formats use.
#include "common/text.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace {

std::wstring Format(size_t cap, const wchar_t* format, ...) {
  wchar_t buffer[64];
  va_list args;
  va_start(args, format);
  int n = TextFormatV(buffer, cap, format, args);
  va_end(args);
  return n < 0 ? L"<overflow>" : std::wstring(buffer, n);
}

TEST(TextFormat, ConversionsOfTheFileFormats) {
  EXPECT_EQ(Format(64, L"%8d", 0), L"       0");
  EXPECT_EQ(Format(64, L"%06d", 1), L"000001");
  EXPECT_EQ(Format(64, L"%08d", 98304), L"00098304");
  EXPECT_EQ(Format(64, L"%08X", 0x2DFD2D88u), L"2DFD2D88");
  EXPECT_EQ(Format(64, L"%08x", 0xCA6598D0u), L"ca6598d0");
  EXPECT_EQ(Format(64, L"{%08lX-%04X-%02X}", 0x6F1C2A3Bu, 0xD4Eu, 0xAu), L"{6F1C2A3B-0D4E-0A}");
  EXPECT_EQ(Format(64, L"%d.%d.%d", 1, 0, 12345), L"1.0.12345");
  EXPECT_EQ(Format(64, L"( %d, %d )", -46, 2), L"( -46, 2 )");
  EXPECT_EQ(Format(64, L"%d", INT_MIN), L"-2147483648");
  EXPECT_EQ(Format(64, L"%u", 4294967295u), L"4294967295");
  EXPECT_EQ(Format(64, L"%c%c%c-%c", L'0', L'1', L'1', L'0'), L"011-0");
  EXPECT_EQ(Format(64, L"%s\\%s", L"C:\\a", L"b.exe"), L"C:\\a\\b.exe");
  EXPECT_EQ(Format(64, L"[%-4s][%4s][%.2s]", L"ab", L"ab", L"abc"), L"[ab  ][  ab][ab]");
  EXPECT_EQ(Format(64, L"100%%"), L"100%");
  EXPECT_EQ(Format(64, L"%-5d|", -3), L"-3   |");
  EXPECT_EQ(Format(64, L"%05d", -3), L"-0003");
}

TEST(TextFormat, AResultThatDoesNotFitIsAFailure) {
  // Exactly fitting: 8 characters and the terminator in 9.
  EXPECT_EQ(Format(9, L"%08d", 7), L"00000007");
  EXPECT_EQ(Format(8, L"%08d", 7), L"<overflow>");
  EXPECT_EQ(Format(1, L""), L"");
  EXPECT_EQ(Format(1, L"x"), L"<overflow>");

  wchar_t buffer[4] = {L'a', L'b', L'c', 0};
  EXPECT_EQ(TextFormat(buffer, 4, L"%s", L"long"), -1);
  EXPECT_EQ(buffer[0], 0) << "a failed format leaves the empty string";
  EXPECT_EQ(TextFormat(buffer, 0, L"x"), -1);
}

TEST(TextFormat, UnknownConversionIsRefused) {
  EXPECT_EQ(Format(64, L"%q", 1), L"<overflow>");
  EXPECT_EQ(Format(64, L"abc%"), L"<overflow>");
}

TEST(TextFormat, NarrowTextFormatsTheSame) {
  char buffer[32];
  ASSERT_EQ(TextFormat(buffer, sizeof buffer, "%s=%08d", "InstFileLen", 98304), 20);
  EXPECT_STREQ(buffer, "InstFileLen=00098304");
}

TEST(TextCopy, CopiesWhatFitsAndRefusesTheRest) {
  wchar_t buffer[5];
  EXPECT_EQ(TextCopy(buffer, 5, L"abcd"), 4);
  EXPECT_STREQ(buffer, L"abcd");
  EXPECT_EQ(TextCopy(buffer, 5, L"abcde"), -1);
  EXPECT_STREQ(buffer, L"");
  EXPECT_EQ(TextCopy(buffer, 0, L""), -1);
}

TEST(TextAppend, JoinsAndRefusesOverflow) {
  wchar_t path[10] = L"C:\\a";
  EXPECT_EQ(TextAppend(path, 10, L"\\b.ex"), 9);
  EXPECT_STREQ(path, L"C:\\a\\b.ex");
  EXPECT_EQ(TextAppend(path, 10, L"e"), -1);
  EXPECT_STREQ(path, L"") << "a path that does not fit is never used shortened";

  wchar_t unterminated[3] = {L'a', L'b', L'c'};
  EXPECT_EQ(TextAppend(unterminated, 3, L""), -1);
}

}  // namespace
