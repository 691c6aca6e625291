// Building packages as a developer and a CI job do: with the build button
// of the real editor and with "Vantorel.exe /build", signed with a
// stand-in signing tool that signs for real, and the packages installed
// and uninstalled silently under Wine.
#include <windows.h>

#include <gtest/gtest.h>
#include <objbase.h>
#include <shlobj.h>
#include <string.h>

#include <string>
#include <vector>

#include "editor/project_record.h"
#include "editor/resource.h"
#include "editor/signing_settings.h"
#include "tests/editor/editor_e2e.h"
#include "tests/editor/signing_support.h"
#include "tests/support/ui_driver.h"
#include "vantorel_version.h"

namespace {

using signing_test::SignatureVerifies;
using signing_test::SigntoolLogRead;

const DWORD kRunWait = 120000;
// The template's file version, and that of a package stamped silent.
const std::wstring kTemplateVersion = L"" VT_FILE_VERSION_TEXT;
const std::wstring kSilentVersion = kTemplateVersion.substr(0, kTemplateVersion.size() - 1) + L"1";

std::wstring FolderOf(const std::wstring& path) { return path.substr(0, path.find_last_of(L'\\')); }

std::wstring FromCp932(const std::string& bytes) {
  std::wstring out(bytes.size() + 1, L'\0');
  int n = MultiByteToWideChar(932, 0, bytes.data(), static_cast<int>(bytes.size()), &out[0],
                              static_cast<int>(out.size()));
  out.resize(n > 0 ? n : 0);
  return out;
}

template <size_t N>
void Put(char (&field)[N], const std::wstring& text) {
  std::string bytes = Cp932(text);
  memset(field, 0, N);
  memcpy(field, bytes.data(), bytes.size() < N - 1 ? bytes.size() : N - 1);
}

std::wstring NewGuid() {
  GUID guid;
  CoCreateGuid(&guid);
  wchar_t text[64];
  StringFromGUID2(guid, text, 64);
  return text;
}

std::wstring SystemFolder() {
  wchar_t folder[MAX_PATH];
  GetSystemDirectoryW(folder, MAX_PATH);
  return folder;
}

std::wstring ProgramFiles() {
  wchar_t folder[MAX_PATH];
  SHGetFolderPathW(nullptr, CSIDL_PROGRAM_FILES, nullptr, 0, folder);
  return folder;
}

std::wstring WindowsFolder() {
  wchar_t folder[MAX_PATH];
  GetWindowsDirectoryW(folder, MAX_PATH);
  return folder;
}

// Runs a command line in folder and waits; the exit code, or -1 when it
// did not start, -2 when it did not end in time.
long RunProgram(const std::wstring& command, const std::wstring& folder = L"") {
  DWORD pid = 0, code = 0;
  HANDLE process = UiProcessStart(command, &pid, folder);
  if (!process) return -1;
  bool ended = UiProcessWait(process, kRunWait, &code);
  if (!ended) TerminateProcess(process, 9);
  CloseHandle(process);
  return ended ? static_cast<long>(code) : -2;
}

// A headless build: its exit code and what it printed.
struct Headless {
  long code = -1;
  std::wstring output;
};

Headless HeadlessBuild(const EditorBase& base, const std::wstring& arguments,
                       const std::wstring& folder = L"") {
  static int runs = 0;
  Headless result;
  std::wstring log = base.Path(L"headless" + std::to_wstring(++runs) + L".log");
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE out = CreateFileW(log.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                           0, nullptr);
  if (out == INVALID_HANDLE_VALUE) return result;
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = out;
  startup.hStdError = out;
  std::wstring command = L"\"" + base.Path(L"Vantorel.exe") + L"\" /build " + arguments;
  PROCESS_INFORMATION process = {};
  BOOL started = CreateProcessW(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr,
                                folder.empty() ? nullptr : folder.c_str(), &startup, &process);
  CloseHandle(out);
  if (!started) return result;
  DWORD code = 0;
  if (WaitForSingleObject(process.hProcess, kRunWait) == WAIT_OBJECT_0 &&
      GetExitCodeProcess(process.hProcess, &code))
    result.code = static_cast<long>(code);
  else
    TerminateProcess(process.hProcess, 9);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  result.output = FromCp932(FileRead(log));
  return result;
}

bool Contains(const std::wstring& text, const std::wstring& part) {
  return text.find(part) != std::wstring::npos;
}

// The four parts of an executable's file version, "a.b.c.d".
std::wstring FileVersion(const std::wstring& path) {
  DWORD ignored = 0, size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
  std::vector<char> block(size ? size : 1);
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  if (!size || !GetFileVersionInfoW(path.c_str(), 0, size, block.data()) ||
      !VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length))
    return L"";
  return std::to_wstring(HIWORD(fixed->dwFileVersionMS)) + L"." +
         std::to_wstring(LOWORD(fixed->dwFileVersionMS)) + L"." +
         std::to_wstring(HIWORD(fixed->dwFileVersionLS)) + L"." +
         std::to_wstring(LOWORD(fixed->dwFileVersionLS));
}

