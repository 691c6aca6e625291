// Benchmark of find_project_entry: the time of a lookup of the last record
// and of a key the list does not hold, on master lists of 1,000 and
// 100,000 records, and the process's peak memory after each list. The
// lists are read in chunks through one static buffer, so the peak must
// not grow with the length of the list.
//
// Run it from the worktree after tools/test has built the x86_64
// configuration and created the Wine prefix:
//
//   cmake --build build/x86_64 --target bench_find_project_entry
//   WINEPREFIX=$PWD/build/wineprefix wineserver -p
//   build/x86_64/wine-run build/x86_64/tools/bench_find_project_entry.exe
//   WINEPREFIX=$PWD/build/wineprefix wineserver -k
//
// The lists are written into a folder under the temporary folder and
// removed at the end.
#include <windows.h>
#include <psapi.h>
#include <stdio.h>
#include <string.h>

#include "editor/project/project_list.h"

namespace {

void KeyText(char* out, int i) {
  snprintf(out, 48, "{%08X-0000-0000-0000-000000000000}", static_cast<unsigned>(i));
}

// Writes a master list of count records, sixteen records per write so
// that writing it does not raise the peak being measured.
bool WriteList(const wchar_t* path, int count) {
  HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
  if (file == INVALID_HANDLE_VALUE) return false;
  MasterRecord batch[16];
  bool ok = true;
  for (int i = 0; ok && i < count;) {
    int n = 0;
    for (; n < 16 && i < count; ++n, ++i) {
      char key[48] = {};
      KeyText(key, i + 1);
      master_record_init(&batch[n], key, i + 1, "20120121031004");
      list_entry_set(&batch[n].entry, key, "Benchmark project", "C:\\Projects", "Bench.sip");
    }
    DWORD written = 0;
    ok = WriteFile(file, batch, n * sizeof(MasterRecord), &written, NULL) &&
         written == n * sizeof(MasterRecord);
  }
  CloseHandle(file);
  return ok;
}

struct Memory {
  double peak_working_set_kb;
  double peak_private_kb;
};

Memory MemoryNow() {
  PROCESS_MEMORY_COUNTERS counters = {};
  counters.cb = sizeof counters;
  GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
  return {counters.PeakWorkingSetSize / 1024.0, counters.PeakPagefileUsage / 1024.0};
}

double Seconds() {
  static LARGE_INTEGER frequency = {};
  if (!frequency.QuadPart) QueryPerformanceFrequency(&frequency);
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Times repeated lookups of key in the master list of base_folder; returns
// milliseconds per call, or -1 when a lookup did not give the expected
// result.
double TimeLookups(const wchar_t* base_folder, const wchar_t* key, int expected, int calls) {
  ProjectEntry entry;
  DWORD error = 0;
  double start = Seconds();
  for (int i = 0; i < calls; ++i)
    if (find_project_entry(base_folder, key, &entry, &error) != expected) return -1;
  return (Seconds() - start) * 1000.0 / calls;
}

}  // namespace

int main() {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  wchar_t root[MAX_PATH];
  swprintf(root, MAX_PATH, L"%lsvt-bench-%lu", temp, GetCurrentProcessId());
  CreateDirectoryW(root, NULL);

  const int sizes[] = {1000, 100000};
  wchar_t folders[2][MAX_PATH];
  for (int s = 0; s < 2; ++s) {
    swprintf(folders[s], MAX_PATH, L"%ls\\%d", root, sizes[s]);
    CreateDirectoryW(folders[s], NULL);
    wchar_t list[MAX_PATH];
    swprintf(list, MAX_PATH, L"%ls\\Project_List.mst", folders[s]);
    if (!WriteList(list, sizes[s])) {
      printf("could not write the master list of %d records\n", sizes[s]);
      return 1;
    }
  }

  Memory before = MemoryNow();
  printf("find_project_entry, chunks of %d bytes through one static buffer of %d bytes\n"
         "(the buffer lies in the program image, so it counts from the start)\n",
         static_cast<int>(MASTER_CHUNK_SIZE), static_cast<int>(RECENT_CHUNK_SIZE));
  printf("before any lookup: peak working set %.0f KB, peak private %.0f KB\n\n",
         before.peak_working_set_kb, before.peak_private_kb);
  printf("%9s  %-12s %6s %11s %16s %13s\n", "records", "key", "calls", "ms/call",
         "peak working set", "peak private");
  int status = 0;
  for (int s = 0; s < 2; ++s) {
    char key[48];
    KeyText(key, sizes[s]);
    wchar_t last[48];
    MultiByteToWideChar(CP_ACP, 0, key, -1, last, 48);
    int calls = sizes[s] > 10000 ? 10 : 200;
    double ms_last = TimeLookups(folders[s], last, LIST_OK, calls);
    double ms_missing = TimeLookups(folders[s], L"{FFFFFFFF-FFFF-FFFF-FFFF-FFFFFFFFFFFF}",
                                    LIST_NOT_FOUND, calls);
    Memory after = MemoryNow();
    if (ms_last < 0 || ms_missing < 0) status = 1;
    printf("%9d  %-12s %6d %11.3f %13.0f KB %10.0f KB\n", sizes[s], "last record", calls,
           ms_last, after.peak_working_set_kb, after.peak_private_kb);
    printf("%9d  %-12s %6d %11.3f %13.0f KB %10.0f KB\n", sizes[s], "missing", calls,
           ms_missing, after.peak_working_set_kb, after.peak_private_kb);
  }
  Memory end = MemoryNow();
  printf("\npeak growth over all lookups: working set %.0f KB, private %.0f KB\n",
         end.peak_working_set_kb - before.peak_working_set_kb,
         end.peak_private_kb - before.peak_private_kb);

  for (int s = 0; s < 2; ++s) {
    wchar_t list[MAX_PATH];
    swprintf(list, MAX_PATH, L"%ls\\Project_List.mst", folders[s]);
    DeleteFileW(list);
    RemoveDirectoryW(folders[s]);
  }
  RemoveDirectoryW(root);
  if (status) printf("a lookup did not give the expected result\n");
  return status;
}
