// The key writer of package/profile_writer.h applied to a document file, in
// place of the platform's profile writer (which on some systems rewrites
// the whole file and loses its comments and empty lines).
#pragma once

#include <windows.h>

#include "package/build_keys.h"
#include "package/profile_writer.h"

// Writes key=value into section of the document file (ANSI path), creating
// the file when it does not exist. Only the bytes from the first changed
// one onwards are written; the file is first grown to its new length, so a
// full disk fails before anything of the document has changed. Returns 0,
// a status of the file layer, or one of the key writer's statuses.
int profile_write_file(const char* path, const char* section, const char* key,
                       const char* value, DWORD* sysError);

// Writes count keys into the document file in order, as profile_write_file
// writes one, reading and writing the file once.
int profile_write_file_keys(const char* path, const PackageKey* keys, int count,
                            DWORD* sysError);
