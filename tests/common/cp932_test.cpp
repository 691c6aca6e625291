// Code page 932 walking: no cut and no separator search may split a
// double-byte character, in particular one whose second byte is 0x5C.
#include "common/cp932.h"

#include <gtest/gtest.h>

#include <string.h>

namespace {

// "ソ" is 0x83 0x5C: its second byte is a backslash.
const char kSo[] = "\x83\x5C";

TEST(Cp932, CharacterSizes) {
  const char text[] = "a\x83\x5C\x81z\xA0";  // a, ソ, lead+non-trail, half-width
  size_t len = strlen(text);
  EXPECT_EQ(Cp932CharSize(text, len, 0), 1u);
  EXPECT_EQ(Cp932CharSize(text, len, 1), 2u);
  EXPECT_EQ(Cp932CharSize(text, len, 3), 2u) << "0x81 0x7A is a pair";
  EXPECT_EQ(Cp932CharSize(text, len, 5), 1u) << "half-width katakana is one byte";
  EXPECT_EQ(Cp932CharSize("\x81", 1, 0), 1u) << "a lead byte at the end stands alone";
  EXPECT_EQ(Cp932CharSize("\x81\x7F", 2, 0), 1u) << "0x7F is no trail byte";
}

TEST(Cp932, FitLengthNeverSplitsAPair) {
  const char text[] = "ab\x83\x5C" "c";
  EXPECT_EQ(Cp932FitLength(text, 5, 5), 5u);
  EXPECT_EQ(Cp932FitLength(text, 5, 4), 4u);
  EXPECT_EQ(Cp932FitLength(text, 5, 3), 2u);
  EXPECT_EQ(Cp932FitLength(text, 5, 0), 0u);
}

TEST(Cp932, FieldCopyPadsAndShortensOnWholeCharacters) {
  char field[6];
  memset(field, 'x', sizeof field);
  EXPECT_TRUE(Cp932FieldCopy(field, sizeof field, "abc"));
  EXPECT_EQ(memcmp(field, "abc\0\0\0", 6), 0);

  EXPECT_TRUE(Cp932FieldCopy(field, sizeof field, "abcde"));
  EXPECT_EQ(memcmp(field, "abcde\0", 6), 0);

  // Five bytes of room: "abcd" and then ソ would need six.
  EXPECT_FALSE(Cp932FieldCopy(field, sizeof field, "abcd\x83\x5C"));
  EXPECT_EQ(memcmp(field, "abcd\0\0", 6), 0);

  EXPECT_FALSE(Cp932FieldCopy(field, sizeof field, "abc\x83\x5C"  "d"));
  EXPECT_EQ(memcmp(field, "abc\x83\x5C\0", 6), 0);
}

TEST(Cp932, LastSeparatorSkipsTrailBytes) {
  std::string path = std::string("C:\\") + kSo + "ft\\" + kSo;
  // C : \ 0x83 0x5C f t \ 0x83 0x5C
  EXPECT_EQ(Cp932LastIndexOf(path.data(), path.size(), '\\'), 7);
  std::string only = std::string("dir") + kSo;
  EXPECT_EQ(Cp932LastIndexOf(only.data(), only.size(), '\\'), -1);
  EXPECT_EQ(Cp932LastIndexOf("a\\b", 3, '\\'), 1);
  EXPECT_EQ(Cp932LastIndexOf("", 0, '\\'), -1);
}

}  // namespace
