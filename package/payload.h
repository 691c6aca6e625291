// The payload block of a package: appended after the image by the build,
// copied out again by the Installer. Statuses are the file layer's
// (common/status.h); 0 is success.
#pragma once

#include <windows.h>
#include <stdint.h>

// Package checksum of a whole file (ANSI path). A failure leaves *value
// untouched.
int checksum_file(const char* path, uint32_t* value, DWORD* sysError);

// Appends the payload block (length and bytes of module) to the package.
// A module that does not exist appends nothing and returns 0 (the package
// is then not even opened). Exactly the announced length is copied: a
// module that shrinks meanwhile fails with ST_SHORT_READ.
int append_payload_block(const wchar_t* package, const wchar_t* module,
                         DWORD* sysError);

// Copies the payload found at image_length of the open package into the
// open target (at its position; a new or emptied file), exactly the payload
// bytes, and returns their checksum in *checksum (also after a failure).
// The target's file pointer is then at its start.
int extract_payload_into(HANDLE package, DWORD image_length, HANDLE target, uint32_t* checksum,
                         DWORD* sysError);

// Finds the payload at image_length of the open package without copying it:
// its file offset and length, and with checksum given, the checksum of its
// bytes, read in one pass (without, they are not read: the length is the
// announced one, bounded by what the file holds). A length field of 0 takes
// all that follows it. A package that ends inside the payload gives the
// bytes it holds (and their checksum, which then tells); one that ends
// before the length field fails with ST_SHORT_READ.
int payload_locate(HANDLE package, DWORD image_length, DWORD* offset, DWORD* length,
                   uint32_t* checksum, DWORD* sysError);

// extract_payload_into with both files named. When held is given, the
// target stays open through *held for reading and writing, shared with
// readers only from the moment it was opened, so that nobody else can
// change the checked bytes until the caller closes it; the handle is at the
// start of the file. *held is NULL after a failure.
int extract_payload(const wchar_t* package, DWORD image_length,
                    const wchar_t* target, uint32_t* checksum, DWORD* sysError,
                    HANDLE* held = NULL);
