// The package build on real files under Wine: the output it leaves and the
// steps it takes, the step and status of each failure, the previous output
// that survives a failed build (a read-back that fails included), the
// silent marker before the signature, the read-back that catches an output
// that does not hold the module, and a signed build that nobody else can
// put a file of theirs into.
#include "package/build.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/file_syscalls.h"
#include "common/status.h"
#include "package/config_values.h"
#include "package/package.h"
#include "package/profile_writer.h"
#include "support.h"

namespace {

using namespace pkgtest;

uint32_t Checksum(const std::string& s) {
  return checksum_update(0, s.data(), static_cast<int>(s.size()));
}

// The document a package carries, and one value of it.
std::string Document(const std::wstring& exe) {
  HMODULE m = LoadLibraryExW(exe.c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
  std::string data;
  HRSRC r = m ? FindResourceW(m, MAKEINTRESOURCEW(501), L"BINTYPE") : NULL;
  if (r)
    data.assign(static_cast<const char*>(LockResource(LoadResource(m, r))), SizeofResource(m, r));
  if (m) FreeLibrary(m);
  return data;
}

std::string Value(const std::string& doc, const char* section, const char* key) {
  size_t at = 0, n = 0;
  return profile_find_key(doc.data(), doc.size(), section, key, &at, &n) ? doc.substr(at, n)
                                                                         : "<none>";
}

int VersionD(const std::wstring& exe) {
  int a = 0, b = 0, c = 0, d = -1;
  DWORD error = 0;
  read_version_parts(exe.c_str(), &a, &b, &c, &d, &error);
  return d;
}

BOOL WINAPI FullDiskWrite(HANDLE, LPCVOID, DWORD, LPDWORD put, LPOVERLAPPED) {
  *put = 0;
  SetLastError(ERROR_HANDLE_DISK_FULL);
  return FALSE;
}

BOOL WINAPI MoveRefused(LPCWSTR, LPCWSTR, DWORD) {
  SetLastError(ERROR_ACCESS_DENIED);
  return FALSE;
}

void WINAPI NoSleep(DWORD) {}

// What someone who may write to the output folder puts in the place of a
// file there.
const char kForeign[] = "a program of someone else";

// The temporary files in a folder.
std::vector<std::wstring> TempFilesIn(const std::wstring& folder) {
  std::vector<std::wstring> found;
  WIN32_FIND_DATAW entry;
  HANDLE h = FindFirstFileW((folder + L"\\~vt*.tmp").c_str(), &entry);
  if (h == INVALID_HANDLE_VALUE) return found;
  do found.push_back(folder + L"\\" + entry.cFileName);
  while (FindNextFileW(h, &entry));
  FindClose(h);
  return found;
}

// Stands in for the other user between the release of the file beside the
// output and its rename: writes a program of theirs into it first.
BOOL WINAPI MoveAfterASwap(LPCWSTR from, LPCWSTR to, DWORD flags) {
  WriteBytes(from, kForeign);
  return MoveFileExW(from, to, flags);
}

class PackageBuildTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CreateDirectoryW((dir_ / L"work").c_str(), NULL);
    CreateDirectoryW((dir_ / L"out").c_str(), NULL);
    CreateDirectoryW(private_.c_str(), NULL);
    module_ = RandomBytes(100003, 7);
    WriteBytes(module_path_, module_);
  }
  void TearDown() override { FileSyscallsReset(); }

  PackageBuild Inputs() {
    PackageBuild b{};
    b.template_path = template_.c_str();
    b.base_document = base_.c_str();
    b.module_path = module_path_.c_str();
    b.working_document = work_doc_.c_str();
    b.private_folder = private_.c_str();
    b.output = out_.c_str();
    b.write_keys = WriteKeys;
    b.progress = Progress;
    b.context = this;
    return b;
  }

  static PackageBuildTest* Self(void* context) { return static_cast<PackageBuildTest*>(context); }

  static int WriteKeys(void*, const PackageModule& module, const char* document, DWORD* error) {
    char crc[16];
    TextFormat(crc, sizeof crc, PACKAGE_CHECKSUM_FORMAT, static_cast<unsigned>(module.checksum));
    const PackageKey keys[] = {{CFG_INIT, CFG_PGM_NAME, "Sample Grid"},
                               {CFG_COPY, CFG_FILE_NAME, module.file_name},
                               {CFG_COPY, CFG_FILE_CRC, crc}};
    return package_keys_write(document, keys, 3, error);
  }
  static void Progress(void* context, PackageStep step) {
    PackageBuildTest* self = Self(context);
    self->steps_.push_back(step);
    if (step == PACKAGE_STEP_APPEND && self->disk_full_at_append_)
      FileSys.WriteFile = FullDiskWrite;
    if (self->swap_) self->SwapTempFiles();
  }

