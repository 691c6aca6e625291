// The two-line split of the Installer's message texts.
#include "common/message_text.h"

#include "common/text.h"

namespace {

// Copies count characters of src into dst of cap characters. Returns false
// (dst empty) when they do not fit with their terminator.
bool CopyPart(wchar_t* dst, size_t cap, const wchar_t* src, size_t count) {
  if (cap == 0) return false;
  if (count + 1 > cap) {
    dst[0] = 0;
    return false;
  }
  for (size_t i = 0; i < count; ++i) dst[i] = src[i];
  dst[count] = 0;
  return true;
}

}  // namespace

bool MessageSplitTwoLines(const wchar_t* text, int status, unsigned error,
                          wchar_t* line1, size_t cap1, wchar_t* line2,
                          size_t cap2) {
  if (cap1) line1[0] = 0;
  if (cap2) line2[0] = 0;
  size_t cut = 0;
  while (text[cut] && text[cut] != L'$') ++cut;
  if (!text[cut]) return false;

  // The second line starts after the three characters "$-$". A text that
  // ends within them has an empty second line; nothing past its end is read.
  const wchar_t* second = text + cut;
  for (int skip = 0; skip < 3 && *second; ++skip) ++second;

  bool ok = CopyPart(line1, cap1, text, cut) &&
            TextCopy(line2, cap2, second) >= 0 &&
            TextFormat(line2 + TextLength(line2), cap2 - TextLength(line2),
                       L" - (%d, %d)", status, static_cast<int>(error)) >= 0;
  if (!ok) {
    if (cap1) line1[0] = 0;
    if (cap2) line2[0] = 0;
  }
  return ok;
}
