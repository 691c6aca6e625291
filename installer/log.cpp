// The log of a run: one line a step, in UTF-8, each written to the file as
// soon as it is known, so that the log of a run that stops halfway tells
// how far it got.
#include <stdarg.h>

#include "common/file.h"
#include "installer/installer.h"

namespace {

HANDLE Log;

const int kLineCap = 2 * VT_MESSAGE_CAP;

}  // namespace

void log_open(const wchar_t* path) {
  if (!path || !path[0] || Log) return;
  DWORD error = 0;
  // Runs append to one log, so that an install and its uninstall can share
  // it. The caller names the file and this run may be elevated: a link or
  // a second name of a file elsewhere, a device or a pipe is never written
  // through, and the run goes on without a log.
  if (FileOpenOwn(path, &Log, GENERIC_WRITE, FILE_SHARE_READ, OPEN_ALWAYS, &error) < 0) {
    Log = NULL;
    return;
  }
  if (FileSeekEnd(Log, &error) != ST_OK) log_close();
}

void log_line(const wchar_t* format, ...) {
  if (!Log) return;
  wchar_t text[kLineCap];
  SYSTEMTIME now;
  GetLocalTime(&now);
  int n = TextFormat(text, kLineCap, L"%04d-%02d-%02d %02d:%02d:%02d ", now.wYear, now.wMonth,
                     now.wDay, now.wHour, now.wMinute, now.wSecond);
  if (n < 0) return;
  wchar_t said[kLineCap];
  va_list args;
  va_start(args, format);
  int m = TextFormatV(said, kLineCap, format, args);
  va_end(args);
  // A line too long for its buffer says so rather than vanish; what it
  // holds from the caller (the command line, names of the document) makes
  // no line of its own.
  if (m < 0) TextCopy(said, kLineCap, L"…");
  m = static_cast<int>(log_text_escape(said, text + n, kLineCap - n - 2));
  text[n + m] = L'\r';
  text[n + m + 1] = L'\n';
  char bytes[kLineCap * 3];
  int size = WideCharToMultiByte(CP_UTF8, 0, text, n + m + 2, bytes, sizeof bytes, NULL, NULL);
  DWORD error = 0;
  if (size > 0) FileWrite(Log, bytes, static_cast<DWORD>(size), NULL, &error);
}

void log_close() {
  if (Log) CloseHandle(Log);
  Log = NULL;
}
