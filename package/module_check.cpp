// The module check by the export table, reading the file through the file
// layer.
#include "package/module_check.h"

#include "common/file.h"
#include "package/pe_image.h"

namespace {

const DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE;

uint32_t ModuleRead(void* context, uint32_t offset, void* out, uint32_t count) {
  HANDLE file = static_cast<HANDLE>(context);
  DWORD error = 0, got = 0;
  if (FileSeek(file, offset, &error) != ST_OK) return 0;
  int st = FileRead(file, out, count, &got, &error);
  return st == ST_OK || st == ST_SHORT_READ ? got : 0;
}

}  // namespace

int module_check_file(const wchar_t* path, const char* entry) {
  HANDLE file = NULL;
  DWORD error = 0;
  if (FileOpen(path, &file, GENERIC_READ, kShareAll, OPEN_EXISTING, &error) < 0)
    return PE_MODULE_NOT_IMAGE;
  PeReader reader{ModuleRead, file};
  int judged = pe_module_check(reader, PACKAGE_MACHINE, entry);
  CloseHandle(file);
  return judged;
}

