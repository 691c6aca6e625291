// Fuzzes the reading of a signing settings file and the tool's arguments
// composed from what was read: a record is taken whole or not at all, and
// the arguments of any record fit their buffer, masked or not, with the
// same status, the masked line never showing the password.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#include "common/status.h"
#include "editor/project/signing_settings.h"

namespace {

// A field's bytes as UTF-16, one character a byte: every byte value gets
// through to the composition, the quote and the control characters too.
template <size_t N>
void Widen(const char (&field)[N], wchar_t (&out)[N + 1]) {
  size_t i = 0;
  for (; i < N && field[i]; ++i) out[i] = static_cast<unsigned char>(field[i]);
  out[i] = 0;
}

template <size_t N>
bool Terminated(const char (&field)[N]) {
  return memchr(field, 0, N) != nullptr;
}

void CheckComposition(const SigningSettings& s) {
  static wchar_t certificate[257], password[41], description[65], url[129], timestamp[129];
  Widen(s.certificate, certificate);
  Widen(s.password, password);
  Widen(s.description, description);
  Widen(s.description_url, url);
  Widen(s.timestamp_url, timestamp);
  SigningValues values = {certificate, password,  description, url,
                          s.timestamp == 1, timestamp, L"C:\\out\\Setup.exe"};
  static wchar_t real[SIGNING_ARGUMENTS_CAP], shown[SIGNING_ARGUMENTS_CAP + 3];
  int n = signing_arguments_compose(values, false, real, SIGNING_ARGUMENTS_CAP);
  int m = signing_arguments_compose(values, true, shown, SIGNING_ARGUMENTS_CAP + 3);
  if ((n < 0) != (m < 0) || (n < 0 && n != m)) abort();
  if (n < 0) {
    if (real[0] || shown[0]) abort();
    return;
  }
  if (static_cast<size_t>(n) >= SIGNING_ARGUMENTS_CAP || real[n] != 0) abort();
  if (!wcsstr(shown, L" /p \"***\" ") || !wcsstr(real, L" /a /fd sha256 ")) abort();
  bool stamped = s.timestamp == 1 && timestamp[0];
  if ((wcsstr(real, L" /td sha256 ") != nullptr) != stamped) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  SigningSettings settings;
  memset(&settings, 0xCC, sizeof settings);
  int status = signing_settings_parse(data, size, &settings);
  if (status != ST_OK) {
    if (status != ST_SHORT_READ && status != ST_SIGN_BAD_SETTINGS) abort();
    for (size_t i = 0; i < sizeof settings; ++i)
      if (reinterpret_cast<const uint8_t*>(&settings)[i]) abort();
    return 0;
  }
  if (size < SIGNING_SETTINGS_SIZE || memcmp(&settings, data, sizeof settings) != 0) abort();
  if (!Terminated(settings.tool_folder) || !Terminated(settings.password) ||
      !Terminated(settings.timestamp_url))
    abort();
  CheckComposition(settings);
  return 0;
}
