// Project files and folders under Wine: the opening checks in their order,
// saving with attachments copied into the project folder, the last-folder
// files, and new projects with their GUIDs; through the program's
// routines, which keep the working record and the remembered folders.
#include "editor/project/project_file.h"

#include <string.h>

#include <string>

#include "common/message.h"
#include "editor/editor.h"
#include "editor/project/editor_text.h"
#include "editor/project/project_list.h"
#include "editor_fixture.h"

namespace {

using namespace editor_test;

const char kGuid[] = "{6F1C2A3B-0D4E-4F50-8A6B-7C8D9E0F1A2B}";

class ProjectFileTest : public EditorFolderTest {
 protected:
  void SetUp() override {
    EditorFolderTest::SetUp();
    project_record_clear(&record_);
    strcpy(record_.project_name, "Sample");
    strcpy(record_.project_guid, kGuid);
    // Records the tests can tell apart from anything an open would load.
    memset(&editor_state.working, 0x11, sizeof editor_state.working);
    memset(&editor_state.saved, 0x22, sizeof editor_state.saved);
  }

  std::string Bytes(const ProjectRecord& record) const {
    return std::string(reinterpret_cast<const char*>(&record), sizeof record);
  }

  // Opens path; returns the message and checks its caption.
  int Open(const std::wstring& path, const wchar_t* expected_caption) {
    const wchar_t* caption = L"unset";
    DWORD error = 0;
    int message = open_project_file(path.c_str(), &caption, &error);
    if (expected_caption)
      EXPECT_STREQ(caption, expected_caption) << message;
    else
      EXPECT_EQ(caption, nullptr);
    return message;
  }

  int Save(const std::wstring& path, bool chosen, int* detail = NULL) {
    int ignored = 0;
    DWORD error = 0;
    return save_project_file(path.c_str(), chosen, detail ? detail : &ignored, &error);
  }

  // The three remembered folders joined by "|".
  std::wstring Remembered() const {
    const EditorFolders& f = editor_state.remembered;
    return std::wstring(f.project) + L"|" + f.module + L"|" + f.installer;
  }

