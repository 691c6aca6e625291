// File access layer: open with retry, read, write, whole-file routines,
// private heap blocks, folders with their parents, tree deletion and the
// temporary folder. Every system call goes through FileSys.
#include "common/file.h"

#include <string.h>

#include "common/file_syscalls.h"
#include "common/security.h"
#include "common/syslib.h"

namespace {

// Sequential access, plain attributes for a new file (0x08000080).
const DWORD kOpenFlags = FILE_FLAG_SEQUENTIAL_SCAN | FILE_ATTRIBUTE_NORMAL;
const int kOpenAttempts = 15;
const DWORD kRetryDelay = 200;  // milliseconds after each retryable failure
const DWORD kFolderFlagsCleared = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN;

bool PathLengthAccepted(size_t length) { return length >= 1 && length <= VT_PATH_MAX; }

HANDLE CreateFileT(const wchar_t* path, DWORD access, DWORD share, DWORD disposition,
                   DWORD flags) {
  return FileSys.CreateFileW(path, access, share, NULL, disposition, flags, NULL);
}

HANDLE CreateFileT(const char* path, DWORD access, DWORD share, DWORD disposition, DWORD flags) {
  return FileSys.CreateFileA(path, access, share, NULL, disposition, flags, NULL);
}

// The open of FileOpen and FileOpenA: checks the length, then makes up to
// kOpenAttempts attempts while the file is held by someone else.
template <typename C>
int OpenWithRetry(const C* path, HANDLE* handle, DWORD access, DWORD share,
                  DWORD disposition, DWORD* sysError, DWORD flags = kOpenFlags) {
  *handle = NULL;
  if (!path || !PathLengthAccepted(TextLengthMax(path, VT_PATH_MAX + 1))) {
    *sysError = 0;
    return ST_BAD_NAME;
  }
  int status = ST_OPEN_FAILED;
  for (int attempt = 0; attempt < kOpenAttempts; ++attempt) {
    HANDLE opened = CreateFileT(path, access, share, disposition, flags);
    DWORD error = GetLastError();
    *sysError = error;
    if (opened != INVALID_HANDLE_VALUE) {
      *handle = opened;
      if ((disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS) &&
          error == ERROR_ALREADY_EXISTS) {
        // A note, not an error: nobody must find 183 left behind.
        *sysError = 0;
        SetLastError(0);
        return ST_OK_EXISTED;
      }
      return ST_OK;
    }
    if (FileOpenErrorStep(error, disposition, &status) == FILE_OPEN_GIVE_UP) return status;
    FileSys.Sleep(kRetryDelay);
  }
  return status;
}

void FileClose(HANDLE file) { FileSys.CloseHandle(file); }

// Makes the access list of a descriptor the whole list of the object it is
// given to: without this the system adds what the parent folder passes on
// to new objects. SetSecurityDescriptorControl exists from Windows 2000 on;
// the systems before it add nothing to a list that is given.
void DescriptorProtect(PSECURITY_DESCRIPTOR descriptor) {
  decltype(&::SetSecurityDescriptorControl) set;
  if (descriptor &&
      SystemProcGet(GetModuleHandleW(L"advapi32.dll"), "SetSecurityDescriptorControl", &set))
    set(descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED);
}

// The attributes of an object only the process's user, Administrators and
// SYSTEM may use; NULL where the system keeps no access lists. The block
// is the caller's to free.
SECURITY_ATTRIBUTES* PrivateAttributes(SecurityBlock* block) {
  SECURITY_ATTRIBUTES* attributes = NULL;
  SecurityBlockBuild(&attributes, block, SECURITY_GRANT_PRIVATE);
  if (attributes) DescriptorProtect(attributes->lpSecurityDescriptor);
  return attributes;
}

// Creates path anew (it must not exist) for writing, unshared, with the
// private attributes.
int PrivateFileCreate(const wchar_t* path, HANDLE* file, DWORD* sysError) {
  SecurityBlock block = {};
  SECURITY_ATTRIBUTES* attributes = PrivateAttributes(&block);
  HANDLE created = FileSys.CreateFileW(path, GENERIC_WRITE, 0, attributes, CREATE_NEW,
                                       kOpenFlags, NULL);
  *sysError = created == INVALID_HANDLE_VALUE ? GetLastError() : 0;
  SecurityBlockFree(&block);
  *file = created == INVALID_HANDLE_VALUE ? NULL : created;
  if (*file) return ST_OK;
  int status = ST_CREATE_FAILED;
  FileOpenErrorStep(*sysError, CREATE_NEW, &status);
  return status;
}

// Clears read-only and hidden on a folder whose attributes can be read.
void FolderFlagsClear(const wchar_t* folder) {
  DWORD attributes = FileSys.GetFileAttributesW(folder);
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & kFolderFlagsCleared))
    FileSys.SetFileAttributesW(folder, attributes & ~kFolderFlagsCleared);
}

