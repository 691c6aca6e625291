// Message texts from the string table and small window helpers.
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

// Places a dialog below the main window of the process (on WM_INITDIALOG):
// centred over it, 180 pixels below its client origin. A dialog stays where
// it is when MainWindow or the dialog cannot be measured.
void DialogPlaceBelowMain(HWND dialog);

// The window the placed dialogs and the folder browser centre on, set by
// the program when its main window opens.
extern HWND MainWindow;

// Dialog procedures of the save confirmation (ends with 1, 2 or 3) and of
// the version information box (ends with 1 or 2), both placed below the
// main window.
INT_PTR CALLBACK SaveConfirmDialogProc(HWND dialog, UINT message, WPARAM wparam,
                                       LPARAM lparam);
INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wparam,
                                 LPARAM lparam);

// Owner and offset that BrowseDialogCallback centres the folder browser on.
extern HWND BrowseOwner;
extern POINT BrowseOffset;

// BrowseCallbackProc of the folder selection: preselects the folder passed
// as its data (none when the data is NULL or empty) and centres the dialog
// on BrowseOwner's client origin plus BrowseOffset. Returns 0.
int CALLBACK BrowseDialogCallback(HWND window, UINT message, LPARAM lparam,
                                  LPARAM data);

// Centres a window on the desktop, keeping its size, and shows it.
void WindowCentreOnDesktop(HWND window);

// Brings a window of another thread or process to the foreground.
void WindowBringForward(HWND window);

// The user's documents folder into dest of VT_PATH_CAP characters; "C:\"
// when the shell cannot be asked.
void DocumentsFolderGet(wchar_t* dest);

// Fills stamp with the local time. Returns 0, or -1 when the clock stands
// past the year 9999 (the digits are then all "0").
int TimeStampMake(TimeStamp* stamp);
