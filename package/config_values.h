// How the Installer interprets the values of its configuration document.
// Compiles without windows.h; every reader takes narrow or UTF-16 text.
#pragma once

#include <stdint.h>

// Flag: on when the first character is "1".
bool config_flag(const char* value);
bool config_flag(const wchar_t* value);

// Number: up to max_digits decimal digits from the start; reading stops at
// the first character that is not a digit; no digit gives 0. Never more
// than nine digits are read, so the result always fits an int.
int config_number(const char* value, int max_digits);
int config_number(const wchar_t* value, int max_digits);

// Timeout code: seconds of the warning popup for the first character
// ("0" waits for the user; anything outside "0" to "=" gives 7200).
int config_timeout(const char* value);
int config_timeout(const wchar_t* value);

// Checksum text: the first eight characters, each hexadecimal digit of
// either case shifting the value left by four bits; others are skipped.
uint32_t config_checksum(const char* value);
uint32_t config_checksum(const wchar_t* value);
