// System libraries come from the system folder, never from beside the
// program or from the current folder.
#include "common/syslib.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/helpers.h"

namespace {

std::wstring ModulePath(HMODULE module) {
  wchar_t path[MAX_PATH];
  DWORD n = GetModuleFileNameW(module, path, MAX_PATH);
  return std::wstring(path, n);
}

TEST(SystemLibraryLoad, LoadsFromTheSystemFolder) {
  SystemLibrarySearchRestrict();
  HMODULE version = SystemLibraryLoad(L"version.dll");
  ASSERT_NE(version, nullptr);
  std::wstring path = ModulePath(version);
  EXPECT_EQ(_wcsicmp(path.c_str(), (SystemFolder() + L"\\version.dll").c_str()), 0)
      << std::string(path.begin(), path.end());

  typedef DWORD(WINAPI * SizeFn)(LPCWSTR, LPDWORD);
  SizeFn size;
  EXPECT_TRUE(SystemProcGet(version, "GetFileVersionInfoSizeW", &size));
  EXPECT_FALSE(SystemProcGet(version, "NoSuchFunction", &size));
  EXPECT_EQ(size, nullptr);
  FreeLibrary(version);
}

TEST(SystemLibraryLoad, UnknownLibraryFailsWithAnError) {
  SetLastError(0);
  EXPECT_EQ(SystemLibraryLoad(L"no-such-library.dll"), nullptr);
  EXPECT_NE(GetLastError(), 0u);
}

TEST(SystemLibraryLoad, OverlongNameIsRefusedBeforeTheSystem) {
  std::wstring name(300, L'a');
  EXPECT_EQ(SystemLibraryLoad(name.c_str()), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BUFFER_OVERFLOW));
}

}  // namespace