  ProjectRecord record_;
};

TEST_F(ProjectFileTest, OpeningChecksRunInOrderAndAFailureChangesNothing) {
  ASSERT_TRUE(CreateDirectoryW(ProjectFolder(kGuid).c_str(), NULL));
  ProjectRecord unknown = record_;
  strcpy(unknown.project_guid, "{00000000-0000-0000-0000-000000000000}");
  ProjectRecord no_name = record_;
  no_name.project_name[0] = 0;
  ProjectRecord no_guid = record_;
  memset(no_guid.project_guid, 0, sizeof no_guid.project_guid);  // names InstallList itself
  ProjectRecord escape = record_;
  strcpy(escape.project_guid, "..");

  struct Case {
    const char* what;
    std::string bytes;
    int message;
    const wchar_t* caption;
  } cases[] = {
      {"2695 bytes", Bytes(record_).substr(0, 2695), PROJECT_MSG_NOT_PROJECT, CAPTION_WARNING},
      {"2697 bytes", Bytes(record_) + "x", PROJECT_MSG_NOT_PROJECT, CAPTION_WARNING},
      {"empty", std::string(), PROJECT_MSG_NOT_PROJECT, CAPTION_WARNING},
      {"first byte 0", Bytes(no_name), PROJECT_MSG_INVALID, CAPTION_WARNING},
      {"unknown GUID folder", Bytes(unknown), PROJECT_MSG_INVALID, CAPTION_WARNING},
      {"no GUID", Bytes(no_guid), PROJECT_MSG_INVALID, CAPTION_WARNING},
      {"GUID field naming a parent folder", Bytes(escape), PROJECT_MSG_INVALID, CAPTION_WARNING},
  };
  ProjectRecord working = editor_state.working, saved = editor_state.saved;
  for (const Case& c : cases) {
    std::wstring path = Base(L"case.sip");
    WriteBytes(path, c.bytes);
    EXPECT_EQ(Open(path, c.caption), c.message) << c.what;
    EXPECT_BYTES(Bytes(editor_state.working), Bytes(working)) << c.what;
    EXPECT_BYTES(Bytes(editor_state.saved), Bytes(saved)) << c.what;
  }
  EXPECT_EQ(Open(Base(L"missing.sip"), CAPTION_ERROR), PROJECT_MSG_UNREADABLE);
  EXPECT_EQ(Open(Base(L"nofolder\\x.sip"), CAPTION_ERROR), PROJECT_MSG_UNREADABLE);
  EXPECT_BYTES(Bytes(editor_state.working), Bytes(working));
  EXPECT_EQ(Remembered(), L"||") << "no folder was remembered";
}

TEST_F(ProjectFileTest, OpeningLoadsBothRecordsAndFollowsTheProject) {
  ASSERT_TRUE(CreateDirectoryW(ProjectFolder(kGuid).c_str(), NULL));
  strcpy(record_.module_path, Cp932(L"C:\\Modules\\ソ\\qor.ocx").c_str());
  strcpy(record_.installer_folder, Cp932(L"C:\\出力").c_str());
  for (size_t i = 0; i < sizeof record_.reserved_1880; ++i)
    record_.reserved_1880[i] = static_cast<uint8_t>(i);  // carried as loaded
  std::wstring folder = Base(L"ソフト");
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), NULL));
  WriteBytes(folder + L"\\Sample.sip", Bytes(record_));

  EXPECT_EQ(Open(folder + L"\\Sample.sip", NULL), 0);
  EXPECT_BYTES(Bytes(editor_state.working), Bytes(record_));
  EXPECT_BYTES(Bytes(editor_state.saved), Bytes(record_));
  EXPECT_EQ(std::wstring(editor_state.remembered.project), folder);
  EXPECT_EQ(std::wstring(editor_state.remembered.module), L"C:\\Modules\\ソ");
  EXPECT_EQ(std::wstring(editor_state.remembered.installer), L"C:\\出力");
  EXPECT_EQ(std::wstring(editor_state.start.module), L"C:\\Modules\\ソ");

  // A module path without "\" and an empty installer folder keep what was
  // remembered.
  strcpy(record_.module_path, "qor.ocx");
  record_.installer_folder[0] = 0;
  WriteBytes(folder + L"\\Other.sip", Bytes(record_));
  EXPECT_EQ(Open(folder + L"\\Other.sip", NULL), 0);
  EXPECT_EQ(std::wstring(editor_state.remembered.module), L"C:\\Modules\\ソ");
  EXPECT_EQ(std::wstring(editor_state.remembered.installer), L"C:\\出力");
}

TEST_F(ProjectFileTest, SavingThroughTheDialogCreatesTheFolderAndRoundTrips) {
  editor_state.working = record_;
  strcpy(editor_state.working.module_path, "C:\\Modules\\qor.ocx");
  strcpy(editor_state.working.installer_folder, "C:\\Out");
  std::wstring path = Base(L"Sample.sip");
  ASSERT_EQ(Save(path, true), PROJECT_SAVED);
  EXPECT_TRUE(Exists(ProjectFolder(kGuid)));
  EXPECT_EQ(std::string(editor_state.working.project_folder), Cp932(base_));
  EXPECT_BYTES(ReadBytes(path), Bytes(editor_state.working)) << "the file holds the new folder";
  EXPECT_EQ(std::wstring(editor_state.remembered.project), base_);
  EXPECT_EQ(std::wstring(editor_state.remembered.module), L"C:\\Modules");
  EXPECT_EQ(std::wstring(editor_state.remembered.installer), L"C:\\Out");
  EXPECT_EQ(std::wstring(editor_state.start.project), base_);

  DWORD error = 0;
  ProjectEntry entry;
  ASSERT_EQ(find_project_entry(base_.c_str(), L"{6F1C2A3B-0D4E-4F50-8A6B-7C8D9E0F1A2B}", &entry, &error),
            LIST_OK);
  EXPECT_EQ(std::wstring(entry.folder), base_);
  EXPECT_EQ(std::wstring(entry.file_name), L"Sample.sip");
  EXPECT_EQ(std::wstring(entry.created_at).size(), 14u);

  ProjectRecord written = editor_state.working;
  memset(&editor_state.working, 0, sizeof editor_state.working);
  EXPECT_EQ(Open(path, NULL), 0);
  EXPECT_BYTES(Bytes(editor_state.working), Bytes(written));
}

