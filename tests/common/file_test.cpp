// The file access layer against real files, folders and handles, with
// failures the machine cannot produce on demand (a full disk, a lock that
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
  std::set<HANDLE> open;            // files opened and not yet closed
  int opens = 0;
  int sleeps = 0;
  std::vector<DWORD> failures;      // errors the next CreateFile calls fail with
  std::vector<std::wstring> folders;  // CreateDirectoryW calls
  std::vector<SIZE_T> heaps;        // initial sizes of HeapCreate
} record;

HANDLE WINAPI CountedCreateW(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES sa,
                             DWORD disposition, DWORD flags, HANDLE tmpl) {
  ++record.opens;
  if (!record.failures.empty()) {
    DWORD error = record.failures.front();
    record.failures.erase(record.failures.begin());
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
  }
  HANDLE file = ::CreateFileW(path, access, share, sa, disposition, flags, tmpl);
  if (file != INVALID_HANDLE_VALUE) record.open.insert(file);
  return file;
}

HANDLE WINAPI CountedCreateA(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES sa,
                             DWORD disposition, DWORD flags, HANDLE tmpl) {
  ++record.opens;
  HANDLE file = ::CreateFileA(path, access, share, sa, disposition, flags, tmpl);
  if (file != INVALID_HANDLE_VALUE) record.open.insert(file);
  return file;
}

BOOL WINAPI CountedClose(HANDLE handle) {
  record.open.erase(handle);
  return ::CloseHandle(handle);
}

void WINAPI CountedSleep(DWORD) { ++record.sleeps; }

BOOL WINAPI RecordedCreateDirectory(LPCWSTR path, LPSECURITY_ATTRIBUTES sa) {
  record.folders.push_back(path);
  return ::CreateDirectoryW(path, sa);
}

HANDLE WINAPI RecordedHeapCreate(DWORD options, SIZE_T initial, SIZE_T maximum) {
  record.heaps.push_back(initial);
  return ::HeapCreate(options, initial, maximum);
}

// Every test watches opens and closes; each one reinstalls what it fakes.
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
  std::wstring folder = scratch.path() + L"\\";
  return folder + std::wstring(length - folder.size(), L'n');
}

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

// -- Opening --------------------------------------------------------------

TEST_F(FileLayer, OpenOfAFileHeldWithoutSharingGivesUpBusyAfterFifteenAttempts) {
  std::wstring path = scratch / L"held.bin";
  HANDLE holder = ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  HANDLE file = INVALID_HANDLE_VALUE;
  DWORD error = 0;
  ULONGLONG start = GetTickCount64();
  EXPECT_EQ(FileOpen(path.c_str(), &file, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                     OPEN_EXISTING, &error),
            ST_BUSY);
  EXPECT_GE(GetTickCount64() - start, 2800u);
  EXPECT_EQ(record.opens, 15);
  EXPECT_EQ(error, DWORD(ERROR_SHARING_VIOLATION));
  EXPECT_EQ(file, HANDLE(NULL));
  ::CloseHandle(holder);
}

DWORD WINAPI CloseAfterASecond(void* holder) {
  Sleep(1000);
  ::CloseHandle(holder);
  return 0;
}

TEST_F(FileLayer, OpenSucceedsWhenTheHolderLetsGoHalfWay) {
  std::wstring path = scratch / L"held.bin";
  HANDLE holder = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  HANDLE closer = CreateThread(nullptr, 0, CloseAfterASecond, holder, 0, nullptr);
  HANDLE file = NULL;
  DWORD error = 0;
  ULONGLONG start = GetTickCount64();
  EXPECT_EQ(FileOpen(path.c_str(), &file, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, &error),
            ST_OK);
  EXPECT_LT(GetTickCount64() - start, 2800u);
  EXPECT_GT(record.opens, 1);
  EXPECT_NE(file, HANDLE(NULL));
  FileSys.CloseHandle(file);
  WaitForSingleObject(closer, INFINITE);
  CloseHandle(closer);
}

