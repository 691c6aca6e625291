// The base folder and the paths formed below it.
#include "editor/editor_state.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(EditorState, BaseFolderIsTheExecutablesFolder) {
  struct Case {
    const wchar_t* executable;
    const wchar_t* base;
    const wchar_t* root;
  } cases[] = {
      {L"C:\\Tools\\Vantorel\\Vantorel.exe", L"C:\\Tools\\Vantorel", L"C:\\Tools\\Vantorel\\InstallList"},
      {L"C:/Tools/Vantorel.exe", L"C:/Tools", L"C:/Tools\\InstallList"},
      {L"C:\\Tools/x\\Vantorel.exe", L"C:\\Tools/x", L"C:\\Tools/x\\InstallList"},
      {L"Vantorel.exe", L"", L"InstallList"},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(editor_base_folder_set(c.executable));
    EXPECT_EQ(std::wstring(editor_state.base_folder), c.base);
    EXPECT_EQ(std::wstring(editor_state.project_root), c.root);
  }
  wchar_t path[VT_PATH_CAP];
  ASSERT_TRUE(editor_base_path(L"Project_List.mst", path));
  EXPECT_EQ(std::wstring(path), L"Project_List.mst") << "no base folder: the name alone";
}

TEST(EditorState, PathsThatDoNotFitAreRefused) {
  // A base folder of 250 characters leaves no room for "\InstallList".
  std::wstring executable = L"C:\\" + std::wstring(247, L'b') + L"\\V.exe";
  EXPECT_FALSE(editor_base_folder_set(executable.c_str()));
  EXPECT_EQ(std::wstring(editor_state.base_folder), L"");
  EXPECT_EQ(std::wstring(editor_state.project_root), L"");

  std::wstring base = L"C:\\" + std::wstring(200, L'b') + L"\\V.exe";
  ASSERT_TRUE(editor_base_folder_set(base.c_str()));
  wchar_t path[VT_PATH_CAP];
  std::wstring long_guid(70, L'g');
  EXPECT_FALSE(editor_project_folder(long_guid.c_str(), path));
  EXPECT_EQ(path[0], 0);
  EXPECT_TRUE(editor_project_folder(L"{G}", path));
  EXPECT_EQ(std::wstring(path), std::wstring(editor_state.project_root) + L"\\{G}");
}

TEST(EditorState, PathSplitsAtItsLastBackslash) {
  wchar_t folder[VT_PATH_CAP], name[VT_PATH_CAP];
  ASSERT_TRUE(path_split(L"C:\\a\\b.sip", folder, VT_PATH_CAP, name, VT_PATH_CAP));
  EXPECT_EQ(std::wstring(folder), L"C:\\a");
  EXPECT_EQ(std::wstring(name), L"b.sip");
  ASSERT_TRUE(path_split(L"\\b.sip", folder, VT_PATH_CAP, name, VT_PATH_CAP));
  EXPECT_EQ(std::wstring(folder), L"");
  EXPECT_FALSE(path_split(L"b.sip", folder, VT_PATH_CAP, name, VT_PATH_CAP));
  EXPECT_FALSE(path_split(L"C:\\abcdef\\b", folder, 6, name, VT_PATH_CAP));
  EXPECT_FALSE(path_split(L"C:\\a\\abcdef", folder, VT_PATH_CAP, name, 6));
}

}  // namespace
