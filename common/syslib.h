// Loading system libraries from the system folder only.
//
// An elevated program started from a download folder must never pick up a
// DLL planted beside it, so every library that is not imported statically
// is loaded by its full path in the system folder.
#pragma once

#include <windows.h>

// Restricts the DLL search of the process to the system folder where the
// system offers it (SetDefaultDllDirectories), and drops the current folder
// from the search (SetDllDirectoryW "") where that exists. Call first thing.
void SystemLibrarySearchRestrict();

// Loads name (a file name such as L"version.dll") from the system folder.
// Returns NULL, with the last error set, when it cannot be loaded.
HMODULE SystemLibraryLoad(const wchar_t* name);

// Looks up a function of a loaded module as a typed pointer.
template <typename Fn>
inline bool SystemProcGet(HMODULE module, const char* name, Fn* proc) {
  *proc = module ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)))
                 : nullptr;
  return *proc != nullptr;
}
