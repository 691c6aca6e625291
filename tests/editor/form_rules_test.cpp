// The project form's rules: typed text into fields, the option groups as a
// user clicks through them, the checks before a build, and the start-up's
// small rules.
#include "editor/form_rules.h"

#include <gtest/gtest.h>

#include <string.h>

#include <initializer_list>
#include <string>

#include "editor/editor_rules.h"

namespace {

std::string Normalised(const std::string& typed) {
  std::string out(typed.size() + 1, '\xEE');
  size_t n = form_text_normalise(typed.data(), typed.size(), &out[0]);
  EXPECT_EQ(out[n], '\0');
  return out.substr(0, n);
}

TEST(FormText, NormalisesEndsAndBackslashes) {
  const struct {
    const char* typed;
    const char* stored;
  } rows[] = {
      {"  \\name\\\\sub\\\\\\dir  ", "name\\sub\\dir"},  // ends, leading and runs
      {"\t x \r\n", "x"},                                 // control bytes count as blanks
      {"a\\", "a"},                                       // a final single backslash
      {"\\\\\\", ""},
      {"\\ a", " a"},      // the leading backslash goes after the ends are trimmed
      {"\x83\x5C", "\x83\x5C"},                      // "ソ" ends in 0x5C and stays whole
      {"abc\x83\x5C", "abc\x83\x5C"},
      {"\x83\x5C\\", "\x83\x5C"},                    // the real backslash after it goes
      {"\x95\x5C\\\\\x8E\xA6", "\x95\x5C\\\x8E\xA6"},  // "表" then a run of two
      {"\x83", "\x83"},                              // a lone lead byte is one byte
  };
  for (const auto& row : rows) EXPECT_EQ(Normalised(row.typed), row.stored) << row.typed;
}

TEST(FormText, CommitStoresWholeCharactersAndEmptiesOnEmptyText) {
  ProjectRecord record;
  project_record_clear(&record);
  const FormBinding& name = *form_binding_find(1101);
  ASSERT_EQ(name.width, 128);

  // 78 double-byte characters are 156 bytes: cut to 63 whole characters.
  std::string wide;
  for (int i = 0; i < 78; ++i) wide += "\x83\x5C";
  EXPECT_TRUE(form_text_commit(&record, name, wide.data(), wide.size()));
  EXPECT_EQ(std::string(record.project_name), wide.substr(0, 126));
  EXPECT_EQ(record.project_name[126], 0);

  EXPECT_FALSE(form_text_commit(&record, name, wide.data(), wide.size())) << "no change";
  EXPECT_TRUE(form_text_commit(&record, name, "", 0)) << "emptying clears the field";
  EXPECT_EQ(std::string(record.project_name, 128), std::string(128, '\0'));
  EXPECT_FALSE(form_text_commit(&record, name, "  ", 2));

  const FormBinding& major = *form_binding_find(1107);
  EXPECT_TRUE(form_text_commit(&record, major, "123456789", 9));
  EXPECT_EQ(std::string(record.version_major), "1234567") << "8-byte field keeps its NUL";
}

TEST(FormBindings, FieldsLieInsideTheRecordAndIdsAreUnique) {
  for (size_t i = 0; i < form_binding_count; ++i) {
    const FormBinding& b = form_bindings[i];
    EXPECT_LE(b.offset + b.width, sizeof(ProjectRecord)) << b.id;
    EXPECT_EQ(form_binding_find(b.id), &b) << b.id;
    if (b.kind == BIND_RADIO) EXPECT_EQ(form_binding_find(b.second), &b);
    for (size_t k = i + 1; k < form_binding_count; ++k)
      EXPECT_TRUE(b.offset + b.width <= form_bindings[k].offset ||
                  form_bindings[k].offset + form_bindings[k].width <= b.offset)
          << b.id << " overlaps " << form_bindings[k].id;
  }
  EXPECT_EQ(form_binding_find(561), nullptr);
}

// A form as a user clicks it: a check box toggles, a radio button checks
// itself and unchecks its partner, then the form's rule runs.
class Form {
 public:
  Form() {
    project_record_clear(&record);
    form_view_show(&view, record);
  }
  void Click(int id) {
    EXPECT_TRUE(form_view_enabled(view, id)) << "a disabled control cannot be clicked: " << id;
    const FormBinding* b = form_binding_find(id);
    if (b->kind == BIND_RADIO) {
      form_view_check(&view, b->id, id == b->id);
      form_view_check(&view, b->second, id != b->id);
    } else {
      form_view_check(&view, id, !form_view_checked(view, id));
    }
    EXPECT_TRUE(form_option_command(id, &view, &record));
  }
  void Select(int list, int index) {
    (list == 1141 ? view.install_timeout : view.uninstall_timeout) = index;
    EXPECT_TRUE(form_option_command(list, &view, &record));
  }
  void Show() { form_view_show(&view, record); }
  ::testing::AssertionResult Enabled(std::initializer_list<int> on, std::initializer_list<int> off) {
    for (int id : on)
      if (!form_view_enabled(view, id)) return ::testing::AssertionFailure() << id << " disabled";
    for (int id : off)
      if (form_view_enabled(view, id)) return ::testing::AssertionFailure() << id << " enabled";
    return ::testing::AssertionSuccess();
  }

