// Process utilities through the real DLL, against victim processes started
// by the tests under unique names.
#include <gtest/gtest.h>

#include <windows.h>
#include <tlhelp32.h>

#include "engine/tests/engine_test_util.h"

namespace varnak::test {
namespace {

std::string Upper(std::string s) {
  for (char& c : s) {
    if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
  }
  return s;
}

TEST(EngineProcess, PathNameAndParentOfAVictim) {
  Victims victims("path");
  DWORD pid = victims.Start();
  ASSERT_NE(pid, 0u);
  Sleep(200);
  char path[260];
  memset(path, 'x', sizeof path);
  ASSERT_EQ(ORLIMB(GetProcessPathByPid)(pid, path), 1);
  EXPECT_EQ(Lower(path), Lower(victims.path()));

  memset(path, 0, sizeof path);
  DebugCapture capture;
  ASSERT_EQ(ORLIMB(GetProcessPath)(Upper(victims.name()).c_str(), path), 1);  // letter case does not matter
  EXPECT_EQ(Lower(path), Lower(victims.path()));
  EXPECT_TRUE(capture.Contains("[GetProcessPath]Find:" + Upper(victims.name()) + "\r\n"));
  EXPECT_TRUE(capture.Contains("[GetProcessPath]进程:" + victims.name() + " 找到!"));
  EXPECT_TRUE(capture.Contains("GetProcessPathByPid->PID: " + std::to_string(pid) + "\r\n"));

  char name[260] = {};
  ASSERT_EQ(ORLIMB(GetProcessName)(pid, name, sizeof name), 1);
  EXPECT_EQ(Lower(name), Lower(victims.name()));
  char small[8] = "keep";
  EXPECT_EQ(ORLIMB(GetProcessName)(pid, small, sizeof small), 0);  // refused, never cut
  capture.Clear();
  EXPECT_EQ(ORLIMB(GetProcessName)(pid, name, 0), 0);
  EXPECT_TRUE(capture.Contains(" Size:0 \r\n"));
  EXPECT_EQ(ORLIMB(GetProcessName)(pid, name, -5), 0);

  unsigned parent = 0;
  ASSERT_EQ(ORLIMB(GetParentProcessIDByPID)(pid, &parent), 1);
  EXPECT_EQ(parent, GetCurrentProcessId());
  parent = 0;
  ASSERT_EQ(ORLIMB(GetParentProcessID)(victims.name().c_str(), &parent), 1);
  EXPECT_EQ(parent, GetCurrentProcessId());
}

TEST(EngineProcess, LookupsThatFindNothingLeaveOutputsAlone) {
  Victims victims("none");
  DWORD pid = victims.Start(100);
  ASSERT_NE(pid, 0u);
  ASSERT_TRUE(victims.Ended(0, 5000));
  victims.Release(0);
  char path[260] = "untouched";
  unsigned parent = 12345;
  // Wine keeps ended processes openable, so use an id that never existed
  EXPECT_EQ(ORLIMB(GetProcessPathByPid)(0x7FFFFFF0u, path), 0);
  EXPECT_EQ(ORLIMB(GetProcessPathByPid)(0, path), 0);
  EXPECT_EQ(ORLIMB(GetProcessPathByPid)(GetCurrentProcessId(), nullptr), 0);
  EXPECT_EQ(ORLIMB(GetProcessPath)(victims.name().c_str(), path), 0);
  EXPECT_EQ(ORLIMB(GetProcessPath)("", path), 0);
  EXPECT_EQ(ORLIMB(GetProcessPath)(nullptr, path), 0);
  EXPECT_EQ(ORLIMB(GetParentProcessID)(victims.name().c_str(), &parent), 0);
  EXPECT_EQ(ORLIMB(GetParentProcessIDByPID)(pid, &parent), 0);  // no longer in the snapshot
  EXPECT_STREQ(path, "untouched");
  EXPECT_EQ(parent, 12345u);
  // a name with a folder part never matches; an over-long name matches nothing
  EXPECT_EQ(ORLIMB(GetProcessPath)(BuildBin().append("\\engine_tests.exe").c_str(), path), 0);
  EXPECT_EQ(ORLIMB(GetProcessPath)(std::string(300, 'a').c_str(), path), 0);
  EXPECT_EQ(ORLIMB(GetParentProcessID)(std::string(300, 'a').c_str(), &parent), 0);
  EXPECT_EQ(ORLIMB(ZuduraduProcessName)(std::string(300, 'a').c_str(), 1), 1);
}

TEST(EngineProcess, EndingByNameFirstOrAll) {
  Victims victims("kill");
  for (int i = 0; i < 4; ++i) ASSERT_NE(victims.Start(), 0u);
  Sleep(300);
  auto kill = ORLIMB(ZuduraduProcessName);
  DebugCapture capture;
  EXPECT_EQ(kill(victims.name().c_str(), 0), 1);
  Sleep(300);
  int ended = 0;
  for (size_t i = 0; i < 4; ++i) ended += victims.Ended(i) ? 1 : 0;
  EXPECT_EQ(ended, 1);
  EXPECT_TRUE(capture.Contains("ZuduraduProcessName, 进程:" + victims.name() + " 找到!\r\n"));
  EXPECT_TRUE(capture.Contains("ZuduraduProcessName,TerminateProcess yes\r\n"));
  // any value other than 1 also ends only the first
  EXPECT_EQ(kill(Upper(victims.name()).c_str(), 2), 1);
  Sleep(300);
  ended = 0;
  for (size_t i = 0; i < 4; ++i) ended += victims.Ended(i) ? 1 : 0;
  EXPECT_EQ(ended, 2);
  EXPECT_EQ(kill(victims.name().c_str(), 1), 1);
  for (size_t i = 0; i < 4; ++i) EXPECT_TRUE(victims.Ended(i, 5000)) << i;
  capture.Clear();
  EXPECT_EQ(kill(victims.name().c_str(), 1), 1);  // nothing left: still 1
  EXPECT_TRUE(capture.Contains("进程:" + victims.name() + " 没有找到\r\n"));
  EXPECT_EQ(kill("", 1), 0);
  EXPECT_EQ(kill(nullptr, 1), 0);
}

TEST(EngineProcess, PathAndKill) {
  Victims victims("pk");
  ASSERT_NE(victims.Start(), 0u);
  ASSERT_NE(victims.Start(), 0u);
  Sleep(300);
  char path[260] = {};
  EXPECT_EQ(ORLIMB(GetProcessPathAndKill)(victims.name().c_str(), path, 1), 1);
  EXPECT_EQ(Lower(path), Lower(victims.path()));
  EXPECT_TRUE(victims.Ended(0, 5000));
  EXPECT_TRUE(victims.Ended(1, 5000));
  EXPECT_EQ(ORLIMB(GetProcessPathAndKill)(victims.name().c_str(), nullptr, 1), 0);
}

TEST(EngineProcess, SetCpukernelBindsTheFirstToProcessorZero) {
  Victims victims("cpu");
  ASSERT_NE(victims.Start(), 0u);
  Sleep(200);
  EXPECT_EQ(ORLIMB(SetCpukernel)(victims.name().c_str()), 1);
  DWORD_PTR process_mask = 0, system_mask = 0;
  ASSERT_TRUE(GetProcessAffinityMask(victims.handles()[0], &process_mask, &system_mask));
  EXPECT_EQ(process_mask, DWORD_PTR(1));
  EXPECT_EQ(ORLIMB(SetCpukernel)("no-such-victim.exe"), 1);
  EXPECT_EQ(ORLIMB(SetCpukernel)(""), 0);
}

DWORD FindProcess(const std::string& name, DWORD* parent) {
  DWORD pid = 0;
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  PROCESSENTRY32 e = {};
  e.dwSize = sizeof e;
  for (BOOL more = Process32First(snap, &e); more; more = Process32Next(snap, &e)) {
    if (Lower(e.szExeFile) == Lower(name)) {
      pid = e.th32ProcessID;
      *parent = e.th32ParentProcessID;
      break;
    }
  }
  CloseHandle(snap);
  return pid;
}

TEST(EngineProcess, StartProcessThroughTheDesktopShell) {
  if (ORLIMB(IfNewWindows)() != 1) GTEST_SKIP() << "system version below 6: direct start";
  Victims victims("shell");
  DWORD pid = 0, parent = 0;
  EXPECT_EQ(ORLIMB(StartProcess_explorer)(victims.path().c_str(), "5000"), 1);
  ASSERT_TRUE(WaitUntil([&] { return (pid = FindProcess(victims.name(), &parent)) != 0; }, 15000))
      << "the shell did not start the program";
  char parent_name[260] = {};
  ASSERT_EQ(ORLIMB(GetProcessName)(parent, parent_name, sizeof parent_name), 1);
  EXPECT_EQ(Lower(parent_name), "explorer.exe");  // started by the shell, not by this process
  EXPECT_NE(parent, GetCurrentProcessId());
  ORLIMB(ZuduraduProcessName)(victims.name().c_str(), 1);
  // nothing to start still returns 1
  EXPECT_EQ(ORLIMB(StartProcess_explorer)(nullptr, nullptr), 1);
  EXPECT_EQ(ORLIMB(StartProcess_explorer)(std::string(300, 'a').c_str(), ""), 1);
}

}  // namespace
}  // namespace varnak::test
