// Building packages as a developer and a CI job do: with the build button
// of the real editor and with "Vantorel.exe /build", signed with a
// stand-in signing tool that signs for real, and the packages installed
// and uninstalled silently under Wine.
#include <windows.h>

#include <gtest/gtest.h>
#include <objbase.h>
#include <shlobj.h>
#include <string.h>
#include <wctype.h>

#include <functional>
#include <string>
#include <vector>

#include "editor/editor_state.h"
#include "editor/project/project_file.h"
#include "editor/project/project_list.h"
#include "editor/project/project_record.h"
#include "editor/project/signing_settings.h"
#include "editor/resource.h"
#include "tests/editor/editor_e2e.h"
#include "tests/editor/signing_support.h"
#include "tests/support/ui_driver.h"
#include "vantorel_version.h"

namespace {

using signing_test::SignatureVerifies;
using signing_test::SigntoolLogRead;
using signing_test::Utf8;

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

std::wstring ProgramFiles() {
  wchar_t folder[MAX_PATH];
  SHGetFolderPathW(nullptr, CSIDL_PROGRAM_FILES, nullptr, 0, folder);
  return folder;
}

// A headless build: its exit code and what it printed.
struct Headless {
  long code = -1;
  std::wstring output;
};

// The exit code of a process that has ended within wait_ms, or -1 (it is
// then ended); the handle is closed.
long ExitCodeOf(HANDLE process, DWORD wait_ms) {
  DWORD code = 0;
  long result = -1;
  if (WaitForSingleObject(process, wait_ms) == WAIT_OBJECT_0 && GetExitCodeProcess(process, &code))
    result = static_cast<long>(code);
  else
    TerminateProcess(process, 9);
  CloseHandle(process);
  return result;
}

Headless HeadlessBuild(const EditorBase& base, const std::wstring& arguments,
                       const std::wstring& folder = L"") {
  static int runs = 0;
  Headless result;
  std::wstring log = base.Path(L"headless" + std::to_wstring(++runs) + L".log");
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE out = CreateFileW(log.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                           0, nullptr);
  if (out == INVALID_HANDLE_VALUE) return result;
  const std::wstring command = L"\"" + base.Path(L"Vantorel.exe") + L"\" /build " + arguments;
  result.code = RunProgram(command, folder, kRunWait, out);
  CloseHandle(out);
  result.output = FromCp932(FileRead(log));
  return result;
}

// Runs "Vantorel.com <arguments>" of a base folder with its output going
// into a pipe, as a CI runner reads it: its exit code and what came
// through the pipe until it ended.
Headless LauncherRun(const EditorBase& base, const std::wstring& arguments) {
  Headless result;
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE read = nullptr, write = nullptr;
  if (!CreatePipe(&read, &write, &inherit, 0)) return result;
  SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
  HANDLE process = ProgramStart(L"\"" + base.Path(L"Vantorel.com") + L"\" " + arguments,
                                base.folder(), write, nullptr);
  CloseHandle(write);
  if (!process) {
    CloseHandle(read);
    return result;
  }
  // The pipe is read while the launcher runs and drained once it has
  // ended; its end is not waited for, which a helper of the system that
  // inherited it could delay.
  std::string bytes;
  DWORD start = GetTickCount();
  for (bool ended = false; !ended && GetTickCount() - start < kRunWait;) {
    ended = WaitForSingleObject(process, 50) == WAIT_OBJECT_0;
    DWORD available = 0;
    while (PeekNamedPipe(read, nullptr, 0, nullptr, &available, nullptr) && available) {
      char block[4096];
      DWORD got = 0;
      if (!ReadFile(read, block, sizeof block, &got, nullptr) || !got) break;
      bytes.append(block, got);
    }
  }
  result.code = ExitCodeOf(process, 0);
  CloseHandle(read);
  result.output = FromCp932(bytes);
  return result;
}

// The files below folder whose bytes hold any of the texts.
void FilesHolding(const std::wstring& folder, std::initializer_list<std::string> texts,
                  std::vector<std::wstring>* found) {
  WIN32_FIND_DATAW entry;
  HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &entry);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    std::wstring name = entry.cFileName, path = folder + L"\\" + name;
    if (name == L"." || name == L"..") continue;
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      FilesHolding(path, texts, found);
      continue;
    }
    std::string bytes = FileRead(path);
    for (const std::string& text : texts)
      if (bytes.find(text) != std::string::npos) found->push_back(path);
  } while (FindNextFileW(find, &entry));
  FindClose(find);
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
    EXPECT_EQ(RunProgram(L"\"" + copy + L"\"", L"", kRunWait), 0);
    EXPECT_EQ(FileRead(Installed()), FileRead(Module())) << "the module in the system folder";
    std::wstring uninstaller = UninstallFolder() + L"\\hvuninst.exe";
    EXPECT_EQ(RunProgram(L"\"" + uninstaller + L"\" -UnInstall/" + guid_, L"", kRunWait), 0);
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

  // A setup program name that leads out of the output folder fails the
  // check before the build.
  e.Type(IDC_SETUP_NAME, L"..\\escape");
  e.Command(IDM_SAVE);
  EXPECT_EQ(e.BoxWait().text, L"上書き保存しました。");
  e.Answer(e.BoxWait(), IDOK);
  e.Press(IDC_BUILD);
  Box refused = e.BoxWait();
  EXPECT_EQ(refused.caption, L"警告メッセージ");
  EXPECT_EQ(refused.text, L"セットアッププログラム名に使用出来ない文字が含まれています。\r\n\r\n"
                          L"\\ / : * ? < > | を含まない\r\nファイル名を入力して下さい。");
  EXPECT_TRUE(ScreenSave(L"editor_setup_name_refused", {e.Main(), refused.window}));
  e.Answer(refused, IDOK);
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
  settings.timestamp = 1;
  Put(settings.timestamp_url, L"http://timestamp.example.invalid/");
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

  // Today's signing tool: a file digest, and an RFC 3161 timestamp.
  std::vector<signing_test::SigntoolRun> runs = SigntoolLogRead(tool_folder);
  ASSERT_EQ(runs.size(), 1u);
  const std::vector<std::wstring>& args = runs[0].args;
  ASSERT_EQ(args.size(), 16u) << signing_test::Utf8(runs[0].command_line);
  EXPECT_EQ(std::vector<std::wstring>(args.begin() + 1, args.end() - 1),
            (std::vector<std::wstring>{L"sign", L"/f", Native(VT_SIGNING_P12), L"/a", L"/fd",
                                       L"sha256", L"/du", L"https://example.invalid/grid", L"/tr",
                                       L"http://timestamp.example.invalid/", L"/td", L"sha256",
                                       L"/p", L"pass word"}));
  EXPECT_TRUE(Contains(runs[0].command_line, L" /a /fd sha256 "));
  EXPECT_TRUE(Contains(runs[0].command_line,
                       L" /tr \"http://timestamp.example.invalid/\" /td sha256 "));
  // Signed where only this user can reach it, never in the output folder.
  EXPECT_EQ(FolderOf(args.back()).find(Outputs()), std::wstring::npos) << Utf8(args.back());
  EXPECT_FALSE(Exists(FolderOf(args.back()))) << "the private folder is gone";
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

  // A tool that never ends is ended at the time limit; the build fails.
  ASSERT_TRUE(FileWrite(tool_folder + L"\\" SIGNTOOL_EXIT_FILE, "0 60000"));
  h = HeadlessBuild(base_, L"\"" + project + L"\" /signtimeout 3");
  DeleteFileW((tool_folder + L"\\" SIGNTOOL_EXIT_FILE).c_str());
  EXPECT_EQ(h.code, 5);
  EXPECT_TRUE(Contains(h.output, L"コードサイニングツールが 3 秒以内に終了しなかった為、強制終了しました。"))
      << signing_test::Utf8(h.output);
  EXPECT_TRUE(signing_test::SigntoolEnded(tool_folder, 10000)) << "the tool still runs";
  EXPECT_EQ(FileRead(Package()), signed_package);

  // A tool that damages the package: it does not read back, and the
  // previous package stays.
  ASSERT_TRUE(FileWrite(tool_folder + L"\\" SIGNTOOL_DAMAGE_FILE, ""));
  h = HeadlessBuild(base_, L"\"" + project + L"\"");
  DeleteFileW((tool_folder + L"\\" SIGNTOOL_DAMAGE_FILE).c_str());
  EXPECT_EQ(h.code, 6) << signing_test::Utf8(h.output);
  EXPECT_TRUE(Contains(h.output, L"インストーラモジュールの検証エラー 4 - ( -565, 0 )"));
  EXPECT_EQ(FileRead(Package()), signed_package);

  // An output folder that does not exist is found before the tool starts.
  size_t ran = SigntoolLogRead(tool_folder).size();
  h = HeadlessBuild(base_, L"\"" + project + L"\" /out \"" + base_.Path(L"missing") + L"\"");
  EXPECT_EQ(h.code, 4);
  EXPECT_TRUE(Contains(h.output, L"インストーラモジュールのコピーエラー - ( 3 )"));
  EXPECT_FALSE(Contains(h.output, L"[1/14]")) << "nothing was built";
  EXPECT_EQ(SigntoolLogRead(tool_folder).size(), ran);
  // So is an output folder too long for the project's field (271 bytes).
  h = HeadlessBuild(base_, L"\"" + project + L"\" /out \"C:\\" + std::wstring(280, L'o') + L"\"");
  EXPECT_EQ(h.code, 4);
  EXPECT_TRUE(Contains(h.output, L"インストーラモジュールのコピーエラー - ( 206 )"));
  EXPECT_EQ(SigntoolLogRead(tool_folder).size(), ran);

  // A password no command line can carry is refused before the tool runs.
  Put(settings.password, L"pa\"ss");
  ASSERT_TRUE(settings_write());
  h = HeadlessBuild(base_, L"\"" + project + L"\"");
  EXPECT_EQ(h.code, 5);
  EXPECT_TRUE(Contains(h.output, L"( -215, "));
  EXPECT_EQ(SigntoolLogRead(tool_folder).size(), ran) << "the tool did not run";

  InstallAndUninstall(Package());
}

