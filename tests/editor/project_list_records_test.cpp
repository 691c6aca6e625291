// The project list records: the number fields and their limits, the
// recent table's removals and order, and the menu-text cuts.
#include "editor/project/project_list_records.h"

#include <gtest/gtest.h>

#include <string.h>

#include <string>

namespace {

const char kKeyA[48] = "{11111111-1111-1111-1111-111111111111}";
const char kKeyB[48] = "{22222222-2222-2222-2222-222222222222}";
const char kStamp[] = "20120121031004";

std::string Bytes(const char* field, size_t size) { return std::string(field, size); }

TEST(MasterRecord, SequenceNumbersNeverLeaveTheirSixDigits) {
  struct Case {
    const char* field;  // six bytes
    int read;
    int next;
  } cases[] = {
      {"000001", 1, 2},
      {"000041", 41, 42},
      {"999998", 999998, 999999},
      {"999999", 999999, 999999},  // six digits used up: the number stays
      {"12a456", 12, 13},          // read up to the first non-digit
      {"\0\0\0\0\0\0", 0, 1},
      {"xxxxxx", 0, 1},
  };
  for (const Case& c : cases) {
    MasterRecord record;
    memset(&record, 0, sizeof record);
    memcpy(record.sequence, c.field, 6);
    EXPECT_EQ(master_record_sequence(&record), c.read) << Bytes(c.field, 6);
    EXPECT_EQ(master_sequence_next(c.read), c.next) << Bytes(c.field, 6);
  }

  MasterRecord record;
  master_record_init(&record, kKeyA, master_sequence_next(999999), kStamp);
  EXPECT_EQ(Bytes(record.sequence, 6), "999999");
  EXPECT_EQ(Bytes(record.updated_at, 14), std::string(14, ' ')) << "the next field is intact";
}

TEST(MasterRecord, UpdateCountIsRaisedRightAligned) {
  struct Case {
    const char* before;  // eight bytes
    const char* after;
  } cases[] = {
      {"       0", "       1"},
      {"      41", "      42"},
      {"00000009", "      10"},
      {"\0\0\0\0\0\0\0\0", "       1"},   // unreadable counts as 0
      {"   x   5", "       1"},
      {"  12  34", "      13"},           // digits up to the first other byte
      {"99999999", "99999999"},           // stays within eight characters
  };
  for (const Case& c : cases) {
    MasterRecord record;
    memset(&record, 0, sizeof record);
    memset(record.build_count, '7', sizeof record.build_count);
    memcpy(record.update_count, c.before, 8);
    master_record_count_update(&record);
    EXPECT_EQ(Bytes(record.update_count, 8), c.after) << Bytes(c.before, 8);
    EXPECT_EQ(Bytes(record.build_count, 6), "777777") << "the build count is untouched";
  }
}

TEST(MasterRecord, BuildCountIsLeftAlignedZeroPadded) {
  struct Case {
    int count;
    const char* field;  // six bytes
  } cases[] = {
      {0, "0\0\0\0\0\0"},
      {12, "12\0\0\0\0"},
      {999999, "999999"},
      {1000000, "999999"},
      {-3, "0\0\0\0\0\0"},
  };
  for (const Case& c : cases) {
    MasterRecord record;
    memset(&record, 0x55, sizeof record);
    master_record_set_build_count(&record, c.count);
    EXPECT_EQ(Bytes(record.build_count, 6), Bytes(c.field, 6)) << c.count;
    EXPECT_EQ(record.sequence[0], 0x55) << "the sequence number is untouched";
  }
}

TEST(MasterRecord, BuildOfANeverResavedProjectCopiesCreatedAt) {
  MasterRecord record;
  master_record_init(&record, kKeyA, 1, kStamp);
  master_record_note_build(&record, 1);
  EXPECT_EQ(Bytes(record.updated_at, 14), kStamp);
  EXPECT_EQ(Bytes(record.build_count, 6), Bytes("1\0\0\0\0\0", 6));

  memcpy(record.updated_at, "20130101000000", 14);
  master_record_note_build(&record, 2);
  EXPECT_EQ(Bytes(record.updated_at, 14), "20130101000000") << "a set date stays";
  EXPECT_EQ(Bytes(record.build_count, 6), Bytes("2\0\0\0\0\0", 6));

  memset(record.updated_at, 0, 14);
  master_record_note_build(&record, 3);
  EXPECT_EQ(Bytes(record.updated_at, 14), kStamp) << "a zero byte counts as blank";
}

ListEntry Entry(const char* key, const char* folder, const char* name) {
  ListEntry entry;
  memset(&entry, 0, sizeof entry);
  list_entry_set(&entry, key, "Project", folder, name);
  return entry;
}

TEST(ListEntry, PathsCompareWithoutLetterCaseButDoubleByteExactly) {
  struct Case {
    const char* folder_a;
    const char* name_a;
    const char* folder_b;
    const char* name_b;
    bool same;
  } cases[] = {
      {"C:\\Projects", "Sample.sip", "c:\\projects", "SAMPLE.SIP", true},
      {"C:\\Projects", "Sample.sip", "C:\\Projects", "Sample.sip2", false},
      {"C:\\Projects", "Sample.sip", "C:\\Project", "sSample.sip", false},
      {"C:\\A", "b\\c.sip", "C:\\A\\b", "c.sip", true},  // the joined text counts
      // "ア" is 0x83 0x41 and "ヂ" 0x83 0x61: their second bytes differ like
      // "A" and "a" but they are different characters.
      {"C:\\\x83\x41", "x.sip", "C:\\\x83\x61", "x.sip", false},
      {"C:\\\x83\x41", "x.sip", "C:\\\x83\x41", "X.SIP", true},
  };
  for (const Case& c : cases) {
    ListEntry a = Entry(kKeyA, c.folder_a, c.name_a);
    ListEntry b = Entry(kKeyB, c.folder_b, c.name_b);
    EXPECT_EQ(list_entries_same_path(&a, &b), c.same) << c.folder_a << " " << c.folder_b;
    EXPECT_EQ(list_entries_same_path(&b, &a), c.same) << c.folder_b << " " << c.folder_a;
  }
}

TEST(ListEntry, OverlongTextsKeepANulAndWholeCharacters) {
  ListEntry entry;
  std::string name = std::string(126, 'n') + "\x83\x5C";  // 128 bytes
  EXPECT_FALSE(list_entry_set(&entry, kKeyA, name.c_str(), "C:\\", "a.sip"));
  EXPECT_EQ(Bytes(entry.project_name, 128), std::string(126, 'n') + std::string(2, '\0'));
}

// A table whose slots hold keys "{k0}", "{k1}", ... and paths C:\Pn\Pn.sip.
RecentTable TableOf(int count) {
  std::string bytes;
  for (int i = 0; i < count; ++i) {
    RecentRecord record;
    memset(&record, 0, sizeof record);
    std::string key = "{k" + std::to_string(i) + "}";
    std::string folder = "C:\\P" + std::to_string(i);
    std::string name = "P" + std::to_string(i) + ".sip";
    list_entry_set(&record.entry, key.c_str(), "Project", folder.c_str(), name.c_str());
    record.line_end[0] = '\r';
    record.line_end[1] = '\n';
    bytes.append(reinterpret_cast<const char*>(&record), sizeof record);
  }
  RecentTable table;
  recent_table_load(&table, bytes.data(), bytes.size());
  return table;
}

std::string KeyOf(const RecentTable& table, int slot) {
  return std::string(table.slots[slot].entry.key);
}

TEST(RecentTable, LoadTakesWholeRecordsOnly) {
  RecentTable full = TableOf(15);
  std::string bytes(RECENT_FILE_SIZE, '\0');
  recent_table_store(&full, &bytes[0]);
  RecentTable table;
  recent_table_load(&table, bytes.data(), 2 * RECENT_RECORD_SIZE + 100);
  EXPECT_EQ(KeyOf(table, 0), "{k0}");
  EXPECT_EQ(KeyOf(table, 1), "{k1}");
  EXPECT_EQ(KeyOf(table, 2), "") << "a partial record is an empty slot";
  EXPECT_EQ(KeyOf(table, 14), "");
}

TEST(RecentTable, SavedAgainMovesToTheFront) {
  RecentTable table = TableOf(5);
  ListEntry entry = Entry("{k3}", "C:\\Moved", "Moved.sip");
  EXPECT_TRUE(recent_table_remove_key(&table, entry.key));
  EXPECT_EQ(KeyOf(table, 3), "{k4}");
  EXPECT_EQ(KeyOf(table, 4), "");
  recent_table_push_front(&table, &entry);
  const char* order[] = {"{k3}", "{k0}", "{k1}", "{k2}", "{k4}", ""};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(KeyOf(table, i), order[i]) << i;
}

TEST(RecentTable, SamePathUnderANewKeyReplacesTheEntry) {
  RecentTable table = TableOf(5);
  ListEntry entry = Entry("{other}", "c:\\p2", "p2.SIP");
  EXPECT_FALSE(recent_table_remove_key(&table, entry.key));
  EXPECT_TRUE(recent_table_remove_path(&table, &entry));
  recent_table_push_front(&table, &entry);
  const char* order[] = {"{other}", "{k0}", "{k1}", "{k3}", "{k4}", ""};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(KeyOf(table, i), order[i]) << i;
}

TEST(RecentTable, OnlyTheFirstMatchIsRemovedAndEmptySlotsNeverMatch) {
  RecentTable table = TableOf(3);
  table.slots[2].entry = table.slots[0].entry;  // a duplicate key further down
  EXPECT_TRUE(recent_table_remove_key(&table, table.slots[0].entry.key));
  EXPECT_EQ(KeyOf(table, 0), "{k1}");
  EXPECT_EQ(KeyOf(table, 1), "{k0}");
  char empty_key[48] = {};
  EXPECT_FALSE(recent_table_remove_key(&table, empty_key));
}

std::string Display(const char* name, const char* folder, const char* file) {
  ListEntry entry;
  list_entry_set(&entry, kKeyA, name, folder, file);
  char out[RECENT_TEXT_BYTES];
  size_t n = recent_display_bytes(&entry, out);
  EXPECT_EQ(strlen(out), n);
  return std::string(out, n);
}

TEST(RecentDisplay, CutsKeepDoubleByteCharactersWhole) {
  // Short texts are shown whole.
  EXPECT_EQ(Display("Sample", "C:\\P", "S.sip"), "Sample\tC:\\P\\S.sip");

  // 31 bytes and then "ソ": the pair is copied, the cut ends one byte later.
  std::string name31 = std::string(31, 'n') + "\x83\x5C" "tail";
  EXPECT_EQ(Display(name31.c_str(), "C:", "a"), std::string(31, 'n') + "\x83\x5C\tC:\\a");

  // 32 single bytes: the cut is exact.
  std::string name40(40, 'm');
  EXPECT_EQ(Display(name40.c_str(), "C:", "a"), std::string(32, 'm') + "\tC:\\a");

  // The path is cut at 40 bytes of "folder\file", also on a whole character.
  std::string folder = "C:\\" + std::string(36, 'f');  // 39 bytes, then "\"
  EXPECT_EQ(Display("p", folder.c_str(), "file.sip"), "p\t" + folder + "\\");
  std::string folder39 = "C:\\" + std::string(36, 'f');
  std::string dbcs = "\x83\x41\x83\x41";  // アア
  EXPECT_EQ(Display("p", (folder39 + dbcs).c_str(), "x"), "p\t" + folder39 + "\x83\x41");
}

TEST(RecentDisplay, FullFieldsWithoutNulStayBounded) {
  ListEntry entry;
  memset(&entry, 0x83, sizeof entry);  // lead bytes everywhere, no NUL
  char out[RECENT_TEXT_BYTES];
  size_t n = recent_display_bytes(&entry, out);
  EXPECT_LE(n, static_cast<size_t>(RECENT_TEXT_BYTES - 1));
  EXPECT_EQ(out[n], 0);
}

}  // namespace
