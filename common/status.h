// Status codes of the common support library. Compiles without windows.h.
//
// A status is a signed 32-bit value: 0 success, 1 success with a note,
// negative a failure. The numbers appear in the messages both programs show
// and callers test for particular values, so they never change.
#pragma once

enum {
  ST_OK = 0,
  ST_OK_EXISTED = 1,  // opened or created; the file existed already

  // File access layer.
  ST_BAD_ARGS = -8,
  ST_DIR_BAD_PATH = -9,
  ST_HEAP_SIZE = -21,
  ST_HEAP_CREATE = -22,
  ST_HEAP_ALLOC = -23,
  ST_HEAP_NO_HEAP = -30,
  ST_HEAP_NO_BLOCK = -31,
  ST_HEAP_FREE = -32,
  ST_HEAP_DESTROY = -33,
  ST_BAD_NAME = -41,
  ST_INVALID_NAME = -42,
  ST_ACCESS_DENIED = -43,
  ST_FILE_EXISTS = -44,
  ST_PATH_NOT_FOUND = -45,
  ST_FILE_NOT_FOUND = -46,
  ST_OPEN_FAILED = -48,
  ST_BUSY = -49,
  ST_REFUSED = -51,
  ST_READ_FAILED = -52,
  ST_SHORT_READ = -53,
  ST_WRITE_FAILED = -55,
  ST_DISK_FULL = -56,
  ST_SHORT_WRITE = -57,
  ST_PAST_END = -58,
  ST_SEEK_FAILED = -59,
  ST_SEEK_PARAM = -60,
  ST_NEGATIVE_SEEK = -61,
  ST_SIZE_FAILED = -63,
  ST_INVALID_HANDLE = -64,
  ST_CREATE_FAILED = -67,
  ST_CONTENT_DIFFERS = -70,  // a compared file holds other bytes (ERROR_CRC)
  ST_DIR_PATH_NOT_FOUND = -128,
  ST_DIR_FAILED = -130,
  ST_DIR_ACCESS_DENIED = -132,
  ST_DIR_EXISTS = -133,

  // Starting a program and waiting for it.
  ST_PROC_BAD_PROGRAM = -140,  // no full path of at most 259 units
  ST_PROC_START = -141,        // CreateProcessW failed (system error says why)
  ST_PROC_WAIT = -142,         // the wait or the exit code failed
  ST_PROC_RUNNING = -143,      // still running when the time limit passed

  // Access control.
  ST_ACL_QUERY = -851,
  ST_ACL_MERGE = -852,
  ST_ACL_APPLY = -853
};