  // As someone who may write to the output folder would, before each step:
  // a program of their own in the place of every temporary file there.
  void SwapTempFiles() {
    for (const std::wstring& temp : TempFilesIn(dir_ / L"out")) {
      HANDLE file = CreateFileW(temp.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE |
                                FILE_SHARE_DELETE, NULL, OPEN_EXISTING, 0, NULL);
      if (file == INVALID_HANDLE_VALUE) {
        ++swaps_refused_;
        EXPECT_FALSE(MoveFileExW(temp.c_str(), (temp + L".away").c_str(), 0))
            << "a held file was renamed";
        continue;
      }
      DWORD written = 0;
      SetEndOfFile(file);
      WriteFile(file, kForeign, sizeof kForeign - 1, &written, NULL);
      CloseHandle(file);
      ++swaps_;
    }
  }

  // Signing hooks.
  static int SignSeesVersion(void* context, const wchar_t* copy, DWORD*) {
    Self(context)->version_d_at_sign_ = VersionD(copy);
    return 0;
  }
  static int SignFails(void*, const wchar_t*, DWORD* error) {
    *error = 1234;
    return -777;
  }
  static int SignRecords(void* context, const wchar_t* copy, DWORD*) {
    Self(context)->signed_path_ = copy;
    Self(context)->signed_ = ReadBytes(copy);
    return 0;
  }
  static int SignFlipsLastByte(void*, const wchar_t* copy, DWORD*) {
    std::string bytes = ReadBytes(copy);
    bytes.back() ^= 1;
    WriteBytes(copy, bytes);
    return 0;
  }
  static int SignDropsLastByte(void*, const wchar_t* copy, DWORD*) {
    std::string bytes = ReadBytes(copy);
    bytes.pop_back();
    WriteBytes(copy, bytes);
    return 0;
  }

  // Temporary files left in the output folder.
  int TempFiles() {
    WIN32_FIND_DATAW found;
    HANDLE h = FindFirstFileW((dir_ / L"out\\*.tmp").c_str(), &found);
    int n = 0;
    if (h != INVALID_HANDLE_VALUE) {
      do ++n;
      while (FindNextFileW(h, &found));
      FindClose(h);
    }
    return n;
  }

  TempFolder dir_;
  std::string module_;
  // "ソ" is 0x83 0x5C in code page 932: a backslash as its second byte.
  const std::wstring module_path_ = dir_ / L"\x30BD.ocx";
  const std::wstring template_ = TemplateExe(), base_ = BaseDocument();
  const std::wstring work_doc_ = dir_ / L"work\\instbase.ini";
  const std::wstring private_ = dir_ / L"private";
  const std::wstring out_ = dir_ / L"out\\Setup.exe";
  std::vector<PackageStep> steps_;
  bool disk_full_at_append_ = false;
  int version_d_at_sign_ = -1;
  bool swap_ = false;
  int swaps_ = 0, swaps_refused_ = 0;
  std::wstring signed_path_;
  std::string signed_;
};

TEST_F(PackageBuildTest, OutputLayoutAndSteps) {
  WriteBytes(out_, "a previous output");
  PackageBuild b = Inputs();
  ASSERT_EQ(package_build(&b), 0) << b.step << " " << b.sys_error;
  EXPECT_EQ(b.step, PACKAGE_STEP_DONE);
  const std::vector<PackageStep> expected = {
      PACKAGE_STEP_TEMPLATE,     PACKAGE_STEP_MODULE_SIZE,  PACKAGE_STEP_CHECKSUM,
      PACKAGE_STEP_COPY,         PACKAGE_STEP_KEYS,         PACKAGE_STEP_STORE,
      PACKAGE_STEP_MEASURE,      PACKAGE_STEP_STORE_AGAIN,  PACKAGE_STEP_CHECK_LENGTH,
      PACKAGE_STEP_APPEND,       PACKAGE_STEP_OUTPUT,       PACKAGE_STEP_VERIFY};
  EXPECT_EQ(steps_, expected) << "no stamp, no signing";

  const std::string package = ReadBytes(out_), doc = Document(out_);
  EXPECT_EQ(config_number(Value(doc, CFG_INIT, CFG_FILE_LEN).c_str(), 8),
            static_cast<int>(b.image_length));
  EXPECT_EQ(Value(doc, CFG_COPY, CFG_FILE_NAME), "\x83\x5C.ocx");
  EXPECT_EQ(config_checksum(Value(doc, CFG_COPY, CFG_FILE_CRC).c_str()), Checksum(module_));
  EXPECT_EQ(b.module.size, module_.size());
  EXPECT_EQ(b.module.checksum, Checksum(module_));
  ASSERT_EQ(package.size(), b.image_length + 4 + module_.size());
  EXPECT_EQ(package.substr(b.image_length, 4), Le32(static_cast<DWORD>(module_.size())));
  EXPECT_TRUE(package.substr(b.image_length + 4) == module_);
  EXPECT_EQ(TempFiles(), 0) << "built beside the output, then renamed to it";
}

