// The system calls of the file access layer, reached through one table.
//
// The layer never calls these functions directly: it calls the entry of
// FileSys with the same name. The table starts with the system's functions;
// a test replaces an entry to make a call fail with a chosen error (a full
// disk, a sharing violation on the third attempt) or to watch what the layer
// asks of the system, and puts the system's functions back with
// FileSyscallsReset. The last error is read with GetLastError as usual, so a
// replacement sets it with SetLastError before it returns.
#pragma once

#include <windows.h>

struct FileSyscalls {
  decltype(&::CreateFileW) CreateFileW;
  decltype(&::CreateFileA) CreateFileA;
  decltype(&::ReadFile) ReadFile;
  decltype(&::WriteFile) WriteFile;
  decltype(&::SetFilePointer) SetFilePointer;
  decltype(&::GetFileSize) GetFileSize;
  decltype(&::CloseHandle) CloseHandle;
  decltype(&::Sleep) Sleep;
  decltype(&::HeapCreate) HeapCreate;
  decltype(&::HeapAlloc) HeapAlloc;
  decltype(&::HeapFree) HeapFree;
  decltype(&::HeapDestroy) HeapDestroy;
  decltype(&::CreateDirectoryW) CreateDirectoryW;
  decltype(&::GetFileAttributesW) GetFileAttributesW;
  decltype(&::SetFileAttributesW) SetFileAttributesW;
  decltype(&::FindFirstFileW) FindFirstFileW;
  decltype(&::FindNextFileW) FindNextFileW;
  decltype(&::FindClose) FindClose;
  decltype(&::DeleteFileW) DeleteFileW;
  decltype(&::RemoveDirectoryW) RemoveDirectoryW;
  decltype(&::GetTempPathW) GetTempPathW;
  decltype(&::GetLongPathNameW) GetLongPathNameW;
  decltype(&::MoveFileExW) MoveFileExW;
};

// The table the layer calls through.
extern FileSyscalls FileSys;

// Puts the system's function back into every entry of FileSys.
void FileSyscallsReset();
