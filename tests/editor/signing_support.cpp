// Signing in the Windows tests: host scripts, signature checks, the
// stand-in tool's log.
#include "tests/editor/signing_support.h"

#include <stdlib.h>

#include "common/command_line.h"

namespace signing_test {

namespace {

bool WriteWhole(const std::wstring& path, const std::string& bytes, DWORD disposition,
                bool append) {
  HANDLE file = CreateFileW(path.c_str(), append ? FILE_APPEND_DATA : GENERIC_WRITE,
                            FILE_SHARE_READ, nullptr, disposition, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  BOOL ok = bytes.empty() ||
            WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  return ok && written == bytes.size();
}

bool ReadWhole(const std::wstring& path, std::string* bytes) {
  bytes->clear();
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  char block[4096];
  DWORD read = 0;
  while (ReadFile(file, block, sizeof block, &read, nullptr) && read) bytes->append(block, read);
  CloseHandle(file);
  return true;
}

// The wrapper around a script: its exit status goes to "<base>.status",
// written whole under another name first so that a reader never sees half
// of it.
const char kWrapper[] =
    "base=$1; shift\n"
    "PATH=/usr/local/bin:/usr/bin:/bin; export PATH\n"
    "(\n%SCRIPT%\n) </dev/null >\"$base.out\" 2>&1\n"
    "echo $? >\"$base.part\"\n"
    "mv \"$base.part\" \"$base.status\"\n";

std::string Wrapped(const std::string& script) {
  std::string text = kWrapper;
  text.replace(text.find("%SCRIPT%"), 8, script);
  return text;
}

// Starts the host's /bin/sh with the script file and its arguments.
bool StartShell(const std::wstring& script_file, const std::wstring& base,
                const std::vector<std::wstring>& args, std::string* why) {
  std::vector<wchar_t> line(32768, 0);
  bool fits = CommandLineAppendQuoted(line.data(), line.size(), L"Z:\\bin\\sh") >= 0 &&
              CommandLineAppendQuoted(line.data(), line.size(), script_file.c_str()) >= 0 &&
              CommandLineAppendQuoted(line.data(), line.size(), base.c_str()) >= 0;
  for (const std::wstring& arg : args)
    fits = fits && CommandLineAppendQuoted(line.data(), line.size(), arg.c_str()) >= 0;
  if (!fits) {
    *why = "an argument cannot be quoted";
    return false;
  }
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    *why = "cannot start /bin/sh: error " + std::to_string(GetLastError());
    return false;
  }
  if (process.hThread) CloseHandle(process.hThread);
  if (process.hProcess) CloseHandle(process.hProcess);
  return true;
}

}  // namespace

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return std::string();
  int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr,
                              0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n,
                      nullptr, nullptr);
  return out;
}

std::wstring Wide(const std::string& utf8) {
  if (utf8.empty()) return std::wstring();
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr,
                              0);
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &out[0], n);
  return out;
}

std::wstring UnixPath(const std::wstring& windows_path) {
  // Exported by Wine's kernel32 only; the result comes from the process
  // heap.
  using UnixFileName = char*(__cdecl*)(const wchar_t*);
  auto convert = reinterpret_cast<UnixFileName>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  if (!convert) return std::wstring();
  char* unix_path = convert(windows_path.c_str());
  if (!unix_path) return std::wstring();
  std::wstring out = Wide(unix_path);
  HeapFree(GetProcessHeap(), 0, unix_path);
  return out;
}

int HostScriptRun(const std::string& script, const std::vector<std::wstring>& args,
                  std::string* output, DWORD timeout_ms) {
  output->clear();
  wchar_t temp[MAX_PATH], reserved[MAX_PATH];
  if (!GetTempPathW(MAX_PATH, temp) || !GetTempFileNameW(temp, L"vsh", 0, reserved)) {
    *output = "no temporary file name";
    return -1;
  }
  // The reserved name keeps the others unique: "<name>.sh", ".out",
  // ".status" (and ".part" while the status is written).
  std::wstring base = reserved;
  std::wstring unix_base = UnixPath(base);
  const wchar_t* suffixes[] = {L".sh", L".out", L".status", L".part"};
  int status = -1;
  if (unix_base.empty()) {
    *output = "no host path for the temporary folder (not running under Wine?)";
  } else if (!WriteWhole(base + L".sh", Wrapped(script), CREATE_ALWAYS, false)) {
    *output = "cannot write the script";
  } else if (StartShell(unix_base + L".sh", unix_base, args, output)) {
    std::string text;
    DWORD start = GetTickCount();
    while (!ReadWhole(base + L".status", &text) && GetTickCount() - start < timeout_ms)
      Sleep(20);
    ReadWhole(base + L".out", output);
    if (!text.empty())
      status = atoi(text.c_str());
    else
      *output += "\n(the script did not end in time)";
  }
  for (const wchar_t* suffix : suffixes) DeleteFileW((base + suffix).c_str());
  DeleteFileW(base.c_str());
  return status;
}

bool SignatureVerifies(const std::wstring& file, const std::wstring& certificate_pem,
                       std::string* report) {
  std::wstring unix_file = UnixPath(file), unix_certificate = UnixPath(certificate_pem);
  if (unix_file.empty() || unix_certificate.empty()) {
    *report = "no host path for the file or the certificate";
    return false;
  }
  return HostScriptRun("osslsigncode verify -CAfile \"$1\" -in \"$2\"",
                       {unix_certificate, unix_file}, report) == 0;
}

bool SigntoolEnded(const std::wstring& folder, DWORD timeout_ms) {
  std::string text;
  if (!ReadWhole(folder + L"\\" SIGNTOOL_PID_FILE, &text) || text.empty()) return false;
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(atol(text.c_str())));
  if (!process) return true;  // no such process any more
  bool ended = WaitForSingleObject(process, timeout_ms) == WAIT_OBJECT_0;
  CloseHandle(process);
  return ended;
}

bool SigntoolLogAppend(const std::wstring& folder, const SigntoolRun& run) {
  std::string record = "command_line=" + Utf8(run.command_line) + "\n";
  for (const std::wstring& arg : run.args) record += "arg=" + Utf8(arg) + "\n";
  return WriteWhole(folder + L"\\" SIGNTOOL_LOG_FILE, record, OPEN_ALWAYS, true);
}

std::vector<SigntoolRun> SigntoolLogRead(const std::wstring& folder) {
  std::vector<SigntoolRun> runs;
  std::string text;
  if (!ReadWhole(folder + L"\\" SIGNTOOL_LOG_FILE, &text)) return runs;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(at, end - at);
    at = end + 1;
    if (line.compare(0, 13, "command_line=") == 0) {
      runs.push_back(SigntoolRun{Wide(line.substr(13)), {}});
    } else if (line.compare(0, 4, "arg=") == 0 && !runs.empty()) {
      runs.back().args.push_back(Wide(line.substr(4)));
    }
  }
  return runs;
}

}  // namespace signing_test
