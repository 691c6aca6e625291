// Message texts from the program's string table, the warning box and the
// local time stamp.
#include "common/message.h"

HINSTANCE ModuleInstance;
wchar_t MessageBuffer[VT_MESSAGE_CAP];

wchar_t* MessageTextLoad(wchar_t* dest, int capacity, UINT id) {
  // With a capacity of 0 LoadStringW would hand back a pointer into the
  // resource instead of copying; there is nothing to write into anyway.
  if (capacity <= 0) return dest;
  for (int i = 0; i < capacity; ++i) dest[i] = 0;
  if (LoadStringW(ModuleInstance, id, dest, capacity) == 0)
    TextCopy(dest, static_cast<size_t>(capacity), L"???");
  return dest;
}

int MessageTextFormat(wchar_t* dest, int capacity, UINT id, ...) {
  if (capacity <= 0) return -1;
  wchar_t format[VT_MESSAGE_CAP];
  MessageTextLoad(format, VT_MESSAGE_CAP, id);
  va_list args;
  va_start(args, id);
  int n = TextFormatV(dest, static_cast<size_t>(capacity), format, args);
  va_end(args);
  return n;
}

void WarningBoxShow(HWND owner, UINT id, const wchar_t* caption) {
  MessageBoxW(owner, MessageTextShared(id), caption, MB_OK | MB_ICONEXCLAMATION);
}

const wchar_t* MessageTextShared(UINT id) {
  return MessageTextLoad(MessageBuffer, VT_MESSAGE_CAP, id);
}