// Creates each parent of path from its second backslash on (the first
// follows the drive), then path itself. Returns 0 when path exists at the
// end, else ST_DIR_PATH_NOT_FOUND.
int DirCreateParents(const wchar_t* path, size_t length, SECURITY_ATTRIBUTES* attributes,
                     DWORD* sysError) {
  wchar_t prefix[VT_PATH_CAP];
  if (TextCopy(prefix, VT_PATH_CAP, path) < 0) return ST_DIR_PATH_NOT_FOUND;
  int backslashes = 0;
  for (size_t i = 0; i < length; ++i) {
    if (path[i] != L'\\' || ++backslashes < 2) continue;
    prefix[i] = 0;
    if (!FileSys.CreateDirectoryW(prefix, attributes)) {
      DWORD error = GetLastError();
      if (error != ERROR_ALREADY_EXISTS) {
        *sysError = error;
        return ST_DIR_PATH_NOT_FOUND;
      }
    }
    FolderFlagsClear(prefix);
    prefix[i] = L'\\';
  }
  // A trailing backslash has made the folder itself already.
  if (!FileSys.CreateDirectoryW(path, attributes)) {
    DWORD error = GetLastError();
    if (error != ERROR_ALREADY_EXISTS) {
      *sysError = error;
      return ST_DIR_PATH_NOT_FOUND;
    }
  }
  FolderFlagsClear(path);
  return ST_OK;
}

// DeleteFileW, and once more after clearing read-only. Failures are not
// reported: the tree deletion goes on with the next entry.
void FileDeleteForced(const wchar_t* path, DWORD attributes) {
  if (FileSys.DeleteFileW(path)) return;
  FileSys.SetFileAttributesW(path, attributes & ~FILE_ATTRIBUTE_READONLY);
  FileSys.DeleteFileW(path);
}

// Whether TreeDelete deletes a file it found.
bool TreeFileSelected(const WIN32_FIND_DATAW& entry, DWORD flags, const void* filter) {
  if (flags & TREE_EXTENSIONS)
    return FileExtensionListed(entry.cFileName, static_cast<const wchar_t* const*>(filter));
  if (!filter) return true;
  return CompareFileTime(&entry.ftLastWriteTime, static_cast<const FILETIME*>(filter)) < 0;
}

// The temporary folder with its trailing backslash, expanded to long names,
// into folder (VT_PATH_CAP units); empty when either call fails or the
// result would not fit.
void TempFolderLong(wchar_t* folder) {
  wchar_t reported[264] = {};
  for (int i = 0; i < VT_PATH_CAP; ++i) folder[i] = 0;
  DWORD n = FileSys.GetTempPathW(256, reported);
  if (n == 0 || n >= 256) return;
  n = FileSys.GetLongPathNameW(reported, folder, VT_PATH_CAP - 1);
  if (n == 0 || n >= VT_PATH_CAP - 1) folder[0] = 0;
}

wchar_t SharedTempFolder[VT_PATH_CAP];

}  // namespace

int FileOpen(const wchar_t* path, HANDLE* handle, DWORD access, DWORD share,
             DWORD disposition, DWORD* sysError) {
  return OpenWithRetry(path, handle, access, share, disposition, sysError);
}