TEST_F(FileLayer, PathsOf259UnitsReachTheSystemAndLongerOrEmptyOnesDoNot) {
  for (bool narrow : {false, true}) {
    std::wstring path = PathOfLength(scratch, 259);
    HANDLE file = NULL;
    DWORD error = 0;
    int status = narrow ? FileOpenA(Narrow(path).c_str(), &file, GENERIC_WRITE, 0,
                                    CREATE_ALWAYS, &error)
                        : FileOpen(path.c_str(), &file, GENERIC_WRITE, 0, CREATE_ALWAYS, &error);
    EXPECT_GE(status, 0) << narrow << " error " << error;
    if (file) FileSys.CloseHandle(file);
    EXPECT_TRUE(Exists(path));
    Scratch::Remove(path);

    record.opens = 0;
    std::wstring tooLong = PathOfLength(scratch, 260);
    const wchar_t* wide[] = {tooLong.c_str(), L"", nullptr};
    std::string tooLongA = Narrow(tooLong);
    const char* ansi[] = {tooLongA.c_str(), "", nullptr};
    for (int i = 0; i < 3; ++i) {
      file = INVALID_HANDLE_VALUE;
      error = 77;
      status = narrow ? FileOpenA(ansi[i], &file, GENERIC_WRITE, 0, CREATE_ALWAYS, &error)
                      : FileOpen(wide[i], &file, GENERIC_WRITE, 0, CREATE_ALWAYS, &error);
      EXPECT_EQ(status, ST_BAD_NAME) << narrow << " case " << i;
      EXPECT_EQ(file, HANDLE(NULL));
      EXPECT_EQ(error, 0u);
    }
    EXPECT_EQ(record.opens, 0) << "refused paths never reach the system";
    EXPECT_FALSE(Exists(tooLong.substr(0, 259)));
  }
}

TEST_F(FileLayer, DispositionsOnExistingAndMissingFiles) {
  std::wstring path = scratch / L"there.txt";
  WriteBytes(path, "abc");
  struct Row {
    std::wstring path;
    DWORD disposition;
    int status;
    DWORD error;
  } rows[] = {
      {path, OPEN_ALWAYS, ST_OK_EXISTED, 0},
      {path, CREATE_ALWAYS, ST_OK_EXISTED, 0},
      {path, OPEN_EXISTING, ST_OK, 0xFFFFFFFF},  // whatever the system left
      {path, CREATE_NEW, ST_FILE_EXISTS, ERROR_FILE_EXISTS},
      {scratch / L"missing.txt", OPEN_EXISTING, ST_FILE_NOT_FOUND, ERROR_FILE_NOT_FOUND},
      {scratch / L"no\\such.txt", CREATE_ALWAYS, ST_PATH_NOT_FOUND, ERROR_PATH_NOT_FOUND},
  };
  for (const Row& row : rows) {
    HANDLE file = NULL;
    DWORD error = 77;
    SetLastError(77);
    EXPECT_EQ(FileOpen(row.path.c_str(), &file, GENERIC_READ | GENERIC_WRITE,
                       FILE_SHARE_READ, row.disposition, &error),
              row.status)
        << row.disposition;
    if (row.error != 0xFFFFFFFF) {
      EXPECT_EQ(error, row.error) << row.disposition;
    }
    if (row.status == ST_OK_EXISTED) {
      EXPECT_EQ(GetLastError(), 0u) << "183 is not left behind";
    }
    EXPECT_EQ(file != NULL, row.status >= 0);
    if (file) FileSys.CloseHandle(file);
  }
}

TEST_F(FileLayer, OpenRetriesOnlyLocksAndTooManyFilesThroughTheSystemTable) {
  FileSys.Sleep = CountedSleep;
  std::wstring path = scratch / L"late.txt";
  WriteBytes(path, "x");
  struct Row {
    std::vector<DWORD> failures;  // then the real open
    DWORD disposition;
    int status;
    int attempts;
    int sleeps;  // one after every retryable failure, the fifteenth included
  } rows[] = {
      {{32, 33}, OPEN_EXISTING, ST_OK, 3, 2},
      {{31}, OPEN_EXISTING, ST_OPEN_FAILED, 1, 0},
      {{31}, CREATE_ALWAYS, ST_CREATE_FAILED, 1, 0},
      {{33, 31}, OPEN_EXISTING, ST_BUSY, 2, 1},
      {{4, 4, 2}, OPEN_EXISTING, ST_FILE_NOT_FOUND, 3, 2},
      {std::vector<DWORD>(15, 4), OPEN_EXISTING, ST_OPEN_FAILED, 15, 15},
      {std::vector<DWORD>(15, 32), OPEN_ALWAYS, ST_BUSY, 15, 15},
  };
  for (const Row& row : rows) {
    record.failures = row.failures;
    record.opens = record.sleeps = 0;
    HANDLE file = NULL;
    DWORD error = 0;
    EXPECT_EQ(FileOpen(path.c_str(), &file, GENERIC_READ, FILE_SHARE_READ, row.disposition,
                       &error),
              row.status)
        << row.failures.size();
    EXPECT_EQ(record.opens, row.attempts);
    EXPECT_EQ(record.sleeps, row.sleeps);
    if (file) FileSys.CloseHandle(file);
  }
}

