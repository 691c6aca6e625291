// Fuzzes the master list: any bytes taken as a list file, its records
// found by key, raised and rewritten. No field may spill into the next.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "editor/project/project_list_records.h"

namespace {

bool Digits(const char* text, size_t size) {
  for (size_t i = 0; i < size; ++i)
    if (text[i] < '0' || text[i] > '9') return false;
  return true;
}

// The update count is "%8d": spaces, then at least one digit.
void CheckUpdateCount(const MasterRecord& r) {
  size_t i = 0;
  while (i < 8 && r.update_count[i] == ' ') ++i;
  if (i == 8 || !Digits(r.update_count + i, 8 - i)) abort();
}

// The build count is "%d" zero-padded: digits, then zero bytes.
void CheckBuildCount(const MasterRecord& r) {
  size_t n = 0;
  while (n < 6 && r.build_count[n] >= '0' && r.build_count[n] <= '9') ++n;
  if (n == 0) abort();
  for (size_t i = n; i < 6; ++i)
    if (r.build_count[i] != 0) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // One byte of build count, the 48 bytes of the key, then the list.
  if (size < 1 + 48) return 0;
  int build_count = static_cast<int8_t>(data[0]) * 10000;
  char key[48];
  memcpy(key, data + 1, 48);
  const uint8_t* list = data + 1 + 48;
  size_t records = (size - 1 - 48) / MASTER_RECORD_SIZE;

  int last_sequence = 0;
  for (size_t i = 0; i < records; ++i) {
    MasterRecord r;
    memcpy(&r, list + i * MASTER_RECORD_SIZE, sizeof r);
    if (list_entry_has_key(&r.entry, key)) {
      MasterRecord before = r;
      master_record_count_update(&r);
      master_record_set_build_count(&r, build_count);
      CheckUpdateCount(r);
      CheckBuildCount(r);
      // Sequence, both dates and the line end lie behind the two counts.
      if (memcmp(r.sequence, before.sequence, 6 + 14 + 14 + 2) != 0) abort();
      master_record_note_build(&r, build_count);
      if (memcmp(r.created_at, before.created_at, 14) != 0) abort();
      if (memcmp(&r.entry, &before.entry, sizeof r.entry) != 0) abort();
      break;
    }
    last_sequence = master_record_sequence(&r);
    if (last_sequence < 0 || last_sequence > LIST_SEQUENCE_MAX) abort();
  }

  int next = master_sequence_next(last_sequence);
  if (next < 1 || next > LIST_SEQUENCE_MAX) abort();
  MasterRecord fresh;
  master_record_init(&fresh, key, next, "20120121031004");
  if (!Digits(fresh.sequence, 6) || master_record_sequence(&fresh) != next) abort();
  if (memcmp(fresh.updated_at, "              ", 14) != 0) abort();
  if (fresh.line_end[0] != '\r' || fresh.line_end[1] != '\n') abort();
  CheckUpdateCount(fresh);
  CheckBuildCount(fresh);
  return 0;
}
