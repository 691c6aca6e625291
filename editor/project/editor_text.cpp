// Conversions between UTF-16 and code page 932 fields.
#include "editor/project/editor_text.h"

#include <windows.h>
#include <string.h>

#include "common/cp932.h"
#include "common/text.h"

enum { FIELD_MAX = 560 };

bool text_to_field(char* field, size_t size, const wchar_t* text) {
  if (size == 0 || size > FIELD_MAX) return false;
  // Each character takes at least one byte, so the first size characters
  // are always enough to fill the field.
  size_t length = TextLength(text);
  size_t take = length < size ? length : size;
  char bytes[2 * FIELD_MAX + 1];
  BOOL replaced = FALSE;
  int n = 0;
  if (take) {
    n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, static_cast<int>(take),
                            bytes, 2 * FIELD_MAX, NULL, &replaced);
    if (n <= 0) {
      memset(field, 0, size);
      return false;
    }
  }
  bytes[n] = 0;
  bool whole = Cp932FieldCopy(field, size, bytes);
  return whole && take == length && !replaced;
}

bool field_to_text(wchar_t* out, size_t cap, const char* field, size_t size) {
  if (cap == 0) return false;
  out[0] = 0;
  int length = static_cast<int>(TextLengthMax(field, size));
  if (length == 0) return true;
  int n = MultiByteToWideChar(CP_OEMCP, 0, field, length, out, static_cast<int>(cap) - 1);
  if (n <= 0) {
    out[0] = 0;
    return false;
  }
  out[n] = 0;
  return true;
}
