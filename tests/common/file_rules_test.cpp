// The file layer's decisions as plain values: which errors are retried and
// what each maps to, where a record lands, which files an extension list
// selects.
#include "common/file_rules.h"

#include <gtest/gtest.h>

#include "common/status.h"

namespace {

enum { kCreateAlways = 2, kOpenExisting = 3, kOpenAlways = 4, kTruncateExisting = 5 };

TEST(FileOpenErrorStep, RetriesOnlyLocksAndTooManyFilesAndMapsTheRest) {
  struct Row {
    uint32_t error, disposition;
    int before;
    FileOpenStep step;
    int after;
  } rows[] = {
      {32, kOpenExisting, ST_OPEN_FAILED, FILE_OPEN_RETRY, ST_BUSY},
      {33, kOpenExisting, ST_OPEN_FAILED, FILE_OPEN_RETRY, ST_BUSY},
      {4, kOpenExisting, ST_OPEN_FAILED, FILE_OPEN_RETRY, ST_OPEN_FAILED},
      {4, kOpenExisting, ST_BUSY, FILE_OPEN_RETRY, ST_BUSY},
      {2, kOpenExisting, ST_BUSY, FILE_OPEN_GIVE_UP, ST_FILE_NOT_FOUND},
      {3, kCreateAlways, ST_OPEN_FAILED, FILE_OPEN_GIVE_UP, ST_PATH_NOT_FOUND},
      {5, kOpenAlways, ST_OPEN_FAILED, FILE_OPEN_GIVE_UP, ST_ACCESS_DENIED},
      {80, 1, ST_OPEN_FAILED, FILE_OPEN_GIVE_UP, ST_FILE_EXISTS},
      {87, kOpenExisting, ST_OPEN_FAILED, FILE_OPEN_GIVE_UP, ST_REFUSED},
      {123, kOpenExisting, ST_OPEN_FAILED, FILE_OPEN_GIVE_UP, ST_INVALID_NAME},
      // Unknown errors: only a disposition that may create says so.
      {31, kOpenExisting, ST_OPEN_FAILED, FILE_OPEN_GIVE_UP, ST_OPEN_FAILED},
      {31, kTruncateExisting, ST_OPEN_FAILED, FILE_OPEN_GIVE_UP, ST_OPEN_FAILED},
      {31, kOpenExisting, ST_BUSY, FILE_OPEN_GIVE_UP, ST_BUSY},
      {31, kCreateAlways, ST_OPEN_FAILED, FILE_OPEN_GIVE_UP, ST_CREATE_FAILED},
      {1117, kOpenAlways, ST_BUSY, FILE_OPEN_GIVE_UP, ST_CREATE_FAILED},
  };
  for (const Row& row : rows) {
    int status = row.before;
    EXPECT_EQ(FileOpenErrorStep(row.error, row.disposition, &status), row.step) << row.error;
    EXPECT_EQ(status, row.after) << row.error << " disposition " << row.disposition;
  }
}

TEST(FileReplaceRetryable, HeldFilesAreWaitedForOtherFailuresAreNot) {
  for (uint32_t error : {32u, 33u, 5u}) EXPECT_TRUE(FileReplaceRetryable(error)) << error;
  for (uint32_t error : {0u, 2u, 3u, 4u, 17u, 39u, 112u, 183u})
    EXPECT_FALSE(FileReplaceRetryable(error)) << error;
}

TEST(FileErrorStatus, TransferSeekSizeAndFolderErrors) {
  struct Row {
    int (*map)(uint32_t);
    uint32_t error;
    int status;
  } rows[] = {
      {FileReadErrorStatus, 5, ST_REFUSED},         {FileReadErrorStatus, 6, ST_INVALID_HANDLE},
      {FileReadErrorStatus, 39, ST_READ_FAILED},    {FileWriteErrorStatus, 5, ST_REFUSED},
      {FileWriteErrorStatus, 6, ST_INVALID_HANDLE}, {FileShortWriteStatus, 112, ST_DISK_FULL},
      {FileSeekErrorStatus, 6, ST_INVALID_HANDLE},  {FileSeekErrorStatus, 87, ST_SEEK_PARAM},
      {FileSeekErrorStatus, 131, ST_NEGATIVE_SEEK}, {FileSeekErrorStatus, 5, ST_SEEK_FAILED},
      {FileSizeErrorStatus, 6, ST_INVALID_HANDLE},  {FileSizeErrorStatus, 5, ST_SIZE_FAILED},
      {DirErrorStatus, 3, ST_DIR_PATH_NOT_FOUND},   {DirErrorStatus, 5, ST_DIR_ACCESS_DENIED},
      {DirErrorStatus, 183, ST_DIR_EXISTS},         {DirErrorStatus, 123, ST_DIR_FAILED},
  };
  for (const Row& row : rows) EXPECT_EQ(row.map(row.error), row.status) << row.error;
}

TEST(FileRecordOffset, PositionsAppendAndTheEndOfTheFile) {
  struct Row {
    uint32_t size, record;
    int position;
    int status;
    uint32_t offset;
  } rows[] = {
      {1252, 626, 3, ST_OK, 1252},       // the offset equal to the size appends
      {1251, 626, 3, ST_PAST_END, 0},
      {1252, 626, 1, ST_OK, 0},
      {1252, 626, 2, ST_OK, 626},
      {1300, 626, FILE_POS_APPEND, ST_OK, 1252},  // a partial record is overwritten
      {1252, 626, FILE_POS_APPEND, ST_OK, 1252},
      {0, 626, FILE_POS_APPEND, ST_OK, 0},
      {1300, 626, FILE_POS_CREATE, ST_OK, 0},
      {1300, 626, 0, ST_OK, 0},
      {1300, 626, -1, ST_OK, 0},
      {1300, 1, 1301, ST_OK, 1300},  // byte mode
      {1300, 1, 1302, ST_PAST_END, 0},
      // 16 records of 256 MiB are 4 GiB: wrapping to 0 would overwrite the
      // start of the file.
      {1000, 0x10000000u, 17, ST_PAST_END, 0},
      {0xFFFFFFFEu, 0x7FFFFFFFu, 0x7FFFFFFF, ST_PAST_END, 0},
  };
  for (const Row& row : rows) {
    uint32_t offset = 12345;
    EXPECT_EQ(FileRecordOffset(row.size, row.record, row.position, &offset), row.status)
        << row.size << " " << row.position;
    if (row.status == ST_OK) {
      EXPECT_EQ(offset, row.offset) << row.size << " " << row.position;
    }
  }
}

TEST(FileExtensionListed, WholeExtensionWithoutCase) {
  const wchar_t* const list[] = {L"txt", L"LOG", L"bak", nullptr};
  const wchar_t* const empty[] = {nullptr};
  struct Row {
    const wchar_t* name;
    const wchar_t* const* list;
    bool listed;
  } rows[] = {
      {L"a.txt", list, true},        {L"A.TXT", list, true},    {L"b.log", list, true},
      {L"archive.tar.bak", list, true}, {L"txt.doc", list, false},
      // A shorter or longer extension is a different one.
      {L"c.t", list, false},         {L"d.txtx", list, false},  {L"e.tx", list, false},
      // No extension: never selected.
      {L"README", list, false},      {L"trailing.", list, false},
      {L"a.txt", empty, false},      {L"a.txt", nullptr, false},
      // Only ASCII letters fold: full-width "ＴＸＴ" is not "txt".
      {L"f.\xFF34\xFF38\xFF34", list, false},
  };
  for (const Row& row : rows)
    EXPECT_EQ(FileExtensionListed(row.name, row.list), row.listed);
}

}  // namespace
