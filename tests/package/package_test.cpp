// The package routines on real files under Wine: sizes, checksums, the
// document resource of a real MinGW-built template, the payload block, the
// extraction with its held target, and the silent marker stamped in place.
#include "package/package.h"

#include <gtest/gtest.h>

#include <string>

#include "common/status.h"
#include "support.h"

namespace {

using namespace pkgtest;

uint32_t Checksum(const std::string& s) {
  return checksum_update(0, s.data(), static_cast<int>(s.size()));
}

// The "BINTYPE" resource name of a file in language, or "<none>".
std::string Resource(const std::wstring& exe, WORD name, WORD language) {
  HMODULE m = LoadLibraryExW(exe.c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
  if (!m) return "<not loadable>";
  std::string data = "<none>";
  HRSRC r = FindResourceExW(m, L"BINTYPE", MAKEINTRESOURCEW(name), language);
  if (r) {
    HGLOBAL g = LoadResource(m, r);
    data.assign(static_cast<const char*>(LockResource(g)), SizeofResource(m, r));
  }
  FreeLibrary(m);
  return data;
}

BOOL CALLBACK CountLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD, LONG_PTR count) {
  ++*reinterpret_cast<int*>(count);
  return TRUE;
}

int LanguageCount(const std::wstring& exe, WORD name) {
  HMODULE m = LoadLibraryExW(exe.c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
  int count = 0;
  EnumResourceLanguagesW(m, L"BINTYPE", MAKEINTRESOURCEW(name), CountLanguage,
                         reinterpret_cast<LONG_PTR>(&count));
  FreeLibrary(m);
  return count;
}

TEST(QueryFileSize, SizesAndTheStatusOfEachMiss) {
  TempFolder dir;
  WriteBytes(dir / L"five.bin", "12345");
  CreateDirectoryW((dir / L"sub").c_str(), NULL);
  std::wstring exact = dir.path() + L"\\";
  exact += std::wstring(259 - exact.size(), L'n');
  WriteBytes(exact, "abc");
  struct Row {
    std::wstring path;
    int status;
    DWORD size;
    DWORD error;
  } rows[] = {
      {dir / L"five.bin", 0, 5, 0},
      {exact, 0, 3, 0},  // 259 characters
      {exact + L"n", ST_OPEN_FAILED, 0, ERROR_INVALID_NAME},
      {L"", ST_OPEN_FAILED, 0, ERROR_INVALID_NAME},
      {dir / L"missing.bin", ST_FILE_NOT_FOUND, 0, ERROR_FILE_NOT_FOUND},
      {dir / L"nowhere\\missing.bin", ST_PATH_NOT_FOUND, 0, ERROR_PATH_NOT_FOUND},
      {dir / L"sub", ST_ACCESS_DENIED, 0, ERROR_ACCESS_DENIED},
      {dir / L"*.bin", ST_OPEN_FAILED, 0, ERROR_INVALID_NAME},  // never another file's size
  };
  for (const Row& row : rows) {
    DWORD size = 0, error = 12345;
    EXPECT_EQ(query_file_size(row.path.c_str(), &size, &error), row.status) << Narrow(row.path);
    EXPECT_EQ(size, row.size) << Narrow(row.path);
    EXPECT_EQ(error, row.error) << Narrow(row.path);
    size = 0;
    error = 12345;
    EXPECT_EQ(query_file_size(Narrow(row.path).c_str(), &size, &error), row.status)
        << "ANSI " << Narrow(row.path);
    EXPECT_EQ(size, row.size) << "ANSI " << Narrow(row.path);
  }
}

TEST(QueryFileSize, FilesOf4GiBAreRefused) {
  TempFolder dir;
  std::wstring big = dir / L"big.bin";
  HANDLE h = CreateFileW(big.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  LONG high = 1;
  SetFilePointer(h, 5, &high, FILE_BEGIN);  // 4 GiB + 5 bytes, sparse
  ASSERT_TRUE(SetEndOfFile(h));
  CloseHandle(h);
  DWORD size = 0, error = 0;
  EXPECT_EQ(query_file_size(big.c_str(), &size, &error), ST_SIZE_FAILED);
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_FILE_TOO_LARGE));
  EXPECT_EQ(size, 0u) << "not the low 32 bits";
}

TEST(ChecksumFile, BlocksOfEverySizeAgree) {
  TempFolder dir;
  const std::string data = RandomBytes(300001, 7);
  WriteBytes(dir / L"m.bin", data);
  uint32_t in_81920 = 0;
  for (size_t at = 0; at < data.size(); at += 81920)
    in_81920 = checksum_update(in_81920, data.data() + at,
                               static_cast<int>(std::min<size_t>(81920, data.size() - at)));
  uint32_t value = 1;
  DWORD error = 0;
  ASSERT_EQ(checksum_file(Narrow(dir / L"m.bin").c_str(), &value, &error), 0);
  EXPECT_EQ(value, in_81920);
  EXPECT_EQ(value, Checksum(data));

  WriteBytes(dir / L"empty.bin", "");
  ASSERT_EQ(checksum_file(Narrow(dir / L"empty.bin").c_str(), &value, &error), 0);
  EXPECT_EQ(value, 0u);

  value = 0xABCDEF01u;
  EXPECT_EQ(checksum_file(Narrow(dir / L"none.bin").c_str(), &value, &error), ST_FILE_NOT_FOUND);
  EXPECT_EQ(value, 0xABCDEF01u) << "a failure leaves the value";
}

class TemplateCopy : public ::testing::Test {
 protected:
  void SetUp() override {
    exe_ = dir_ / L"Installer.exe";
    ASSERT_TRUE(CopyFileW(TemplateExe().c_str(), exe_.c_str(), FALSE));
    original_ = ReadBytes(exe_);
  }
  TempFolder dir_;
  std::wstring exe_;
  std::string original_;
};

TEST_F(TemplateCopy, DocumentResourceIsReplacedInItsLanguage) {
  const std::string banner = Resource(exe_, 492, 0x411);
  ASSERT_EQ(banner.substr(0, 6), "GIF89a");
  ASSERT_EQ(LanguageCount(exe_, 501), 1);
  const std::string doc = ReadBytes(BaseDocument());
  WriteBytes(dir_ / L"doc.ini", doc);
  DWORD error = 0;
  ASSERT_EQ(write_document_resource(exe_.c_str(), Narrow(dir_ / L"doc.ini").c_str(), &error), 1);
  EXPECT_EQ(Resource(exe_, 501, 1024), doc);
  EXPECT_EQ(LanguageCount(exe_, 501), 1) << "replaced, not added beside";
  EXPECT_EQ(Resource(exe_, 492, 0x411), banner);
}

TEST_F(TemplateCopy, DocumentFailures) {
  DWORD error = 0;
  WriteBytes(dir_ / L"empty.ini", "");
  WriteBytes(dir_ / L"doc.ini", "[Vantorel-Init]\r\n");
  WriteBytes(dir_ / L"text.exe", "this is no executable, only text long enough for a header....");
  const std::string doc = Narrow(dir_ / L"doc.ini");
  EXPECT_EQ(write_document_resource(exe_.c_str(), Narrow(dir_ / L"none.ini").c_str(), &error),
            ST_DOC_LOAD);
  EXPECT_EQ(write_document_resource(exe_.c_str(), Narrow(dir_ / L"empty.ini").c_str(), &error),
            ST_DOC_LOAD);
  EXPECT_EQ(ReadBytes(exe_), original_) << "nothing stored";
  EXPECT_EQ(write_document_resource((dir_ / L"text.exe").c_str(), doc.c_str(), &error),
            ST_RES_BAD_EXE);
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_BAD_EXE_FORMAT));
  EXPECT_EQ(write_document_resource((dir_ / L"none.exe").c_str(), doc.c_str(), &error),
            ST_RES_BEGIN);
}

