// The smoke test of the shipped 32-bit programs, run as a 32-bit program
// itself: it starts the editor's headless build, the package it built, the
// package's uninstaller, a damaged copy of the package and the editor with
// its window, each as a child process, and checks their exit codes and
// what they leave in the system folder, Program Files and the registry.
//
//   vtsmoke32.exe <work folder> <GUID> <module file name> <setup name>
//
// The work folder holds editor\ (the unpacked release archive:
// Vantorel.exe, Installer.exe, instbase.ini and the rest),
// modules\<module file name>, the project file sample.sip (whose package
// goes to out\) and receives vtdamaged.exe.
//
// Each check prints one line, "smoke32: ok ..." or "smoke32: FAILED ...".
// Exit code 0 when every check passed, 1 otherwise; the first line,
// "smoke32: driver started", shows that the driver itself ran.
//
// Registration is not judged: the sample module has no registration
// entries (module.cpp), so no registration program runs.
#include <windows.h>
#include <stdio.h>

#include <string>

namespace {

// Generous limits: every program start may take minutes where this runs.
const DWORD kProgramWaitMs = 20 * 60 * 1000;
const DWORD kWindowWaitMs = 20 * 60 * 1000;
const wchar_t kEditorCaption[] = L"Vantorel Install Editor - ";
const wchar_t kUninstallRoot[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const wchar_t kProductName[] = L"サンプル グリッド";

int Failures = 0;

// Text in the ANSI code page, as the programs it starts print theirs.
std::string Narrow(const std::wstring& text) {
  int n = WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, NULL, 0, NULL, NULL);
  std::string out(n > 0 ? n : 1, '\0');
  if (n > 0) WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, &out[0], n, NULL, NULL);
  out.resize(out.size() - 1);
  return out;
}

void Say(const std::string& line) {
  printf("smoke32: %s\n", line.c_str());
  fflush(stdout);
}

bool Check(bool passed, const std::string& what) {
  Say((passed ? "ok      " : "FAILED  ") + what);
  if (!passed) ++Failures;
  return passed;
}

bool ReadBytes(const std::wstring& path, std::string* bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0,
                            NULL);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER size;
  bool ok = GetFileSizeEx(file, &size) && size.QuadPart < 0x10000000;
  if (ok) {
    bytes->assign(static_cast<size_t>(size.QuadPart), '\0');
    DWORD got = 0;
    ok = bytes->empty() ||
         (ReadFile(file, &(*bytes)[0], static_cast<DWORD>(bytes->size()), &got, NULL) &&
          got == bytes->size());
  }
  CloseHandle(file);
  return ok;
}

bool WriteBytes(const std::wstring& path, const std::string& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD put = 0;
  bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &put, NULL) &&
            put == bytes.size();
  return CloseHandle(file) && ok;
}

bool Exists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Starts a command line in a folder, with this program's output handles,
// and waits for it. Returns its exit code, or -1 when it could not be
// started and -2 when it did not end in time (it is then ended).
long Run(const std::wstring& command, const std::wstring& folder) {
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION process = {};
  std::wstring line = command;
  DWORD started = GetTickCount();
  if (!CreateProcessW(NULL, &line[0], NULL, NULL, TRUE, 0, NULL, folder.c_str(), &startup,
                      &process)) {
    Say("cannot start " + Narrow(command) + ": error " + std::to_string(GetLastError()));
    return -1;
  }
  CloseHandle(process.hThread);
  long result = -2;
  if (WaitForSingleObject(process.hProcess, kProgramWaitMs) == WAIT_OBJECT_0) {
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    result = static_cast<long>(code);
  } else {
    TerminateProcess(process.hProcess, 9);
  }
  CloseHandle(process.hProcess);
  Say("  " + Narrow(command) + " -> " + std::to_string(result) + " after " +
      std::to_string((GetTickCount() - started) / 1000) + " s");
  return result;
}

bool KeyExists(HKEY root, const std::wstring& path) {
  HKEY key;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

// A REG_SZ value, or empty when the value is missing or of another type.
std::wstring KeyText(HKEY root, const std::wstring& path, const wchar_t* name) {
  wchar_t data[1024] = L"";
  DWORD type = 0, size = sizeof data - sizeof(wchar_t);
  HKEY key;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return L"";
  LONG result = RegQueryValueExW(key, name, NULL, &type, reinterpret_cast<BYTE*>(data), &size);
  RegCloseKey(key);
  if (result != ERROR_SUCCESS || type != REG_SZ) return L"";
  data[size / sizeof(wchar_t)] = 0;
  return data;
}

bool ValueSet(const std::wstring& path, const wchar_t* name, DWORD type, const void* data,
              DWORD size) {
  HKEY key;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, NULL, 0, KEY_SET_VALUE, NULL, &key,
                      NULL) != ERROR_SUCCESS)
    return false;
  LONG result = RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size);
  RegCloseKey(key);
  return result == ERROR_SUCCESS;
}

