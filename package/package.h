// The package routines: writing an installer package (editor side) and
// reading its payload (Installer side).
//
// Layout of a package, N the image length, L the payload length:
//   0       N   the Installer image with its resources ("BINTYPE"/501 the
//               configuration document, "BINTYPE"/492 the banner, the
//               version resource whose fourth file-version part is the
//               silent marker)
//   N       4   L, unsigned 32-bit little-endian
//   N+4     L   the module file, byte for byte
//   N+4+L   ..  nothing, or the certificate table of a signed package
//
// Each concern has its header: the payload block, the document resource,
// the version stamp and the module check. Every status family says beside
// it what its success value is.
#pragma once

#include "common/file.h"
#include "package/checksum.h"
#include "package/config_keys.h"
#include "package/module_check.h"
#include "package/payload.h"
#include "package/resource_store.h"
#include "package/version_stamp.h"
