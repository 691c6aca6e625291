// The project list store: "Project_List.mst", one record for every project
// ever saved, and "Project_List.now", the fifteen projects saved last, both
// in the editor's base folder (record layouts in
// editor/project/project_list_records.h).
//
// The lists are read in large chunks into one static buffer of the larger
// chunk size (225,420 bytes), whatever their length, and compared in place.
// The editor calls these routines from its user-interface thread, except
// record_project_build, which runs on the build thread while the
// user-interface thread waits for it.
//
// The lists of one base folder are shared by the editor and the headless
// builds that run beside it, in other processes. Their updates take turns:
// each holds a lock on the open master list from its read to its last
// write, so that no update writes over another's (a build's count raised
// by a headless build is never lost to the editor's next save). Reads take
// no lock; a replacement of the recent list that meets a reader is tried
// again (FileReplace).
#pragma once

#include <windows.h>

#include "common/text.h"
#include "editor/project/project_list_records.h"

// Results of the master-list routines.
enum {
  LIST_OK = 0,             // found / recorded
  LIST_NO_FILE = 1,        // the master list cannot be opened (or is missing),
                           // or another process kept its lock for 10 seconds
  LIST_NOT_FOUND = 2,      // no record has the key
  LIST_READ_FAILED = 3,    // a read failed
  LIST_SEEK_FAILED = 4,    // positioning on the record failed
  LIST_WRITE_FAILED = 5,   // writing the record failed
  LIST_BAD_TEXT = 6,       // a key, folder or file name does not fit its field
                           // or the project path is too long; nothing written
  LIST_BUILD_RECORDED = 999  // record_project_build wrote the record
};

// Results of read_recent_projects.
enum {
  RECENT_OK = 0,           // also for an empty list
  RECENT_NO_FILE = 1,      // the recent list cannot be opened (or is missing)
  RECENT_READ_FAILED = 2
};

// What find_project_entry reports of a record, as UTF-16 text: the four
// fixed fields as exactly their bytes (up to a zero byte), folder and file
// name up to their first zero byte.
struct ProjectEntry {
  wchar_t created_at[LIST_STAMP_LENGTH + 1];
  wchar_t updated_at[LIST_STAMP_LENGTH + 1];
  wchar_t build_count[6 + 1];
  wchar_t update_count[8 + 1];
  wchar_t folder[VT_PATH_CAP];
  wchar_t file_name[VT_PATH_CAP];
};

// Looks the GUID key up in the master list of base_folder. Returns LIST_OK
// (entry, when given, filled), LIST_NO_FILE, LIST_NOT_FOUND or
// LIST_READ_FAILED.
int find_project_entry(const wchar_t* base_folder, const wchar_t* key, ProjectEntry* entry,
                       DWORD* sysError);

// Records a save in the lists of base_folder: updates the project's master
// record in place or appends a new one (after the last whole record), and
// puts the project first in the recent list (dropping its older entry by
// key and the entry with the same path in any letter case). The project
// file itself is the caller's to write, once this has returned LIST_OK.
// updated_at is 14 characters (no terminator needed); the build count
// written is *build_count, or the record's own when that is higher (builds
// in other processes raise it), and *build_count becomes the count
// written. Returns LIST_OK, LIST_NO_FILE, LIST_READ_FAILED,
// LIST_SEEK_FAILED, LIST_WRITE_FAILED or LIST_BAD_TEXT; the recent list is
// written only after the master record. The recent list is left alone when
// it exists but cannot be read, so that its entries are never lost.
int record_project_save(const wchar_t* base_folder, const wchar_t* updated_at,
                        const wchar_t* project_name, const wchar_t* key, const wchar_t* folder,
                        const wchar_t* file_name, int* build_count, DWORD* sysError);

// Records a successful build in the project's master record of the lists
// of base_folder: a blank updated-at takes the created-at value, the build
// count becomes *build_count (the editor's count, raised for this build)
// or the record's own plus one when that is higher, and *build_count
// becomes the count written. Returns LIST_BUILD_RECORDED only when the
// record was written, otherwise LIST_NO_FILE, LIST_NOT_FOUND,
// LIST_READ_FAILED, LIST_SEEK_FAILED, LIST_WRITE_FAILED or LIST_BAD_TEXT.
int record_project_build(const wchar_t* base_folder, const wchar_t* key, int* build_count,
                         DWORD* sysError);

// The recent projects for the File menu: for each non-empty record in file
// order (at most fifteen), its menu text and the record without its line
// end.
struct RecentProjects {
  int count;
  wchar_t text[RECENT_SLOTS][RECENT_TEXT_CAP];
  RecentRecord records[RECENT_SLOTS];
};

// Reads the recent list of base_folder. Returns RECENT_OK, RECENT_NO_FILE
// or RECENT_READ_FAILED (projects then holds what was read before).
int read_recent_projects(const wchar_t* base_folder, RecentProjects* projects, DWORD* sysError);
