// Whether a file is a module the Installer can register and unregister,
// judged from its headers and export table without loading it.
#pragma once

#include <windows.h>
#include <stdint.h>

#include "package/pe_image.h"

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

// A stretch of an open file read as an image of its own: the bytes from
// base on, no more than length of them (a module inside the package, or a
// whole file with base 0).
struct FileSpan {
  HANDLE file;
  DWORD base;
  DWORD length;
};

// A reader of the span for the PE walks of pe_image.h; it moves the file
// pointer.
PeReader file_span_reader(FileSpan* span);

// The fixed file version of the image in the span, read by the PE walk
// (pe_file_version): true with dwFileVersionMS and dwFileVersionLS, false
// when it carries none.
bool file_version_read(FileSpan span, uint32_t* ms, uint32_t* ls);
