// The project list files under Wine: byte-exact records after saves and
// builds, the recent list's order and removals, lookups, the menu texts,
// builds counted in other processes that a save keeps, updates that wait
// for another process's, and what happens when a list cannot be opened,
// read or written.
#include "editor/project/project_list.h"

#include "common/file_syscalls.h"
#include "editor/project/project_file.h"

#include <stdlib.h>
#include <string.h>

#include <string>

#include "editor_fixture.h"

namespace {

using namespace editor_test;

const wchar_t kKeyA[] = L"{6F1C2A3B-0D4E-4F50-8A6B-7C8D9E0F1A2B}";
const wchar_t kKeyB[] = L"{22222222-2222-2222-2222-222222222222}";
const wchar_t kStamp1[] = L"20120121031004";
const wchar_t kStamp2[] = L"20120122101112";

std::string Narrow(const wchar_t* text) { return Cp932(text); }

// The master record the list should hold, assembled field by field.
std::string MasterBytes(const wchar_t* key, const std::wstring& name, const std::wstring& folder,
                        const std::wstring& file, const char* update_count,
                        const std::string& build_count, const char* sequence,
                        const std::string& updated_at, const wchar_t* created_at) {
  return Padded(Narrow(key), 48) + Padded(Cp932(name), 128) + Padded(Cp932(folder), 272) +
         Padded(Cp932(file), 128) + update_count + Padded(build_count, 6) + sequence +
         updated_at + Narrow(created_at) + "\r\n";
}

std::string RecentBytes(const wchar_t* key, const std::wstring& name, const std::wstring& folder,
                        const std::wstring& file) {
  return Padded(Narrow(key), 48) + Padded(Cp932(name), 128) + Padded(Cp932(folder), 272) +
         Padded(Cp932(file), 128) + "\r\n";
}

std::string EmptySlots(int count) {
  std::string out;
  for (int i = 0; i < count; ++i) out += std::string(576, '\0') + "\r\n";
  return out;
}

class ProjectListTest : public EditorFolderTest {
 protected:
  void SetUp() override {
    EditorFolderTest::SetUp();
    project_record_clear(&editor_state.working);
    strcpy(editor_state.working.project_name, "Sample");
    projects_ = base_ + L"\\Projects";
    ASSERT_TRUE(CreateDirectoryW(projects_.c_str(), NULL));
  }

  // Records a save in the lists and, as the save does once they took it,
  // writes the project file.
  int Save(const wchar_t* stamp, const wchar_t* key, const std::wstring& name,
           const std::wstring& folder, const std::wstring& file) {
    DWORD error = 0;
    int result = record_project_save(base_.c_str(), stamp, name.c_str(), key, folder.c_str(),
                                     file.c_str(), &editor_state.build_count, &error);
    if (result == LIST_OK) {
      EXPECT_EQ(project_file_store((folder + L"\\" + file).c_str(), &editor_state.working,
                                   &error),
                0)
          << "the project file was written";
    }
    return result;
  }

  // Records a build with the editor's count.
  int Build(const wchar_t* key, DWORD* error) {
    return record_project_build(base_.c_str(), key, &editor_state.build_count, error);
  }