// -- Reading and writing -----------------------------------------------------

struct WriteFake {
  BOOL ok;
  DWORD written;  // of 100
  DWORD error;
} writeFake;

BOOL WINAPI FakeWrite(HANDLE, LPCVOID, DWORD, LPDWORD written, LPOVERLAPPED) {
  *written = writeFake.written;
  SetLastError(writeFake.error);
  return writeFake.ok;
}

TEST_F(FileLayer, ReadsAndWritesOnRealHandles) {
  std::wstring path = scratch / L"sixty.bin";
  WriteBytes(path, Pattern(60, 'a'));
  HANDLE file = NULL;
  DWORD error = 0;
  ASSERT_EQ(FileOpen(path.c_str(), &file, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, &error),
            ST_OK);
  char buffer[100];
  DWORD done = 0;
  EXPECT_EQ(FileRead(file, buffer, 100, &done, &error), ST_SHORT_READ);
  EXPECT_EQ(done, 60u);
  EXPECT_EQ(std::string(buffer, 60), Pattern(60, 'a'));
  // The handle may only read.
  EXPECT_EQ(FileWrite(file, buffer, 10, &done, &error), ST_REFUSED);
  EXPECT_EQ(error, DWORD(ERROR_ACCESS_DENIED));
  FileSys.CloseHandle(file);
  EXPECT_EQ(FileRead(NULL, buffer, 1, &done, &error), ST_INVALID_HANDLE);
  EXPECT_EQ(error, DWORD(ERROR_INVALID_HANDLE));
}

TEST_F(FileLayer, WriteFailuresFullDiskAndShortWrites) {
  FileSys.WriteFile = FakeWrite;
  const struct Row {
    WriteFake fake;
    int status;
  } rows[] = {
      {{FALSE, 100, ERROR_HANDLE_DISK_FULL}, ST_DISK_FULL},  // the count does not matter
      {{FALSE, 0, ERROR_DISK_FULL}, ST_DISK_FULL},
      {{TRUE, 40, ERROR_HANDLE_DISK_FULL}, ST_DISK_FULL},
      {{TRUE, 40, 0}, ST_SHORT_WRITE},
      {{FALSE, 0, ERROR_ACCESS_DENIED}, ST_REFUSED},
      {{FALSE, 0, ERROR_INVALID_HANDLE}, ST_INVALID_HANDLE},
      {{FALSE, 0, ERROR_NOT_READY}, ST_WRITE_FAILED},
      {{TRUE, 100, 0}, ST_OK},
  };
  char data[100] = {};
  for (const Row& row : rows) {
    writeFake = row.fake;
    DWORD done = 0, error = 77;
    EXPECT_EQ(FileWrite(HANDLE(1), data, 100, &done, &error), row.status) << row.fake.error;
    EXPECT_EQ(done, row.fake.written);
    if (row.status != ST_OK && row.status != ST_SHORT_WRITE) {
      EXPECT_EQ(error, row.fake.error);
    }
  }
  // A record write reports the full disk and still closes its file.
  std::wstring path = scratch / L"full.bin";
  writeFake = {FALSE, 0, ERROR_HANDLE_DISK_FULL};
  DWORD error = 0;
  EXPECT_EQ(FileWriteRecord(path.c_str(), 100, FILE_POS_CREATE, data, &error), ST_DISK_FULL);
  EXPECT_EQ(error, DWORD(ERROR_HANDLE_DISK_FULL));
}

