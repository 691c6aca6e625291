// Identification of the running Windows version, once at start-up.
#pragma once

#include <windows.h>

#include "common/os_code.h"

// Values set by OsIdentify and only read afterwards.
extern int OsCode;
extern LCID UserDefaultLcid;

// AddAccessAllowedAceEx of advapi32 (Windows 2000 and later), looked up on
// every system that gets an access list (OsProtectionOf):
// OS_ACE_PROC_UNSET (1) until looked up, then its address or NULL.
typedef BOOL(WINAPI* AddAceExFn)(PACL, DWORD, DWORD, DWORD, PSID);
extern AddAceExFn AddAceExProc;
#define OS_ACE_PROC_UNSET (reinterpret_cast<AddAceExFn>(static_cast<INT_PTR>(1)))

// Identifies the running system, records the user's default locale and,
// where access lists are built, looks up AddAceExProc.
// Returns the OS code; name, when given, receives its constant name.
int OsIdentify(const char** name);