  std::wstring projects_;
};

TEST_F(ProjectListTest, FirstSaveCreatesBothListsByteExact) {
  ASSERT_EQ(Save(kStamp1, kKeyA, L"Sample", projects_, L"Sample.sip"), LIST_OK);
  EXPECT_BYTES(ReadBytes(Master()),
            MasterBytes(kKeyA, L"Sample", projects_, L"Sample.sip", "       0", "0", "000001",
                        std::string(14, ' '), kStamp1));
  EXPECT_BYTES(ReadBytes(Recent()),
            RecentBytes(kKeyA, L"Sample", projects_, L"Sample.sip") + EmptySlots(14));
  EXPECT_BYTES(ReadBytes(projects_ + L"\\Sample.sip"),
            std::string(reinterpret_cast<const char*>(&editor_state.working), 2696));
}

TEST_F(ProjectListTest, SecondSaveRaisesTheUpdateCountAndSetsUpdatedAt) {
  ASSERT_EQ(Save(kStamp1, kKeyA, L"Sample", projects_, L"Sample.sip"), LIST_OK);
  editor_state.build_count = 4;
  ASSERT_EQ(Save(kStamp2, kKeyA, L"Renamed", projects_, L"Sample.sip"), LIST_OK);
  EXPECT_BYTES(ReadBytes(Master()),
            MasterBytes(kKeyA, L"Renamed", projects_, L"Sample.sip", "       1", "4", "000001",
                        Narrow(kStamp2), kStamp1));
  EXPECT_BYTES(ReadBytes(Recent()),
            RecentBytes(kKeyA, L"Renamed", projects_, L"Sample.sip") + EmptySlots(14));
}

TEST_F(ProjectListTest, BuildOfANeverResavedProjectCopiesCreatedAt) {
  ASSERT_EQ(Save(kStamp1, kKeyA, L"Sample", projects_, L"Sample.sip"), LIST_OK);
  std::string recent = ReadBytes(Recent());
  std::string project = ReadBytes(projects_ + L"\\Sample.sip");
  DWORD error = 0;
  editor_state.build_count = 1;
  EXPECT_EQ(Build(kKeyA, &error), LIST_BUILD_RECORDED);
  EXPECT_BYTES(ReadBytes(Master()),
            MasterBytes(kKeyA, L"Sample", projects_, L"Sample.sip", "       0", "1", "000001",
                        Narrow(kStamp1), kStamp1));
  editor_state.build_count = 2;
  ASSERT_EQ(Save(kStamp2, kKeyA, L"Sample", projects_, L"Sample.sip"), LIST_OK);
  editor_state.build_count = 3;
  EXPECT_EQ(Build(kKeyA, &error), LIST_BUILD_RECORDED);
  EXPECT_BYTES(ReadBytes(Master()),
            MasterBytes(kKeyA, L"Sample", projects_, L"Sample.sip", "       1", "3", "000001",
                        Narrow(kStamp2), kStamp1))
      << "a second build leaves a set updated-at alone";
  EXPECT_EQ(Build(kKeyB, &error), LIST_NOT_FOUND);
  // Builds never touch the recent list or the project file.
  EXPECT_BYTES(ReadBytes(Recent()), recent);
  EXPECT_BYTES(ReadBytes(projects_ + L"\\Sample.sip"), project);
}

// Builds of the project in other processes raise the stored count; the
// editor's stale count never lowers it, and a build counts from the
// higher of the two.
TEST_F(ProjectListTest, AStoredBuildCountIsNeverLowered) {
  DWORD error = 0;
  editor_state.build_count = 0;
  ASSERT_EQ(Save(kStamp1, kKeyA, L"Sample", projects_, L"Sample.sip"), LIST_OK);
  const struct {
    const char* what;
    bool build;   // a build (else a save)
    int editor;   // the editor's count before
    const char* stored;  // the count stored after
  } steps[] = {
      {"a headless build", true, 0, "1"},
      {"another headless build", true, 0, "2"},
      {"the editor's save with its count of 0", false, 0, "2"},
      {"the editor's build with its count raised to 1", true, 1, "3"},
      {"a save of an editor that built more", false, 7, "7"},
  };
  for (const auto& step : steps) {
    editor_state.build_count = step.editor;
    if (step.build)
      EXPECT_EQ(Build(kKeyA, &error), LIST_BUILD_RECORDED) << step.what;
    else
      EXPECT_EQ(Save(kStamp2, kKeyA, L"Sample", projects_, L"Sample.sip"), LIST_OK) << step.what;
    ProjectEntry entry;
    ASSERT_EQ(find_project_entry(base_.c_str(), kKeyA, &entry, &error), LIST_OK);
    EXPECT_EQ(Narrow(entry.build_count), step.stored) << step.what;
    EXPECT_EQ(editor_state.build_count, atoi(step.stored)) << step.what << ": the editor's count";
  }
}

// What another process's update holds: the lock on the master list.
struct HeldLock {
  HANDLE file;
  volatile LONG released;
};

DWORD WINAPI ReleaseLater(void* parameter) {
  HeldLock* held = static_cast<HeldLock*>(parameter);
  Sleep(700);
  InterlockedExchange(&held->released, 1);
  UnlockFile(held->file, 0x7FFFFFF0u, 0, 1, 0);
  return 0;
}

// A save while another process updates the lists waits for it to finish.
TEST_F(ProjectListTest, AnUpdateWaitsForAnotherProcesssUpdate) {
  ASSERT_EQ(Save(kStamp1, kKeyA, L"Sample", projects_, L"Sample.sip"), LIST_OK);
  HeldLock held = {CreateFileW(Master().c_str(), GENERIC_READ | GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING, 0, NULL),
                   0};
  ASSERT_NE(held.file, INVALID_HANDLE_VALUE);
  ASSERT_TRUE(LockFile(held.file, 0x7FFFFFF0u, 0, 1, 0));
  HANDLE thread = CreateThread(NULL, 0, ReleaseLater, &held, 0, NULL);
  ASSERT_TRUE(thread);
  EXPECT_EQ(Save(kStamp2, kKeyA, L"Sample", projects_, L"Sample.sip"), LIST_OK);
  EXPECT_EQ(held.released, 1) << "the save did not wait for the other update";
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  CloseHandle(held.file);
  EXPECT_EQ(ReadBytes(Master()).substr(576, 8), "       1");
}

std::wstring KeyNumber(int i) {
  wchar_t key[40];
  swprintf(key, 40, L"{%08X-0000-0000-0000-000000000000}", i);
  return key;
}

TEST_F(ProjectListTest, ASixteenthProjectPushesTheOldestOut) {
  for (int i = 1; i <= 16; ++i) {
    std::wstring file = L"P" + std::to_wstring(i) + L".sip";
    ASSERT_EQ(Save(kStamp1, KeyNumber(i).c_str(), L"Project", projects_, file), LIST_OK) << i;
  }
  std::string recent = ReadBytes(Recent());
  ASSERT_EQ(recent.size(), 8670u);
  for (int slot = 0; slot < 15; ++slot) {
    std::string key = recent.substr(slot * 578, 38);
    EXPECT_EQ(key, Narrow(KeyNumber(16 - slot).c_str())) << "slot " << slot;
  }
  std::string master = ReadBytes(Master());
  ASSERT_EQ(master.size(), 16u * 626);
  EXPECT_EQ(master.substr(15 * 626 + 590, 6), "000016");
  EXPECT_EQ(master.substr(0, 38), Narrow(KeyNumber(1).c_str()));
}

TEST_F(ProjectListTest, TheSamePathInAnotherCaseReplacesTheRecentEntry) {
  ASSERT_EQ(Save(kStamp1, kKeyA, L"Sample", projects_, L"Sample.sip"), LIST_OK);
  std::wstring other_case = projects_;
  for (wchar_t& c : other_case) c = towupper(c);
  ASSERT_EQ(Save(kStamp2, kKeyB, L"Again", other_case, L"sample.SIP"), LIST_OK);
  EXPECT_BYTES(ReadBytes(Recent()),
            RecentBytes(kKeyB, L"Again", other_case, L"sample.SIP") + EmptySlots(14));
  std::string master = ReadBytes(Master());
  ASSERT_EQ(master.size(), 2u * 626) << "the master list holds both keys";
  EXPECT_EQ(master.substr(626, 38), Narrow(kKeyB));
  EXPECT_EQ(master.substr(626 + 590, 6), "000002");
}

TEST_F(ProjectListTest, ATrailingPartialRecordIsIgnoredAndThenOverwritten) {
  std::string first = MasterBytes(kKeyA, L"Sample", projects_, L"Sample.sip", "       0", "0",
                                  "000007", std::string(14, ' '), kStamp1);
  // Part of a record with key B: a scan must not find it.
  std::string partial = MasterBytes(kKeyB, L"X", projects_, L"X.sip", "       0", "0",
                                    "000008", std::string(14, ' '), kStamp1)
                            .substr(0, 300);
  WriteBytes(Master(), first + partial);
  DWORD error = 0;
  EXPECT_EQ(find_project_entry(base_.c_str(), kKeyB, NULL, &error), LIST_NOT_FOUND);
  ASSERT_EQ(Save(kStamp2, kKeyB, L"New", projects_, L"New.sip"), LIST_OK);
  EXPECT_BYTES(ReadBytes(Master()),
            first + MasterBytes(kKeyB, L"New", projects_, L"New.sip", "       0", "0", "000008",
                                std::string(14, ' '), kStamp2));
}

TEST_F(ProjectListTest, ASevenDigitSequenceNumberStaysAtSixDigits) {
  WriteBytes(Master(), MasterBytes(kKeyA, L"Last", projects_, L"Last.sip", "       0", "0",
                                   "999999", std::string(14, ' '), kStamp1));
  ASSERT_EQ(Save(kStamp2, kKeyB, L"New", projects_, L"New.sip"), LIST_OK);
  EXPECT_BYTES(ReadBytes(Master()).substr(626),
            MasterBytes(kKeyB, L"New", projects_, L"New.sip", "       0", "0", "999999",
                        std::string(14, ' '), kStamp2));
}

TEST_F(ProjectListTest, FindReportsTheRecordsFields) {
  DWORD error = 0;
  EXPECT_EQ(find_project_entry(base_.c_str(), kKeyA, NULL, &error), LIST_NO_FILE);
  std::wstring folder = projects_ + L"\\ソフト";
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), NULL));
  editor_state.build_count = 12;
  ASSERT_EQ(Save(kStamp1, kKeyA, L"名前", folder, L"表示.sip"), LIST_OK);
  ASSERT_EQ(Save(kStamp2, kKeyA, L"名前", folder, L"表示.sip"), LIST_OK);
  ProjectEntry entry;
  ASSERT_EQ(find_project_entry(base_.c_str(), kKeyA, &entry, &error), LIST_OK);
  EXPECT_EQ(std::wstring(entry.created_at), kStamp1);
  EXPECT_EQ(std::wstring(entry.updated_at), kStamp2);
  EXPECT_EQ(std::wstring(entry.build_count), L"12");
  EXPECT_EQ(std::wstring(entry.update_count), L"       1");
  EXPECT_EQ(std::wstring(entry.folder), folder);
  EXPECT_EQ(std::wstring(entry.file_name), L"表示.sip");
  EXPECT_EQ(find_project_entry(base_.c_str(), kKeyB, &entry, &error), LIST_NOT_FOUND);
}

