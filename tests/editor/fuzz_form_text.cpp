// Fuzzes the commit of typed text: any bytes normalised and stored into a
// field of each width. The result never grows, never begins with a
// backslash, keeps no run of backslashes outside double-byte characters,
// and the field always ends in a NUL on a whole character.
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "common/cp932.h"
#include "editor/form_rules.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const char* text = reinterpret_cast<const char*>(data);
  std::vector<char> out(size + 1);
  size_t n = form_text_normalise(text, size, out.data());
  if (n > size || out[n] != 0) abort();
  if (n && out[0] == '\\') abort();
  for (size_t i = 0; i < n;) {
    size_t c = Cp932CharSize(out.data(), n, i);
    if (c == 1 && out[i] == '\\' && i + 1 < n && out[i + 1] == '\\') abort();
    i += c;
  }
  for (int id : {1101, 1107}) {
    ProjectRecord record;
    project_record_clear(&record);
    const FormBinding& b = *form_binding_find(id);
    form_text_commit(&record, b, text, size);
    const char* field = form_field(&record, b);
    size_t stored = strnlen(field, b.width);
    if (stored >= b.width) abort();
    if (Cp932FitLength(field, stored, stored) != stored) abort();
  }
  return 0;
}
