// Command lines: quoting arguments, and finding a program's own arguments.
#include "common/command_line.h"

#include "common/text.h"

namespace {

// Length of the terminated text in line, or -1 when cap holds no
// terminator.
int UsedLength(const wchar_t* line, size_t cap) {
  size_t used = TextLengthMax(line, cap);
  return used < cap ? static_cast<int>(used) : -1;
}

}  // namespace

bool CommandLineQuotable(const wchar_t* value) {
  for (const wchar_t* p = value; *p; ++p)
    if (*p == L'"' || *p < 0x20) return false;
  return true;
}

int CommandLineAppendQuoted(wchar_t* line, size_t cap, const wchar_t* value) {
  int used = UsedLength(line, cap);
  if (used < 0 || !CommandLineQuotable(value)) return -1;
  size_t length = TextLength(value);
  size_t trailing = 0;
  while (trailing < length && value[length - 1 - trailing] == L'\\') ++trailing;
  // Separator, two quotes, the value, its trailing backslashes once more,
  // and the terminator.
  size_t need = (used ? 1 : 0) + 2 + length + trailing + 1;
  if (need > cap - static_cast<size_t>(used)) return -1;
  wchar_t* out = line + used;
  if (used) *out++ = L' ';
  *out++ = L'"';
  for (size_t i = 0; i < length; ++i) *out++ = value[i];
  for (size_t i = 0; i < trailing; ++i) *out++ = L'\\';
  *out++ = L'"';
  *out = 0;
  return static_cast<int>(out - line);
}

int CommandLineAppendSwitch(wchar_t* line, size_t cap, const wchar_t* text) {
  int used = UsedLength(line, cap);
  if (used < 0) return -1;
  size_t length = TextLength(text);
  size_t need = (used ? 1 : 0) + length + 1;
  if (need > cap - static_cast<size_t>(used)) return -1;
  wchar_t* out = line + used;
  if (used) *out++ = L' ';
  for (size_t i = 0; i < length; ++i) *out++ = text[i];
  *out = 0;
  return static_cast<int>(out - line);
}

const wchar_t* CommandLineArguments(const wchar_t* line) {
  bool quoted = false;
  for (; *line && (quoted || *line > L' '); ++line)
    if (*line == L'"') quoted = !quoted;
  while (*line && *line <= L' ') ++line;
  return line;
}
