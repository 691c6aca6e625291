// The editor as a developer uses it: the real Vantorel.exe started in a
// base folder of its own under Xvfb, its main window typed into and
// clicked, its menus, file dialogs, folder browser and message boxes
// answered, and the files it writes read back; started with a project
// file, handed one by a second start, and asked by the system whether the
// session may end. Screens of its windows are saved for looking at.
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <string.h>

#include <functional>
#include <string>
#include <thread>

#include "editor/project/project_record.h"
#include "editor/resource.h"
#include "tests/editor/editor_e2e.h"
#include "tests/support/ui_driver.h"

namespace {

const wchar_t kConfirmCaption[] = L"編集プロジェクトの保存確認";
const wchar_t kSaveTitle[] = L"プロジェクトファイルの保存";
const wchar_t kModuleTitle[] = L"QOROCXファイルの選択";
const wchar_t kWarning[] = L"警告メッセージ";
const wchar_t kConfirm[] = L"確認メッセージ";

// Waits until a condition holds.
bool Eventually(const std::function<bool()>& condition) {
  for (DWORD start = GetTickCount(); GetTickCount() - start < 10000; Sleep(50))
    if (condition()) return true;
  return condition();
}

// A field of a project file: its text up to the first NUL.
std::string Field(const std::string& file, size_t offset, size_t size) {
  std::string field = file.substr(offset, size);
  return field.substr(0, field.find('\0'));
}

// Writes a project file of a project named name whose project folder
// (InstallList\GUID) exists in the base folder, as another run of the
// editor would have left it. Returns its path.
std::wstring ProjectFileWrite(const EditorBase& base, const std::wstring& path,
                              const char* name, const char* guid) {
  ProjectRecord r;
  project_record_clear(&r);
  strcpy(r.project_name, name);
  strcpy(r.project_guid, guid);
  CreateDirectoryW(base.Path(L"InstallList").c_str(), nullptr);
  CreateDirectoryW(base.Path(L"InstallList\\" + std::wstring(guid, guid + strlen(guid))).c_str(),
                   nullptr);
  EXPECT_TRUE(FileWrite(path, std::string(reinterpret_cast<const char*>(&r), sizeof r)));
  return path;
}

// The association of ".sip" files with the editor of a base folder, as the
// README shows it (here for the machine: Wine reads file classes from
// there only), while the object lives.
class SipAssociation {
 public:
  explicit SipAssociation(const EditorBase& base) {
    const std::wstring command = L"\"" + base.Path(L"Vantorel.exe") + L"\" \"%1\"";
    Set(L".sip", L"Vantorel.Project");
    Set(L"Vantorel.Project\\shell\\open\\command", command);
  }
  ~SipAssociation() {
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software\\Classes\\.sip");
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software\\Classes\\Vantorel.Project");
  }

