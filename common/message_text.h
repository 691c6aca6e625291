// The two-line split of the Installer's message texts. Compiles without
// windows.h.
#pragma once

#include <stddef.h>

// Splits a two-line text "first$-$second" at its first "$": line1 receives
// the part before it, line2 the part from the third character after it,
// followed by " - (%d, %d)" of status and error. Returns false, with both
// lines empty, when the text holds no "$" or a line does not fit its buffer.
bool MessageSplitTwoLines(const wchar_t* text, int status, unsigned error,
                          wchar_t* line1, size_t cap1, wchar_t* line2,
                          size_t cap2);