  ProjectRecord record;
  FormView view;
};

const std::initializer_list<int> kInstallerDependents = {587, 1140, 1141, 1145, 1146};
const std::initializer_list<int> kUninstallerChoices = {1148, 1149, 596, 1152, 1153};
const std::initializer_list<int> kUninstallerDependents = {595, 1150, 1151, 1154, 1155};

TEST(FormOptions, NewProjectHasTheDefaultState) {
  Form f;
  for (int id : {1121, 1122, 1123, 1124, 1125, 1126, 1138, 1143, 1148, 1152})
    EXPECT_TRUE(form_view_checked(f.view, id)) << id;
  for (int id : {1134, 1139, 1140, 1144, 1145, 1146, 1147, 1149, 1150, 1153, 1154, 1155, 1157})
    EXPECT_FALSE(form_view_checked(f.view, id)) << id;
  EXPECT_TRUE(f.Enabled({1147, 1148, 1149, 596, 1152, 1153, 1121, 1134, 1138, 1139, 1143, 1144,
                         1157},
                        {587, 595, 1140, 1141, 1145, 1146, 1150, 1151, 1154, 1155}));
  EXPECT_EQ(f.view.install_timeout, 0);
}

TEST(FormOptions, RebootOptionsNeedSilentTypeAndRestartUpdate) {
  Form f;
  f.Click(1144);  // update at restart, normal type
  EXPECT_EQ(f.record.copy_error_mode, 1);
  EXPECT_TRUE(f.Enabled({}, {1145, 1146}));
  f.Click(1139);  // silent type
  EXPECT_EQ(f.record.install_type, 1);
  EXPECT_TRUE(f.Enabled({587, 1140, 1141, 1145, 1146}, {}));
  f.Click(1145);
  f.Click(1146);
  EXPECT_EQ(f.record.install_reboot_message, 1);
  EXPECT_EQ(f.record.install_reboot_run, 1);
  f.Click(1143);
  EXPECT_TRUE(f.Enabled({}, {1145, 1146}));
  f.Click(1138);
  EXPECT_TRUE(f.Enabled({}, kInstallerDependents));
  EXPECT_EQ(f.record.install_type, 0);
}

TEST(FormOptions, SilentTypeEnablesTheTimeoutListUntilTheWarningBoxIsClicked) {
  Form f;
  f.Click(1139);
  EXPECT_FALSE(form_view_checked(f.view, 1140));
  EXPECT_TRUE(f.Enabled({1141}, {}));
  f.Select(1141, 13);
  EXPECT_EQ(f.record.install_warning_timeout, 13);
  f.Click(1140);
  EXPECT_TRUE(f.Enabled({1141}, {}));
  f.Click(1140);
  EXPECT_TRUE(f.Enabled({}, {1141}));
  EXPECT_EQ(f.record.install_warning, 0);
}

TEST(FormOptions, NoUninstallEntryDisablesTheUninstallerUntilANewOrOpenedProject) {
  Form f;
  f.Click(1149);  // silent uninstaller
  f.Click(1153);  // delete at restart
  EXPECT_TRUE(f.Enabled(kUninstallerDependents, {}));
  f.Click(1147);
  EXPECT_EQ(f.record.no_uninstall_entry, 1);
  EXPECT_TRUE(f.Enabled({}, kUninstallerChoices));
  EXPECT_TRUE(f.Enabled({}, kUninstallerDependents));
  f.Click(1147);  // back: what the uninstaller's choices on the form enable
  EXPECT_TRUE(f.Enabled(kUninstallerChoices, {}));
  EXPECT_TRUE(f.Enabled(kUninstallerDependents, {}));

  f.Click(1147);
  ProjectRecord fresh;
  project_record_clear(&fresh);
  f.record = fresh;  // a new project (or one opened without the option)
  f.Show();
  EXPECT_TRUE(f.Enabled(kUninstallerChoices, kUninstallerDependents));
  EXPECT_TRUE(form_view_checked(f.view, 1148));
}

TEST(FormOptions, ShowingARecordRestoresItsChoices) {
  Form f;
  ProjectRecord& r = f.record;
  memcpy(r.os_flags, "0000010010", 10);
  r.require_admin = 1;
  r.install_type = 1;
  r.install_warning = 1;
  r.install_warning_timeout = 7;
  r.copy_error_mode = 1;
  r.install_reboot_run = 1;
  r.uninstall_type = 1;
  r.uninstall_warning_timeout = 12;
  r.delete_error_mode = 1;
  r.no_uninstall_entry = 1;
  r.linked_installer = 1;  // the button stays pressed
  f.Show();
  for (int id : {1122, 1125, 1134, 1139, 1140, 1144, 1146, 1147, 1149, 1153, 1157})
    EXPECT_TRUE(form_view_checked(f.view, id)) << id;
  for (int id : {1121, 1123, 1124, 1126, 1138, 1143, 1145, 1148, 1150, 1152})
    EXPECT_FALSE(form_view_checked(f.view, id)) << id;
  EXPECT_EQ(f.view.install_timeout, 7);
  EXPECT_EQ(f.view.uninstall_timeout, 12);
  EXPECT_TRUE(f.Enabled(kInstallerDependents, kUninstallerChoices));
  EXPECT_TRUE(f.Enabled({}, kUninstallerDependents));

  f.Click(1121);
  f.Click(1125);
  EXPECT_EQ(std::string(r.os_flags, 10), "0000110000");
}

TEST(FormBuildCheck, ReportsTheFirstFailingCheckInOrder) {
  ProjectRecord good;
  project_record_clear(&good);
  strcpy(good.project_name, "p");
  strcpy(good.project_folder, "C:\\p");
  strcpy(good.product_name, "Sample");
  strcpy(good.version_major, "1");
  strcpy(good.module_path, "C:\\m.ocx");
  strcpy(good.setup_program_name, "Setup");
  strcpy(good.installer_folder, "C:\\out");
  EXPECT_EQ(form_build_check(good, true, true), 0);
  EXPECT_EQ(form_build_check(good, false, true), 2003);
  EXPECT_EQ(form_build_check(good, true, false), 2008) << "a module that is missing or empty";

  char* fields[] = {good.project_name, good.project_folder, good.product_name,
                    good.version_major, good.module_path, nullptr,
                    good.setup_program_name, good.installer_folder};
  for (int i = 0; i < 8; ++i) {
    ProjectRecord r = good;
    if (fields[i])
      reinterpret_cast<char*>(&r)[fields[i] - reinterpret_cast<char*>(&good)] = 0;
    else
      memcpy(r.os_flags + 4, "000000", 6);
    EXPECT_EQ(form_build_check(r, true, true), 2004 + i);
  }
  ProjectRecord empty;
  project_record_clear(&empty);
  EXPECT_EQ(form_build_check(empty, false, false), 2003) << "unregistered comes first";
  EXPECT_EQ(form_build_check(empty, true, false), 2004);
}

TEST(EditorRules, RunningEditorCaptionsMatchInAnyCase) {
  const struct {
    const wchar_t* caption;
    int equal;
  } rows[] = {
      {L"Vantorel Install Editor - ", 1},
      {L"VANTOREL INSTALL EDITOR", 1},
      {L"vantorel install editor and more", 1},
      {L"Vantorel Install Edito", 0},  // shorter than the prefix
      {L"Vantorel Install Editer", 0},
      {L"", 0},
  };
  for (const auto& row : rows)
    EXPECT_EQ(compare_prefix_nocase(row.caption, EDITOR_CAPTION_PREFIX,
                                    EDITOR_CAPTION_PREFIX_LENGTH) == 0,
              row.equal == 1)
        << row.caption;
}

TEST(EditorRules, WorkFolderNameIsTheTempFileNameWithoutExtension) {
  wchar_t name[16];
  EXPECT_TRUE(work_folder_name(L"C:\\base\\QOR1A2.tmp", name, 16));
  EXPECT_STREQ(name, L"QOR1A2");
  EXPECT_TRUE(work_folder_name(L".\\QORFFFF.tmp", name, 16));
  EXPECT_STREQ(name, L"QORFFFF");
  EXPECT_FALSE(work_folder_name(L"C:\\base\\.tmp", name, 16));
  EXPECT_FALSE(work_folder_name(L"C:\\QORTOOLONGNAMEFORCAP.tmp", name, 16));
}

TEST(EditorRules, HeadlessCommandLine) {
  const struct {
    std::initializer_list<const wchar_t*> argv;
    int result;
    const wchar_t* project;
    const wchar_t* out;
    const wchar_t* name;
  } rows[] = {
      {{}, HEADLESS_NONE, nullptr, nullptr, nullptr},
      {{L"C:\\p.sip"}, HEADLESS_NONE, nullptr, nullptr, nullptr},
      {{L"/BUILD", L"C:\\p.sip"}, HEADLESS_BUILD, L"C:\\p.sip", nullptr, nullptr},
      {{L"/build", L"p.sip", L"/out", L"C:\\o", L"/name", L"Setup"}, HEADLESS_BUILD, L"p.sip",
       L"C:\\o", L"Setup"},
      {{L"/build", L"/name", L"Setup", L"p.sip"}, HEADLESS_BUILD, L"p.sip", nullptr, L"Setup"},
      {{L"/build"}, HEADLESS_BAD, nullptr, nullptr, nullptr},
      {{L"/build", L"a.sip", L"b.sip"}, HEADLESS_BAD, nullptr, nullptr, nullptr},
      {{L"/build", L"a.sip", L"/out"}, HEADLESS_BAD, nullptr, nullptr, nullptr},
      {{L"/build", L"a.sip", L"/out", L"x", L"/out", L"y"}, HEADLESS_BAD, nullptr, nullptr, nullptr},
      {{L"/build", L"a.sip", L"/sign"}, HEADLESS_BAD, nullptr, nullptr, nullptr},
  };
  for (const auto& row : rows) {
    HeadlessArgs args;
    int result = headless_args_parse(static_cast<int>(row.argv.size()),
                                     const_cast<wchar_t* const*>(row.argv.begin()), &args);
    EXPECT_EQ(result, row.result);
    if (result != HEADLESS_BUILD) continue;
    EXPECT_STREQ(args.project, row.project);
    EXPECT_STREQ(args.output_folder, row.out);
    EXPECT_STREQ(args.setup_name, row.name);
  }
}

}  // namespace
