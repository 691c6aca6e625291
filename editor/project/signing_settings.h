// The code-signing settings of a project, "codesign.txt" in its project
// folder (binary despite its name: one 1,520-byte record, no line
// structure), and the signing tool's command line composed from them.
// Compiles without windows.h.
//
// Map of the record (offsets in bytes; text fields code page 932,
// NUL-terminated inside the field and NUL-padded to its end):
//
//    0  256  tool_folder       folder holding signtool.exe
//  256  256  certificate       certificate file
//  512   40  password          empty: the password is kept encrypted for
//                              the user in "codesign.pwd" beside the file;
//                              plain text in a file written before that (or
//                              on a system that cannot encrypt it), at most
//                              36 characters typed
//  552   64  description       optional
//  616  128  description_url   optional
//  744    1  timestamp         1 = add a timestamp
//  745    7  zero
//  752  128  timestamp_url     optional
//  880  640  zero
#pragma once

#include <stddef.h>
#include <stdint.h>

enum { SIGNING_SETTINGS_SIZE = 1520 };

struct SigningSettings {
  char tool_folder[256];
  char certificate[256];
  char password[40];
  char description[64];
  char description_url[128];
  uint8_t timestamp;
  uint8_t reserved_745[7];
  char timestamp_url[128];
  uint8_t reserved_880[640];
};

static_assert(sizeof(SigningSettings) == SIGNING_SETTINGS_SIZE, "SigningSettings is 1520 bytes");
static_assert(offsetof(SigningSettings, tool_folder) == 0, "tool_folder");
static_assert(offsetof(SigningSettings, certificate) == 256, "certificate");
static_assert(offsetof(SigningSettings, password) == 512, "password");
static_assert(offsetof(SigningSettings, description) == 552, "description");
static_assert(offsetof(SigningSettings, description_url) == 616, "description_url");
static_assert(offsetof(SigningSettings, timestamp) == 744, "timestamp");
static_assert(offsetof(SigningSettings, timestamp_url) == 752, "timestamp_url");
static_assert(offsetof(SigningSettings, reserved_880) == 880, "reserved tail");

// The file name of the settings in a project folder and in the work folder.
#define SIGNING_SETTINGS_FILE L"codesign.txt"
// The file beside it that holds the password, encrypted for the user.
#define SIGNING_PASSWORD_FILE L"codesign.pwd"
// The signing tool's file name in its folder.
#define SIGNING_TOOL_FILE L"signtool.exe"

// The values of a signing run as UTF-16 text (empty texts for absent
// optional values).
struct SigningValues {
  const wchar_t* certificate;
  const wchar_t* password;
  const wchar_t* description;
  const wchar_t* description_url;
  bool timestamp;
  const wchar_t* timestamp_url;
  const wchar_t* package;
};

// Buffer for the tool's arguments, terminator included: arguments of
// 2,048 characters or more are refused.
enum { SIGNING_ARGUMENTS_CAP = 2048 };

// Statuses of composing the tool's arguments and of reading a record.
enum {
  ST_SIGN_TOO_LONG = -203,      // the arguments would be empty or 2,048 characters or more
  ST_SIGN_UNQUOTABLE = -215,    // a value holds a double quote or a control character
  ST_SIGN_BAD_SETTINGS = -220   // a text field of the record has no terminating NUL
};

// Takes a settings record from the bytes of a settings file: its first
// 1,520 bytes. Returns 0; ST_SHORT_READ (of common/status.h) for fewer
// bytes; ST_SIGN_BAD_SETTINGS when a text field fills its whole width,
// which no writer of the record does. *settings is cleared on failure.
int signing_settings_parse(const void* bytes, size_t size, SigningSettings* settings);

// Composes the signing tool's arguments, in this order:
//   sign /f "C" /a /fd sha256 [/d "D"] [/du "U"] [/tr "T" /td sha256] /p "P" "K"
// /d only when the description is not empty, /du only when the
// description URL is not empty, /tr and /td only when the timestamp switch
// is on and its URL is not empty. The file's digest and the timestamp's
// are SHA-256, and the timestamp server is asked by RFC 3161, as current
// signing tools require. Every value is quoted so that CommandLineToArgvW
// reads it back as one argument, exactly. With mask_password the password
// is written as "***" (for output that people read); the statuses are the
// same as without it. Returns the length written into out (cap
// characters), or a status above (out then empty). Values of optional
// parts that are left out are not looked at.
int signing_arguments_compose(const SigningValues& values, bool mask_password, wchar_t* out,
                              size_t cap);
