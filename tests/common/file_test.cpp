// The file access layer against real files, folders and handles, with the
// failures a machine cannot produce on demand (a full disk, a lock that
// ends on the third attempt) injected through the system-call table.
#include "common/file.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "common/file_syscalls.h"
#include "scratch.h"

namespace {

// What the layer asked of the system during one test.
struct Record {
  std::set<HANDLE> open;  // files opened and not yet closed
  int opens = 0, sleeps = 0;
  std::vector<DWORD> failures;        // errors the next CreateFileW calls fail with
  std::vector<std::wstring> folders;  // CreateDirectoryW calls
  std::vector<SIZE_T> heaps;          // initial sizes given to HeapCreate
} record;

HANDLE Opened(HANDLE file) {
  ++record.opens;
  if (file != INVALID_HANDLE_VALUE) record.open.insert(file);
  return file;
}
HANDLE WINAPI CountedCreateW(LPCWSTR p, DWORD a, DWORD s, LPSECURITY_ATTRIBUTES sa, DWORD d,
                             DWORD f, HANDLE t) {
  if (record.failures.empty()) return Opened(::CreateFileW(p, a, s, sa, d, f, t));
  SetLastError(record.failures.front());
  record.failures.erase(record.failures.begin());
  return Opened(INVALID_HANDLE_VALUE);
}
HANDLE WINAPI CountedCreateA(LPCSTR p, DWORD a, DWORD s, LPSECURITY_ATTRIBUTES sa, DWORD d,
                             DWORD f, HANDLE t) {
  return Opened(::CreateFileA(p, a, s, sa, d, f, t));
}
BOOL WINAPI CountedClose(HANDLE handle) {
  record.open.erase(handle);
  return ::CloseHandle(handle);
}
void WINAPI CountedSleep(DWORD) { ++record.sleeps; }
BOOL WINAPI RecordedCreateDirectory(LPCWSTR path, LPSECURITY_ATTRIBUTES sa) {
  record.folders.push_back(path);
  std::wstring name = path;  // a folder named "locked" cannot be made
  if (name.size() > 7 && name.compare(name.size() - 7, 7, L"\\locked") == 0) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  return ::CreateDirectoryW(path, sa);
}
HANDLE WINAPI RecordedHeapCreate(DWORD options, SIZE_T initial, SIZE_T maximum) {
  record.heaps.push_back(initial);
  return ::HeapCreate(options, initial, maximum);
}

// Every test checks that the routines close what they open.
class FileLayer : public testing::Test {
 protected:
  void SetUp() override {
    record = Record();
    FileSys.CreateFileW = CountedCreateW;
    FileSys.CreateFileA = CountedCreateA;
    FileSys.CloseHandle = CountedClose;
  }
  void TearDown() override {
    EXPECT_TRUE(record.open.empty()) << record.open.size() << " file(s) left open";
    FileSyscallsReset();
  }
  Scratch scratch;
};

// A path of exactly length units in the scratch folder.
std::wstring PathOfLength(const Scratch& scratch, size_t length) {
  return scratch.path() + L"\\" + std::wstring(length - scratch.path().size() - 1, L'n');
}
std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

// -- Opening ------------------------------------------------------------------

DWORD WINAPI CloseAfterASecond(void* holder) {
  Sleep(1000);
  ::CloseHandle(holder);
  return 0;
}

TEST_F(FileLayer, AFileHeldWithoutSharingIsBusyForFifteenAttemptsUnlessReleased) {
  std::wstring path = scratch / L"held.bin";
  for (bool released : {false, true}) {
    HANDLE holder = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, 0);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    HANDLE closer = released ? CreateThread(nullptr, 0, CloseAfterASecond, holder, 0, 0) : NULL;
    HANDLE file = INVALID_HANDLE_VALUE;
    DWORD error = 0;
    record.opens = 0;
    ULONGLONG start = GetTickCount64();
    int status = FileOpen(path.c_str(), &file, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, &error);
    ULONGLONG elapsed = GetTickCount64() - start;
    if (released) {
      EXPECT_EQ(status, ST_OK);
      EXPECT_GT(record.opens, 1);
      EXPECT_LT(elapsed, 2800u);
      FileSys.CloseHandle(file);
      WaitForSingleObject(closer, INFINITE);
      CloseHandle(closer);
    } else {
      EXPECT_EQ(status, ST_BUSY);
      EXPECT_EQ(record.opens, 15);
      EXPECT_GE(elapsed, 2800u);
      EXPECT_EQ(error, DWORD(ERROR_SHARING_VIOLATION));
      EXPECT_EQ(file, HANDLE(NULL));
      ::CloseHandle(holder);
    }
  }
}

