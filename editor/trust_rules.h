// Whether a file or folder can only have been written by the user the editor
// runs as, as far as its security says: the rule the editor applies before
// it takes signing settings (which name a program to start) from a file.
// Compiles without windows.h; editor/file_trust.cpp reads the security.
#pragma once

#include <stddef.h>
#include <stdint.h>

// Whose an owner or an access entry is.
enum TrustWho {
  TRUST_WHO_SELF,            // the user the process runs as
  TRUST_WHO_ADMINISTRATORS,  // the Administrators group
  TRUST_WHO_SYSTEM,          // the system itself
  TRUST_WHO_OTHER            // anyone else, a group included
};

// What kind of access entry it is.
enum TrustEntryKind {
  TRUST_ENTRY_ALLOW,        // a plain allow entry, its account read
  TRUST_ENTRY_ALLOW_OTHER,  // an allow entry of another form, its account not read
  TRUST_ENTRY_DENY,         // any deny entry
  TRUST_ENTRY_OTHER         // audit and alarm entries
};

struct TrustEntry {
  TrustEntryKind kind;
  TrustWho who;        // of a plain allow entry
  uint32_t mask;       // the rights it names
  bool inherit_only;   // it only passes on to new objects, not to this one
};

// The rights that let their holder change what a file holds or who may
// change it: FILE_WRITE_DATA, FILE_APPEND_DATA, WRITE_DAC, WRITE_OWNER,
// GENERIC_WRITE, GENERIC_ALL and MAXIMUM_ALLOWED; on a folder also
// FILE_DELETE_CHILD (removing a file of someone else to put one's own in
// its place). Deleting the file itself is not among them: a file put in its
// place belongs to whoever put it there.
enum : uint32_t {
  TRUST_FILE_WRITE_RIGHTS = 0x2u | 0x4u | 0x40000u | 0x80000u | 0x40000000u | 0x10000000u |
                            0x02000000u,
  TRUST_FOLDER_WRITE_RIGHTS = TRUST_FILE_WRITE_RIGHTS | 0x40u
};

// Whether only the user, Administrators and SYSTEM can have written the
// object: its owner is one of them, it has an access list (none grants
// everyone everything), and no entry that applies to the object itself
// allows anyone else one of the write rights. Deny entries are not counted
// on (a later allow entry may still grant what they deny to some); an allow
// entry whose account is not read counts against the object when it names
// a write right.
bool trust_only_ours(TrustWho owner, bool has_list, const TrustEntry* entries, size_t count,
                     bool folder);

// The root of the volume a full path lies on: "X:\" for "X:\..." (either
// slash), "\\server\share\" for "\\server\share\...". Returns false (out
// empty) for a path of another form or a root that does not fit cap.
bool trust_volume_root(const wchar_t* path, wchar_t* out, size_t cap);
