// The editor's caption, its command-line project and the handed-over path.
#include "editor/desktop_rules.h"

#include <string.h>

#include "common/text.h"
#include "editor/editor_rules.h"

namespace {

const wchar_t kSeparator[] = L" - ";
const wchar_t kChangedMark[] = L" *";

}  // namespace

size_t editor_caption_format(const wchar_t* project_name, bool changed, wchar_t* out,
                             size_t cap) {
  const size_t mark = changed ? TextLength(kChangedMark) : 0;
  if (TextCopy(out, cap, EDITOR_CAPTION_PREFIX) < 0 || TextAppend(out, cap, kSeparator) < 0) {
    if (cap) out[0] = 0;
    return 0;
  }
  size_t n = TextLength(out);
  // The name gives way to the mark, which is written whole or not at all.
  for (size_t i = 0; project_name[i] && n + mark + 1 < cap; ++i) out[n++] = project_name[i];
  if (n + mark + 1 <= cap)
    for (size_t i = 0; i < mark; ++i) out[n++] = kChangedMark[i];
  out[n] = 0;
  return n;
}

const wchar_t* editor_args_project(int argc, wchar_t* const* argv) {
  if (argc != 1 || !argv[0][0] || argv[0][0] == L'/') return NULL;
  return argv[0];
}

bool editor_handover_take(uint32_t kind, const void* data, size_t size, wchar_t* out,
                          size_t cap) {
  if (cap) out[0] = 0;
  const size_t unit = sizeof(wchar_t);
  size_t length = size / unit;  // characters, the NUL included
  if (kind != EDITOR_HANDOVER_OPEN || !data || size % unit != 0 || length < 2 ||
      length > VT_PATH_MAX + 1 || length > cap)
    return false;
  memcpy(out, data, size);
  for (size_t i = 0; i + 1 < length; ++i)
    if (out[i] == 0) {
      out[0] = 0;
      return false;
    }
  if (out[length - 1] != 0) {
    out[0] = 0;
    return false;
  }
  return true;
}
