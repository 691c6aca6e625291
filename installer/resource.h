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
#include "package/package_resources.h"

// Strings: start-up errors (2000 + status 11 to 14) and failed environment
// checks (2000 + status 21 to 25), then the texts of the operation and the
// dialogs. Every text the Installer shows is in its resources, but the
// three message-box captions, which both programs share
// (common/message.h); the lines of the log file ("-Log/") are the code's
// own.
#define IDS_STATUS_BASE 2000
#define IDS_ENV_DOCUMENT 2011
#define IDS_ENV_BANNER 2012
#define IDS_ENV_DOCUMENT_WRITE 2013
#define IDS_ENV_BANNER_WRITE 2014
#define IDS_CHECK_OS 2021
#define IDS_CHECK_ADMIN 2022
#define IDS_CHECK_EXTRACT 2023
#define IDS_CHECK_INTEGRITY 2024
#define IDS_CHECK_FOLDER 2025
// Failures of the operation, each with "(%d)": the system's error.
#define IDS_COPY_FAILED 2101
#define IDS_DELETE_FAILED 2102
#define IDS_REGISTER_FAILED 2103
#define IDS_UNINSTALLER_FAILED 2104
#define IDS_THREAD_FAILED 2105      // the worker could not start: "( %d )"
// The restart popup of a silent run: its first line, and its second when
// the run may restart the system or when it may not.
#define IDS_RESTART_NEEDED 2106
#define IDS_RESTART_ASK 2107
#define IDS_RESTART_TELL 2108
// Texts of the main dialog and its message boxes.
#define IDS_LEAD_INSTALL 2110       // the lead sentence of an install
#define IDS_STOP_ASK 2111
#define IDS_INSTALLED 2112
#define IDS_UNINSTALLED 2113
#define IDS_MODULE_MISSING 2114
#define IDS_RESTART_QUESTION 2115
#define IDS_VERSION_UNKNOWN 2116    // a module without a file version

// Controls of the main dialog.
#define IDC_MAIN_BANNER 122          // banner area, measured but never drawn
#define IDC_MAIN_TITLE 901           // "インストール情報", bold, over the banner
#define IDC_MAIN_LEAD 902            // what the run will do, over the banner
#define IDC_MAIN_INTRO 903
#define IDC_MAIN_HINT_STOP 904
#define IDC_MAIN_HINT_START 905
#define IDC_MAIN_GROUP 906
#define IDC_MAIN_LABEL_FILE 907
#define IDC_MAIN_LABEL_MODULE_VERSION 908
#define IDC_MAIN_LABEL_DESTINATION 909
#define IDC_MAIN_LABEL_PROGRAM 910
#define IDC_MAIN_LABEL_PROGRAM_VERSION 911
#define IDC_MAIN_LABEL_USER 912
#define IDC_MAIN_FILE 913            // file_name
#define IDC_MAIN_MODULE_VERSION 914  // the module's file version
#define IDC_MAIN_DESTINATION 915     // "Systemフォルダ"
#define IDC_MAIN_PROGRAM 916         // program_name
#define IDC_MAIN_PROGRAM_VERSION 917 // ver_major.ver_minor.ver_build
#define IDC_MAIN_USER 918            // user_name
#define IDC_MAIN_COMPANY 1022        // company_name, bold, grey
#define IDC_MAIN_START 1             // "開始"
#define IDC_MAIN_STOP 2              // "中止"; also the close box and Escape

// Commands the worker posts to the progress dialog.
#define IDC_PROGRESS_DONE 1    // the operation succeeded
#define IDC_PROGRESS_FAILED 2  // it failed; popup_line1 holds the message

// Controls of the warning popup.
#define IDC_POPUP_BACKGROUND 121
#define IDC_POPUP_ICON 122
#define IDC_POPUP_LINE1 901
#define IDC_POPUP_LINE2 902
#define IDC_POPUP_YES 1  // destroyed in single-button mode
#define IDC_POPUP_NO 2   // captioned "OK" in single-button mode

// Identifier of the popup's countdown timer.
#define IDT_POPUP_COUNTDOWN 5000
