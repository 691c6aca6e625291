// The project list store: finding, recording saves and builds, and the
// recent projects for the File menu.
#include "editor/project/project_list.h"

#include <string.h>

#include "common/file.h"
#include "editor/project/editor_text.h"
#include "editor/project/project_paths.h"

namespace {

// The one buffer every list read goes through: a chunk of the recent list
// (390 records) is the largest read.
unsigned char list_buffer[RECENT_CHUNK_SIZE];
static_assert(sizeof list_buffer >= MASTER_CHUNK_SIZE, "master chunk fits");
static_assert(sizeof list_buffer >= RECENT_FILE_SIZE, "recent file fits");

const DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE;

// The byte of the master list whose lock the updates take in turns: far
// beyond the end of any list, where no read ever comes.
const DWORD kLockOffset = 0x7FFFFFF0u;
const DWORD kLockPause = 20;       // milliseconds between attempts
const int kLockAttempts = 500;     // ten seconds

// Where a scan of the master list ended.
struct MasterScan {
  bool found;
  DWORD offset;       // of the record found, or after the last whole record
  int last_sequence;  // sequence number of the last record before offset
  MasterRecord record;  // the record found
};

// Scans the master list from its start for key, chunk by chunk. Returns 0
// or LIST_READ_FAILED. A trailing partial record is ignored.
int MasterScanRun(HANDLE file, const char* key, MasterScan* scan, DWORD* sysError) {
  scan->found = false;
  scan->offset = 0;
  scan->last_sequence = 0;
  for (;;) {
    DWORD got = 0;
    int st = FileRead(file, list_buffer, MASTER_CHUNK_SIZE, &got, sysError);
    if (st != ST_OK && st != ST_SHORT_READ) return LIST_READ_FAILED;
    DWORD records = got / MASTER_RECORD_SIZE;
    for (DWORD i = 0; i < records; ++i) {
      const MasterRecord* r =
          reinterpret_cast<const MasterRecord*>(list_buffer + i * MASTER_RECORD_SIZE);
      if (list_entry_has_key(&r->entry, key)) {
        scan->found = true;
        scan->record = *r;
        return 0;
      }
      scan->last_sequence = master_record_sequence(r);
      scan->offset += MASTER_RECORD_SIZE;
    }
    // A short read is the end of the file.
    if (got < MASTER_CHUNK_SIZE) return 0;
  }
}

// Opens the master list of base_folder for reading only, or for updating
// (created when missing).
int MasterOpen(const wchar_t* base_folder, HANDLE* file, bool update, DWORD* sysError) {
  wchar_t path[VT_PATH_CAP];
  *file = NULL;
  if (!store_path(base_folder, EDITOR_MASTER_LIST_FILE, path)) return ST_BAD_NAME;
  if (update)
    return FileOpen(path, file, GENERIC_READ | GENERIC_WRITE, kShareAll, OPEN_ALWAYS, sysError);
  return FileOpen(path, file, GENERIC_READ, kShareAll, OPEN_EXISTING, sysError);
}

// Writes one master record at offset. Returns 0, LIST_SEEK_FAILED or
// LIST_WRITE_FAILED.
int MasterWrite(HANDLE file, DWORD offset, const MasterRecord* record, DWORD* sysError) {
  if (FileSeek(file, offset, sysError) != ST_OK) return LIST_SEEK_FAILED;
  if (FileWrite(file, record, MASTER_RECORD_SIZE, NULL, sysError) != ST_OK)
    return LIST_WRITE_FAILED;
  return 0;
}

// Takes the lists' lock on the open master list, waiting while another
// process holds it. Returns false when it is still held after ten
// seconds; a file system that locks nothing is used unlocked.
bool ListLock(HANDLE master) {
  for (int attempt = 0; attempt < kLockAttempts; ++attempt) {
    if (LockFile(master, kLockOffset, 0, 1, 0)) return true;
    DWORD error = GetLastError();
    if (error != ERROR_LOCK_VIOLATION && error != ERROR_SHARING_VIOLATION) return true;
    Sleep(kLockPause);
  }
  return false;
}

void ListUnlock(HANDLE master) { UnlockFile(master, kLockOffset, 0, 1, 0); }

// Opens the master list for an update and takes the lists' lock. Returns
// false (nothing open) when either fails.
bool MasterOpenLocked(const wchar_t* base_folder, HANDLE* file, DWORD* sysError) {
  if (MasterOpen(base_folder, file, true, sysError) < 0) return false;
  if (ListLock(*file)) return true;
  *sysError = ERROR_LOCK_VIOLATION;
  CloseHandle(*file);
  *file = NULL;
  return false;
}

// The master list open for a look-up or an update, and where the scan of
// it for a key ended.
struct MasterView {
  HANDLE file;
  bool update;  // locked: the lists' update holds the lock until MasterClose
  MasterScan scan;
};

// Lets go of the lock (of an update) and the master list.
void MasterClose(MasterView* view) {
  if (view->update) ListUnlock(view->file);
  CloseHandle(view->file);
}

// Opens the master list of base_folder, for an update locked and created
// when missing, and scans it for key. Returns 0 with the list open (to be
// closed with MasterClose), or LIST_NO_FILE or LIST_READ_FAILED with
// nothing open.
int MasterFind(const wchar_t* base_folder, const char* key, bool update, MasterView* view,
               DWORD* sysError) {
  view->update = update;
  bool opened = update ? MasterOpenLocked(base_folder, &view->file, sysError)
                       : MasterOpen(base_folder, &view->file, false, sysError) >= 0;
  if (!opened) return LIST_NO_FILE;
  int st = MasterScanRun(view->file, key, &view->scan, sysError);
  if (st) MasterClose(view);
  return st;
}

bool KeyField(char* field, const wchar_t* key) {
  return text_to_field(field, sizeof ListEntry().key, key);
}

// Reads the recent list for an update. Returns false when it exists but
// cannot be read; a missing list gives an empty table.
bool RecentLoad(const wchar_t* path, RecentTable* table) {
  memset(table, 0, sizeof *table);
  HANDLE file;
  DWORD error = 0;
  int st = FileOpen(path, &file, GENERIC_READ, kShareAll, OPEN_EXISTING, &error);
  if (st == ST_FILE_NOT_FOUND) return true;
  if (st < 0) return false;
  DWORD got = 0;
  st = FileRead(file, list_buffer, RECENT_FILE_SIZE, &got, &error);
  CloseHandle(file);
  if (st != ST_OK && st != ST_SHORT_READ) return false;
  recent_table_load(table, list_buffer, got);
  return true;
}

// Puts entry first in the recent list of base_folder. Failures are not
// reported.
void RecentUpdate(const wchar_t* base_folder, const ListEntry* entry) {
  wchar_t path[VT_PATH_CAP];
  if (!store_path(base_folder, EDITOR_RECENT_LIST_FILE, path)) return;
  RecentTable table;
  if (!RecentLoad(path, &table)) return;
  recent_table_remove_key(&table, entry->key);
  recent_table_remove_path(&table, entry);
  recent_table_push_front(&table, entry);
  recent_table_store(&table, list_buffer);
  DWORD error = 0;
  FileReplaceWrite(path, RECENT_FILE_SIZE, list_buffer, &error);
}

void CopyFixed(wchar_t* out, const char* field, size_t size) {
  // Fixed fields are digits and spaces; their text always fits.
  field_to_text(out, size + 1, field, size);
}

}  // namespace

