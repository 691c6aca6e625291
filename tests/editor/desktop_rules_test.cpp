// The editor's rules among the desktop's programs: the caption, the
// command line's project file and the path a second start hands over.
#include <gtest/gtest.h>

#include <string.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "common/text.h"
#include "editor/desktop_rules.h"
#include "editor/editor_rules.h"

namespace {

TEST(DesktopRules, CaptionNamesTheProjectAndMarksUnsavedChanges) {
  const std::wstring prefix = L"Vantorel Install Editor - ";
  const struct {
    const wchar_t* name;
    bool changed;
    size_t cap;
    std::wstring caption;
  } rows[] = {
      {L"", false, 64, prefix},  // a new project: the template's caption
      {L"", true, 64, prefix + L" *"},
      {L"Grid", false, 64, prefix + L"Grid"},
      {L"グリッド", true, 64, prefix + L"グリッド *"},
      // Too long: the name gives way, the mark stays.
      {L"ABCDEFGHIJ", true, 32, prefix + L"ABC *"},
      {L"ABCDEFGHIJ", false, 32, prefix + L"ABCDE"},
      {L"ABCDEFGHIJ", true, 28, prefix},
      {L"Grid", true, 27, prefix},
      {L"Grid", false, 20, L""},  // not even the prefix fits
  };
  for (const auto& row : rows) {
    std::vector<wchar_t> out(row.cap, L'#');
    size_t n = editor_caption_format(row.name, row.changed, out.data(), row.cap);
    EXPECT_EQ(std::wstring(out.data()), row.caption) << row.name << " cap " << row.cap;
    EXPECT_EQ(n, row.caption.size());
    if (!row.caption.empty())
      EXPECT_EQ(compare_prefix_nocase(out.data(), EDITOR_CAPTION_PREFIX,
                                      EDITOR_CAPTION_PREFIX_LENGTH),
                0)
          << "the running-editor search still finds it";
  }
}

TEST(DesktopRules, TheCommandLineNamesOneProjectFile) {
  const struct {
    std::initializer_list<const wchar_t*> argv;
    const wchar_t* project;
  } rows[] = {
      {{}, nullptr},
      {{L"C:\\Projects\\Grid.sip"}, L"C:\\Projects\\Grid.sip"},
      {{L"grid.sip"}, L"grid.sip"},  // relative: the caller makes it whole
      {{L""}, nullptr},
      {{L"/x"}, nullptr},
      {{L"a.sip", L"b.sip"}, nullptr},
  };
  for (const auto& row : rows) {
    const wchar_t* got = editor_args_project(static_cast<int>(row.argv.size()),
                                             const_cast<wchar_t* const*>(row.argv.begin()));
    if (row.project)
      EXPECT_STREQ(got, row.project);
    else
      EXPECT_EQ(got, nullptr);
  }
}

// A handed-over message: kind and bytes.
struct Handover {
  uint32_t kind;
  std::string bytes;
};

std::string Utf16Bytes(const std::wstring& text, bool terminated = true) {
  std::string bytes(reinterpret_cast<const char*>(text.c_str()),
                    (text.size() + (terminated ? 1 : 0)) * sizeof(wchar_t));
  return bytes;
}

TEST(DesktopRules, OnlyAWholePathIsTakenFromASecondStart) {
  const std::wstring path = L"C:\\Projects\\グリッド.sip";
  const std::wstring longest(VT_PATH_MAX, L'a');
  const struct {
    Handover message;
    const wchar_t* taken;  // nullptr: refused
  } rows[] = {
      {{EDITOR_HANDOVER_OPEN, Utf16Bytes(path)}, path.c_str()},
      {{EDITOR_HANDOVER_OPEN, Utf16Bytes(longest)}, longest.c_str()},
      {{EDITOR_HANDOVER_OPEN + 1, Utf16Bytes(path)}, nullptr},       // another kind
      {{EDITOR_HANDOVER_OPEN, Utf16Bytes(path, false)}, nullptr},    // no terminator
      {{EDITOR_HANDOVER_OPEN, Utf16Bytes(path) + "x"}, nullptr},     // odd size
      {{EDITOR_HANDOVER_OPEN, Utf16Bytes(L"")}, nullptr},            // empty
      {{EDITOR_HANDOVER_OPEN, ""}, nullptr},
      {{EDITOR_HANDOVER_OPEN, Utf16Bytes(longest + L"a")}, nullptr},  // 260 characters
      {{EDITOR_HANDOVER_OPEN, Utf16Bytes(std::wstring(L"C:\\a") + L'\0' + L"b")}, nullptr},
  };
  for (const auto& row : rows) {
    // One byte off the alignment of a wide character, as a copy may come.
    std::string unaligned = "-" + row.message.bytes;
    wchar_t out[VT_PATH_CAP];
    bool taken = editor_handover_take(row.message.kind, unaligned.data() + 1,
                                      row.message.bytes.size(), out, VT_PATH_CAP);
    EXPECT_EQ(taken, row.taken != nullptr) << row.message.bytes.size() << " bytes";
    EXPECT_STREQ(out, row.taken ? row.taken : L"");
  }
  wchar_t out[VT_PATH_CAP];
  EXPECT_FALSE(editor_handover_take(EDITOR_HANDOVER_OPEN, nullptr, 8, out, VT_PATH_CAP));
  EXPECT_FALSE(editor_handover_take(EDITOR_HANDOVER_OPEN, Utf16Bytes(path).data(),
                                    Utf16Bytes(path).size(), out, 8))
      << "more than the buffer holds";
}

}  // namespace