// -- Records ------------------------------------------------------------------

TEST_F(FileLayer, RecordPositionsCreateAppendAndPastTheEnd) {
  const struct Row {
    int existing;  // bytes already in the file, -1 none
    DWORD recordSize;
    int position;
    int status;
    size_t offset;  // where the record lands
  } rows[] = {
      {1252, 626, 3, ST_OK, 1252},
      {1251, 626, 3, ST_PAST_END, 0},
      {1300, 626, FILE_POS_APPEND, ST_OK, 1252},
      {1300, 626, 1, ST_OK, 0},
      {1300, 626, 0, ST_OK, 0},
      {1300, 626, FILE_POS_CREATE, ST_OK, 0},
      {-1, 626, FILE_POS_CREATE, ST_OK, 0},
      {-1, 626, 1, ST_FILE_NOT_FOUND, 0},
      {1300, FILE_RECORD_BYTES | 5, 1298, ST_OK, 1297},  // byte positions
      {1300, FILE_RECORD_BYTES | 5, FILE_POS_APPEND, ST_OK, 1300},
      {1300, FILE_RECORD_BYTES | 5, 1302, ST_PAST_END, 0},
  };
  for (const Row& row : rows) {
    std::wstring path = scratch / L"records.dat";
    Scratch::Remove(path);
    std::string before = row.existing < 0 ? "" : Pattern(row.existing, 'a');
    if (row.existing >= 0) WriteBytes(path, before);
    DWORD length = row.recordSize & ~FILE_RECORD_BYTES;
    std::string data = Pattern(length, 'K');
    DWORD error = 0;
    EXPECT_EQ(FileWriteRecord(path.c_str(), row.recordSize, row.position, data.data(), &error),
              row.status)
        << row.existing << " at " << row.position;
    std::string expected = row.position == FILE_POS_CREATE ? "" : before;
    if (row.status == ST_OK) {
      if (expected.size() < row.offset + length) expected.resize(row.offset + length);
      expected.replace(row.offset, length, data);
    }
    EXPECT_EQ(ReadBytes(path), row.status == ST_FILE_NOT_FOUND ? "<missing>" : expected)
        << row.existing << " at " << row.position;
  }
}

TEST_F(FileLayer, EmptyRecordOnlyCreatesAnEmptyFile) {
  std::wstring path = scratch / L"empty.dat";
  DWORD error = 0;
  EXPECT_EQ(FileWriteRecord(path.c_str(), 0, FILE_POS_CREATE, nullptr, &error), ST_OK);
  EXPECT_EQ(ReadBytes(path), "");
  WriteBytes(path, "old");
  EXPECT_EQ(FileWriteRecord(path.c_str(), 0, FILE_POS_CREATE, nullptr, &error), ST_OK_EXISTED);
  EXPECT_EQ(ReadBytes(path), "");

  WriteBytes(path, "old");
  record.opens = 0;
  EXPECT_EQ(FileWriteRecord(path.c_str(), 0, 1, nullptr, &error), ST_BAD_ARGS);
  EXPECT_EQ(FileWriteRecord(path.c_str(), 0, FILE_POS_CREATE, "x", &error), ST_BAD_ARGS);
  EXPECT_EQ(FileWriteRecord(path.c_str(), 0, FILE_POS_APPEND, nullptr, &error), ST_BAD_ARGS);
  EXPECT_EQ(FileWriteRecord(path.c_str(), 10, 1, nullptr, &error), ST_BAD_ARGS);
  EXPECT_EQ(record.opens, 0);
  EXPECT_EQ(ReadBytes(path), "old");

  EXPECT_EQ(FileCreateWrite(path.c_str(), 4, "new!", &error), ST_OK);
  EXPECT_EQ(ReadBytes(path), "new!");
}

// -- Whole files and heap blocks ------------------------------------------------

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

