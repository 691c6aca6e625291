// Command lines for programs the system starts: each argument enclosed in
// double quotes so that the program reads it back as exactly one argument;
// and, for a program's own start, its arguments without its name.
// Compiles without windows.h.
//
// The rules are those of CommandLineToArgvW and of the C runtime's argv
// parser. Inside double quotes every character stands for itself except
// the double quote and the backslashes directly before one: 2n backslashes
// followed by a quote are read as n backslashes and the quote ends the
// argument. So a value without quotes is written as it is, except that a
// run of backslashes at its end is doubled before the closing quote
// ("C:\Tools\" is written "C:\Tools\\"). A value holding a double quote or
// a control character is refused rather than escaped: no file name can
// hold either, and a caller is better told that a typed value cannot be
// passed than left to start a program that reads it as something else.
#pragma once

#include <stddef.h>

// Whether value can be written as one quoted argument: it holds no double
// quote and no control character (below 0x20).
bool CommandLineQuotable(const wchar_t* value);

// Appends value as one quoted argument to the command line in line (cap
// characters, terminator included), after a single space when the line is
// not empty. Returns the new length, or -1 when the value is not quotable
// or the result does not fit; the line is then left as it was.
int CommandLineAppendQuoted(wchar_t* line, size_t cap, const wchar_t* value);

// Appends text as it stands (a switch such as "/f", or arguments that are
// quoted already) to the command line in line, after a single space when
// the line is not empty. Returns the new length, or -1 when the result
// does not fit; the line is then left as it was.
int CommandLineAppendSwitch(wchar_t* line, size_t cap, const wchar_t* text);

// The arguments of a program's own command line (as the system gives it
// the whole line): what follows the program name and the blanks after it,
// as the C runtime hands it to WinMain. The name runs to the first
// character up to a space (controls included) outside double quotes; a
// double quote inside it opens or closes a quoted part.
const wchar_t* CommandLineArguments(const wchar_t* line);