int FileOpenOwn(const wchar_t* path, HANDLE* handle, DWORD access, DWORD share,
                DWORD disposition, DWORD* sysError) {
  int status = OpenWithRetry(path, handle, access, share, disposition, sysError,
                             kOpenFlags | FILE_FLAG_OPEN_REPARSE_POINT);
  if (status < 0) return status;
  BY_HANDLE_FILE_INFORMATION info;
  DWORD refused = 0;
  if (GetFileType(*handle) != FILE_TYPE_DISK)
    refused = ERROR_BAD_FILE_TYPE;
  else if (!GetFileInformationByHandle(*handle, &info))
    refused = GetLastError() ? GetLastError() : ERROR_INVALID_HANDLE;
  else if (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY))
    refused = ERROR_REPARSE_TAG_MISMATCH;
  else if (info.nNumberOfLinks != 1)
    refused = ERROR_TOO_MANY_LINKS;
  if (!refused) return status;
  FileClose(*handle);
  *handle = NULL;
  *sysError = refused;
  return ST_REFUSED;
}

int FileOpenA(const char* path, HANDLE* handle, DWORD access, DWORD share,
              DWORD disposition, DWORD* sysError) {
  return OpenWithRetry(path, handle, access, share, disposition, sysError);
}

int FileRead(HANDLE handle, void* buffer, DWORD count, DWORD* bytesRead, DWORD* sysError) {
  DWORD done = 0;
  BOOL ok = FileSys.ReadFile(handle, buffer, count, &done, NULL);
  if (bytesRead) *bytesRead = done;
  if (!ok) {
    *sysError = GetLastError();
    return FileReadErrorStatus(*sysError);
  }
  if (done < count) {
    // The end of the file: no system error.
    *sysError = 0;
    return ST_SHORT_READ;
  }
  return ST_OK;
}

int FileWrite(HANDLE handle, const void* buffer, DWORD count, DWORD* bytesWritten,
              DWORD* sysError) {
  DWORD done = 0;
  BOOL ok = FileSys.WriteFile(handle, buffer, count, &done, NULL);
  if (bytesWritten) *bytesWritten = done;
  if (!ok) {
    *sysError = GetLastError();
    return FileWriteErrorStatus(*sysError);
  }
  if (done < count) {
    *sysError = GetLastError();
    return FileShortWriteStatus(*sysError);
  }
  return ST_OK;
}

// Size of an open file. GetFileSize is asked for the high part too, so
// that a file of 4 GiB or more is refused rather than taken for its low
// 32 bits; 0xFFFFFFFF bytes counts as a failure as well.
int FileSizeGet(HANDLE file, DWORD* size, DWORD* sysError) {
  DWORD high = 0;
  SetLastError(NO_ERROR);
  DWORD low = FileSys.GetFileSize(file, &high);
  if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return SizeFailureStatus(sysError);
  if (high != 0 || low == INVALID_FILE_SIZE) {
    *sysError = ERROR_FILE_TOO_LARGE;
    return ST_SIZE_FAILED;
  }
  *size = low;
  return ST_OK;
}

namespace {

// SetFilePointer with the high part given, so that offsets up to 4 GiB are
// taken as unsigned; 0xFFFFFFFF is then a failure only with an error set.
int SeekFrom(HANDLE file, DWORD offset, DWORD method, DWORD* sysError) {
  LONG high = 0;
  SetLastError(NO_ERROR);
  if (FileSys.SetFilePointer(file, static_cast<LONG>(offset), &high, method) ==
          INVALID_SET_FILE_POINTER &&
      GetLastError() != NO_ERROR)
    return SeekFailureStatus(sysError);
  return ST_OK;
}

// Bytes of the buffer of a copy (whole pages): one block, or the two
// halves of a comparing copy, the read bytes and those compared.
const DWORD kCopyBlock = 81920;
static_assert(kCopyBlock % 8192 == 0, "two halves of whole pages");

// Compares got bytes of block with what follows in the copy's comparison
// file or buffer. ST_OK or ST_CONTENT_DIFFERS, or the failed read's status.
int CompareBlock(FileCopy* copy, const unsigned char* block, unsigned char* other, DWORD got,
                 DWORD* sysError) {
  if (copy->same_as) {
    DWORD had = 0;
    int st = FileRead(copy->same_as, other, got, &had, sysError);
    if (st < 0 && st != ST_SHORT_READ) return st;
    if (had != got || memcmp(block, other, got) != 0) {
      *sysError = ERROR_CRC;
      return ST_CONTENT_DIFFERS;
    }
  }
  if (copy->expected &&
      memcmp(block, static_cast<const unsigned char*>(copy->expected) + copy->passed, got) != 0) {
    *sysError = ERROR_CRC;
    return ST_CONTENT_DIFFERS;
  }
  return ST_OK;
}

}  // namespace

