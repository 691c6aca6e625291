// Sections and keys of the installer configuration document, the INI text
// that resource "BINTYPE"/501 of every package carries; the resources of a
// package, and how its numbers are written into the document.
//
// The names are narrow literals; the Installer reads them with the wide
// profile reader through WIDE(), which joins L"" to the literal.
#pragma once

#define WIDE(literal) L"" literal

// Sections, in document order.
#define CFG_INIT "Vantorel-Init"            // common to install and uninstall
#define CFG_COPY "Vantorel-Copy"            // the module file
#define CFG_UNINSTALL "Vantorel-UnInstall"  // uninstaller and its registry entry

// [Vantorel-Init]
#define CFG_INSTALL_GUID "InstallGUID"
#define CFG_PGM_NAME "InstPgmName"
#define CFG_VER_MAJOR "InstVerMajor"
#define CFG_VER_MINOR "InstVerMinor"
#define CFG_VER_BUILD "InstVerBuild"
#define CFG_EXE_NAME "InstExeName"
#define CFG_GUI_TITLE "InstGuiTitle"
#define CFG_GUI_CO_NAME "InstGuiCoName"
#define CFG_ADMINISTRATOR "Administrator"
#define CFG_INSTALL_TYPE "InstallType"
#define CFG_WARNING_MSG "WarningMsg"    // also [Vantorel-UnInstall]
#define CFG_WARNING_TYPE "WarningType"  // also [Vantorel-UnInstall]
#define CFG_COPY_ERROR "CopyError"
#define CFG_REBOOT_MSG "RebootMsg"      // also [Vantorel-UnInstall]
#define CFG_REBOOT_RUN "RebootRun"      // also [Vantorel-UnInstall]
#define CFG_UNINSTALL_RUN "UnInstallRun"
#define CFG_UNINSTALL_NOT "UnInstallNot"
#define CFG_OS_VER "InstOsVer"
#define CFG_FILE_LEN "InstFileLen"      // also [Vantorel-Copy]

// [Vantorel-Copy]
#define CFG_FILE_NAME "InstFileName"
#define CFG_FILE_CRC "InstFileCRC"

// [Vantorel-UnInstall]
#define CFG_UNINSTALL_TYPE "UnInstallType"
#define CFG_DELETE_ERROR "DeleteError"
#define CFG_UN_COMMENTS "UnInstallComments"
#define CFG_UN_DSP_NAME "UnInstallDspName"
#define CFG_UN_CO_NAME "UnInstallCoName"
#define CFG_UN_CO_URL "UnInstallCoURL"
#define CFG_UN_PGM_URL "UnInstallPgmURL"
#define CFG_UN_UPD_URL "UnInstallUpdURL"

// Resource of the document and of the banner: type "BINTYPE", numeric names.
#include "package/package_resources.h"

// How the package's numbers are written into the document: lengths
// (InstFileLen of both sections) as eight decimal digits, the module's
// checksum (InstFileCRC) as eight upper-case hexadecimal digits.
#define PACKAGE_LENGTH_FORMAT "%08d"
#define PACKAGE_CHECKSUM_FORMAT "%08X"

// InstFileLen of [Vantorel-Init] before the image length is known: the
// same width as PACKAGE_LENGTH_FORMAT of any image length, so both stores
// of the document are of one size and the image length measured after the
// first holds.
#define PACKAGE_IMAGE_LENGTH_PLACEHOLDER "00000000"

// The payload block's length field: L as four bytes, little-endian, at the
// image length.
enum { PACKAGE_LENGTH_FIELD_SIZE = 4 };
