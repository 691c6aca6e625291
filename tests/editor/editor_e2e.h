// What the editor's end-to-end tests share: a base folder of its own with
// the editor, its template and its base document, and a run of the real
// Vantorel.exe driven as a user drives it (typing, clicking, menus, file
// dialogs, the folder browser, message boxes).
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "tests/support/helpers.h"

// The built programs and files the tests use (set by the build).
std::wstring VantorelExe();
std::wstring TemplateExe();
std::wstring BaseDocumentFile();
std::wstring TestModule();

const DWORD kEditorWait = 60000;

// A fresh base folder under the temporary folder holding Vantorel.exe,
// Installer.exe and instbase.ini; removed with everything in it at the end.
class EditorBase {
 public:
  EditorBase();
  ~EditorBase();
  const std::wstring& folder() const { return folder_; }
  std::wstring Path(const std::wstring& name) const { return folder_ + L"\\" + name; }
  // Writes a last-folder file ("PJT_PathS", "OCX_PathS", "EXE_PathS").
  void LastFolder(const wchar_t* file, const std::wstring& folder) const;

 private:
  std::wstring folder_;
};

// A message box as seen: its caption and text.
struct Box {
  HWND window = nullptr;
  std::wstring caption;
  std::wstring text;
};

// One run of the editor of a base folder. A run still going when the
// object goes is ended.
class Editor {
 public:
  explicit Editor(const EditorBase& base, const std::wstring& arguments = L"");
  ~Editor();
  DWORD pid() const { return pid_; }

  // The main window, waited for.
  HWND Main();
  // The exit code, or -2 when the process did not end in time.
  long Wait(DWORD timeout_ms = kEditorWait);

  // Waits until the main window's caption is caption; false (and the
  // caption seen) when not.
  ::testing::AssertionResult CaptionIs(const std::wstring& caption);

  // Controls of the main window.
  std::wstring Text(int id);
  // Waits until the control shows text; false (and the text seen) when not.
  ::testing::AssertionResult TextIs(int id, const std::wstring& text);
  void Type(int id, const std::wstring& text);
  void Press(int id);
  void Command(int id);
  bool Checked(int id);
  bool Enabled(int id);

  // Windows of the process.
  Box BoxWait();
  bool Answer(const Box& box, int id);
  HWND DialogWait(const wchar_t* caption);
  // Chooses path in the file dialog of that title.
  bool ChooseFile(const wchar_t* title, const std::wstring& path);
  // Accepts the folder browser once it shows folder selected; with
  // select, selects it first as a user walking the tree would.
  bool AcceptFolder(const std::wstring& folder, bool select = false);

 private:
  HANDLE process_ = nullptr;
  DWORD pid_ = 0;
  HWND main_ = nullptr;
};

// Files.
std::string FileRead(const std::wstring& path);
bool FileWrite(const std::wstring& path, const std::string& bytes);
bool Exists(const std::wstring& path);
// Names of the entries of a folder matching a pattern such as L"QOR*".
std::wstring FirstMatch(const std::wstring& folder, const wchar_t* pattern);

// Saves the windows given as name.bmp in the build's screens folder.
bool ScreenSave(const wchar_t* name, std::initializer_list<HWND> windows);
