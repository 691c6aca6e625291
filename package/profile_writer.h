// The configuration document's key writer: what the platform's profile
// writer does to an INI text in code page 932, on bytes in memory.
// Compiles without windows.h; package/profile_file.h applies it to a file.
//
// Writing a key changes one place of the document and leaves every other
// byte as it was (header comments, empty lines, the final CR LF):
//   - a key line of that name in the first section of that name gets the
//     new value in place of the text after its "=";
//   - otherwise a line "key=value" CR LF is added right after the last key
//     line of the section, or right after the header when the section has
//     no key line yet;
//   - a section the document lacks is appended at its end as "[section]"
//     CR LF "key=value" CR LF, after a CR LF when the text does not end a
//     line.
// Section and key names are compared with the ASCII letters folded to one
// case; double-byte characters compare byte for byte and are never taken
// apart, so their second bytes ("[" "]" and letters among them) are never
// read as brackets or folded. Blanks around a section name inside its
// brackets and around a key name before its "=" are not part of the name;
// whatever follows "]" on a header line is a comment.
#pragma once

#include <stddef.h>

// Statuses of the key writer.
enum {
  ST_PROFILE_NAME = -571,   // section or key cannot stand in a line as given
  ST_PROFILE_VALUE = -572,  // value missing, holding a line break, or ending
                            // in the first byte of a double-byte character
  ST_PROFILE_SPACE = -573   // the result does not fit the output buffer
};

// Finds the value of key in section: offset and length (up to the end of the
// line, CR LF excluded) of the text after the key line's "=". Returns false
// when the section or a key line of that name with "=" is not there.
bool profile_find_key(const char* text, size_t length, const char* section,
                      const char* key, size_t* value_offset,
                      size_t* value_length);

// Bytes the document can need after writing the key: an output capacity of
// this many bytes always suffices.
size_t profile_write_bound(size_t length, const char* section, const char* key,
                           const char* value);

// Writes key=value into section of the document text (length bytes) and
// puts the result into out (capacity bytes, which must not overlap text).
// Returns 0 with the result length in *out_length; ST_PROFILE_NAME or
// ST_PROFILE_VALUE for names and values that cannot be written; or
// ST_PROFILE_SPACE with the length needed in *out_length.
int profile_write_key(const char* text, size_t length, const char* section,
                      const char* key, const char* value, char* out,
                      size_t capacity, size_t* out_length);