TEST_F(FileLayer, PathsOf259UnitsReachTheSystemAndLongerOrEmptyOnesDoNot) {
  std::wstring path = PathOfLength(scratch, 259), tooLong = PathOfLength(scratch, 260);
  std::string pathA = Narrow(path), tooLongA = Narrow(tooLong);
  for (bool narrow : {false, true}) {
    HANDLE file = NULL;
    DWORD error = 0;
    EXPECT_GE(narrow ? FileOpenA(pathA.c_str(), &file, GENERIC_WRITE, 0, CREATE_ALWAYS, &error)
                     : FileOpen(path.c_str(), &file, GENERIC_WRITE, 0, CREATE_ALWAYS, &error),
              0);
    FileSys.CloseHandle(file);
    EXPECT_TRUE(Exists(path));
    Scratch::Remove(path);
    record.opens = 0;
    const wchar_t* wide[] = {tooLong.c_str(), L"", nullptr};
    const char* ansi[] = {tooLongA.c_str(), "", nullptr};
    for (int i = 0; i < 3; ++i) {
      file = INVALID_HANDLE_VALUE;
      error = 77;
      EXPECT_EQ(narrow ? FileOpenA(ansi[i], &file, GENERIC_WRITE, 0, CREATE_ALWAYS, &error)
                       : FileOpen(wide[i], &file, GENERIC_WRITE, 0, CREATE_ALWAYS, &error),
                ST_BAD_NAME);
      EXPECT_TRUE(file == NULL && error == 0) << narrow << " case " << i;
    }
    EXPECT_EQ(record.opens, 0) << "refused paths never reach the system";
    EXPECT_FALSE(Exists(path)) << "nor a shortened one";
  }
}

TEST_F(FileLayer, DispositionsOnExistingAndMissingFiles) {
  std::wstring path = scratch / L"there.txt";
  WriteBytes(path, "abc");
  const DWORD kAny = 0xFFFFFFFF;
  const struct Row {
    std::wstring path;
    DWORD disposition;
    int status;
    DWORD error;
  } rows[] = {
      {path, OPEN_ALWAYS, ST_OK_EXISTED, 0},
      {path, CREATE_ALWAYS, ST_OK_EXISTED, 0},
      {path, OPEN_EXISTING, ST_OK, kAny},
      {path, CREATE_NEW, ST_FILE_EXISTS, ERROR_FILE_EXISTS},
      {scratch / L"missing.txt", OPEN_EXISTING, ST_FILE_NOT_FOUND, ERROR_FILE_NOT_FOUND},
      {scratch / L"no\\such.txt", CREATE_ALWAYS, ST_PATH_NOT_FOUND, ERROR_PATH_NOT_FOUND},
  };
  for (const Row& row : rows) {
    HANDLE file = NULL;
    DWORD error = 77;
    EXPECT_EQ(FileOpen(row.path.c_str(), &file, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                       row.disposition, &error),
              row.status);
    EXPECT_TRUE(row.error == kAny || error == row.error) << row.disposition << ": " << error;
    // 183 is a note, and nobody finds it left behind.
    EXPECT_TRUE(row.status != ST_OK_EXISTED || GetLastError() == 0);
    EXPECT_EQ(file != NULL, row.status >= 0);
    if (file) FileSys.CloseHandle(file);
  }
}

TEST_F(FileLayer, OnlyLocksAndTooManyFilesAreRetriedWithASleepAfterEach) {
  FileSys.Sleep = CountedSleep;
  std::wstring path = scratch / L"late.txt";
  WriteBytes(path, "x");
  const struct Row {
    std::vector<DWORD> failures;  // then the real open
    DWORD disposition;
    int status, attempts, sleeps;
  } rows[] = {
      {{32, 33}, OPEN_EXISTING, ST_OK, 3, 2},
      {{31}, OPEN_EXISTING, ST_OPEN_FAILED, 1, 0},
      {{31}, CREATE_ALWAYS, ST_CREATE_FAILED, 1, 0},
      {{33, 31}, OPEN_EXISTING, ST_BUSY, 2, 1},
      {{4, 4, 2}, OPEN_EXISTING, ST_FILE_NOT_FOUND, 3, 2},
      {std::vector<DWORD>(15, 4), OPEN_EXISTING, ST_OPEN_FAILED, 15, 15},
  };
  for (const Row& row : rows) {
    record.failures = row.failures;
    record.opens = record.sleeps = 0;
    HANDLE file = NULL;
    DWORD error = 0;
    EXPECT_EQ(FileOpen(path.c_str(), &file, GENERIC_READ, FILE_SHARE_READ, row.disposition, &error),
              row.status);
    EXPECT_EQ(record.opens, row.attempts);
    EXPECT_EQ(record.sleeps, row.sleeps);
    if (file) FileSys.CloseHandle(file);
  }
}

// -- Reading and writing --------------------------------------------------------

struct WriteFake {
  BOOL ok;
  DWORD written, error;
} writeFake;
BOOL WINAPI FakeWrite(HANDLE, LPCVOID, DWORD, LPDWORD written, LPOVERLAPPED) {
  *written = writeFake.written;
  SetLastError(writeFake.error);
  return writeFake.ok;
}

TEST_F(FileLayer, ShortReadsRefusedWritesAndInvalidHandles) {
  std::wstring path = scratch / L"sixty.bin";
  WriteBytes(path, Pattern(60, 'a'));
  HANDLE file = NULL;
  DWORD error = 0, done = 0;
  ASSERT_EQ(FileOpen(path.c_str(), &file, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, &error), 0);
  char buffer[100];
  EXPECT_EQ(FileRead(file, buffer, 100, &done, &error), ST_SHORT_READ);
  EXPECT_EQ(std::string(buffer, done), Pattern(60, 'a'));
  EXPECT_EQ(FileWrite(file, buffer, 10, &done, &error), ST_REFUSED);
  EXPECT_EQ(error, DWORD(ERROR_ACCESS_DENIED));
  FileSys.CloseHandle(file);
  EXPECT_EQ(FileRead(NULL, buffer, 1, &done, &error), ST_INVALID_HANDLE);
}

