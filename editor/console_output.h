// Lines where a program's output goes, as the system's console programs
// write them: UTF-16 to a console, the ANSI code page to a file or pipe.
// The headless build and the console launcher write through it.
#pragma once

#include <windows.h>

// Finds where the lines go: the standard output the program was given (a
// console, a file or a pipe), else, with attach, the console of the
// program that started it (a window program started from a prompt). With
// neither the lines go nowhere.
void console_output_open(bool attach);

// Writes text and a line end. A line that cannot be written is lost.
void console_line(const wchar_t* text);

// Closes a console that console_output_open opened itself.
void console_output_close();