TEST_F(FileLayer, ReadAllWholeFilesCountsAndFailures) {
  std::wstring full = scratch / L"full.bin", empty = scratch / L"empty.bin";
  WriteBytes(full, Pattern(1234, 'a'));
  WriteBytes(empty, "");
  std::string buffer(2000, '-');
  DWORD error = 0;
  EXPECT_EQ(FileReadAll(full.c_str(), FILE_READ_WHOLE, &buffer[0], &error), 1234);
  EXPECT_EQ(buffer.substr(0, 1234), Pattern(1234, 'a'));
  EXPECT_EQ(buffer[1234], '-');
  EXPECT_EQ(FileReadAll(empty.c_str(), FILE_READ_WHOLE, &buffer[0], &error), 0);
  EXPECT_EQ(FileReadAll(full.c_str(), 100, &buffer[0], &error), ST_OK);
  EXPECT_EQ(FileReadAll(full.c_str(), 1500, &buffer[0], &error), ST_SHORT_READ);
  EXPECT_EQ(FileReadAll((scratch / L"none").c_str(), 10, &buffer[0], &error), ST_FILE_NOT_FOUND);

  FileSys.SetFilePointer = FailedSeek;
  EXPECT_EQ(FileReadAll(full.c_str(), 10, &buffer[0], &error), ST_NEGATIVE_SEEK);
  EXPECT_EQ(error, DWORD(ERROR_NEGATIVE_SEEK));
  FileSys.GetFileSize = FailedSize;
  EXPECT_EQ(FileReadAll(full.c_str(), 10, &buffer[0], &error), ST_INVALID_HANDLE);
  EXPECT_EQ(error, DWORD(ERROR_INVALID_HANDLE));
  // A file of 4 GiB and more is not taken for its low 32 bits.
  FileSys.GetFileSize = HugeSize;
  EXPECT_EQ(FileReadAll(full.c_str(), FILE_READ_WHOLE, &buffer[0], &error), ST_SIZE_FAILED);
}

TEST_F(FileLayer, LoadGivesAZeroFilledBlockInAHeapOneWholePageLarger) {
  FileSys.HeapCreate = RecordedHeapCreate;
  const struct Row {
    size_t size;
    SIZE_T heap;
  } rows[] = {{1, 4096}, {4096, 8192}, {5000, 8192}};
  for (const Row& row : rows) {
    std::wstring path = scratch / L"load.bin";
    WriteBytes(path, Pattern(row.size, 'z'));
    HANDLE heap = NULL;
    void* block = nullptr;
    DWORD size = 0, error = 0;
    record.heaps.clear();
    ASSERT_EQ(FileLoad(Narrow(path).c_str(), &heap, &block, &size, &error), ST_OK);
    EXPECT_EQ(record.heaps, std::vector<SIZE_T>{row.heap});
    EXPECT_EQ(size, row.size);
    EXPECT_EQ(std::string(static_cast<char*>(block), size), Pattern(row.size, 'z'));
    EXPECT_EQ(HeapSize(heap, 0, block), row.size);
    EXPECT_EQ(HeapBlockFree(&heap, &block, &error), ST_OK);
    EXPECT_EQ(heap, HANDLE(NULL));
    EXPECT_EQ(block, nullptr);
  }
  std::wstring empty = scratch / L"empty.bin";
  WriteBytes(empty, "");
  HANDLE heap = HANDLE(1);
  void* block = &heap;
  DWORD size = 9, error = 0;
  record.heaps.clear();
  EXPECT_EQ(FileLoad(Narrow(empty).c_str(), &heap, &block, &size, &error), ST_OK);
  EXPECT_TRUE(heap == NULL && block == nullptr && size == 0);
  EXPECT_TRUE(record.heaps.empty());

  std::vector<char> zeros(3000, 0);
  ASSERT_EQ(HeapBlockCreate(3000, &heap, &block, &error), ST_OK);
  EXPECT_EQ(memcmp(block, zeros.data(), 3000), 0);
  HeapBlockFree(&heap, &block, &error);
}

struct HeapFake {
  bool create, alloc, free, destroy;  // whether each call succeeds
} heapFake;
std::vector<HANDLE> destroyed;

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
  if (!heapFake.destroy) return FALSE;
  destroyed.push_back(h);
  return ::HeapDestroy(h);
}

