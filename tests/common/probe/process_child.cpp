// A child for the runner's tests: "process_child <exit code> [<sleep ms>]"
// sleeps, then ends with the exit code.
#include <windows.h>

#include <stdlib.h>

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 2;
  if (argc > 2) Sleep(static_cast<DWORD>(wcstoul(argv[2], nullptr, 10)));
  return static_cast<int>(wcstoul(argv[1], nullptr, 10));
}
