// Signing in the Windows tests: running shell scripts of the host from a
// Windows program under Wine, checking a signature with the host's
// osslsigncode, and what the stand-in signing tool (tests/editor/signtool)
// records of its runs. Shared by the stand-in and by every test that signs.
//
// Under Wine a Windows program starts a host program by its path on the
// Z: drive ("Z:\bin\sh"); the arguments arrive as the Windows rules read
// them. Wine hands back no process handle for such a child (no wait, no
// exit code), so the script's exit status travels through a file that the
// caller waits for.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace signing_test {

// UTF-8 and UTF-16 forms of a text.
std::string Utf8(const std::wstring& text);
std::wstring Wide(const std::string& utf8);

// The host's path of a Windows path (the file itself need not exist, its
// folder must), through Wine's own mapping; empty when there is none.
std::wstring UnixPath(const std::wstring& windows_path);

// Runs script with /bin/sh on the host, with its positional parameters
// ($1 ...) set to args, its input empty and PATH the system's folders.
// Returns its exit status (0-255), or -1 when it could not be started or
// did not end within timeout_ms; *output receives what it wrote to its
// output and error streams, or why it did not run.
int HostScriptRun(const std::string& script, const std::vector<std::wstring>& args,
                  std::string* output, DWORD timeout_ms = 120000);

// Whether file carries an Authenticode signature that the host's
// osslsigncode verifies against the certificate in certificate_pem (the
// test certificate signs itself). *report receives osslsigncode's output.
bool SignatureVerifies(const std::wstring& file, const std::wstring& certificate_pem,
                       std::string* report);

// Files of the stand-in signing tool, beside its executable.
#define SIGNTOOL_LOG_FILE L"signtool.log"        // what each run was given
#define SIGNTOOL_EXIT_FILE L"signtool.exit"      // "CODE [MILLISECONDS]": exit so
                                                 // (after so long) without signing
#define SIGNTOOL_OUTPUT_FILE L"signtool.out"     // osslsigncode's output, last run
#define SIGNTOOL_PLANTED_FILE L"signtool.planted"  // written by the planted build
#define SIGNTOOL_PID_FILE L"signtool.pid"        // the process id of the last run
#define SIGNTOOL_DAMAGE_FILE L"signtool.damage"  // cut what it signed to half

// Exit codes of the stand-in when it signs.
enum {
  SIGNTOOL_EXIT_USAGE = 2,    // no "sign", /f, /p, /fd sha256 or package, an
                              // unknown option, /tr without /td
  SIGNTOOL_EXIT_SIGNING = 3,  // osslsigncode failed or could not be run
  SIGNTOOL_EXIT_REPLACE = 4   // the signed file could not replace the package
};

// One run of the stand-in: its command line and the arguments
// CommandLineToArgvW made of it, the program's own name first.
struct SigntoolRun {
  std::wstring command_line;
  std::vector<std::wstring> args;
};

// Whether the last run of the stand-in in folder has ended (its process is
// gone), waiting up to timeout_ms; false also when it never wrote its id.
bool SigntoolEnded(const std::wstring& folder, DWORD timeout_ms);

// Appends one run to the log in folder.
bool SigntoolLogAppend(const std::wstring& folder, const SigntoolRun& run);

// The runs recorded in the log in folder, oldest first (none when there is
// no log).
std::vector<SigntoolRun> SigntoolLogRead(const std::wstring& folder);

}  // namespace signing_test
