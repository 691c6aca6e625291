// The Installer's decisions: command line, name checks, path and command
// composition, the outcome rows of install and uninstall, the uninstall
// entry's values.
#include <gtest/gtest.h>

#include <string>

#include "common/text.h"
#include "installer/rules.h"

namespace {

const wchar_t kGuid[] = L"{6F1C2A3B-0D4E-4F50-8A6B-7C8D9E0F1A2B}";

TEST(InstallerCommandLine, ModeAndGuid) {
  struct Row {
    const wchar_t* line;
    bool uninstall;
    const wchar_t* guid;
  } rows[] = {
      {L"-UnInstall/{6F1C2A3B-0D4E-4F50-8A6B-7C8D9E0F1A2B}", true, kGuid},
      {L"-UnInstall", true, L""},
      {L"-UnInstall/", true, L""},
      {L"-UnInstall/x", true, L"x"},
      {L"-UnInstall {abc}", true, L"{abc}"},  // the eleventh is not examined
      {L"-uninstall/{abc}", false, L""},
      {L"-UNINSTALL/{abc}", false, L""},
      {L"-UnInstal", false, L""},
      {L"", false, L""},
      {L" -UnInstall/{abc}", false, L""},
      {L"/S", false, L""},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(command_line_is_uninstall(row.line), row.uninstall) << row.line;
    if (!row.uninstall) continue;
    wchar_t guid[256];
    command_line_guid(row.line, guid, 256);
    EXPECT_EQ(std::wstring(guid), std::wstring(row.guid));
  }
  EXPECT_FALSE(command_line_is_uninstall(nullptr));
}

TEST(InstallerCommandLine, GuidPartIsBoundedTo255Characters) {
  std::wstring line = L"-UnInstall/" + std::wstring(300, L'A');
  wchar_t guid[256];
  command_line_guid(line.c_str(), guid, 256);
  EXPECT_EQ(std::wstring(guid), std::wstring(255, L'A'));
  // A smaller buffer is never overrun.
  wchar_t small[8];
  command_line_guid(line.c_str(), small, 8);
  EXPECT_EQ(std::wstring(small), std::wstring(7, L'A'));
}

TEST(InstallerGuid, OnlyTheBracedFormNamesAnUninstallEntry) {
  struct Row {
    const wchar_t* text;
    bool valid;
  } rows[] = {
      {kGuid, true},
      {L"{6f1c2a3b-0d4e-4f50-8a6b-7c8d9e0f1a2b}", true},
      {L"{00000000-0000-0000-0000-000000000000}", true},
      {L"", false},
      {L"6F1C2A3B-0D4E-4F50-8A6B-7C8D9E0F1A2B", false},   // no braces
      {L"{6F1C2A3B-0D4E-4F50-8A6B-7C8D9E0F1A2B", false},  // 37 characters
      {L"{6F1C2A3B-0D4E-4F50-8A6B-7C8D9E0F1A2B} ", false},
      {L"{6F1C2A3B-0D4E-4F50-8A6B-7C8D9E0F1A2BC}", false},
      {L"{6F1C2A3B0-D4E-4F50-8A6B-7C8D9E0F1A2B}", false},  // dash moved
      {L"{6F1C2A3G-0D4E-4F50-8A6B-7C8D9E0F1A2B}", false},  // not hexadecimal
      {L"{..\\..\\..\\..\\..\\..\\..\\..\\..\\..\\..\\..}", false},
      {L"{6F1C2A3B-0D4E-4F50-8A6B-7C8D9E0F1A2B}\\x", false},
      {L"(6F1C2A3B-0D4E-4F50-8A6B-7C8D9E0F1A2B)", false},
  };
  for (const Row& row : rows) EXPECT_EQ(guid_is_braced(row.text), row.valid) << row.text;
  EXPECT_FALSE(guid_is_braced(nullptr));
}

TEST(InstallerUninstall, RemovesOnlyThisProductsPlainlyNamedModule) {
  const wchar_t* own = L"{6F1C2A3B-0D4E-4F50-8A6B-7C8D9E0F1A2B}";
  struct Row {
    const wchar_t* command_guid;
    const wchar_t* file_name;
    int status;
  } rows[] = {
      {L"{6F1C2A3B-0D4E-4F50-8A6B-7C8D9E0F1A2B}", L"grid.ocx", RUN_OK},
      {L"{6f1c2a3b-0d4e-4f50-8a6b-7c8d9e0f1a2b}", L"grid.ocx", RUN_OK},  // any case
      {L"{6F1C2A3B-0D4E-4F50-8A6B-7C8D9E0F1A2C}", L"grid.ocx", RUN_BAD_UNINSTALL_GUID},
      {L"6F1C2A3B-0D4E-4F50-8A6B-7C8D9E0F1A2B", L"grid.ocx", RUN_BAD_UNINSTALL_GUID},
      {L"{6F1C2A3B-0D4E-4F50-8A6B-7C8D9E0F1A2B}", L"..\\x.dll", RUN_INTEGRITY},
      {L"{6F1C2A3B-0D4E-4F50-8A6B-7C8D9E0F1A2B}", L"", RUN_INTEGRITY},
  };
  for (const Row& row : rows)
    EXPECT_EQ(uninstall_check(row.command_guid, own, row.file_name), row.status)
        << row.command_guid << " " << row.file_name;
  EXPECT_EQ(uninstall_check(own, L"{6F1C2A3B-0D4E-4F50-8A6B-7C8D9E0F1A2B}x", L"grid.ocx"),
            RUN_BAD_UNINSTALL_GUID)
      << "a document whose GUID is longer names another product";
  EXPECT_EQ(uninstall_check(own, L"", L"grid.ocx"), RUN_BAD_UNINSTALL_GUID);
}

TEST(InstallerFileName, OnlyAPlainNameStaysInTheSystemFolder) {
  struct Row {
    const wchar_t* name;
    bool plain;
  } rows[] = {
      {L"samplegrid.ocx", true},
      {L"サンプル.ocx", true},
      {L"a", true},
      {L"..ocx", true},
      {L"name with spaces.dll", true},
      {L"", false},
      {L".", false},
      {L"..", false},
      {L"..\\evil.dll", false},
      {L"sub\\x.ocx", false},
      {L"sub/x.ocx", false},
      {L"C:x.ocx", false},
      {L"x.ocx:stream", false},
      {L"x*.ocx", false},
      {L"x?.ocx", false},
      {L"x\t.ocx", false},
      {L"x|y", false},
  };
  for (const Row& row : rows) EXPECT_EQ(file_name_is_plain(row.name), row.plain) << row.name;
  EXPECT_FALSE(file_name_is_plain(nullptr));
}

TEST(InstallerPaths, ComposedAsTheOperationsUseThem) {
  wchar_t out[VT_PATH_CAP];
  ASSERT_GT(compose_target_path(out, VT_PATH_CAP, L"C:\\windows\\system32", L"grid.ocx"), 0);
  EXPECT_EQ(std::wstring(out), L"C:\\windows\\system32\\grid.ocx");

  ASSERT_GT(compose_uninstall_folder(out, VT_PATH_CAP, L"C:\\Program Files", kGuid), 0);
  std::wstring folder = out;
  EXPECT_EQ(folder, std::wstring(L"C:\\Program Files\\HV-Vanto\\") + kGuid);
  // Without a Program Files folder the folder is rooted on the current drive.
  ASSERT_GT(compose_uninstall_folder(out, VT_PATH_CAP, L"", kGuid), 0);
  EXPECT_EQ(std::wstring(out), std::wstring(L"\\HV-Vanto\\") + kGuid);

  ASSERT_GT(compose_uninstaller_path(out, VT_PATH_CAP, folder.c_str()), 0);
  EXPECT_EQ(std::wstring(out), folder + L"\\hvuninst.exe");

  ASSERT_GT(compose_uninstall_key(out, VT_PATH_CAP, kGuid), 0);
  EXPECT_EQ(std::wstring(out),
            std::wstring(L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\") + kGuid);

  wchar_t command[2 * VT_PATH_CAP];
  ASSERT_GT(compose_uninstall_command(command, 2 * VT_PATH_CAP, folder.c_str(), kGuid), 0);
  EXPECT_EQ(std::wstring(command),
            L"\"" + folder + L"\\hvuninst.exe\" -UnInstall/" + kGuid);

  ASSERT_GT(compose_regsvr32_path(out, VT_PATH_CAP, L"C:\\windows\\system32"), 0);
  EXPECT_EQ(std::wstring(out), L"C:\\windows\\system32\\regsvr32.exe");
  ASSERT_GT(compose_registration_command(command, 2 * VT_PATH_CAP, out,
                                         L"C:\\windows\\system32\\a b.ocx", true),
            0);
  EXPECT_EQ(std::wstring(command),
            L"\"C:\\windows\\system32\\regsvr32.exe\" /s \"C:\\windows\\system32\\a b.ocx\"");
  ASSERT_GT(compose_registration_command(command, 2 * VT_PATH_CAP, out, L"m.ocx", false), 0);
  EXPECT_EQ(std::wstring(command), L"\"C:\\windows\\system32\\regsvr32.exe\" /u /s \"m.ocx\"");
}

// A path the file layer would refuse is a failure, never a shorter path.
TEST(InstallerPaths, LongestPathIs259Characters) {
  wchar_t out[VT_PATH_CAP];
  std::wstring folder = L"C:\\" + std::wstring(246, L'f');  // 249 characters
  EXPECT_EQ(compose_target_path(out, VT_PATH_CAP, folder.c_str(), L"123456789"), 259);
  EXPECT_EQ(compose_target_path(out, VT_PATH_CAP, folder.c_str(), L"1234567890"), -1);
  EXPECT_EQ(out[0], 0);
  std::wstring long_name(300, L'n');
  EXPECT_EQ(compose_target_path(out, VT_PATH_CAP, L"C:\\w", long_name.c_str()), -1);

  std::wstring root = L"C:\\" + std::wstring(205, L'p');  // 208 + 10 + 38 = 256
  EXPECT_EQ(compose_uninstall_folder(out, VT_PATH_CAP, root.c_str(), kGuid), 256);
  std::wstring folder256 = out;
  // The uninstaller needs 13 more characters: 269 is too long.
  EXPECT_EQ(compose_uninstaller_path(out, VT_PATH_CAP, folder256.c_str()), -1);
}

TEST(InstallerOutcome, InstallRows) {
  EXPECT_EQ(copy_outcome(true, false), COPY_DONE);
  EXPECT_EQ(copy_outcome(true, true), COPY_DONE);
  EXPECT_EQ(copy_outcome(false, false), COPY_FAILED);
  EXPECT_EQ(copy_outcome(false, true), COPY_AT_RESTART);
}

TEST(InstallerOutcome, UninstallRows) {
  const unsigned kNotFound = 2, kSharing = 32, kDenied = 5, kPathNotFound = 3;
  EXPECT_EQ(delete_outcome(true, 0, false), DELETE_DONE);
  EXPECT_EQ(delete_outcome(false, kNotFound, false), DELETE_MISSING);
  EXPECT_EQ(delete_outcome(false, kNotFound, true), DELETE_MISSING);
  EXPECT_EQ(delete_outcome(false, kSharing, false), DELETE_FAILED);
  EXPECT_EQ(delete_outcome(false, kDenied, false), DELETE_FAILED);
  EXPECT_EQ(delete_outcome(false, kPathNotFound, false), DELETE_FAILED);
  EXPECT_EQ(delete_outcome(false, kSharing, true), DELETE_AT_RESTART);
}

TEST(InstallerOutcome, WhatARunReports) {
  struct Row {
    int status;
    bool warn, restart_needed, prompt, allowed;
    SilentReport report;
    bool failed;
  } rows[] = {
      {RUN_OK, true, false, true, true, REPORT_NOTHING, false},
      {RUN_MODULE_MISSING, true, false, true, true, REPORT_NOTHING, false},
      {RUN_COPY_FAILED, true, false, false, false, REPORT_FAILURE, true},
      {RUN_DELETE_FAILED, true, true, true, true, REPORT_FAILURE, true},
      {RUN_COPY_FAILED, false, false, true, true, REPORT_NOTHING, true},
      {RUN_OK, false, true, true, true, REPORT_RESTART_ASK, false},
      {RUN_OK, false, true, true, false, REPORT_RESTART_TELL, false},
      {RUN_OK, true, true, false, true, REPORT_NOTHING, false},
      {RUN_MODULE_MISSING, false, true, true, false, REPORT_RESTART_TELL, false},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(silent_report(row.status, row.warn, row.restart_needed, row.prompt, row.allowed),
              row.report)
        << row.status;
    EXPECT_EQ(operation_failed(row.status), row.failed) << row.status;
  }
}

TEST(InstallerOutcome, StartupPopupOnlyForStartupErrorsWithoutTheSilentMarker) {
  for (int status : {11, 12, 13, 14}) {
    EXPECT_TRUE(startup_popup_wanted(status, false)) << status;
    EXPECT_FALSE(startup_popup_wanted(status, true)) << status;
  }
  for (int status : {0, 21, 22, 23, 24, 31, 32, 41, 999}) {
    EXPECT_FALSE(startup_popup_wanted(status, false)) << status;
  }
}

TEST(InstallerUninstallEntry, ValuesInOrderWithoutEmptyTexts) {
  UninstallTexts all = {L"Grid", L"1.0.1", L"note", L"Halvenco", L"C:\\u",
                        L"h",    L"a",     L"u",    L"user",     L"\"C:\\u\\hvuninst.exe\""};
  RegistryRow rows[UNINSTALL_ROWS_MAX];
  ASSERT_EQ(uninstall_entry_rows(all, rows), 10);
  const wchar_t* names[] = {L"DisplayName", L"DisplayVersion", L"Comments",
                            L"Publisher",   L"UnInstallLocation", L"HelpLink",
                            L"URLInfoAbout", L"URLUpdateInfo", L"InstallUserInfo",
                            L"UninstallString"};
  for (int i = 0; i < 10; ++i) EXPECT_EQ(std::wstring(rows[i].name), names[i]);
  EXPECT_EQ(std::wstring(rows[3].text), L"Halvenco");

  UninstallTexts some = {L"Grid", L"1.0.1", L"", L"Halvenco", L"C:\\u",
                         L"",     nullptr,  L"", L"user",     L"cmd"};
  ASSERT_EQ(uninstall_entry_rows(some, rows), 6);
  const wchar_t* kept[] = {L"DisplayName", L"DisplayVersion", L"Publisher",
                           L"UnInstallLocation", L"InstallUserInfo", L"UninstallString"};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(std::wstring(rows[i].name), kept[i]);
}

TEST(InstallerUninstallEntry, FactsForTheProgramListAndDeploymentTools) {
  UninstallTexts texts = {L"Grid", L"1.0.1", L"", L"", L"C:\\u", L"", L"", L"", L"user", L"cmd"};
  UninstallFacts facts = {L"C:\\u\\hvuninst.exe", L"20261208", L"cmd -Silent/", 14};
  RegistryRow rows[UNINSTALL_ROWS_MAX];
  ASSERT_EQ(uninstall_entry_rows(texts, rows, &facts), 11);
  const struct {
    const wchar_t* name;
    const wchar_t* text;
    unsigned long number;
  } expected[] = {{L"DisplayIcon", L"C:\\u\\hvuninst.exe", 0},
                  {L"InstallDate", L"20261208", 0},
                  {L"QuietUninstallString", L"cmd -Silent/", 0},
                  {L"EstimatedSize", nullptr, 14},
                  {L"NoModify", nullptr, 1},
                  {L"NoRepair", nullptr, 1}};
  for (int i = 0; i < 6; ++i) {
    const RegistryRow& row = rows[5 + i];
    EXPECT_EQ(std::wstring(row.name), expected[i].name);
    if (expected[i].text) {
      ASSERT_NE(row.text, nullptr) << i;
      EXPECT_EQ(std::wstring(row.text), expected[i].text);
    } else {
      EXPECT_EQ(row.text, nullptr) << i;
      EXPECT_EQ(row.number, expected[i].number) << i;
    }
  }
  facts.estimated_size_kb = 0;  // a size not known is no value
  EXPECT_EQ(uninstall_entry_rows(texts, rows, &facts), 10);
  wchar_t quiet[64];
  ASSERT_GT(compose_quiet_uninstall_command(quiet, 64, L"\"C:\\u\\hvuninst.exe\" -UnInstall/x"), 0);
  EXPECT_EQ(std::wstring(quiet), L"\"C:\\u\\hvuninst.exe\" -UnInstall/x -Silent/");
}

const unsigned long kMax = SHARED_COUNT_MAX;
const SharedCount kNone = {SHARED_NONE, 0}, kUnknown = {SHARED_UNKNOWN_FORM, 0};
SharedCount Counted(unsigned long n) { return {SHARED_COUNTED, n}; }

// Only a 4-byte REG_DWORD is a count; every other form is users that
// cannot be counted, and 0 is no count.
TEST(InstallerSharedCount, OnlyAFourByteDwordIsACount) {
  struct Row {
    bool found;
    unsigned long type, size, value;
    SharedKind kind;
    unsigned long count;
  } rows[] = {
      {false, 0, 0, 0, SHARED_NONE, 0},        {true, 4, 4, 3, SHARED_COUNTED, 3},
      {true, 4, 4, 0, SHARED_NONE, 0},         {true, 4, 4, kMax, SHARED_COUNTED, kMax},
      {true, 1, 4, 3, SHARED_UNKNOWN_FORM, 0},   // text
      {true, 3, 4, 3, SHARED_UNKNOWN_FORM, 0},   // binary
      {true, 11, 8, 3, SHARED_UNKNOWN_FORM, 0},  // a 64-bit value
      {true, 4, 2, 3, SHARED_UNKNOWN_FORM, 0},   // a DWORD of two bytes
      {true, 0, 17, 0, SHARED_UNKNOWN_FORM, 0},  // there, but not readable
  };
  for (const Row& r : rows) {
    SharedCount c = shared_count_classify(r.found, r.type, r.size, r.value);
    EXPECT_EQ(c.kind, r.kind) << r.type << " " << r.size;
    EXPECT_EQ(c.count, r.count) << r.type << " " << r.size;
  }
}

TEST(InstallerSharedCount, InstallAndUninstallSteps) {
  struct Row {
    const char* what;
    bool install;
    SharedCount now;
    bool existed, reinstall;
    bool write;
    unsigned long count;
    bool keep;
  } rows[] = {
      {"first owner of a new file", true, kNone, false, false, true, 1, true},
      {"file there without a count: its owner and us", true, kNone, true, false, true, 2, true},
      {"one more user", true, Counted(5), true, false, true, 6, true},
      {"our entry still there: counted already", true, Counted(2), true, true, false, 2, true},
      {"installed before counts were kept", true, kNone, true, true, true, 1, true},
      {"at its maximum it stays", true, Counted(kMax), true, false, false, kMax, true},
      {"a form not ours is left alone", true, kUnknown, true, false, false, 0, true},
      {"no count: the module goes", false, kNone, false, false, false, 0, false},
      {"the last user: value and module go", false, Counted(1), false, false, true, 0, false},
      {"others remain", false, Counted(7), false, false, true, 6, true},
      {"a maximum tells nothing: kept", false, Counted(kMax), false, false, false, kMax, true},
      {"unknown form: the module stays", false, kUnknown, false, false, false, 0, true},
  };
  for (const Row& r : rows) {
    SharedStep step = r.install ? shared_count_after_install(r.now, r.existed, r.reinstall)
                                : shared_count_after_uninstall(r.now);
    EXPECT_EQ(step.write, r.write) << r.what;
    if (r.write) EXPECT_EQ(step.count, r.count) << r.what;
    EXPECT_EQ(step.keep_module, r.keep) << r.what;
  }
}

ModuleVersion Version(unsigned a, unsigned b, unsigned c, unsigned d) {
  return {true, a << 16 | b, c << 16 | d};
}

TEST(InstallerModule, OnlyAKnownHigherVersionInPlaceStays) {
  const ModuleVersion unknown = {false, 0, 0};
  struct Row {
    const char* what;
    bool in_place, identical;
    ModuleVersion have, bring;
    ModulePlacement placement;
  } rows[] = {
      {"nothing there", false, false, unknown, Version(3, 0, 0, 0), PLACE_COPY},
      {"the same bytes", true, true, Version(3, 0, 0, 0), Version(3, 0, 0, 0),
       PLACE_KEEP_IDENTICAL},
      {"newer in place", true, false, Version(4, 0, 0, 0), Version(3, 9, 9, 9), PLACE_KEEP_NEWER},
      {"newer by the last part", true, false, Version(3, 0, 0, 2), Version(3, 0, 0, 1),
       PLACE_KEEP_NEWER},
      {"older in place", true, false, Version(3, 0, 0, 0), Version(4, 0, 0, 0), PLACE_COPY},
      {"same version, other bytes", true, false, Version(3, 0, 0, 0), Version(3, 0, 0, 0),
       PLACE_COPY},
      {"none in place", true, false, unknown, Version(1, 0, 0, 0), PLACE_COPY},
      {"none in the package", true, false, Version(9, 0, 0, 0), unknown, PLACE_COPY},
  };
  for (const Row& r : rows)
    EXPECT_EQ(module_placement(r.in_place, r.identical, r.have, r.bring), r.placement) << r.what;
  EXPECT_EQ(module_version_compare(Version(2, 1, 0, 0), Version(2, 0, 65535, 65535)), 1);
  // Registered again unless this product's earlier run registered the
  // same bytes.
  EXPECT_FALSE(registration_needed(PLACE_KEEP_IDENTICAL, true));
  EXPECT_TRUE(registration_needed(PLACE_KEEP_IDENTICAL, false) &&
              registration_needed(PLACE_KEEP_NEWER, true));
  wchar_t text[32];
  module_version_text(text, 32, Version(4, 3, 65535, 1));
  EXPECT_EQ(std::wstring(text), L"4.3.65535.1");
  module_version_text(text, 32, unknown);
  EXPECT_EQ(std::wstring(text), L"不明");
}

TEST(InstallerFolders, OnlyAFolderNamedInFull) {
  for (const wchar_t* folder : {L"C:\\Windows\\system32", L"d:\\", L"\\\\srv\\share",
                                L"\\\\srv\\share\\Program Files"})
    EXPECT_TRUE(folder_is_absolute(folder)) << folder;
  for (const wchar_t* folder : {L"", L"\\", L"\\Program Files", L"C:", L"C:Windows", L"1:\\x",
                                L"\\\\", L"\\\\srv", L"\\\\srv\\", L"\\\\\\share", L"Program Files"})
    EXPECT_FALSE(folder_is_absolute(folder)) << folder;
  EXPECT_FALSE(folder_is_absolute(nullptr));
}

TEST(InstallerLog, NoTextMakesALineOfItsOwn) {
  struct Row {
    const wchar_t* text;
    const wchar_t* logged;
  } rows[] = {
      {L"開始: C:\\a.exe -Silent/", L"開始: C:\\a.exe -Silent/"},
      {L"-UnInstall/{x}\r\n2026-01-01 00:00:00 終了: 状態 0", L"-UnInstall/{x}\\x0D\\x0A2026-01-01 00:00:00 終了: 状態 0"},
      {L"a\tb\x7F\x85" L"c", L"a\\x09b\\x7F\\x85c"},
      {L"x\x2028y\x2029", L"x\\u2028y\\u2029"},
  };
  for (const Row& r : rows) {
    wchar_t out[128];
    EXPECT_EQ(log_text_escape(r.text, out, 128), std::wstring(r.logged).size()) << r.logged;
    EXPECT_EQ(std::wstring(out), r.logged);
  }
  // An escape that does not fit is left out whole.
  wchar_t small[6];
  EXPECT_EQ(log_text_escape(L"ab\ncd", small, 6), 2u);
  EXPECT_EQ(std::wstring(small), L"ab");
}

TEST(InstallerCommandLine, SwitchesAnywhereLeaveTheRestAsItWas) {
  struct Row {
    const wchar_t* line;
    bool silent;
    const wchar_t* log;
    const wchar_t* rest;
  } rows[] = {
      {L"", false, L"", L""},
      {L"-UnInstall/{abc}", false, L"", L"-UnInstall/{abc}"},
      {L"-Silent/", true, L"", L""},
      {L"-UnInstall/{abc} -Silent/", true, L"", L"-UnInstall/{abc}"},
      {L"-Silent/ -UnInstall/{abc}", true, L"", L"-UnInstall/{abc}"},
      {L"  -Log/C:\\l.txt   -UnInstall/{abc}  -Silent/ ", true, L"C:\\l.txt", L"-UnInstall/{abc}"},
      {L"-Log/\"C:\\my logs\\run.log\" -Silent/", true, L"C:\\my logs\\run.log", L""},
      {L"-UnInstall/{abc} x -Silent/ y", true, L"", L"-UnInstall/{abc} x y"},
      {L"-UnInstall/{abc}  junk", false, L"", L"-UnInstall/{abc}  junk"},
      {L"-silent/", false, L"", L"-silent/"},  // exact case, as -UnInstall
      {L"-Silent/x", false, L"", L"-Silent/x"},
      {L"-Log/", false, L"", L"-Log/"},
      {L"-Log/\"\"", false, L"", L""},
  };
  for (const Row& r : rows) {
    CommandSwitches s;
    command_line_switches(r.line, &s);
    EXPECT_EQ(s.silent, r.silent) << r.line;
    EXPECT_EQ(std::wstring(s.log_path), r.log) << r.line;
    EXPECT_EQ(std::wstring(s.rest), r.rest) << r.line;
  }
  // A log path longer than a path may be is no log; the run goes on.
  CommandSwitches s;
  std::wstring line = L"-Log/C:\\" + std::wstring(300, L'a') + L" -Silent/";
  command_line_switches(line.c_str(), &s);
  EXPECT_TRUE(s.silent);
  EXPECT_EQ(std::wstring(s.log_path), L"");
}

TEST(InstallerStatus, EveryStatusHasAMeaning) {
  for (int status : {0, 11, 12, 13, 14, 21, 22, 23, 24, 25, 31, 32, 33, 34, 41, 999, 3010})
    EXPECT_NE(std::wstring(run_status_meaning(status)), L"不明") << status;
  EXPECT_EQ(std::wstring(run_status_meaning(35)), L"不明");
}

}  // namespace
