// The three groups of the access-control routines, in their order:
// Administrators, SYSTEM and Authenticated Users, by their well-known
// identifiers (S-1-5-32-544, S-1-5-18, S-1-5-11), which are the same on
// every system whatever the groups are called there. Only tests replace
// an entry, to see what a group that cannot be made does to a build.
#pragma once

enum { SECURITY_GROUP_COUNT = 3, SECURITY_GROUP_USERS = 2 };

// A SID of the NT authority (5): its sub-authorities, 1 or 2 of them. A
// count of 0 is a group that cannot be made.
struct SecurityGroupSid {
  unsigned char count;
  unsigned long rids[2];
};

extern SecurityGroupSid SecurityGroups[SECURITY_GROUP_COUNT];
