// vtpack: assembles an installer package from a template executable, a
// configuration document and a module, by the same steps and routines as
// the editor's build. The tests build their packages with it.
//
//   vtpack TEMPLATE DOCUMENT MODULE OUTPUT [Section.Key=Value ...] [--silent]
//
// TEMPLATE and DOCUMENT are never changed. TEMPLATE is copied to OUTPUT and
// DOCUMENT to the working document OUTPUT.ini (deleted at the end). The
// assignments are written into the working document in the order given,
// then [Vantorel-Copy] InstFileName, InstFileCRC ("%08X" of the module's
// package checksum) and InstFileLen ("%08d" of its size), each only when no
// assignment gave that key, so that a test can plant a wrong value. Then:
// InstFileLen of [Vantorel-Init] as its placeholder, store the document,
// measure the image length, InstFileLen with it, store again, check that
// the length held, append the payload block; with --silent the fourth
// file-version part is stamped to 1. An assignment of InstFileLen of
// [Vantorel-Init] is kept as given instead of the image length.
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

#include "common/cp932.h"
#include "common/text.h"
#include "package/config_keys.h"
#include "package/package.h"
#include "package/profile_file.h"

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

// The module's file name: the text after the last separator, walking the
// ANSI text so that the second byte of a double-byte character is never
// taken for one.
const char* FileNamePart(const char* path) {
  size_t n = strlen(path);
  ptrdiff_t back = Cp932LastIndexOf(path, n, '\\');
  ptrdiff_t slash = Cp932LastIndexOf(path, n, '/');
  ptrdiff_t cut = back > slash ? back : slash;
  return path + cut + 1;
}

// Copies a file over another and makes the copy writable.
bool CopyWritable(const wchar_t* from, const wchar_t* to, DWORD* error) {
  if (!CopyFileW(from, to, FALSE)) {
    *error = GetLastError();
    return false;
  }
  DWORD attributes = GetFileAttributesW(to);
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
    SetFileAttributesW(to, attributes & ~FILE_ATTRIBUTE_READONLY);
  return true;
}

struct Build {
  const wchar_t* template_path;
  const wchar_t* document;
  const wchar_t* module;  // NULL: no payload block
  const wchar_t* output;
  bool silent;
  wchar_t work_document[VT_PATH_CAP];
  char work_document_a[VT_PATH_CAP * 2];
  DWORD image_length;
  uint32_t checksum;
  DWORD payload_length;
};

int WriteKey(const Build& b, const char* section, const char* key, const char* value) {
  DWORD error = 0;
  int st = profile_write_file(b.work_document_a, section, key, value, &error);
  if (st < 0) {
    fprintf(stderr, "vtpack: writing %s.%s\n", section, key);
    return Fail("writing the document", st, error);
  }
  return 0;
}

int Store(const Build& b) {
  DWORD error = 0;
  int st = write_document_resource(b.output, b.work_document_a, &error);
  return st == 1 ? 0 : Fail("storing the document", st, error);
}

// The module's facts, the copies and the keys: everything before the first
// store.
int Prepare(Build* b) {
  DWORD error = 0;
  int st;
  char module_a[VT_PATH_CAP * 2];
  if (b->module) {
    if (!ToAnsi(b->module, module_a, sizeof module_a))
      return Fail("module path in the ANSI code page", -1, ERROR_NO_UNICODE_TRANSLATION);
    if ((st = query_file_size(module_a, &b->payload_length, &error)) < 0)
      return Fail("module size", st, error);
    if ((st = checksum_file(module_a, &b->checksum, &error)) < 0)
      return Fail("module checksum", st, error);
  }
  if (TextFormat(b->work_document, VT_PATH_CAP, L"%s.ini", b->output) < 0 ||
      !ToAnsi(b->work_document, b->work_document_a, sizeof b->work_document_a))
    return Fail("working document path", -1, ERROR_FILENAME_EXCED_RANGE);
  if (!CopyWritable(b->template_path, b->output, &error))
    return Fail("copying the template", -1, error);
  if (!CopyWritable(b->document, b->work_document, &error))
    return Fail("copying the document", -1, error);
  for (int i = 0; i < g_assignment_count; ++i) {
    const Assignment& a = g_assignments[i];
    if (WriteKey(*b, a.section, a.key, a.value)) return 1;
  }
  if (b->module) {
    char crc[16], length[16];
    TextFormat(crc, sizeof crc, "%08X", static_cast<unsigned>(b->checksum));
    TextFormat(length, sizeof length, "%08d", static_cast<int>(b->payload_length));
    if (!Assigned(CFG_COPY, CFG_FILE_NAME) && WriteKey(*b, CFG_COPY, CFG_FILE_NAME, FileNamePart(module_a)))
      return 1;
    if (!Assigned(CFG_COPY, CFG_FILE_CRC) && WriteKey(*b, CFG_COPY, CFG_FILE_CRC, crc)) return 1;
    if (!Assigned(CFG_COPY, CFG_FILE_LEN) && WriteKey(*b, CFG_COPY, CFG_FILE_LEN, length)) return 1;
  }
  return 0;
}

// The writing steps from the first store on.
int Assemble(Build* b) {
  DWORD error = 0;
  int st;
  const bool own_length = !Assigned(CFG_INIT, CFG_FILE_LEN);
  if (own_length && WriteKey(*b, CFG_INIT, CFG_FILE_LEN, PACKAGE_IMAGE_LENGTH_PLACEHOLDER))
    return 1;
  if (Store(*b)) return 1;
  if ((st = query_file_size(b->output, &b->image_length, &error)) < 0)
    return Fail("image length", st, error);
  char length[16];
  TextFormat(length, sizeof length, "%08d", static_cast<int>(b->image_length));
  if (own_length && WriteKey(*b, CFG_INIT, CFG_FILE_LEN, length)) return 1;
  if (Store(*b)) return 1;
  if ((st = check_image_length(b->output, b->image_length, &error)) < 0)
    return Fail("checking the image length", st, error);
  if (b->module && (st = append_payload_block(b->output, b->module, &error)) < 0)
    return Fail("appending the payload block", st, error);
  if (b->silent) {
    int v[4];
    if ((st = read_version_parts(b->output, &v[0], &v[1], &v[2], &v[3], &error)) < 0)
      return Fail("reading the file version", st, error);
    if ((st = stamp_silent_marker(b->output, v[0], v[1], v[2], 1, &error)) < 0)
      return Fail("stamping the silent marker", st, error);
  }
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 5) return Usage("four paths are needed");
  Build b{};
  b.template_path = argv[1];
  b.document = argv[2];
  b.module = wcscmp(argv[3], L"-") == 0 ? NULL : argv[3];
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
  int rc = Prepare(&b);
  if (rc == 0) rc = Assemble(&b);
  if (b.work_document[0]) DeleteFileW(b.work_document);
  if (rc == 0)
    printf("image_length=%lu checksum=%08X payload_length=%lu\n",
           static_cast<unsigned long>(b.image_length), static_cast<unsigned>(b.checksum),
           static_cast<unsigned long>(b.payload_length));
  return rc;
}