// Wine reports a later Windows than the sample project allows unless told
// otherwise, per program.
bool WindowsVersionSet(const std::wstring& program) {
  const wchar_t version[] = L"win7";
  return ValueSet(L"Software\\Wine\\AppDefaults\\" + program, L"Version", REG_SZ, version,
                  sizeof version);
}

// A program that crashes gets its backtrace printed, with no dialog that
// would wait for a click.
bool CrashDialogOff() {
  const DWORD off = 0;
  return ValueSet(L"Software\\Wine\\WineDbg", L"ShowCrashDialog", REG_DWORD, &off, sizeof off);
}

// The damaged copy: one byte in the middle of the payload changed, after
// checking that the package ends with the length and bytes of the module.
bool DamagedCopy(const std::wstring& package, const std::string& module,
                 const std::wstring& damaged) {
  std::string bytes;
  if (!ReadBytes(package, &bytes) || bytes.size() < module.size() + 4) return false;
  size_t payload = bytes.size() - module.size();
  const unsigned char* length = reinterpret_cast<const unsigned char*>(&bytes[payload - 4]);
  size_t announced = length[0] | length[1] << 8 | length[2] << 16 | static_cast<size_t>(length[3]) << 24;
  if (announced != module.size() || bytes.compare(payload, module.size(), module) != 0) return false;
  bytes[payload + module.size() / 2] ^= 0x01;
  return WriteBytes(damaged, bytes);
}

// The fixed file version of an executable as "a.b.c.d", or empty.
std::string FileVersion(const std::wstring& path) {
  DWORD ignored = 0, size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
  std::string block(size ? size : 1, '\0');
  VS_FIXEDFILEINFO* fixed = NULL;
  UINT length = 0;
  if (!size || !GetFileVersionInfoW(path.c_str(), 0, size, &block[0]) ||
      !VerQueryValueW(&block[0], L"\\", reinterpret_cast<void**>(&fixed), &length) || !fixed)
    return "";
  return std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." +
         std::to_string(LOWORD(fixed->dwFileVersionMS)) + "." +
         std::to_string(HIWORD(fixed->dwFileVersionLS)) + "." +
         std::to_string(LOWORD(fixed->dwFileVersionLS));
}

struct WindowSearch {
  DWORD process_id;
  HWND found;
};

BOOL CALLBACK EditorWindowFind(HWND window, LPARAM param) {
  WindowSearch* search = reinterpret_cast<WindowSearch*>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  wchar_t caption[256];
  if (owner != search->process_id || !IsWindowVisible(window) ||
      GetWindowTextW(window, caption, 256) <= 0 || lstrcmpW(caption, kEditorCaption) != 0)
    return TRUE;
  search->found = window;
  return FALSE;
}

