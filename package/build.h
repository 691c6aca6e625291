// Building an installer package: the one routine behind the editor's build
// button, its headless build and the test assembler.
//
// The steps, in order (a failure stops the build at its step):
//   the output's place; template size, module size and checksum; working
//   copy of the template and of the base document; the caller's keys and
//   the image-length placeholder; first store of the document; image
//   length; the image length into the document and second store; the
//   length held; payload block; silent marker (on the working copy, before
//   any signature); signing hook; output; the output read back; the output
//   put in place; a signed output compared once more.
//
// The output's place is checked first: a path too long for the file layer
// or a folder that takes no new file (one that does not exist) fails the
// build at the output step before anything is built, let alone signed.
//
// An unsigned package is built in a new temporary file in the output's
// folder ("~vtXXXX.tmp"), which at the end takes the output's place in one
// step. A package that is signed is built and signed in the caller's
// private folder, which only the user the build runs as can reach: anyone
// who may write to the output's folder could otherwise put a program of
// their own in the place of the working copy before the signing tool runs
// and have it signed. The signed copy is then copied into a new temporary
// file beside the output.
//
// Either way the temporary file beside the output is held open, shared for
// reading only, from the output step on, so that no other process can
// write, rename or delete it; it is read back through that handle (the
// payload block where the image length says; a signed package must also
// equal the signed copy byte for byte) and only then, let go, put in the
// output's place. A signed package is compared with the signed copy once
// more as the output and removed when it differs: between letting go and
// the rename someone else could have put a file of theirs in its place. A
// build that fails at any step before the rename leaves a previous output
// byte for byte as it was, and its temporary file never stays.
#pragma once

#include <windows.h>
#include <stdint.h>

#include "common/text.h"
#include "package/build_keys.h"

// Statuses of the build besides those of the routines it calls.
enum {
  ST_BUILD_COPY = -564,    // a file copy failed (system error says why)
  ST_BUILD_VERIFY = -565,  // the output does not hold what was built
  ST_BUILD_NAME = -566     // a path the ANSI code page cannot hold exactly
};

// The steps, in the order the build takes them.
enum PackageStep {
  PACKAGE_STEP_TEMPLATE = 1,   // size of the template
  PACKAGE_STEP_MODULE_SIZE,    // size of the module
  PACKAGE_STEP_CHECKSUM,       // package checksum of the module
  PACKAGE_STEP_COPY,           // working copy and working document
  PACKAGE_STEP_KEYS,           // the caller's keys, the image-length placeholder
  PACKAGE_STEP_STORE,          // first store of the document
  PACKAGE_STEP_MEASURE,        // image length: size of the working copy
  PACKAGE_STEP_STORE_AGAIN,    // image length into the document, second store
  PACKAGE_STEP_CHECK_LENGTH,   // the working copy is still image-length long
  PACKAGE_STEP_APPEND,         // payload block
  PACKAGE_STEP_STAMP,          // silent marker (only when asked for)
  PACKAGE_STEP_SIGN,           // signing hook (only when given)
  PACKAGE_STEP_OUTPUT,         // the output's place checked (first, untold);
                               // the package written beside the output; the
                               // output put in place (last, untold)
  PACKAGE_STEP_VERIFY,         // the package beside the output read back; a
                               // signed output compared again (last, untold)
  PACKAGE_STEP_DONE
};

struct PackageBuild {
  // Inputs.
  const wchar_t* template_path;
  const wchar_t* base_document;
  const wchar_t* module_path;       // NULL: no module and no payload block
  const wchar_t* working_document;  // of an unsigned build; handed to the key
                                    // writer in the ANSI code page
  const wchar_t* private_folder;    // of a signed build (required with sign):
                                    // an existing folder only this user can
                                    // reach; it receives the working copy and
                                    // the working document
  const wchar_t* output;
  bool silent;                      // stamp the fourth file-version part to 1
  bool image_length_given;          // the caller's keys set InstFileLen of
                                    // [Vantorel-Init] themselves (tests only)
  // Writes the caller's keys into document (ANSI path); called once, after
  // the copies, with module all zero and NULL when there is no module.
  // Returns 0 or a negative status with *sysError. NULL: no keys.
  int (*write_keys)(void* context, const PackageModule& module, const char* document,
                    DWORD* sysError);
  // Signs the working copy (in the private folder) in place; NULL: no
  // signing. Returns 0 or a negative status with *sysError.
  int (*sign)(void* context, const wchar_t* working_copy, DWORD* sysError);
  // Told each step before it runs (not the steps skipped, nor
  // PACKAGE_STEP_DONE); NULL: nothing is told.
  void (*progress)(void* context, PackageStep step);
  void* context;

  // Results.
  PackageStep step;  // the failing step, or PACKAGE_STEP_DONE
  int status;        // 0, or the failing step's status
  DWORD sys_error;   // the failing step's system error
  DWORD image_length;
  PackageModule module;               // file_name points into module_ansi
  char module_ansi[VT_PATH_CAP * 2];  // the module path in the ANSI code page
};

// Runs the build. Returns build->status. A failure to make the output's
// temporary file (and an output path of more than 259 characters,
// ERROR_FILENAME_EXCED_RANGE) fails at PACKAGE_STEP_OUTPUT with
// ST_BUILD_COPY before the first step is told; a signing hook without a
// private folder fails at PACKAGE_STEP_COPY with ST_BAD_ARGS. The working
// document of an unsigned build stays where it is (the caller owns its
// folder), as do the working files in the private folder; the temporary
// file beside the output never stays.
int package_build(PackageBuild* build);

// Writes count keys into the document (ANSI path) in order, with the
// document key writer. Returns 0 or the first failure's status.
int package_keys_write(const char* document, const PackageKey* keys, int count,
                       DWORD* sysError);