TEST_F(FileLayer, WriteFailuresFullDiskAndShortWrites) {
  FileSys.WriteFile = FakeWrite;
  const struct Row {
    WriteFake fake;  // of 100 bytes
    int status;
  } rows[] = {
      {{FALSE, 100, ERROR_HANDLE_DISK_FULL}, ST_DISK_FULL},  // whatever count it reports
      {{FALSE, 0, ERROR_DISK_FULL}, ST_DISK_FULL},
      {{TRUE, 40, ERROR_HANDLE_DISK_FULL}, ST_DISK_FULL},
      {{TRUE, 40, 0}, ST_SHORT_WRITE},
      {{FALSE, 0, ERROR_NOT_READY}, ST_WRITE_FAILED},
  };
  char data[100] = {};
  for (const Row& row : rows) {
    writeFake = row.fake;
    DWORD done = 0, error = 77;
    EXPECT_EQ(FileWrite(HANDLE(1), data, 100, &done, &error), row.status) << row.fake.error;
    EXPECT_EQ(done, row.fake.written);
    EXPECT_EQ(error, row.fake.error);
  }
  // A record write reports it too, and still closes its file.
  writeFake = {FALSE, 0, ERROR_HANDLE_DISK_FULL};
  DWORD error = 0;
  EXPECT_EQ(FileCreateWrite((scratch / L"full.bin").c_str(), 100, data, &error), ST_DISK_FULL);
}

// -- Records --------------------------------------------------------------------

TEST_F(FileLayer, RecordsLandAtTheirPositionAndNeverPastTheEnd) {
  const struct Row {
    int existing;  // bytes in the file before, -1 none
    DWORD recordSize;
    int position, status;
    size_t offset;  // where the record lands
  } rows[] = {
      {1252, 626, 3, ST_OK, 1252},
      {1251, 626, 3, ST_PAST_END, 0},
      {1300, 626, FILE_POS_APPEND, ST_OK, 1252},
      {1300, 626, FILE_POS_CREATE, ST_OK, 0},  // truncated first
      {-1, 626, 1, ST_FILE_NOT_FOUND, 0},
      {1300, FILE_RECORD_BYTES | 5, 1298, ST_OK, 1297},  // byte positions
  };
  for (const Row& row : rows) {
    std::wstring path = scratch / L"records.dat";
    Scratch::Remove(path);
    std::string expected = row.existing < 0 ? "<missing>" : Pattern(row.existing, 'a');
    if (row.existing >= 0) WriteBytes(path, expected);
    if (row.position == FILE_POS_CREATE) expected.clear();
    DWORD length = row.recordSize & ~FILE_RECORD_BYTES, error = 0;
    std::string data = Pattern(length, 'K');
    EXPECT_EQ(FileWriteRecord(path.c_str(), row.recordSize, row.position, data.data(), &error),
              row.status);
    if (row.status == ST_OK) {
      expected.resize(std::max(expected.size(), row.offset + length));
      expected.replace(row.offset, length, data);
    }
    EXPECT_EQ(ReadBytes(path), expected) << row.existing << " at " << row.position;
  }
}

TEST_F(FileLayer, AnEmptyRecordOnlyCreatesAnEmptyFile) {
  std::wstring path = scratch / L"empty.dat";
  DWORD error = 0;
  EXPECT_EQ(FileWriteRecord(path.c_str(), 0, FILE_POS_CREATE, nullptr, &error), ST_OK);
  WriteBytes(path, "old");
  EXPECT_EQ(FileWriteRecord(path.c_str(), 0, FILE_POS_CREATE, nullptr, &error), ST_OK_EXISTED);
  EXPECT_EQ(ReadBytes(path), "");
  WriteBytes(path, "old");
  record.opens = 0;
  EXPECT_EQ(FileWriteRecord(path.c_str(), 0, 1, nullptr, &error), ST_BAD_ARGS);
  EXPECT_EQ(FileWriteRecord(path.c_str(), 0, FILE_POS_CREATE, "x", &error), ST_BAD_ARGS);
  EXPECT_EQ(FileWriteRecord(path.c_str(), 10, 1, nullptr, &error), ST_BAD_ARGS);
  EXPECT_EQ(record.opens, 0);
  EXPECT_EQ(ReadBytes(path), "old");
}

// -- Replacing a file in one step --------------------------------------------

BOOL WINAPI MoveRefused(LPCWSTR, LPCWSTR, DWORD) {
  SetLastError(ERROR_SHARING_VIOLATION);
  return FALSE;
}

// Fails the first moves with the errors queued in record.failures, as a
// reader of the file would, then moves.
BOOL WINAPI MoveAfterFailures(LPCWSTR from, LPCWSTR to, DWORD flags) {
  ++record.opens;
  if (record.failures.empty()) return MoveFileExW(from, to, flags);
  SetLastError(record.failures.front());
  record.failures.erase(record.failures.begin());
  return FALSE;
}

// The access lists the layer hands to the system with new files and
// folders: the number of entries and whether the list takes nothing from
// the folder (-1 for none handed over).
std::vector<std::pair<int, bool>> lists;