// A project file received from someone else whose signing settings lie
// outside its project folder: the program they name is never started.
TEST_F(BuildE2E, OnlyTheProjectsOwnSigningSettingsAreUsed) {
  const std::wstring planted = FolderOf(Native(VT_PLANTED_SIGNTOOL_EXE));
  DeleteFileW((planted + L"\\" SIGNTOOL_PLANTED_FILE).c_str());
  SigningSettings settings = {};
  Put(settings.tool_folder, planted);
  Put(settings.certificate, Native(VT_SIGNING_P12));
  Put(settings.password, L"pass word");
  const std::wstring elsewhere = base_.Path(L"codesign.txt");
  ASSERT_TRUE(FileWrite(elsewhere, std::string(reinterpret_cast<const char*>(&settings),
                                               sizeof settings)));
  ProjectRecord r = Project();
  r.code_signing = 1;
  const std::wstring own = ProjectFolder() + L"\\codesign.txt";
  for (const std::wstring& path :
       {elsewhere, ProjectFolder() + L"\\..\\" + guid_ + L"\\codesign.txt"}) {
    Put(r.signing_settings_path, path);
    Headless h = HeadlessBuild(base_, L"\"" + ProjectWrite(r) + L"\"");
    EXPECT_EQ(h.code, 5) << Utf8(path);
    EXPECT_TRUE(Contains(h.output, L"コードサイニングの設定ファイルがこのプロジェクトのものではない為"))
        << signing_test::Utf8(h.output);
    EXPECT_FALSE(Contains(h.output, L"[1/14]")) << "nothing was built";
    EXPECT_FALSE(Exists(planted + L"\\" SIGNTOOL_PLANTED_FILE)) << "the named tool started";
    EXPECT_FALSE(Exists(Package()));
  }
  // Its own settings path in another letter case is its own.
  std::wstring upper = own;
  for (wchar_t& c : upper) c = static_cast<wchar_t>(towupper(c));
  Put(r.signing_settings_path, upper);
  Headless h = HeadlessBuild(base_, L"\"" + ProjectWrite(r) + L"\"");
  EXPECT_EQ(h.code, 0) << "no settings there: built unsigned; " << signing_test::Utf8(h.output);
}

