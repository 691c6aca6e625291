// Decisions of the file access layer: error mapping, record offsets, heap
// sizes and extension lists, as plain values.
#include "common/file_rules.h"

#include "common/status.h"

namespace {

// Win32 error codes the layer tells apart.
enum : uint32_t {
  kFileNotFound = 2,
  kPathNotFound = 3,
  kTooManyOpenFiles = 4,
  kAccessDenied = 5,
  kInvalidHandle = 6,
  kSharingViolation = 32,
  kLockViolation = 33,
  kHandleDiskFull = 39,
  kFileExists = 80,
  kInvalidParameter = 87,
  kDiskFull = 112,
  kInvalidName = 123,
  kNegativeSeek = 131,
  kAlreadyExists = 183
};

// CreateFile dispositions that never create a file.
enum : uint32_t { kOpenExisting = 3, kTruncateExisting = 5 };

const uint32_t kPage = 4096;

// A full disk is reported as ERROR_HANDLE_DISK_FULL by some file systems
// and redirectors and as ERROR_DISK_FULL by NTFS and FAT on NT.
bool IsDiskFull(uint32_t error) { return error == kHandleDiskFull || error == kDiskFull; }

wchar_t AsciiLower(wchar_t c) { return c >= L'A' && c <= L'Z' ? wchar_t(c - L'A' + L'a') : c; }

bool SameExtension(const wchar_t* a, const wchar_t* b) {
  for (; *a && *b; ++a, ++b)
    if (AsciiLower(*a) != AsciiLower(*b)) return false;
  return *a == *b;
}

}  // namespace

FileOpenStep FileOpenErrorStep(uint32_t error, uint32_t disposition, int* status) {
  switch (error) {
    case kSharingViolation:
    case kLockViolation:
      *status = ST_BUSY;
      return FILE_OPEN_RETRY;
    case kTooManyOpenFiles:
      return FILE_OPEN_RETRY;
    case kFileNotFound: *status = ST_FILE_NOT_FOUND; break;
    case kPathNotFound: *status = ST_PATH_NOT_FOUND; break;
    case kAccessDenied: *status = ST_ACCESS_DENIED; break;
    case kFileExists: *status = ST_FILE_EXISTS; break;
    case kInvalidParameter: *status = ST_REFUSED; break;
    case kInvalidName: *status = ST_INVALID_NAME; break;
    default:
      // Keeps ST_OPEN_FAILED, or ST_BUSY from an earlier attempt, for the
      // dispositions that only open.
      if (disposition != kOpenExisting && disposition != kTruncateExisting)
        *status = ST_CREATE_FAILED;
      break;
  }
  return FILE_OPEN_GIVE_UP;
}

bool FileReplaceRetryable(uint32_t error) {
  return error == kSharingViolation || error == kLockViolation || error == kAccessDenied;
}

int FileReadErrorStatus(uint32_t error) {
  if (error == kAccessDenied) return ST_REFUSED;
  if (error == kInvalidHandle) return ST_INVALID_HANDLE;
  return ST_READ_FAILED;
}

int FileWriteErrorStatus(uint32_t error) {
  if (error == kAccessDenied) return ST_REFUSED;
  if (error == kInvalidHandle) return ST_INVALID_HANDLE;
  if (IsDiskFull(error)) return ST_DISK_FULL;
  return ST_WRITE_FAILED;
}

int FileSearchErrorStatus(uint32_t error) {
  switch (error) {
    case kFileNotFound: return ST_FILE_NOT_FOUND;
    case kPathNotFound: return ST_PATH_NOT_FOUND;
    case kAccessDenied: return ST_ACCESS_DENIED;
    case kSharingViolation:
    case kLockViolation: return ST_BUSY;
    default: return ST_OPEN_FAILED;
  }
}

int FileShortWriteStatus(uint32_t error) {
  return IsDiskFull(error) ? ST_DISK_FULL : ST_SHORT_WRITE;
}

int FileSeekErrorStatus(uint32_t error) {
  if (error == kInvalidHandle) return ST_INVALID_HANDLE;
  if (error == kInvalidParameter) return ST_SEEK_PARAM;
  if (error == kNegativeSeek) return ST_NEGATIVE_SEEK;
  return ST_SEEK_FAILED;
}

int FileSizeErrorStatus(uint32_t error) {
  return error == kInvalidHandle ? ST_INVALID_HANDLE : ST_SIZE_FAILED;
}

int DirErrorStatus(uint32_t error) {
  if (error == kPathNotFound) return ST_DIR_PATH_NOT_FOUND;
  if (error == kAccessDenied) return ST_DIR_ACCESS_DENIED;
  if (error == kAlreadyExists) return ST_DIR_EXISTS;
  return ST_DIR_FAILED;
}

int FileRecordOffset(uint32_t fileSize, uint32_t recordSize, int position,
                     uint32_t* offset) {
  *offset = 0;
  if (recordSize == 0) return ST_OK;
  if (position == FILE_POS_APPEND) {
    // A trailing partial record is overwritten.
    *offset = fileSize - fileSize % recordSize;
  } else if (position > 0) {
    // Worked out in 64 bits: a far position must not wrap round onto the
    // start of the file.
    uint64_t at = uint64_t(uint32_t(position) - 1) * recordSize;
    if (at > fileSize) return ST_PAST_END;
    *offset = uint32_t(at);
  }
  return ST_OK;
}

uint32_t FileHeapInitialSize(uint32_t size) { return (size / kPage + 1) * kPage; }

bool FileExtensionListed(const wchar_t* name, const wchar_t* const* list) {
  const wchar_t* dot = nullptr;
  for (const wchar_t* p = name; *p; ++p)
    if (*p == L'.') dot = p;
  if (!dot || !dot[1] || !list) return false;
  for (; *list; ++list)
    if (SameExtension(dot + 1, *list)) return true;
  return false;
}
