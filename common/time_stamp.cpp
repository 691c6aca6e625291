// The local time stamp's digits and fields.
#include "common/time_stamp.h"

#include "common/text.h"

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
