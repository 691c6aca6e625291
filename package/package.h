// The package routines: writing an installer package (editor side) and
// reading its payload (Installer side).
//
// Layout of a package, N the image length, L the payload length:
//   0       N   the Installer image with its resources ("BINTYPE"/501 the
//               configuration document, "BINTYPE"/492 the banner, the
//               version resource whose fourth file-version part is the
//               silent marker)
//   N       4   L, unsigned 32-bit little-endian
//   N+4     L   the module file, byte for byte
//   N+4+L   ..  nothing, or the certificate table of a signed package
#pragma once

#include <windows.h>
#include <stdint.h>

#include "package/checksum.h"
#include "package/config_keys.h"

// Statuses of the package routines besides those of the file layer.
enum {
  ST_DOC_LOAD = -2,        // write_document_resource: document not loaded
  ST_RES_BEGIN = -556,     // BeginUpdateResource failed
  ST_RES_BAD_EXE = -558,   // ... because the file is not an executable
  ST_RES_UPDATE = -560,    // UpdateResource failed, update discarded
  ST_RES_END = -561,       // EndUpdateResource failed
  ST_VER_NO_FILE = -1,     // version: file missing
  ST_VER_NO_INFO = -2,     // version: no version information
  ST_VER_READ = -3,        // version: information not readable
  ST_VER_BEGIN = -4,       // stamp: BeginUpdateResource failed
  ST_VER_NO_TRANSLATION = -5,
  ST_VER_UPDATE = -6,
  ST_VER_END = -7,
  ST_IMAGE_CHANGED = -562,  // the package's length is no longer the image length
};


// Size of a file found by name (low 32 bits). 0, or -46, -45, -43, -49, -48.
// A path of 0 or more than 259 characters, or holding a wildcard, gives -48
// (ERROR_INVALID_NAME) without a search; a folder -43 (ERROR_ACCESS_DENIED);
// a file of 4 GiB or more ST_SIZE_FAILED (ERROR_FILE_TOO_LARGE).
int query_file_size(const wchar_t* path, DWORD* size, DWORD* sysError);
int query_file_size(const char* path, DWORD* size, DWORD* sysError);

// Package checksum of a whole file (ANSI path), read in 8,192-byte blocks.
// A failure leaves *value untouched.
int checksum_file(const char* path, uint32_t* value, DWORD* sysError);

// Stores the document file (ANSI path) as "BINTYPE"/501/1024 of the package.
// Returns 1 on success; ST_DOC_LOAD for a document that is missing or empty
// (an empty resource cannot be stored); ST_RES_BAD_EXE for a package that
// is no executable, whether or not the system says so.
int write_document_resource(const wchar_t* package, const char* document,
                            DWORD* sysError);

// Checks that the package is still image_length bytes long after the
// second store of the document: 0, ST_IMAGE_CHANGED (system error 0), or
// the status of query_file_size.
int check_image_length(const wchar_t* package, DWORD image_length,
                       DWORD* sysError);

// Appends the payload block (length and bytes of module) to the package.
// A module that does not exist appends nothing and returns 0 (the package
// is then not even opened). Exactly the announced length is copied: a
// module that shrinks meanwhile fails with ST_SHORT_READ.
int append_payload_block(const wchar_t* package, const wchar_t* module,
                         DWORD* sysError);

// The processor the programs are built for: the editor and the Installer
// it packages are built alike, and a module for another processor could
// never be loaded by the Installer.
#ifdef _WIN64
const uint16_t PACKAGE_MACHINE = 0x8664;
#else
const uint16_t PACKAGE_MACHINE = 0x14C;
#endif

// Judges the module file at path by reading its headers and export table
// (pe_module_check), never by loading it: PE_MODULE_OK when it is an image
// for PACKAGE_MACHINE that exports entry; otherwise why not, or
// PE_MODULE_NOT_IMAGE for a file that cannot be opened.
int module_check_file(const wchar_t* path, const char* entry);

// The four parts a.b.c.d of the fixed file version of an executable.
int read_version_parts(const wchar_t* path, int* a, int* b, int* c, int* d,
                       DWORD* sysError);

// Rewrites the fixed file version of an executable in place, leaving every
// other byte of the file where it is.
int stamp_silent_marker(const wchar_t* path, int a, int b, int c, int d,
                        DWORD* sysError);

// Copies the payload found at image_length of the open package into the
// open target (at its position; a new or emptied file), exactly the payload
// bytes, and returns their checksum in *checksum (also after a failure).
// The target's file pointer is then at its start.
int extract_payload_into(HANDLE package, DWORD image_length, HANDLE target, uint32_t* checksum,
                         DWORD* sysError);

// extract_payload_into with both files named. When held is given, the
// target stays open through *held for reading and writing, shared with
// readers only from the moment it was opened, so that nobody else can
// change the checked bytes until the caller closes it; the handle is at the
// start of the file. *held is NULL after a failure.
int extract_payload(const wchar_t* package, DWORD image_length,
                    const wchar_t* target, uint32_t* checksum, DWORD* sysError,
                    HANDLE* held = NULL);

// The four parts of the fixed file version of the open image (the version
// resource of its one language), read from its bytes. ST_VER_NO_INFO when
// it carries none. The file pointer is left at the start.
int read_version_parts_held(HANDLE file, int* a, int* b, int* c, int* d, DWORD* sysError);