TEST_F(FileLayer, HeapBlockStatuses) {
  FileSys.HeapCreate = FakeHeapCreate;
  FileSys.HeapAlloc = FakeHeapAlloc;
  FileSys.HeapFree = FakeHeapFree;
  FileSys.HeapDestroy = FakeHeapDestroy;
  HANDLE heap;
  void* block;
  DWORD error = 0;
  heapFake = {true, true, true, true};
  EXPECT_EQ(HeapBlockCreate(0, &heap, &block, &error), ST_HEAP_SIZE);
  EXPECT_EQ(HeapBlockCreate(-5, &heap, &block, &error), ST_HEAP_SIZE);
  heapFake.create = false;
  EXPECT_EQ(HeapBlockCreate(10, &heap, &block, &error), ST_HEAP_CREATE);
  heapFake = {true, false, true, true};
  destroyed.clear();
  EXPECT_EQ(HeapBlockCreate(10, &heap, &block, &error), ST_HEAP_ALLOC);
  EXPECT_EQ(heap, HANDLE(NULL));
  EXPECT_EQ(destroyed.size(), 1u) << "the new heap is destroyed again";

  void* none = nullptr;
  HANDLE noHeap = NULL;
  EXPECT_EQ(HeapBlockFree(nullptr, &block, &error), ST_HEAP_NO_HEAP);
  EXPECT_EQ(HeapBlockFree(&noHeap, &block, &error), ST_HEAP_NO_HEAP);
  const struct Row {
    bool free, destroy;
    int status;
    DWORD error;
    bool cleared;
  } rows[] = {
      {true, true, ST_OK, 0, true},
      {false, true, ST_HEAP_FREE, ERROR_INVALID_PARAMETER, true},
      {true, false, ST_HEAP_DESTROY, ERROR_INVALID_HANDLE, false},
      {false, false, ST_HEAP_FREE, ERROR_INVALID_PARAMETER, false},  // the first error wins
  };
  for (const Row& row : rows) {
    heapFake = {true, true, true, true};
    ASSERT_EQ(HeapBlockCreate(64, &heap, &block, &error), ST_OK);
    EXPECT_EQ(HeapBlockFree(&heap, &none, &error), ST_HEAP_NO_BLOCK);
    heapFake = {true, true, row.free, row.destroy};
    error = 0;
    EXPECT_EQ(HeapBlockFree(&heap, &block, &error), row.status);
    EXPECT_EQ(error, row.error);
    EXPECT_EQ(heap == NULL && block == nullptr, row.cleared);
    if (heap) ::HeapDestroy(heap);
  }
}

// -- Folders -------------------------------------------------------------------

BOOL WINAPI DeniedCreateDirectory(LPCWSTR path, LPSECURITY_ATTRIBUTES sa) {
  record.folders.push_back(path);
  std::wstring name = path;
  if (name.size() >= 7 && name.compare(name.size() - 7, 7, L"\\locked") == 0) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  return ::CreateDirectoryW(path, sa);
}