TEST_F(ProjectFileTest, AModulePathWithoutSeparatorIsRememberedWhole) {
  editor_state.working = record_;
  strcpy(editor_state.working.module_path, "qor.ocx");
  ASSERT_EQ(Save(Base(L"Sample.sip"), true), PROJECT_SAVED);
  EXPECT_EQ(std::wstring(editor_state.remembered.module), L"qor.ocx");
  EXPECT_EQ(std::wstring(editor_state.remembered.installer), L"");
}

TEST_F(ProjectFileTest, ALinkedInstallerOutsideIsCopiedOnceAndTheFieldRewritten) {
  // The file name "ソフト.exe" holds a 0x5C byte inside "ソ"; so does the
  // folder name "ソ" just before the real separator.
  std::wstring outside = Base(L"ソ");
  ASSERT_TRUE(CreateDirectoryW(outside.c_str(), NULL));
  struct Case {
    std::wstring source;
    std::wstring name;
  } cases[] = {
      {outside + L"\\ソフト.exe", L"ソフト.exe"},
      {outside + L"\\setup.exe", L"setup.exe"},
  };
  for (const Case& c : cases) {
    WriteBytes(c.source, "installer one");
    editor_state.working = record_;
    editor_state.working.linked_installer = 1;
    strcpy(editor_state.working.linked_installer_path, Cp932(c.source).c_str());
    std::wstring target = ProjectFolder(kGuid) + L"\\" + c.name;

    ASSERT_EQ(Save(Base(L"Sample.sip"), true), PROJECT_SAVED);
    EXPECT_BYTES(ReadBytes(target), "installer one");
    EXPECT_EQ(std::string(editor_state.working.linked_installer_path), Cp932(target));
    ProjectRecord on_disk;
    memcpy(&on_disk, ReadBytes(Base(L"Sample.sip")).data(), sizeof on_disk);
    EXPECT_EQ(std::string(on_disk.linked_installer_path), Cp932(target));

    // A second save copies nothing: the field names the copy already.
    WriteBytes(c.source, "installer two");
    ASSERT_EQ(Save(Base(L"Sample.sip"), false), PROJECT_SAVED);
    EXPECT_BYTES(ReadBytes(target), "installer one");
    EXPECT_EQ(std::string(editor_state.working.linked_installer_path), Cp932(target));
  }
}

TEST_F(ProjectFileTest, AFailedCopyKeepsTheOriginalPath) {
  editor_state.working = record_;
  editor_state.working.linked_installer = 1;
  std::string missing = Cp932(Base(L"gone\\setup.exe"));
  strcpy(editor_state.working.linked_installer_path, missing.c_str());
  EXPECT_EQ(Save(Base(L"Sample.sip"), true), PROJECT_SAVED_NO_COPY);
  EXPECT_EQ(std::string(editor_state.working.linked_installer_path), missing);
  EXPECT_TRUE(Exists(Base(L"Sample.sip"))) << "the project itself is saved";

  // Without the flag the path is not looked at.
  editor_state.working.linked_installer = 0;
  EXPECT_EQ(Save(Base(L"Sample.sip"), false), PROJECT_SAVED);
}