TEST_F(TemplateCopy, PayloadBlockAfterTheImage) {
  for (size_t n : {size_t(0), size_t(1), size_t(81920), size_t(81921), size_t(200000)}) {
    ASSERT_TRUE(CopyFileW(TemplateExe().c_str(), exe_.c_str(), FALSE));
    const std::string module = RandomBytes(n, static_cast<unsigned>(n));
    WriteBytes(dir_ / L"m.ocx", module);
    DWORD error = 0;
    ASSERT_EQ(append_payload_block(exe_.c_str(), (dir_ / L"m.ocx").c_str(), &error), 0) << n;
    EXPECT_TRUE(ReadBytes(exe_) == original_ + Le32(static_cast<DWORD>(n)) + module) << n;
  }
}

TEST_F(TemplateCopy, MissingModuleAppendsNothing) {
  DWORD error = 0;
  EXPECT_EQ(append_payload_block(exe_.c_str(), (dir_ / L"none.ocx").c_str(), &error), 0);
  EXPECT_EQ(append_payload_block(exe_.c_str(), (dir_ / L"no\\none.ocx").c_str(), &error), 0);
  EXPECT_EQ(ReadBytes(exe_), original_);
  EXPECT_EQ(append_payload_block((dir_ / L"new.exe").c_str(), (dir_ / L"none.ocx").c_str(), &error),
            0);
  EXPECT_EQ(GetFileAttributesW((dir_ / L"new.exe").c_str()), INVALID_FILE_ATTRIBUTES)
      << "no package is created for nothing";
}

