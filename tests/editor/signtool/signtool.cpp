// A stand-in for the signing tool, for the tests: a console program that
// the editor starts as "<tool folder>\signtool.exe".
//
// Each run writes its process id to "signtool.pid" and appends its command
// line and the arguments CommandLineToArgvW makes of it to "signtool.log"
// beside the program. When "signtool.exit" beside it holds
// "CODE [MILLISECONDS]", it waits that long and exits with CODE without
// signing. Otherwise it understands, as current signing tools do,
//   sign /f PFX [/a] /fd ALG [/d TEXT] [/du URL] [/tr URL /td ALG]
//        /p PASSWORD PACKAGE
// refusing a command line without a file digest algorithm or with a legacy
// timestamp server (/t), and signs PACKAGE for real with the host's
// osslsigncode with that digest (the timestamp server is not asked): into
// a file beside the package that then replaces it. Exit code 0 when
// signed, otherwise one of SIGNTOOL_EXIT_*. With "signtool.damage" beside
// it, it cuts the signed package to half its length and still ends with 0:
// a tool that damages what it signs.
//
// Built with SIGNTOOL_PLANTED it is a program that must never run: it only
// writes "signtool.planted" beside itself.
#include <windows.h>
#include <shellapi.h>

#include <stdlib.h>

#include <string>
#include <vector>

#include "tests/editor/signing_support.h"

using namespace signing_test;

namespace {

std::wstring OwnFolder() {
  wchar_t path[MAX_PATH];
  DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path, n);
  return folder.substr(0, folder.find_last_of(L"\\/"));
}

void WriteSmallFile(const std::wstring& path, const std::string& text) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
}

#ifndef SIGNTOOL_PLANTED
std::string ReadSmallFile(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::string();
  char text[64] = {};
  DWORD read = 0;
  ReadFile(file, text, sizeof text - 1, &read, nullptr);
  CloseHandle(file);
  return std::string(text, read);
}

// The exit code (and wait) of "signtool.exit"; false when it holds none.
bool PresetExit(const std::wstring& folder, int* code, DWORD* wait_ms) {
  std::string text = ReadSmallFile(folder + L"\\" SIGNTOOL_EXIT_FILE);
  char* end = nullptr;
  long value = strtol(text.c_str(), &end, 10);
  if (end == text.c_str()) return false;
  *code = static_cast<int>(value);
  *wait_ms = static_cast<DWORD>(strtoul(end, nullptr, 10));
  return true;
}

// What a signing run asks for.
struct SignRequest {
  std::wstring pfx, password, description, url, digest, timestamp_url, timestamp_digest,
      package;
};

bool ParseRequest(const std::vector<std::wstring>& args, SignRequest* request) {
  if (args.size() < 3 || args[1] != L"sign") return false;
  bool has_pfx = false, has_password = false;
  // The last argument is the package; options before it take one value,
  // except /a.
  for (size_t i = 2; i + 1 < args.size(); ++i) {
    const std::wstring& option = args[i];
    if (option == L"/a") continue;
    if (i + 2 >= args.size()) return false;
    const std::wstring& value = args[++i];
    if (option == L"/f") has_pfx = true, request->pfx = value;
    else if (option == L"/p") has_password = true, request->password = value;
    else if (option == L"/d") request->description = value;
    else if (option == L"/du") request->url = value;
    else if (option == L"/fd") request->digest = value;
    else if (option == L"/tr") request->timestamp_url = value;
    else if (option == L"/td") request->timestamp_digest = value;
    else return false;  // /t among them: no legacy timestamp server answers
  }
  request->package = args.back();
  bool timestamp_whole = request->timestamp_url.empty() == request->timestamp_digest.empty();
  return has_pfx && has_password && request->digest == L"sha256" && timestamp_whole;
}

int Sign(const std::wstring& folder, const SignRequest& request) {
  std::wstring signed_copy = request.package + L".signed";
  DeleteFileW(signed_copy.c_str());
  std::vector<std::wstring> args = {L"sign", L"-h", request.digest, L"-pkcs12",
                                    UnixPath(request.pfx), L"-pass", request.password};
  if (!request.description.empty()) args.insert(args.end(), {L"-n", request.description});
  if (!request.url.empty()) args.insert(args.end(), {L"-i", request.url});
  args.insert(args.end(), {L"-in", UnixPath(request.package), L"-out", UnixPath(signed_copy)});
  std::string output;
  int status = HostScriptRun("exec osslsigncode \"$@\"", args, &output);
  WriteSmallFile(folder + L"\\" SIGNTOOL_OUTPUT_FILE, output);
  if (status != 0) {
    DeleteFileW(signed_copy.c_str());
    return SIGNTOOL_EXIT_SIGNING;
  }
  if (!MoveFileExW(signed_copy.c_str(), request.package.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    DeleteFileW(signed_copy.c_str());
    return SIGNTOOL_EXIT_REPLACE;
  }
  if (GetFileAttributesW((folder + L"\\" SIGNTOOL_DAMAGE_FILE).c_str()) !=
      INVALID_FILE_ATTRIBUTES) {
    HANDLE file = CreateFileW(request.package.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              0, nullptr);
    SetFilePointer(file, static_cast<LONG>(GetFileSize(file, nullptr) / 2), nullptr, FILE_BEGIN);
    SetEndOfFile(file);
    CloseHandle(file);
  }
  return 0;
}
#endif

}  // namespace

int wmain() {
  std::wstring folder = OwnFolder();
#ifdef SIGNTOOL_PLANTED
  WriteSmallFile(folder + L"\\" SIGNTOOL_PLANTED_FILE, Utf8(GetCommandLineW()));
  return 0;
#else
  SigntoolRun run;
  run.command_line = GetCommandLineW();
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(run.command_line.c_str(), &argc);
  for (int i = 0; argv && i < argc; ++i) run.args.push_back(argv[i]);
  LocalFree(argv);
  SigntoolLogAppend(folder, run);
  WriteSmallFile(folder + L"\\" SIGNTOOL_PID_FILE, std::to_string(GetCurrentProcessId()));

  int code = 0;
  DWORD wait_ms = 0;
  if (PresetExit(folder, &code, &wait_ms)) {
    Sleep(wait_ms);
    return code;
  }
  SignRequest request;
  if (!ParseRequest(run.args, &request)) return SIGNTOOL_EXIT_USAGE;
  return Sign(folder, request);
#endif
}