TEST_F(ProjectFileTest, SigningSettingsInTheProjectFolderAreNotCopied) {
  ASSERT_TRUE(CreateDirectoryW(ProjectFolder(kGuid).c_str(), NULL));
  std::wstring settings = ProjectFolder(kGuid) + L"\\codesign.txt";
  WriteBytes(settings, "settings");
  editor_state.working = record_;
  editor_state.working.code_signing = 1;
  strcpy(editor_state.working.signing_settings_path, Cp932(settings).c_str());
  EXPECT_EQ(Save(Base(L"Sample.sip"), true), PROJECT_SAVED);
  EXPECT_EQ(std::string(editor_state.working.signing_settings_path), Cp932(settings));
  EXPECT_BYTES(ReadBytes(settings), "settings");
}

TEST_F(ProjectFileTest, SavesThatWouldReferToAnotherPlaceAreRefused) {
  editor_state.working = record_;
  std::wstring long_folder = L"C:\\" + std::wstring(140, L'ア');  // 280 bytes
  struct Case {
    const char* what;
    std::wstring path;
    int result;
  } cases[] = {
      {"no backslash", L"Sample.sip", PROJECT_SAVE_BAD_PATH},
      {"folder longer than its field", long_folder + L"\\x.sip", PROJECT_SAVE_BAD_PATH},
      {"name longer than its field", Base(std::wstring(70, L'ア')), PROJECT_SAVE_BAD_PATH},
      {"260 characters", Base(std::wstring(259 - base_.size(), L'n')), PROJECT_SAVE_BAD_PATH},
      {"a character code page 932 lacks", Base(L"\u00e4.sip"), PROJECT_SAVE_BAD_PATH},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Save(c.path, true), c.result) << c.what;
    EXPECT_BYTES(Bytes(editor_state.working), Bytes(record_)) << c.what;
  }
  memset(editor_state.working.project_guid, 0, sizeof editor_state.working.project_guid);
  EXPECT_EQ(Save(Base(L"Sample.sip"), true), PROJECT_SAVE_NO_GUID);
  EXPECT_FALSE(Exists(Master()));
  EXPECT_FALSE(Exists(Base(L"Sample.sip")));
}

TEST_F(ProjectFileTest, ListAndFileFailuresAreReported) {
  editor_state.working = record_;
  int detail = 0;
  ASSERT_TRUE(CreateDirectoryW(Master().c_str(), NULL));
  EXPECT_EQ(Save(Base(L"Sample.sip"), true, &detail), PROJECT_SAVE_LIST_FAILED);
  EXPECT_EQ(detail, LIST_NO_FILE);
  EXPECT_FALSE(Exists(Base(L"Sample.sip")));
  ASSERT_TRUE(RemoveDirectoryW(Master().c_str()));

  // A folder where the project file should go: registered, not written.
  ASSERT_TRUE(CreateDirectoryW(Base(L"Taken.sip").c_str(), NULL));
  EXPECT_EQ(Save(Base(L"Taken.sip"), true, &detail), PROJECT_SAVE_FILE_FAILED);
  EXPECT_LT(detail, 0);
}

TEST_F(ProjectFileTest, AProjectFolderThatCannotBeMadeStopsTheSave) {
  editor_state.working = record_;
  // A file in place of "InstallList" keeps the project folder from being made.
  ASSERT_TRUE(RemoveDirectoryW(editor_state.project_root));
  WriteBytes(editor_state.project_root, "not a folder");
  int detail = 0;
  EXPECT_EQ(Save(Base(L"Sample.sip"), true, &detail), PROJECT_SAVE_NO_FOLDER);
  EXPECT_LT(detail, 0);
  EXPECT_FALSE(Exists(Master()));
}

class LastFolderTest : public EditorFolderTest {};