TEST_F(TemplateCopy, ImageLengthCheck) {
  DWORD error = 0;
  const DWORD n = static_cast<DWORD>(original_.size());
  EXPECT_EQ(check_image_length(exe_.c_str(), n, &error), 0);
  WriteBytes(dir_ / L"m.ocx", "x");
  ASSERT_EQ(append_payload_block(exe_.c_str(), (dir_ / L"m.ocx").c_str(), &error), 0);
  EXPECT_EQ(check_image_length(exe_.c_str(), n, &error), ST_IMAGE_CHANGED);
  EXPECT_EQ(check_image_length((dir_ / L"none.exe").c_str(), n, &error), ST_FILE_NOT_FOUND);
}

// A package as bytes: an image of n bytes, the length field, the payload and
// what may follow it.
std::string Package(size_t image, DWORD length, const std::string& payload,
                    const std::string& after = "") {
  return RandomBytes(image, 99) + Le32(length) + payload + after;
}

struct Extracted {
  int status;
  uint32_t checksum;
  std::string target;
};

Extracted Extract(const TempFolder& dir, const std::string& package, DWORD image,
                  const std::string& leftover = "") {
  WriteBytes(dir / L"p.exe", package);
  if (!leftover.empty()) WriteBytes(dir / L"QOR.ocx", leftover);
  Extracted e{0, 0xDEADBEEFu, ""};
  DWORD error = 0;
  e.status = extract_payload((dir / L"p.exe").c_str(), image, (dir / L"QOR.ocx").c_str(),
                             &e.checksum, &error);
  e.target = ReadBytes(dir / L"QOR.ocx");
  DeleteFileW((dir / L"QOR.ocx").c_str());
  return e;
}

TEST(ExtractPayload, TakesExactlyThePayload) {
  TempFolder dir;
  const std::string module = RandomBytes(2 * 81920 - 500, 5);
  const std::string certificate = RandomBytes(3000, 6);  // shares the module's last block
  struct Row {
    const char* name;
    std::string package;
    DWORD image;
    std::string leftover;
    int status;
    std::string target;
  } rows[] = {
      {"plain", Package(4096, static_cast<DWORD>(module.size()), module), 4096, "", 0, module},
      {"certificate table after it",
       Package(4096, static_cast<DWORD>(module.size()), module, certificate), 4096, "", 0, module},
      {"longer leftover of the same name",
       Package(4096, static_cast<DWORD>(module.size()), module), 4096,
       RandomBytes(module.size() + 70000, 8), 0, module},
      {"one full block", Package(100, 81920, module.substr(0, 81920), "tail"), 100, "", 0,
       module.substr(0, 81920)},
      {"empty module", Package(512, 0, ""), 512, "old bytes", 0, ""},
      {"length 0 takes all that follows", Package(512, 0, "", "after"), 512, "", 0, "after"},
      {"shortened inside the payload", Package(512, 1000, module.substr(0, 600)), 512, "", 0,
       module.substr(0, 600)},
      {"no length field", RandomBytes(514, 1), 512, "", ST_SHORT_READ, ""},
      {"image length past the end", Package(512, 3, "abc"), 100000, "", ST_SHORT_READ, ""},
  };
  for (const Row& row : rows) {
    Extracted e = Extract(dir, row.package, row.image, row.leftover);
    EXPECT_EQ(e.status, row.status) << row.name;
    EXPECT_TRUE(e.target == row.target) << row.name << ": " << e.target.size() << " bytes";
    EXPECT_EQ(e.checksum, Checksum(row.target)) << row.name;
  }
}

