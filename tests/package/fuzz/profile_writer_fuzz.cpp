// Fuzzes the key writer: the input is a document followed by the section,
// key and value to write (each after a 0xFF byte; names from the
// document's own vocabulary when the input says so). Whenever the writer
// succeeds, reading the key gives the value, writing it again changes
// nothing, and the bytes it took away lie within one line.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "package/profile_writer.h"

namespace {

std::vector<std::string> Split(const uint8_t* data, size_t size) {
  std::vector<std::string> parts(1);
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == 0xFF && parts.size() < 4)
      parts.emplace_back();
    else
      parts.back().push_back(static_cast<char>(data[i]));
  }
  parts.resize(4);
  return parts;
}

const char* const kNames[] = {"Vantorel-Init", "vantorel-init", "InstFileLen", "WarningType",
                              "\x83\x5D", "\x83\x41", "S", "k"};

std::string Name(const std::string& s) {
  if (s.size() == 1 && static_cast<unsigned char>(s[0]) < 8) return kNames[s[0] & 7];
  return s.c_str();
}

std::string Write(const std::string& doc, const std::string& section, const std::string& key,
                  const std::string& value, int* status) {
  size_t cap = profile_write_bound(doc.size(), section.c_str(), key.c_str(), value.c_str());
  std::vector<char> out(cap + 1);
  size_t n = 0;
  *status = profile_write_key(doc.data(), doc.size(), section.c_str(), key.c_str(), value.c_str(),
                              out.data(), cap, &n);
  if (*status == ST_PROFILE_SPACE) abort();  // the bound always suffices
  if (*status == 0 && n > cap) abort();
  return *status == 0 ? std::string(out.data(), n) : std::string();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> parts = Split(data, size);
  const std::string& doc = parts[0];
  std::string section = Name(parts[1]), key = Name(parts[2]), value = parts[3].c_str();
  int status = 0;
  std::string out = Write(doc, section, key, value, &status);
  if (status != 0) return 0;

  size_t at = 0, n = 0;
  if (!profile_find_key(out.data(), out.size(), section.c_str(), key.c_str(), &at, &n)) abort();
  if (out.compare(at, n, value) != 0) abort();

  int again = 0;
  if (Write(out, section, key, value, &again) != out || again != 0) abort();

  // The bytes the write took away: between the common prefix and suffix.
  size_t prefix = 0;
  while (prefix < doc.size() && prefix < out.size() && doc[prefix] == out[prefix]) ++prefix;
  size_t suffix = 0;
  while (suffix < doc.size() - prefix && suffix < out.size() - prefix &&
         doc[doc.size() - 1 - suffix] == out[out.size() - 1 - suffix])
    ++suffix;
  if (memchr(doc.data() + prefix, '\n', doc.size() - prefix - suffix)) abort();
  return 0;
}
