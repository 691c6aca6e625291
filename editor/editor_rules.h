// Small rules of the editor's start-up and command line. Compiles without
// windows.h.
#pragma once

#include <stddef.h>

// The caption every main window begins with; a top-level window whose
// caption begins with it, in any letter case, is taken for a running
// editor.
#define EDITOR_CAPTION_PREFIX L"Vantorel Install Editor"
enum { EDITOR_CAPTION_PREFIX_LENGTH = 23 };

// Compares the first n characters of text and reference with "a"-"z"
// folded to upper case (in the reference, a character whose low byte is
// 0x61-0x7A counts as a lower-case letter), each cut at n characters and
// at 279. Returns 0 when they are equal; a text shorter than n never
// equals a reference of length n.
int compare_prefix_nocase(const wchar_t* text, const wchar_t* reference, size_t n);

// The name of a work folder from a temporary file name made in the current
// folder: the text after its last "\" (looking at no more than 256
// characters), cut at its first "." (within 256). Returns false when
// nothing is left or it does not fit cap.
bool work_folder_name(const wchar_t* temp_file, wchar_t* name, size_t cap);

// Whether two texts are the same with the letters a-z and A-Z taken as
// equal, as the system compares file names (other letters compared as
// they are).
bool text_same_nocase(const wchar_t* a, const wchar_t* b);

// The command line of a headless build:
//   /build <project file> [/out <folder>] [/name <setup program name>]
//          [/signtimeout <seconds>]
// Each option may be given once, in any order after "/build"; option names
// in any letter case.
struct HeadlessArgs {
  const wchar_t* project;  // NULL when the command line asks for no build
  const wchar_t* output_folder;  // NULL: the project's installer folder
  const wchar_t* setup_name;     // NULL: the project's setup program name
  unsigned sign_timeout;         // seconds the signing tool may take; 0: the default
};

// Longest time limit of the signing tool that /signtimeout takes: a day.
enum { HEADLESS_SIGN_TIMEOUT_MAX = 86400 };

// Reads a time limit in seconds: decimal digits only, from 1 to
// HEADLESS_SIGN_TIMEOUT_MAX. Returns 0 for anything else.
unsigned headless_seconds_parse(const wchar_t* text);

// Results of parsing the arguments (argv without the program name).
enum {
  HEADLESS_NONE = 0,   // no "/build": the editor's window
  HEADLESS_BUILD = 1,  // a build; args filled
  HEADLESS_BAD = 2     // "/build" with arguments that make no build
};

int headless_args_parse(int argc, wchar_t* const* argv, HeadlessArgs* args);
