// The names by which the access-control routines look up their three
// groups, in their order: "Administrators", "SYSTEM", "Authenticated
// Users", as Japanese and English systems name them (some other languages
// translate them; such a group does not resolve and is left out). Only
// tests replace a name, to see what an unresolved group does to a build.
#pragma once

enum { SECURITY_GROUP_COUNT = 3, SECURITY_GROUP_USERS = 2 };

extern const wchar_t* SecurityGroupNames[SECURITY_GROUP_COUNT];
extern const char* SecurityGroupNamesA[SECURITY_GROUP_COUNT];
