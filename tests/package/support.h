// Helpers of the package tests under Wine: the test template and the
// assembler; the private temporary folder and whole files as strings are
// those of tests/common/scratch.h.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "tests/common/scratch.h"
#include "tests/support/helpers.h"

namespace pkgtest {

// A Linux path of the build as a Windows path (drive Z: is the root).
inline std::wstring FromUnix(const char* path) {
  std::wstring w = L"Z:";
  for (const char* p = path; *p; ++p) w.push_back(*p == '/' ? L'\\' : static_cast<wchar_t>(*p));
  return w;
}

inline std::string Narrow(const std::wstring& w) {
  char buffer[1024];
  int n = WideCharToMultiByte(CP_ACP, 0, w.c_str(), -1, buffer, sizeof buffer, NULL, NULL);
  return n > 0 ? std::string(buffer) : std::string();
}

inline std::string RandomBytes(size_t n, unsigned key) {
  std::mt19937 gen(key);
  std::string s(n, '\0');
  for (char& c : s) c = static_cast<char>(gen());
  return s;
}

inline std::string Le32(DWORD v) {
  std::string s(4, '\0');
  for (int i = 0; i < 4; ++i) s[i] = static_cast<char>(v >> (8 * i));
  return s;
}

// A fresh folder under the temporary folder, removed with what it holds.
using TempFolder = ::Scratch;

// Runs a program for up to a minute with its output in the file log (read
// into output when given); returns its exit code, or -1 when it did not
// start (RunProgram of tests/support/helpers.h).
inline int RunProgram(const std::wstring& command, const std::wstring& log, std::string* output) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, NULL, TRUE};
  HANDLE out = CreateFileW(log.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0,
                           NULL);
  if (out == INVALID_HANDLE_VALUE) return -1;
  long code = ::RunProgram(command, L"", 60000, out);
  CloseHandle(out);
  if (output) *output = ReadBytes(log);
  return static_cast<int>(code);
}

inline std::wstring Quote(const std::wstring& s) { return L"\"" + s + L"\""; }

// The test template and the assembler of this build.
inline std::wstring TemplateExe() { return FromUnix(VT_TEMPLATE_EXE); }
inline std::wstring VtpackExe() { return FromUnix(VT_VTPACK_EXE); }
inline std::wstring BaseDocument() { return FromUnix(VT_SOURCE_DIR "/editor/instbase.ini"); }

}  // namespace pkgtest