TEST_F(ProjectListTest, RecentProjectsGiveMenuTextsCutOnWholeCharacters) {
  DWORD error = 0;
  RecentProjects projects;
  EXPECT_EQ(read_recent_projects(base_.c_str(), &projects, &error), RECENT_NO_FILE);
  // 18 double-byte characters (36 bytes): the cut keeps 16 of them.
  std::wstring name = L"インストール管理プロジェクト名称です";
  ASSERT_EQ(Save(kStamp1, kKeyA, name, projects_, L"a.sip"), LIST_OK);
  ASSERT_EQ(Save(kStamp1, kKeyB, L"Short", projects_, L"b.sip"), LIST_OK);
  ASSERT_EQ(read_recent_projects(base_.c_str(), &projects, &error), RECENT_OK);
  ASSERT_EQ(projects.count, 2);
  std::wstring path_b = projects_ + L"\\b.sip";
  EXPECT_EQ(std::wstring(projects.text[0]), L"Short\t" + path_b.substr(0, 40));
  std::wstring path_a = projects_ + L"\\a.sip";
  EXPECT_EQ(std::wstring(projects.text[1]), name.substr(0, 16) + L"\t" + path_a.substr(0, 40));
  EXPECT_EQ(std::string(projects.records[1].entry.key), Narrow(kKeyA));
  EXPECT_EQ(std::string(projects.records[1].entry.folder), Cp932(projects_));
}

