// Code signing: the project's signing settings file and running the
// signing tool on a package.
//
// The tool is always started by its full path, "<tool folder>\signtool.exe"
// of the settings: the system is never asked to look for it, so a program
// of the same name in the current folder or on the program search path is
// never started instead. The process's environment is left alone.
#pragma once

#include <windows.h>

#include "common/text.h"
#include "editor/signing_settings.h"

// Statuses of starting a program and of a signing run. With the creation
// failures (-207 to -212) the system error is CreateProcessW's.
enum {
  ST_RUN_NO_PROGRAM = -202,      // program missing, not a full path, or 260
                                 // characters or more
  ST_RUN_BAD_ARGUMENTS = -203,   // arguments missing, empty or 2,048
                                 // characters or more (ST_SIGN_TOO_LONG)
  ST_RUN_NOT_FOUND = -207,       // ERROR_FILE_NOT_FOUND (2)
  ST_RUN_ACCESS_DENIED = -208,   // ERROR_ACCESS_DENIED (5)
  ST_RUN_INVALID = -209,         // ERROR_FILE_INVALID (1006)
  ST_RUN_CORRUPT = -210,         // ERROR_FILE_CORRUPT (1392)
  ST_RUN_NOT_EXECUTABLE = -211,  // ERROR_BAD_EXE_FORMAT (193)
  ST_RUN_FAILED = -212,          // any other failure to create the process
  ST_RUN_ENDED_EARLY = -213,     // the program ended within the polling second
  ST_SIGN_TOOL_FAILED = -214     // the signing tool ended with a non-zero exit
                                 // code (the system error is that code)
};

// Longest command line run_and_wait builds: the program between quotes, a
// space and the arguments, terminator included.
enum { RUN_COMMAND_LINE_CAP = VT_PATH_MAX + 3 + SIGNING_ARGUMENTS_CAP };

// The signing tool's command line as shown: "***" is up to three
// characters longer than the password it stands for.
enum { SIGN_SHOWN_LINE_CAP = RUN_COMMAND_LINE_CAP + 3 };

// Starts program (a full path, passed to the system as the program to
// start, so no search takes place) with the command line "program"
// arguments, detached from any console, in a new process group, with the
// editor's environment and current folder. Polls for its end at once and
// after each of nine pauses of 100 ms: if it has ended, returns
// ST_RUN_ENDED_EARLY with *exit_code. Otherwise waits for it without a time
// limit and returns 0 with *exit_code. The system error is 0 unless the
// process could not be created (or waited for: ST_RUN_FAILED).
int run_and_wait(const wchar_t* program, const wchar_t* arguments, DWORD* exit_code,
                 DWORD* sysError);

// Reads the signing settings file at path: its first 1,520 bytes
// (FileReadAll). Returns 0, or the file layer's status with the record
// cleared (ST_SHORT_READ for a shorter file).
int signing_settings_read(const wchar_t* path, SigningSettings* settings, DWORD* sysError);

// Writes the settings as the whole file at path: into a new file in the
// same folder that then takes path's place in one step, so a write that
// fails leaves an existing file whole. Returns 0 or the file layer's
// status.
int signing_settings_write(const wchar_t* path, const SigningSettings& settings,
                           DWORD* sysError);

// What a signing run shows to people.
struct SignRun {
  // The tool's command line with the password written as "***"; empty when
  // no command line could be composed.
  wchar_t command_line[SIGN_SHOWN_LINE_CAP];
  // The tool's exit code; 0 when it did not run.
  DWORD exit_code;
  // Whether the tool was started.
  bool started;
};

// Signs package in place with the tool and settings of the settings file
// at settings_path: reads the settings, composes the arguments (see
// signing_arguments_compose) and runs "<tool folder>\signtool.exe" with
// run_and_wait. Returns 0 when the tool ended with exit code 0 (early or
// not); ST_SIGN_TOOL_FAILED with the exit code in *sysError when it ended
// with another; ST_RUN_NO_PROGRAM for an empty tool folder; otherwise the
// failing step's status (settings file, composition, start). run may be
// NULL.
int sign_package(const wchar_t* settings_path, const wchar_t* package, SignRun* run,
                 DWORD* sysError);