// Makes Wine report Windows 7 to programs of a file name, as the projects
// here allow it; an empty version removes the setting.
void WineVersion(const std::wstring& exe_name, const wchar_t* version) {
  std::wstring key = L"Software\\Wine\\AppDefaults\\" + exe_name;
  if (!version) {
    RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str());
    return;
  }
  RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), L"Version", REG_SZ, version,
                  static_cast<DWORD>((wcslen(version) + 1) * sizeof(wchar_t)));
}

// One project of the test module, silent to install and to uninstall, in a
// base folder of its own; everything an install leaves is removed again.
class BuildE2E : public ::testing::Test {
 protected:
  void SetUp() override {
    tag_ = std::to_wstring(GetTickCount()) + L"_" + std::to_wstring(GetCurrentProcessId());
    guid_ = NewGuid();
    module_name_ = L"vtbuild_" + tag_ + L".ocx";
    setup_name_ = L"VtSetup_" + tag_;
    ASSERT_TRUE(CreateDirectoryW(base_.Path(L"modules").c_str(), nullptr));
    ASSERT_TRUE(CopyFileW(TestModule().c_str(), Module().c_str(), FALSE));
    ASSERT_TRUE(CreateDirectoryW(Outputs().c_str(), nullptr));
    WineVersion(setup_name_ + L".exe", L"win7");
  }
  void TearDown() override {
    WineVersion(setup_name_ + L".exe", nullptr);
    DeleteFileW((SystemFolder() + L"\\" + module_name_).c_str());
    RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, L"Software\\VantorelTest\\Registered",
                       module_name_.c_str());
    RegDeleteTreeW(HKEY_LOCAL_MACHINE,
                   (L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + guid_).c_str());
    TreeRemove(UninstallFolder());
    DeleteFileW((WindowsFolder() + L"\\" + setup_name_ + L".exe").c_str());
  }

  std::wstring Module() const { return base_.Path(L"modules\\" + module_name_); }
  std::wstring Outputs() const { return base_.Path(L"out"); }
  std::wstring Package() const { return Outputs() + L"\\" + setup_name_ + L".exe"; }
  std::wstring ProjectFolder() const { return base_.Path(L"InstallList\\" + guid_); }
  std::wstring UninstallFolder() const { return ProgramFiles() + L"\\HV-Vanto\\" + guid_; }
  std::wstring Installed() const { return SystemFolder() + L"\\" + module_name_; }

  // The project as a file, without the editor.
  ProjectRecord Project() const {
    ProjectRecord r;
    project_record_clear(&r);
    Put(r.project_name, L"Build " + tag_);
    Put(r.project_folder, base_.folder());
    Put(r.project_guid, guid_);
    Put(r.module_path, Module());
    Put(r.product_name, L"サンプル グリッド");
    Put(r.version_major, L"2");
    Put(r.version_minor, L"3");
    Put(r.version_build, L"45");
    Put(r.setup_program_name, setup_name_);
    Put(r.installer_folder, Outputs());
    r.install_type = 1;
    r.uninstall_type = 1;
    return r;
  }
  std::wstring ProjectWrite(const ProjectRecord& r, const wchar_t* name = L"project.sip") const {
    std::wstring path = base_.Path(name);
    FileWrite(path, std::string(reinterpret_cast<const char*>(&r), sizeof r));
    return path;
  }

  // The project typed into the editor's window, silent to install and
  // uninstall, its package going to the Windows folder, saved as project.
  void WindowProject(Editor& e, const std::wstring& project) {
    guid_ = e.Text(IDC_PROJECT_GUID);  // the editor's project
    e.Type(IDC_PROJECT_NAME, L"Grid");
    e.Type(IDC_PRODUCT_NAME, L"サンプル グリッド");
    e.Type(IDC_VERSION_MAJOR, L"2");
    e.Type(IDC_SETUP_NAME, setup_name_);
    e.Press(IDC_MODULE_PICK);
    ASSERT_TRUE(e.ChooseFile(L"QOROCXファイルの選択", Module()));
    e.Press(IDC_INSTALL_SILENT);
    e.Press(IDC_UNINSTALL_SILENT);
    e.Press(IDC_INSTALLER_FOLDER_PICK);
    ASSERT_TRUE(e.AcceptFolder(WindowsFolder()));
    e.Command(IDM_SAVE_AS);
    ASSERT_TRUE(e.ChooseFile(L"プロジェクトファイルの保存", project));
    ASSERT_TRUE(e.TextIs(IDC_UPDATE_COUNT, L"       1"));
  }

  // Installs a package silently and uninstalls it again, checking what
  // each leaves.
  void InstallAndUninstall(const std::wstring& package) {
    std::wstring copy = Outputs() + L"\\" + setup_name_ + L".exe";
    if (_wcsicmp(copy.c_str(), package.c_str()) != 0) {
      ASSERT_TRUE(CopyFileW(package.c_str(), copy.c_str(), FALSE));
    }
    EXPECT_EQ(RunProgram(L"\"" + copy + L"\""), 0);
    EXPECT_EQ(FileRead(Installed()), FileRead(Module())) << "the module in the system folder";
    std::wstring uninstaller = UninstallFolder() + L"\\hvuninst.exe";
    EXPECT_EQ(RunProgram(L"\"" + uninstaller + L"\" -UnInstall/" + guid_), 0);
    EXPECT_FALSE(Exists(Installed()));
  }

  EditorBase base_;
  std::wstring tag_, guid_, module_name_, setup_name_;
};