TEST_F(ProjectListTest, EmptySlotsAreSkippedInTheMenu) {
  WriteBytes(Recent(), EmptySlots(1) + RecentBytes(kKeyA, L"One", L"C:\\P", L"one.sip") +
                           EmptySlots(13));
  DWORD error = 0;
  RecentProjects projects;
  ASSERT_EQ(read_recent_projects(base_.c_str(), &projects, &error), RECENT_OK);
  ASSERT_EQ(projects.count, 1);
  EXPECT_EQ(std::wstring(projects.text[0]), L"One\tC:\\P\\one.sip");
}

TEST_F(ProjectListTest, AMasterListThatCannotBeOpenedStopsTheSave) {
  ASSERT_TRUE(CreateDirectoryW(Master().c_str(), NULL));
  EXPECT_EQ(Save(kStamp1, kKeyA, L"Sample", projects_, L"Sample.sip"), LIST_NO_FILE);
  EXPECT_FALSE(Exists(Recent()));
  EXPECT_FALSE(Exists(projects_ + L"\\Sample.sip"));
  DWORD error = 0;
  EXPECT_EQ(Build(kKeyA, &error), LIST_NO_FILE);
}

TEST_F(ProjectListTest, AFolderThatDoesNotFitItsFieldIsRefusedBeforeAnyWrite) {
  // 140 double-byte characters: 280 bytes, more than the 272 of the field,
  // though the path itself is short enough for the file layer.
  std::wstring folder = L"C:\\" + std::wstring(140, L'ア');
  EXPECT_EQ(Save(kStamp1, kKeyA, L"Sample", folder, L"x.sip"), LIST_BAD_TEXT);
  EXPECT_EQ(Save(kStamp1, kKeyA, L"Sample", projects_, std::wstring(64, L'ア') + L".sip"),
            LIST_BAD_TEXT);
  EXPECT_FALSE(Exists(Master()));
  EXPECT_FALSE(Exists(Recent()));
}

