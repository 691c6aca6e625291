// The key writer on a document file.
#include "package/profile_file.h"

#include "common/file.h"

namespace {

// Writes length bytes of text at offset and sets the file's length.
int WriteFrom(HANDLE file, DWORD offset, const char* text, DWORD length, DWORD* sysError) {
  int st = FileSeek(file, offset, sysError);
  if (st == ST_OK && length > offset)
    st = FileWrite(file, text + offset, length - offset, NULL, sysError);
  return st == ST_OK ? FileSetLength(file, length, sysError) : st;
}

// Writes the result over the file from the first byte that differs. The
// file is grown first, so that a full disk fails before a byte of the
// document changed; a write that fails later puts the old bytes back.
int Store(const char* path, const char* old_text, DWORD old_length, const char* text,
          DWORD length, DWORD* sysError) {
  DWORD first = 0;
  while (first < old_length && first < length && old_text[first] == text[first]) ++first;
  if (first == length && length == old_length) return ST_OK;
  HANDLE file = NULL;
  int st = FileOpenA(path, &file, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, OPEN_ALWAYS,
                     sysError);
  if (st < 0) return st;
  st = length > old_length ? FileSetLength(file, length, sysError) : ST_OK;
  if (st == ST_OK) {
    st = WriteFrom(file, first, text, length, sysError);
    DWORD ignored = 0;
    if (st != ST_OK) WriteFrom(file, first, old_text, old_length, &ignored);
  } else {
    DWORD ignored = 0;
    FileSetLength(file, old_length, &ignored);
  }
  CloseHandle(file);
  return st;
}

}  // namespace

int profile_write_file(const char* path, const char* section, const char* key, const char* value,
                       DWORD* sysError) {
  const PackageKey one = {section, key, value};
  return profile_write_file_keys(path, &one, 1, sysError);
}

int profile_write_file_keys(const char* path, const PackageKey* keys, int count,
                            DWORD* sysError) {
  HANDLE heap = NULL, out_heap[2] = {NULL, NULL};
  void* block = NULL;
  void* out[2] = {NULL, NULL};
  DWORD size = 0, ignored = 0;
  int st = FileLoad(path, &heap, &block, &size, sysError);
  if (st == ST_FILE_NOT_FOUND) st = ST_OK;  // written as a new document
  // Each key adds at most its bound to the text, so one capacity holds
  // every step; the keys go from one buffer to the other.
  size_t bound = size;
  for (int i = 0; i < count; ++i)
    bound += profile_write_bound(0, keys[i].section, keys[i].key, keys[i].value);
  if (st >= 0 && bound > 0x7FFFFFFFu) st = ST_PROFILE_SPACE;
  for (int i = 0; st >= 0 && i < 2; ++i)
    st = HeapBlockCreate(static_cast<int>(bound) + 1, &out_heap[i], &out[i], sysError);
  const char* text = static_cast<const char*>(block);
  size_t length = size;
  for (int i = 0; st >= 0 && i < count; ++i) {
    char* next = static_cast<char*>(out[i % 2]);
    st = profile_write_key(text, length, keys[i].section, keys[i].key, keys[i].value, next,
                           bound, &length);
    text = next;
  }
  if (st >= 0)
    st = Store(path, static_cast<const char*>(block), size, text, static_cast<DWORD>(length),
               sysError);
  if (heap) HeapBlockFree(&heap, &block, &ignored);
  for (int i = 0; i < 2; ++i)
    if (out_heap[i]) HeapBlockFree(&out_heap[i], &out[i], &ignored);
  return st;
}
