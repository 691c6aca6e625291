// The module check by the export table, reading the file through the file
// layer.
#include "package/module_check.h"

#include "common/file.h"
#include "package/pe_image.h"

namespace {

const DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE;

uint32_t SpanRead(void* context, uint32_t offset, void* out, uint32_t count) {
  const FileSpan* span = static_cast<const FileSpan*>(context);
  if (offset >= span->length) return 0;
  if (count > span->length - offset) count = span->length - offset;
  if (span->base > 0xFFFFFFFFu - offset) return 0;
  DWORD error = 0, got = 0;
  if (FileSeek(span->file, span->base + offset, &error) != ST_OK) return 0;
  int st = FileRead(span->file, out, count, &got, &error);
  return st == ST_OK || st == ST_SHORT_READ ? got : 0;
}

}  // namespace

PeReader file_span_reader(FileSpan* span) { return PeReader{SpanRead, span}; }

bool file_version_read(FileSpan span, uint32_t* ms, uint32_t* ls) {
  return pe_file_version(file_span_reader(&span), ms, ls);
}

int module_check_file(const wchar_t* path, const char* entry) {
  HANDLE file = NULL;
  DWORD error = 0;
  if (FileOpen(path, &file, GENERIC_READ, kShareAll, OPEN_EXISTING, &error) < 0)
    return PE_MODULE_NOT_IMAGE;
  FileSpan span = {file, 0, 0xFFFFFFFFu};
  int judged = pe_module_check(file_span_reader(&span), PACKAGE_MACHINE, entry);
  CloseHandle(file);
  return judged;
}