void ListSeen(LPSECURITY_ATTRIBUTES sa) {
  if (!sa || !sa->lpSecurityDescriptor) {
    lists.push_back({-1, false});
    return;
  }
  BOOL present = FALSE, defaulted = FALSE;
  PACL list = nullptr;
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  GetSecurityDescriptorDacl(sa->lpSecurityDescriptor, &present, &list, &defaulted);
  GetSecurityDescriptorControl(sa->lpSecurityDescriptor, &control, &revision);
  lists.push_back({list ? list->AceCount : 0, (control & SE_DACL_PROTECTED) != 0});
}
HANDLE WINAPI ListedCreateW(LPCWSTR p, DWORD a, DWORD s, LPSECURITY_ATTRIBUTES sa, DWORD d,
                            DWORD f, HANDLE t) {
  if (d == CREATE_NEW || d == CREATE_ALWAYS) ListSeen(sa);
  return CountedCreateW(p, a, s, sa, d, f, t);
}
BOOL WINAPI ListedCreateDirectory(LPCWSTR path, LPSECURITY_ATTRIBUTES sa) {
  ListSeen(sa);
  return ::CreateDirectoryW(path, sa);
}

// A file or folder of the user's own carries the three accounts' list,
// whatever its folder passes on to new objects; a plain replacement hands
// over none.
TEST_F(FileLayer, PrivateFilesAndFoldersTakeNothingFromTheirFolder) {
  FileSys.CreateFileW = ListedCreateW;
  FileSys.CreateDirectoryW = ListedCreateDirectory;
  lists.clear();
  DWORD error = 0;
  HANDLE held = NULL;
  ASSERT_EQ(DirCreateOwn((scratch / L"own").c_str(), &held, &error), ST_OK);
  CloseHandle(held);
  const std::wstring path = scratch / L"own\\settings.dat";
  EXPECT_EQ(FileReplaceWrite(path.c_str(), 3, "abc", &error, FILE_ACCESS_PRIVATE), ST_OK);
  EXPECT_EQ(FileReplaceWrite(path.c_str(), 3, "def", &error), ST_OK);
  EXPECT_EQ(ReadBytes(path), "def");
  const std::vector<std::pair<int, bool>> expected = {{3, true}, {3, true}, {-1, false}};
  EXPECT_EQ(lists, expected);
}

// A replacement that meets another process holding one of the files is
// tried again, as an open is; other failures are not.
TEST_F(FileLayer, AReplacementThatMeetsAHeldFileIsTriedAgain) {
  const std::wstring path = scratch / L"list.dat", next = scratch / L"next.dat";
  FileSys.Sleep = CountedSleep;
  FileSys.MoveFileExW = MoveAfterFailures;
  struct Row {
    std::vector<DWORD> failures;
    int status, attempts;
    DWORD error;
  } rows[] = {
      {{ERROR_SHARING_VIOLATION, ERROR_ACCESS_DENIED, ERROR_LOCK_VIOLATION}, ST_OK, 4, 0},
      {std::vector<DWORD>(15, ERROR_SHARING_VIOLATION), ST_WRITE_FAILED, 15,
       ERROR_SHARING_VIOLATION},
      {{ERROR_PATH_NOT_FOUND}, ST_WRITE_FAILED, 1, ERROR_PATH_NOT_FOUND},
  };
  for (const Row& row : rows) {
    WriteBytes(path, "old");
    WriteBytes(next, "new");
    record.failures = row.failures;
    record.opens = record.sleeps = 0;
    DWORD error = 99;
    EXPECT_EQ(FileReplace(next.c_str(), path.c_str(), &error), row.status) << row.attempts;
    EXPECT_EQ(error, row.error) << row.attempts;
    EXPECT_EQ(record.opens, row.attempts);
    EXPECT_EQ(record.sleeps, row.attempts - 1) << "a pause after each failed attempt";
    EXPECT_EQ(ReadBytes(path), row.status == ST_OK ? "new" : "old");
  }
}

// A replacement whose last step fails leaves the file it was to replace
// whole and no file of its own beside it; one that succeeds leaves only the
// new content. The kinds a path can name are told apart, a missing path
// from a folder in particular.
TEST_F(FileLayer, ReplacementIsAllOrNothingAndPathKindsAreToldApart) {
  std::wstring path = scratch / L"kept.dat";
  WriteBytes(path, "old");
  DWORD error = 0;
  FileSys.MoveFileExW = MoveRefused;
  FileSys.Sleep = CountedSleep;
  EXPECT_EQ(FileReplaceWrite(path.c_str(), 3, "new", &error), ST_WRITE_FAILED);
  EXPECT_EQ(error, DWORD(ERROR_SHARING_VIOLATION));
  EXPECT_EQ(ReadBytes(path), "old");
  std::wstring moved = scratch / L"moved.dat";
  WriteBytes(moved, "xyz");
  EXPECT_EQ(FileReplace(moved.c_str(), path.c_str(), &error), ST_WRITE_FAILED);
  EXPECT_EQ(ReadBytes(moved), "xyz");
  FileSyscallsReset();
  FileSys.CreateFileW = CountedCreateW;
  FileSys.CloseHandle = CountedClose;
  EXPECT_EQ(FileKindGet(moved.c_str()), FILE_KIND_FILE);
  EXPECT_EQ(FileReplace(moved.c_str(), path.c_str(), &error), ST_OK);
  EXPECT_EQ(ReadBytes(path), "xyz");
  EXPECT_EQ(FileKindGet(moved.c_str()), FILE_KIND_NONE);
  EXPECT_EQ(FileReplaceWrite(path.c_str(), 3, "new", &error), ST_OK);
  EXPECT_EQ(ReadBytes(path), "new");
  EXPECT_EQ(FileKindGet(scratch.path().c_str()), FILE_KIND_FOLDER);
  WIN32_FIND_DATAW entry;
  HANDLE find = FindFirstFileW((scratch / L"*").c_str(), &entry);
  int entries = 0;
  do {
    ++entries;
  } while (FindNextFileW(find, &entry));
  FindClose(find);
  EXPECT_EQ(entries, 3) << "only ., .. and the file itself";
  // Read-only is cleared when present and harmless when not.
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY);
  EXPECT_TRUE(FileReadOnlyClear(path.c_str()));
  EXPECT_FALSE(GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_READONLY);
  EXPECT_TRUE(FileReadOnlyClear(path.c_str()));
}