// A setup program name is a file name: one that leads elsewhere or into a
// stream of another file is refused before anything is written.
TEST_F(BuildE2E, ASetupNameThatIsNoPlainFileNameIsRefused) {
  const std::wstring project = ProjectWrite(Project());
  for (const wchar_t* name : {L"..\\escape", L"a:b", L"sub\\Setup", L"Set?up"}) {
    Headless h = HeadlessBuild(base_, L"\"" + project + L"\" /name \"" + name + L"\"");
    EXPECT_EQ(h.code, 3) << Utf8(name);
    EXPECT_TRUE(Contains(h.output, L"セットアッププログラム名に使用出来ない文字が含まれています。"))
        << Utf8(name);
  }
  ProjectRecord r = Project();
  Put(r.setup_program_name, L"..\\escape");
  EXPECT_EQ(HeadlessBuild(base_, L"\"" + ProjectWrite(r, L"escape.sip") + L"\"").code, 3)
      << "nor from the project file";
  for (const wchar_t* pattern : {L"*.exe", L"*.tmp", L"a"})
    EXPECT_EQ(FirstMatch(Outputs(), pattern), L"") << "nothing written in the output folder";
  EXPECT_FALSE(Exists(base_.Path(L"escape.exe")));
  EXPECT_FALSE(Exists(ProjectFolder())) << "nor the project folder made";
}