// The build count of the master list's first record.
std::string MasterBuildCount(const EditorBase& base) {
  std::string master = FileRead(base.Path(L"Project_List.mst"));
  if (master.size() < 626) return "";
  std::string count = master.substr(584, 6);
  return count.substr(0, count.find('\0'));
}

TEST_F(BuildE2E, WindowAndHeadlessBuildTheSamePackageThatInstalls) {
  base_.LastFolder(L"EXE_PathS", WindowsFolder());
  const std::wstring project = base_.Path(L"grid.sip");
  const std::wstring window_package = WindowsFolder() + L"\\" + setup_name_ + L".exe";
  Editor e(base_);
  ASSERT_TRUE(e.Main());
  ASSERT_NO_FATAL_FAILURE(WindowProject(e, project));

  for (int built = 1; built <= 2; ++built) {
    e.Press(IDC_BUILD);
    Box done = e.BoxWait();
    EXPECT_EQ(done.caption, L"確認メッセージ");
    EXPECT_EQ(done.text, L"インストーラは正常に作成されました。\r\n <" + window_package + L">");
    EXPECT_TRUE(e.Answer(done, IDOK));
    EXPECT_TRUE(e.TextIs(IDC_BUILD_COUNT, std::to_wstring(built)));
  }
  EXPECT_EQ(MasterBuildCount(base_), "2");
  const std::string from_window = FileRead(window_package);
  ASSERT_GT(from_window.size(), FileRead(Module()).size());

  // The same project built headless, beside the editor that has it open.
  Headless h = HeadlessBuild(base_, L"\"" + project + L"\" /out \"" + Outputs() + L"\"");
  EXPECT_EQ(h.code, 0) << signing_test::Utf8(h.output);
  EXPECT_TRUE(Contains(h.output, L"[1/14] テンプレートの確認"));
  EXPECT_TRUE(Contains(h.output, L"インストーラは正常に作成されました。\r\n <" + Package() + L">"));
  EXPECT_EQ(FileRead(Package()), from_window) << "byte for byte the same package";
  EXPECT_EQ(MasterBuildCount(base_), "3") << "the list holds the project: its build counts";
  EXPECT_EQ(FileRead(base_.Path(L"Project_List.now")).size(), 8670u);
  InstallAndUninstall(Package());

  // The editor's next save still works on the lists the build touched.
  e.Type(IDC_VERSION_MINOR, L"9");
  e.Command(IDM_SAVE);
  Box saved = e.BoxWait();
  EXPECT_EQ(saved.text, L"上書き保存しました。");
  e.Answer(saved, IDOK);
  EXPECT_EQ(FileRead(base_.Path(L"Project_List.mst")).size(), 626u);

  // Without its template the build fails with its verification text and
  // counts nothing.
  const std::string count = MasterBuildCount(base_);
  ASSERT_TRUE(MoveFileW(base_.Path(L"Installer.exe").c_str(), base_.Path(L"away.exe").c_str()));
  e.Press(IDC_BUILD);
  Box failed = e.BoxWait();
  EXPECT_EQ(failed.caption, L"異常メッセージ");
  EXPECT_EQ(failed.text, L"インストーラモジュールの検証エラー 1 - ( -46, 2 )");
  e.Answer(failed, IDOK);
  EXPECT_EQ(MasterBuildCount(base_), count);
  EXPECT_TRUE(e.TextIs(IDC_BUILD_COUNT, L"2"));
  e.Command(IDM_EXIT);
  EXPECT_EQ(e.Wait(), 0);
}