TEST_F(PackageBuildTest, EachFailureNamesItsStep) {
  struct Row {
    const char* what;
    std::wstring template_path, module, output;
    PackageStep step;
    int status;
    DWORD error;
  } rows[] = {
      {"missing template", dir_ / L"none.exe", module_path_, out_, PACKAGE_STEP_TEMPLATE,
       ST_FILE_NOT_FOUND, ERROR_FILE_NOT_FOUND},
      {"missing module", template_, dir_ / L"none.ocx", out_, PACKAGE_STEP_MODULE_SIZE,
       ST_FILE_NOT_FOUND, ERROR_FILE_NOT_FOUND},
      {"module name outside the code page", template_, dir_ / L"\x2600.ocx", out_,
       PACKAGE_STEP_MODULE_SIZE, ST_BUILD_NAME, ERROR_NO_UNICODE_TRANSLATION},
      // The output's place is checked before anything is built or signed.
      {"no output folder", template_, module_path_, dir_ / L"none\\Setup.exe",
       PACKAGE_STEP_OUTPUT, ST_BUILD_COPY, ERROR_PATH_NOT_FOUND},
      {"output path of 260 characters", template_, module_path_,
       dir_ / (L"out\\" + std::wstring(259 - (dir_ / L"out\\").size(), L's') + L".exe"),
       PACKAGE_STEP_OUTPUT, ST_BUILD_COPY, ERROR_FILENAME_EXCED_RANGE},
  };
  for (const Row& row : rows) {
    steps_.clear();
    signed_path_.clear();
    PackageBuild b = Inputs();
    b.template_path = row.template_path.c_str();
    b.module_path = row.module.c_str();
    b.output = row.output.c_str();
    b.sign = SignRecords;
    EXPECT_EQ(package_build(&b), row.status) << row.what;
    EXPECT_EQ(b.step, row.step) << row.what;
    EXPECT_EQ(b.status, row.status) << row.what;
    EXPECT_EQ(b.sys_error, row.error) << row.what;
    EXPECT_TRUE(signed_path_.empty()) << row.what << ": nothing signed";
    if (row.step == PACKAGE_STEP_OUTPUT) {
      EXPECT_TRUE(steps_.empty()) << row.what << ": found before the first step";
    } else {
      ASSERT_FALSE(steps_.empty());
      EXPECT_EQ(steps_.back(), row.step) << row.what << ": nothing after the failing step";
    }
  }
  PackageBuild b = Inputs();
  b.sign = SignRecords;
  b.private_folder = NULL;
  EXPECT_EQ(package_build(&b), ST_BAD_ARGS) << "a signed build needs its private folder";
  EXPECT_EQ(b.step, PACKAGE_STEP_COPY);
  EXPECT_EQ(TempFiles(), 0);
}