int find_project_entry(const wchar_t* base_folder, const wchar_t* key, ProjectEntry* entry,
                       DWORD* sysError) {
  char key_field[sizeof ListEntry().key];
  if (!KeyField(key_field, key)) return LIST_NOT_FOUND;
  MasterView view;
  int st = MasterFind(base_folder, key_field, false, &view, sysError);
  if (st) return st;
  MasterClose(&view);
  if (!view.scan.found) return LIST_NOT_FOUND;
  if (entry) {
    const MasterRecord& r = view.scan.record;
    CopyFixed(entry->created_at, r.created_at, sizeof r.created_at);
    CopyFixed(entry->updated_at, r.updated_at, sizeof r.updated_at);
    CopyFixed(entry->build_count, r.build_count, sizeof r.build_count);
    CopyFixed(entry->update_count, r.update_count, sizeof r.update_count);
    field_to_text(entry->folder, VT_PATH_CAP, r.entry.folder, sizeof r.entry.folder);
    field_to_text(entry->file_name, VT_PATH_CAP, r.entry.file_name, sizeof r.entry.file_name);
  }
  return LIST_OK;
}

int record_project_save(const wchar_t* base_folder, const wchar_t* updated_at,
                        const wchar_t* project_name, const wchar_t* key, const wchar_t* folder,
                        const wchar_t* file_name, int* build_count, DWORD* sysError) {
  // Every text is checked before anything is written: a folder or file
  // name that does not fit would register another file than the one saved.
  ListEntry entry;
  memset(&entry, 0, sizeof entry);
  text_to_field(entry.project_name, sizeof entry.project_name, project_name);
  if (!KeyField(entry.key, key) ||
      !text_to_field(entry.folder, sizeof entry.folder, folder) ||
      !text_to_field(entry.file_name, sizeof entry.file_name, file_name))
    return LIST_BAD_TEXT;
  // A project path too long for the file layer could not be opened again.
  wchar_t project_path[VT_PATH_MAX + 1];
  if (TextFormat(project_path, VT_PATH_MAX + 1, L"%s\\%s", folder, file_name) < 0)
    return LIST_BAD_TEXT;
  char stamp[LIST_STAMP_LENGTH];
  for (int i = 0; i < LIST_STAMP_LENGTH; ++i)
    stamp[i] = updated_at[i] < 0x80 ? static_cast<char>(updated_at[i]) : '?';

  MasterView view;
  int st = MasterFind(base_folder, entry.key, true, &view, sysError);
  if (st) return st;
  MasterRecord& record = view.scan.record;
  int count = *build_count;
  if (view.scan.found) {
    master_record_count_update(&record);
    memcpy(record.updated_at, stamp, sizeof record.updated_at);
    // Builds in other processes may have raised it since the editor read it.
    int stored = master_record_build_count(&record);
    if (stored > count) count = stored;
  } else {
    master_record_init(&record, entry.key, master_sequence_next(view.scan.last_sequence), stamp);
  }
  master_record_set_build_count(&record, count);
  record.entry = entry;
  st = MasterWrite(view.file, view.scan.offset, &record, sysError);
  if (st == 0) {
    *build_count = master_record_build_count(&record);
    RecentUpdate(base_folder, &entry);
  }
  MasterClose(&view);
  return st ? st : LIST_OK;
}