TEST(ExtractPayload, AnAlteredByteChangesTheChecksum) {
  TempFolder dir;
  const std::string module = RandomBytes(50000, 11);
  std::string package = Package(2048, 50000, module);
  Extracted good = Extract(dir, package, 2048);
  ASSERT_EQ(good.checksum, Checksum(module));
  for (size_t at : {size_t(2052), size_t(2052 + 25000), package.size() - 1}) {
    std::string altered = package;
    altered[at] ^= 0x01;
    Extracted bad = Extract(dir, altered, 2048);
    EXPECT_EQ(bad.status, 0);
    EXPECT_NE(bad.checksum, good.checksum) << at;
  }
}

TEST(ExtractPayload, FailuresStillGiveTheChecksum) {
  TempFolder dir;
  WriteBytes(dir / L"p.exe", Package(512, 3, "abc"));
  uint32_t checksum = 0xDEADBEEFu;
  DWORD error = 0;
  EXPECT_EQ(extract_payload((dir / L"none.exe").c_str(), 512, (dir / L"t").c_str(), &checksum,
                            &error),
            ST_FILE_NOT_FOUND);
  EXPECT_EQ(checksum, 0u);
  checksum = 0xDEADBEEFu;
  EXPECT_EQ(extract_payload((dir / L"p.exe").c_str(), 512, (dir / L"no\\t").c_str(), &checksum,
                            &error),
            ST_PATH_NOT_FOUND);
  EXPECT_EQ(checksum, 0u);
}

TEST(ExtractPayload, HeldTargetCannotBeChangedByOthers) {
  TempFolder dir;
  const std::string module = RandomBytes(100000, 12);
  WriteBytes(dir / L"p.exe", Package(1024, 100000, module));
  const std::wstring target = dir / L"QOR.ocx";
  WriteBytes(target, RandomBytes(200000, 13));
  uint32_t checksum = 0;
  DWORD error = 0;
  HANDLE held = NULL;
  ASSERT_EQ(extract_payload((dir / L"p.exe").c_str(), 1024, target.c_str(), &checksum, &error,
                            &held),
            0);
  ASSERT_NE(held, nullptr);
  EXPECT_EQ(checksum, Checksum(module));

  // Nobody else may write or delete it while it is held: the handle that
  // wrote it is the one that holds it, with no moment between.
  HANDLE writer = CreateFileW(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              NULL, OPEN_EXISTING, 0, NULL);
  EXPECT_EQ(writer, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  if (writer != INVALID_HANDLE_VALUE) CloseHandle(writer);
  EXPECT_FALSE(DeleteFileW(target.c_str()));

  // The handle reads the payload from the start, and the file holds exactly
  // it (the longer leftover is gone).
  char head[16];
  DWORD got = 0;
  ASSERT_TRUE(ReadFile(held, head, sizeof head, &got, NULL));
  EXPECT_EQ(std::string(head, got), module.substr(0, 16));
  EXPECT_EQ(GetFileSize(held, NULL), 100000u);
  CloseHandle(held);
  EXPECT_TRUE(ReadBytes(target) == module);

  writer = CreateFileW(target.c_str(), GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL);
  EXPECT_NE(writer, INVALID_HANDLE_VALUE) << "free again once closed";
  CloseHandle(writer);
}

TEST(ExtractPayload, HeldFailureLeavesNoHandle) {
  TempFolder dir;
  WriteBytes(dir / L"p.exe", RandomBytes(600, 2));
  uint32_t checksum = 0;
  DWORD error = 0;
  HANDLE held = reinterpret_cast<HANDLE>(1);
  EXPECT_EQ(extract_payload((dir / L"p.exe").c_str(), 598, (dir / L"t").c_str(), &checksum,
                            &error, &held),
            ST_SHORT_READ);
  EXPECT_EQ(held, nullptr);
  HANDLE writer = CreateFileW((dir / L"t").c_str(), GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL);
  EXPECT_NE(writer, INVALID_HANDLE_VALUE) << "the target is closed";
  CloseHandle(writer);
}

// Offsets where two strings of one length differ: [first, last].
bool DiffRange(const std::string& a, const std::string& b, size_t* first, size_t* last) {
  if (a.size() != b.size()) return false;
  *first = std::string::npos;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i] != b[i]) {
      if (*first == std::string::npos) *first = i;
      *last = i;
    }
  }
  return *first != std::string::npos;
}

