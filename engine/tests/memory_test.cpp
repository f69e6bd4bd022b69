// Memory and write figures, trimming and the automatic clearing thread
// through the real DLL. (Under Wine trimming frees nothing, so only results
// and bounds are checked; the threshold rule has host tests.)
#include <gtest/gtest.h>

#include "engine/tests/engine_test_util.h"

namespace varnak::test {
namespace {

TEST(EngineMemory, SystemAndProcessFigures) {
  unsigned long long kib = 0;
  int load = -1;
  ASSERT_EQ(ORLIMB(GetSystemMemoryInfo)(&kib, &load), 1);
  EXPECT_GT(kib, 0u);
  EXPECT_GE(load, 0);
  EXPECT_LE(load, 100);
  EXPECT_EQ(ORLIMB(GetSystemMemoryInfo)(nullptr, &load), 0);
  EXPECT_EQ(ORLIMB(GetSystemMemoryInfo)(&kib, nullptr), 0);

  Victims victims("mem");
  DWORD pid = victims.Start();
  ASSERT_NE(pid, 0u);
  Sleep(300);
  unsigned bytes = 0;
  ASSERT_EQ(ORLIMB(GetProcessMemorySize)(pid, &bytes), 1);
  EXPECT_GT(bytes, 0u);
  DebugCapture capture;
  unsigned by_name = 0;
  ASSERT_EQ(ORLIMB(GetProcessMemorySizeByName)(victims.name().c_str(), &by_name), 1);
  EXPECT_GT(by_name, 0u);
  EXPECT_TRUE(capture.Contains("GetProcessMemorySizeByName, 进程:" + victims.name() + " 找到 PID:" +
                               std::to_string(pid) + "!"));
  unsigned long long written = 1;
  EXPECT_EQ(ORLIMB(GetIoSize)(pid, &written), 1);
  EXPECT_EQ(ORLIMB(GetIoSizeByProcessName)(victims.name().c_str(), &written), 1);
  EXPECT_EQ(ORLIMB(GetIoSizeByProcessName)("", &written), 0);
  EXPECT_EQ(ORLIMB(GetIoSizeByProcessName)(victims.name().c_str(), nullptr), 0);
  unsigned untouched = 77;
  EXPECT_EQ(ORLIMB(GetProcessMemorySize)(0x7FFFFFF0u, &untouched), 0);
  EXPECT_EQ(ORLIMB(GetProcessMemorySizeByName)("no-such-process.exe", &untouched), 0);
  EXPECT_EQ(untouched, 77u);
}

TEST(EngineMemory, Trimming) {
  Victims victims("trim");
  DWORD pid = victims.Start();
  ASSERT_NE(pid, 0u);
  Sleep(300);
  EXPECT_EQ(ORLIMB(CrearProcessMemory)(pid, nullptr), 1);
  int freed = -1;
  EXPECT_EQ(ORLIMB(CrearProcessMemory)(pid, &freed), 1);
  EXPECT_GE(freed, 0);
  freed = -7;
  EXPECT_EQ(ORLIMB(CrearProcessMemory)(0x7FFFFFF0u, &freed), 0);
  EXPECT_EQ(freed, -7);
  int kib = -1;
  EXPECT_EQ(ORLIMB(MemoryClear)(&kib), 1);
  EXPECT_GE(kib, 0);
  EXPECT_EQ(ORLIMB(MemoryClear)(nullptr), 1);  // still clears, skips the store
}

TEST(EngineMemory, AutomaticClearingStopsOnRequest) {
  auto create = ORLIMB(Me_CreateThread);
  auto routine = reinterpret_cast<OrlimbThreadStart>(reinterpret_cast<void*>(ORLIMB(AutoMemoryClear)));
  HANDLE first = nullptr;
  ASSERT_EQ(create(routine, nullptr, &first), 1);
  Sleep(300);  // the first pass runs at once, then it waits
  EXPECT_EQ(WaitForSingleObject(first, 0), static_cast<DWORD>(WAIT_TIMEOUT));
  DWORD start = GetTickCount();
  EXPECT_EQ(ORLIMB(StopAutoMemoryClear)(), 1);
  ASSERT_EQ(WaitForSingleObject(first, 3000), WAIT_OBJECT_0);
  EXPECT_LT(GetTickCount() - start, 3000u);
  DWORD code = 1;
  GetExitCodeThread(first, &code);
  EXPECT_EQ(code, 0u);
  CloseHandle(first);
  // a thread started after the stop keeps running until the next one
  HANDLE second = nullptr;
  ASSERT_EQ(create(routine, nullptr, &second), 1);
  Sleep(300);
  EXPECT_EQ(WaitForSingleObject(second, 0), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_EQ(ORLIMB(StopAutoMemoryClear)(), 1);
  EXPECT_EQ(WaitForSingleObject(second, 3000), WAIT_OBJECT_0);
  CloseHandle(second);
  EXPECT_EQ(ORLIMB(StopAutoMemoryClear)(), 0);  // none running
}

}  // namespace
}  // namespace varnak::test
