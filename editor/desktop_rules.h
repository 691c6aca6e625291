// The rules of the editor among the desktop's programs: the main window's
// caption, the project file named on the command line and the path a
// second start hands over to the running editor. Compiles without
// windows.h.
#pragma once

#include <stddef.h>
#include <stdint.h>

// The main window's caption: "Vantorel Install Editor - ", the project
// name and " *" while the project has unsaved changes, into out of cap
// characters. A name too long for out is cut (the mark is kept), so the
// caption always begins with what the running-editor search compares.
// Returns the caption's length (0 when cap cannot hold the prefix).
size_t editor_caption_format(const wchar_t* project_name, bool changed, wchar_t* out,
                             size_t cap);

// The project file a command line (argv without the program name) asks the
// editor to open: its one argument when that is no switch ("/..."); NULL
// for no argument, a switch, or more than one argument.
const wchar_t* editor_args_project(int argc, wchar_t* const* argv);

// What a second start hands over (the dwData of its WM_COPYDATA): a project
// file to open, as a full path.
enum : uint32_t { EDITOR_HANDOVER_OPEN = 0x504F5456 };  // "VTOP"

// Takes a handed-over path: kind must be EDITOR_HANDOVER_OPEN and data
// size bytes of UTF-16 text, not empty, no longer than the file layer
// accepts (259 characters), ending in its only NUL. The data may be
// unaligned. Returns false, out empty, for anything else; out holds at
// least 260 characters (cap).
bool editor_handover_take(uint32_t kind, const void* data, size_t size, wchar_t* out,
                          size_t cap);
