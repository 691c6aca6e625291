// Resource identifiers of the editor, named by kind:
//   IDD_ dialog, IDM_ menu and menu command, IDI_ icon, IDS_ string,
//   IDC_ control of a dialog (IDC_SIGN_ those of the signing dialog).
// The numbers are fixed; the project form's controls are bound by these
// names in editor/form_rules.cpp. No windows.h here: the form's rules,
// which compile without it, take their names from this file.
#pragma once

// Dialogs.
#define IDD_ABOUT 103
#define IDD_MAIN 401
#define IDD_PROGRESS 402
#define IDD_SIGNING 403
#define IDD_SAVE_CONFIRM 404

// Menu and its commands.
#define IDM_MAIN 109
#define IDM_ABOUT 104
#define IDM_EXIT 105
#define IDM_NEW 601
#define IDM_OPEN 602
#define IDM_SAVE 603
#define IDM_SAVE_AS 604
#define IDM_BUILD 615
#define IDM_RECENT_FIRST 651  // 651-665: recent projects
#define IDM_RECENT_LAST 665
#define IDM_RECENT_SEPARATOR 666

// Icons.
#define IDI_EDITOR 107
#define IDI_CONFIRM 110

// Keyboard shortcuts of the main window.
#define IDA_MAIN 120

// Strings: messages by number, then texts of the editor's own.
#define IDS_MUTEX_FAILED 2001       // "%d : %d"
#define IDS_NOT_A_MODULE 2002
#define IDS_UNREGISTERED 2003
#define IDS_NO_PROJECT_NAME 2004
#define IDS_NO_PROJECT_FOLDER 2005
#define IDS_NO_PRODUCT_NAME 2006
#define IDS_NO_VERSION 2007
#define IDS_NO_MODULE 2008
#define IDS_NO_OS 2009
#define IDS_NO_SETUP_NAME 2010
#define IDS_NO_INSTALLER_FOLDER 2011
#define IDS_PROJECT_UNREADABLE 2012
#define IDS_PROJECT_NOT_PROJECT 2013
#define IDS_PROJECT_INVALID 2014
#define IDS_SIGN_NO_TOOL 2021
#define IDS_SIGN_NO_CERTIFICATE 2022
#define IDS_SIGN_NO_PASSWORD 2023
// A save that failed or was incomplete: 2100 + the result of
// save_project_file, each with "( %d, %d )".
#define IDS_SAVE_BASE 2100
#define IDS_SAVE_NO_COPY 2101
#define IDS_SAVE_NO_GUID 2102
#define IDS_SAVE_BAD_PATH 2103
#define IDS_SAVE_NO_FOLDER 2104
#define IDS_SAVE_LIST_FAILED 2105
#define IDS_SAVE_FILE_FAILED 2106
#define IDS_FOLDER_UNUSABLE 2108    // a chosen folder that no field can hold
#define IDS_NO_CHANGES 2109         // plain save of an unchanged project
#define IDS_SAVED 2110              // plain save without a dialog
#define IDS_GUID_REISSUE_ASK 2111
#define IDS_BUILD_UNSAVED_ASK 2112
#define IDS_SIGN_WRITE_FAILED 2113  // "( %d )"
// Signing failures with texts of their own, and the setup program name.
#define IDS_SIGN_FOREIGN 2120       // "%s": the settings the project names
#define IDS_SIGN_UNTRUSTED 2121     // "%s": the settings file
#define IDS_SIGN_TIMED_OUT 2122     // "%d": the time limit in seconds
#define IDS_SIGN_PASSWORD 2123      // "( %d )": the system error
#define IDS_BAD_SETUP_NAME 2124     // a setup program name that is no plain file name
// Texts of the build: 2200 + the step of package/build.h that failed.
#define IDS_BUILD_STEP_BASE 2200
#define IDS_BUILD_THREAD 2230       // the worker could not start
#define IDS_BUILD_DONE 2231         // "%s": the output file
// Lines of the headless build: 2240 + the step being taken, then its own.
#define IDS_HEADLESS_STEP_BASE 2240
#define IDS_HEADLESS_USAGE 2260
#define IDS_HEADLESS_SIGNING 2261   // "%s": the signing tool's command line
#define IDS_HEADLESS_FAILED 2262    // "%d": the exit code
// Texts of the windows: the titles of the file dialogs and the folder
// browser, the File menu's exit item, the entries of the time-out lists.
#define IDS_SAVE_TITLE 2301
#define IDS_OPEN_TITLE 2302
#define IDS_MODULE_TITLE 2303
#define IDS_CERTIFICATE_TITLE 2304
#define IDS_BROWSE_TITLE_JAPANESE 2305  // on a Japanese system
#define IDS_BROWSE_TITLE 2306           // on any other
#define IDS_EXIT_ITEM 2307
#define IDS_TIMEOUT_FIRST 2320  // 2320-2333: by the list's index
#define IDS_TIMEOUT_LAST 2333

