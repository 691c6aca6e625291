// The package build: from the template and the module to the output read
// back, one step after the other, each stopping the build when it fails.
#include "package/build.h"

#include <string.h>

#include "common/cp932.h"
#include "common/file.h"
#include "common/text.h"
#include "package/byte_order.h"
#include "package/package.h"
#include "package/profile_file.h"

namespace {

const DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE;
const int kTempNames = 64;       // names tried for the output's temporary file
const DWORD kPatchImageMax = 16u << 20;  // largest image searched for its document

// What the steps share besides the caller's record.
struct Work {
  PackageBuild* b;
  char document[VT_PATH_CAP * 2];  // the working document, ANSI
  wchar_t copy[VT_PATH_CAP];       // the working copy the steps write
  bool beside;                     // it is a temporary file beside the output
};

// UTF-16 text in the ANSI code page, exactly. Fails with
// ERROR_NO_UNICODE_TRANSLATION for a character the code page cannot hold
// (no best-fit stand-in: it would name another file) and with the system's
// error for a text that does not fit.
int ToAnsi(const wchar_t* text, char* out, int cap, DWORD* sysError) {
  BOOL lost = FALSE;
  int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, -1, out, cap, NULL, &lost);
  if (n > 0 && !lost) return ST_OK;
  *sysError = n > 0 ? ERROR_NO_UNICODE_TRANSLATION : GetLastError();
  out[0] = 0;
  return ST_BUILD_NAME;
}

// The module's file name: the text after the last separator, walking the
// ANSI text so that the second byte of a double-byte character ("ソ" ends
// in 0x5C) is never taken for a backslash.
const char* FileNamePart(const char* path) {
  size_t n = TextLength(path);
  ptrdiff_t back = Cp932LastIndexOf(path, n, '\\');
  ptrdiff_t slash = Cp932LastIndexOf(path, n, '/');
  return path + (back > slash ? back : slash) + 1;
}

// Copies a file over another and makes the copy writable: a template or a
// base document installed read-only must not make its copy so.
int CopyWritable(const wchar_t* from, const wchar_t* to, DWORD* sysError) {
  if (!CopyFileW(from, to, FALSE)) {
    *sysError = GetLastError();
    return ST_BUILD_COPY;
  }
  FileReadOnlyClear(to);
  return ST_OK;
}

// Stores the working document in the working copy.
int Store(Work* w, DWORD* sysError) {
  int st = write_document_resource(w->copy, w->document, sysError);
  return st == 1 ? ST_OK : st;
}

int Mismatch(DWORD* sysError) {
  *sysError = 0;
  return ST_BUILD_VERIFY;
}

// Copies what follows the file pointer of in to out.
int CopyContent(HANDLE in, HANDLE out, DWORD* sysError) {
  FileCopy copy = {FILE_COPY_TO_END, out, NULL, NULL, NULL, 0, 0};
  return FileCopyRange(in, &copy, sysError);
}

// Creates a new file beside path, in the same folder, and opens it for
// writing; its name is left in temp. A folder that does not exist fails
// with ERROR_PATH_NOT_FOUND, as the open says.
int TempBeside(const wchar_t* path, wchar_t* temp, HANDLE* file, DWORD* sysError) {
  size_t cut = 0;
  for (size_t i = 0; path[i]; ++i)
    if (path[i] == L'\\' || path[i] == L'/') cut = i + 1;
  DWORD seed = GetTickCount() ^ (GetCurrentProcessId() << 8);
  for (int i = 0; i < kTempNames; ++i) {
    wchar_t name[16];
    TextFormat(name, 16, L"~vt%04X.tmp", static_cast<unsigned>((seed + i) & 0xFFFF));
    if (TextCopy(temp, VT_PATH_CAP, path) < 0) break;
    temp[cut] = 0;
    if (TextAppend(temp, VT_PATH_CAP, name) < 0 || TextLength(temp) > VT_PATH_MAX) break;
    int st = FileOpen(temp, file, GENERIC_WRITE, 0, CREATE_NEW, sysError);
    if (st != ST_FILE_EXISTS) return st < 0 ? st : ST_OK;
    if (i + 1 == kTempNames) return st;  // every name taken
  }
  *sysError = ERROR_FILENAME_EXCED_RANGE;
  return ST_BUILD_COPY;
}

