// Quoting arguments: what is written for each kind of value, what is
// refused, and that a refusal or an overflow leaves the line as it was;
// and a program's arguments found behind its name.
#include "common/command_line.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// The line after appending value to start in a buffer of cap characters,
// or "<refused>" (after checking that the line was left alone).
std::wstring Quoted(const std::wstring& start, const wchar_t* value, size_t cap = 64) {
  wchar_t line[64] = {};
  start.copy(line, start.size());
  if (CommandLineAppendQuoted(line, cap, value) < 0) {
    EXPECT_EQ(std::wstring(line), start) << "a refusal changed the line";
    return L"<refused>";
  }
  return line;
}

TEST(CommandLineAppendQuoted, WritesEachValueBetweenQuotes) {
  struct Row {
    const wchar_t *start, *value, *written;
  } rows[] = {
      {L"", L"", L"\"\""},  // an empty argument stays an argument
      {L"sign", L"pass word", L"sign \"pass word\""},
      {L"", L"\\\\server\\share\\x", L"\"\\\\server\\share\\x\""},  // inner runs stay
      {L"", L"C:\\Tools\\", L"\"C:\\Tools\\\\\""},                  // the closing run doubles
      {L"", L"a\\\\", L"\"a\\\\\\\\\""},
      {L"", L"証明書 ソフト\\", L"\"証明書 ソフト\\\\\""},
      {L"", L"%PATH% & | < > ^ '", L"\"%PATH% & | < > ^ '\""},
  };
  for (const Row& row : rows) EXPECT_EQ(Quoted(row.start, row.value), row.written) << row.value;
}

TEST(CommandLineAppendQuoted, RefusesQuotesControlCharactersAndOverflow) {
  for (const wchar_t* value : {L"say \"hi\"", L"tab\there", L"line\nbreak", L"\x1f"})
    EXPECT_EQ(Quoted(L"sign", value), L"<refused>") << value;
  // A separator, "ab" between quotes and the terminator; a doubled
  // backslash counts.
  EXPECT_EQ(Quoted(L"x", L"ab", 7), L"x \"ab\"");
  EXPECT_EQ(Quoted(L"x", L"ab", 6), L"<refused>");
  EXPECT_EQ(Quoted(L"", L"a\\", 5), L"<refused>");

  wchar_t line[12] = L"sign /f";
  EXPECT_EQ(CommandLineAppendSwitch(line, 12, L"/du"), 11);
  EXPECT_EQ(CommandLineAppendSwitch(line, 12, L"/a"), -1);
  EXPECT_STREQ(line, L"sign /f /du") << "an overflow leaves the line as it was";
}

TEST(CommandLineArguments, SkipsTheProgramNameAndTheBlanksAfterIt) {
  struct Row {
    const wchar_t *line, *arguments;
  } rows[] = {
      {L"", L""},
      {L"Setup.exe", L""},
      {L"Setup.exe   ", L""},
      {L"Setup.exe -Silent/", L"-Silent/"},
      {L"\"C:\\Program Files\\Setup.exe\" -UnInstall/{G}", L"-UnInstall/{G}"},
      {L"\"C:\\Program Files\\Setup.exe\"-Silent/", L""},  // the name ends at a blank only
      {L"C:\\My\" \"Setup.exe \t -Log/\"a b\"  x ", L"-Log/\"a b\"  x "},
      {L"Setup.exe\t\r\n-Silent/", L"-Silent/"},  // every control counts as a blank
      {L"\"unclosed name -Silent/", L""},
      {L"セットアップ.exe ソ", L"ソ"},
  };
  for (const Row& row : rows) EXPECT_STREQ(CommandLineArguments(row.line), row.arguments) << row.line;
}

}  // namespace
