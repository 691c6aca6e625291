// File access layer: every file and folder operation of both programs.
//
// The layer rejects empty and over-long paths before the system is asked,
// retries an open that meets another process's lock, and turns each failure
// into a status of common/status.h while handing the raw Win32 error back
// through the last argument of every routine.
//
// A handle variable receives NULL, never INVALID_HANDLE_VALUE, when no file
// was opened. Sizes and offsets are 32-bit.
#pragma once

#include <windows.h>
#include <stdint.h>

#include "common/file_rules.h"
#include "common/status.h"
#include "common/text.h"

// Set in the record size of FileWriteRecord: the size is a byte count and
// positions count bytes.
const DWORD FILE_RECORD_BYTES = 0x80000000u;

// Byte count of FileReadAll meaning "the whole file".
const DWORD FILE_READ_WHOLE = 0x7FFFFFFFu;

// TreeDelete flags.
const DWORD TREE_RECURSE = 0x1u;
const DWORD TREE_EXTENSIONS = 0x80000000u;

// Opens or creates path (1 to 259 UTF-16 units) with CreateFileW, retrying
// up to 15 times 200 ms apart while the file is locked by someone else.
// Returns 0, ST_OK_EXISTED when a create-always or open-always disposition
// met an existing file (system error then 0), or an open failure.
int FileOpen(const wchar_t* path, HANDLE* handle, DWORD access, DWORD share,
             DWORD disposition, DWORD* sysError);

// FileOpen for a file that must be a disk file of its own, never reached
// through another name: a link or other reparse point at path is opened as
// itself, not followed, and refused (ERROR_REPARSE_TAG_MISMATCH), and so
// are anything but a disk file (a device or a pipe: ERROR_BAD_FILE_TYPE)
// and a file with more than one name (a hard link, whose other name may lie
// anywhere: ERROR_TOO_MANY_LINKS); each gives ST_REFUSED, and what was
// opened is closed untouched.
int FileOpenOwn(const wchar_t* path, HANDLE* handle, DWORD access, DWORD share,
                DWORD disposition, DWORD* sysError);

// FileOpen for a path in the ANSI code page (1 to 259 bytes).
int FileOpenA(const char* path, HANDLE* handle, DWORD access, DWORD share,
              DWORD disposition, DWORD* sysError);

// One synchronous ReadFile. ST_SHORT_READ when fewer bytes came than asked.
int FileRead(HANDLE handle, void* buffer, DWORD count, DWORD* bytesRead,
             DWORD* sysError);

// One synchronous WriteFile. ST_DISK_FULL or ST_SHORT_WRITE for a short write.
int FileWrite(HANDLE handle, const void* buffer, DWORD count,
              DWORD* bytesWritten, DWORD* sysError);

// Moves the file pointer to an absolute offset below 4 GiB.
int FileSeek(HANDLE file, DWORD offset, DWORD* sysError);

// Moves the file pointer to the end of the file.
int FileSeekEnd(HANDLE file, DWORD* sysError);

// Cuts or grows an open file to length bytes, leaving the file pointer
// there. A full disk gives ST_DISK_FULL, another failure ST_WRITE_FAILED.
int FileSetLength(HANDLE file, DWORD length, DWORD* sysError);

// Size of an open file; a file of 4 GiB or more fails with ST_SIZE_FAILED
// (ERROR_FILE_TOO_LARGE).
int FileSizeGet(HANDLE file, DWORD* size, DWORD* sysError);

// Size of the one file a search for exactly its name finds (low 32 bits),
// without opening it. A path of 0 or more than 259 characters, or holding a
// wildcard, gives ST_OPEN_FAILED (ERROR_INVALID_NAME) without a search; a
// folder ST_ACCESS_DENIED (ERROR_ACCESS_DENIED); a file of 4 GiB or more
// ST_SIZE_FAILED (ERROR_FILE_TOO_LARGE); a failed search the status of
// FileSearchErrorStatus.
int query_file_size(const wchar_t* path, DWORD* size, DWORD* sysError);
int query_file_size(const char* path, DWORD* size, DWORD* sysError);

// Length of a FileCopyRange that runs to the end of its source.
const DWORD FILE_COPY_TO_END = 0xFFFFFFFFu;

// A running checksum over the bytes a copy passes: folds count bytes into
// sum and returns the new value.
typedef uint32_t (*FileSumStep)(uint32_t sum, const void* bytes, int count);

// What one pass of FileCopyRange does with the bytes it reads.
struct FileCopy {
  DWORD length;          // bytes to pass, or FILE_COPY_TO_END
  HANDLE target;         // written at its file pointer; NULL: nothing written
  HANDLE same_as;        // must hold the same bytes at its file pointer; NULL: none
  const void* expected;  // the bytes the range must equal; NULL: none
  FileSumStep sum_step;  // NULL: no checksum
  uint32_t sum;          // in: the start value; out: over the bytes passed
  DWORD passed;          // out: the bytes read and handled
};

