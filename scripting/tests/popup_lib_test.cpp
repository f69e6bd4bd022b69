// The popup-block library against real windows of a helper process
// (popup_target.exe) and of the test program itself, under Xvfb.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "common/win_handles.h"
#include "scripting/tests/seskel_harness.h"
#include "testsupport/winhost.h"

namespace seskel::test {
namespace {

using Strings = std::vector<std::string>;
using varnak::test::TempFolder;

// A running popup_target.exe and the facts it reported about its window.
class PopupTarget {
 public:
  PopupTarget() {
    info_ = dir_.File("info.txt");
    std::string command = "\"" + varnak::test::BinDir() + "\\popup_target.exe\" \"" + info_ + "\"";
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return;
    process_.reset(pi.hProcess);
    CloseHandle(pi.hThread);
    for (int i = 0; i < 200; ++i) {
      std::string text;
      if (varnak::test::ReadFileBytes(info_, &text)) {
        long long handle = 0;
        unsigned long pid = 0, tid = 0;
        if (std::sscanf(text.c_str(), "%lld %lu %lu", &handle, &pid, &tid) == 3) {
          window_ = static_cast<int32_t>(handle);
          pid_ = pid;
          tid_ = tid;
          return;
        }
      }
      Sleep(50);
    }
  }
  ~PopupTarget() {
    if (process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) {
      TerminateProcess(process_.get(), 1);
      WaitForSingleObject(process_.get(), 5000);
    }
  }
  bool ready() const { return window_ != 0; }
  // the window handle as Lua sees it
  std::string handle() const { return std::to_string(window_); }
  HWND hwnd() const { return reinterpret_cast<HWND>(static_cast<intptr_t>(window_)); }
  DWORD pid() const { return pid_; }
  DWORD tid() const { return tid_; }
  // the exit code, once the process ended within timeout_ms; STILL_ACTIVE otherwise
  DWORD ExitCode(DWORD timeout_ms) const {
    WaitForSingleObject(process_.get(), timeout_ms);
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(process_.get(), &code);
    return code;
  }
  std::string Log() const {
    std::string text;
    varnak::test::ReadFileBytes(info_ + ".log", &text);
    return text;
  }

 private:
  TempFolder dir_;
  std::string info_;
  varnak::unique_handle process_;
  int32_t window_ = 0;
  DWORD pid_ = 0, tid_ = 0;
};

class PopupBlockLib : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(Seskel().register_popup_block(state_.get()), 1); }
  void Expect(const std::string& code, const std::string& result, const Strings& boxes = {}) {
    EXPECT_EQ(state_.Run(code), result) << code;
    EXPECT_EQ(state_.boxes(), boxes) << code;
  }
  ScriptState state_;
};

TEST_F(PopupBlockLib, WindowFacts) {
  PopupTarget target;
  ASSERT_TRUE(target.ready());
  const std::string h = target.handle();
  Expect("return GetWindowText(" + h + ")", "'弹窗测试'");
  Expect("return GetWindowClaseName(" + h + ")", "'SeskelTestPopup'");
  Expect("return GetWindowProcessAndThreadID(" + h + ")",
         std::to_string(target.pid()) + "|" + std::to_string(target.tid()));
  Expect("return GetWindowRect(" + h + ")", "100|120|500|420");
  // handles are 32-bit values: higher bits are wrapped away
  Expect("return GetWindowText(" + h + " + 2^32), GetWindowText('" + h + "')", "'弹窗测试'|'弹窗测试'");
  Expect("return GetSystemHeightAndWidth()",
         std::to_string(GetSystemMetrics(SM_CYSCREEN)) + "|" + std::to_string(GetSystemMetrics(SM_CXSCREEN)));
}

