// Telling whether an open file or folder can only have been written by the
// user the editor runs as (or Administrators or SYSTEM), from its owner and
// its access list.
#pragma once

#include <windows.h>

// Whether handle (open with READ_CONTROL, which GENERIC_READ holds) names a
// file or folder that only the user, Administrators and SYSTEM can have
// written (trust_only_ours). path names it, for its volume. True where the
// question has no answer: on the Windows 9x family, which keeps no access
// lists, and on a volume that keeps none (FAT). False when the security
// cannot be read.
bool file_trusted(HANDLE handle, const wchar_t* path, bool folder);