// Reads the payload block at the image length of the open output and
// compares its length field and checksum with the module's.
int PayloadMatches(HANDLE file, const PackageBuild& b, DWORD* sysError) {
  unsigned char field[PACKAGE_LENGTH_FIELD_SIZE];
  int st = FileSeek(file, b.image_length, sysError);
  if (st == ST_OK) st = FileRead(file, field, PACKAGE_LENGTH_FIELD_SIZE, NULL, sysError);
  if (st == ST_SHORT_READ) return Mismatch(sysError);
  if (st != ST_OK) return st;
  if (le32_get(field) != b.module.size) return Mismatch(sysError);
  FileCopy pass = {b.module.size, NULL, NULL, NULL, checksum_update, 0, 0};
  st = FileCopyRange(file, &pass, sysError);
  if (st == ST_SHORT_READ) return Mismatch(sysError);
  if (st != ST_OK) return st;
  return pass.sum == b.module.checksum ? ST_OK : Mismatch(sysError);
}

// The steps, each returning 0 or its failure's status.

int StepTemplate(Work* w, DWORD* sysError) {
  DWORD size = 0;
  return query_file_size(w->b->template_path, &size, sysError);
}

int StepModuleSize(Work* w, DWORD* sysError) {
  PackageBuild* b = w->b;
  int st = ToAnsi(b->module_path, b->module_ansi, sizeof b->module_ansi, sysError);
  DWORD size = 0;
  if (st == ST_OK) st = query_file_size(b->module_ansi, &size, sysError);
  b->module.size = size;
  return st;
}

int StepChecksum(Work* w, DWORD* sysError) {
  PackageBuild* b = w->b;
  int st = checksum_file(b->module_ansi, &b->module.checksum, sysError);
  if (st == ST_OK) b->module.file_name = FileNamePart(b->module_ansi);
  return st;
}

int StepCopy(Work* w, DWORD* sysError) {
  PackageBuild* b = w->b;
  int st = ToAnsi(b->working_document, w->document, sizeof w->document, sysError);
  if (st == ST_OK) st = CopyWritable(b->template_path, w->copy, sysError);
  if (st == ST_OK) st = CopyWritable(b->base_document, b->working_document, sysError);
  return st;
}

// The caller's keys, then the image length's placeholder: of the same
// width as the length, so that the first store gives the final size.
int StepKeys(Work* w, DWORD* sysError) {
  PackageBuild* b = w->b;
  int st = b->write_keys ? b->write_keys(b->context, b->module, w->document, sysError) : ST_OK;
  if (st == ST_OK && !b->image_length_given)
    st = profile_write_file(w->document, CFG_INIT, CFG_FILE_LEN,
                            PACKAGE_IMAGE_LENGTH_PLACEHOLDER, sysError);
  return st;
}

int StepStore(Work* w, DWORD* sysError) { return Store(w, sysError); }

int StepMeasure(Work* w, DWORD* sysError) {
  return query_file_size(w->copy, &w->b->image_length, sysError);
}

// Offset of the one place where the working copy holds the document's
// bytes (needle, n bytes); false when they are not there exactly once.
bool FoundOnce(const char* hay, DWORD size, const char* needle, DWORD n, DWORD* at) {
  bool found = false;
  for (DWORD i = 0; n && i + n <= size; ++i) {
    if (hay[i] != needle[0] || memcmp(hay + i, needle, n) != 0) continue;
    if (found) return false;
    found = true;
    *at = i;
  }
  return found;
}

