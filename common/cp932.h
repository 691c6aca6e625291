// Walking code page 932 text byte by byte without splitting a double-byte
// character. Compiles without windows.h.
//
// A lead byte (0x81-0x9F, 0xE0-0xFC) followed by a trail byte (0x40-0x7E,
// 0x80-0xFC) is one character. The trail range includes 0x5C, the backslash,
// so a separator search must skip trail bytes ("ソ" is 0x83 0x5C).
#pragma once

#include <stddef.h>

inline bool Cp932IsLead(unsigned char b) {
  return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

inline bool Cp932IsTrail(unsigned char b) {
  return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC);
}

// Number of bytes of the character that starts at text[i] within len bytes:
// 2 for a lead byte followed by a trail byte, otherwise 1.
inline size_t Cp932CharSize(const char* text, size_t len, size_t i) {
  auto b = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  return (i + 1 < len && Cp932IsLead(b(i)) && Cp932IsTrail(b(i + 1))) ? 2 : 1;
}

// Length of the longest prefix of text (len bytes) that holds no more than
// max bytes and ends on a whole character.
size_t Cp932FitLength(const char* text, size_t len, size_t max);

// Copies the NUL-terminated text into a fixed field of size bytes and pads
// it with NULs. A text that does not fit is shortened on a whole character
// so that at least one NUL ends the field. Returns true when the whole text
// fit. This is the one routine by which text enters a fixed record field.
bool Cp932FieldCopy(char* field, size_t size, const char* text);

// Offset of the last byte equal to c (an ASCII character such as '\\') in
// text (len bytes) that is not the second byte of a double-byte character,
// or -1 when there is none.
ptrdiff_t Cp932LastIndexOf(const char* text, size_t len, char c);
