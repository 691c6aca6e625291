// The arithmetic of messages and window placement: the two-line split of
// the Installer's texts, dialog positions and the local time stamp.
// Compiles without windows.h.
#pragma once

#include <stddef.h>
#include <stdint.h>

// A point in screen pixels.
struct ScreenPoint {
  int x;
  int y;
};

// Splits a two-line text "first$-$second" at its first "$": line1 receives
// the part before it, line2 the part from the third character after it,
// followed by " - (%d, %d)" of status and error. Returns false, with both
// lines empty, when the text holds no "$" or a line does not fit its buffer.
bool MessageSplitTwoLines(const wchar_t* text, int status, unsigned error,
                          wchar_t* line1, size_t cap1, wchar_t* line2,
                          size_t cap2);

// Position of a dialog placed below a main window: centred horizontally
// over the main window (widths in pixels, division truncating toward zero),
// 180 pixels below the screen origin of its client area.
ScreenPoint PlaceBelowMain(ScreenPoint client_origin, int main_width,
                           int dialog_width);

// Position of a dialog centred over an owner's client origin plus offset.
ScreenPoint PlaceCentred(ScreenPoint client_origin, ScreenPoint offset,
                         int owner_width, int owner_height, int dialog_width,
                         int dialog_height);

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