// The second store changes nothing but the eight placeholder digits, and a
// stored document lies in the image byte for byte: the digits are written
// where they lie, which keeps every other byte of the working copy and
// spares rewriting the image. Returns false, having changed nothing, when
// the document is not found exactly once (the full store then runs).
bool LengthPatched(Work* w, const char* digits, DWORD* sysError) {
  HANDLE doc_heap = NULL, copy_heap = NULL, file = NULL;
  void* doc = NULL;
  void* copy = NULL;
  DWORD doc_size = 0, copy_size = 0, ignored = 0, at = 0;
  size_t key_at = 0, key_length = 0;
  bool patched =
      FileLoad(w->document, &doc_heap, &doc, &doc_size, &ignored) == ST_OK && doc &&
      profile_find_key(static_cast<const char*>(doc), doc_size, CFG_INIT, CFG_FILE_LEN, &key_at,
                       &key_length) &&
      key_length == TextLength(digits) &&
      query_file_size(w->copy, &copy_size, &ignored) == ST_OK && copy_size <= kPatchImageMax &&
      HeapBlockCreate(static_cast<int>(copy_size), &copy_heap, &copy, &ignored) == ST_OK &&
      FileReadAll(w->copy, copy_size, copy, &ignored) == ST_OK &&
      FoundOnce(static_cast<const char*>(copy), copy_size, static_cast<const char*>(doc),
                doc_size, &at);
  if (patched) {
    int st = FileOpen(w->copy, &file, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                      OPEN_EXISTING, sysError);
    if (st >= 0) st = FileSeek(file, at + static_cast<DWORD>(key_at), sysError);
    if (st == ST_OK) st = FileWrite(file, digits, static_cast<DWORD>(key_length), NULL, sysError);
    if (file) CloseHandle(file);
    patched = st == ST_OK;
  }
  if (doc_heap) HeapBlockFree(&doc_heap, &doc, &ignored);
  if (copy_heap) HeapBlockFree(&copy_heap, &copy, &ignored);
  return patched;
}

int StepStoreAgain(Work* w, DWORD* sysError) {
  PackageBuild* b = w->b;
  if (b->image_length_given) return Store(w, sysError);
  char length[16];
  TextFormat(length, sizeof length, PACKAGE_LENGTH_FORMAT, static_cast<int>(b->image_length));
  bool patched = LengthPatched(w, length, sysError);
  int st = profile_write_file(w->document, CFG_INIT, CFG_FILE_LEN, length, sysError);
  if (st < 0 || patched) return st;
  return Store(w, sysError);
}

int StepCheckLength(Work* w, DWORD* sysError) {
  return check_image_length(w->copy, w->b->image_length, sysError);
}

int StepAppend(Work* w, DWORD* sysError) {
  return append_payload_block(w->copy, w->b->module_path, sysError);
}

// The silent marker goes on the working copy: stamped after signing it
// would no longer match the signature.
int StepStamp(Work* w, DWORD* sysError) {
  int a = 0, b = 0, c = 0, d = 0;
  int st = read_version_parts(w->copy, &a, &b, &c, &d, sysError);
  return st < 0 ? st : stamp_silent_marker(w->copy, a, b, c, 1, sysError);
}

int StepSign(Work* w, DWORD* sysError) {
  return w->b->sign(w->b->context, w->copy, sysError);
}

// A working copy built beside the output takes the output's place in one
// step, its bytes on the disk first. Otherwise the working copy goes to a
// new file beside the output, which then replaces the output in one step.
// Either way a failure on the way leaves a previous output as it was, and
// no half-written one.
int StepOutput(Work* w, DWORD* sysError) {
  PackageBuild* b = w->b;
  wchar_t temp[VT_PATH_CAP];
  HANDLE in = NULL, out = NULL;
  int st = ST_OK;
  if (w->beside) {
    TextCopy(temp, VT_PATH_CAP, w->copy);
    st = FileOpen(temp, &out, GENERIC_WRITE, 0, OPEN_EXISTING, sysError);
  } else if (TempBeside(b->output, temp, &out, sysError) < 0) {
    return ST_BUILD_COPY;
  } else {
    st = FileOpen(w->copy, &in, GENERIC_READ, kShareAll, OPEN_EXISTING, sysError);
    if (st >= 0) st = CopyContent(in, out, sysError);
  }
  if (st >= 0 && !FlushFileBuffers(out)) {
    *sysError = GetLastError();
    st = ST_BUILD_COPY;
  }
  if (in) CloseHandle(in);
  if (out) CloseHandle(out);
  if (st >= 0 && FileReplace(temp, b->output, sysError) < 0) st = ST_BUILD_COPY;
  if (st >= 0) {
    w->beside = false;  // it is the output now
    return ST_OK;
  }
  if (!w->beside) DeleteFileW(temp);
  return ST_BUILD_COPY;
}

