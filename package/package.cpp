// The package routines: sizes and checksums of files, the document
// resource, the payload block, the silent marker and the extraction.
#include "package/package.h"

#include <string.h>

#include "common/file.h"
#include "common/syslib.h"
#include "common/text.h"
#include "package/pe_image.h"

namespace {

const DWORD kChecksumBlock = 8192;   // checksum pass
const DWORD kCopyBlock = 81920;      // payload append and extraction
const DWORD kHeadBytes = 8192;       // headers and section table of an image
const DWORD kResourceMax = 16u << 20;  // largest resource section looked into
const DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE;
const uint16_t kRtVersion = 16;

void PutLe32(unsigned char* p, DWORD v) {
  p[0] = static_cast<unsigned char>(v);
  p[1] = static_cast<unsigned char>(v >> 8);
  p[2] = static_cast<unsigned char>(v >> 16);
  p[3] = static_cast<unsigned char>(v >> 24);
}

DWORD GetLe32(const unsigned char* p) {
  return static_cast<DWORD>(p[0]) | static_cast<DWORD>(p[1]) << 8 |
         static_cast<DWORD>(p[2]) << 16 | static_cast<DWORD>(p[3]) << 24;
}

void CloseIf(HANDLE* h) {
  if (*h) CloseHandle(*h);
  *h = NULL;
}

// Moves the file pointer to offset from the start (offsets up to 4 GiB).
int SeekTo(HANDLE h, DWORD offset, DWORD* sysError) {
  LONG high = 0;
  SetLastError(NO_ERROR);
  DWORD low = SetFilePointer(h, static_cast<LONG>(offset), &high, FILE_BEGIN);
  if (low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR)
    return SeekFailureStatus(sysError);
  return ST_OK;
}

// The low 32 bits of an open file's size; a file of 4 GiB or more is out of
// the package's range and fails with ERROR_FILE_TOO_LARGE.
int SizeOf(HANDLE h, DWORD* size, DWORD* sysError) {
  DWORD high = 0;
  SetLastError(NO_ERROR);
  DWORD low = GetFileSize(h, &high);
  if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return SizeFailureStatus(sysError);
  if (high) {
    *sysError = ERROR_FILE_TOO_LARGE;
    return ST_SIZE_FAILED;
  }
  *size = low;
  return ST_OK;
}

// Status of a failed search for a file by name.
int SearchFailureStatus(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND: return ST_FILE_NOT_FOUND;
    case ERROR_PATH_NOT_FOUND: return ST_PATH_NOT_FOUND;
    case ERROR_ACCESS_DENIED: return ST_ACCESS_DENIED;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: return ST_BUSY;
    default: return ST_OPEN_FAILED;
  }
}

template <typename C>
bool SearchablePath(const C* path) {
  if (!path) return false;
  size_t n = TextLengthMax(path, VT_PATH_CAP);
  if (n == 0 || n > VT_PATH_MAX) return false;
  // A wildcard would let the search answer for some other file.
  for (size_t i = 0; i < n; ++i)
    if (path[i] == C('*') || path[i] == C('?')) return false;
  return true;
}

// Size of the one file a search for exactly its name finds. A folder is no
// file: it is refused as an open of it would be.
template <typename C, typename FindData, typename FindFirst>
int FindSize(const C* path, DWORD* size, DWORD* sysError, FindFirst find_first) {
  if (!SearchablePath(path)) {
    *sysError = ERROR_INVALID_NAME;
    return ST_OPEN_FAILED;
  }
  FindData found;
  HANDLE search = find_first(path, &found);
  if (search == INVALID_HANDLE_VALUE) {
    *sysError = GetLastError();
    return SearchFailureStatus(*sysError);
  }
  FindClose(search);
  if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
    *sysError = ERROR_ACCESS_DENIED;
    return ST_ACCESS_DENIED;
  }
  if (found.nFileSizeHigh) {
    *sysError = ERROR_FILE_TOO_LARGE;
    return ST_SIZE_FAILED;
  }
  *size = found.nFileSizeLow;
  *sysError = 0;
  return ST_OK;
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
  if (GetFileAttributesW(path) == INVALID_FILE_ATTRIBUTES) {
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
  int st = SeekTo(h, offset, sysError);
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

// The payload copy: reads from package (at the start of the payload) and
// writes the bytes that belong to it, length bytes or, for length 0, all
// that follow. *copied and *checksum count what was written.
int CopyPayload(HANDLE package, HANDLE target, DWORD length, DWORD* copied, uint32_t* checksum,
                DWORD* sysError) {
  unsigned char buffer[kCopyBlock];
  for (;;) {
    DWORD want = kCopyBlock;
    if (length) {
      if (*copied == length) return ST_OK;
      if (length - *copied < want) want = length - *copied;
    }
    DWORD got = 0, put = 0;
    int st = FileRead(package, buffer, want, &got, sysError);
    if (st < 0 && st != ST_SHORT_READ) return st;
    if (got) {
      int wst = FileWrite(target, buffer, got, &put, sysError);
      if (wst < 0) return wst;
      *checksum = checksum_update(*checksum, buffer, static_cast<int>(got));
      *copied += got;
    }
    // Fewer bytes than asked: the end of the file, within the payload of a
    // shortened package, or the end of an unbounded one.
    if (st == ST_SHORT_READ) return ST_OK;
  }
}

// Whether an existing file is no PE image, by its first bytes.
bool NotAnImage(const wchar_t* path) {
  HANDLE file = NULL;
  DWORD error = 0, got = 0;
  if (FileOpen(path, &file, GENERIC_READ, kShareAll, OPEN_EXISTING, &error) < 0) return false;
  unsigned char head[1024];
  int st = FileRead(file, head, sizeof head, &got, &error);
  CloseHandle(file);
  return (st == ST_OK || st == ST_SHORT_READ) && !pe_is_image(head, got);
}

}  // namespace

