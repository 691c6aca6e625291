// Reads a package as the Installer does, for the test scripts:
//
//   pkg_probe extract PACKAGE IMAGE_LENGTH TARGET
//       prints "status=S checksum=XXXXXXXX length=L" (L the target's size)
//   pkg_probe version FILE
//       prints "status=S version=a.b.c.d"
//
// Exits with 0 when the routine succeeded, 1 otherwise.
#include <windows.h>

#include <stdio.h>
#include <wchar.h>

#include "package/package.h"

int wmain(int argc, wchar_t** argv) {
  DWORD error = 0;
  if (argc == 5 && wcscmp(argv[1], L"extract") == 0) {
    uint32_t checksum = 0;
    int st = extract_payload(argv[2], static_cast<DWORD>(_wtoi(argv[3])), argv[4], &checksum, &error);
    WIN32_FILE_ATTRIBUTE_DATA data{};
    GetFileAttributesExW(argv[4], GetFileExInfoStandard, &data);
    printf("status=%d checksum=%08X length=%lu\n", st, static_cast<unsigned>(checksum),
           static_cast<unsigned long>(data.nFileSizeLow));
    return st == 0 ? 0 : 1;
  }
  if (argc == 3 && wcscmp(argv[1], L"version") == 0) {
    int a = 0, b = 0, c = 0, d = 0;
    int st = read_version_parts(argv[2], &a, &b, &c, &d, &error);
    printf("status=%d version=%d.%d.%d.%d\n", st, a, b, c, d);
    return st == 0 ? 0 : 1;
  }
  fprintf(stderr, "usage: pkg_probe extract PACKAGE IMAGE_LENGTH TARGET | version FILE\n");
  return 2;
}
