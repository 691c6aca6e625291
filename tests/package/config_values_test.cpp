// The value readers of the configuration document, narrow and UTF-16 alike,
// on the values the Installer meets: missing keys (empty text), odd digits,
// separators, the timeout table's borders.
#include "package/config_values.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::wstring Wide(const char* s) { return std::wstring(s, s + strlen(s)); }

TEST(ConfigFlag, OnlyALeadingOneIsOn) {
  struct Row {
    const char* value;
    bool on;
  } rows[] = {
      {"1", true}, {"1 ", true}, {"10", true}, {"0", false},  {"01", false},
      {"", false}, {" 1", false}, {"2", false}, {"true", false},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(config_flag(row.value), row.on) << '"' << row.value << '"';
    EXPECT_EQ(config_flag(Wide(row.value).c_str()), row.on) << '"' << row.value << '"';
  }
  EXPECT_FALSE(config_flag(static_cast<const char*>(nullptr)));
}

TEST(ConfigNumber, DigitsFromTheStartUpToTheLimit) {
  struct Row {
    const char* value;
    int digits;
    int number;
  } rows[] = {
      {"123456", 5, 12345},     // more digits than the key allows
      {"7a", 5, 7},             // reading stops at the first non-digit
      {"", 5, 0},               // missing key
      {"a7", 5, 0},
      {" 7", 5, 0},             // no blank is skipped
      {"-3", 5, 0},
      {"00098304", 8, 98304},
      {"98304", 8, 98304},
      {"98,304", 8, 98},        // a separator ends the number
      {"000983041", 8, 98304},  // the ninth digit is not read
      {"99999999", 8, 99999999},
      {"12345678901", 12, 123456789},  // never more than nine digits
      {"5", 0, 0},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(config_number(row.value, row.digits), row.number) << '"' << row.value << '"';
    EXPECT_EQ(config_number(Wide(row.value).c_str(), row.digits), row.number)
        << '"' << row.value << '"';
  }
}

TEST(ConfigTimeout, FourteenCodesAndEverythingElse) {
  const char* codes = "0123456789:;<=";
  const int seconds[] = {0, 30, 45, 60, 75, 90, 120, 180, 300, 600, 900, 1800, 3600, 7200};
  for (int i = 0; i < 14; ++i) {
    char value[3] = {codes[i], 'x', 0};  // only the first character counts
    EXPECT_EQ(config_timeout(value), seconds[i]) << value;
    EXPECT_EQ(config_timeout(Wide(value).c_str()), seconds[i]) << value;
  }
  for (const char* other : {"", "/", ">", "a", " 0", "\xB1"}) {
    EXPECT_EQ(config_timeout(other), 7200) << '"' << other << '"';
    EXPECT_EQ(config_timeout(Wide(other).c_str()), 7200) << '"' << other << '"';
  }
  // A wide character whose low byte would be a code is not one.
  EXPECT_EQ(config_timeout(L"\x0131"), 7200);
}

TEST(ConfigChecksum, EightCharactersHexOfEitherCase) {
  struct Row {
    const char* value;
    uint32_t checksum;
  } rows[] = {
      {"2DFD2D88", 0x2DFD2D88u},
      {"2dfd2d88", 0x2DFD2D88u},
      {"2DFD2D88FF", 0x2DFD2D88u},  // only eight characters are examined
      {"2DFD-2D88", 0x2DFD2D8u},    // the separator pushes the last digit out
      {"2D FD2D88", 0x2DFD2D8u},
      {"0C41D7A2", 0x0C41D7A2u},
      {"C41D7A2", 0x0C41D7A2u},     // a short text ends early
      {"", 0u},
      {"xyz", 0u},
      {"G0000001", 0x0000001u},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(config_checksum(row.value), row.checksum) << '"' << row.value << '"';
    EXPECT_EQ(config_checksum(Wide(row.value).c_str()), row.checksum) << '"' << row.value << '"';
  }
}

}  // namespace
