// Helpers of the editor's end-to-end tests.
#include "tests/editor/editor_e2e.h"

#include <commctrl.h>

#include <functional>
#include <vector>

#include "tests/support/ui_driver.h"

namespace {

const DWORD kPollMs = 50;

// The folder browser of a process: a dialog holding a tree.
struct BrowserSearch {
  DWORD pid;
  HWND found;
};

BOOL CALLBACK HasTree(HWND window, LPARAM param) {
  wchar_t name[64];
  if (GetClassNameW(window, name, 64) && lstrcmpW(name, WC_TREEVIEWW) == 0) {
    *reinterpret_cast<bool*>(param) = true;
    return FALSE;
  }
  return TRUE;
}

BOOL CALLBACK FindBrowser(HWND window, LPARAM param) {
  BrowserSearch* search = reinterpret_cast<BrowserSearch*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  bool tree = false;
  if (pid == search->pid && IsWindowVisible(window))
    EnumChildWindows(window, HasTree, reinterpret_cast<LPARAM>(&tree));
  if (!tree) return TRUE;
  search->found = window;
  return FALSE;
}

}  // namespace

std::wstring VantorelExe() { return Native(VT_VANTOREL_EXE); }
std::wstring TemplateExe() { return Native(VT_INSTALLER_EXE); }
std::wstring BaseDocumentFile() { return Native(VT_BASE_DOCUMENT); }
std::wstring TestModule() { return Native(VT_TESTCOM_DLL); }

EditorBase::EditorBase() {
  static int counter = 0;
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  // Wine reuses process ids: a name taken by an earlier run is passed over.
  do {
    folder_ = std::wstring(temp) + L"vted_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
              std::to_wstring(GetTickCount()) + L"_" + std::to_wstring(++counter);
  } while (!CreateDirectoryW(folder_.c_str(), nullptr));
  CopyFileW(VantorelExe().c_str(), Path(L"Vantorel.exe").c_str(), FALSE);
  CopyFileW(TemplateExe().c_str(), Path(L"Installer.exe").c_str(), FALSE);
  CopyFileW(BaseDocumentFile().c_str(), Path(L"instbase.ini").c_str(), FALSE);
}

EditorBase::~EditorBase() { TreeRemove(folder_); }

void EditorBase::LastFolder(const wchar_t* file, const std::wstring& folder) const {
  std::string record(280, '\0');
  WideCharToMultiByte(932, 0, folder.c_str(), -1, &record[0], 279, NULL, NULL);
  FileWrite(Path(file), record);
}

Editor::Editor(const EditorBase& base, const std::wstring& arguments) {
  std::wstring command = L"\"" + base.Path(L"Vantorel.exe") + L"\"";
  if (!arguments.empty()) command += L" " + arguments;
  process_ = UiProcessStart(command, &pid_, base.folder());
}

Editor::~Editor() {
  if (!process_) return;
  if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
    TerminateProcess(process_, 9);
    WaitForSingleObject(process_, 10000);
  }
  CloseHandle(process_);
}

HWND Editor::Main() {
  if (!main_ && process_) main_ = UiDialogWaitPrefix(pid_, L"Vantorel Install Editor - ", kEditorWait);
  return main_;
}

long Editor::Wait(DWORD timeout_ms) {
  DWORD code = 0;
  if (!process_ || !UiProcessWait(process_, timeout_ms, &code)) return -2;
  return static_cast<long>(code);
}

std::wstring Editor::Text(int id) { return UiControlText(Main(), id); }

namespace {

// Waits until read() gives text; otherwise says what what shows.
::testing::AssertionResult Shows(const std::function<std::wstring()>& read,
                                 const std::wstring& text, const std::string& what) {
  std::wstring seen;
  for (DWORD start = GetTickCount(); GetTickCount() - start < 10000; Sleep(kPollMs)) {
    seen = read();
    if (seen == text) return ::testing::AssertionSuccess();
  }
  std::string narrow(seen.size() * 3 + 1, '\0');
  WideCharToMultiByte(CP_UTF8, 0, seen.c_str(), -1, &narrow[0], static_cast<int>(narrow.size()),
                      NULL, NULL);
  return ::testing::AssertionFailure() << what << " shows \"" << narrow.c_str() << "\"";
}

}  // namespace