TEST_F(PackageBuildTest, FailedBuildLeavesThePreviousOutput) {
  typedef int (*Signer)(void*, const wchar_t*, DWORD*);
  struct Row {
    const char* what;
    bool missing_module, output_held, disk_full, move_refused;
    Signer sign;
    PackageStep step;
    int status;
    DWORD error;
  } rows[] = {
      {"before the output", true, false, false, false, NULL, PACKAGE_STEP_MODULE_SIZE,
       ST_FILE_NOT_FOUND, ERROR_FILE_NOT_FOUND},
      {"output held open", false, true, false, false, NULL, PACKAGE_STEP_OUTPUT, ST_BUILD_COPY,
       ERROR_ACCESS_DENIED},
      {"disk full writing the package", false, false, true, false, NULL, PACKAGE_STEP_APPEND,
       ST_DISK_FULL, ERROR_HANDLE_DISK_FULL},
      {"signing fails", false, false, false, false, SignFails, PACKAGE_STEP_SIGN, -777, 1234},
      {"the package does not read back as built", false, false, false, false, SignFlipsLastByte,
       PACKAGE_STEP_VERIFY, ST_BUILD_VERIFY, 0},
      {"the replacement is refused", false, false, false, true, NULL, PACKAGE_STEP_OUTPUT,
       ST_BUILD_COPY, ERROR_ACCESS_DENIED},
  };
  const std::string previous = "the previous package, " + RandomBytes(5000, 3);
  for (const Row& row : rows) {
    WriteBytes(out_, previous);
    // As a package that runs holds its file: shared for reading only.
    HANDLE held = row.output_held ? CreateFileW(out_.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL,
                                                OPEN_EXISTING, 0, NULL)
                                  : INVALID_HANDLE_VALUE;
    disk_full_at_append_ = row.disk_full;
    FileSys.Sleep = NoSleep;  // the replacement's retries
    if (row.move_refused) FileSys.MoveFileExW = MoveRefused;
    const std::wstring missing = dir_ / L"none.ocx";
    PackageBuild b = Inputs();
    if (row.missing_module) b.module_path = missing.c_str();
    b.sign = row.sign;
    EXPECT_EQ(package_build(&b), row.status) << row.what;
    FileSyscallsReset();
    if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
    EXPECT_EQ(b.step, row.step) << row.what;
    EXPECT_EQ(b.sys_error, row.error) << row.what;
    EXPECT_TRUE(ReadBytes(out_) == previous) << row.what;
    EXPECT_EQ(TempFiles(), 0) << row.what;
  }
}

TEST_F(PackageBuildTest, SilentMarkerPrecedesTheSignature) {
  PackageBuild b = Inputs();
  b.silent = true;
  b.sign = SignSeesVersion;
  ASSERT_EQ(package_build(&b), 0) << b.step << " " << b.sys_error;
  EXPECT_EQ(version_d_at_sign_, 1) << "the signing hook sees the stamped copy";
  EXPECT_EQ(VersionD(out_), 1);
  ASSERT_GE(steps_.size(), 4u);
  EXPECT_EQ(steps_[steps_.size() - 4], PACKAGE_STEP_STAMP);
  EXPECT_EQ(steps_[steps_.size() - 3], PACKAGE_STEP_SIGN);
}

TEST_F(PackageBuildTest, ReadBackCatchesAWrongOutput) {
  for (auto sign : {SignFlipsLastByte, SignDropsLastByte}) {
    PackageBuild b = Inputs();
    b.sign = sign;
    EXPECT_EQ(package_build(&b), ST_BUILD_VERIFY);
    EXPECT_EQ(b.step, PACKAGE_STEP_VERIFY);
    EXPECT_EQ(b.sys_error, 0u);
    EXPECT_FALSE(Exists(out_)) << "nothing is put in the output's place";
  }
}

// Whoever may write to the output folder puts a program of theirs in the
// place of every temporary file there before each step of a signed build:
// it is never signed, never published, and the file the build holds open
// can be neither written nor renamed.
TEST_F(PackageBuildTest, ASignedBuildSignsAndPublishesOnlyWhatItBuilt) {
  const std::string previous = "the previous package";
  WriteBytes(out_, previous);
  PackageBuild b = Inputs();
  b.sign = SignRecords;
  swap_ = true;
  ASSERT_EQ(package_build(&b), 0) << b.step << " " << b.sys_error;
  EXPECT_EQ(signed_path_.compare(0, private_.size(), private_), 0)
      << "signed in the private folder";
  EXPECT_EQ(signed_.find(kForeign), std::string::npos);
  EXPECT_TRUE(ReadBytes(out_) == signed_) << "the output is what was signed";
  EXPECT_EQ(swaps_, 0) << "no temporary file beside the output while the package is built";
  EXPECT_GT(swaps_refused_, 0) << "the file beside the output is held from the output step on";
  EXPECT_EQ(TempFiles(), 0);

  // Someone who takes the moment between its release and its rename: the
  // build removes what it put in the output's place and fails.
  swap_ = false;
  FileSys.MoveFileExW = MoveAfterASwap;
  b = Inputs();
  b.sign = SignRecords;
  EXPECT_EQ(package_build(&b), ST_BUILD_VERIFY);
  FileSyscallsReset();
  EXPECT_EQ(b.step, PACKAGE_STEP_VERIFY);
  EXPECT_FALSE(Exists(out_)) << "what someone else put there is not left as the output";
  EXPECT_EQ(TempFiles(), 0);
}

}  // namespace
