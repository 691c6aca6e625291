// Message texts from the string table and the message boxes.
//
// Texts come from the program's string table by number, with "???" for a
// number that has no text. Message boxes use one of three captions.
#pragma once

#include <windows.h>

#include "common/message_text.h"
#include "common/text.h"

// Message captions.
#define CAPTION_ERROR L"異常メッセージ"
#define CAPTION_WARNING L"警告メッセージ"
#define CAPTION_CONFIRM L"確認メッセージ"

// The program's instance; every string look-up uses it.
extern HINSTANCE ModuleInstance;

// The process-wide message buffer that WarningBoxShow and MessageTextShared
// load into; overwritten by every look-up.
extern wchar_t MessageBuffer[VT_MESSAGE_CAP];

// Loads text id into dest of capacity characters ("???" when missing,
// shortened by the string loader when it does not fit). Returns dest.
wchar_t* MessageTextLoad(wchar_t* dest, int capacity, UINT id);

// Formats text id with the further arguments into dest of capacity
// characters. Returns the length, or -1 (dest empty) when it does not fit.
int MessageTextFormat(wchar_t* dest, int capacity, UINT id, ...);

// Shows text id in a message box with MB_OK | MB_ICONEXCLAMATION.
void WarningBoxShow(HWND owner, UINT id, const wchar_t* caption);

// Loads text id into the shared message buffer and returns it.
const wchar_t* MessageTextShared(UINT id);
