// Window helpers: placing small dialogs relative to the main window, the
// two small dialog procedures placed that way, centring the folder browser
// and a main window, bringing a window forward and the user's documents
// folder.
#pragma once

#include <windows.h>

#include "common/placement.h"

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