::testing::AssertionResult Editor::TextIs(int id, const std::wstring& text) {
  return Shows([&] { return Text(id); }, text, "control " + std::to_string(id));
}

::testing::AssertionResult Editor::CaptionIs(const std::wstring& caption) {
  return Shows([&] { return UiWindowText(Main()); }, caption, "the caption");
}

void Editor::Type(int id, const std::wstring& text) {
  EXPECT_TRUE(UiSetEditText(Main(), id, text.c_str()))
      << "the text of control " << id << " was not taken";
}
void Editor::Press(int id) { UiPress(Main(), id); }
void Editor::Command(int id) { UiCommand(Main(), id); }
bool Editor::Checked(int id) { return UiChecked(Main(), id); }
bool Editor::Enabled(int id) { return UiEnabled(Main(), id); }

Box Editor::BoxWait() {
  Box box;
  box.window = UiMessageBoxWait(pid_, kEditorWait);
  if (!box.window) return box;
  box.caption = UiWindowText(box.window);
  box.text = UiControlText(box.window, UI_MESSAGE_BOX_TEXT_ID);
  return box;
}

bool Editor::Answer(const Box& box, int id) {
  return box.window && UiClick(box.window, id) && UiWindowGoneWait(box.window, kEditorWait);
}

HWND Editor::DialogWait(const wchar_t* caption) { return UiDialogWait(pid_, caption, kEditorWait); }

bool Editor::ChooseFile(const wchar_t* title, const std::wstring& path) {
  HWND dialog = DialogWait(title);
  return dialog && UiFileDialogChoose(dialog, path.c_str()) &&
         UiWindowGoneWait(dialog, kEditorWait);
}

bool Editor::AcceptFolder(const std::wstring& folder, bool select) {
  BrowserSearch search = {pid_, nullptr};
  for (DWORD start = GetTickCount(); !search.found && GetTickCount() - start < kEditorWait;
       Sleep(kPollMs))
    EnumWindows(FindBrowser, reinterpret_cast<LPARAM>(&search));
  if (!search.found || (select && !UiFolderBrowserSelect(search.found, folder.c_str())))
    return false;
  std::wstring name = folder.substr(folder.find_last_of(L'\\') + 1);
  for (DWORD start = GetTickCount(); GetTickCount() - start < kEditorWait; Sleep(kPollMs))
    if (_wcsicmp(UiTreeSelectionText(search.found).c_str(), name.c_str()) == 0)
      return UiClick(search.found, IDOK) && UiWindowGoneWait(search.found, kEditorWait);
  return false;
}

std::string FileRead(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::string();
  std::string bytes(GetFileSize(file, nullptr), '\0');
  DWORD got = 0;
  if (!bytes.empty()) ReadFile(file, &bytes[0], static_cast<DWORD>(bytes.size()), &got, nullptr);
  CloseHandle(file);
  bytes.resize(got);
  return bytes;
}

bool FileWrite(const std::wstring& path, const std::string& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD put = 0;
  bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr) &&
            put == bytes.size();
  CloseHandle(file);
  return ok;
}

bool Exists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring FirstMatch(const std::wstring& folder, const wchar_t* pattern) {
  WIN32_FIND_DATAW entry;
  HANDLE find = FindFirstFileW((folder + L"\\" + pattern).c_str(), &entry);
  if (find == INVALID_HANDLE_VALUE) return std::wstring();
  FindClose(find);
  return entry.cFileName;
}

bool ScreenSave(const wchar_t* name, std::initializer_list<HWND> windows) {
  std::wstring folder = Native(VT_SCREENS_DIR);
  CreateDirectoryW(folder.c_str(), nullptr);
  return UiScreenshot((folder + L"\\" + name + L".bmp").c_str(), windows);
}