TEST_F(PopupBlockLib, NonWindowsAndBadArguments) {
  Expect("return GetWindowText('0'), GetWindowClaseName(0)", "''|''");
  Expect("return GetWindowProcessAndThreadID(0)", "0|0");
  Expect("return GetWindowRect(12345678)", "0|0|0|0");
  Expect("return HideWindow(0), CloseWindow(0), KillWindowProcess(0), KillWindowThread(0)",
         "false|false|false|false");
  Expect("return GetWindowText({})", "''", {"Lua脚本问题:GetWindowText句柄不是整数!"});
  Expect("return GetWindowProcessAndThreadID('x')", "0|0",
         {"Lua脚本问题:GetWindowProcessAndThreadID句柄不是整数!"});
  Expect("return GetWindowRect('abc')", "0|0|0|0", {"Lua脚本问题:GetWindowRect参数不是整数!"});
  Expect("return GetWindowClaseName()", "''", {"Lua脚本问题:GetWindowClaseName参数不是整数"});
  Expect("return KillWindowProcess({})", "false", {"Lua脚本问题:KillWindowProcess句柄不是整数!"});
  Expect("return KillWindowThread(nil)", "false", {"Lua脚本问题:KillWindowThread参数不是整数!"});
  Expect("return HideWindow('h')", "false", {"Lua脚本问题:HideWindow句柄不是整数!"});
  Expect("return CloseWindow(true)", "false", {"Lua脚本问题:CloseWindow句柄不是整数!"});
  Expect("return EnumWindow({})", "false", {"Lua脚本问题:EnumWindow回调函数名不是字符串!"});
}

TEST_F(PopupBlockLib, EnumWindowRunsTheCallbackPerWindow) {
  PopupTarget target;
  ASSERT_TRUE(target.ready());
  const std::string h = target.handle();
  Expect("found = false function look(w) if w == " + h + " then found = true end return true end\n"
         "return EnumWindow('look'), found",
         "true|true");
  Expect("calls = 0 function stop(w) calls = calls + 1 return false end return EnumWindow('stop'), calls",
         "false|1");
  // a number passes as a name; no such global: every call fails, and failing calls count as true
  Expect("return EnumWindow(12345)", "true");
  Expect("calls = 0 function broken(w) calls = calls + 1 error('broken') end\n"
         "return EnumWindow('broken'), calls > 1",
         "true|true");
  // a strict _G raising while the callback is fetched never unwinds through user32
  Expect("setmetatable(_G, {__index = function(t, k) error('strict: ' .. k) end})\n"
         "local r = EnumWindow('nosuch') setmetatable(_G, nil) return r",
         "true");
  // the callback may use the library's other functions
  Expect("title = nil function look(w) if GetWindowClaseName(w) == 'SeskelTestPopup' then "
         "title = GetWindowText(w) return false end return true end\n"
         "return EnumWindow('look'), title",
         "false|'弹窗测试'");
}

TEST_F(PopupBlockLib, HideThenClose) {
  PopupTarget target;
  ASSERT_TRUE(target.ready());
  const std::string h = target.handle();
  Expect("return HideWindow(" + h + ")", "true");
  EXPECT_FALSE(IsWindowVisible(target.hwnd()));
  // already hidden: the notification is posted instead
  Expect("return HideWindow(" + h + ")", "true");
  Expect("return CloseWindow(" + h + ")", "true");
  // WM_CLOSE was posted, not the platform's minimise
  EXPECT_EQ(target.ExitCode(10000), 7u);
  EXPECT_NE(target.Log().find("show 0\nclose\n"), std::string::npos) << target.Log();
}

TEST_F(PopupBlockLib, KillWindowProcessAndThread) {
  PopupTarget first, second;
  ASSERT_TRUE(first.ready());
  ASSERT_TRUE(second.ready());
  Expect("return KillWindowProcess(" + first.handle() + ")", "true");
  EXPECT_EQ(first.ExitCode(10000), 0u);
  Expect("return KillWindowThread(" + second.handle() + ")", "true");
  // the window's thread is the process's only thread
  EXPECT_NE(second.ExitCode(10000), static_cast<DWORD>(STILL_ACTIVE));
}

TEST_F(PopupBlockLib, NeverEndsTheHostItself) {
  HWND own = CreateWindowExA(0, "STATIC", "own", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(own, nullptr);
  const std::string h = std::to_string(static_cast<int32_t>(reinterpret_cast<intptr_t>(own)));
  Expect("return KillWindowProcess(" + h + "), KillWindowThread(" + h + ")", "false|false");
  EXPECT_TRUE(IsWindow(own));
  DestroyWindow(own);
}

}  // namespace
}  // namespace seskel::test
