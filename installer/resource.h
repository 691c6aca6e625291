// Resource identifiers of the Installer, named by kind:
//   IDD_ dialog, IDI_ icon, IDS_ string, IDR_ "BINTYPE" data,
//   IDC_ control of a dialog.
// The numbers are fixed: packages built by the editor replace the document
// resource by number, and the string numbers follow the run statuses
// (text 2000 + status).
#pragma once

// Dialogs.
#define IDD_MAIN 401
#define IDD_PROGRESS 402
#define IDD_WARNING 405

// Icons: the main dialog's window icon and the three popup icons.
#define IDI_MAIN 107
#define IDI_POPUP_INFO 110     // restart prompt
#define IDI_POPUP_WARNING 111  // failed check, failed operation
#define IDI_POPUP_ERROR 112    // start-up error

// "BINTYPE" data: the configuration document and the banner GIF.
#define IDR_DOCUMENT 501
#define IDR_BANNER 492

// Strings: start-up errors (2000 + status 11 to 14) and failed environment
// checks (2000 + status 21 to 24).
#define IDS_STATUS_BASE 2000
#define IDS_ENV_DOCUMENT 2011
#define IDS_ENV_BANNER 2012
#define IDS_ENV_DOCUMENT_WRITE 2013
#define IDS_ENV_BANNER_WRITE 2014
#define IDS_CHECK_OS 2021
#define IDS_CHECK_ADMIN 2022
#define IDS_CHECK_EXTRACT 2023
#define IDS_CHECK_INTEGRITY 2024

// Controls of the warning popup.
#define IDC_POPUP_BACKGROUND 121
#define IDC_POPUP_ICON 122
#define IDC_POPUP_LINE1 901
#define IDC_POPUP_LINE2 902
#define IDC_POPUP_YES 1  // destroyed in single-button mode
#define IDC_POPUP_NO 2   // captioned "OK" in single-button mode

// Identifier of the popup's countdown timer.
#define IDT_POPUP_COUNTDOWN 5000
