// A base folder of its own for each Windows test of the editor's data
// layer: a fresh folder under the temporary folder with its "InstallList",
// removed again afterwards (files are read and written with the helpers
// of tests/common/scratch.h).
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <stdio.h>

#include <filesystem>
#include <string>

#include "editor/editor_state.h"
#include "editor/project/project_record.h"
#include "tests/common/scratch.h"
#include "tests/support/helpers.h"

namespace editor_test {

// Compares two byte strings and reports their lengths and the first offset
// where they differ, rather than both strings whole.
inline ::testing::AssertionResult SameBytes(const char* actual_expr, const char* expected_expr,
                                            const std::string& actual,
                                            const std::string& expected) {
  if (actual == expected) return ::testing::AssertionSuccess();
  size_t i = 0;
  while (i < actual.size() && i < expected.size() && actual[i] == expected[i]) ++i;
  auto show = [](const std::string& s, size_t at) {
    std::string out;
    for (size_t k = at; k < s.size() && k < at + 24; ++k) {
      char hex[5];
      snprintf(hex, sizeof hex, "%02X ", static_cast<unsigned char>(s[k]));
      out += hex;
    }
    return out;
  };
  return ::testing::AssertionFailure()
         << actual_expr << " (" << actual.size() << " bytes) differs from " << expected_expr
         << " (" << expected.size() << " bytes) at offset " << i << ": " << show(actual, i)
         << "| " << show(expected, i);
}
#define EXPECT_BYTES(actual, expected) EXPECT_PRED_FORMAT2(editor_test::SameBytes, actual, expected)

// A field of a fixed record as a string of exactly its bytes.
template <size_t N>
std::string Field(const char (&field)[N]) {
  return std::string(field, N);
}

// A text padded with zero bytes to size.
inline std::string Padded(const std::string& text, size_t size) {
  std::string out = text;
  out.resize(size, '\0');
  return out;
}

// Fixture: editor_state points at a fresh base folder.
class EditorFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static int counter = 0;
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    base_ = std::wstring(temp) + L"vt-editor-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(++counter);
    std::filesystem::remove_all(base_);
    ASSERT_TRUE(CreateDirectoryW(base_.c_str(), NULL));
    ASSERT_TRUE(editor_base_folder_set((base_ + L"\\Vantorel.exe").c_str()));
    ASSERT_TRUE(CreateDirectoryW(editor_state.project_root, NULL));
    EditorFolders empty = {};
    editor_state.remembered = empty;
    editor_state.start = empty;
    editor_state.build_count = 0;
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(base_, ignored);
  }

  std::wstring Base(const std::wstring& name) const { return base_ + L"\\" + name; }
  std::wstring Master() const { return Base(L"Project_List.mst"); }
  std::wstring Recent() const { return Base(L"Project_List.now"); }
  std::wstring ProjectFolder(const char* guid) const {
    return std::wstring(editor_state.project_root) + L"\\" +
           std::wstring(guid, guid + strlen(guid));
  }

  std::wstring base_;
};

}  // namespace editor_test
