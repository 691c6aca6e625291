// Starting a program and waiting for it: the one runner of the Installer's
// registration program, the editor's signing tool and the editor's console
// launcher.
//
// The program is always named by its full path as the application to
// start, so the system starts exactly that file and searches neither the
// current folder nor the program search path. The child inherits no handle
// but, when asked for, this process's standard handles.
#pragma once

#include <windows.h>

#include "common/status.h"

// Whether path is "X:\..." (either slash) or "\\server\...": a path the
// system takes as it is, never relative to the current folder.
bool PathIsFull(const wchar_t* path);

// How a child is started.
struct ProcessLaunch {
  const wchar_t* program;  // full path of the file to start
  wchar_t* command_line;   // the whole command line, program first; the
                           // system may write into it
  const wchar_t* folder;   // the child's current folder; NULL: the caller's
  DWORD creation_flags;    // CreateProcessW's flags
  int show;                // SW_* for the child's first window; -1: none given
};

// Starts the child and hands back its process handle (the thread handle is
// closed at once). Returns 0, ST_PROC_BAD_PROGRAM (system error 0) for a
// program that is missing, not a full path or longer than 259 units
// (nothing is started), or ST_PROC_START with CreateProcessW's error.
int ProcessStart(const ProcessLaunch& launch, HANDLE* process, DWORD* sysError);

// ProcessStart for a child that writes where this process writes: it gets
// this process's standard input, output and error, inherited.
int ProcessStartSharingStdHandles(const ProcessLaunch& launch, HANDLE* process,
                                  DWORD* sysError);

// Waits at most limit milliseconds (INFINITE: as long as it takes) for the
// child to end and reads its exit code. Returns 0 with *exitCode set,
// ST_PROC_RUNNING (system error WAIT_TIMEOUT) when it still runs at the
// limit, or ST_PROC_WAIT when the wait or the exit code fails: a child
// whose code cannot be read is never taken to have ended with 0.
int ProcessWait(HANDLE process, DWORD limit, DWORD* exitCode, DWORD* sysError);

// Ends a child that still runs (its exit code then ERROR_TIMEOUT) and
// waits briefly for it to go. Returns false when it could not be ended.
bool ProcessEnd(HANDLE process);

// ProcessStart, then ProcessWait with the limit; a child still running at
// the limit is ended when endAtLimit is true and left running otherwise.
// The process handle is closed before it returns. Returns ProcessStart's
// or ProcessWait's status.
int ProcessRun(const ProcessLaunch& launch, DWORD limit, bool endAtLimit, DWORD* exitCode,
               DWORD* sysError);