int record_project_build(const wchar_t* base_folder, const wchar_t* key, int* build_count,
                         DWORD* sysError) {
  char key_field[sizeof ListEntry().key];
  if (!KeyField(key_field, key)) return LIST_BAD_TEXT;
  MasterView view;
  int st = MasterFind(base_folder, key_field, true, &view, sysError);
  if (st) return st;
  MasterRecord& record = view.scan.record;
  if (!view.scan.found) st = LIST_NOT_FOUND;
  if (st == 0) {
    // Builds in other processes count too.
    int count = master_record_build_count(&record) + 1;
    if (*build_count > count) count = *build_count;
    master_record_note_build(&record, count);
    st = MasterWrite(view.file, view.scan.offset, &record, sysError);
    if (st == 0) *build_count = master_record_build_count(&record);
  }
  MasterClose(&view);
  return st ? st : LIST_BUILD_RECORDED;
}

int read_recent_projects(const wchar_t* base_folder, RecentProjects* projects, DWORD* sysError) {
  memset(projects, 0, sizeof *projects);
  wchar_t path[VT_PATH_CAP];
  HANDLE file;
  if (!store_path(base_folder, EDITOR_RECENT_LIST_FILE, path) ||
      FileOpen(path, &file, GENERIC_READ, kShareAll, OPEN_EXISTING, sysError) < 0)
    return RECENT_NO_FILE;
  int result = RECENT_OK;
  while (projects->count < RECENT_SLOTS) {
    DWORD got = 0;
    int st = FileRead(file, list_buffer, RECENT_CHUNK_SIZE, &got, sysError);
    if (st != ST_OK && st != ST_SHORT_READ) {
      result = RECENT_READ_FAILED;
      break;
    }
    DWORD records = got / RECENT_RECORD_SIZE;
    for (DWORD i = 0; i < records && projects->count < RECENT_SLOTS; ++i) {
      const RecentRecord* r =
          reinterpret_cast<const RecentRecord*>(list_buffer + i * RECENT_RECORD_SIZE);
      if (r->entry.key[0] == 0) continue;
      int n = projects->count++;
      projects->records[n].entry = r->entry;
      char text[RECENT_TEXT_BYTES];
      size_t len = recent_display_bytes(&r->entry, text);
      field_to_text(projects->text[n], RECENT_TEXT_CAP, text, len);
    }
    if (got < RECENT_CHUNK_SIZE) break;
  }
  CloseHandle(file);
  return result;
}