TEST_F(BuildE2E, HeadlessBuildOfAProjectFromAnotherMachine) {
  const std::wstring project = ProjectWrite(Project());
  ASSERT_FALSE(Exists(ProjectFolder()));
  Headless h = HeadlessBuild(base_, L"\"" + project + L"\"");
  ASSERT_EQ(h.code, 0) << signing_test::Utf8(h.output);
  EXPECT_EQ(FileRead(ProjectFolder() + L"\\instbase.ini"), FileRead(base_.Path(L"instbase.ini")))
      << "the project folder is made with its base document";
  EXPECT_FALSE(Exists(base_.Path(L"Project_List.mst"))) << "an unlisted project stays unlisted";
  EXPECT_EQ(FileVersion(Package()), kTemplateVersion);
  EXPECT_EQ(FirstMatch(base_.folder(), L"QOR*"), L"") << "its work folder is gone";

  ASSERT_TRUE(FileWrite(ProjectFolder() + L"\\silent.dat", ""));
  h = HeadlessBuild(base_, L"\"" + project + L"\" /name Silent");
  ASSERT_EQ(h.code, 0) << signing_test::Utf8(h.output);
  EXPECT_EQ(FileVersion(Outputs() + L"\\Silent.exe"), kSilentVersion) << signing_test::Utf8(h.output);

  h = HeadlessBuild(base_, L"\"" + project + L"\" /out \"" + base_.Path(L"missing") + L"\"");
  EXPECT_EQ(h.code, 4);
  EXPECT_TRUE(Contains(h.output, L"インストーラモジュールのコピーエラー - ( 3 )"));

  EXPECT_EQ(HeadlessBuild(base_, L"").code, 2);
  EXPECT_EQ(HeadlessBuild(base_, L"\"" + project + L"\" /sign").code, 2);
  ASSERT_TRUE(FileWrite(base_.Path(L"short.sip"), "short"));
  h = HeadlessBuild(base_, L"\"" + base_.Path(L"short.sip") + L"\"");
  EXPECT_EQ(h.code, 2);
  EXPECT_TRUE(Contains(h.output, L"有効なプロジェクトファイルではありません。"));

  ProjectRecord r = Project();
  memset(r.project_folder, 0, sizeof r.project_folder);
  h = HeadlessBuild(base_, L"\"" + ProjectWrite(r, L"nofolder.sip") + L"\"");
  EXPECT_EQ(h.code, 3);
  EXPECT_TRUE(Contains(h.output, L"プロジェクトファイルの保存パスが未設定です。"));
  ASSERT_TRUE(DeleteFileW(Module().c_str()));
  h = HeadlessBuild(base_, L"\"" + project + L"\"");
  EXPECT_EQ(h.code, 3);
  EXPECT_TRUE(Contains(h.output, L"インストール対象のモジュールが未選択です。"));
}

