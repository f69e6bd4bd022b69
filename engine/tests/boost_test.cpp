// The foreground boost and the process watcher through the real DLL. The
// boost acts on whichever process owns the foreground window: this test
// program's own window, or victims that show one.
#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>

#include "engine/tests/engine_test_util.h"

namespace varnak::test {
namespace {

class Foreground : public testing::Test {
 protected:
  void SetUp() override {
    if (GetTickCount() <= 61000) GTEST_SKIP() << "the boost waits for a minute of system uptime";
    SetPriorityClass(GetCurrentProcess(), NORMAL_PRIORITY_CLASS);
  }
  void TearDown() override { SetPriorityClass(GetCurrentProcess(), NORMAL_PRIORITY_CLASS); }

  // Makes a window of this program the foreground window.
  HWND OwnWindow() {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "OrlimbBoostTest";
    RegisterClassA(&wc);
    HWND w = CreateWindowExA(0, "OrlimbBoostTest", "boost", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 300, 300, 200, 100,
                             nullptr, nullptr, wc.hInstance, nullptr);
    SetForegroundWindow(w);
    Pump();
    return w;
  }
  static void Pump() {
    for (int i = 0; i < 20; ++i) {
      MSG m;
      while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
      Sleep(10);
    }
  }
  static bool ForegroundIs(DWORD pid) {
    return WaitUntil(
        [&] {
          DWORD owner = 0;
          GetWindowThreadProcessId(GetForegroundWindow(), &owner);
          return owner == pid;
        },
        5000);
  }
};

TEST_F(Foreground, RaisesRestoresAndReRaises) {
  HWND own = OwnWindow();
  ASSERT_TRUE(ForegroundIs(GetCurrentProcessId()));
  auto step = ORLIMB(ActiveProcessUP);
  step();
  EXPECT_EQ(GetPriorityClass(GetCurrentProcess()), DWORD(HIGH_PRIORITY_CLASS));  // normal -> high
  step();
  EXPECT_EQ(GetPriorityClass(GetCurrentProcess()), DWORD(HIGH_PRIORITY_CLASS));  // stays
  // lowered behind the engine's back while in front: saved normal -> realtime
  SetPriorityClass(GetCurrentProcess(), BELOW_NORMAL_PRIORITY_CLASS);
  step();
  EXPECT_EQ(GetPriorityClass(GetCurrentProcess()), DWORD(REALTIME_PRIORITY_CLASS));

  // another program comes to the front: this one gets its class back, that one is raised
  Victims victims("front");
  DWORD pid = victims.Start(20000, true);
  ASSERT_NE(pid, 0u);
  ASSERT_TRUE(ForegroundIs(pid));
  step();
  EXPECT_EQ(GetPriorityClass(GetCurrentProcess()), DWORD(NORMAL_PRIORITY_CLASS));
  EXPECT_EQ(GetPriorityClass(victims.handles()[0]), DWORD(HIGH_PRIORITY_CLASS));
  DestroyWindow(own);
}

TEST_F(Foreground, BelowNormalNeverGoesToRealtime) {
  Victims victims("low");
  DWORD pid = victims.Start(20000, true);
  ASSERT_NE(pid, 0u);
  ASSERT_TRUE(ForegroundIs(pid));
  SetPriorityClass(victims.handles()[0], BELOW_NORMAL_PRIORITY_CLASS);
  ORLIMB(ActiveProcessUP)();
  EXPECT_EQ(GetPriorityClass(victims.handles()[0]), DWORD(HIGH_PRIORITY_CLASS));
  Victims above("above");
  ASSERT_NE(above.Start(20000, true), 0u);
  ASSERT_TRUE(ForegroundIs(GetProcessId(above.handles()[0])));
  SetPriorityClass(above.handles()[0], ABOVE_NORMAL_PRIORITY_CLASS);
  ORLIMB(ActiveProcessUP)();
  EXPECT_EQ(GetPriorityClass(above.handles()[0]), DWORD(REALTIME_PRIORITY_CLASS));
  EXPECT_EQ(GetPriorityClass(victims.handles()[0]), DWORD(BELOW_NORMAL_PRIORITY_CLASS));  // restored
}

TEST_F(Foreground, ExcludedProgramsAreNeverRaised) {
  HWND own = OwnWindow();
  ASSERT_TRUE(ForegroundIs(GetCurrentProcessId()));
  ORLIMB(ActiveProcessUP)();
  ASSERT_EQ(GetPriorityClass(GetCurrentProcess()), DWORD(HIGH_PRIORITY_CLASS));
  // a game of the excluded list, by file name (any letter case)
  TempFolder dir;
  std::string game = dir.Copy(BuildBin() + "\\orlimb_victim.exe", "DNF.exe");
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  std::string cmd = "\"" + game + "\" 20000 window";
  ASSERT_TRUE(CreateProcessA(game.c_str(), &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
  CloseHandle(pi.hThread);
  ASSERT_TRUE(ForegroundIs(pi.dwProcessId));
  DebugCapture capture;
  ORLIMB(ActiveProcessUP)();
  EXPECT_TRUE(capture.Contains("老有用户反馈封号问题.QQ游戏进程硬编码排除"));
  EXPECT_EQ(GetPriorityClass(pi.hProcess), DWORD(NORMAL_PRIORITY_CLASS));
  EXPECT_EQ(GetPriorityClass(GetCurrentProcess()), DWORD(NORMAL_PRIORITY_CLASS));  // restored
  TerminateProcess(pi.hProcess, 0);
  WaitForSingleObject(pi.hProcess, 5000);
  CloseHandle(pi.hProcess);
  DestroyWindow(own);
}

TEST_F(Foreground, BoostThreadRunsUntilTheFlagFallsThenRestores) {
  HWND own = OwnWindow();
  ASSERT_TRUE(ForegroundIs(GetCurrentProcessId()));
  auto* block = static_cast<volatile LONG*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, 8));
  block[0] = 50;
  block[1] = 1;
  auto routine = reinterpret_cast<LPTHREAD_START_ROUTINE>(reinterpret_cast<void*>(ORLIMB(ActiveProcessUP_F)));
  HANDLE thread = CreateThread(nullptr, 0, routine, const_cast<LONG*>(block), 0, nullptr);
  ASSERT_NE(thread, nullptr);
  EXPECT_TRUE(WaitUntil([] { return GetPriorityClass(GetCurrentProcess()) == HIGH_PRIORITY_CLASS; }, 3000));
  InterlockedExchange(&block[1], 0);
  EXPECT_EQ(WaitForSingleObject(thread, 2000), WAIT_OBJECT_0);  // the block is freed by the thread
  CloseHandle(thread);
  EXPECT_EQ(GetPriorityClass(GetCurrentProcess()), DWORD(NORMAL_PRIORITY_CLASS));
  EXPECT_EQ(ORLIMB(ActiveProcessUP_F)(nullptr), 0u);
  DestroyWindow(own);
}

int ORLIMB_CALL StopAtOnce(unsigned, const char*, unsigned, void*) { return 0; }

TEST(EngineWatcher, NullReportAndUnavailableEventsEndQuickly) {
  EXPECT_EQ(ORLIMB(GetNextProcessChange)(1, nullptr, nullptr), 0);
  // Wine's WMI cannot deliver process events: the set-up fails and the call returns 0
  DWORD start = GetTickCount();
  int result = ORLIMB(GetNextProcessChange)(1, &StopAtOnce, nullptr);
  if (result == 0) {
    EXPECT_LT(GetTickCount() - start, 10000u);
  }
  // COM on this thread is left as it was: a single-threaded start still works
  HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  EXPECT_TRUE(SUCCEEDED(hr));
  if (SUCCEEDED(hr)) CoUninitialize();
}

}  // namespace
}  // namespace varnak::test
