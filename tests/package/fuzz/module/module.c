/* A COM module reduced to what the module checks and the version look-up
   read: the four exports of an in-process server, no run-time library, and
   a Japanese version resource (module.rc). Its functions do nothing; it is
   never loaded. make.sh builds it for both processors. */
#include <windows.h>

BOOL WINAPI DllMainCRTStartup(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  return TRUE;
}

__declspec(dllexport) HRESULT WINAPI DllCanUnloadNow(void) { return S_OK; }

__declspec(dllexport) HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* out) {
  *out = NULL;
  return CLASS_E_CLASSNOTAVAILABLE;
}

__declspec(dllexport) HRESULT WINAPI DllRegisterServer(void) { return S_OK; }

__declspec(dllexport) HRESULT WINAPI DllUnregisterServer(void) { return S_OK; }
