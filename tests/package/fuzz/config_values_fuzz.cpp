// Fuzzes the value readers with any bytes as a value: the narrow and the
// UTF-16 forms agree, results stay in their ranges, and only the first
// characters of a value can matter.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "package/config_values.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string narrow(reinterpret_cast<const char*>(data), size);
  narrow = narrow.c_str();  // a value ends at its first NUL
  std::wstring wide;
  for (unsigned char c : narrow) wide.push_back(static_cast<wchar_t>(c));
  const char* v = narrow.c_str();

  if (config_flag(v) != config_flag(wide.c_str())) abort();
  if (config_flag(v) != (v[0] == '1')) abort();

  int digits = size ? data[0] % 12 : 5;
  int number = config_number(v, digits);
  if (number != config_number(wide.c_str(), digits)) abort();
  if (number < 0 || number > 999999999) abort();
  int limit = 1;
  for (int i = 0; i < digits && i < 9; ++i) limit *= 10;
  if (number >= limit) abort();

  int seconds = config_timeout(v);
  if (seconds != config_timeout(wide.c_str())) abort();
  if (seconds != config_timeout(narrow.substr(0, 1).c_str())) abort();
  static const int kAllowed[] = {0, 30, 45, 60, 75, 90, 120, 180, 300, 600, 900, 1800, 3600, 7200};
  bool known = false;
  for (int s : kAllowed) known |= s == seconds;
  if (!known) abort();

  uint32_t checksum = config_checksum(v);
  if (checksum != config_checksum(wide.c_str())) abort();
  if (checksum != config_checksum(narrow.substr(0, 8).c_str())) abort();
  return 0;
}