// Controls of the main window (the project form).
#define IDC_PROJECT_GROUP 561
#define IDC_PROJECT_NAME 1101
#define IDC_PROJECT_FOLDER 1102
#define IDC_PROJECT_FOLDER_PICK 1103
#define IDC_PROJECT_GUID 1104
#define IDC_PROJECT_GUID_NEW 1105
#define IDC_PRODUCT_NAME 1106
#define IDC_VERSION_MAJOR 1107
#define IDC_VERSION_MINOR 1108
#define IDC_VERSION_BUILD 1109
#define IDC_BUILD_COUNT 571
#define IDC_CREATED_AT 575
#define IDC_UPDATED_AT 576
#define IDC_UPDATE_COUNT 577
#define IDC_MODULE_LABEL 579
#define IDC_MODULE_PATH 1111
#define IDC_MODULE_PICK 1112
#define IDC_OS_FIRST 1121  // 1121-1126: the OS check boxes
#define IDC_OS_2000 1121
#define IDC_OS_XP 1122
#define IDC_OS_2003 1123
#define IDC_OS_VISTA 1124
#define IDC_OS_7 1125
#define IDC_OS_2008 1126
#define IDC_OS_LAST 1126
#define IDC_SETUP_NAME 1133
#define IDC_REQUIRE_ADMIN 1134
#define IDC_INSTALLER_FOLDER 1136
#define IDC_INSTALLER_FOLDER_PICK 1137
#define IDC_INSTALL_NORMAL 1138
#define IDC_INSTALL_SILENT 1139
#define IDC_INSTALL_WARNING 1140
#define IDC_INSTALL_TIMEOUT_LABEL 587
#define IDC_INSTALL_TIMEOUT 1141
#define IDC_COPY_ERROR_END 1143
#define IDC_COPY_ERROR_RESTART 1144
#define IDC_INSTALL_REBOOT_MESSAGE 1145
#define IDC_INSTALL_REBOOT_RUN 1146
#define IDC_NO_UNINSTALL 1147
#define IDC_UNINSTALL_NORMAL 1148
#define IDC_UNINSTALL_SILENT 1149
#define IDC_UNINSTALL_WARNING 1150
#define IDC_UNINSTALL_TIMEOUT_LABEL 595
#define IDC_UNINSTALL_TIMEOUT 1151
#define IDC_DELETE_ERROR_LABEL 596
#define IDC_DELETE_ERROR_END 1152
#define IDC_DELETE_ERROR_RESTART 1153
#define IDC_UNINSTALL_REBOOT_MESSAGE 1154
#define IDC_UNINSTALL_REBOOT_RUN 1155
#define IDC_BUILD 1156
#define IDC_LINKED_INSTALLER 1157
#define IDC_SIGNING 1158

// Controls of the signing dialog.
#define IDC_SIGN_ON 1101
#define IDC_SIGN_TOOL_FOLDER 1102
#define IDC_SIGN_CERTIFICATE 1103
#define IDC_SIGN_PASSWORD 1104
#define IDC_SIGN_DESCRIPTION 1105
#define IDC_SIGN_DESCRIPTION_URL 1106
#define IDC_SIGN_TOOL_PICK 1107
#define IDC_SIGN_CERTIFICATE_PICK 1108
#define IDC_SIGN_TIMESTAMP 1109
#define IDC_SIGN_TIMESTAMP_URL 1110

// Controls of the about box and the save confirmation.
#define IDC_ABOUT_ICON 1001
#define IDC_CONFIRM_ICON 1002