TEST_F(LastFolderTest, StoredFoldersAreReadBackAndAnEmptyOneLeavesItsFile) {
  WriteBytes(Base(L"OCX_PathS"), Padded("C:\\Old", 280));
  TextCopy(editor_state.remembered.project, VT_PATH_CAP, L"C:\\プロジェクト");
  TextCopy(editor_state.remembered.installer, VT_PATH_CAP, L"C:\\Out");
  store_last_folders();
  EXPECT_BYTES(ReadBytes(Base(L"PJT_PathS")), Padded(Cp932(L"C:\\プロジェクト"), 280));
  EXPECT_BYTES(ReadBytes(Base(L"EXE_PathS")), Padded("C:\\Out", 280));
  EXPECT_BYTES(ReadBytes(Base(L"OCX_PathS")), Padded("C:\\Old", 280)) << "left alone";

  EditorFolders empty = {};
  editor_state.remembered = empty;
  load_last_folders();
  EXPECT_EQ(std::wstring(editor_state.remembered.project), L"C:\\プロジェクト");
  EXPECT_EQ(std::wstring(editor_state.remembered.module), L"C:\\Old");
  EXPECT_EQ(std::wstring(editor_state.remembered.installer), L"C:\\Out");
}

TEST_F(LastFolderTest, MissingShortAndUnterminatedFilesLeaveTheFolderEmpty) {
  WriteBytes(Base(L"PJT_PathS"), "C:\\Short");          // not 280 bytes
  WriteBytes(Base(L"OCX_PathS"), std::string(280, 'a'));  // no room for an end
  TextCopy(editor_state.remembered.project, VT_PATH_CAP, L"stale");
  TextCopy(editor_state.remembered.module, VT_PATH_CAP, L"stale");
  TextCopy(editor_state.remembered.installer, VT_PATH_CAP, L"stale");
  load_last_folders();
  EXPECT_EQ(std::wstring(editor_state.remembered.project), L"");
  EXPECT_EQ(std::wstring(editor_state.remembered.module), L"");
  EXPECT_EQ(std::wstring(editor_state.remembered.installer), L"");
}

TEST_F(LastFolderTest, AFolderCodePage932CannotHoldIsNotStored) {
  WriteBytes(Base(L"PJT_PathS"), Padded("C:\\Kept", 280));
  TextCopy(editor_state.remembered.project, VT_PATH_CAP, L"C:\\\u00e4");
  store_last_folders();
  EXPECT_BYTES(ReadBytes(Base(L"PJT_PathS")), Padded("C:\\Kept", 280));
}

TEST(NewProject, ResetDrawsAGuidAndSetsTheOsFlags) {
  memset(&editor_state.working, 0x33, sizeof editor_state.working);
  reset_project_record();
  const ProjectRecord& r = editor_state.working;
  EXPECT_TRUE(project_guid_valid(r.project_guid, sizeof r.project_guid));
  EXPECT_EQ(Field(r.os_flags), std::string("0000111111\0\0\0\0\0\0", 16));
  EXPECT_EQ(r.project_name[0], 0);
  EXPECT_EQ(r.reserved_1880[0], 0);

  char again[48];
  memset(again, 'x', sizeof again);
  ASSERT_TRUE(new_project_guid(again));
  EXPECT_TRUE(project_guid_valid(again, sizeof again));
  EXPECT_NE(std::string(again), std::string(r.project_guid)) << "each draw is new";
  for (size_t i = 1; i < 37; ++i) {
    char c = again[i];
    EXPECT_FALSE(c >= 'a' && c <= 'f') << "upper-case hexadecimal";
  }
}

TEST(EditorText, TextEntersFieldsWholeOrReportsWhyNot) {
  char field[8];
  EXPECT_TRUE(text_to_field(field, sizeof field, L"ソフト"));
  EXPECT_EQ(Field(field), Padded("\x83\x5C\x83t\x83g", 8));
  EXPECT_FALSE(text_to_field(field, sizeof field, L"ソフトウェア"));
  EXPECT_EQ(Field(field), Padded("\x83\x5C\x83t\x83g", 8)) << "shortened on a whole character";
  EXPECT_FALSE(text_to_field(field, sizeof field, L"\u00e4"));
  wchar_t text[4];
  EXPECT_TRUE(field_to_text(text, 4, "\x83\x5C\x83t\x83g", 8));
  EXPECT_EQ(std::wstring(text), L"ソフト");
  EXPECT_FALSE(field_to_text(text, 3, "\x83\x5C\x83t\x83g", 8));
  EXPECT_EQ(text[0], 0);
}

}  // namespace
