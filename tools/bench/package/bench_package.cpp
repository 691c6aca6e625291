// Benchmark of the package routines (not a test): checksum throughput, and
// the time and memory of appending and extracting payloads of 1 MiB and
// 64 MiB. The copies work in fixed blocks, so the peak memory of the
// process must not grow with the module size.
//
// Run it after a build (tools/test creates the Wine prefix), from the
// checkout:
//   WINEPREFIX=$PWD/build/wineprefix wineserver -p
//   build/x86_64/wine-run build/x86_64/tools/bench_package.exe
//   WINEPREFIX=$PWD/build/wineprefix wineserver -k
// It prints one line per measurement; its files live in a folder under the
// temporary folder that it removes at the end.
#include <windows.h>
#include <psapi.h>

#include <stdio.h>

#include "package/package.h"
#include "tests/package/checksum_reference.h"

namespace {

double Now() {
  static LARGE_INTEGER frequency;
  if (!frequency.QuadPart) QueryPerformanceFrequency(&frequency);
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) / static_cast<double>(frequency.QuadPart);
}

struct Memory {
  double peak_working_set_mib;
  double peak_pagefile_mib;
};

Memory Peak() {
  PROCESS_MEMORY_COUNTERS c{};
  c.cb = sizeof c;
  GetProcessMemoryInfo(GetCurrentProcess(), &c, sizeof c);
  return {c.PeakWorkingSetSize / 1048576.0, c.PeakPagefileUsage / 1048576.0};
}


void ChecksumThroughput() {
  const int kBuffer = 1 << 20, kRounds = 256;
  static unsigned char buffer[1 << 20];
  uint32_t state = 12345;
  for (int i = 0; i < kBuffer; ++i) buffer[i] = static_cast<unsigned char>((state = state * 1103515245u + 12345u) >> 24);
  double t = Now();
  uint32_t r = 0;
  for (int i = 0; i < kRounds; ++i) r = checksum_update(r, buffer, kBuffer);
  double fast = Now() - t;
  t = Now();
  uint32_t s = 0;
  for (int i = 0; i < kRounds; ++i) s = ChecksumReference(s, buffer, kBuffer);
  double slow = Now() - t;
  printf("checksum_update       %8.0f MB/s  (one lookup per byte: %.0f MB/s)%s\n",
         kRounds * (kBuffer / 1e6) / fast, kRounds * (kBuffer / 1e6) / slow,
         r == s ? "" : "  VALUES DIFFER");
}

// Writes size bytes of varied content in 1 MiB pieces.
bool MakeFile(const wchar_t* path, DWORD size) {
  HANDLE h = CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
  if (h == INVALID_HANDLE_VALUE) return false;
  static unsigned char piece[1 << 20];
  uint32_t state = size;
  bool ok = true;
  for (DWORD left = size; left && ok;) {
    DWORD n = left < sizeof piece ? left : static_cast<DWORD>(sizeof piece), put = 0;
    for (DWORD i = 0; i < n; ++i) piece[i] = static_cast<unsigned char>((state = state * 1103515245u + 12345u) >> 24);
    ok = WriteFile(h, piece, n, &put, NULL) && put == n;
    left -= n;
  }
  CloseHandle(h);
  return ok;
}

void Report(const char* what, DWORD size, double seconds, const Memory& before, int status) {
  Memory after = Peak();
  printf("%-14s %5lu MiB  %8.3f s  %8.0f MB/s  peak working set %6.1f MiB (+%.1f)  peak pagefile %6.1f MiB (+%.1f)  status %d\n",
         what, static_cast<unsigned long>(size >> 20), seconds, size / 1e6 / seconds,
         after.peak_working_set_mib, after.peak_working_set_mib - before.peak_working_set_mib,
         after.peak_pagefile_mib, after.peak_pagefile_mib - before.peak_pagefile_mib, status);
}

void AppendAndExtract(const wchar_t* folder, DWORD size) {
  wchar_t module[MAX_PATH], package[MAX_PATH], target[MAX_PATH];
  _snwprintf(module, MAX_PATH, L"%s\\module.ocx", folder);
  _snwprintf(package, MAX_PATH, L"%s\\package.exe", folder);
  _snwprintf(target, MAX_PATH, L"%s\\QOR.ocx", folder);
  const DWORD kImage = 98304;
  if (!MakeFile(module, size) || !MakeFile(package, kImage)) {
    printf("cannot make the files\n");
    return;
  }
  DWORD error = 0;
  char module_a[MAX_PATH];
  WideCharToMultiByte(CP_ACP, 0, module, -1, module_a, MAX_PATH, NULL, NULL);

  Memory before = Peak();
  double t = Now();
  uint32_t expected = 0;
  int st = checksum_file(module_a, &expected, &error);
  Report("checksum_file", size, Now() - t, before, st);

  before = Peak();
  t = Now();
  st = append_payload_block(package, module, &error);
  Report("append", size, Now() - t, before, st);

  before = Peak();
  t = Now();
  uint32_t checksum = 0;
  st = extract_payload(package, kImage, target, &checksum, &error);
  Report("extract", size, Now() - t, before, st);
  if (checksum != expected) printf("extracted checksum differs\n");

  before = Peak();
  t = Now();
  HANDLE held = NULL;
  st = extract_payload(package, kImage, target, &checksum, &error, &held);
  Report("extract, held", size, Now() - t, before, st);
  if (held) CloseHandle(held);
  DeleteFileW(module);
  DeleteFileW(package);
  DeleteFileW(target);
}

}  // namespace

int main() {
  ChecksumThroughput();
  wchar_t folder[MAX_PATH], temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  _snwprintf(folder, MAX_PATH, L"%svtpkg-bench-%lu", temp, GetCurrentProcessId());
  CreateDirectoryW(folder, NULL);
  Memory start = Peak();
  printf("at start: peak working set %.1f MiB, peak pagefile %.1f MiB\n",
         start.peak_working_set_mib, start.peak_pagefile_mib);
  AppendAndExtract(folder, 1u << 20);
  AppendAndExtract(folder, 64u << 20);
  RemoveDirectoryW(folder);
  return 0;
}
