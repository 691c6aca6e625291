// A stand-in for the Installer executable in the package tests: a real
// MinGW-built image with the resources a template carries. Run, it ends
// with the size of its configuration document resource as exit code (or
// 1000000 when it has none), so a test can tell that an image still runs
// and finds its document.
#include <windows.h>

int main() {
  HRSRC found = FindResourceW(NULL, MAKEINTRESOURCEW(501), L"BINTYPE");
  return found ? static_cast<int>(SizeofResource(NULL, found)) : 1000000;
}
