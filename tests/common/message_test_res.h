// Resource ids of the message and window tests.
#pragma once

// Texts of the string table.
#define IDS_MUTEX_FAILED 2001    // "%d : %d" of a failed single-instance mutex
#define IDS_TWO_LINES 2021       // a two-line text of the Installer
#define IDS_NAMED 2100           // a text with a name
#define IDS_FIFTEEN 2101         // fifteen characters, for truncation
#define IDS_MISSING 2999         // no such text

// Dialogs placed below the main window.
#define IDD_ABOUT 103
#define IDD_SAVE_CONFIRM 404
// A dialog with one edit field, for the edit driver.
#define IDD_EDIT 500
#define IDC_EDIT_NAME 1101

// A push button whose command ends neither placed dialog.
#define IDC_STRAY 9
