// The payload block: appended by the build, copied out by the Installer,
// each byte passed once through the file layer's copy.
#include "package/payload.h"

#include "common/file.h"
#include "package/byte_order.h"
#include "package/checksum.h"
#include "package/config_keys.h"

namespace {

const DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE;

void CloseIf(HANDLE* h) {
  if (*h) CloseHandle(*h);
  *h = NULL;
}

}  // namespace

int checksum_file(const char* path, uint32_t* value, DWORD* sysError) {
  HANDLE file = NULL;
  int st = FileOpenA(path, &file, GENERIC_READ, kShareAll, OPEN_EXISTING, sysError);
  if (st < 0) return st;
  FileCopy pass = {FILE_COPY_TO_END, NULL, NULL, NULL, checksum_update, 0, 0};
  st = FileCopyRange(file, &pass, sysError);
  CloseHandle(file);
  if (st == ST_OK) *value = pass.sum;
  return st;
}

int append_payload_block(const wchar_t* package, const wchar_t* module, DWORD* sysError) {
  HANDLE in = NULL, out = NULL;
  // A missing module appends nothing; the package is not even opened.
  int st = FileOpen(module, &in, GENERIC_READ, kShareAll, OPEN_EXISTING, sysError);
  if (st == ST_FILE_NOT_FOUND || st == ST_PATH_NOT_FOUND) return ST_OK;
  if (st < 0) return st;
  DWORD length = 0;
  st = FileSizeGet(in, &length, sysError);
  if (st == ST_OK)
    st = FileOpen(package, &out, GENERIC_READ | GENERIC_WRITE, kShareAll, OPEN_ALWAYS, sysError);
  if (st >= 0) st = FileSeekEnd(out, sysError);
  if (st == ST_OK) {
    unsigned char field[PACKAGE_LENGTH_FIELD_SIZE];
    le32_put(field, length);
    st = FileWrite(out, field, PACKAGE_LENGTH_FIELD_SIZE, NULL, sysError);
  }
  // Exactly the announced length is copied: a module that shrank while it
  // was copied fails the append instead of leaving a short block.
  if (st == ST_OK) {
    FileCopy copy = {length, out, NULL, NULL, NULL, 0, 0};
    st = FileCopyRange(in, &copy, sysError);
  }
  CloseIf(&in);
  CloseIf(&out);
  return st;
}

int extract_payload_into(HANDLE package, DWORD image_length, HANDLE target, uint32_t* checksum,
                         DWORD* sysError) {
  FileCopy copy = {0, target, NULL, NULL, checksum_update, 0, 0};
  int st = FileSeek(package, image_length, sysError);
  if (st == ST_OK) {
    unsigned char field[PACKAGE_LENGTH_FIELD_SIZE];
    st = FileRead(package, field, PACKAGE_LENGTH_FIELD_SIZE, NULL, sysError);
    // A length of 0 takes all that follows the field.
    copy.length = le32_get(field);
    if (copy.length == 0) copy.length = FILE_COPY_TO_END;
  }
  if (st == ST_OK) {
    st = FileCopyRange(package, &copy, sysError);
    // A shortened package gives what it still holds; the checksum tells.
    if (st == ST_SHORT_READ) st = ST_OK;
  }
  if (st == ST_OK) st = FileSeek(target, 0, sysError);
  *checksum = copy.sum;
  return st;
}

int payload_locate(HANDLE package, DWORD image_length, DWORD* offset, DWORD* length,
                   uint32_t* checksum, DWORD* sysError) {
  if (checksum) *checksum = 0;
  *length = 0;
  *offset = image_length + PACKAGE_LENGTH_FIELD_SIZE;
  if (image_length > 0xFFFFFFFFu - PACKAGE_LENGTH_FIELD_SIZE) {
    *sysError = ERROR_HANDLE_EOF;
    return ST_SHORT_READ;
  }
  unsigned char field[PACKAGE_LENGTH_FIELD_SIZE];
  int st = FileSeek(package, image_length, sysError);
  if (st == ST_OK) st = FileRead(package, field, PACKAGE_LENGTH_FIELD_SIZE, NULL, sysError);
  if (st != ST_OK) return st;
  // A length of 0 takes all that follows the field.
  FileCopy pass = {le32_get(field), NULL, NULL, NULL, checksum_update, 0, 0};
  if (pass.length == 0) pass.length = FILE_COPY_TO_END;
  if (!checksum) {
    // What the file holds after the field bounds the announced length.
    DWORD size = 0;
    st = FileSizeGet(package, &size, sysError);
    if (st == ST_OK) *length = size - *offset < pass.length ? size - *offset : pass.length;
    return st;
  }
  st = FileCopyRange(package, &pass, sysError);
  if (st == ST_SHORT_READ) st = ST_OK;
  *checksum = pass.sum;
  *length = pass.passed;
  return st;
}

int extract_payload(const wchar_t* package, DWORD image_length, const wchar_t* target,
                    uint32_t* checksum, DWORD* sysError, HANDLE* held) {
  HANDLE in = NULL, out = NULL;
  if (held) *held = NULL;
  *checksum = 0;
  int st = FileOpen(package, &in, GENERIC_READ, kShareAll, OPEN_EXISTING, sysError);
  // An existing target is emptied first: a longer leftover of the same name
  // must not keep bytes after the payload. A held target shares reading
  // only from the moment it is opened.
  if (st >= 0)
    st = FileOpen(target, &out, GENERIC_READ | GENERIC_WRITE, held ? FILE_SHARE_READ : kShareAll,
                  OPEN_ALWAYS, sysError);
  if (st >= 0) {
    st = ST_OK;
    if (!SetEndOfFile(out)) {
      *sysError = GetLastError();
      st = ST_WRITE_FAILED;
    }
  }
  if (st == ST_OK) st = extract_payload_into(in, image_length, out, checksum, sysError);
  if (st == ST_OK && held)
    *held = out;
  else
    CloseIf(&out);
  CloseIf(&in);
  return st;
}