// Calls of the file layer made to fail with a chosen error.
BOOL WINAPI ReadFails(HANDLE, LPVOID, DWORD, LPDWORD read, LPOVERLAPPED) {
  if (read) *read = 0;
  SetLastError(ERROR_IO_DEVICE);
  return FALSE;
}
BOOL WINAPI DiskFull(HANDLE, LPCVOID, DWORD, LPDWORD written, LPOVERLAPPED) {
  if (written) *written = 0;
  SetLastError(ERROR_HANDLE_DISK_FULL);
  return FALSE;
}
DWORD WINAPI SeekFails(HANDLE, LONG, PLONG, DWORD) {
  SetLastError(ERROR_INVALID_PARAMETER);
  return INVALID_SET_FILE_POINTER;
}

// Fails only the single read of the whole recent list (8,670 bytes); the
// master list is read in larger chunks.
BOOL WINAPI RecentReadFails(HANDLE file, LPVOID buffer, DWORD count, LPDWORD read,
                            LPOVERLAPPED overlapped) {
  if (count == RECENT_FILE_SIZE) return ReadFails(file, buffer, count, read, overlapped);
  return ReadFile(file, buffer, count, read, overlapped);
}

class ProjectListFailureTest : public ProjectListTest {
 protected:
  void TearDown() override {
    FileSyscallsReset();
    ProjectListTest::TearDown();
  }
};

TEST_F(ProjectListFailureTest, AFailedWriteIsNeverReportedAsARecordedBuild) {
  ASSERT_EQ(Save(kStamp1, kKeyA, L"Sample", projects_, L"Sample.sip"), LIST_OK);
  std::string master = ReadBytes(Master());
  DWORD error = 0;
  editor_state.build_count = 1;
  FileSys.WriteFile = DiskFull;
  EXPECT_EQ(Build(kKeyA, &error), LIST_WRITE_FAILED);
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_HANDLE_DISK_FULL));
  FileSyscallsReset();
  FileSys.SetFilePointer = SeekFails;
  EXPECT_EQ(Build(kKeyA, &error), LIST_SEEK_FAILED);
  FileSyscallsReset();
  EXPECT_BYTES(ReadBytes(Master()), master);
  EXPECT_EQ(Build(kKeyA, &error), LIST_BUILD_RECORDED);
}

TEST_F(ProjectListFailureTest, AFailedMasterWriteStopsTheSaveBeforeTheOtherFiles) {
  FileSys.WriteFile = DiskFull;
  EXPECT_EQ(Save(kStamp1, kKeyA, L"Sample", projects_, L"Sample.sip"), LIST_WRITE_FAILED);
  FileSyscallsReset();
  EXPECT_FALSE(Exists(Recent()));
  EXPECT_FALSE(Exists(projects_ + L"\\Sample.sip"));
}

TEST_F(ProjectListFailureTest, ARecentListThatCannotBeReadIsLeftAlone) {
  std::string recent = RecentBytes(kKeyB, L"Other", L"C:\\O", L"o.sip") + EmptySlots(14);
  WriteBytes(Recent(), recent);
  FileSys.ReadFile = RecentReadFails;
  EXPECT_EQ(Save(kStamp1, kKeyA, L"Sample", projects_, L"Sample.sip"), LIST_OK);
  FileSyscallsReset();
  EXPECT_BYTES(ReadBytes(Recent()), recent) << "its entries are not lost";
  EXPECT_TRUE(Exists(projects_ + L"\\Sample.sip"));
  EXPECT_EQ(ReadBytes(Master()).size(), 626u);
}

TEST_F(ProjectListFailureTest, ReadFailuresAreReported) {
  ASSERT_EQ(Save(kStamp1, kKeyA, L"Sample", projects_, L"Sample.sip"), LIST_OK);
  std::string master = ReadBytes(Master());
  std::string recent = ReadBytes(Recent());
  DWORD error = 0;
  RecentProjects projects;
  FileSys.ReadFile = ReadFails;
  EXPECT_EQ(find_project_entry(base_.c_str(), kKeyA, NULL, &error), LIST_READ_FAILED);
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_IO_DEVICE));
  EXPECT_EQ(Build(kKeyA, &error), LIST_READ_FAILED);
  EXPECT_EQ(Save(kStamp2, kKeyA, L"Sample", projects_, L"Sample.sip"), LIST_READ_FAILED);
  EXPECT_EQ(read_recent_projects(base_.c_str(), &projects, &error), RECENT_READ_FAILED);
  FileSyscallsReset();
  EXPECT_BYTES(ReadBytes(Master()), master) << "no record is written";
  EXPECT_BYTES(ReadBytes(Recent()), recent);
}

}  // namespace
