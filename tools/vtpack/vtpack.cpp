// vtpack: assembles an installer package from a template executable, a
// configuration document and a module with the package build of
// package/build.h, the routine behind the editor's build. The tests build
// their packages with it.
//
//   vtpack TEMPLATE DOCUMENT MODULE OUTPUT [Section.Key=Value ...] [--silent]
//
// TEMPLATE and DOCUMENT are never changed. TEMPLATE is copied to a working
// copy beside OUTPUT and DOCUMENT to the working document OUTPUT.ini (both
// gone at the end). The assignments are written into the working
// document in the order given, then [Vantorel-Copy] InstFileName,
// InstFileCRC ("%08X" of the module's package checksum) and InstFileLen
// ("%08d" of its size), each only when no assignment gave that key, so that
// a test can plant a wrong value. Then the build goes on: InstFileLen of
// [Vantorel-Init] as its placeholder, store the document, measure the image
// length, InstFileLen with it, store again, check that the length held,
// append the payload block; with --silent the fourth file-version part is
// stamped to 1; the working copy is read back and then replaces OUTPUT.
// An assignment of InstFileLen of [Vantorel-Init] is kept as given instead
// of the image length.
//
// MODULE "-" appends no payload block and writes none of the three module
// keys (a package cut short, for tests).
//
// On success it prints "image_length=N checksum=XXXXXXXX payload_length=L"
// and exits with 0; on failure it names the step with status and system
// error on stderr and exits with 1 (2 for a wrong command line). Paths are
// Windows paths; under Wine a Linux path is "Z:" with backslashes.
#include <windows.h>

#include <stdio.h>
#include <string.h>
#include <wchar.h>

#include "common/file.h"
#include "common/status.h"
#include "common/text.h"
#include "package/build.h"
#include "package/config_keys.h"
#include "package/package.h"

namespace {

const int kAssignmentsMax = 64;
const int kTextCap = 1024;

struct Assignment {
  char section[kTextCap];
  char key[kTextCap];
  char value[kTextCap];
};

Assignment g_assignments[kAssignmentsMax];
int g_assignment_count = 0;

int Fail(const char* step, int status, DWORD error) {
  fprintf(stderr, "vtpack: %s failed: status %d, error %lu\n", step, status,
          static_cast<unsigned long>(error));
  return 1;
}

int Usage(const char* why) {
  fprintf(stderr, "vtpack: %s\nusage: vtpack TEMPLATE DOCUMENT MODULE OUTPUT "
                  "[Section.Key=Value ...] [--silent]\n", why);
  return 2;
}

// UTF-16 text in the ANSI code page; false when it does not fit or has a
// character the code page cannot hold.
bool ToAnsi(const wchar_t* text, char* out, int cap) {
  BOOL lost = FALSE;
  int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, -1, out, cap, NULL, &lost);
  return n > 0 && !lost;
}

bool SameName(const char* a, const char* b) { return lstrcmpiA(a, b) == 0; }

// Splits "Section.Key=Value" at the first "=" and the last "." before it.
bool ParseAssignment(const wchar_t* arg, Assignment* a) {
  char text[kTextCap];
  if (!ToAnsi(arg, text, kTextCap)) return false;
  char* equals = strchr(text, '=');
  if (!equals) return false;
  *equals = 0;
  char* dot = strrchr(text, '.');
  if (!dot || dot == text || !dot[1]) return false;
  *dot = 0;
  return TextCopy(a->section, kTextCap, text) >= 0 && TextCopy(a->key, kTextCap, dot + 1) >= 0 &&
         TextCopy(a->value, kTextCap, equals + 1) >= 0;
}

bool Assigned(const char* section, const char* key) {
  for (int i = 0; i < g_assignment_count; ++i)
    if (SameName(g_assignments[i].section, section) && SameName(g_assignments[i].key, key))
      return true;
  return false;
}

