// Runs one of the probe programs built beside the test in a fresh process
// whose reported Windows version is set in Wine's per-program settings,
// and hands back what it wrote to the file named as its only argument.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <stdio.h>

#include <string>

#include "tests/support/helpers.h"

struct ProbeRun {
  bool started = false;
  DWORD exit_code = 0;
  std::string output;
};

// exe is the probe's file name; version a name as winecfg takes it.
inline ProbeRun ProbeRunAs(const wchar_t* exe, const wchar_t* version) {
  std::wstring key = std::wstring(L"Software\\Wine\\AppDefaults\\") + exe;
  HKEY handle;
  EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                            nullptr, &handle, nullptr),
            ERROR_SUCCESS);
  RegSetValueExW(handle, L"Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version),
                 static_cast<DWORD>((wcslen(version) + 1) * sizeof(wchar_t)));
  RegCloseKey(handle);

  wchar_t self[MAX_PATH];
  std::wstring path(self, GetModuleFileNameW(nullptr, self, MAX_PATH));
  path = path.substr(0, path.find_last_of(L"\\/") + 1) + exe;
  wchar_t temp[MAX_PATH], out[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  GetTempFileNameW(temp, L"prb", 0, out);
  std::wstring command = L"\"" + path + L"\" \"" + out + L"\"";
  ProbeRun run;
  long code = RunProgram(command, L"", 30000);
  run.started = code != -1;
  run.exit_code = static_cast<DWORD>(code);
  if (run.started) {
    if (FILE* file = _wfopen(out, L"r")) {
      char block[4096];
      for (size_t n; (n = fread(block, 1, sizeof block, file)) > 0;) run.output.append(block, n);
      fclose(file);
    }
  } else {
    ADD_FAILURE() << "probe not started";
  }
  DeleteFileW(out);
  RegDeleteKeyW(HKEY_CURRENT_USER, key.c_str());
  return run;
}
