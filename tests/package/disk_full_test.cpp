// A disk that fills up while a package is written or read: the file
// layer's write is made to fail with ERROR_HANDLE_DISK_FULL at a chosen
// call, and each routine reports it; the document writer leaves the
// document as it was.
#include <gtest/gtest.h>

#include <string>

#include "common/file_syscalls.h"
#include "common/status.h"
#include "package/package.h"
#include "package/profile_file.h"
#include "support.h"

namespace {

using namespace pkgtest;

int g_write_calls = 0;
int g_fail_at = 0;  // the failing call, counted from 1

BOOL WINAPI FullDiskWrite(HANDLE h, LPCVOID data, DWORD count, LPDWORD put, LPOVERLAPPED o) {
  if (++g_write_calls == g_fail_at) {
    *put = 0;
    SetLastError(ERROR_HANDLE_DISK_FULL);
    return FALSE;
  }
  return WriteFile(h, data, count, put, o);
}

class DiskFull : public ::testing::Test {
 protected:
  void FailWrite(int call) {
    g_write_calls = 0;
    g_fail_at = call;
    FileSys.WriteFile = FullDiskWrite;
  }
  void TearDown() override { FileSyscallsReset(); }
  TempFolder dir_;
};

TEST_F(DiskFull, AppendReportsIt) {
  WriteBytes(dir_ / L"p.exe", "image");
  WriteBytes(dir_ / L"m.ocx", RandomBytes(200000, 1));
  for (int call : {1, 2, 3}) {  // the length field, the first and the second block
    FailWrite(call);
    DWORD error = 0;
    EXPECT_EQ(append_payload_block((dir_ / L"p.exe").c_str(), (dir_ / L"m.ocx").c_str(), &error),
              ST_DISK_FULL)
        << call;
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_HANDLE_DISK_FULL));
  }
}

TEST_F(DiskFull, ExtractReportsItWithTheChecksumSoFar) {
  const std::string module = RandomBytes(200000, 2);
  WriteBytes(dir_ / L"p.exe", "image" + Le32(200000) + module);
  FailWrite(2);
  uint32_t checksum = 0;
  DWORD error = 0;
  HANDLE held = NULL;
  EXPECT_EQ(extract_payload((dir_ / L"p.exe").c_str(), 5, (dir_ / L"t.ocx").c_str(), &checksum,
                            &error, &held),
            ST_DISK_FULL);
  EXPECT_EQ(held, nullptr);
  EXPECT_EQ(checksum, checksum_update(0, module.data(), 81920)) << "the first block";
}

TEST_F(DiskFull, TheDocumentStaysAsItWas) {
  const std::wstring doc = dir_ / L"doc.ini";
  const std::string before = "[S]\r\nk=1\r\nlast=x\r\n";
  WriteBytes(doc, before);
  for (const char* value : {"a longer value than before", ""}) {
    FailWrite(1);
    DWORD error = 0;
    EXPECT_EQ(profile_write_file(Narrow(doc).c_str(), "S", "k", value, &error), ST_DISK_FULL)
        << value;
    EXPECT_EQ(ReadBytes(doc), before) << value;
  }
}

}  // namespace
