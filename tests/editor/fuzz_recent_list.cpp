// Fuzzes the recent list: any bytes taken as a list file, updated with an
// entry taken from the input, written back, and turned into menu texts.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "common/cp932.h"
#include "editor/project/project_list_records.h"
#include "editor/project/project_record.h"

namespace {

// The cut part must be a prefix of the text that ends on a whole character
// and is at most one byte past the limit.
void CheckCut(const char* cut, size_t cut_len, const char* text, size_t text_len, size_t max) {
  if (cut_len > text_len || memcmp(cut, text, cut_len) != 0) abort();
  if (cut_len > max + 1) abort();
  if (cut_len < text_len && cut_len < max) abort();
  size_t i = 0;
  while (i < cut_len) i += Cp932CharSize(text, text_len, i);
  if (i != cut_len) abort();
}

void CheckDisplay(const ListEntry& e) {
  char out[RECENT_TEXT_BYTES];
  size_t n = recent_display_bytes(&e, out);
  if (n >= RECENT_TEXT_BYTES || out[n] != 0) abort();
  size_t name_len = field_length(e.project_name, sizeof e.project_name);
  const char* tab = static_cast<const char*>(memchr(out, '\t', n));
  // The name may hold a tab itself; the one the text adds follows its cut.
  size_t name_cut = 0;
  while (name_cut < name_len && name_cut < RECENT_NAME_CUT)
    name_cut += Cp932CharSize(e.project_name, name_len, name_cut);
  if (!tab || out[name_cut] != '\t') abort();
  CheckCut(out, name_cut, e.project_name, name_len, RECENT_NAME_CUT);
  char path[272 + 1 + 128 + 1];
  size_t folder = field_length(e.folder, sizeof e.folder);
  size_t file = field_length(e.file_name, sizeof e.file_name);
  memcpy(path, e.folder, folder);
  path[folder] = '\\';
  memcpy(path + folder + 1, e.file_name, file);
  CheckCut(out + name_cut + 1, n - name_cut - 1, path, folder + 1 + file, RECENT_PATH_CUT);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ListEntry entry;
  memset(&entry, 0, sizeof entry);
  if (size >= sizeof entry) memcpy(&entry, data + size - sizeof entry, sizeof entry);
  entry.key[0] = entry.key[0] ? entry.key[0] : '{';

  RecentTable table;
  recent_table_load(&table, data, size);
  for (const RecentRecord& slot : table.slots)
    if (slot.entry.key[0]) CheckDisplay(slot.entry);

  recent_table_remove_key(&table, entry.key);
  recent_table_remove_path(&table, &entry);
  recent_table_push_front(&table, &entry);
  static uint8_t stored[RECENT_FILE_SIZE];
  recent_table_store(&table, stored);
  if (memcmp(stored, &entry, sizeof entry) != 0) abort();
  for (int i = 0; i < RECENT_SLOTS; ++i) {
    const uint8_t* end = stored + i * RECENT_RECORD_SIZE + 576;
    if (end[0] != '\r' || end[1] != '\n') abort();
  }
  RecentTable again;
  recent_table_load(&again, stored, sizeof stored);
  for (const RecentRecord& slot : again.slots) CheckDisplay(slot.entry);
  return 0;
}
