// Feeds arbitrary texts and buffer sizes to the two-line split: it must
// stay within its buffers and the text, and on success give back the text.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "common/message_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  size_t cap1 = data[0] % 40, cap2 = data[1] % 40;
  data += 2;
  size -= 2;
  // Every byte becomes one character, so "$" and "-" are easy to reach.
  std::wstring text(data, data + size);
  for (wchar_t& c : text)
    if (c == 0) c = L'$';
  // Exactly sized heap buffers let the sanitizer see any overrun.
  wchar_t* line1 = static_cast<wchar_t*>(malloc((cap1 ? cap1 : 1) * sizeof(wchar_t)));
  wchar_t* line2 = static_cast<wchar_t*>(malloc((cap2 ? cap2 : 1) * sizeof(wchar_t)));
  bool ok = MessageSplitTwoLines(text.c_str(), 7, 9, line1, cap1, line2, cap2);
  if (ok) {
    size_t cut = text.find(L'$');
    if (cut == std::wstring::npos || text.compare(0, cut, line1) != 0) abort();
    std::wstring second(line2);
    size_t suffix = second.rfind(L" - (7, 9)");
    if (suffix == std::wstring::npos || suffix + 9 != second.size()) abort();
    std::wstring rest = text.substr(cut + 3 < text.size() ? cut + 3 : text.size());
    if (second.compare(0, suffix, rest) != 0) abort();
  } else {
    if ((cap1 && line1[0]) || (cap2 && line2[0])) abort();
  }
  free(line1);
  free(line2);
  return 0;
}
