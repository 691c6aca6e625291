// Code page 932 walking: fitting, field copies and separator search.
#include "common/cp932.h"

#include <string.h>

size_t Cp932FitLength(const char* text, size_t len, size_t max) {
  size_t i = 0;
  while (i < len) {
    size_t n = Cp932CharSize(text, len, i);
    if (i + n > max) break;
    i += n;
  }
  return i;
}

bool Cp932FieldCopy(char* field, size_t size, const char* text) {
  if (size == 0) return false;
  size_t len = strlen(text);
  size_t keep = Cp932FitLength(text, len, size - 1);
  memcpy(field, text, keep);
  memset(field + keep, 0, size - keep);
  return keep == len;
}

ptrdiff_t Cp932LastIndexOf(const char* text, size_t len, char c) {
  ptrdiff_t found = -1;
  for (size_t i = 0; i < len;) {
    size_t n = Cp932CharSize(text, len, i);
    if (n == 1 && text[i] == c) found = static_cast<ptrdiff_t>(i);
    i += n;
  }
  return found;
}
