// Fuzzes the path a second start hands over: any kind and bytes. A path is
// taken only whole (its one NUL at the end, at most 259 characters) and
// copied exactly; anything else leaves the empty text.
#include <stdlib.h>
#include <string.h>

#include "common/text.h"
#include "editor/desktop_rules.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  uint32_t kind = EDITOR_HANDOVER_OPEN;
  if (size > 0 && data[0] == 0xFF) kind = 0;  // now and then another kind
  wchar_t out[VT_PATH_CAP];
  bool taken = editor_handover_take(kind, size ? data : NULL, size, out, VT_PATH_CAP);
  size_t length = TextLengthMax(out, VT_PATH_CAP);
  if (!taken) {
    if (length != 0) abort();
    return 0;
  }
  if (kind != EDITOR_HANDOVER_OPEN || length == 0 || length > VT_PATH_MAX) abort();
  if ((length + 1) * sizeof(wchar_t) != size) abort();
  if (memcmp(out, data, size) != 0) abort();
  return 0;
}