// The output read back: the payload block where the image length says,
// holding the module's length and checksum; without a module, the image
// alone.
int StepVerify(Work* w, DWORD* sysError) {
  const PackageBuild& b = *w->b;
  DWORD size = 0;
  int st = query_file_size(b.output, &size, sysError);
  if (st < 0) return st;
  if (!b.module_path) return size == b.image_length ? ST_OK : Mismatch(sysError);
  // A signed package carries its certificate table after the block.
  if (size < b.image_length || size - b.image_length < PACKAGE_LENGTH_FIELD_SIZE ||
      size - b.image_length - PACKAGE_LENGTH_FIELD_SIZE < b.module.size)
    return Mismatch(sysError);
  HANDLE file = NULL;
  st = FileOpen(b.output, &file, GENERIC_READ, kShareAll, OPEN_EXISTING, sysError);
  if (st < 0) return st;
  st = PayloadMatches(file, b, sysError);
  CloseHandle(file);
  return st;
}

bool HasModule(const PackageBuild& b) { return b.module_path != NULL; }
bool IsSilent(const PackageBuild& b) { return b.silent; }
bool HasSigner(const PackageBuild& b) { return b.sign != NULL; }

struct StepRow {
  PackageStep step;
  bool (*runs)(const PackageBuild& b);  // NULL: always
  int (*run)(Work* w, DWORD* sysError);
};

const StepRow kSteps[] = {
    {PACKAGE_STEP_TEMPLATE, NULL, StepTemplate},
    {PACKAGE_STEP_MODULE_SIZE, HasModule, StepModuleSize},
    {PACKAGE_STEP_CHECKSUM, HasModule, StepChecksum},
    {PACKAGE_STEP_COPY, NULL, StepCopy},
    {PACKAGE_STEP_KEYS, NULL, StepKeys},
    {PACKAGE_STEP_STORE, NULL, StepStore},
    {PACKAGE_STEP_MEASURE, NULL, StepMeasure},
    {PACKAGE_STEP_STORE_AGAIN, NULL, StepStoreAgain},
    {PACKAGE_STEP_CHECK_LENGTH, NULL, StepCheckLength},
    {PACKAGE_STEP_APPEND, HasModule, StepAppend},
    {PACKAGE_STEP_STAMP, IsSilent, StepStamp},
    {PACKAGE_STEP_SIGN, HasSigner, StepSign},
    {PACKAGE_STEP_OUTPUT, NULL, StepOutput},
    {PACKAGE_STEP_VERIFY, NULL, StepVerify},
};

// Where the working copy is built: a new file beside the output when its
// folder takes one, so that the finished package only has to be renamed;
// otherwise the caller's working copy (and a folder that does not exist
// fails at the output step, the whole package built).
void WorkingCopyChoose(Work* w) {
  HANDLE file = NULL;
  DWORD ignored = 0;
  w->beside = TempBeside(w->b->output, w->copy, &file, &ignored) == ST_OK;
  if (file) CloseHandle(file);
  if (!w->beside) TextCopy(w->copy, VT_PATH_CAP, w->b->working_copy);
}

}  // namespace

int package_build(PackageBuild* b) {
  Work w;
  w.b = b;
  w.document[0] = 0;
  b->module = PackageModule{0, 0, NULL};
  b->module_ansi[0] = 0;
  b->image_length = 0;
  WorkingCopyChoose(&w);
  int st = ST_OK;
  for (const StepRow& row : kSteps) {
    if (row.runs && !row.runs(*b)) continue;
    b->step = row.step;
    if (b->progress) b->progress(b->context, row.step);
    DWORD error = 0;
    st = row.run(&w, &error);
    if (st != ST_OK) {
      b->status = st;
      b->sys_error = error;
      break;
    }
  }
  if (w.beside) DeleteFileW(w.copy);  // a build that did not finish
  if (st != ST_OK) return st;
  b->step = PACKAGE_STEP_DONE;
  b->status = ST_OK;
  b->sys_error = 0;
  return ST_OK;
}

int package_keys_write(const char* document, const PackageKey* keys, int count,
                       DWORD* sysError) {
  return profile_write_file_keys(document, keys, count, sysError);
}