int query_file_size(const wchar_t* path, DWORD* size, DWORD* sysError) {
  return FindSize<wchar_t, WIN32_FIND_DATAW>(path, size, sysError, FindFirstFileW);
}

int query_file_size(const char* path, DWORD* size, DWORD* sysError) {
  return FindSize<char, WIN32_FIND_DATAA>(path, size, sysError, FindFirstFileA);
}

int checksum_file(const char* path, uint32_t* value, DWORD* sysError) {
  HANDLE file = NULL;
  int st = FileOpenA(path, &file, GENERIC_READ, kShareAll, OPEN_EXISTING, sysError);
  if (st < 0) return st;
  unsigned char buffer[kChecksumBlock];
  uint32_t r = 0;
  for (;;) {
    DWORD got = 0;
    st = FileRead(file, buffer, kChecksumBlock, &got, sysError);
    if (st < 0 && st != ST_SHORT_READ) break;
    st = ST_OK;
    if (got == 0) break;
    r = checksum_update(r, buffer, static_cast<int>(got));
  }
  CloseHandle(file);
  if (st == ST_OK) *value = r;
  return st;
}

int write_document_resource(const wchar_t* package, const char* document, DWORD* sysError) {
  HANDLE heap = NULL;
  void* data = NULL;
  DWORD size = 0, ignored = 0;
  int st = FileLoad(document, &heap, &data, &size, sysError);
  // An empty document cannot be stored: an update without data deletes.
  if (st < 0 || size == 0) {
    if (heap) HeapBlockFree(&heap, &data, &ignored);
    if (st >= 0) *sysError = ERROR_HANDLE_EOF;
    return ST_DOC_LOAD;
  }
  int result = 1;
  HANDLE update = BeginUpdateResourceW(package, FALSE);
  if (!update) {
    *sysError = GetLastError();
    // Not every system says why; a file that is no image is told as such.
    if (*sysError != ERROR_BAD_EXE_FORMAT && NotAnImage(package)) *sysError = ERROR_BAD_EXE_FORMAT;
    result = *sysError == ERROR_BAD_EXE_FORMAT ? ST_RES_BAD_EXE : ST_RES_BEGIN;
  } else {
    BOOL stored = UpdateResourceW(update, WIDE(PACKAGE_RES_TYPE),
                                  MAKEINTRESOURCEW(PACKAGE_RES_DOCUMENT),
                                  PACKAGE_RES_DOCUMENT_LANG, data, size);
    DWORD store_error = stored ? 0 : GetLastError();
    if (!EndUpdateResourceW(update, !stored)) {
      *sysError = GetLastError();
      result = ST_RES_END;
    } else if (!stored) {
      *sysError = store_error;
      result = ST_RES_UPDATE;
    }
  }
  HeapBlockFree(&heap, &data, &ignored);
  return result;
}

int check_image_length(const wchar_t* package, DWORD image_length, DWORD* sysError) {
  DWORD size = 0;
  int st = query_file_size(package, &size, sysError);
  if (st < 0) return st;
  if (size != image_length) {
    *sysError = 0;
    return ST_IMAGE_CHANGED;
  }
  return ST_OK;
}

