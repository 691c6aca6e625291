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

// The command line of a headless build:
//   /build <project file> [/out <folder>] [/name <setup program name>]
struct HeadlessArgs {
  const wchar_t* project;  // NULL when the command line asks for no build
  const wchar_t* output_folder;  // NULL: the project's installer folder
  const wchar_t* setup_name;     // NULL: the project's setup program name
};

// Results of parsing the arguments (argv without the program name).
enum {
  HEADLESS_NONE = 0,   // no "/build": the editor's window
  HEADLESS_BUILD = 1,  // a build; args filled
  HEADLESS_BAD = 2     // "/build" with arguments that make no build
};

int headless_args_parse(int argc, wchar_t* const* argv, HeadlessArgs* args);
