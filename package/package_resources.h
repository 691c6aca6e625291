// The package's resources in the Installer image: the configuration
// document and the banner, of type "BINTYPE" with numeric names. Plain
// definitions, read by the resource compiler as well.
#pragma once

#define PACKAGE_RES_TYPE "BINTYPE"
#define PACKAGE_RES_DOCUMENT 501
#define PACKAGE_RES_BANNER 492
#define PACKAGE_RES_DOCUMENT_LANG 1024  // LANG_NEUTRAL, SUBLANG_DEFAULT
