// The resolver of delay-loaded imports.
//
// A call to a delay-imported function first goes through a thunk that asks
// this resolver for the function's address; the resolver loads the library
// on its first use, looks the function up, and writes the address into the
// import slot, so that later calls go straight to the function. It stands
// in for the toolchain's own resolver (which it is linked ahead of) for two
// reasons: the library is loaded by its full path in the system folder,
// like every library this project loads at run time, never through the
// search path of the process; and it is a fraction of the size.
//
// The libraries resolved here are system libraries that are always present.
// Should one still be missing, or lack the function (a system older than the
// program supports), the program cannot go on: it ends with the system's
// own code for that, ERROR_MOD_NOT_FOUND (126) or ERROR_PROC_NOT_FOUND (127).
#include <windows.h>

#include <delayimp.h>

#include "common/syslib.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace {

// A descriptor's fields are relative addresses in the current format and
// plain addresses in the first one.
template <typename T>
T DescriptorPointer(const ImgDelayDescr* descriptor, ULONG_PTR value) {
  if (descriptor->grAttrs & dlattrRva)
    value += reinterpret_cast<ULONG_PTR>(&__ImageBase);
  return reinterpret_cast<T>(value);
}

HMODULE LibraryOf(const ImgDelayDescr* descriptor) {
  HMODULE* cached = DescriptorPointer<HMODULE*>(descriptor, descriptor->rvaHmod);
  HMODULE module = *cached;
  if (module) return module;
  // The name is ASCII ("user32.dll"); SystemLibraryLoad takes UTF-16.
  const char* name = DescriptorPointer<const char*>(descriptor, descriptor->rvaDLLName);
  wchar_t wide[64];
  size_t i = 0;
  for (; name[i] && i + 1 < sizeof wide / sizeof wide[0]; ++i)
    wide[i] = static_cast<unsigned char>(name[i]);
  wide[i] = L'\0';
  module = name[i] ? NULL : SystemLibraryLoad(wide);
  if (!module) ExitProcess(ERROR_MOD_NOT_FOUND);
  // Two threads may load it at once: the first one's handle is kept.
  HMODULE earlier = static_cast<HMODULE>(InterlockedCompareExchangePointer(
      reinterpret_cast<void* volatile*>(cached), module, NULL));
  if (earlier) {
    FreeLibrary(module);
    module = earlier;
  }
  return module;
}

}  // namespace

extern "C" FARPROC WINAPI __delayLoadHelper2(const ImgDelayDescr* descriptor, FARPROC* slot) {
  HMODULE module = LibraryOf(descriptor);
  FARPROC* slots = DescriptorPointer<FARPROC*>(descriptor, descriptor->rvaIAT);
  const IMAGE_THUNK_DATA* names =
      DescriptorPointer<const IMAGE_THUNK_DATA*>(descriptor, descriptor->rvaINT);
  const IMAGE_THUNK_DATA& entry = names[slot - slots];
  FARPROC proc;
  if (IMAGE_SNAP_BY_ORDINAL(entry.u1.Ordinal)) {
    proc = GetProcAddress(module, MAKEINTRESOURCEA(IMAGE_ORDINAL(entry.u1.Ordinal)));
  } else {
    const IMAGE_IMPORT_BY_NAME* by_name = DescriptorPointer<const IMAGE_IMPORT_BY_NAME*>(
        descriptor, static_cast<ULONG_PTR>(entry.u1.AddressOfData));
    proc = GetProcAddress(module, reinterpret_cast<const char*>(by_name->Name));
  }
  if (!proc) ExitProcess(ERROR_PROC_NOT_FOUND);
  *slot = proc;
  return proc;
}