 private:
  static void Set(const std::wstring& key, const std::wstring& value) {
    EXPECT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, (L"Software\\Classes\\" + key).c_str(),
                              nullptr, REG_SZ, value.c_str(),
                              static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
  }
};

// Opens a file as a double click in the shell does; the exit code of the
// program started, -1 when none started, -2 when it did not end in time.
long ShellOpen(const std::wstring& file) {
  SHELLEXECUTEINFOW info = {};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
  info.lpVerb = L"open";
  info.lpFile = file.c_str();
  info.nShow = SW_SHOWNORMAL;
  if (!ShellExecuteExW(&info) || !info.hProcess) return -1;
  DWORD code = 0;
  bool ended = UiProcessWait(info.hProcess, kEditorWait, &code);
  CloseHandle(info.hProcess);
  return ended ? static_cast<long>(code) : -2;
}

// Answers the message box that appears next with a button, and tells what
// it said.
Box Answered(Editor& e, int button = IDOK) {
  Box box = e.BoxWait();
  EXPECT_TRUE(e.Answer(box, button));
  return box;
}

TEST(EditorWindow, StartsOnceAndCleansUpItsWorkFolder) {
  EditorBase base;
  Editor first(base);
  ASSERT_TRUE(first.Main());
  EXPECT_TRUE(Exists(base.Path(L"InstallList")));
  const std::wstring work = FirstMatch(base.folder(), L"QOR*");
  ASSERT_FALSE(work.empty()) << "a work folder for the run";
  EXPECT_TRUE(GetFileAttributesW(base.Path(work).c_str()) & FILE_ATTRIBUTE_DIRECTORY);

  Editor second(base);
  EXPECT_EQ(second.Wait(), 999);
  // Other tests' windows may take the foreground a moment later.
  EXPECT_TRUE(Eventually([&] { return GetForegroundWindow() == first.Main(); }))
      << "the running editor comes forward";

  first.Command(IDM_EXIT);
  EXPECT_EQ(first.Wait(), 0);
  EXPECT_FALSE(Exists(base.Path(work)));
  EXPECT_EQ(FirstMatch(base.folder(), L"QOR*"), L"") << "nothing of the run is left";
}

TEST(EditorWindow, TypedTextIsStoredAndShownNormalised) {
  EditorBase base;
  Editor e(base);
  ASSERT_TRUE(e.Main());
  e.Type(IDC_PROJECT_NAME, L"  \\Sample\\\\Grid\\\\\\x  ");
  EXPECT_TRUE(e.TextIs(IDC_PROJECT_NAME, L"Sample\\Grid\\x"));
  e.Type(IDC_PROJECT_NAME, L"グリッドソ");
  EXPECT_TRUE(e.TextIs(IDC_PROJECT_NAME, L"グリッドソ")) << "a name ending in 0x5C keeps it";
  e.Type(IDC_PROJECT_NAME, L"ソ\\");
  EXPECT_TRUE(e.TextIs(IDC_PROJECT_NAME, L"ソ"));
  // 78 double-byte characters do not fit 128 bytes: what is kept is shown.
  e.Type(IDC_SETUP_NAME, std::wstring(78, L'ソ'));
  EXPECT_TRUE(e.TextIs(IDC_SETUP_NAME, std::wstring(63, L'ソ')));
}

TEST(EditorWindow, OptionGroupsEnableWhatTheirChoicesAllow) {
  EditorBase base;
  Editor e(base);
  ASSERT_TRUE(e.Main());
  // Update at restart under the normal type: no reboot options.
  e.Press(IDC_COPY_ERROR_RESTART);
  ASSERT_TRUE(Eventually([&] { return e.Checked(IDC_COPY_ERROR_RESTART); }));
  EXPECT_FALSE(e.Enabled(IDC_INSTALL_REBOOT_MESSAGE));
  EXPECT_FALSE(e.Enabled(IDC_INSTALL_REBOOT_RUN));
  // The silent type enables them, and the time-out list with its box off.
  e.Press(IDC_INSTALL_SILENT);
  // The window enables and disables its controls one after another: each
  // change is waited for.
  EXPECT_TRUE(Eventually([&] { return e.Enabled(IDC_INSTALL_REBOOT_RUN); }));
  EXPECT_TRUE(Eventually([&] { return e.Enabled(IDC_INSTALL_REBOOT_MESSAGE); }));
  EXPECT_TRUE(Eventually([&] { return e.Enabled(IDC_INSTALL_TIMEOUT); }));
  EXPECT_FALSE(e.Checked(IDC_INSTALL_WARNING));
  e.Press(IDC_INSTALL_WARNING);
  e.Press(IDC_INSTALL_WARNING);
  EXPECT_TRUE(Eventually([&] { return !e.Enabled(IDC_INSTALL_TIMEOUT); }))
      << "from its next click on, the list follows the box";

  e.Press(IDC_UNINSTALL_SILENT);
  e.Press(IDC_DELETE_ERROR_RESTART);
  EXPECT_TRUE(Eventually([&] { return e.Enabled(IDC_UNINSTALL_REBOOT_RUN); }));
  e.Press(IDC_NO_UNINSTALL);
  EXPECT_TRUE(Eventually([&] { return !e.Enabled(IDC_UNINSTALL_NORMAL); }));
  for (int id : {IDC_UNINSTALL_SILENT, IDC_UNINSTALL_WARNING, IDC_UNINSTALL_TIMEOUT,
                 IDC_DELETE_ERROR_END, IDC_DELETE_ERROR_RESTART, IDC_UNINSTALL_REBOOT_RUN})
    EXPECT_TRUE(Eventually([&] { return !e.Enabled(id); })) << id;

  // A new project (the changes discarded) has the uninstaller back.
  e.Command(IDM_NEW);
  HWND confirm = e.DialogWait(kConfirmCaption);
  ASSERT_TRUE(confirm);
  UiClick(confirm, 3);  // 破棄する
  EXPECT_TRUE(Eventually([&] { return e.Enabled(IDC_UNINSTALL_NORMAL); }));
  for (int id : {IDC_UNINSTALL_SILENT, IDC_DELETE_ERROR_END, IDC_DELETE_ERROR_RESTART})
    EXPECT_TRUE(Eventually([&] { return e.Enabled(id); })) << id;
  EXPECT_TRUE(Eventually([&] { return !e.Checked(IDC_NO_UNINSTALL); }));
  EXPECT_TRUE(Eventually([&] { return e.Checked(IDC_INSTALL_NORMAL); }));
  EXPECT_TRUE(Eventually([&] { return !e.Enabled(IDC_INSTALL_REBOOT_RUN); }));
}

TEST(EditorWindow, SaveAsWritesTheProjectAndARecentEntryReopensIt) {
  EditorBase base;
  const std::wstring projects = base.Path(L"projects");
  ASSERT_TRUE(CreateDirectoryW(projects.c_str(), nullptr));
  const std::wstring file = projects + L"\\sample.sip";
  // The installer folder of the last project: shown for a new project, and
  // held by its record.
  base.LastFolder(L"EXE_PathS", WindowsFolder());
  std::wstring guid;
  {
    Editor e(base);
    ASSERT_TRUE(e.Main());
    EXPECT_TRUE(e.TextIs(IDC_INSTALLER_FOLDER, WindowsFolder()));
    EXPECT_TRUE(ScreenSave(L"editor_new_project", {e.Main()}));
    guid = e.Text(IDC_PROJECT_GUID);
    e.Type(IDC_PROJECT_NAME, L"サンプル");
    e.Type(IDC_PRODUCT_NAME, L"Sample Grid");
    e.Type(IDC_PRODUCT_NAME, L"");  // emptying a field empties it
    e.Type(IDC_VERSION_MAJOR, L"2");
    e.Type(IDC_VERSION_MINOR, L"3");
    e.Type(IDC_VERSION_BUILD, L"45");
    e.Type(IDC_SETUP_NAME, L"Setup");
    e.Press(IDC_INSTALL_SILENT);
    e.Press(IDC_INSTALL_WARNING);
    ASSERT_TRUE(Eventually([&] { return e.Enabled(IDC_INSTALL_TIMEOUT); }));
    UiListSelect(e.Main(), IDC_INSTALL_TIMEOUT, 13);
    e.Press(IDC_UNINSTALL_SILENT);
    ASSERT_TRUE(Eventually([&] { return e.Enabled(IDC_UNINSTALL_TIMEOUT); }));
    UiListSelect(e.Main(), IDC_UNINSTALL_TIMEOUT, 5);
    e.Command(IDM_SAVE_AS);
    ASSERT_TRUE(e.ChooseFile(kSaveTitle, file));
    EXPECT_TRUE(e.TextIs(IDC_UPDATE_COUNT, L"       1"));
    EXPECT_TRUE(e.TextIs(IDC_PROJECT_FOLDER, projects));
    e.Command(IDM_EXIT);
    EXPECT_EQ(e.Wait(), 0) << "a saved project closes without a question";
  }
  const std::string saved = FileRead(file);
  ASSERT_EQ(saved.size(), 2696u);
  EXPECT_EQ(Field(saved, 0, 128), Cp932(L"サンプル"));
  EXPECT_EQ(Field(saved, 128, 272), Cp932(projects));
  EXPECT_EQ(Field(saved, 400, 48), Cp932(guid));
  EXPECT_EQ(Field(saved, 720, 128), "");
  EXPECT_EQ(Field(saved, 848, 8) + "." + Field(saved, 856, 8) + "." + Field(saved, 864, 8),
            "2.3.45");
  EXPECT_EQ(Field(saved, 888, 128), "Setup");
  EXPECT_EQ(Field(saved, 1016, 272), Cp932(WindowsFolder())) << "the folder the form showed";
  EXPECT_EQ(saved.substr(1289, 3), std::string("\x01\x01\x0D", 3)) << "silent, warnings, 13";
  EXPECT_EQ(saved.substr(1296, 3), std::string("\x01\x00\x05", 3)) << "silent, no warning, 5";
  EXPECT_EQ(FileRead(base.Path(L"Project_List.mst")).size(), 626u);
  EXPECT_EQ(FileRead(base.Path(L"Project_List.now")).size(), 8670u);

  Editor e(base);
  ASSERT_TRUE(e.Main());
  e.Command(IDM_RECENT_FIRST);
  EXPECT_TRUE(e.TextIs(IDC_PROJECT_NAME, L"サンプル"));
  EXPECT_TRUE(e.TextIs(IDC_PROJECT_GUID, guid));
  EXPECT_TRUE(e.TextIs(IDC_PROJECT_FOLDER, projects));
  EXPECT_TRUE(e.TextIs(IDC_VERSION_BUILD, L"45"));
  EXPECT_TRUE(e.TextIs(IDC_SETUP_NAME, L"Setup"));
  EXPECT_EQ(UiListSelection(e.Main(), IDC_INSTALL_TIMEOUT), 13);
  EXPECT_EQ(UiListSelection(e.Main(), IDC_UNINSTALL_TIMEOUT), 5);
  EXPECT_TRUE(e.Checked(IDC_INSTALL_SILENT));
  EXPECT_TRUE(e.Checked(IDC_INSTALL_WARNING));
  EXPECT_TRUE(e.Checked(IDC_UNINSTALL_SILENT));
  EXPECT_TRUE(e.Enabled(IDC_UNINSTALL_TIMEOUT));
  EXPECT_TRUE(e.TextIs(IDC_BUILD_COUNT, L"0"));
  EXPECT_TRUE(e.TextIs(IDC_UPDATED_AT, L"----/--/-- 00:00")) << "never saved again";
  EXPECT_TRUE(e.TextIs(IDC_UPDATE_COUNT, L"       0"));
  EXPECT_EQ(e.Text(IDC_CREATED_AT).size(), 16u);
  EXPECT_TRUE(ScreenSave(L"editor_opened_silent_project", {e.Main()}));

  e.Command(IDM_SAVE);
  Box box = Answered(e);
  EXPECT_EQ(box.caption, kWarning);
  EXPECT_EQ(box.text, L"変更箇所が無いので保存処理は行いません。");

  // The linked installer: the button stays pressed, the project is
  // changed, and a second press takes it back.
  e.Press(IDC_LINKED_INSTALLER);
  EXPECT_TRUE(Eventually([&] { return e.Checked(IDC_LINKED_INSTALLER); }));
  EXPECT_TRUE(e.CaptionIs(L"Vantorel Install Editor - サンプル *"));
  EXPECT_TRUE(ScreenSave(L"editor_linked_installer", {e.Main()}));
  e.Press(IDC_LINKED_INSTALLER);
  EXPECT_TRUE(Eventually([&] { return !e.Checked(IDC_LINKED_INSTALLER); }));
  EXPECT_TRUE(e.CaptionIs(L"Vantorel Install Editor - サンプル"));

  e.Command(IDM_ABOUT);
  HWND about = e.DialogWait(L"バージョン情報");
  ASSERT_TRUE(about);
  EXPECT_TRUE(ScreenSave(L"editor_about", {e.Main(), about}));
  UiClick(about, IDOK);
  EXPECT_TRUE(UiWindowGoneWait(about, kEditorWait));
  e.Command(IDM_EXIT);
  EXPECT_EQ(e.Wait(), 0);
}

TEST(EditorWindow, ClosingAChangedProjectAsks) {
  EditorBase base;
  const std::wstring file = base.Path(L"closing.sip");
  {
    Editor e(base);
    ASSERT_TRUE(e.Main());
    e.Type(IDC_PROJECT_NAME, L"Closing");
    e.Command(IDCANCEL);
    HWND confirm = e.DialogWait(kConfirmCaption);
    ASSERT_TRUE(confirm);
    EXPECT_TRUE(ScreenSave(L"editor_save_confirm", {e.Main(), confirm}));
    UiClick(confirm, IDCANCEL);  // 中止する
    EXPECT_TRUE(UiWindowGoneWait(confirm, kEditorWait));
    EXPECT_EQ(e.Wait(1000), -2) << "the editor stays open";
    e.Command(IDCANCEL);
    confirm = e.DialogWait(kConfirmCaption);
    ASSERT_TRUE(confirm);
    UiClick(confirm, 3);  // 破棄する
    EXPECT_EQ(e.Wait(), 0);
    EXPECT_FALSE(Exists(base.Path(L"Project_List.mst"))) << "nothing written";
  }
  Editor e(base);
  ASSERT_TRUE(e.Main());
  // Typed into a field that still has the focus: the close sees it too.
  DWORD_PTR taken = 0;
  SendMessageTimeoutW(GetDlgItem(e.Main(), IDC_PROJECT_NAME), WM_SETTEXT, 0,
                      reinterpret_cast<LPARAM>(L"Saved on close"), SMTO_ABORTIFHUNG, 2000, &taken);
  e.Command(IDCANCEL);
  HWND confirm = e.DialogWait(kConfirmCaption);
  ASSERT_TRUE(confirm);
  UiClick(confirm, IDOK);  // 保存する
  ASSERT_TRUE(e.ChooseFile(kSaveTitle, file));
  EXPECT_EQ(e.Wait(), 0);
  EXPECT_EQ(Field(FileRead(file), 0, 128), "Saved on close");
}

// The editor as a desktop program: started with a project file (a path of
// its current folder), then handed another by a second start, which the
// shell makes of a double click on the file, with the unsaved change asked
// about first; its caption names the project and marks the change; a
// log-off asks as the close does, and the session's end leaves no work
// folder.
TEST(EditorWindow, OpensWhatItIsGivenAndAsksBeforeTheSessionEnds) {
  EditorBase base;
  const std::wstring other = base.Path(L"other projects");
  ASSERT_TRUE(CreateDirectoryW(other.c_str(), nullptr));
  ProjectFileWrite(base, base.Path(L"alpha.sip"), "Alpha", "{0A1B2C3D-4E5F-4061-8293-A4B5C6D7E8F9}");
  const std::wstring beta = ProjectFileWrite(base, other + L"\\beta.sip", "Beta",
                                             "{1A2B3C4D-5E6F-4071-8293-B4C5D6E7F809}");
  Editor e(base, L"alpha.sip");
  ASSERT_TRUE(e.Main());
  EXPECT_TRUE(e.TextIs(IDC_PROJECT_NAME, L"Alpha"));
  EXPECT_TRUE(e.CaptionIs(L"Vantorel Install Editor - Alpha"));
  e.Type(IDC_PRODUCT_NAME, L"Grid");
  EXPECT_TRUE(e.CaptionIs(L"Vantorel Install Editor - Alpha *"));

  {
    SipAssociation association(base);
    EXPECT_EQ(ShellOpen(beta), 999);
  }
  HWND confirm = e.DialogWait(kConfirmCaption);  // Alpha's change first
  ASSERT_TRUE(confirm);
  UiClick(confirm, 3);  // 破棄する
  EXPECT_TRUE(e.TextIs(IDC_PROJECT_NAME, L"Beta"));
  EXPECT_TRUE(e.CaptionIs(L"Vantorel Install Editor - Beta"));
  EXPECT_TRUE(Eventually([&] { return GetForegroundWindow() == e.Main(); }))
      << "the running editor comes forward";

  // The system asks whether the session may end, and waits for the answer.
  e.Type(IDC_VERSION_MAJOR, L"7");
  DWORD_PTR may_end = 0;
  std::thread ask([&] {
    SendMessageTimeoutW(e.Main(), WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_NORMAL,
                        kEditorWait, &may_end);
  });
  confirm = e.DialogWait(kConfirmCaption);
  if (confirm) UiClick(confirm, IDOK);  // 保存する: Beta is not in the list yet
  const std::wstring saved = other + L"\\beta saved.sip";
  bool chosen = e.ChooseFile(kSaveTitle, saved);
  ask.join();
  ASSERT_TRUE(confirm);
  ASSERT_TRUE(chosen);
  EXPECT_EQ(may_end, static_cast<DWORD_PTR>(TRUE));
  EXPECT_EQ(Field(FileRead(saved), 848, 8), "7");
  EXPECT_TRUE(e.CaptionIs(L"Vantorel Install Editor - Beta"));

  const std::wstring work = FirstMatch(base.folder(), L"QOR*");
  ASSERT_FALSE(work.empty());
  SendMessageTimeoutW(e.Main(), WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_NORMAL, kEditorWait,
                      nullptr);
  EXPECT_EQ(e.Wait(), 0);
  EXPECT_FALSE(Exists(base.Path(work))) << "the session's end takes the work folder";
}

TEST(EditorWindow, BuildChecksTheProjectInOrder) {
  EditorBase base;
  const std::wstring modules = base.Path(L"modules");
  ASSERT_TRUE(CreateDirectoryW(modules.c_str(), nullptr));
  const std::wstring module = modules + L"\\grid.ocx";
  ASSERT_TRUE(CopyFileW(TestModule().c_str(), module.c_str(), FALSE));
  Editor e(base);
  ASSERT_TRUE(e.Main());
  EXPECT_TRUE(e.TextIs(IDC_INSTALLER_FOLDER, L"")) << "no installer folder remembered";

  // A program without the unregistration entry is no module.
  e.Press(IDC_MODULE_PICK);
  ASSERT_TRUE(e.ChooseFile(kModuleTitle, base.Path(L"Installer.exe")));
  Box box = Answered(e);
  EXPECT_EQ(box.text, L"有効なOCX実行モジュールではありません。");
  EXPECT_EQ(e.Text(IDC_MODULE_PATH), L"");
  e.Press(IDC_MODULE_PICK);
  ASSERT_TRUE(e.ChooseFile(kModuleTitle, module));
  EXPECT_TRUE(e.TextIs(IDC_MODULE_PATH, module));

  e.Type(IDC_PROJECT_NAME, L"Checks");
  e.Type(IDC_PRODUCT_NAME, L"Checked Grid");
  e.Type(IDC_VERSION_MAJOR, L"1");
  e.Type(IDC_SETUP_NAME, L"CheckedSetup");
  UiSendKey(e.Main(), VK_F7);  // the build's key
  Answered(e, IDYES);  // a new project is a changed one: from the saved copy
  EXPECT_EQ(Answered(e).text, L"現行プロジェクトは未保存です。\r\n少なくとも一度は、保存を行って下さい。");
  e.Command(IDM_SAVE_AS);
  ASSERT_TRUE(e.ChooseFile(kSaveTitle, base.Path(L"checks.sip")));
  ASSERT_TRUE(e.TextIs(IDC_UPDATE_COUNT, L"       1"));
  e.Press(IDC_BUILD);
  EXPECT_EQ(Answered(e).text, L"インストーラ保存パスが未設定です。");
  e.Press(IDC_INSTALLER_FOLDER_PICK);
  ASSERT_TRUE(e.AcceptFolder(WindowsFolder(), true));
  EXPECT_TRUE(e.TextIs(IDC_INSTALLER_FOLDER, WindowsFolder()));

  // A changed project asks first; "No" builds nothing.
  e.Press(IDC_BUILD);
  Box ask = Answered(e, IDNO);
  EXPECT_EQ(ask.caption, kConfirm);
  EXPECT_EQ(ask.text, L"現行プロジェクトは編集途中で、未保存状態です。\r\n\r\n以前のプロジェクト情報に基づいて作成します。");
  e.Command(IDM_SAVE);
  EXPECT_EQ(Answered(e).text, L"上書き保存しました。");

  // Each case saved, then built: the one check it fails.
  const struct {
    std::function<void()> change, undo;
    const wchar_t* message;
  } cases[] = {
      {[&] { e.Type(IDC_PRODUCT_NAME, L""); }, [&] { e.Type(IDC_PRODUCT_NAME, L"Grid"); },
       L"製品名称が未入力です。"},
      {[&] { e.Type(IDC_VERSION_MAJOR, L""); }, [&] { e.Type(IDC_VERSION_MAJOR, L"1"); },
       L"インストーラバージョンが未入力です。"},
      {[&] { for (int id = IDC_OS_FIRST; id <= IDC_OS_LAST; ++id) e.Press(id); },
       [&] { e.Press(IDC_OS_FIRST + 4); }, L"インストールを実行するOS情報が未設定です。"},
      {[&] { e.Type(IDC_SETUP_NAME, L""); }, [&] { e.Type(IDC_SETUP_NAME, L"Setup"); },
       L"セットアッププログラム名が未入力です。"},
  };
  for (const auto& c : cases) {
    c.change();
    e.Command(IDM_SAVE);
    EXPECT_EQ(Answered(e).text, L"上書き保存しました。");
    e.Press(IDC_BUILD);
    Box failed = Answered(e);
    EXPECT_EQ(failed.caption, kWarning);
    EXPECT_EQ(failed.text, c.message);
    c.undo();
    e.Command(IDM_SAVE);
    EXPECT_EQ(Answered(e).text, L"上書き保存しました。");
  }
  // The module gone from its place.
  ASSERT_TRUE(MoveFileW(module.c_str(), (module + L".away").c_str()));
  e.Press(IDC_BUILD);
  EXPECT_EQ(Answered(e).text, L"インストール対象のモジュールが未選択です。");
}

}  // namespace