// The build's key hook: the assignments in order, then the module's keys
// that no assignment gave (none without a module).
int WriteKeys(void*, const PackageModule& module, const char* document, DWORD* sysError) {
  PackageKey keys[kAssignmentsMax + 3];
  int n = 0;
  for (int i = 0; i < g_assignment_count; ++i) {
    const Assignment& a = g_assignments[i];
    keys[n++] = PackageKey{a.section, a.key, a.value};
  }
  char crc[16], length[16];
  TextFormat(crc, sizeof crc, PACKAGE_CHECKSUM_FORMAT, static_cast<unsigned>(module.checksum));
  TextFormat(length, sizeof length, PACKAGE_LENGTH_FORMAT, static_cast<int>(module.size));
  const PackageKey own[] = {{CFG_COPY, CFG_FILE_NAME, module.file_name},
                            {CFG_COPY, CFG_FILE_CRC, crc},
                            {CFG_COPY, CFG_FILE_LEN, length}};
  for (const PackageKey& k : own)
    if (module.file_name && !Assigned(k.section, k.key)) keys[n++] = k;
  return package_keys_write(document, keys, n, sysError);
}

// What the failure message calls the failing step. Both copies are one
// step; the base document tells which failed.
const char* StepName(const PackageBuild& b) {
  switch (b.step) {
    case PACKAGE_STEP_TEMPLATE: return "template size";
    case PACKAGE_STEP_MODULE_SIZE: return "module size";
    case PACKAGE_STEP_CHECKSUM: return "module checksum";
    case PACKAGE_STEP_COPY:
      if (b.status == ST_BUILD_NAME) return "working document path";
      return FileKindGet(b.base_document) == FILE_KIND_NONE
                 ? "copying the document"
                 : "copying the template";
    case PACKAGE_STEP_KEYS: return "writing the document";
    case PACKAGE_STEP_STORE:
    case PACKAGE_STEP_STORE_AGAIN: return "storing the document";
    case PACKAGE_STEP_MEASURE: return "image length";
    case PACKAGE_STEP_CHECK_LENGTH: return "checking the image length";
    case PACKAGE_STEP_APPEND: return "appending the payload block";
    case PACKAGE_STEP_STAMP: return "stamping the silent marker";
    case PACKAGE_STEP_OUTPUT: return "writing the output";
    case PACKAGE_STEP_VERIFY: return "reading the output back";
    default: return "the build";
  }
}

// Builds the package with its working document beside the output.
int Pack(PackageBuild* b) {
  wchar_t document[VT_PATH_CAP];
  if (TextFormat(document, VT_PATH_CAP, L"%s.ini", b->output) < 0)
    return Fail("working file names", ST_BUILD_NAME, ERROR_FILENAME_EXCED_RANGE);
  b->working_document = document;
  b->write_keys = WriteKeys;
  int rc = package_build(b) == ST_OK ? 0 : Fail(StepName(*b), b->status, b->sys_error);
  DeleteFileW(document);
  return rc;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 5) return Usage("four paths are needed");
  PackageBuild b{};
  b.template_path = argv[1];
  b.base_document = argv[2];
  b.module_path = wcscmp(argv[3], L"-") == 0 ? NULL : argv[3];
  b.output = argv[4];
  for (int i = 5; i < argc; ++i) {
    if (wcscmp(argv[i], L"--silent") == 0) {
      b.silent = true;
    } else if (g_assignment_count == kAssignmentsMax) {
      return Usage("too many assignments");
    } else if (!ParseAssignment(argv[i], &g_assignments[g_assignment_count++])) {
      return Usage("an assignment is not Section.Key=Value in the ANSI code page");
    }
  }
  b.image_length_given = Assigned(CFG_INIT, CFG_FILE_LEN);
  int rc = Pack(&b);
  if (rc == 0)
    printf("image_length=%lu checksum=%08X payload_length=%lu\n",
           static_cast<unsigned long>(b.image_length), static_cast<unsigned>(b.module.checksum),
           static_cast<unsigned long>(b.module.size));
  return rc;
}
