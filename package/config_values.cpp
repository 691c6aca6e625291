// How the Installer interprets the values of its configuration document:
// one template per value kind, instantiated for narrow and UTF-16 text.
#include "package/config_values.h"

#include "common/text.h"

namespace {

// Seconds of the warning popup for "0" to "=", the fourteen entries of the
// editor's timeout list.
const int kTimeoutSeconds[14] = {0, 30, 45, 60, 75, 90, 120, 180, 300, 600, 900, 1800, 3600, 7200};
const int kTimeoutOther = 7200;

// A number is read with at most nine digits so that it always fits an int.
const int kNumberDigitsMax = 9;

template <typename C>
bool Flag(const C* value) {
  return value && value[0] == C('1');
}

template <typename C>
int Number(const C* value, int max_digits) {
  if (!value) return 0;
  if (max_digits > kNumberDigitsMax) max_digits = kNumberDigitsMax;
  int n = 0;
  for (int i = 0; i < max_digits && value[i] >= C('0') && value[i] <= C('9'); ++i)
    n = n * 10 + static_cast<int>(value[i] - C('0'));
  return n;
}

template <typename C>
int Timeout(const C* value) {
  if (!value) return kTimeoutOther;
  int index = static_cast<int>(value[0]) - '0';
  return index >= 0 && index < 14 ? kTimeoutSeconds[index] : kTimeoutOther;
}

// The first eight characters are examined; a shorter text ends early, and a
// character that is no hexadecimal digit is passed over without a shift.
template <typename C>
uint32_t Checksum(const C* value) {
  uint32_t v = 0;
  if (!value) return v;
  for (int i = 0; i < 8 && value[i]; ++i) {
    int d = TextHexDigit(value[i]);
    if (d >= 0) v = v << 4 | static_cast<uint32_t>(d);
  }
  return v;
}

}  // namespace

bool config_flag(const char* value) { return Flag(value); }
bool config_flag(const wchar_t* value) { return Flag(value); }

int config_number(const char* value, int max_digits) { return Number(value, max_digits); }
int config_number(const wchar_t* value, int max_digits) { return Number(value, max_digits); }

int config_timeout(const char* value) { return Timeout(value); }
int config_timeout(const wchar_t* value) { return Timeout(value); }

uint32_t config_checksum(const char* value) { return Checksum(value); }
uint32_t config_checksum(const wchar_t* value) { return Checksum(value); }
