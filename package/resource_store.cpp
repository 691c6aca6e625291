// The document resource of the package's image and the check of the
// image's length.
#include "package/resource_store.h"

#include "common/file.h"
#include "package/config_keys.h"
#include "package/pe_image.h"

namespace {

const DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE;

// Whether an existing file is no PE image, by its first bytes.
bool NotAnImage(const wchar_t* path) {
  HANDLE file = NULL;
  DWORD error = 0, got = 0;
  if (FileOpen(path, &file, GENERIC_READ, kShareAll, OPEN_EXISTING, &error) < 0) return false;
  unsigned char head[1024];
  int st = FileRead(file, head, sizeof head, &got, &error);
  CloseHandle(file);
  return (st == ST_OK || st == ST_SHORT_READ) && !pe_is_image(head, got);
}

}  // namespace

int write_document_resource(const wchar_t* package, const char* document, DWORD* sysError) {
  HANDLE heap = NULL;
  void* data = NULL;
  DWORD size = 0, ignored = 0;
  int st = FileLoad(document, &heap, &data, &size, sysError);
  // An empty document cannot be stored: an update without data deletes.
  if (st < 0 || size == 0) {
    if (heap) HeapBlockFree(&heap, &data, &ignored);
    if (st >= 0) *sysError = ERROR_HANDLE_EOF;
    return ST_DOC_LOAD;
  }
  int result = ST_DOC_STORED;
  HANDLE update = BeginUpdateResourceW(package, FALSE);
  if (!update) {
    *sysError = GetLastError();
    // Not every system says why; a file that is no image is told as such.
    if (*sysError != ERROR_BAD_EXE_FORMAT && NotAnImage(package)) *sysError = ERROR_BAD_EXE_FORMAT;
    result = *sysError == ERROR_BAD_EXE_FORMAT ? ST_RES_BAD_EXE : ST_RES_BEGIN;
  } else {
    BOOL stored = UpdateResourceW(update, WIDE(PACKAGE_RES_TYPE),
                                  MAKEINTRESOURCEW(PACKAGE_RES_DOCUMENT),
                                  PACKAGE_RES_DOCUMENT_LANG, data, size);
    DWORD store_error = stored ? 0 : GetLastError();
    if (!EndUpdateResourceW(update, !stored)) {
      *sysError = GetLastError();
      result = ST_RES_END;
    } else if (!stored) {
      *sysError = store_error;
      result = ST_RES_UPDATE;
    }
  }
  HeapBlockFree(&heap, &data, &ignored);
  return result;
}

int check_image_length(const wchar_t* package, DWORD image_length, DWORD* sysError) {
  DWORD size = 0;
  int st = query_file_size(package, &size, sysError);
  if (st < 0) return st;
  if (size != image_length) {
    *sysError = 0;
    return ST_IMAGE_CHANGED;
  }
  return ST_OK;
}