int append_payload_block(const wchar_t* package, const wchar_t* module, DWORD* sysError) {
  HANDLE in = NULL, out = NULL;
  // A missing module appends nothing; the package is not even opened.
  int st = FileOpen(module, &in, GENERIC_READ, kShareAll, OPEN_EXISTING, sysError);
  if (st == ST_FILE_NOT_FOUND || st == ST_PATH_NOT_FOUND) return ST_OK;
  if (st < 0) return st;
  DWORD length = 0;
  st = SizeOf(in, &length, sysError);
  if (st == ST_OK) st = FileOpen(package, &out, GENERIC_READ | GENERIC_WRITE, kShareAll, OPEN_ALWAYS, sysError);
  if (st >= 0) {
    LONG high = 0;
    SetLastError(NO_ERROR);
    if (SetFilePointer(out, 0, &high, FILE_END) == INVALID_SET_FILE_POINTER &&
        GetLastError() != NO_ERROR)
      st = SeekFailureStatus(sysError);
    else
      st = ST_OK;
  }
  if (st == ST_OK) {
    unsigned char field[PACKAGE_LENGTH_FIELD_SIZE];
    DWORD put = 0;
    PutLe32(field, length);
    st = FileWrite(out, field, PACKAGE_LENGTH_FIELD_SIZE, &put, sysError);
  }
  // Exactly the announced length is copied: a module that shrank while it
  // was copied fails the append instead of leaving a short block.
  static_assert(kCopyBlock % 4096 == 0, "copy blocks are whole pages");
  unsigned char buffer[kCopyBlock];
  for (DWORD left = length; st == ST_OK && left;) {
    DWORD want = left < kCopyBlock ? left : kCopyBlock, got = 0, put = 0;
    st = FileRead(in, buffer, want, &got, sysError);
    if (st == ST_OK || (st == ST_SHORT_READ && got)) {
      int wst = FileWrite(out, buffer, got, &put, sysError);
      if (wst < 0) st = wst;
    }
    left -= got;
  }
  CloseIf(&in);
  CloseIf(&out);
  return st;
}

namespace {

uint32_t ModuleRead(void* context, uint32_t offset, void* out, uint32_t count) {
  HANDLE file = static_cast<HANDLE>(context);
  DWORD error = 0, got = 0;
  if (SeekTo(file, offset, &error) != ST_OK) return 0;
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
        GetLe32(fixed + VERSION_FILE_MS) != v.fixed->dwFileVersionMS ||
        GetLe32(fixed + VERSION_FILE_LS) != v.fixed->dwFileVersionLS) {
      if (*sysError == 0) *sysError = ERROR_RESOURCE_DATA_NOT_FOUND;
      st = ST_VER_UPDATE;
    }
  }
  if (st == ST_OK) {
    unsigned char words[8];
    PutLe32(words, static_cast<DWORD>((a & 0xFFFF) << 16 | (b & 0xFFFF)));
    PutLe32(words + 4, static_cast<DWORD>((c & 0xFFFF) << 16 | (d & 0xFFFF)));
    DWORD put = 0;
    if (SeekTo(file, at + VERSION_FILE_MS, sysError) < 0 ||
        FileWrite(file, words, sizeof words, &put, sysError) < 0)
      st = ST_VER_END;
  }
  CloseIf(&file);
  VersionInfoFree(&v);
  return st;
}

int extract_payload_into(HANDLE package, DWORD image_length, HANDLE target, uint32_t* checksum,
                         DWORD* sysError) {
  uint32_t r = 0;
  DWORD copied = 0, length = 0;
  int st = SeekTo(package, image_length, sysError);
  if (st == ST_OK) {
    unsigned char field[PACKAGE_LENGTH_FIELD_SIZE];
    DWORD got = 0;
    st = FileRead(package, field, PACKAGE_LENGTH_FIELD_SIZE, &got, sysError);
    length = GetLe32(field);
  }
  if (st == ST_OK) st = CopyPayload(package, target, length, &copied, &r, sysError);
  if (st == ST_OK) st = SeekTo(target, 0, sysError);
  *checksum = r;
  return st;
}

int extract_payload(const wchar_t* package, DWORD image_length, const wchar_t* target,
                    uint32_t* checksum, DWORD* sysError, HANDLE* held) {
  HANDLE in = NULL, out = NULL;
  if (held) *held = NULL;
  *checksum = 0;
  int st = FileOpen(package, &in, GENERIC_READ, kShareAll, OPEN_EXISTING, sysError);
  // An existing target is emptied first: a longer leftover of the same name
  // must not keep bytes after the payload. A held target shares reading
  // only from the moment it is opened.
  if (st >= 0)
    st = FileOpen(target, &out, GENERIC_READ | GENERIC_WRITE, held ? FILE_SHARE_READ : kShareAll,
                  OPEN_ALWAYS, sysError);
  if (st >= 0) {
    st = ST_OK;
    if (!SetEndOfFile(out)) {
      *sysError = GetLastError();
      st = ST_WRITE_FAILED;
    }
  }
  if (st == ST_OK) st = extract_payload_into(in, image_length, out, checksum, sysError);
  if (st == ST_OK && held)
    *held = out;
  else
    CloseIf(&out);
  CloseIf(&in);
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
  DWORD ms = GetLe32(fixed + VERSION_FILE_MS), ls = GetLe32(fixed + VERSION_FILE_LS);
  *a = HIWORD(ms);
  *b = LOWORD(ms);
  *c = HIWORD(ls);
  *d = LOWORD(ls);
  return SeekTo(file, 0, sysError);
}
