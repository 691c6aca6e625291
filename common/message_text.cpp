// The arithmetic of messages and window placement: the two-line split of
// the Installer's texts, dialog positions and the local time stamp.
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

// Halves a signed difference of pixel sizes, truncating toward zero, in a
// width that cannot overflow for any pair of int sizes.
long long HalfDifference(int a, int b) {
  return (static_cast<long long>(a) - b) / 2;
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

ScreenPoint PlaceBelowMain(ScreenPoint client_origin, int main_width,
                           int dialog_width) {
  ScreenPoint at;
  at.x = static_cast<int>(client_origin.x + HalfDifference(main_width, dialog_width));
  at.y = static_cast<int>(client_origin.y + 180LL);
  return at;
}

ScreenPoint PlaceCentred(ScreenPoint client_origin, ScreenPoint offset,
                         int owner_width, int owner_height, int dialog_width,
                         int dialog_height) {
  ScreenPoint at;
  at.x = static_cast<int>(static_cast<long long>(client_origin.x) + offset.x +
                          HalfDifference(owner_width, dialog_width));
  at.y = static_cast<int>(static_cast<long long>(client_origin.y) + offset.y +
                          HalfDifference(owner_height, dialog_height));
  return at;
}

bool TimeStampFill(TimeStamp* stamp, unsigned year, unsigned month,
                   unsigned day, unsigned hour, unsigned minute,
                   unsigned second, unsigned weekday) {
  // Each field must fit its digits: a year past 9999 would push the text
  // into the fields that follow it. Such a time gives fourteen zeros.
  bool ok = year <= 9999 && month <= 99 && day <= 99 && hour <= 99 &&
            minute <= 99 && second <= 99;
  // Formatted with a terminator of its own, then copied without it: the
  // field that follows the digits is where that terminator would stand.
  char16_t digits[15];
  ok = ok && TextFormat(digits, 15, u"%04d%02d%02d%02d%02d%02d",
                        static_cast<int>(year), static_cast<int>(month),
                        static_cast<int>(day), static_cast<int>(hour),
                        static_cast<int>(minute), static_cast<int>(second)) == 14;
  for (int i = 0; i < 14; ++i) stamp->text[i] = ok ? digits[i] : u'0';
  stamp->year = static_cast<uint16_t>(year);
  stamp->month = static_cast<uint16_t>(month);
  stamp->day = static_cast<uint16_t>(day);
  stamp->hour = static_cast<uint16_t>(hour);
  stamp->minute = static_cast<uint16_t>(minute);
  stamp->second = static_cast<uint16_t>(second);
  stamp->weekday = static_cast<uint16_t>(weekday);
  return ok;
}