int FileSeek(HANDLE file, DWORD offset, DWORD* sysError) {
  return SeekFrom(file, offset, FILE_BEGIN, sysError);
}

int FileSeekEnd(HANDLE file, DWORD* sysError) { return SeekFrom(file, 0, FILE_END, sysError); }

int FileSetLength(HANDLE file, DWORD length, DWORD* sysError) {
  int st = FileSeek(file, length, sysError);
  if (st == ST_OK && !SetEndOfFile(file)) {
    *sysError = GetLastError();
    st = *sysError == ERROR_HANDLE_DISK_FULL || *sysError == ERROR_DISK_FULL ? ST_DISK_FULL
                                                                           : ST_WRITE_FAILED;
  }
  return st;
}

int FileCopyRange(HANDLE source, FileCopy* copy, DWORD* sysError) {
  unsigned char block[kCopyBlock];
  const bool comparing = copy->same_as != NULL;
  const DWORD size = comparing ? kCopyBlock / 2 : kCopyBlock;
  unsigned char* other = block + size;
  const bool bounded = copy->length != FILE_COPY_TO_END;
  copy->passed = 0;
  for (;;) {
    DWORD want = size;
    if (bounded) {
      if (copy->passed == copy->length) return ST_OK;
      if (copy->length - copy->passed < want) want = copy->length - copy->passed;
    }
    DWORD got = 0;
    int st = FileRead(source, block, want, &got, sysError);
    if (st < 0 && st != ST_SHORT_READ) return st;
    if (got) {
      int pst = CompareBlock(copy, block, other, got, sysError);
      if (pst == ST_OK && copy->target) pst = FileWrite(copy->target, block, got, NULL, sysError);
      if (pst < 0) return pst;
      if (copy->sum_step) copy->sum = copy->sum_step(copy->sum, block, static_cast<int>(got));
      copy->passed += got;
    }
    if (st == ST_SHORT_READ) {
      // The end of the source: where the range runs to it, the pass is done.
      if (!bounded) return ST_OK;
      *sysError = 0;
      return ST_SHORT_READ;
    }
  }
}

namespace {

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
    return FileSearchErrorStatus(*sysError);
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

}  // namespace

int query_file_size(const wchar_t* path, DWORD* size, DWORD* sysError) {
  return FindSize<wchar_t, WIN32_FIND_DATAW>(path, size, sysError, FindFirstFileW);
}

int query_file_size(const char* path, DWORD* size, DWORD* sysError) {
  return FindSize<char, WIN32_FIND_DATAA>(path, size, sysError, FindFirstFileA);
}

int SeekFailureStatus(DWORD* sysError) {
  *sysError = GetLastError();
  return FileSeekErrorStatus(*sysError);
}

int SizeFailureStatus(DWORD* sysError) {
  *sysError = GetLastError();
  return FileSizeErrorStatus(*sysError);
}

int FileReadAll(const wchar_t* path, DWORD count, void* buffer, DWORD* sysError) {
  HANDLE file;
  int status = FileOpen(path, &file, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                        OPEN_EXISTING, sysError);
  if (status < 0) return status;
  DWORD size = 0;
  status = FileSizeGet(file, &size, sysError);
  // The whole-file result is the size as a status, so it must stay positive.
  if (status == ST_OK && count == FILE_READ_WHOLE && size > FILE_READ_WHOLE) {
    *sysError = ERROR_FILE_TOO_LARGE;
    status = ST_SIZE_FAILED;
  }
  if (status == ST_OK) status = FileSeek(file, 0, sysError);
  if (status == ST_OK) {
    DWORD wanted = count == FILE_READ_WHOLE ? size : count;
    status = FileRead(file, buffer, wanted, NULL, sysError);
    if (status == ST_OK && count == FILE_READ_WHOLE) status = static_cast<int>(size);
  }
  FileClose(file);
  return status;
}