TEST_F(FileLayer, DirCreateMakesMissingParentsInOrderAndClearsTheirFlags) {
  FileSys.CreateDirectoryW = RecordedCreateDirectory;
  std::wstring a = scratch / L"A", b = a + L"\\B", c = b + L"\\C";
  ASSERT_TRUE(CreateDirectoryW(a.c_str(), nullptr));
  SetFileAttributesW(a.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
  DWORD error = 0;
  EXPECT_EQ(DirCreate(c.c_str(), &error), ST_OK);
  ASSERT_GE(record.folders.size(), 4u);
  EXPECT_EQ(record.folders.front(), c);
  std::vector<std::wstring> last(record.folders.end() - 3, record.folders.end());
  EXPECT_EQ(last, (std::vector<std::wstring>{a, b, c}));
  // Every call before the final one made a longer prefix of the path.
  for (size_t i = 2; i < record.folders.size(); ++i)
    EXPECT_EQ(record.folders[i].compare(0, record.folders[i - 1].size(), record.folders[i - 1]), 0);
  EXPECT_EQ(record.folders[1].find(L'\\'), 2u) << "the first backslash follows the drive";
  for (const std::wstring& folder : {a, b, c}) {
    DWORD attributes = GetFileAttributesW(folder.c_str());
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_FALSE(attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
  }

  EXPECT_EQ(DirCreate(c.c_str(), &error), ST_DIR_EXISTS);
  EXPECT_EQ(error, DWORD(ERROR_ALREADY_EXISTS));
  // A trailing backslash makes the folder with its parents and is success.
  std::wstring trailing = scratch / L"P\\Q\\";
  EXPECT_EQ(DirCreate(trailing.c_str(), &error), ST_OK);
  EXPECT_TRUE(Exists(scratch / L"P\\Q"));
}

TEST_F(FileLayer, DirCreateRefusesLongPathsAndStopsAtAParentItCannotMake) {
  FileSys.CreateDirectoryW = DeniedCreateDirectory;
  DWORD error = 0;
  std::wstring tooLong = PathOfLength(scratch, 260);
  for (const wchar_t* path : {tooLong.c_str(), L"", static_cast<const wchar_t*>(nullptr)})
    EXPECT_EQ(DirCreate(path, &error), ST_DIR_BAD_PATH);
  EXPECT_TRUE(record.folders.empty());
  DirCreate(PathOfLength(scratch, 259).c_str(), &error);
  EXPECT_EQ(record.folders.size(), 1u) << "259 units reach the system";

  record.folders.clear();
  std::wstring blocked = scratch / L"locked\\X\\Y";
  EXPECT_EQ(DirCreate(blocked.c_str(), &error), ST_DIR_PATH_NOT_FOUND);
  EXPECT_EQ(error, DWORD(ERROR_ACCESS_DENIED));
  EXPECT_EQ(record.folders.back(), scratch / L"locked") << "nothing is tried after it";
  EXPECT_EQ(DirCreate((scratch / L"locked").c_str(), &error), ST_DIR_ACCESS_DENIED);
}

// -- Tree deletion -------------------------------------------------------------

struct Tree {
  explicit Tree(const Scratch& scratch) : root(scratch / L"tree") {
    for (const wchar_t* folder : {L"", L"\\sub", L"\\sub\\deeper", L"\\.keep", L"\\link"})
      CreateDirectoryW((root + folder).c_str(), nullptr);
    for (const wchar_t* file : {L"\\plain.txt", L"\\ro.txt", L"\\.dotfile", L"\\sub\\a.log",
                                L"\\sub\\deeper\\b.bin", L"\\.keep\\kept.txt", L"\\link\\in.txt"})
      WriteBytes(root + file, "data");
    SetFileAttributesW((root + L"\\ro.txt").c_str(), FILE_ATTRIBUTE_READONLY);
  }
  // Deletes with the routine under test; returns what is left.
  std::set<std::wstring> Delete(DWORD flags, const void* filter) {
    wchar_t pattern[VT_PATH_CAP];
    TextFormat(pattern, VT_PATH_CAP, L"%s\\*", root.c_str());
    DWORD error = 0;
    EXPECT_EQ(TreeDelete(pattern, flags, filter, &error), 0);
    EXPECT_EQ(std::wstring(pattern), root + L"\\*") << "the caller's pattern is given back";
    return Left(root, L"");
  }
  static std::set<std::wstring> Left(const std::wstring& folder, const std::wstring& prefix) {
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
  std::wstring root;
};

// Reports the folder "link" as a folder link, as a junction is listed.
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

TEST_F(FileLayer, TreeDeleteRecursesKeepsDotFoldersAndNeverEntersLinks) {
  FileSys.FindFirstFileW = LinkFindFirst;
  FileSys.FindNextFileW = LinkFindNext;
  Tree flat(scratch);
  EXPECT_EQ(flat.Delete(0, nullptr),
            (std::set<std::wstring>{L".keep", L".keep\\kept.txt", L"link", L"link\\in.txt", L"sub",
                                    L"sub\\a.log", L"sub\\deeper", L"sub\\deeper\\b.bin"}));
  Scratch::Remove(flat.root);
  Tree tree(scratch);
  EXPECT_EQ(tree.Delete(TREE_RECURSE, nullptr),
            (std::set<std::wstring>{L".keep", L".keep\\kept.txt", L"link", L"link\\in.txt"}));
}

TEST_F(FileLayer, TreeDeleteCutOffTimeAndExtensionList) {
  Tree tree(scratch);
  FILETIME cutOff = {0x10000000, 0x01D00000};
  FILETIME older = cutOff;
  older.dwLowDateTime -= 1;
  auto stamp = [&](const wchar_t* name, const FILETIME& time) {
    HANDLE file = CreateFileW((tree.root + name).c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    SetFileTime(file, nullptr, nullptr, &time);
    CloseHandle(file);
  };
  stamp(L"\\plain.txt", cutOff);
  stamp(L"\\.dotfile", older);
  stamp(L"\\sub\\a.log", older);
  std::set<std::wstring> left = tree.Delete(TREE_RECURSE, &cutOff);
  EXPECT_TRUE(left.count(L"plain.txt")) << "a file of the cut-off time itself is kept";
  EXPECT_TRUE(left.count(L"ro.txt") && left.count(L"sub\\deeper\\b.bin"));
  EXPECT_FALSE(left.count(L".dotfile") || left.count(L"sub\\a.log"));

  Scratch::Remove(tree.root);
  Tree listed(scratch);
  for (const wchar_t* name : {L"\\c.t", L"\\d.TXTX", L"\\README", L"\\e.TXT"})
    WriteBytes(listed.root + name, "");
  const wchar_t* const extensions[] = {L"txt", L"LOG", nullptr};
  left = listed.Delete(TREE_RECURSE | TREE_EXTENSIONS, extensions);
  for (const wchar_t* gone : {L"plain.txt", L"ro.txt", L"e.TXT", L"sub\\a.log"})
    EXPECT_FALSE(left.count(gone)) << std::wstring(gone).size();
  for (const wchar_t* kept : {L"c.t", L"d.TXTX", L"README", L".dotfile", L"sub\\deeper\\b.bin"})
    EXPECT_TRUE(left.count(kept)) << std::wstring(kept).size();
}

TEST_F(FileLayer, TreeDeleteLeavesWhatItsBuffersCannotName) {
  // A folder name that brings the pattern near the buffer's end: a file
  // below it would need more than the 280 units of a path buffer.
  std::wstring root = scratch / L"deep";
  std::wstring inner = root + L"\\" + std::wstring(270 - root.size(), L'd');
  std::wstring longFile = L"\\\\?\\" + inner + L"\\far-too-long-a-name.txt";
  ASSERT_TRUE(CreateDirectoryW(root.c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + inner).c_str(), nullptr));
  WriteBytes(longFile, "kept");
  std::wstring reachable = inner + L"\\x.txt";  // 277 units: still named
  WriteBytes(L"\\\\?\\" + reachable, "gone");
  wchar_t pattern[VT_PATH_CAP];
  TextFormat(pattern, VT_PATH_CAP, L"%s\\*", root.c_str());
  DWORD error = 0;
  EXPECT_EQ(TreeDelete(pattern, TREE_RECURSE, nullptr, &error), 0);
  EXPECT_EQ(ReadBytes(longFile), "kept");
  EXPECT_FALSE(Exists(L"\\\\?\\" + reachable)) << "the folder itself was entered";
  Scratch::Remove(L"\\\\?\\" + root);
}

// -- Temporary folder ------------------------------------------------------------

DWORD WINAPI FailedLongPath(LPCWSTR, LPWSTR, DWORD) {
  SetLastError(ERROR_FILE_NOT_FOUND);
  return 0;
}

TEST_F(FileLayer, TempFolderOfBothFormsAndWhenTheLongNameFails) {
  wchar_t reported[MAX_PATH], expected[MAX_PATH];
  GetTempPathW(MAX_PATH, reported);
  GetLongPathNameW(reported, expected, MAX_PATH);
  std::wstring withBackslash = expected;
  ASSERT_EQ(withBackslash.back(), L'\\');
  wchar_t installer[VT_PATH_CAP];
  TempFolderGet(installer);
  EXPECT_EQ(std::wstring(installer), withBackslash);
  EXPECT_EQ(std::wstring(TempFolderGet()), withBackslash.substr(0, withBackslash.size() - 1));

  FileSys.GetLongPathNameW = FailedLongPath;
  TempFolderGet(installer);
  EXPECT_EQ(std::wstring(installer), L"");
  EXPECT_EQ(std::wstring(TempFolderGet()), L"");
}

}  // namespace
