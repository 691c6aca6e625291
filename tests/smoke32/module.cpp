// The sample module of the smoke test: a 32-bit DLL without registration
// entries. The Installer judges registration from the export table, so
// neither the install nor the uninstall starts the registration program,
// whose start under the emulation can outlast the Installer's wait for it
// (and an uninstall that deletes the module while that program still has
// it loaded would fail by timing, not by fault).
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }

extern "C" __declspec(dllexport) HRESULT WINAPI DllCanUnloadNow() { return S_OK; }