int FileWriteRecord(const wchar_t* path, DWORD recordSize, int position, const void* data,
                    DWORD* sysError) {
  const DWORD length = recordSize & ~FILE_RECORD_BYTES;
  const DWORD record = (recordSize & FILE_RECORD_BYTES) ? 1 : recordSize;
  const bool createEmpty = recordSize == 0;
  if ((createEmpty && (position != FILE_POS_CREATE || data)) || (length && !data)) {
    *sysError = 0;
    return ST_BAD_ARGS;
  }
  HANDLE file;
  int status = FileOpen(path, &file, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                        position == FILE_POS_CREATE ? CREATE_ALWAYS : OPEN_EXISTING, sysError);
  if (status < 0 || createEmpty) {
    if (file) FileClose(file);
    return status;
  }
  DWORD size = 0;
  uint32_t offset = 0;
  status = FileSizeGet(file, &size, sysError);
  if (status == ST_OK) {
    status = FileRecordOffset(size, record, position, &offset);
    if (status == ST_PAST_END) *sysError = 0;
  }
  if (status == ST_OK) status = FileSeek(file, offset, sysError);
  if (status == ST_OK) status = FileWrite(file, data, length, NULL, sysError);
  FileClose(file);
  return status;
}

int FileCreateWrite(const wchar_t* path, DWORD length, const void* data, DWORD* sysError) {
  return FileWriteRecord(path, length, FILE_POS_CREATE, data, sysError);
}

int FileReplaceWrite(const wchar_t* path, DWORD length, const void* data, DWORD* sysError,
                     FileAccess access) {
  wchar_t folder[VT_PATH_CAP], temp[MAX_PATH + 1];
  size_t cut = 0, n = path ? TextLengthMax(path, VT_PATH_MAX + 1) : 0;
  for (size_t i = 0; i < n; ++i)
    if (path[i] == L'\\') cut = i;
  if (!PathLengthAccepted(n) || cut == 0 || (length && !data)) {
    *sysError = 0;
    return ST_BAD_NAME;
  }
  // The folder with its backslash, so that a drive's root stays one.
  for (size_t i = 0; i <= cut; ++i) folder[i] = path[i];
  folder[cut + 1] = 0;
  // The new content goes to a file of its own beside the target, which
  // then takes the target's place in one step: a write that fails (a full
  // disk) leaves the target as it was.
  if (!GetTempFileNameW(folder, L"vt", 0, temp)) {
    *sysError = GetLastError();
    int status = ST_CREATE_FAILED;
    FileOpenErrorStep(*sysError, CREATE_ALWAYS, &status);
    return status;
  }
  HANDLE file;
  int status;
  if (access == FILE_ACCESS_PRIVATE) {
    // The reserved name goes, and the file comes back with its own list.
    FileSys.DeleteFileW(temp);
    status = PrivateFileCreate(temp, &file, sysError);
  } else {
    status = FileOpen(temp, &file, GENERIC_WRITE, 0, CREATE_ALWAYS, sysError);
  }
  if (status >= 0) {
    status = length ? FileWrite(file, data, length, NULL, sysError) : ST_OK;
    // The bytes reach the disk before the name does.
    if (status == ST_OK && !FlushFileBuffers(file)) {
      *sysError = GetLastError();
      status = FileWriteErrorStatus(*sysError);
    }
    FileClose(file);
  }
  if (status >= 0) status = FileReplace(temp, path, sysError);
  if (status < 0) FileSys.DeleteFileW(temp);
  return status < 0 ? status : ST_OK;
}

