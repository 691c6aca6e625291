// The records of the two project list files, "Project_List.mst" (every
// project ever saved, in order of creation) and "Project_List.now" (the
// fifteen projects saved last, newest first), and the pure operations on
// them. Compiles without windows.h.
//
// Both files are sequences of fixed-length records of code page 932 text,
// each ending in CR LF, with no header and no count. Fields are not
// terminated: a shorter text is padded with zero bytes.
//
// Master record, 626 bytes:
//     0   48  GUID key        "{...}" as in the project record, zero-padded
//    48  128  project name
//   176  272  project folder  without trailing "\"
//   448  128  file name       of the project file, with its extension
//   576    8  update count    "%8d"; "       0" for a project only created
//   584    6  build count     "%d", zero-padded; "0" for a new project
//   590    6  sequence        "%06d", order of creation from "000001"
//   596   14  updated at      "%04d%02d%02d%02d%02d%02d", 14 spaces if never
//   610   14  created at      same format
//   624    2  CR LF
//
// Recent record, 578 bytes: the first 576 bytes of the master record, then
// CR LF. A record whose first byte is zero is an empty slot. The recent file
// always holds fifteen records (8,670 bytes).
#pragma once

#include <stddef.h>
#include <stdint.h>

// What both records start with.
struct ListEntry {
  char key[48];
  char project_name[128];
  char folder[272];
  char file_name[128];
};

struct MasterRecord {
  ListEntry entry;
  char update_count[8];
  char build_count[6];
  char sequence[6];
  char updated_at[14];
  char created_at[14];
  char line_end[2];
};

struct RecentRecord {
  ListEntry entry;
  char line_end[2];
};

static_assert(sizeof(ListEntry) == 576, "ListEntry is 576 bytes");
static_assert(offsetof(ListEntry, key) == 0, "GUID key");
static_assert(offsetof(ListEntry, project_name) == 48, "project name");
static_assert(offsetof(ListEntry, folder) == 176, "project folder");
static_assert(offsetof(ListEntry, file_name) == 448, "file name");
static_assert(sizeof(MasterRecord) == 626, "MasterRecord is 626 bytes");
static_assert(offsetof(MasterRecord, update_count) == 576, "update count");
static_assert(offsetof(MasterRecord, build_count) == 584, "build count");
static_assert(offsetof(MasterRecord, sequence) == 590, "sequence number");
static_assert(offsetof(MasterRecord, updated_at) == 596, "updated at");
static_assert(offsetof(MasterRecord, created_at) == 610, "created at");
static_assert(offsetof(MasterRecord, line_end) == 624, "master line end");
static_assert(sizeof(RecentRecord) == 578, "RecentRecord is 578 bytes");
static_assert(offsetof(RecentRecord, line_end) == 576, "recent line end");

enum {
  MASTER_RECORD_SIZE = sizeof(MasterRecord),
  RECENT_RECORD_SIZE = sizeof(RecentRecord),
  RECENT_SLOTS = 15,
  RECENT_FILE_SIZE = RECENT_SLOTS * RECENT_RECORD_SIZE,  // 8,670
  MASTER_CHUNK_RECORDS = 360,
  MASTER_CHUNK_SIZE = MASTER_CHUNK_RECORDS * MASTER_RECORD_SIZE,  // 225,360
  RECENT_CHUNK_RECORDS = 390,
  RECENT_CHUNK_SIZE = RECENT_CHUNK_RECORDS * RECENT_RECORD_SIZE,  // 225,420
  LIST_SEQUENCE_MAX = 999999,    // six digits
  LIST_UPDATE_COUNT_MAX = 99999999,  // eight digits
  LIST_BUILD_COUNT_MAX = 999999,     // six digits
  LIST_STAMP_LENGTH = 14,
  RECENT_NAME_CUT = 32,   // bytes of the project name in a menu text
  RECENT_PATH_CUT = 40,   // bytes of "folder\file" in a menu text
  RECENT_TEXT_CAP = 160   // characters of a menu text, terminator included
};
static_assert(MASTER_CHUNK_SIZE == 225360, "master chunk");
static_assert(RECENT_CHUNK_SIZE == 225420, "recent chunk");
static_assert(RECENT_FILE_SIZE == 8670, "recent file");