TEST_F(BuildE2E, SignedPackageVerifiesInstallsAndKeepsItsSilentMark) {
  const std::wstring tool = Native(VT_SIGNTOOL_EXE);
  const std::wstring tool_folder = FolderOf(tool);
  DeleteFileW((tool_folder + L"\\" SIGNTOOL_LOG_FILE).c_str());
  DeleteFileW((tool_folder + L"\\" SIGNTOOL_EXIT_FILE).c_str());
  ASSERT_TRUE(CreateDirectoryW(base_.Path(L"InstallList").c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW(ProjectFolder().c_str(), nullptr));
  ASSERT_TRUE(FileWrite(ProjectFolder() + L"\\silent.dat", ""));

  SigningSettings settings = {};
  Put(settings.tool_folder, tool_folder);
  Put(settings.certificate, Native(VT_SIGNING_P12));
  Put(settings.password, L"pass word");
  Put(settings.description_url, L"https://example.invalid/grid");
  settings.timestamp = 1;  // on, with no server: no timestamp option
  const std::wstring settings_path = ProjectFolder() + L"\\codesign.txt";
  auto settings_write = [&] {
    return FileWrite(settings_path,
                     std::string(reinterpret_cast<const char*>(&settings), sizeof settings));
  };
  ASSERT_TRUE(settings_write());
  ProjectRecord r = Project();
  r.code_signing = 1;
  Put(r.signing_settings_path, settings_path);
  const std::wstring project = ProjectWrite(r);

  // A signtool.exe in the current folder is never started instead.
  const std::wstring planted = FolderOf(Native(VT_PLANTED_SIGNTOOL_EXE));
  DeleteFileW((planted + L"\\" SIGNTOOL_PLANTED_FILE).c_str());
  Headless h = HeadlessBuild(base_, L"\"" + project + L"\"", planted);
  ASSERT_EQ(h.code, 0) << signing_test::Utf8(h.output);
  EXPECT_FALSE(Exists(planted + L"\\" SIGNTOOL_PLANTED_FILE));
  EXPECT_TRUE(Contains(h.output, L"/p \"***\"")) << signing_test::Utf8(h.output);
  EXPECT_FALSE(Contains(h.output, L"pass word")) << "the password is never shown";

  std::vector<signing_test::SigntoolRun> runs = SigntoolLogRead(tool_folder);
  ASSERT_EQ(runs.size(), 1u);
  const std::vector<std::wstring>& args = runs[0].args;
  ASSERT_EQ(args.size(), 10u) << signing_test::Utf8(runs[0].command_line);
  EXPECT_EQ(std::vector<std::wstring>(args.begin() + 1, args.end() - 1),
            (std::vector<std::wstring>{L"sign", L"/f", Native(VT_SIGNING_P12), L"/a", L"/du",
                                       L"https://example.invalid/grid", L"/p", L"pass word"}));
  std::string report;
  EXPECT_TRUE(SignatureVerifies(Package(), Native(VT_SIGNING_CERT_PEM), &report)) << report;
  EXPECT_EQ(FileVersion(Package()), kSilentVersion) << "stamped before it was signed";
  const std::string signed_package = FileRead(Package());

  // A tool that fails fails the build, and the package stays as it was.
  ASSERT_TRUE(FileWrite(tool_folder + L"\\" SIGNTOOL_EXIT_FILE, "1"));
  h = HeadlessBuild(base_, L"\"" + project + L"\"");
  DeleteFileW((tool_folder + L"\\" SIGNTOOL_EXIT_FILE).c_str());
  EXPECT_EQ(h.code, 5);
  EXPECT_TRUE(Contains(h.output, L"コードサイニングの実行エラー - ( -214, 1 )"));
  EXPECT_EQ(FileRead(Package()), signed_package);

  // A password no command line can carry is refused before the tool runs.
  Put(settings.password, L"pa\"ss");
  ASSERT_TRUE(settings_write());
  h = HeadlessBuild(base_, L"\"" + project + L"\"");
  EXPECT_EQ(h.code, 5);
  EXPECT_TRUE(Contains(h.output, L"( -215, "));
  EXPECT_EQ(SigntoolLogRead(tool_folder).size(), 2u) << "only the failing tool ran again";

  InstallAndUninstall(Package());
}

// Signing set up in the signing dialog as a developer does it, then a
// build from the window that signs.
TEST_F(BuildE2E, SigningDialogRegistersTheSettingsAndTheWindowBuildSigns) {
  // The folder browser finds a folder at once only when it has been there
  // for a while (a Wine trait): the stand-in goes into the Windows
  // folder's "temp".
  const std::wstring tool_folder = WindowsFolder() + L"\\temp";
  const std::wstring tool = tool_folder + L"\\signtool.exe";
  ASSERT_TRUE(CopyFileW(Native(VT_SIGNTOOL_EXE).c_str(), tool.c_str(), FALSE));
  struct Remove {
    std::wstring folder;
    ~Remove() {
      for (const wchar_t* name : {L"signtool.exe", SIGNTOOL_LOG_FILE, SIGNTOOL_OUTPUT_FILE})
        DeleteFileW((folder + L"\\" + name).c_str());
    }
  } remove{tool_folder};
  const std::wstring certificate = Native(VT_SIGNING_P12);
  base_.LastFolder(L"EXE_PathS", WindowsFolder());
  Editor e(base_);
  ASSERT_TRUE(e.Main());
  e.Press(IDC_SIGNING);
  EXPECT_EQ(e.BoxWait().text, L"現行プロジェクトは未保存です。\r\n少なくとも一度は、保存を行って下さい。");
  e.Answer(e.BoxWait(), IDOK);
  ASSERT_NO_FATAL_FAILURE(WindowProject(e, base_.Path(L"signed.sip")));

  e.Press(IDC_SIGNING);
  HWND sign = e.DialogWait(L"コードサイニング証明書の組込み");
  ASSERT_TRUE(sign);
  EXPECT_FALSE(UiEnabled(sign, IDC_SIGN_PASSWORD)) << "signing is off";
  UiPress(sign, IDC_SIGN_ON);
  for (DWORD start = GetTickCount(); !UiEnabled(sign, IDC_SIGN_PASSWORD) &&
                                     GetTickCount() - start < 10000;)
    Sleep(50);
  EXPECT_TRUE(UiEnabled(sign, IDC_SIGN_TOOL_PICK));
  EXPECT_FALSE(UiEnabled(sign, IDC_SIGN_TIMESTAMP_URL)) << "no timestamp asked for";
  const wchar_t* missing[] = {
      L"コードサイニング証明書の登録を実施する際に使用するツールのパスが未登録です。\r\n\r\nツールのパスを登録して下さい。",
      L"コードサイニング証明書ファイルの登録が行なわれていません。\r\n\r\n証明書ファイルの登録を行って下さい。",
      L"コードサイニング証明書ファイルの登録を行う際のパスワードが登録されていません。\r\n\r\nパスワードの登録を行って下さい。"};
  for (int i = 0; i < 3; ++i) {
    UiClick(sign, IDOK);
    Box box = e.BoxWait();
    EXPECT_EQ(box.caption, L"警告メッセージ");
    EXPECT_EQ(box.text, missing[i]);
    e.Answer(box, IDOK);
    if (i == 0) {
      UiPress(sign, IDC_SIGN_TOOL_PICK);
      ASSERT_TRUE(e.AcceptFolder(tool_folder, true));
    } else if (i == 1) {
      UiPress(sign, IDC_SIGN_CERTIFICATE_PICK);
      ASSERT_TRUE(e.ChooseFile(L"コードサイニング証明書ファイルの選択", certificate));
    }
  }
  EXPECT_EQ(UiControlText(sign, IDC_SIGN_TOOL_FOLDER), tool_folder);
  EXPECT_EQ(UiControlText(sign, IDC_SIGN_CERTIFICATE), certificate);
  UiSetEditText(sign, IDC_SIGN_PASSWORD, L"pass word");
  UiSetEditText(sign, IDC_SIGN_DESCRIPTION, L"サンプル グリッド");
  EXPECT_TRUE(ScreenSave(L"editor_signing", {e.Main(), sign}));
  UiClick(sign, IDOK);
  ASSERT_TRUE(UiWindowGoneWait(sign, kEditorWait));
  const std::string settings = FileRead(ProjectFolder() + L"\\codesign.txt");
  ASSERT_EQ(settings.size(), sizeof(SigningSettings));
  const SigningSettings* s = reinterpret_cast<const SigningSettings*>(settings.data());
  EXPECT_EQ(std::string(s->tool_folder), Cp932(tool_folder));
  EXPECT_EQ(std::string(s->password), "pass word");
  EXPECT_EQ(std::string(s->description), Cp932(L"サンプル グリッド"));
  EXPECT_EQ(s->timestamp, 0);

  e.Command(IDM_SAVE);  // the project now signs its packages
  EXPECT_EQ(e.BoxWait().text, L"上書き保存しました。");
  e.Answer(e.BoxWait(), IDOK);
  e.Press(IDC_BUILD);
  Box done = e.BoxWait();
  EXPECT_EQ(done.caption, L"確認メッセージ");
  e.Answer(done, IDOK);
  const std::wstring package = WindowsFolder() + L"\\" + setup_name_ + L".exe";
  std::string report;
  EXPECT_TRUE(SignatureVerifies(package, Native(VT_SIGNING_CERT_PEM), &report)) << report;
  e.Command(IDM_EXIT);
  EXPECT_EQ(e.Wait(), 0);
}

}  // namespace

