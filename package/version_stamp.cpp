// The fixed file version: read through the system's version functions, or
// found in the image's resource directory and rewritten in place.
#include "package/version_stamp.h"

#include <string.h>

#include "common/file.h"
#include "common/syslib.h"
#include "package/byte_order.h"
#include "package/pe_image.h"

namespace {

const DWORD kHeadBytes = 8192;         // headers and section table of an image
const DWORD kResourceMax = 16u << 20;  // largest resource section looked into
const uint16_t kRtVersion = 16;

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

// Reads up to count bytes at offset; *got tells how many came.
int ReadAt(HANDLE h, DWORD offset, void* buffer, DWORD count, DWORD* got, DWORD* sysError) {
  *got = 0;
  int st = FileSeek(h, offset, sysError);
  if (st < 0) return st;
  st = FileRead(h, buffer, count, got, sysError);
  return st == ST_SHORT_READ ? ST_OK : st;
}

// File offset of the fixed part of the version resource in language, found
// through the image's headers and resource directory in the open file; the
// 52 bytes there are left in fixed. False when the file has no such
// resource where the headers say.
bool FixedPartOffset(HANDLE file, uint16_t language, DWORD* at, unsigned char* fixed,
                     DWORD* sysError) {
  unsigned char head[kHeadBytes];
  DWORD got = 0;
  if (ReadAt(file, 0, head, sizeof head, &got, sysError) < 0) return false;
  uint32_t rva = 0, rsrc_at = 0;
  PeSection section{};
  if (!pe_resource_section(head, got, &rva, &section) || !pe_file_offset(section, rva, 0, &rsrc_at))
    return false;
  DWORD rsrc_length = section.raw_size - (rva - section.virtual_address);
  if (rsrc_length > kResourceMax) return false;
  HANDLE heap = NULL;
  void* block = NULL;
  if (rsrc_length == 0 || HeapBlockCreate(static_cast<int>(rsrc_length), &heap, &block, sysError) < 0)
    return false;
  bool found = false;
  const unsigned char* rsrc = static_cast<const unsigned char*>(block);
  uint32_t data_rva = 0, data_size = 0, data_at = 0;
  size_t fixed_offset = 0;
  if (ReadAt(file, rsrc_at, block, rsrc_length, &got, sysError) == ST_OK &&
      pe_resource_data(rsrc, got, kRtVersion, 1, language, &data_rva, &data_size) &&
      pe_file_offset(section, data_rva, data_size, &data_at) && data_at >= rsrc_at &&
      data_at - rsrc_at <= got && data_size <= got - (data_at - rsrc_at) &&
      version_fixed_offset(rsrc + (data_at - rsrc_at), data_size, &fixed_offset)) {
    *at = data_at + static_cast<DWORD>(fixed_offset);
    memcpy(fixed, rsrc + (*at - rsrc_at), VERSION_FIXED_SIZE);
    found = true;
  }
  DWORD ignored;
  HeapBlockFree(&heap, &block, &ignored);
  return found;
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
    if (!FixedPartOffset(file, language, &at, fixed, sysError) ||
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

int read_version_parts_held(HANDLE file, int* a, int* b, int* c, int* d, DWORD* sysError) {
  DWORD at = 0;
  unsigned char fixed[VERSION_FIXED_SIZE];
  *sysError = 0;
  // The version block of the one language the module carries it in.
  if (!FixedPartOffset(file, 0, &at, fixed, sysError)) {
    if (*sysError == 0) *sysError = ERROR_RESOURCE_DATA_NOT_FOUND;
    return ST_VER_NO_INFO;
  }
  DWORD ms = le32_get(fixed + VERSION_FILE_MS), ls = le32_get(fixed + VERSION_FILE_LS);
  *a = HIWORD(ms);
  *b = LOWORD(ms);
  *c = HIWORD(ls);
  *d = LOWORD(ls);
  return FileSeek(file, 0, sysError);
}