// Whether a folder holds an entry whose name starts with prefix.
bool EntryWithPrefix(const std::wstring& folder, const wchar_t* prefix) {
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW((folder + L"\\" + prefix + L"*").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return false;
  FindClose(find);
  return true;
}

// The editor opens its main window on a new project and closes cleanly
// when the window is closed: exit code 0, its work folder gone.
void EditorStartAndClose(const std::wstring& editor_folder) {
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  std::wstring line = L"\"" + editor_folder + L"\\Vantorel.exe\"";
  DWORD started = GetTickCount();
  if (!Check(CreateProcessW(NULL, &line[0], NULL, NULL, FALSE, 0, NULL, editor_folder.c_str(),
                            &startup, &process) != FALSE,
             "the editor starts"))
    return;
  CloseHandle(process.hThread);
  WindowSearch search = {process.dwProcessId, NULL};
  while (!search.found && GetTickCount() - started < kWindowWaitMs &&
         WaitForSingleObject(process.hProcess, 1000) == WAIT_TIMEOUT)
    EnumWindows(EditorWindowFind, reinterpret_cast<LPARAM>(&search));
  Say("  main window after " + std::to_string((GetTickCount() - started) / 1000) + " s");
  if (Check(search.found != NULL, "the editor shows its main window \"Vantorel Install Editor - \"")) {
    Check(EntryWithPrefix(editor_folder, L"QOR"), "the running editor has its work folder");
    PostMessageW(search.found, WM_CLOSE, 0, 0);
  }
  DWORD code = 9;
  bool ended = WaitForSingleObject(process.hProcess, kProgramWaitMs) == WAIT_OBJECT_0 &&
               GetExitCodeProcess(process.hProcess, &code);
  if (!ended) TerminateProcess(process.hProcess, 9);
  CloseHandle(process.hProcess);
  Check(ended && code == 0, "the editor ends with exit code 0 when its window is closed (" +
                                (ended ? std::to_string(code) : std::string("still running")) +
                                ")");
  Check(!EntryWithPrefix(editor_folder, L"QOR"), "the editor removed its work folder");
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  Say("driver started");
  if (argc != 5) {
    Say("usage: vtsmoke32 <work folder> <GUID> <module file name> <setup name>");
    return 2;
  }
  const std::wstring work = argv[1], guid = argv[2], module_name = argv[3], setup = argv[4];
  const std::wstring editor = work + L"\\editor";
  const std::wstring package = work + L"\\out\\" + setup + L".exe";
  const std::wstring damaged = work + L"\\vtdamaged.exe";
  const std::wstring uninstall_key = kUninstallRoot + guid;
  wchar_t system_folder[MAX_PATH];
  UINT n = GetSystemDirectoryW(system_folder, MAX_PATH);
  const std::wstring target = std::wstring(system_folder, n < MAX_PATH ? n : 0) + L"\\" + module_name;
  std::string module;
  if (!Check(ReadBytes(work + L"\\modules\\" + module_name, &module) && !module.empty(),
             "the sample module is readable"))
    return 1;
  if (!Check(WindowsVersionSet(setup + L".exe") && WindowsVersionSet(L"vtdamaged.exe") &&
                 CrashDialogOff(),
             "Windows 7 set for the packages, crash dialog off"))
    return 1;

  Say("the editor's headless build");
  long status = Run(L"\"" + editor + L"\\Vantorel.exe\" /build \"" + work + L"\\sample.sip\"", editor);
  Check(status == 0, "Vantorel.exe /build ends with 0 (" + std::to_string(status) + ")");
  Check(!EntryWithPrefix(editor, L"QOR"), "the headless build removed its work folder");
  if (!Check(Exists(package), "the package " + Narrow(package) + " was written")) return 1;
  const std::string version = FileVersion(editor + L"\\Installer.exe");
  Check(version.size() > 2 && version.compare(version.size() - 2, 2, ".0") == 0 &&
            FileVersion(package) == version,
        "the package keeps the template's file version, its fourth part 0 (" + version + ")");
  Check(DamagedCopy(package, module, damaged),
        "the package ends with the module's length and bytes (damaged copy made)");

  Say("a silent install");
  status = Run(L"\"" + package + L"\"", work);
  Check(status == 0, "the package ends with 0 (" + std::to_string(status) + ")");
  std::string installed;
  Check(ReadBytes(target, &installed) && installed == module,
        "the module in the system folder is byte-identical");
  Check(KeyText(HKEY_LOCAL_MACHINE, uninstall_key, L"DisplayName") == kProductName,
        "the uninstall entry names the product");
  const std::wstring uninstall = KeyText(HKEY_LOCAL_MACHINE, uninstall_key, L"UninstallString");
  const std::wstring suffix = L"\\hvuninst.exe\" -UnInstall/" + guid;
  bool command_ok = uninstall.size() > suffix.size() + 1 && uninstall[0] == L'"' &&
                    uninstall.compare(uninstall.size() - suffix.size(), suffix.size(), suffix) == 0;
  Check(command_ok, "the uninstall command is the uninstaller with -UnInstall/<GUID>: " + Narrow(uninstall));
  const std::wstring uninstaller = command_ok ? uninstall.substr(1, uninstall.find(L'"', 1) - 1) : L"";
  Check(command_ok && Exists(uninstaller), "the uninstaller is in place");

  Say("the uninstall command");
  if (command_ok) {
    status = Run(uninstall, work);
    Check(status == 0, "the uninstaller ends with 0 (" + std::to_string(status) + ")");
  }
  Check(!Exists(target), "the module is gone from the system folder");
  Check(!KeyExists(HKEY_LOCAL_MACHINE, uninstall_key), "the uninstall entry is gone");
  Check(command_ok && Exists(uninstaller), "the uninstaller stays");

  Say("a silent run of the damaged package");
  if (Exists(damaged)) {
    status = Run(L"\"" + damaged + L"\"", work);
    Check(status == 24, "the damaged package ends with 24 (" + std::to_string(status) + ")");
    Check(!Exists(target), "nothing was installed");
    Check(!KeyExists(HKEY_LOCAL_MACHINE, uninstall_key), "no uninstall entry was written");
  }

  Say("the editor's window");
  EditorStartAndClose(editor);

  Say(Failures ? std::to_string(Failures) + " checks failed" : "all checks passed");
  return Failures ? 1 : 0;
}
