// The system calls of the file access layer, starting with the system's own.
#include "common/file_syscalls.h"

namespace {

const FileSyscalls kSystemCalls = {
    ::CreateFileW,      ::CreateFileA,        ::ReadFile,           ::WriteFile,
    ::SetFilePointer,   ::GetFileSize,        ::CloseHandle,        ::Sleep,
    ::HeapCreate,       ::HeapAlloc,          ::HeapFree,           ::HeapDestroy,
    ::CreateDirectoryW, ::GetFileAttributesW, ::SetFileAttributesW, ::FindFirstFileW,
    ::FindNextFileW,    ::FindClose,          ::DeleteFileW,        ::RemoveDirectoryW,
    ::GetTempPathW,     ::GetLongPathNameW,   ::MoveFileExW};

}  // namespace

FileSyscalls FileSys = kSystemCalls;

void FileSyscallsReset() { FileSys = kSystemCalls; }