// One pass over the bytes that follow source's file pointer, in blocks of a
// fixed 81,920-byte buffer on the stack: each block is written to the target,
// compared and added to the checksum as copy asks. Returns 0 after length
// bytes or, for FILE_COPY_TO_END, at the end of the source;
// ST_SHORT_READ (system error 0) when the source ended before length
// bytes, all that came being passed; ST_CONTENT_DIFFERS (ERROR_CRC) when
// the compared bytes differ or same_as ends first; or the failing read's
// or write's status.
int FileCopyRange(HANDLE source, FileCopy* copy, DWORD* sysError);

// Maps the last error after SetFilePointer returned 0xFFFFFFFF.
int SeekFailureStatus(DWORD* sysError);

// Maps the last error after GetFileSize returned 0xFFFFFFFF.
int SizeFailureStatus(DWORD* sysError);

// Reads count bytes (or the whole file for FILE_READ_WHOLE) of path into
// buffer, which must hold them. Returns the status, or in whole-file mode
// the file size on success.
int FileReadAll(const wchar_t* path, DWORD count, void* buffer, DWORD* sysError);

// Writes one record of recordSize bytes at position (records counted from 1,
// or FILE_POS_CREATE / FILE_POS_APPEND).
int FileWriteRecord(const wchar_t* path, DWORD recordSize, int position,
                    const void* data, DWORD* sysError);

// Creates or truncates path and writes length bytes at offset 0.
int FileCreateWrite(const wchar_t* path, DWORD length, const void* data,
                    DWORD* sysError);

// Who may use a file the layer writes.
enum FileAccess {
  FILE_ACCESS_INHERITED,  // what its folder passes on
  FILE_ACCESS_PRIVATE     // only the user the process runs as, Administrators
                          // and SYSTEM, whatever the folder passes on (where
                          // the system keeps access lists)
};

// Replaces the content of path with length bytes, or creates it: the bytes
// are written to a new file in the same folder that then takes path's place
// in one step, so a failed write leaves an existing file whole. With
// FILE_ACCESS_PRIVATE the new file carries that access list from the moment
// it exists, so nobody else ever holds it open.
int FileReplaceWrite(const wchar_t* path, DWORD length, const void* data, DWORD* sysError,
                     FileAccess access = FILE_ACCESS_INHERITED);

// Puts the file from in to's place in one step, replacing a file there,
// and returns only when the move has reached the disk. Both names must lie
// on one volume. While another process holds one of the files
// (FileReplaceRetryable) it tries again, up to 15 times 200 ms apart, as an
// open does. Returns 0, or for a failed move the status of
// FileWriteErrorStatus; from is then left where it was.
int FileReplace(const wchar_t* from, const wchar_t* to, DWORD* sysError);

// What a path names.
enum FileKind {
  FILE_KIND_NONE,   // nothing, or nothing that may be asked about
  FILE_KIND_FILE,
  FILE_KIND_FOLDER
};

// What path names now. For FILE_KIND_NONE the last error says why.
FileKind FileKindGet(const wchar_t* path);

// Clears the read-only attribute of a file that carries it. Returns false
// only when the attribute is there and could not be cleared.
bool FileReadOnlyClear(const wchar_t* path);

// Loads a whole file (ANSI path) into a zero-filled block of a private heap.
// An empty file gives 0 with no heap and no block.
int FileLoad(const char* path, HANDLE* heap, void** block, DWORD* size,
             DWORD* sysError);

// Creates a private heap and a zero-filled block of size bytes in it.
int HeapBlockCreate(int size, HANDLE* heap, void** block, DWORD* sysError);

// Frees a block and destroys its heap; clears both variables on success.
int HeapBlockFree(HANDLE* heap, void** block, DWORD* sysError);

// How much "Authenticated Users" may do in a folder made by DirCreate.
enum DirGrant {
  DIR_GRANT_FULL,       // full control for all three groups
  DIR_GRANT_USERS_READ  // Authenticated Users read and execute only
};

// Creates a folder and its missing parents with the folder security of
// common/security.h, clearing read-only and hidden on every folder of the
// path below the drive.
int DirCreate(const wchar_t* path, DWORD* sysError,
              DirGrant grant = DIR_GRANT_FULL);

// Creates one new folder that only the user the process runs as,
// Administrators and SYSTEM may use (whatever its parent passes on to new
// folders), and opens it (*handle) so that it can be neither deleted nor
// renamed while the handle is held. Fails with
// ST_DIR_EXISTS when anything of that name is there, and with
// ST_DIR_FAILED (ERROR_REPARSE_TAG_MISMATCH) when what was opened is no
// plain folder.
int DirCreateOwn(const wchar_t* path, HANDLE* handle, DWORD* sysError);

// Whether an open file or folder is a link or another reparse point.
bool FileIsReparsePoint(HANDLE handle);

// Deletes what a folder holds. pattern is a writable buffer holding
// folder + "\*" with room for the longest path below; the routine reuses it
// for its recursion. filter is a FILETIME cut-off or, with TREE_EXTENSIONS,
// a NULL-terminated list of extensions; it may be NULL. Always returns 0.
int TreeDelete(wchar_t* pattern, DWORD flags, const void* filter,
               DWORD* sysError);

// The user's temporary folder without its trailing backslash, in a buffer
// shared by the whole process (the editor's form).
const wchar_t* TempFolderGet();

// The user's temporary folder with its trailing backslash, into a buffer of
// VT_PATH_CAP characters (the Installer's form).
void TempFolderGet(wchar_t* folder);
