// Fuzzes the Installer's readers of untrusted text: the command line and
// the names taken from a package's configuration document, and the log's
// escaping of them.
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include "common/text.h"
#include "installer/rules.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Two bytes per character, as the program sees UTF-16 text.
  wchar_t line[600];
  size_t n = size / 2 < 599 ? size / 2 : 599;
  for (size_t i = 0; i < n; ++i) line[i] = static_cast<wchar_t>(data[2 * i] | data[2 * i + 1] << 8);
  line[n] = 0;

  // The switches come out of the line whole: what is left is never longer
  // than the line, and a log path always fits a path.
  CommandSwitches switches;
  command_line_switches(line, &switches);
  if (TextLength(switches.rest) > n || TextLength(switches.log_path) >= COMMAND_LOG_CAP)
    __builtin_trap();

  // An escaped log line holds no control character and fits its buffer.
  wchar_t escaped[64];
  size_t k = log_text_escape(line, escaped, 64);
  if (k >= 64 || TextLength(escaped) != k) __builtin_trap();
  for (size_t i = 0; i < k; ++i)
    if (escaped[i] < 0x20 || (escaped[i] >= 0x7F && escaped[i] <= 0x9F)) __builtin_trap();
  folder_is_absolute(line);

  wchar_t guid[256];
  if (command_line_is_uninstall(line)) {
    command_line_guid(line, guid, 256);
    if (guid_is_braced(guid)) {
      wchar_t key[VT_PATH_CAP];
      if (compose_uninstall_key(key, VT_PATH_CAP, guid) < 0) __builtin_trap();
    }
  }
  if (file_name_is_plain(line)) {
    for (const wchar_t* p = line; *p; ++p)
      if (*p == L'\\' || *p == L'/' || *p == L':') __builtin_trap();
    wchar_t target[VT_PATH_CAP];
    int length = compose_target_path(target, VT_PATH_CAP, L"C:\\windows\\system32", line);
    if (length > VT_PATH_MAX) __builtin_trap();
  }
  return 0;
}
