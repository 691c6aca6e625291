// Writes a seed of the editor's fuzzers with the editor's own record code,
// so that the seeds stay what the editor saves when its formats change:
//
//   project   a project file as the form fills it (typed texts, a new
//             project's GUID, chosen paths, a silent installer)
//   master    the master list fuzzer's input: a build count byte, the key
//             to find, then a master list of three projects, created, saved
//             again and built
//   recent    the recent list fuzzer's input: a whole recent list file
//             (fifteen slots, three in use), then the entry to put first,
//             the path of one of them in other case
//   signing   a signing settings file as a registration writes it: the
//             fields of the dialog, the password kept elsewhere
//
//   fuzz_seeds project|master|recent|signing FILE
#include <stdio.h>
#include <string.h>

#include <string>

#include "common/cp932.h"
#include "editor/form_rules.h"
#include "editor/project/project_list_records.h"
#include "editor/project/project_record.h"
#include "editor/project/signing_settings.h"

namespace {

const char* path;

bool Write(const void* a, size_t a_size, const void* b = nullptr, size_t b_size = 0) {
  FILE* f = fopen(path, "wb");
  if (!f) return false;
  bool ok = fwrite(a, 1, a_size, f) == a_size && (!b || fwrite(b, 1, b_size, f) == b_size);
  return fclose(f) == 0 && ok;
}

void Type(ProjectRecord* record, int id, const char* text) {
  form_text_commit(record, *form_binding_find(id), text, strlen(text));
}

void Show(ProjectRecord* record, int id, const char* text) {
  char* field = form_field(record, *form_binding_find(id));
  strcpy(field, text);
}

// Code page 932: "ソ" 83 5C and "表" 95 5C end in the byte of "\".
#define SAMPLE_NAME "\x83\x54\x83\x93\x83\x76\x83\x8B \x83\x4F\x83\x8A\x83\x62\x83\x68"  // サンプル グリッド
#define SOFT "\x83\x5C\x83\x74\x83\x67"                                                  // ソフト
#define HYOUJI "\x95\x5C\x8E\xA6"                                                        // 表示

const char kKeys[3][48] = {"{6F1C2A3B-0D4E-4F50-8A6B-7C8D9E0F1A2B}",
                           "{0A1B2C3D-4E5F-4061-8273-94A5B6C7D8E9}",
                           "{FEDCBA98-7654-4321-8FED-CBA987654321}"};

bool Project() {
  ProjectRecord record;
  project_record_clear(&record);
  const uint8_t data4[8] = {0x8A, 0x6B, 0x7C, 0x8D, 0x9E, 0x0F, 0x1A, 0x2B};
  project_guid_format(record.project_guid, 0x6F1C2A3B, 0x0D4E, 0x4F50, data4);
  Type(&record, 1101, "  " SAMPLE_NAME " ");
  Type(&record, 1106, SAMPLE_NAME " " HYOUJI);
  Type(&record, 1107, "1");
  Type(&record, 1108, "0");
  Type(&record, 1109, "12");
  Type(&record, 1133, "SampleSetup");
  Show(&record, 1102, "C:\\Projects\\" SOFT);
  Show(&record, 1111, "C:\\Modules\\" HYOUJI "\\samplegrid.ocx");
  Show(&record, 1136, "C:\\Setup\\" SOFT);
  FormView view;
  form_view_show(&view, record);
  form_view_check(&view, 1138, false);
  form_view_check(&view, 1139, true);
  form_option_command(1138, &view, &record);
  form_view_check(&view, 1134, true);
  form_option_command(1134, &view, &record);
  return Write(&record, sizeof record);
}

ListEntry Entry(int i) {
  static const char* const names[3] = {SAMPLE_NAME, "Other", SOFT " " HYOUJI};
  static const char* const folders[3] = {"C:\\Projects\\" SOFT, "D:\\Work", "C:\\" HYOUJI};
  static const char* const files[3] = {"sample.sip", "Other.sip", HYOUJI ".sip"};
  ListEntry e;
  list_entry_set(&e, kKeys[i], names[i], folders[i], files[i]);
  return e;
}

bool MasterList() {
  unsigned char input[1 + 48 + 3 * MASTER_RECORD_SIZE];
  input[0] = 2;  // a build count of 20000
  memcpy(input + 1, kKeys[1], 48);
  static const char* const stamps[3] = {"20120121031004", "20120305120000", "20130101000000"};
  for (int i = 0; i < 3; ++i) {
    MasterRecord r;
    master_record_init(&r, kKeys[i], master_sequence_next(i), stamps[i]);
    r.entry = Entry(i);
    if (i < 2) master_record_count_update(&r);
    if (i == 0) master_record_note_build(&r, 12);
    memcpy(input + 1 + 48 + i * MASTER_RECORD_SIZE, &r, sizeof r);
  }
  return Write(input, sizeof input);
}

bool RecentList() {
  static const uint8_t none[1] = {0};
  RecentTable table;
  recent_table_load(&table, none, 0);
  for (int i = 2; i >= 0; --i) {
    ListEntry e = Entry(i);
    recent_table_push_front(&table, &e);
  }
  static uint8_t file[RECENT_FILE_SIZE];
  recent_table_store(&table, file);
  ListEntry first = Entry(1);
  memcpy(first.key, kKeys[0], 48);  // a new project saved over another's file
  memcpy(first.folder, "d:\\WORK", 7);
  return Write(file, sizeof file, &first, sizeof first);
}

bool Signing() {
  SigningSettings settings;
  memset(&settings, 0, sizeof settings);
  Cp932FieldCopy(settings.tool_folder, sizeof settings.tool_folder, "C:\\Tools\\" SOFT);
  Cp932FieldCopy(settings.certificate, sizeof settings.certificate,
                 "C:\\Certificates\\" HYOUJI ".pfx");
  Cp932FieldCopy(settings.description, sizeof settings.description, SAMPLE_NAME);
  Cp932FieldCopy(settings.description_url, sizeof settings.description_url,
                 "https://example.jp/grid");
  settings.timestamp = 1;
  Cp932FieldCopy(settings.timestamp_url, sizeof settings.timestamp_url,
                 "http://timestamp.example.jp/");
  return Write(&settings, sizeof settings);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: fuzz_seeds project|master|recent|signing FILE\n");
    return 2;
  }
  path = argv[2];
  std::string kind = argv[1];
  bool ok = kind == "project" ? Project() : kind == "master" ? MasterList()
          : kind == "recent"  ? RecentList() : kind == "signing" ? Signing() : false;
  if (!ok) {
    fprintf(stderr, "fuzz_seeds: cannot write %s %s\n", argv[1], argv[2]);
    return 1;
  }
  return 0;
}
