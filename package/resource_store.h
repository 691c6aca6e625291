// The configuration document stored as a resource of the package's image,
// and the check that the image kept its length.
#pragma once

#include <windows.h>

// Statuses of write_document_resource, whose success is 1 (not 0): the
// value the build's step reports as "stored". Failures are negative; the
// values are those the build's failure texts show.
enum {
  ST_DOC_LOAD = -2,        // the document is missing or empty (a value the
                           // version family uses too: ST_VER_NO_INFO)
  ST_RES_BEGIN = -556,     // BeginUpdateResource failed
  ST_RES_BAD_EXE = -558,   // ... because the file is not an executable
  ST_RES_UPDATE = -560,    // UpdateResource failed, update discarded
  ST_RES_END = -561,       // EndUpdateResource failed
};
const int ST_DOC_STORED = 1;

// Status of check_image_length besides the file layer's; success is 0.
enum { ST_IMAGE_CHANGED = -562 };  // the package's length is no longer the image length

// Stores the document file (ANSI path) as "BINTYPE"/501/1024 of the package.
// Returns ST_DOC_STORED; ST_DOC_LOAD for a document that is missing or
// empty (an empty resource cannot be stored); ST_RES_BAD_EXE for a package
// that is no executable, whether or not the system says so.
int write_document_resource(const wchar_t* package, const char* document,
                            DWORD* sysError);

// Checks that the package is still image_length bytes long after the
// second store of the document: 0, ST_IMAGE_CHANGED (system error 0), or
// the status of query_file_size.
int check_image_length(const wchar_t* package, DWORD image_length,
                       DWORD* sysError);