// "Vantorel.com /build" as a prompt, PowerShell or a CI runner starts it,
// its output going into a pipe: it waits for the build, passes on every
// line and ends with the build's exit code.
TEST_F(BuildE2E, TheConsoleLauncherWaitsAndEndsWithTheBuildsExitCode) {
  ASSERT_TRUE(CopyFileW(Native(VT_VANTOREL_COM).c_str(), base_.Path(L"Vantorel.com").c_str(),
                        FALSE));
  const std::wstring project = ProjectWrite(Project());
  Headless h = LauncherRun(base_, L"/build \"" + project + L"\"");
  EXPECT_EQ(h.code, 0) << signing_test::Utf8(h.output);
  for (int step : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 13, 14})  // no stamp, no signing
    EXPECT_TRUE(Contains(h.output, L"[" + std::to_wstring(step) + L"/14]")) << step;
  EXPECT_TRUE(Contains(h.output, L"インストーラは正常に作成されました。\r\n <" + Package() + L">"));
  EXPECT_TRUE(Exists(Package()));

  h = LauncherRun(base_, L"/build \"" + project + L"\" /name a:b");
  EXPECT_EQ(h.code, 3);
  EXPECT_TRUE(Contains(h.output, L"(終了コード 3)")) << signing_test::Utf8(h.output);
  h = LauncherRun(base_, L"/build");
  EXPECT_EQ(h.code, 2);
  EXPECT_TRUE(Contains(h.output, L"使い方: Vantorel.exe /build"));
}

// An editor saving the project again and again while 50 headless builds of
// it run one after another: both lists stay whole, and the build count is
// that of the successful builds, never lower.
TEST_F(BuildE2E, HeadlessBuildsAndEditorSavesRacing) {
  ASSERT_TRUE(editor_base_folder_set(base_.Path(L"Vantorel.exe").c_str()));
  editor_state.working = Project();
  editor_state.build_count = 0;
  const std::wstring name = L"Build " + tag_;
  // A save as the editor's: the lists first, then the file.
  auto save = [&] {
    DWORD error = 0;
    editor_state.build_count = 0;  // the editor's count, as it was when it opened
    int listed = record_project_save(base_.folder().c_str(), L"20240102030405", name.c_str(),
                                     guid_.c_str(), base_.folder().c_str(), L"project.sip",
                                     &editor_state.build_count, &error);
    if (listed == LIST_OK)
      project_file_store(base_.Path(L"project.sip").c_str(), &editor_state.working, &error);
    return listed;
  };
  ASSERT_EQ(save(), LIST_OK);
  struct Saver {
    std::function<int()> save;
    volatile LONG stop = 0;
    int saves = 0, failures = 0;
    static DWORD WINAPI Run(void* self) {
      Saver* s = static_cast<Saver*>(self);
      while (!s->stop) (s->save() == LIST_OK ? s->saves : s->failures)++;
      return 0;
    }
  } saver;
  saver.save = save;
  HANDLE thread = CreateThread(nullptr, 0, Saver::Run, &saver, 0, nullptr);
  ASSERT_TRUE(thread);
  int built = 0;
  std::wstring failed;
  for (int i = 0; i < 50; ++i) {
    Headless h = HeadlessBuild(base_, L"\"" + base_.Path(L"project.sip") + L"\"");
    if (h.code == 0)
      ++built;
    else if (failed.empty())
      failed = h.output;
  }
  InterlockedExchange(&saver.stop, 1);
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  EXPECT_EQ(built, 50) << signing_test::Utf8(failed);
  EXPECT_GT(saver.saves, 0);
  EXPECT_EQ(saver.failures, 0);
  const std::string master = FileRead(base_.Path(L"Project_List.mst"));
  ASSERT_EQ(master.size(), 626u) << "one whole record";
  EXPECT_EQ(master.substr(0, 38), Cp932(guid_));
  EXPECT_EQ(master.substr(624, 2), "\r\n");
  EXPECT_EQ(MasterBuildCount(base_), std::to_string(built));
  const std::string recent = FileRead(base_.Path(L"Project_List.now"));
  ASSERT_EQ(recent.size(), 8670u);
  EXPECT_EQ(recent.substr(0, 38), Cp932(guid_));
}