int FileReplace(const wchar_t* from, const wchar_t* to, DWORD* sysError) {
  for (int attempt = 1;; ++attempt) {
    if (FileSys.MoveFileExW(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      *sysError = 0;
      return ST_OK;
    }
    *sysError = GetLastError();
    if (attempt == kOpenAttempts || !FileReplaceRetryable(*sysError)) break;
    FileSys.Sleep(kRetryDelay);
  }
  return FileWriteErrorStatus(*sysError);
}

FileKind FileKindGet(const wchar_t* path) {
  DWORD attributes = FileSys.GetFileAttributesW(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) return FILE_KIND_NONE;
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? FILE_KIND_FOLDER : FILE_KIND_FILE;
}

bool FileReadOnlyClear(const wchar_t* path) {
  DWORD attributes = FileSys.GetFileAttributesW(path);
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_READONLY))
    return true;
  return FileSys.SetFileAttributesW(path, attributes & ~FILE_ATTRIBUTE_READONLY) != FALSE;
}

int HeapBlockCreate(int size, HANDLE* heap, void** block, DWORD* sysError) {
  *heap = NULL;
  *block = NULL;
  if (size <= 0) {
    *sysError = 0;
    return ST_HEAP_SIZE;
  }
  HANDLE created = FileSys.HeapCreate(0, FileHeapInitialSize(static_cast<DWORD>(size)), 0);
  if (!created) {
    *sysError = GetLastError();
    return ST_HEAP_CREATE;
  }
  void* allocated = FileSys.HeapAlloc(created, HEAP_ZERO_MEMORY, static_cast<SIZE_T>(size));
  if (!allocated) {
    // HeapAlloc without HEAP_GENERATE_EXCEPTIONS need not set a last error.
    *sysError = GetLastError();
    FileSys.HeapDestroy(created);
    return ST_HEAP_ALLOC;
  }
  *heap = created;
  *block = allocated;
  return ST_OK;
}

int HeapBlockFree(HANDLE* heap, void** block, DWORD* sysError) {
  if (!heap || !*heap) {
    *sysError = 0;
    return ST_HEAP_NO_HEAP;
  }
  if (!block || !*block) {
    *sysError = 0;
    return ST_HEAP_NO_BLOCK;
  }
  int status = ST_OK;
  if (!FileSys.HeapFree(*heap, 0, *block)) {
    *sysError = GetLastError();
    status = ST_HEAP_FREE;
  }
  if (!FileSys.HeapDestroy(*heap)) {
    // The first failure keeps its status and its error.
    if (status == ST_OK) {
      *sysError = GetLastError();
      status = ST_HEAP_DESTROY;
    }
    return status;
  }
  *heap = NULL;
  *block = NULL;
  return status;
}

int FileLoad(const char* path, HANDLE* heap, void** block, DWORD* size, DWORD* sysError) {
  *heap = NULL;
  *block = NULL;
  *size = 0;
  HANDLE file;
  int status = FileOpenA(path, &file, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         OPEN_EXISTING, sysError);
  if (status < 0) return status;
  DWORD length = 0;
  status = FileSizeGet(file, &length, sysError);
  if (status == ST_OK && length > 0) {
    status = HeapBlockCreate(length > 0x7FFFFFFFu ? -1 : static_cast<int>(length), heap, block,
                             sysError);
    if (status == ST_OK) {
      *size = length;
      // After a failed read the block stays the caller's to free.
      status = FileRead(file, *block, length, NULL, sysError);
    }
  }
  FileClose(file);
  return status;
}

int DirCreate(const wchar_t* path, DWORD* sysError, DirGrant grant) {
  SecurityBlock block = {};
  SECURITY_ATTRIBUTES* attributes = NULL;
  SecurityBlockBuild(&attributes, &block,
                     grant == DIR_GRANT_USERS_READ ? SECURITY_GRANT_USERS_READ
                                                   : SECURITY_GRANT_FULL);
  int status;
  size_t length = path ? TextLengthMax(path, VT_PATH_MAX + 1) : 0;
  if (!PathLengthAccepted(length)) {
    *sysError = 0;
    status = ST_DIR_BAD_PATH;
  } else if (FileSys.CreateDirectoryW(path, attributes)) {
    status = ST_OK;
  } else {
    *sysError = GetLastError();
    status = DirErrorStatus(*sysError);
    if (*sysError == ERROR_PATH_NOT_FOUND)
      status = DirCreateParents(path, length, attributes, sysError);
  }
  SecurityBlockFree(&block);
  return status;
}

