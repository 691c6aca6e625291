// The process runner against real child processes: exit codes, a time
// limit that ends the child or leaves it running, and programs that cannot
// be started.
#include "common/process.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::wstring Child() {
  wchar_t self[MAX_PATH];
  std::wstring path(self, GetModuleFileNameW(nullptr, self, MAX_PATH));
  return path.substr(0, path.find_last_of(L"\\/") + 1) + L"process_child.exe";
}

struct Started {
  std::wstring line;
  ProcessLaunch launch;
  explicit Started(const std::wstring& arguments, const std::wstring& program = Child())
      : line(L"\"" + program + L"\" " + arguments),
        launch{nullptr, &line[0], nullptr, 0, -1} {}
};

TEST(ProcessRunner, ExitCodesComeBackAsTheChildLeftThem) {
  for (DWORD code : {0u, 7u, 259u /* STILL_ACTIVE, returned on purpose */}) {
    std::wstring program = Child();
    Started s(std::to_wstring(code), program);
    s.launch.program = program.c_str();
    DWORD exit_code = 12345, error = 1;
    EXPECT_EQ(ProcessRun(s.launch, 30000, true, &exit_code, &error), ST_OK) << error;
    EXPECT_EQ(exit_code, code);
  }
}

TEST(ProcessRunner, AChildPastItsLimitIsEndedOrLeftRunningAsAsked) {
  std::wstring program = Child();
  Started s(L"0 60000", program);
  s.launch.program = program.c_str();
  HANDLE process = nullptr;
  DWORD exit_code = 0, error = 0;
  ASSERT_EQ(ProcessStart(s.launch, &process, &error), ST_OK) << error;
  EXPECT_EQ(ProcessWait(process, 200, &exit_code, &error), ST_PROC_RUNNING);
  EXPECT_EQ(error, DWORD(WAIT_TIMEOUT));
  EXPECT_EQ(WaitForSingleObject(process, 0), DWORD(WAIT_TIMEOUT)) << "left running";
  EXPECT_TRUE(ProcessEnd(process));
  EXPECT_EQ(ProcessWait(process, 0, &exit_code, &error), ST_OK);
  EXPECT_EQ(exit_code, DWORD(ERROR_TIMEOUT));
  CloseHandle(process);

  DWORD started = GetTickCount();
  EXPECT_EQ(ProcessRun(s.launch, 200, true, &exit_code, &error), ST_PROC_RUNNING);
  EXPECT_LT(GetTickCount() - started, 30000u) << "the run returns at its limit";
}

TEST(ProcessRunner, ProgramsThatCannotBeStartedAreToldApart) {
  Started relative(L"0", L"process_child.exe");
  relative.launch.program = L"process_child.exe";  // would be searched for
  HANDLE process = nullptr;
  DWORD error = 1;
  EXPECT_EQ(ProcessStart(relative.launch, &process, &error), ST_PROC_BAD_PROGRAM);
  EXPECT_EQ(error, 0u);
  EXPECT_EQ(process, nullptr);
  std::wstring long_path = L"C:\\" + std::wstring(257, L'x');  // 260 units
  relative.launch.program = long_path.c_str();
  EXPECT_EQ(ProcessStart(relative.launch, &process, &error), ST_PROC_BAD_PROGRAM);
  std::wstring missing = Child() + L".missing.exe";
  Started absent(L"0", missing);
  absent.launch.program = missing.c_str();
  EXPECT_EQ(ProcessStart(absent.launch, &process, &error), ST_PROC_START);
  EXPECT_EQ(error, DWORD(ERROR_FILE_NOT_FOUND));
  EXPECT_TRUE(PathIsFull(L"C:\\x") && PathIsFull(L"c:/x") && PathIsFull(L"\\\\srv\\x"));
  EXPECT_FALSE(PathIsFull(L"C:x") || PathIsFull(L"\\x") || PathIsFull(L"x") || PathIsFull(L""));
}

}  // namespace
