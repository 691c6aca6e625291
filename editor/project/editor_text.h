// Moving text between the editor's UTF-16 strings and the code page 932
// fields of its records and files. Text goes in with the ANSI code page and
// comes back with the OEM code page; both are 932 on the systems served.
#pragma once

#include <stddef.h>

// Converts text into a fixed field of size bytes (at most 560), NUL-padded.
// A text that does not fit is shortened on a whole double-byte character
// and keeps a terminating NUL (Cp932FieldCopy). Returns true only when the
// field holds the whole text exactly: not shortened, and no character
// replaced because code page 932 lacks it. Callers that store a path treat
// false as a failure, since a changed path names another file.
bool text_to_field(char* field, size_t size, const wchar_t* text);

// Converts the text of a field (up to its first NUL, at most size bytes)
// into out of cap characters. Returns false, with out empty, when it does
// not fit.
bool field_to_text(wchar_t* out, size_t cap, const char* field, size_t size);