// -- Whole files and heap blocks ----------------------------------------------

DWORD WINAPI FailedSeek(HANDLE, LONG, PLONG, DWORD) {
  SetLastError(ERROR_NEGATIVE_SEEK);
  return INVALID_SET_FILE_POINTER;
}
DWORD WINAPI FailedSize(HANDLE, LPDWORD) {
  SetLastError(ERROR_INVALID_HANDLE);
  return INVALID_FILE_SIZE;
}
DWORD WINAPI HugeSize(HANDLE, LPDWORD high) {
  *high = 1;  // 4 GiB and 10 bytes
  SetLastError(NO_ERROR);
  return 10;
}

TEST_F(FileLayer, ReadAllOfWholeFilesCountsAndFailures) {
  std::wstring full = scratch / L"full.bin", empty = scratch / L"empty.bin";
  WriteBytes(full, Pattern(1234, 'a'));
  WriteBytes(empty, "");
  std::string buffer(2000, '-');
  DWORD error = 0;
  EXPECT_EQ(FileReadAll(full.c_str(), FILE_READ_WHOLE, &buffer[0], &error), 1234);
  EXPECT_EQ(buffer.substr(0, 1235), Pattern(1234, 'a') + "-");
  EXPECT_EQ(FileReadAll(empty.c_str(), FILE_READ_WHOLE, &buffer[0], &error), 0);
  EXPECT_EQ(FileReadAll(full.c_str(), 1500, &buffer[0], &error), ST_SHORT_READ);
  FileSys.SetFilePointer = FailedSeek;
  EXPECT_EQ(FileReadAll(full.c_str(), 10, &buffer[0], &error), ST_NEGATIVE_SEEK);
  FileSys.GetFileSize = FailedSize;
  EXPECT_EQ(FileReadAll(full.c_str(), 10, &buffer[0], &error), ST_INVALID_HANDLE);
  EXPECT_EQ(error, DWORD(ERROR_INVALID_HANDLE));
  FileSys.GetFileSize = HugeSize;  // not taken for its low 32 bits
  EXPECT_EQ(FileReadAll(full.c_str(), FILE_READ_WHOLE, &buffer[0], &error), ST_SIZE_FAILED);
}

TEST_F(FileLayer, LoadGivesAZeroFilledBlockInAHeapOfOneWholePageMore) {
  FileSys.HeapCreate = RecordedHeapCreate;
  const size_t rows[][2] = {{1, 4096}, {4096, 8192}, {5000, 8192}, {0, 0}};
  for (const auto& row : rows) {
    std::wstring path = scratch / L"load.bin";
    WriteBytes(path, Pattern(row[0], 'z'));
    HANDLE heap = HANDLE(1);
    void* block = &heap;
    DWORD size = 9, error = 0;
    record.heaps.clear();
    ASSERT_EQ(FileLoad(Narrow(path).c_str(), &heap, &block, &size, &error), ST_OK);
    EXPECT_EQ(size, row[0]);
    if (row[0] == 0) {  // no heap for an empty file
      EXPECT_TRUE(heap == NULL && block == nullptr && record.heaps.empty());
      continue;
    }
    EXPECT_EQ(record.heaps, std::vector<SIZE_T>{row[1]});
    EXPECT_EQ(std::string(static_cast<char*>(block), size), Pattern(row[0], 'z'));
    EXPECT_EQ(HeapSize(heap, 0, block), row[0]);
    EXPECT_EQ(HeapBlockFree(&heap, &block, &error), ST_OK);
    EXPECT_TRUE(heap == NULL && block == nullptr);
  }
}

struct HeapFake {
  bool create, alloc, free, destroy;  // whether each call succeeds
} heapFake;
int destroyed;
HANDLE WINAPI FakeHeapCreate(DWORD o, SIZE_T i, SIZE_T m) {
  SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return heapFake.create ? ::HeapCreate(o, i, m) : NULL;
}
LPVOID WINAPI FakeHeapAlloc(HANDLE h, DWORD f, SIZE_T n) {
  SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return heapFake.alloc ? ::HeapAlloc(h, f, n) : nullptr;
}
BOOL WINAPI FakeHeapFree(HANDLE h, DWORD f, LPVOID p) {
  SetLastError(ERROR_INVALID_PARAMETER);
  return heapFake.free && ::HeapFree(h, f, p);
}
BOOL WINAPI FakeHeapDestroy(HANDLE h) {
  SetLastError(ERROR_INVALID_HANDLE);
  return heapFake.destroy && ++destroyed && ::HeapDestroy(h);
}