bool FileIsReparsePoint(HANDLE handle) {
  BY_HANDLE_FILE_INFORMATION info;
  return !GetFileInformationByHandle(handle, &info) ||
         (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

int DirCreateOwn(const wchar_t* path, HANDLE* handle, DWORD* sysError) {
  *handle = NULL;
  size_t length = path ? TextLengthMax(path, VT_PATH_MAX + 1) : 0;
  if (!PathLengthAccepted(length)) {
    *sysError = 0;
    return ST_DIR_BAD_PATH;
  }
  SecurityBlock block = {};
  BOOL made = FileSys.CreateDirectoryW(path, PrivateAttributes(&block));
  *sysError = made ? 0 : GetLastError();
  SecurityBlockFree(&block);
  if (!made) return DirErrorStatus(*sysError);
  // Held without sharing deletion: the folder stays this folder. A link
  // standing in its place is opened as itself and refused.
  HANDLE opened = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                              NULL);
  if (opened == INVALID_HANDLE_VALUE) {
    *sysError = GetLastError();
    return ST_DIR_FAILED;
  }
  if (FileIsReparsePoint(opened)) {
    FileSys.CloseHandle(opened);
    *sysError = ERROR_REPARSE_TAG_MISMATCH;
    return ST_DIR_FAILED;
  }
  *handle = opened;
  return ST_OK;
}

// The pattern buffer is taken to hold VT_PATH_CAP units: a folder whose
// pattern would not fit in it, and a file whose full name would not fit in
// a path buffer, are left alone. The buffer holds the caller's pattern
// again when the routine returns.
int TreeDelete(wchar_t* pattern, DWORD flags, const void* filter, DWORD* sysError) {
  size_t length = pattern ? TextLengthMax(pattern, VT_PATH_CAP) : 0;
  if (length < 2 || length >= VT_PATH_CAP) return 0;
  WIN32_FIND_DATAW entry;
  HANDLE find = FileSys.FindFirstFileW(pattern, &entry);
  if (find == INVALID_HANDLE_VALUE) {
    *sysError = GetLastError();
    return 0;
  }
  // From here the buffer holds the folder; the recursion writes a longer
  // pattern that begins with it.
  const size_t folderLength = length - 2;
  const wchar_t tail[2] = {pattern[folderLength], pattern[folderLength + 1]};
  pattern[folderLength] = 0;
  do {
    const bool folder = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (folder && (entry.cFileName[0] == L'.' || !(flags & TREE_RECURSE))) continue;
    wchar_t full[VT_PATH_CAP];
    if (TextFormat(full, VT_PATH_CAP, L"%s\\%s", pattern, entry.cFileName) < 0) continue;
    if (!folder) {
      if (TreeFileSelected(entry, flags, filter)) FileDeleteForced(full, entry.dwFileAttributes);
      continue;
    }
    // A junction or a folder link is removed, never entered: what it
    // points to belongs elsewhere.
    if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
      if (TextLength(full) + 2 >= VT_PATH_CAP) continue;  // its pattern would not fit
      TextFormat(pattern, VT_PATH_CAP, L"%s\\*", full);
      TreeDelete(pattern, flags, filter, sysError);
      pattern[folderLength] = 0;
    }
    // Fails, and keeps the folder, when something inside was kept.
    FileSys.RemoveDirectoryW(full);
  } while (FileSys.FindNextFileW(find, &entry));
  FileSys.FindClose(find);
  pattern[folderLength] = tail[0];
  pattern[folderLength + 1] = tail[1];
  pattern[length] = 0;
  return 0;
}

const wchar_t* TempFolderGet() {
  TempFolderLong(SharedTempFolder);
  size_t n = TextLength(SharedTempFolder);
  if (n > 0 && SharedTempFolder[n - 1] == L'\\') SharedTempFolder[n - 1] = 0;
  return SharedTempFolder;
}

void TempFolderGet(wchar_t* folder) { TempFolderLong(folder); }
