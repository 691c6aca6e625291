// Code signing: the project's signing settings files and running the
// signing tool on a package.
//
// The tool is always started by its full path, "<tool folder>\signtool.exe"
// of the settings: the system is never asked to look for it, so a program
// of the same name in the current folder or on the program search path is
// never started instead. The process's environment is left alone.
//
// The settings name the program a build starts, so they are the user's
// alone: "codesign.txt" and the password file beside it, "codesign.pwd",
// are written with an access list of the user, Administrators and SYSTEM,
// and a signing run refuses either when someone else could have written
// it. The password is kept encrypted for the user (CryptProtectData) in
// the password file, and the record's password field stays empty; a record
// that still holds a password (written before passwords were kept so) is
// used as it is and loses it at the next registration. The decrypted
// password is cleared from memory once the tool has run.
//
// Systems before Windows 2000 have no CryptProtectData, and the Windows 9x
// family keeps no access lists: there the record keeps the password, as
// before, and the files get no list and are not checked (crypt32 and its
// functions are looked up when first used).
#pragma once

#include <windows.h>

#include "common/text.h"
#include "editor/project/signing_settings.h"

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
  ST_SIGN_TOOL_FAILED = -214,    // the signing tool ended with a non-zero exit
                                 // code (the system error is that code)
  ST_RUN_TIMED_OUT = -216,       // the program still ran at its time limit and
                                 // was ended (system error WAIT_TIMEOUT)
  ST_SIGN_UNTRUSTED = -217,      // a settings file another user could have
                                 // written
  ST_SIGN_FOREIGN = -218,        // the project names settings that are not its
                                 // own "codesign.txt"
  ST_SIGN_PASSWORD = -219        // the password cannot be read or decrypted
};

// How long the signing tool may run when nothing else is said: 10 minutes.
enum { SIGNING_TIME_LIMIT_DEFAULT = 600 };  // seconds

// Longest command line run_and_wait builds: the program between quotes, a
// space and the arguments, terminator included.
enum { RUN_COMMAND_LINE_CAP = VT_PATH_MAX + 3 + SIGNING_ARGUMENTS_CAP };

// The signing tool's command line as shown: "***" is up to three
// characters longer than the password it stands for.
enum { SIGN_SHOWN_LINE_CAP = RUN_COMMAND_LINE_CAP + 3 };

// Starts program (a full path, passed to the system as the program to
// start, so no search takes place) with the command line "program"
// arguments, detached from any console, in a new process group, with the
// editor's environment and current folder. Waits for its end up to the
// first second (or limit_ms, when shorter): if it has ended, returns
// ST_RUN_ENDED_EARLY with *exit_code. Otherwise waits for it until
// limit_ms have passed since the start (INFINITE: no limit) and returns 0
// with *exit_code; a program still running then is ended and gives
// ST_RUN_TIMED_OUT. The system error is 0 unless the process could not be
// created (or waited for, or its exit code read: ST_RUN_FAILED). The
// command line is cleared from memory before it returns: it may hold a
// password.
int run_and_wait(const wchar_t* program, const wchar_t* arguments, DWORD limit_ms,
                 DWORD* exit_code, DWORD* sysError);

// Reads the signing settings at path with their password, for showing them:
// its first 1,520 bytes (signing_settings_parse), and the password from the
// record or, when the record holds none, decrypted from the password file
// beside it (left empty when that cannot be read or decrypted). Nobody's
// writing is checked. Returns 0, or the file layer's status or
// ST_SIGN_BAD_SETTINGS with the record cleared (ST_SHORT_READ for a
// shorter file).
int signing_settings_read(const wchar_t* path, SigningSettings* settings, DWORD* sysError);

// The same for a signing run: refuses a record or password file that
// another user could have written (ST_SIGN_UNTRUSTED, file_trusted) and a
// password that cannot be had (ST_SIGN_PASSWORD, with the system error).
int signing_settings_read_trusted(const wchar_t* path, SigningSettings* settings,
                                  DWORD* sysError);

// Writes the settings at path and the password file beside it, each as a
// new file with the user's own access list that then takes the old one's
// place in one step, so a write that fails leaves an existing file whole:
// the password encrypted first, then the record with an empty password
// field. Where the password cannot be encrypted the record keeps it and a
// password file left from before is removed. Returns 0 or the file
// layer's status (ST_SIGN_PASSWORD when the encryption fails).
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
// at settings_path: reads the settings (signing_settings_read_trusted),
// composes the arguments (see signing_arguments_compose) and runs
// "<tool folder>\signtool.exe" with run_and_wait for at most limit_ms.
// Returns 0 when the tool ended with exit code 0 (early or not);
// ST_SIGN_TOOL_FAILED with the exit code in *sysError when it ended with
// another; ST_RUN_TIMED_OUT when it was ended at the limit;
// ST_RUN_NO_PROGRAM for an empty tool folder; otherwise the failing step's
// status (settings files, composition, start). run may be NULL.
int sign_package(const wchar_t* settings_path, const wchar_t* package, DWORD limit_ms,
                 SignRun* run, DWORD* sysError);
