// Signing settings: composing the signing tool's arguments.
#include "editor/project/signing_settings.h"

#include <string.h>

#include "common/command_line.h"
#include "common/status.h"

namespace {

// One part of the arguments: an option, its value, or both.
struct ArgumentPart {
  const wchar_t* option;  // NULL: the value alone
  const wchar_t* value;   // NULL: the option alone
  bool present;
  bool literal;           // the value is a word of ours, written as it is
};

enum { ARGUMENT_PARTS = 9 };

// The digest algorithm of the file's signature and of the timestamp.
const wchar_t kDigest[] = L"sha256";

const wchar_t* text_or_empty(const wchar_t* text) { return text ? text : L""; }

// The parts in their order, with the password text to write.
void ArgumentParts(const SigningValues& values, const wchar_t* password,
                    ArgumentPart (&parts)[ARGUMENT_PARTS]) {
  const wchar_t* description = text_or_empty(values.description);
  const wchar_t* description_url = text_or_empty(values.description_url);
  const wchar_t* timestamp_url = text_or_empty(values.timestamp_url);
  bool timestamp = values.timestamp && timestamp_url[0] != 0;
  parts[0] = {L"/f", text_or_empty(values.certificate), true, false};
  parts[1] = {L"/a", nullptr, true, false};
  parts[2] = {L"/fd", kDigest, true, true};
  parts[3] = {L"/d", description, description[0] != 0, false};
  parts[4] = {L"/du", description_url, description_url[0] != 0, false};
  // An RFC 3161 timestamp server, asked for a SHA-256 timestamp.
  parts[5] = {L"/tr", timestamp_url, timestamp, false};
  parts[6] = {L"/td", kDigest, timestamp, true};
  parts[7] = {L"/p", text_or_empty(password), true, false};
  parts[8] = {nullptr, text_or_empty(values.package), true, false};
}

// Composes "sign" and the present parts into out (cap characters, at most
// SIGNING_ARGUMENTS_CAP). Returns the length or a status.
int Compose(const SigningValues& values, const wchar_t* password, wchar_t* out, size_t cap) {
  ArgumentPart parts[ARGUMENT_PARTS];
  ArgumentParts(values, password, parts);
  out[0] = 0;
  for (const ArgumentPart& part : parts)
    if (part.present && part.value && !part.literal && !CommandLineQuotable(part.value))
      return ST_SIGN_UNQUOTABLE;
  int length = CommandLineAppendSwitch(out, cap, L"sign");
  for (const ArgumentPart& part : parts) {
    if (!part.present || length < 0) continue;
    if (part.option) length = CommandLineAppendSwitch(out, cap, part.option);
    if (!part.value || length < 0) continue;
    length = part.literal ? CommandLineAppendSwitch(out, cap, part.value)
                          : CommandLineAppendQuoted(out, cap, part.value);
  }
  if (length <= 0) {
    out[0] = 0;
    return ST_SIGN_TOO_LONG;
  }
  return length;
}

// Whether a text field ends within its width.
template <size_t N>
bool Terminated(const char (&field)[N]) {
  return memchr(field, 0, N) != nullptr;
}

}  // namespace

int signing_settings_parse(const void* bytes, size_t size, SigningSettings* settings) {
  memset(settings, 0, sizeof *settings);
  if (size < SIGNING_SETTINGS_SIZE) return ST_SHORT_READ;
  SigningSettings record;
  memcpy(&record, bytes, SIGNING_SETTINGS_SIZE);
  if (!Terminated(record.tool_folder) || !Terminated(record.certificate) ||
      !Terminated(record.password) || !Terminated(record.description) ||
      !Terminated(record.description_url) || !Terminated(record.timestamp_url))
    return ST_SIGN_BAD_SETTINGS;
  *settings = record;
  memset(&record, 0, sizeof record);  // the password stays in one place only
  return ST_OK;
}

int signing_arguments_compose(const SigningValues& values, bool mask_password, wchar_t* out,
                              size_t cap) {
  if (cap == 0) return ST_SIGN_TOO_LONG;
  size_t limit = cap < SIGNING_ARGUMENTS_CAP ? cap : SIGNING_ARGUMENTS_CAP;
  if (!mask_password) return Compose(values, values.password, out, limit);
  // The real arguments decide the status; the masked line only has to fit
  // the caller's buffer (it is longer than the real one for a password of
  // fewer than three characters).
  wchar_t real[SIGNING_ARGUMENTS_CAP];
  int status = Compose(values, values.password, real, limit);
  if (status < 0) {
    out[0] = 0;
    return status;
  }
  return Compose(values, L"***", out, cap);
}