TEST_F(FileLayer, HeapBlockStatuses) {
  FileSys.HeapCreate = FakeHeapCreate;
  FileSys.HeapAlloc = FakeHeapAlloc;
  FileSys.HeapFree = FakeHeapFree;
  FileSys.HeapDestroy = FakeHeapDestroy;
  HANDLE heap, noHeap = NULL;
  void *block, *none = nullptr;
  DWORD error = 0;
  heapFake = {true, true, true, true};
  EXPECT_EQ(HeapBlockCreate(0, &heap, &block, &error), ST_HEAP_SIZE);
  EXPECT_EQ(HeapBlockCreate(-5, &heap, &block, &error), ST_HEAP_SIZE);
  heapFake.create = false;
  EXPECT_EQ(HeapBlockCreate(10, &heap, &block, &error), ST_HEAP_CREATE);
  heapFake = {true, false, true, true};
  destroyed = 0;
  EXPECT_EQ(HeapBlockCreate(10, &heap, &block, &error), ST_HEAP_ALLOC);
  EXPECT_TRUE(heap == NULL && destroyed == 1) << "the new heap is destroyed again";
  EXPECT_EQ(HeapBlockFree(nullptr, &block, &error), ST_HEAP_NO_HEAP);
  EXPECT_EQ(HeapBlockFree(&noHeap, &block, &error), ST_HEAP_NO_HEAP);
  const struct Row {
    bool free, destroy;
    int status;
    DWORD error;
    bool cleared;
  } rows[] = {
      {false, true, ST_HEAP_FREE, ERROR_INVALID_PARAMETER, true},
      {true, false, ST_HEAP_DESTROY, ERROR_INVALID_HANDLE, false},
      {false, false, ST_HEAP_FREE, ERROR_INVALID_PARAMETER, false},  // the first error wins
  };
  for (const Row& row : rows) {
    heapFake = {true, true, true, true};
    ASSERT_EQ(HeapBlockCreate(64, &heap, &block, &error), ST_OK);
    EXPECT_EQ(HeapBlockFree(&heap, &none, &error), ST_HEAP_NO_BLOCK);
    heapFake = {true, true, row.free, row.destroy};
    EXPECT_EQ(HeapBlockFree(&heap, &block, &error), row.status);
    EXPECT_EQ(error, row.error);
    EXPECT_EQ(heap == NULL && block == nullptr, row.cleared);
    if (heap) ::HeapDestroy(heap);
  }
}

// -- Folders ----------------------------------------------------------------------

TEST_F(FileLayer, DirCreateMakesMissingParentsInOrderAndClearsTheirFlags) {
  FileSys.CreateDirectoryW = RecordedCreateDirectory;
  std::wstring a = scratch / L"A", b = a + L"\\B", c = b + L"\\C";
  ASSERT_TRUE(CreateDirectoryW(a.c_str(), nullptr));
  SetFileAttributesW(a.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
  DWORD error = 0;
  EXPECT_EQ(DirCreate(c.c_str(), &error), ST_OK);
  // The path itself, then each longer prefix from the one after the drive.
  const std::vector<std::wstring>& calls = record.folders;
  ASSERT_GE(calls.size(), 4u);
  EXPECT_EQ(calls[0], c);
  EXPECT_EQ(calls[1].find(L'\\'), 2u);
  for (size_t i = 2; i < calls.size(); ++i)
    EXPECT_EQ(calls[i].compare(0, calls[i - 1].size() + 1, calls[i - 1] + L"\\"), 0);
  EXPECT_EQ(std::vector<std::wstring>(calls.end() - 3, calls.end()),
            (std::vector<std::wstring>{a, b, c}));
  for (const std::wstring& folder : {a, b, c})
    EXPECT_EQ(GetFileAttributesW(folder.c_str()), DWORD(FILE_ATTRIBUTE_DIRECTORY));

  EXPECT_EQ(DirCreate(c.c_str(), &error), ST_DIR_EXISTS);
  EXPECT_EQ(error, DWORD(ERROR_ALREADY_EXISTS));
  EXPECT_EQ(DirCreate((scratch / L"P\\Q\\").c_str(), &error), ST_OK) << "trailing backslash";
  EXPECT_TRUE(Exists(scratch / L"P\\Q"));
}

TEST_F(FileLayer, DirCreateRefusesLongPathsAndStopsAtAParentItCannotMake) {
  FileSys.CreateDirectoryW = RecordedCreateDirectory;
  DWORD error = 0;
  std::wstring tooLong = PathOfLength(scratch, 260);
  for (const wchar_t* path : {tooLong.c_str(), L"", static_cast<const wchar_t*>(nullptr)})
    EXPECT_EQ(DirCreate(path, &error), ST_DIR_BAD_PATH);
  EXPECT_TRUE(record.folders.empty());
  DirCreate(PathOfLength(scratch, 259).c_str(), &error);
  EXPECT_EQ(record.folders.size(), 1u) << "259 units reach the system";

  record.folders.clear();
  EXPECT_EQ(DirCreate((scratch / L"locked\\X\\Y").c_str(), &error), ST_DIR_PATH_NOT_FOUND);
  EXPECT_EQ(error, DWORD(ERROR_ACCESS_DENIED));
  EXPECT_EQ(record.folders.back(), scratch / L"locked") << "nothing is tried after it";
  EXPECT_EQ(DirCreate((scratch / L"locked").c_str(), &error), ST_DIR_ACCESS_DENIED);
}

// -- Tree deletion ---------------------------------------------------------------

// What is left below folder, as relative names.
std::set<std::wstring> Left(const std::wstring& folder, const std::wstring& prefix = L"") {
  std::set<std::wstring> names;
  WIN32_FIND_DATAW entry;
  HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &entry);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    std::wstring name = entry.cFileName;
    if (name == L"." || name == L"..") continue;
    names.insert(prefix + name);
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
      for (const std::wstring& inner : Left(folder + L"\\" + name, prefix + name + L"\\"))
        names.insert(inner);
  } while (FindNextFileW(find, &entry));
  FindClose(find);
  return names;
}