// Fills the texts of an entry from code page 932 texts (each shortened on a
// whole character when it does not fit its field). Returns false when a
// text had to be shortened.
bool list_entry_set(ListEntry* entry, const char* key, const char* project_name,
                    const char* folder, const char* file_name);

// True when the 48 key bytes of the entry equal key exactly.
bool list_entry_has_key(const ListEntry* entry, const char key[48]);

// True when "%s\%s" of folder and file name is the same text in both
// entries, ignoring the case of the letters a-z and A-Z outside double-byte
// characters.
bool list_entries_same_path(const ListEntry* a, const ListEntry* b);

// A new master record: zeros, update count "       0", build count "0",
// sequence "%06d", updated at 14 spaces, created at the 14 stamp bytes,
// CR LF. The texts are left zero.
void master_record_init(MasterRecord* record, const char key[48], int sequence,
                        const char* created_at);

// The record's sequence number: its digits up to the first non-digit (0
// when the field starts with none).
int master_record_sequence(const MasterRecord* record);

// The sequence number that follows last. Once six digits are used up the
// number stays at 999999 rather than spill into the next field.
int master_sequence_next(int last);

// The update count: the digits after any leading bytes of value 0x20 or
// less, up to the end of the field (0 when there are none).
int master_record_update_count(const MasterRecord* record);

// Raises the update count by one, written "%8d"; it stays at 99999999 once
// eight digits are used up.
void master_record_count_update(MasterRecord* record);

// The build count: its digits up to the first non-digit (0 when the field
// starts with none).
int master_record_build_count(const MasterRecord* record);

// Writes count into the build count field ("%d", zero-padded), held
// between 0 and 999999.
void master_record_set_build_count(MasterRecord* record, int count);

// Records a build: a blank updated-at (first byte 0x20 or less) takes the
// created-at value; the build count becomes count.
void master_record_note_build(MasterRecord* record, int count);

// Reads a count text of size bytes (an update count or a build count) as a
// number: leading bytes of value 0x20 or less skipped, then up to
// max_digits digits, ending at the first other byte.
int list_count_parse(const char* text, size_t size, int max_digits);

// The fifteen slots of the recent list in memory.
struct RecentTable {
  RecentRecord slots[RECENT_SLOTS];
};

// Fills the table from the bytes of a recent file: every whole record of
// the first 8,670 bytes, the remaining slots empty.
void recent_table_load(RecentTable* table, const void* bytes, size_t size);

// Removes the first non-empty slot with this key, moving the later slots up
// and leaving the last one empty. Returns whether one was removed.
bool recent_table_remove_key(RecentTable* table, const char key[48]);

// Removes the first non-empty slot whose project path is that of entry.
bool recent_table_remove_path(RecentTable* table, const ListEntry* entry);

// Puts entry into the first slot; the others move down by one and the last
// one drops off.
void recent_table_push_front(RecentTable* table, const ListEntry* entry);

// Writes the fifteen slots (8,670 bytes), each with its CR LF.
void recent_table_store(const RecentTable* table, void* bytes);

// The menu text of an entry as code page 932 bytes: the project name cut to
// its first 32 bytes, a tab, and "folder\file" cut to its first 40 bytes.
// A double-byte character at a cut is kept whole, so a cut may end one byte
// later. Returns the length (at most 75 bytes); out needs 76 bytes.
enum { RECENT_TEXT_BYTES = RECENT_NAME_CUT + 1 + 1 + RECENT_PATH_CUT + 1 + 1 };
size_t recent_display_bytes(const ListEntry* entry, char* out);
