// The local time as a stamp of digits and fields, as the project list
// stores it. Compiles without windows.h.
#pragma once

#include <stddef.h>
#include <stdint.h>

// Local time as 14 UTF-16 digits without terminator, then seven 16-bit
// fields; the first field stands where a terminator of the text would.
struct TimeStamp {
  char16_t text[14];
  uint16_t year, month, day, hour, minute, second, weekday;
};
static_assert(sizeof(TimeStamp) == 42, "TimeStamp is 42 bytes");
static_assert(offsetof(TimeStamp, year) == 28, "year follows the 14 digits");
static_assert(offsetof(TimeStamp, weekday) == 40, "weekday is the last field");

// Fills a time stamp from the fields of a local time (weekday 0 = Sunday).
// Returns false, with fourteen "0" digits, when a field has more digits than
// its place in the text (a year past 9999).
bool TimeStampFill(TimeStamp* stamp, unsigned year, unsigned month,
                   unsigned day, unsigned hour, unsigned minute,
                   unsigned second, unsigned weekday);

// Fills stamp with the local time. Returns 0, or -1 when the clock stands
// past the year 9999 (the digits are then all "0").
int TimeStampMake(TimeStamp* stamp);
