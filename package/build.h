// Building an installer package: the one routine behind the editor's build
// button, its headless build and the test assembler.
//
// The steps, in order (a failure stops the build at its step):
//   template size, module size and checksum; working copy of the template
//   and of the base document; the caller's keys and the image-length
//   placeholder; first store of the document; image length; the image
//   length into the document and second store; the length held; payload
//   block; silent marker (on the working copy, before any signature);
//   signing hook; output; the output read back.
//
// The working copy is a new temporary file in the output's folder, which
// the output step renames to the output in one step (the package is built
// where it goes, and never copied). When the output's folder takes no new
// file, the caller's working copy is used and the output step copies it to
// a temporary file there first; a folder that does not exist then fails at
// the output step with ERROR_PATH_NOT_FOUND, the whole package built.
//
// The output is never left half-written: a build that fails leaves a
// previous output file as it was, and its temporary file never stays.
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
  PACKAGE_STEP_OUTPUT,         // the output written and put in place
  PACKAGE_STEP_VERIFY,         // the output read back
  PACKAGE_STEP_DONE
};

struct PackageBuild {
  // Inputs.
  const wchar_t* template_path;
  const wchar_t* base_document;
  const wchar_t* module_path;       // NULL: no module and no payload block
  const wchar_t* working_copy;      // used when none can be made beside the output
  const wchar_t* working_document;  // handed to the key writer in the ANSI code page
  const wchar_t* output;
  bool silent;                      // stamp the fourth file-version part to 1
  bool image_length_given;          // the caller's keys set InstFileLen of
                                    // [Vantorel-Init] themselves (tests only)
  // Writes the caller's keys into document (ANSI path); called once, after
  // the copies, with module all zero and NULL when there is no module.
  // Returns 0 or a negative status with *sysError. NULL: no keys.
  int (*write_keys)(void* context, const PackageModule& module, const char* document,
                    DWORD* sysError);
  // Signs the working copy in place; NULL: no signing. Returns 0 or a
  // negative status with *sysError.
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

// Runs the build. Returns build->status. The working copy and the working
// document stay where they are (the caller owns their folder); the
// output's temporary file ("~vtXXXX.tmp" beside the output) never stays.
int package_build(PackageBuild* build);

// Writes count keys into the document (ANSI path) in order, with the
// document key writer. Returns 0 or the first failure's status.
int package_keys_write(const char* document, const PackageKey* keys, int count,
                       DWORD* sysError);
