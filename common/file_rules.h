// Decisions of the file access layer that need no system call: how each
// Win32 error maps onto a status, where a record is written, how large a
// private heap starts, which files an extension list selects. Compiles
// without windows.h; common/file.cpp applies these to what the system says.
#pragma once

#include <stdint.h>

// Record positions of FileWriteRecord.
enum {
  FILE_POS_CREATE = -2,  // create or truncate the file, write at offset 0
  FILE_POS_APPEND = -4   // write after the last whole record
};

// What an open does after CreateFile failed.
enum FileOpenStep {
  FILE_OPEN_RETRY,  // sleep and try again (the file is held by someone else)
  FILE_OPEN_GIVE_UP // return *status
};

// Applies the failed open's Win32 error to *status (ST_OPEN_FAILED before
// the first attempt) for the given CreateFile disposition.
FileOpenStep FileOpenErrorStep(uint32_t error, uint32_t disposition, int* status);

// Whether a replacement (MoveFileExW) that failed with error is tried again
// after a pause: another process holds one of the files. A source held
// without delete sharing gives a sharing violation; a replaced file that
// another process has open gives access denied (measured under Wine; NTFS
// does the same), which a file the user may not change gives too, and
// there the retries only delay the failure.
bool FileReplaceRetryable(uint32_t error);

// Status of a failed ReadFile, WriteFile, SetFilePointer or GetFileSize.
int FileReadErrorStatus(uint32_t error);
int FileWriteErrorStatus(uint32_t error);
int FileSeekErrorStatus(uint32_t error);
int FileSizeErrorStatus(uint32_t error);

// Status of a failed search for a file by name (FindFirstFile).
int FileSearchErrorStatus(uint32_t error);

// Status of a write call that succeeded but moved fewer bytes than asked;
// error is the last error read after the call.
int FileShortWriteStatus(uint32_t error);

// Status of a failed CreateDirectoryW.
int DirErrorStatus(uint32_t error);

// Write offset of FileWriteRecord: recordSize bytes a record (the length
// word with FILE_RECORD_BYTES taken off already gives 1), position counted
// from 1 or FILE_POS_APPEND, fileSize the current size. Returns 0 with
// *offset set, or ST_PAST_END when the record would start beyond the end
// of the file (also when the offset does not fit in 32 bits).
int FileRecordOffset(uint32_t fileSize, uint32_t recordSize, int position,
                     uint32_t* offset);

// Initial size of the private heap for a block of size bytes: the size
// rounded down to whole 4096-byte pages, plus one page. size is 1 to
// 0x7FFFFFFF.
uint32_t FileHeapInitialSize(uint32_t size);

// Whether a file name's extension, the text after its last ".", is one of
// the NULL-terminated list (ASCII letters compared without case). A name
// without an extension is never selected; neither is anything by a NULL or
// empty list.
bool FileExtensionListed(const wchar_t* name, const wchar_t* const* list);
