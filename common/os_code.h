// Operating-system codes and the OS mask. Compiles without windows.h.
//
// The OS code reduces the running Windows version to a small integer:
// 1-7 the Windows 9x family, 101-109 the NT family up to Windows 7 and
// Windows 2008 R2, 0 anything else. The OS mask is the 15-character text
// "%c%c%c-%c%c%c-%c%c%c-%c%c%c" whose "1" characters allow versions.
#pragma once

enum {
  OS_UNKNOWN = 0,
  OS_WIN95 = 1,
  OS_WIN95_SP1 = 2,
  OS_WIN95_OSR2 = 3,
  OS_WIN98 = 4,
  OS_WIN98_SP1 = 5,
  OS_WIN98_SE = 6,
  OS_WINME = 7,
  OS_NT351 = 101,
  OS_NT40 = 102,
  OS_WIN2000 = 103,
  OS_WINXP = 104,
  OS_WIN2003 = 105,
  OS_VISTA = 106,
  OS_WIN7 = 107,
  OS_WIN2008 = 108,
  OS_WIN2008R2 = 109
};

// What GetVersionEx reports, reduced to the values the classification uses.
struct OsVersion {
  unsigned platform;     // dwPlatformId: 1 Windows 9x, 2 NT
  unsigned major;
  unsigned minor;
  unsigned build;        // low 16 bits of dwBuildNumber
  unsigned product_type; // wProductType; 1 is a workstation
};

// The OS code of a version.
int OsClassify(const OsVersion& version);

// Whether the code is one of the NT family (101-109).
inline bool OsIsNtFamily(int code) { return code >= OS_NT351 && code <= OS_WIN2008R2; }

// How the folders and registry keys that the programs create are protected
// on a system. Neither kind is a descriptor without an access list, which
// would let every local user rewrite what an administrator later runs.
enum OsProtection {
  // An access list of the programs' own, with the entry function the
  // system offers. Where it cannot be made, the object gets the default
  // security of its parent and the process token.
  OS_PROTECT_ACCESS_LIST,
  // No security attributes: the system keeps no access lists, and the
  // object is created as any other there.
  OS_PROTECT_NONE
};

// The protection for a code: none for the Windows 9x family, an access list
// for the NT family and for a code the table does not know, which is taken
// for a later NT version (the 9x family ended with Windows ME).
OsProtection OsProtectionOf(int code);

// The constant name of a code, "Unknown" for 0 and anything unrecognised.
const char* OsName(int code);

// Whether mask (a NUL-terminated text, narrow or UTF-16) allows the code: the
// code's position holds "1". A code without a position, or a position at or
// beyond the end of the text, is not allowed.
bool OsMaskAllows(const char* mask, int code);
bool OsMaskAllows(const wchar_t* mask, int code);

// Position of a code in the mask, or -1.
int OsMaskPosition(int code);

// The 15-character mask of a project's os_flags (its first ten characters).
// mask receives 16 bytes, terminator included.
void OsMaskFormat(const char* os_flags, char* mask);