// Signing set up in the signing dialog as a developer does it, then a
// build from the window that signs without a save in between; then a build
// whose signing takes three seconds, with Enter and Escape pressed in the
// progress dialog and the build asked for again meanwhile.
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
      for (const wchar_t* name :
           {L"signtool.exe", SIGNTOOL_LOG_FILE, SIGNTOOL_OUTPUT_FILE, SIGNTOOL_EXIT_FILE})
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
  EXPECT_EQ(std::string(s->password), "") << "kept encrypted beside it";
  EXPECT_EQ(std::string(s->description), Cp932(L"サンプル グリッド"));
  EXPECT_EQ(s->timestamp, 0);
  EXPECT_FALSE(FileRead(ProjectFolder() + L"\\codesign.pwd").empty());
  // No file under the base folder holds the password as it was typed.
  std::vector<std::wstring> holding;
  FilesHolding(base_.folder(), {"pass word", std::string("p\0a\0s\0s\0 \0w\0", 12)}, &holding);
  EXPECT_TRUE(holding.empty()) << Utf8(holding.empty() ? L"" : holding[0]);
  // The dialog shows it again as it was registered.
  e.Press(IDC_SIGNING);
  sign = e.DialogWait(L"コードサイニング証明書の組込み");
  ASSERT_TRUE(sign);
  EXPECT_EQ(UiControlText(sign, IDC_SIGN_PASSWORD), L"pass word");
  UiClick(sign, IDCANCEL);
  ASSERT_TRUE(UiWindowGoneWait(sign, kEditorWait));

  // The registration is stored at once, as a GUID reissue is: nothing is
  // left to save, the project file has the switch, and a build without a
  // save signs.
  EXPECT_TRUE(e.CaptionIs(L"Vantorel Install Editor - Grid"));
  const std::string project = FileRead(base_.Path(L"signed.sip"));
  ASSERT_EQ(project.size(), sizeof(ProjectRecord));
  EXPECT_EQ(project[offsetof(ProjectRecord, code_signing)], 1);
  const std::wstring package = WindowsFolder() + L"\\" + setup_name_ + L".exe";
  const std::wstring done_text = L"インストーラは正常に作成されました。\r\n <" + package + L">";
  e.Press(IDC_BUILD);
  Box done = e.BoxWait();
  EXPECT_EQ(done.caption, L"確認メッセージ");
  EXPECT_EQ(done.text, done_text) << "built at once, with no question about a save";
  e.Answer(done, IDOK);
  std::string report;
  EXPECT_TRUE(SignatureVerifies(package, Native(VT_SIGNING_CERT_PEM), &report)) << report;
  std::vector<signing_test::SigntoolRun> runs = SigntoolLogRead(tool_folder);
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_TRUE(Contains(runs.back().command_line, L"/p \"pass word\"")) << "signed with it";

  // Signing that takes three seconds: Enter and Escape reach the progress
  // dialog as keys and a second build is asked for meanwhile, and the
  // dialog waits for the worker all the same; the package is there when it
  // closes, and one build is counted.
  ASSERT_TRUE(FileWrite(tool_folder + L"\\" SIGNTOOL_EXIT_FILE, "0 3000"));
  ASSERT_TRUE(DeleteFileW(package.c_str()));
  e.Press(IDC_BUILD);
  HWND progress = e.DialogWait(L"インストーラ作成");
  ASSERT_TRUE(progress);
  UiSendKey(progress, VK_RETURN);
  UiSendKey(progress, VK_ESCAPE);
  e.Press(IDC_BUILD);
  e.Command(IDM_BUILD);
  ASSERT_TRUE(UiWindowGoneWait(progress, kEditorWait));
  EXPECT_TRUE(Exists(package)) << "the dialog closed before the build had ended";
  done = e.BoxWait();
  EXPECT_EQ(done.text, done_text);
  e.Answer(done, IDOK);
  EXPECT_TRUE(e.TextIs(IDC_BUILD_COUNT, L"2"));
  EXPECT_EQ(MasterBuildCount(base_), "2");
  EXPECT_EQ(SigntoolLogRead(tool_folder).size(), 2u) << "one build ran";
  e.Command(IDM_EXIT);
  EXPECT_EQ(e.Wait(), 0) << "closes without a question";
}

}  // namespace