// Makes a fresh tree, deletes in it with the routine under test and returns
// what is left.
std::set<std::wstring> DeleteInTree(const std::wstring& root, DWORD flags, const void* filter,
                                    const FILETIME* older = nullptr) {
  Scratch::Remove(root);
  for (const wchar_t* folder : {L"", L"\\sub", L"\\sub\\deeper", L"\\.keep", L"\\link"})
    CreateDirectoryW((root + folder).c_str(), nullptr);
  for (const wchar_t* file : {L"\\plain.txt", L"\\ro.TXT", L"\\.dotfile", L"\\c.t", L"\\README",
                              L"\\sub\\a.log", L"\\sub\\deeper\\b.bin", L"\\.keep\\kept.txt",
                              L"\\link\\in.txt"})
    WriteBytes(root + file, "data");
  SetFileAttributesW((root + L"\\ro.TXT").c_str(), FILE_ATTRIBUTE_READONLY);
  for (const wchar_t* file : {L"\\.dotfile", L"\\sub\\a.log"}) {
    HANDLE handle = CreateFileW((root + file).c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    if (older) SetFileTime(handle, nullptr, nullptr, older);
    CloseHandle(handle);
  }
  wchar_t pattern[VT_PATH_CAP];
  TextFormat(pattern, VT_PATH_CAP, L"%s\\*", root.c_str());
  DWORD error = 0;
  EXPECT_EQ(TreeDelete(pattern, flags, filter, &error), 0);
  EXPECT_EQ(std::wstring(pattern), root + L"\\*") << "the caller's pattern is given back";
  return Left(root);
}

// Lists the folder "link" as a folder link, the way a junction is listed.
void MarkLink(WIN32_FIND_DATAW* entry) {
  if (!wcscmp(entry->cFileName, L"link")) entry->dwFileAttributes |= FILE_ATTRIBUTE_REPARSE_POINT;
}
HANDLE WINAPI LinkFindFirst(LPCWSTR pattern, LPWIN32_FIND_DATAW entry) {
  HANDLE find = ::FindFirstFileW(pattern, entry);
  if (find != INVALID_HANDLE_VALUE) MarkLink(entry);
  return find;
}
BOOL WINAPI LinkFindNext(HANDLE find, LPWIN32_FIND_DATAW entry) {
  BOOL more = ::FindNextFileW(find, entry);
  if (more) MarkLink(entry);
  return more;
}

TEST_F(FileLayer, TreeDeleteRecursesButKeepsDotFoldersLinksAndWhatTheFilterKeeps) {
  FileSys.FindFirstFileW = LinkFindFirst;
  FileSys.FindNextFileW = LinkFindNext;
  const std::wstring root = scratch / L"tree";
  const std::set<std::wstring> kept = {L".keep", L".keep\\kept.txt", L"link", L"link\\in.txt"};
  EXPECT_EQ(DeleteInTree(root, TREE_RECURSE, nullptr), kept);  // ro.TXT on the second try
  std::set<std::wstring> flat = kept;
  flat.insert({L"sub", L"sub\\a.log", L"sub\\deeper", L"sub\\deeper\\b.bin"});
  EXPECT_EQ(DeleteInTree(root, 0, nullptr), flat);

  // A cut-off keeps files of its own time and later; only .dotfile and
  // a.log are older.
  FILETIME cutOff;
  GetSystemTimeAsFileTime(&cutOff);
  cutOff.dwHighDateTime -= 100;  // some weeks ago: the new files are later
  FILETIME older = cutOff;
  older.dwLowDateTime -= 1;
  std::set<std::wstring> left = DeleteInTree(root, TREE_RECURSE, &older, &older);
  EXPECT_TRUE(left.count(L".dotfile") && left.count(L"sub\\a.log")) << "same time: kept";
  left = DeleteInTree(root, TREE_RECURSE, &cutOff, &older);
  EXPECT_FALSE(left.count(L".dotfile") || left.count(L"sub\\a.log"));
  EXPECT_TRUE(left.count(L"plain.txt") && left.count(L"sub\\deeper\\b.bin"));

  const wchar_t* const extensions[] = {L"txt", L"LOG", nullptr};
  left = DeleteInTree(root, TREE_RECURSE | TREE_EXTENSIONS, extensions);
  EXPECT_EQ(left.count(L"plain.txt") + left.count(L"ro.TXT") + left.count(L"sub\\a.log"), 0u);
  for (const wchar_t* name : {L"c.t", L"README", L".dotfile", L"sub\\deeper\\b.bin"})
    EXPECT_TRUE(left.count(name)) << "kept: " << Narrow(name);
}

TEST_F(FileLayer, TreeDeleteLeavesWhatItsBuffersCannotName) {
  // A folder whose pattern still fits the buffer, holding a file whose
  // full name does and one whose name would need more than 280 units; and
  // a folder whose pattern would not fit at all.
  std::wstring root = scratch / L"deep", prefixed = L"\\\\?\\" + root;
  std::wstring inner = prefixed + L"\\" + std::wstring(270 - root.size(), L'd');
  std::wstring wide = prefixed + L"\\" + std::wstring(277 - root.size(), L'w');
  ASSERT_TRUE(CreateDirectoryW(root.c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW(inner.c_str(), nullptr) && CreateDirectoryW(wide.c_str(), nullptr));
  WriteBytes(inner + L"\\x.txt", "gone");  // 277 units
  WriteBytes(inner + L"\\far-too-long-a-name.txt", "kept");
  WriteBytes(root + L"\\z.txt", "gone");
  wchar_t pattern[VT_PATH_CAP];
  TextFormat(pattern, VT_PATH_CAP, L"%s\\*", root.c_str());
  DWORD error = 0;
  EXPECT_EQ(TreeDelete(pattern, TREE_RECURSE, nullptr, &error), 0);
  EXPECT_EQ(std::wstring(pattern), root + L"\\*");
  EXPECT_EQ(Left(inner), std::set<std::wstring>{L"far-too-long-a-name.txt"});
  EXPECT_EQ(Left(prefixed).size(), 3u) << "only z.txt and x.txt are gone";
  Scratch::Remove(prefixed);
}

// -- Temporary folder ------------------------------------------------------------

DWORD WINAPI FailedLongPath(LPCWSTR, LPWSTR, DWORD) {
  SetLastError(ERROR_FILE_NOT_FOUND);
  return 0;
}

TEST_F(FileLayer, TempFolderOfBothFormsAndWhenTheLongNameFails) {
  wchar_t reported[MAX_PATH], expected[MAX_PATH], installer[VT_PATH_CAP];
  GetTempPathW(MAX_PATH, reported);
  GetLongPathNameW(reported, expected, MAX_PATH);
  std::wstring withBackslash = expected;
  ASSERT_EQ(withBackslash.back(), L'\\');
  TempFolderGet(installer);
  EXPECT_EQ(std::wstring(installer), withBackslash);
  EXPECT_EQ(std::wstring(TempFolderGet()) + L"\\", withBackslash);
  FileSys.GetLongPathNameW = FailedLongPath;
  TempFolderGet(installer);
  EXPECT_EQ(std::wstring(installer) + TempFolderGet(), L"");
}

}  // namespace

namespace {

// A checksum that counts bytes and their sum, enough to tell which bytes a
// pass saw.
uint32_t SumStep(uint32_t sum, const void* bytes, int count) {
  const unsigned char* p = static_cast<const unsigned char*>(bytes);
  for (int i = 0; i < count; ++i) sum = sum * 31 + p[i];
  return sum;
}

}  // namespace

// One copy routine for every block loop: ranges, the end of the source,
// the running checksum and the comparisons, over more than one block.
TEST_F(FileLayer, CopyRangeCopiesSumsAndComparesAcrossBlocks) {
  const std::string bytes = Pattern(200000, 'c');
  std::wstring source = scratch / L"source.bin", target = scratch / L"target.bin",
               other = scratch / L"other.bin";
  WriteBytes(source, bytes);
  std::string changed = bytes;
  changed[150000] ^= 1;
  WriteBytes(other, changed);
  struct Row {
    const char* what;
    DWORD skip, length;
    int status;
    size_t passed;
  } rows[] = {
      {"to the end", 0, FILE_COPY_TO_END, ST_OK, 200000},
      {"a range", 1000, 120000, ST_OK, 120000},
      {"past the end", 190000, 20000, ST_SHORT_READ, 10000},
      {"nothing", 5, 0, ST_OK, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    HANDLE in = NULL, out = NULL;
    DWORD error = 0;
    ASSERT_GE(FileOpen(source.c_str(), &in, GENERIC_READ, 0, OPEN_EXISTING, &error), 0);
    ASSERT_GE(FileOpen(target.c_str(), &out, GENERIC_WRITE, 0, CREATE_ALWAYS, &error), 0);
    ASSERT_EQ(FileSeek(in, row.skip, &error), ST_OK);
    FileCopy copy = {row.length, out, NULL, NULL, SumStep, 7, 0};
    EXPECT_EQ(FileCopyRange(in, &copy, &error), row.status);
    FileSys.CloseHandle(in);
    FileSys.CloseHandle(out);
    std::string expected = bytes.substr(row.skip, row.passed);
    EXPECT_EQ(copy.passed, row.passed);
    EXPECT_EQ(copy.sum, SumStep(7, expected.data(), static_cast<int>(expected.size())));
    EXPECT_TRUE(ReadBytes(target) == expected);
  }
  // Compared with a file and with a buffer: the one changed byte is found.
  for (const std::wstring* compared : {&source, &other}) {
    HANDLE in = NULL, with = NULL;
    DWORD error = 0;
    ASSERT_GE(FileOpen(source.c_str(), &in, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, &error),
              0);
    ASSERT_GE(
        FileOpen(compared->c_str(), &with, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, &error),
        0);
    FileCopy same = {FILE_COPY_TO_END, NULL, with, NULL, NULL, 0, 0};
    int expected = compared == &source ? ST_OK : ST_CONTENT_DIFFERS;
    EXPECT_EQ(FileCopyRange(in, &same, &error), expected);
    FileSys.CloseHandle(with);
    ASSERT_EQ(FileSeek(in, 0, &error), ST_OK);
    FileCopy buffer = {200000, NULL, NULL, compared == &source ? bytes.data() : changed.data(),
                       NULL, 0, 0};
    EXPECT_EQ(FileCopyRange(in, &buffer, &error), expected);
    if (expected != ST_OK) {
      EXPECT_EQ(error, static_cast<DWORD>(ERROR_CRC));
    }
    FileSys.CloseHandle(in);
  }
}
