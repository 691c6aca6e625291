// Finding a resource's bytes inside an executable file, so that the silent
// marker can be stamped into the version resource where it lies. Compiles
// without windows.h; every offset is checked against the bytes given.
//
//   file offset 0       "MZ" header, e_lfanew at 0x3C
//   e_lfanew            "PE\0\0", file header (20 bytes), optional header
//                       (PE32 or PE32+) with the data directories, the
//                       section table (40 bytes a section)
//   resource section    a three-level directory: type, name, language; the
//                       leaves give the RVA and size of each resource's data
#pragma once

#include <stddef.h>
#include <stdint.h>

// A section of the image: where it lies in memory and in the file.
struct PeSection {
  uint32_t virtual_address;
  uint32_t virtual_size;
  uint32_t raw_offset;
  uint32_t raw_size;
};

// Whether the first bytes of a file begin a PE image: "MZ", and "PE\0\0"
// with a file header where e_lfanew points.
bool pe_is_image(const uint8_t* head, size_t length);

// From the first bytes of the file (headers and section table): the RVA of
// the resource directory and the section that holds it. False when the bytes
// are no PE image, it has no resource directory, or no section holds it.
bool pe_resource_section(const uint8_t* head, size_t length, uint32_t* rsrc_rva,
                         PeSection* section);

// The file offset of the RVA range [rva, rva + size) when it lies wholly in
// the raw data of section.
bool pe_file_offset(const PeSection& section, uint32_t rva, uint32_t size,
                    uint32_t* offset);

// Looks up the resource of numeric type, name and language in the resource
// directory whose bytes start at rsrc (length bytes, offsets inside count
// from there). When no entry has that language and the name has exactly
// one, that one is taken. Gives the RVA and size of its data.
bool pe_resource_data(const uint8_t* rsrc, size_t length, uint16_t type,
                      uint16_t name, uint16_t language, uint32_t* data_rva,
                      uint32_t* data_size);

// Offset of the fixed part (the 52-byte record that starts with 0xFEEF04BD)
// in a version block: after the three 16-bit header words and the
// zero-terminated UTF-16 key, rounded up to a multiple of four bytes.
bool version_fixed_offset(const uint8_t* block, size_t length, size_t* offset);

// Offsets inside the fixed part of the two file-version double words.
enum { VERSION_FILE_MS = 8, VERSION_FILE_LS = 12, VERSION_FIXED_SIZE = 52 };

// Reads up to count bytes at a file offset into out; returns how many came
// (fewer at the end of the file).
struct PeReader {
  uint32_t (*read)(void* context, uint32_t offset, void* out, uint32_t count);
  void* context;
};

// Results of pe_module_check.
enum {
  PE_MODULE_OK = 0,
  PE_MODULE_NOT_IMAGE = 1,  // no PE image, or headers that do not hold together
  PE_MODULE_MACHINE = 2,    // an image for another processor
  PE_MODULE_NO_EXPORT = 3   // the name is not among its exported names
};

// Judges a module by reading its file, never by loading it: a PE image for
// machine (0x14C i386, 0x8664 x86-64) whose export directory names name.
int pe_module_check(const PeReader& reader, uint16_t machine, const char* name);

// Finds the fixed part of the version resource (RT_VERSION, name 1, in
// language, or in the one language it has) by reading the image through
// reader, a few hundred bytes whatever the size of its resource section:
// its file offset in *at and its 52 bytes in fixed. False when the image
// has none where its headers say.
bool pe_version_find(const PeReader& reader, uint16_t language, uint32_t* at,
                     uint8_t fixed[VERSION_FIXED_SIZE]);

// The fixed file version of the image read through reader (the version
// resource of its one language): dwFileVersionMS and dwFileVersionLS.
// False when it carries none.
bool pe_file_version(const PeReader& reader, uint32_t* ms, uint32_t* ls);