TEST_F(TemplateCopy, SilentMarkerIsStampedInPlace) {
  // A package with its payload and bytes after it, as a signed one has.
  const std::string module = RandomBytes(30000, 3);
  WriteBytes(dir_ / L"m.ocx", module);
  DWORD error = 0;
  ASSERT_EQ(append_payload_block(exe_.c_str(), (dir_ / L"m.ocx").c_str(), &error), 0);
  const std::string before = ReadBytes(exe_);
  int a = -1, b = -1, c = -1, d = -1;
  ASSERT_EQ(read_version_parts(exe_.c_str(), &a, &b, &c, &d, &error), 0);
  EXPECT_EQ(a * 1000 + b * 100 + c * 10 + d, 1000) << "1.0.0.0";

  ASSERT_EQ(stamp_silent_marker(exe_.c_str(), a, b, c, 1, &error), 0) << error;
  ASSERT_EQ(read_version_parts(exe_.c_str(), &a, &b, &c, &d, &error), 0);
  EXPECT_EQ(a * 1000 + b * 100 + c * 10 + d, 1001) << "1.0.0.1";

  const std::string after = ReadBytes(exe_);
  size_t first = 0, last = 0;
  ASSERT_TRUE(DiffRange(before, after, &first, &last)) << "same length, something changed";
  EXPECT_LE(last - first, 7u) << "only the file-version words";
  EXPECT_LT(last, original_.size()) << "inside the image";
  // The low word of the least significant double word: d at its place.
  EXPECT_EQ(after[first], 1);
  EXPECT_EQ(after.substr(original_.size()), Le32(30000) + module);

  ASSERT_EQ(stamp_silent_marker(exe_.c_str(), 7, 6, 5, 4, &error), 0);
  ASSERT_EQ(read_version_parts(exe_.c_str(), &a, &b, &c, &d, &error), 0);
  EXPECT_EQ(a * 1000 + b * 100 + c * 10 + d, 7654);
}

TEST_F(TemplateCopy, VersionFailures) {
  int a, b, c, d;
  DWORD error = 0;
  EXPECT_EQ(read_version_parts((dir_ / L"none.exe").c_str(), &a, &b, &c, &d, &error),
            ST_VER_NO_FILE);
  EXPECT_EQ(stamp_silent_marker((dir_ / L"none.exe").c_str(), 1, 0, 0, 1, &error), ST_VER_NO_FILE);
  WriteBytes(dir_ / L"text.exe", "no version here");
  EXPECT_EQ(read_version_parts((dir_ / L"text.exe").c_str(), &a, &b, &c, &d, &error),
            ST_VER_NO_INFO);
  EXPECT_EQ(stamp_silent_marker((dir_ / L"text.exe").c_str(), 1, 0, 0, 1, &error), ST_VER_NO_INFO);
  // Held open without sharing by someone else: the stamp cannot begin.
  HANDLE lock = CreateFileW(exe_.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  EXPECT_EQ(stamp_silent_marker(exe_.c_str(), 1, 0, 0, 1, &error), ST_VER_BEGIN);
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  CloseHandle(lock);
  EXPECT_EQ(ReadBytes(exe_), original_);
}

}  // namespace
