// The project list records: formatting and reading their number fields,
// the recent table and the menu texts.
#include "editor/project/project_list_records.h"

#include <string.h>

#include "common/cp932.h"
#include "common/text.h"
#include "editor/project/project_record.h"

namespace {

const char kLineEnd[2] = {'\r', '\n'};

// "%s\%s" of an entry's folder and file name; out holds 272 + 1 + 128 + 1.
enum { ENTRY_PATH_CAP = 272 + 1 + 128 + 1 };
size_t EntryPath(const ListEntry* entry, char* out) {
  size_t folder = field_length(entry->folder, sizeof entry->folder);
  size_t name = field_length(entry->file_name, sizeof entry->file_name);
  memcpy(out, entry->folder, folder);
  out[folder] = '\\';
  memcpy(out + folder + 1, entry->file_name, name);
  out[folder + 1 + name] = 0;
  return folder + 1 + name;
}

char FoldAscii(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// Writes a number into a field of size bytes without terminator: the digits
// of format, then zero bytes.
void PutNumberField(char* field, size_t size, const char* format, int value) {
  char text[16];
  int n = TextFormat(text, sizeof text, format, value);
  memset(field, 0, size);
  if (n > 0) memcpy(field, text, static_cast<size_t>(n) < size ? static_cast<size_t>(n) : size);
}

int Clamp(int value, int low, int high) {
  return value < low ? low : (value > high ? high : value);
}

// Length of the first max bytes of text (len bytes), a double-byte
// character at the cut kept whole.
size_t CutLength(const char* text, size_t len, size_t max) {
  size_t i = 0;
  while (i < len && i < max) i += Cp932CharSize(text, len, i);
  return i;
}

bool SlotEmpty(const RecentRecord* slot) { return slot->entry.key[0] == 0; }

void RemoveSlot(RecentTable* table, int index) {
  memmove(&table->slots[index], &table->slots[index + 1],
          sizeof(RecentRecord) * static_cast<size_t>(RECENT_SLOTS - 1 - index));
  memset(&table->slots[RECENT_SLOTS - 1], 0, sizeof(RecentRecord));
}

// Removes the first non-empty slot whose entry matches. Returns whether
// one was removed.
template <typename Match>
bool RemoveFirst(RecentTable* table, Match matches) {
  for (int i = 0; i < RECENT_SLOTS; ++i) {
    if (!SlotEmpty(&table->slots[i]) && matches(table->slots[i].entry)) {
      RemoveSlot(table, i);
      return true;
    }
  }
  return false;
}

}  // namespace

bool list_entry_set(ListEntry* entry, const char* key, const char* project_name,
                    const char* folder, const char* file_name) {
  bool fit = Cp932FieldCopy(entry->key, sizeof entry->key, key);
  fit &= Cp932FieldCopy(entry->project_name, sizeof entry->project_name, project_name);
  fit &= Cp932FieldCopy(entry->folder, sizeof entry->folder, folder);
  fit &= Cp932FieldCopy(entry->file_name, sizeof entry->file_name, file_name);
  return fit;
}

bool list_entry_has_key(const ListEntry* entry, const char key[48]) {
  return memcmp(entry->key, key, sizeof entry->key) == 0;
}

bool list_entries_same_path(const ListEntry* a, const ListEntry* b) {
  char pa[ENTRY_PATH_CAP], pb[ENTRY_PATH_CAP];
  size_t la = EntryPath(a, pa);
  size_t lb = EntryPath(b, pb);
  if (la != lb) return false;
  // Both texts agree up to i, so their characters start at the same bytes.
  for (size_t i = 0; i < la;) {
    size_t n = Cp932CharSize(pa, la, i);
    if (n == 2) {
      if (pa[i] != pb[i] || pa[i + 1] != pb[i + 1]) return false;
    } else if (FoldAscii(pa[i]) != FoldAscii(pb[i])) {
      return false;
    }
    i += n;
  }
  return true;
}

void master_record_init(MasterRecord* record, const char key[48], int sequence,
                        const char* created_at) {
  memset(record, 0, sizeof *record);
  memcpy(record->entry.key, key, sizeof record->entry.key);
  PutNumberField(record->update_count, sizeof record->update_count, "%8d", 0);
  PutNumberField(record->build_count, sizeof record->build_count, "%d", 0);
  PutNumberField(record->sequence, sizeof record->sequence, "%06d",
                 Clamp(sequence, 0, LIST_SEQUENCE_MAX));
  memset(record->updated_at, ' ', sizeof record->updated_at);
  memcpy(record->created_at, created_at, sizeof record->created_at);
  memcpy(record->line_end, kLineEnd, sizeof kLineEnd);
}

int master_record_sequence(const MasterRecord* record) {
  int value = 0;
  for (size_t i = 0; i < sizeof record->sequence; ++i) {
    char c = record->sequence[i];
    if (c < '0' || c > '9') break;
    value = value * 10 + (c - '0');
  }
  return value;
}

int master_sequence_next(int last) {
  return last >= LIST_SEQUENCE_MAX ? LIST_SEQUENCE_MAX : Clamp(last, 0, LIST_SEQUENCE_MAX) + 1;
}

int list_count_parse(const char* text, size_t size, int max_digits) {
  size_t i = 0;
  while (i < size && static_cast<unsigned char>(text[i]) <= 0x20) ++i;
  int value = 0;
  for (int digits = 0; i < size && digits < max_digits; ++i, ++digits) {
    if (text[i] < '0' || text[i] > '9') break;
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

int master_record_update_count(const MasterRecord* record) {
  return list_count_parse(record->update_count, sizeof record->update_count, 8);
}

void master_record_count_update(MasterRecord* record) {
  int count = master_record_update_count(record);
  if (count < LIST_UPDATE_COUNT_MAX) ++count;
  PutNumberField(record->update_count, sizeof record->update_count, "%8d", count);
}

int master_record_build_count(const MasterRecord* record) {
  return list_count_parse(record->build_count, sizeof record->build_count, 6);
}

void master_record_set_build_count(MasterRecord* record, int count) {
  PutNumberField(record->build_count, sizeof record->build_count, "%d",
                 Clamp(count, 0, LIST_BUILD_COUNT_MAX));
}

void master_record_note_build(MasterRecord* record, int count) {
  if (static_cast<unsigned char>(record->updated_at[0]) <= 0x20)
    memcpy(record->updated_at, record->created_at, sizeof record->updated_at);
  master_record_set_build_count(record, count);
}

void recent_table_load(RecentTable* table, const void* bytes, size_t size) {
  memset(table, 0, sizeof *table);
  size_t limit = RECENT_FILE_SIZE;
  size_t whole = (size < limit ? size : limit) / RECENT_RECORD_SIZE;
  memcpy(table->slots, bytes, whole * RECENT_RECORD_SIZE);
}

bool recent_table_remove_key(RecentTable* table, const char key[48]) {
  return RemoveFirst(table, [key](const ListEntry& e) { return list_entry_has_key(&e, key); });
}

bool recent_table_remove_path(RecentTable* table, const ListEntry* entry) {
  return RemoveFirst(table,
                     [entry](const ListEntry& e) { return list_entries_same_path(&e, entry); });
}

void recent_table_push_front(RecentTable* table, const ListEntry* entry) {
  memmove(&table->slots[1], &table->slots[0], sizeof(RecentRecord) * (RECENT_SLOTS - 1));
  memset(&table->slots[0], 0, sizeof(RecentRecord));
  table->slots[0].entry = *entry;
}

void recent_table_store(const RecentTable* table, void* bytes) {
  unsigned char* out = static_cast<unsigned char*>(bytes);
  for (int i = 0; i < RECENT_SLOTS; ++i) {
    RecentRecord slot = table->slots[i];
    memcpy(slot.line_end, kLineEnd, sizeof kLineEnd);
    memcpy(out + static_cast<size_t>(i) * RECENT_RECORD_SIZE, &slot, sizeof slot);
  }
}

size_t recent_display_bytes(const ListEntry* entry, char* out) {
  size_t name_len = field_length(entry->project_name, sizeof entry->project_name);
  size_t name_cut = CutLength(entry->project_name, name_len, RECENT_NAME_CUT);
  char path[ENTRY_PATH_CAP];
  size_t path_len = EntryPath(entry, path);
  size_t path_cut = CutLength(path, path_len, RECENT_PATH_CUT);
  memcpy(out, entry->project_name, name_cut);
  out[name_cut] = '\t';
  memcpy(out + name_cut + 1, path, path_cut);
  out[name_cut + 1 + path_cut] = 0;
  return name_cut + 1 + path_cut;
}
