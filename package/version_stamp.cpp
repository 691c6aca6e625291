// The fixed file version: read through the system's version functions, and
// found in the image's resource directory by the PE walk and rewritten in
// place.
#include "package/version_stamp.h"

#include <string.h>

#include "common/file.h"
#include "common/syslib.h"
#include "package/byte_order.h"
#include "package/module_check.h"
#include "package/pe_image.h"

namespace {

void CloseIf(HANDLE* h) {
  if (*h) CloseHandle(*h);
  *h = NULL;
}

// The version functions, loaded from the system folder when needed: an
// Installer started from a download folder must not import version.dll.
typedef DWORD(WINAPI* VersionSizeFn)(LPCWSTR, LPDWORD);
typedef BOOL(WINAPI* VersionInfoFn)(LPCWSTR, DWORD, DWORD, LPVOID);
typedef BOOL(WINAPI* VersionQueryFn)(LPCVOID, LPCWSTR, LPVOID*, PUINT);

// The version information of a file, read through the version functions.
struct VersionInfo {
  HMODULE library;
  VersionQueryFn query;
  HANDLE heap;
  void* block;
  const VS_FIXEDFILEINFO* fixed;
};

void VersionInfoFree(VersionInfo* v) {
  DWORD ignored;
  if (v->heap) HeapBlockFree(&v->heap, &v->block, &ignored);
  if (v->library) FreeLibrary(v->library);
  v->library = NULL;
}

// Reads the file's version information: ST_VER_NO_FILE when the file is
// missing, ST_VER_NO_INFO when it carries none (or the version functions
// cannot be had), ST_VER_READ when it cannot be read. The caller frees v.
int VersionInfoRead(const wchar_t* path, VersionInfo* v, DWORD* sysError) {
  *v = VersionInfo{NULL, NULL, NULL, NULL, NULL};
  if (FileKindGet(path) == FILE_KIND_NONE) {
    *sysError = GetLastError();
    return ST_VER_NO_FILE;
  }
  VersionSizeFn size_of;
  VersionInfoFn info_of;
  v->library = SystemLibraryLoad(L"version.dll");
  if (!SystemProcGet(v->library, "GetFileVersionInfoSizeW", &size_of) ||
      !SystemProcGet(v->library, "GetFileVersionInfoW", &info_of) ||
      !SystemProcGet(v->library, "VerQueryValueW", &v->query)) {
    *sysError = GetLastError();
    return ST_VER_NO_INFO;
  }
  DWORD handle = 0;
  DWORD size = size_of(path, &handle);
  if (size == 0) {
    *sysError = GetLastError();
    return ST_VER_NO_INFO;
  }
  if (HeapBlockCreate(static_cast<int>(size), &v->heap, &v->block, sysError) < 0)
    return ST_VER_READ;
  UINT fixed_size = 0;
  void* fixed = NULL;
  if (!info_of(path, 0, size, v->block)) {
    *sysError = GetLastError();
    return ST_VER_READ;
  }
  if (!v->query(v->block, L"\\", &fixed, &fixed_size) || !fixed ||
      fixed_size < sizeof(VS_FIXEDFILEINFO)) {
    *sysError = ERROR_RESOURCE_DATA_NOT_FOUND;
    return ST_VER_READ;
  }
  v->fixed = static_cast<const VS_FIXEDFILEINFO*>(fixed);
  *sysError = 0;
  return ST_OK;
}

// File offset of the fixed part of the version resource in language,
// found by the PE walk through the image's headers and resource directory
// in the open file; the 52 bytes there are left in fixed. False when the
// file has no such resource where the headers say.
bool FixedPartOffset(HANDLE file, uint16_t language, DWORD* at, unsigned char* fixed) {
  FileSpan span = {file, 0, 0xFFFFFFFFu};
  uint32_t found = 0;
  if (!pe_version_find(file_span_reader(&span), language, &found, fixed)) return false;
  *at = found;
  return true;
}

}  // namespace

int read_version_parts(const wchar_t* path, int* a, int* b, int* c, int* d, DWORD* sysError) {
  VersionInfo v;
  int st = VersionInfoRead(path, &v, sysError);
  if (st == ST_OK) {
    *a = HIWORD(v.fixed->dwFileVersionMS);
    *b = LOWORD(v.fixed->dwFileVersionMS);
    *c = HIWORD(v.fixed->dwFileVersionLS);
    *d = LOWORD(v.fixed->dwFileVersionLS);
  }
  VersionInfoFree(&v);
  return st;
}

// The stamp writes the two file-version double words of the fixed part
// where they lie in the file. Nothing moves: the image length, the document
// resource, the payload block and any certificate table stay byte for byte
// (a signature made before the stamp no longer matches the file, so a
// signed package is stamped before it is signed).
int stamp_silent_marker(const wchar_t* path, int a, int b, int c, int d, DWORD* sysError) {
  VersionInfo v;
  int st = VersionInfoRead(path, &v, sysError);
  HANDLE file = NULL;
  if (st == ST_OK && FileOpen(path, &file, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                              OPEN_EXISTING, sysError) < 0)
    st = ST_VER_BEGIN;
  void* translation = NULL;
  UINT translation_size = 0;
  if (st == ST_OK && (!v.query(v.block, L"\\VarFileInfo\\Translation", &translation,
                               &translation_size) ||
                      !translation || translation_size < 4)) {
    *sysError = ERROR_RESOURCE_TYPE_NOT_FOUND;
    st = ST_VER_NO_TRANSLATION;
  }
  DWORD at = 0;
  unsigned char fixed[VERSION_FIXED_SIZE];
  if (st == ST_OK) {
    uint16_t language = *static_cast<const uint16_t*>(translation);
    *sysError = 0;
    // The block found must be the one the system reads.
    if (!FixedPartOffset(file, language, &at, fixed) ||
        le32_get(fixed + VERSION_FILE_MS) != v.fixed->dwFileVersionMS ||
        le32_get(fixed + VERSION_FILE_LS) != v.fixed->dwFileVersionLS) {
      if (*sysError == 0) *sysError = ERROR_RESOURCE_DATA_NOT_FOUND;
      st = ST_VER_UPDATE;
    }
  }
  if (st == ST_OK) {
    unsigned char words[8];
    le32_put(words, static_cast<DWORD>((a & 0xFFFF) << 16 | (b & 0xFFFF)));
    le32_put(words + 4, static_cast<DWORD>((c & 0xFFFF) << 16 | (d & 0xFFFF)));
    DWORD put = 0;
    if (FileSeek(file, at + VERSION_FILE_MS, sysError) < 0 ||
        FileWrite(file, words, sizeof words, &put, sysError) < 0)
      st = ST_VER_END;
  }
  CloseIf(&file);
  VersionInfoFree(&v);
  return st;
}
