// The fixed file version of an image: read through the system's version
// functions, and rewritten in place for the silent marker. (The Installer
// reads versions by the PE walk, file_version_read of module_check.h.)
#pragma once

#include <windows.h>

// Statuses of the version routines; success is 0. They count down from -1
// on their own: -2 here is ST_VER_NO_INFO, not the document store's
// ST_DOC_LOAD of the same value.
enum {
  ST_VER_NO_FILE = -1,         // the file is missing
  ST_VER_NO_INFO = -2,         // it carries no version information
  ST_VER_READ = -3,            // the information cannot be read
  ST_VER_BEGIN = -4,           // stamp: the file cannot be opened for writing
  ST_VER_NO_TRANSLATION = -5,  // stamp: no language in the information
  ST_VER_UPDATE = -6,          // stamp: the fixed part is not where the system reads it
  ST_VER_END = -7,             // stamp: the new words cannot be written
};

// The four parts a.b.c.d of the fixed file version of an executable.
int read_version_parts(const wchar_t* path, int* a, int* b, int* c, int* d,
                       DWORD* sysError);

// Rewrites the fixed file version of an executable in place, leaving every
// other byte of the file where it is.
int stamp_silent_marker(const wchar_t* path, int a, int b, int c, int d,
                        DWORD* sysError);
