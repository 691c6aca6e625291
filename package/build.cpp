// The package build: from the output's place and the template to the output
// read back and put in place, one step after the other, each stopping the
// build when it fails.
#include "package/build.h"

#include <string.h>

#include "common/cp932.h"
#include "common/file.h"
#include "common/text.h"
#include "package/byte_order.h"
#include "package/package.h"
#include "package/profile_file.h"

namespace {

const int kTempNames = 64;       // names tried for the output's temporary file
const DWORD kPatchImageMax = 16u << 20;  // largest image searched for its document

// What the steps share besides the caller's record.
struct Work {
  PackageBuild* b;
  char document[VT_PATH_CAP * 2];  // the working document, ANSI
  wchar_t document_path[VT_PATH_CAP];  // the same, UTF-16
  wchar_t copy[VT_PATH_CAP];       // the working copy the steps write
  wchar_t temp[VT_PATH_CAP];       // the file beside the output made by the
                                   // build ("" when there is none)
  HANDLE held;                     // temp, open from the output step on
  HANDLE source;                   // the signed copy, open from the output step on
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
// reading and writing, shared for reading only: while it is open nobody
// else writes, renames or deletes it. Its name is left in temp. A folder
// that does not exist fails with ERROR_PATH_NOT_FOUND, as the open says.
int TempBeside(const wchar_t* path, wchar_t* temp, HANDLE* file, DWORD* sysError) {
  size_t cut = 0;
  for (size_t i = 0; path[i]; ++i)
    if (path[i] == L'\\' || path[i] == L'/') cut = i + 1;
  DWORD seed = GetTickCount() ^ (GetCurrentProcessId() << 8);
  int st = ST_BUILD_COPY;
  *sysError = ERROR_FILENAME_EXCED_RANGE;
  for (int i = 0; i < kTempNames; ++i) {
    wchar_t name[16];
    TextFormat(name, 16, L"~vt%04X.tmp", static_cast<unsigned>((seed + i) & 0xFFFF));
    if (TextCopy(temp, VT_PATH_CAP, path) < 0) break;
    temp[cut] = 0;
    if (TextAppend(temp, VT_PATH_CAP, name) < 0 || TextLength(temp) > VT_PATH_MAX) break;
    st = FileOpen(temp, file, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, CREATE_NEW,
                  sysError);
    if (st >= 0) return ST_OK;
    if (st != ST_FILE_EXISTS) break;
  }
  // Every name taken leaves ST_FILE_EXISTS.
  temp[0] = 0;
  return st;
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
  int st = ToAnsi(w->document_path, w->document, sizeof w->document, sysError);
  if (st == ST_OK) st = CopyWritable(b->template_path, w->copy, sysError);
  if (st == ST_OK) st = CopyWritable(b->base_document, w->document_path, sysError);
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

// The output's place, before anything is built: a path the file layer
// takes, in a folder that takes a new file. An unsigned build builds in
// that file; for a signed one it only shows that the folder takes one.
int StepPlace(Work* w, DWORD* sysError) {
  PackageBuild* b = w->b;
  size_t length = TextLengthMax(b->output, VT_PATH_MAX + 1);
  if (length == 0 || length > VT_PATH_MAX) {
    *sysError = ERROR_FILENAME_EXCED_RANGE;
    return ST_BUILD_COPY;
  }
  HANDLE file = NULL;
  if (TempBeside(b->output, w->temp, &file, sysError) < 0) return ST_BUILD_COPY;
  CloseHandle(file);
  if (!b->sign) return TextCopy(w->copy, VT_PATH_CAP, w->temp) < 0 ? int{ST_BUILD_COPY} : ST_OK;
  DeleteFileW(w->temp);
  w->temp[0] = 0;
  return ST_OK;
}

// The working files of an unsigned build: the file beside the output and
// the caller's working document; of a signed one: both in the private
// folder, the copy under the output's file name.
int StepWorkingFiles(Work* w, DWORD* sysError) {
  PackageBuild* b = w->b;
  *sysError = 0;
  if (!b->sign) {
    if (!b->working_document) return ST_BAD_ARGS;
    return TextCopy(w->document_path, VT_PATH_CAP, b->working_document) < 0 ? ST_BAD_NAME
                                                                           : ST_OK;
  }
  if (!b->private_folder || !b->private_folder[0]) return ST_BAD_ARGS;
  const wchar_t* name = b->output;
  for (const wchar_t* p = b->output; *p; ++p)
    if (*p == L'\\' || *p == L'/') name = p + 1;
  if (TextFormat(w->copy, VT_PATH_CAP, L"%s\\%s", b->private_folder, name) < 0 ||
      TextFormat(w->document_path, VT_PATH_CAP, L"%s\\instbase.ini", b->private_folder) < 0 ||
      TextLength(w->copy) > VT_PATH_MAX || TextLength(w->document_path) > VT_PATH_MAX) {
    *sysError = ERROR_FILENAME_EXCED_RANGE;
    return ST_BAD_NAME;
  }
  return ST_OK;
}

// Makes sure the bytes of the file beside the output are on the disk.
int Flush(HANDLE file, DWORD* sysError) {
  if (FlushFileBuffers(file)) return ST_OK;
  *sysError = GetLastError();
  return ST_BUILD_COPY;
}

// The package beside the output, held open so that no other process
// writes to it until it is the output. An unsigned build's working copy
// is that file already; a signed copy, held as well, is copied into a new
// one.
int StepOutput(Work* w, DWORD* sysError) {
  PackageBuild* b = w->b;
  if (!b->sign) {
    if (FileOpen(w->temp, &w->held, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                 OPEN_EXISTING, sysError) < 0)
      return ST_BUILD_COPY;
    return Flush(w->held, sysError);
  }
  if (FileOpen(w->copy, &w->source, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, sysError) < 0 ||
      TempBeside(b->output, w->temp, &w->held, sysError) < 0 ||
      CopyContent(w->source, w->held, sysError) < 0)
    return ST_BUILD_COPY;
  return Flush(w->held, sysError);
}

// Whether file holds exactly the bytes of the signed copy, from their
// starts.
int SameAsSigned(Work* w, HANDLE file, DWORD* sysError) {
  DWORD size = 0, signed_size = 0;
  int st = FileSizeGet(file, &size, sysError);
  if (st == ST_OK) st = FileSizeGet(w->source, &signed_size, sysError);
  if (st != ST_OK) return st;
  if (signed_size != size) return Mismatch(sysError);
  st = FileSeek(file, 0, sysError);
  if (st == ST_OK) st = FileSeek(w->source, 0, sysError);
  FileCopy compare = {FILE_COPY_TO_END, NULL, w->source, NULL, NULL, 0, 0};
  if (st == ST_OK) st = FileCopyRange(file, &compare, sysError);
  return st == ST_CONTENT_DIFFERS ? Mismatch(sysError) : st;
}

// The package beside the output read back through the held handle: a
// signed package equal to the signed copy; the payload block where the
// image length says, holding the module's length and checksum; without a
// module, the image alone.
int StepVerify(Work* w, DWORD* sysError) {
  const PackageBuild& b = *w->b;
  DWORD size = 0;
  int st = FileSizeGet(w->held, &size, sysError);
  if (st == ST_OK && b.sign) st = SameAsSigned(w, w->held, sysError);
  if (st != ST_OK) return st;
  if (!b.module_path) return size == b.image_length ? ST_OK : Mismatch(sysError);
  // A signed package carries its certificate table after the block.
  if (size < b.image_length || size - b.image_length < PACKAGE_LENGTH_FIELD_SIZE ||
      size - b.image_length - PACKAGE_LENGTH_FIELD_SIZE < b.module.size)
    return Mismatch(sysError);
  return PayloadMatches(w->held, b, sysError);
}

// The package takes the output's place in one step. It is let go just
// before: a file held without sharing cannot be renamed.
int StepReplace(Work* w, DWORD* sysError) {
  CloseHandle(w->held);
  w->held = NULL;
  if (FileReplace(w->temp, w->b->output, sysError) < 0) return ST_BUILD_COPY;
  w->temp[0] = 0;  // it is the output now
  return ST_OK;
}

// A signed package once more, as the output: between letting the file go
// and its rename someone else could have put theirs in its place. One
// that does not equal the signed copy is removed again.
int StepPublished(Work* w, DWORD* sysError) {
  HANDLE output = NULL;
  int st = FileOpen(w->b->output, &output, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING,
                    sysError);
  if (st >= 0) {
    st = SameAsSigned(w, output, sysError);
    CloseHandle(output);
  }
  if (st != ST_OK) DeleteFileW(w->b->output);
  return st;
}

bool HasModule(const PackageBuild& b) { return b.module_path != NULL; }
bool IsSilent(const PackageBuild& b) { return b.silent; }
bool HasSigner(const PackageBuild& b) { return b.sign != NULL; }

struct StepRow {
  PackageStep step;
  bool (*runs)(const PackageBuild& b);  // NULL: always
  int (*run)(Work* w, DWORD* sysError);
  bool told;  // the progress hook hears of it
};

const StepRow kSteps[] = {
    {PACKAGE_STEP_OUTPUT, NULL, StepPlace, false},
    {PACKAGE_STEP_COPY, NULL, StepWorkingFiles, false},
    {PACKAGE_STEP_TEMPLATE, NULL, StepTemplate, true},
    {PACKAGE_STEP_MODULE_SIZE, HasModule, StepModuleSize, true},
    {PACKAGE_STEP_CHECKSUM, HasModule, StepChecksum, true},
    {PACKAGE_STEP_COPY, NULL, StepCopy, true},
    {PACKAGE_STEP_KEYS, NULL, StepKeys, true},
    {PACKAGE_STEP_STORE, NULL, StepStore, true},
    {PACKAGE_STEP_MEASURE, NULL, StepMeasure, true},
    {PACKAGE_STEP_STORE_AGAIN, NULL, StepStoreAgain, true},
    {PACKAGE_STEP_CHECK_LENGTH, NULL, StepCheckLength, true},
    {PACKAGE_STEP_APPEND, HasModule, StepAppend, true},
    {PACKAGE_STEP_STAMP, IsSilent, StepStamp, true},
    {PACKAGE_STEP_SIGN, HasSigner, StepSign, true},
    {PACKAGE_STEP_OUTPUT, NULL, StepOutput, true},
    {PACKAGE_STEP_VERIFY, NULL, StepVerify, true},
    {PACKAGE_STEP_OUTPUT, NULL, StepReplace, false},
    {PACKAGE_STEP_VERIFY, HasSigner, StepPublished, false},
};

// Closes what the build holds and removes the file beside the output that
// did not become the output.
void WorkEnd(Work* w) {
  if (w->held) CloseHandle(w->held);
  if (w->source) CloseHandle(w->source);
  if (w->temp[0]) DeleteFileW(w->temp);
}

}  // namespace

int package_build(PackageBuild* b) {
  Work w = {};
  w.b = b;
  b->module = PackageModule{0, 0, NULL};
  b->module_ansi[0] = 0;
  b->image_length = 0;
  int st = ST_OK;
  for (const StepRow& row : kSteps) {
    if (row.runs && !row.runs(*b)) continue;
    b->step = row.step;
    if (row.told && b->progress) b->progress(b->context, row.step);
    DWORD error = 0;
    st = row.run(&w, &error);
    if (st != ST_OK) {
      b->status = st;
      b->sys_error = error;
      break;
    }
  }
  WorkEnd(&w);
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
