// The key writer: where a key goes, that nothing else of the document
// changes, code page 932 names, and the base document turned into the built
// document of a project by the editor's writing order.
#include "package/profile_writer.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "package/config_keys.h"
#include "sample_keys.h"

namespace {

struct Result {
  int status;
  std::string text;
};

Result Write(const std::string& doc, const char* section, const char* key, const char* value) {
  size_t cap = profile_write_bound(doc.size(), section, key, value);
  std::string out(cap, '\0');
  size_t n = 0;
  int st = profile_write_key(doc.data(), doc.size(), section, key, value, &out[0], cap, &n);
  out.resize(st == 0 ? n : 0);
  return {st, out};
}

// The value as the writer's own finder sees it, or "<none>".
std::string Find(const std::string& doc, const char* section, const char* key) {
  size_t at = 0, n = 0;
  if (!profile_find_key(doc.data(), doc.size(), section, key, &at, &n)) return "<none>";
  return doc.substr(at, n);
}

const std::string kDoc =
    "[A]                 ;comment ]\r\n"
    "one=1\r\n"
    "two=2\r\n"
    "\r\n"
    "\r\n"
    "[B]\r\n"
    "one=b1\r\n"
    "\r\n";

TEST(ProfileWrite, PlacesTheKeyWhereThePlatformWriterDoes) {
  struct Row {
    const char* name;
    std::string doc;
    const char* section;
    const char* key;
    const char* value;
    std::string expected;
  } rows[] = {
      {"replace keeps the line's place", kDoc, "A", "two", "22",
       "[A]                 ;comment ]\r\none=1\r\ntwo=22\r\n\r\n\r\n[B]\r\none=b1\r\n\r\n"},
      {"replace in the second section only", kDoc, "B", "one", "",
       "[A]                 ;comment ]\r\none=1\r\ntwo=2\r\n\r\n\r\n[B]\r\none=\r\n\r\n"},
      {"new key after the last key line, before the empty lines", kDoc, "A", "three", "3",
       "[A]                 ;comment ]\r\none=1\r\ntwo=2\r\nthree=3\r\n\r\n\r\n[B]\r\none=b1\r\n\r\n"},
      {"names in another case", kDoc, "a", "TWO", "x",
       "[A]                 ;comment ]\r\none=1\r\ntwo=x\r\n\r\n\r\n[B]\r\none=b1\r\n\r\n"},
      {"new section at the end", kDoc, "C", "k", "v", kDoc + "[C]\r\nk=v\r\n"},
      {"empty document", "", "S", "k", "v", "[S]\r\nk=v\r\n"},
      {"document without its last line break", "[S]\r\nk=1", "T", "k", "v",
       "[S]\r\nk=1\r\n[T]\r\nk=v\r\n"},
      {"new key after an unterminated last line", "[S]\r\nk=1", "S", "j", "v",
       "[S]\r\nk=1\r\nj=v"},
      {"a lone CR at the end gets its LF", "[S]\r\nk=1\r", "S", "j", "v", "[S]\r\nk=1\r\nj=v"},
      {"section without keys: right after its header", "[S]  ;c\r\n\r\n[T]\r\n", "S", "k", "v",
       "[S]  ;c\r\nk=v\r\n\r\n[T]\r\n"},
      {"comment lines are no key lines", "[S]\r\nk=1\r\n;note\r\n\r\n", "S", "j", "2",
       "[S]\r\nk=1\r\nj=2\r\n;note\r\n\r\n"},
      {"blanks around names", "[ S ]\r\n  k = 1\r\n", "S", "k", "2", "[ S ]\r\n  k =2\r\n"},
      {"the first of two sections of the name", "[S]\r\nk=1\r\n[S]\r\nk=2\r\n", "S", "k", "9",
       "[S]\r\nk=9\r\n[S]\r\nk=2\r\n"},
      {"a key line without = is passed over", "[S]\r\nk\r\n", "S", "k", "1",
       "[S]\r\nk\r\nk=1\r\n"},
      {"an equal sign as the value", kDoc, "B", "WarningType", "=",
       "[A]                 ;comment ]\r\none=1\r\ntwo=2\r\n\r\n\r\n[B]\r\none=b1\r\nWarningType==\r\n\r\n"},
      {"LF-only lines keep their endings", "[S]\nk=1\n\n", "S", "j", "2", "[S]\nk=1\nj=2\r\n\n"},
  };
  for (const Row& row : rows) {
    Result r = Write(row.doc, row.section, row.key, row.value);
    EXPECT_EQ(r.status, 0) << row.name;
    EXPECT_EQ(r.text, row.expected) << row.name;
    EXPECT_EQ(Find(r.text, row.section, row.key), row.value) << row.name;
  }
}

// Second bytes of double-byte characters: "ヂ" is 0x83 0x61 (a lower-case
// "a" as second byte) and "ア" 0x83 0x41; "ゾ" is 0x83 0x5D ("]").
TEST(ProfileWrite, DoubleByteNamesAreNeitherFoldedNorSplit) {
  const std::string kana = "[\x83\x61]\r\nk=1\r\n";
  Result r = Write(kana, "\x83\x41", "k", "2");
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(r.text, kana + "[\x83\x41]\r\nk=2\r\n") << "ア must not be taken for ヂ";

  const std::string zo = "[\x83\x5D]   ;c\r\nk=1\r\n";
  r = Write(zo, "\x83\x5D", "k", "2");
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(r.text, "[\x83\x5D]   ;c\r\nk=2\r\n") << "the ] inside ゾ is no bracket";

  // A key "ｱ" (one byte 0xB1) followed by a double-byte character.
  const std::string keys = "[S]\r\n\xB1\x83\x41=1\r\n\xB1=2\r\n";
  r = Write(keys, "S", "\xB1", "3");
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(r.text, "[S]\r\n\xB1\x83\x41=1\r\n\xB1=3\r\n");
  EXPECT_EQ(Find(r.text, "S", "\xB1\x83\x41"), "1");

  // Values in code page 932, including second bytes "\" and "]".
  r = Write("[S]\r\nk=1\r\n", "S", "k", "\x83\x5C\x83\x5D\x95\x5C");
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(r.text, "[S]\r\nk=\x83\x5C\x83\x5D\x95\x5C\r\n");
}

TEST(ProfileWrite, RefusesWhatCannotStandInALine) {
  struct Row {
    const char* section;
    const char* key;
    const char* value;
    int status;
  } rows[] = {
      {"", "k", "v", ST_PROFILE_NAME},
      {nullptr, "k", "v", ST_PROFILE_NAME},
      {"S]", "k", "v", ST_PROFILE_NAME},
      {" S", "k", "v", ST_PROFILE_NAME},
      {"S\r\n", "k", "v", ST_PROFILE_NAME},
      {"S\x83", "k", "v", ST_PROFILE_NAME},  // would swallow the "]"
      {"S", "", "v", ST_PROFILE_NAME},
      {"S", "a=b", "v", ST_PROFILE_NAME},
      {"S", "[k", "v", ST_PROFILE_NAME},
      {"S", ";k", "v", ST_PROFILE_NAME},
      {"S", "k ", "v", ST_PROFILE_NAME},
      {"S", "k\n", "v", ST_PROFILE_NAME},
      {"S", "k", nullptr, ST_PROFILE_VALUE},
      {"S", "k", "a\r\nb=c", ST_PROFILE_VALUE},
      {"S", "k", "a\nb", ST_PROFILE_VALUE},
      {"S", "k", "\x83", ST_PROFILE_VALUE},
  };
  for (const Row& row : rows) {
    char out[64] = "untouched";
    size_t n = 99;
    EXPECT_EQ(profile_write_key(kDoc.data(), kDoc.size(), row.section, row.key, row.value, out,
                                sizeof out, &n),
              row.status)
        << (row.section ? row.section : "(null)") << " / " << (row.key ? row.key : "(null)");
    EXPECT_STREQ(out, "untouched");
  }
}

TEST(ProfileWrite, TooSmallABufferIsReportedWithTheNeed) {
  char out[16];
  size_t n = 0;
  EXPECT_EQ(profile_write_key(kDoc.data(), kDoc.size(), "A", "two", "22", out, sizeof out, &n),
            ST_PROFILE_SPACE);
  EXPECT_EQ(n, kDoc.size() + 1);
  EXPECT_EQ(profile_write_key(kDoc.data(), kDoc.size(), "A", "two", "22", nullptr, 0, &n),
            ST_PROFILE_SPACE);
  EXPECT_EQ(n, kDoc.size() + 1);
}

TEST(ProfileFind, MissingSectionsAndKeys) {
  EXPECT_EQ(Find(kDoc, "A", "one"), "1");
  EXPECT_EQ(Find(kDoc, "B", "one"), "b1");
  EXPECT_EQ(Find(kDoc, "B", "two"), "<none>");
  EXPECT_EQ(Find(kDoc, "C", "one"), "<none>");
  EXPECT_EQ(Find("", "A", "one"), "<none>");
  EXPECT_EQ(Find("[A]\r\none=", "A", "one"), "");
}

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  EXPECT_TRUE(in.good()) << path;
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(BaseDocument, TheEditorsKeysGiveTheBuiltDocument) {
  std::string doc = Slurp(VT_SOURCE_DIR "/editor/instbase.ini");
  const std::string expected = Slurp(VT_SOURCE_DIR "/tests/package/data/built_document.ini");
  for (const pkgtest::Key& k : pkgtest::kBuildKeys) {
    Result r = Write(doc, k.section, k.key, k.value);
    ASSERT_EQ(r.status, 0) << k.section << "." << k.key;
    doc = r.text;
  }
  EXPECT_EQ(doc, expected);
}

TEST(BaseDocument, LayoutOfTheShippedFile) {
  const std::string doc = Slurp(VT_SOURCE_DIR "/editor/instbase.ini");
  // Header comments at column 52, in code page 932.
  EXPECT_EQ(doc.find("[Vantorel-Init]" + std::string(37, ' ') + ";\xBC\xBD\xC3\xD1\x8B\xA4\x92\xCA"),
            0u);
  EXPECT_NE(doc.find("\r\n\r\n\r\n[Vantorel-Copy]" + std::string(37, ' ') + ";"), std::string::npos);
  EXPECT_NE(doc.find("\r\n\r\n\r\n[Vantorel-UnInstall]" + std::string(32, ' ') + ";"),
            std::string::npos);
  EXPECT_EQ(doc.substr(doc.size() - 6), "\r\n\r\n\r\n");
  EXPECT_EQ(Find(doc, CFG_INIT, CFG_GUI_TITLE), "Vantorel OCX Installer");
  EXPECT_EQ(Find(doc, CFG_INIT, CFG_GUI_CO_NAME), "Halvenco");
  EXPECT_EQ(Find(doc, CFG_UNINSTALL, CFG_UN_CO_NAME), "Halvenco");
  EXPECT_EQ(Find(doc, CFG_INIT, CFG_UNINSTALL_NOT), "0");
  EXPECT_EQ(Find(doc, CFG_INIT, CFG_OS_VER), "<none>");
  EXPECT_EQ(Find(doc, CFG_INIT, CFG_FILE_LEN), "<none>");
  for (const char* key : {CFG_UN_COMMENTS, CFG_UN_CO_URL, CFG_UN_PGM_URL, CFG_UN_UPD_URL})
    EXPECT_EQ(Find(doc, CFG_UNINSTALL, key), "") << key;
  // Every line ends in CR LF.
  for (size_t i = 0; i < doc.size(); ++i)
    if (doc[i] == '\n') ASSERT_TRUE(i > 0 && doc[i - 1] == '\r') << "LF at " << i;
}

}  // namespace
