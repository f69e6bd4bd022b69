// Privileges, the administrator check and the window helpers through the
// real DLL, on the test display.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <thread>

#include "engine/tests/engine_test_util.h"

namespace varnak::test {
namespace {

TEST(EngineSystem, UpTheValueKinds) {
  EXPECT_NE(ORLIMB(UpTheValue)(1), 0);
  EXPECT_NE(ORLIMB(UpTheValue)(2), 0);
  auto box = ClickMessageBox(L"确认", IDOK);
  EXPECT_NE(ORLIMB(UpTheValue)(3), 0);  // an unknown kind: a notice, then non-zero
  EXPECT_EQ(box.get(), L"没有权限申请");
}

TEST(EngineSystem, RunTimeCheckPassesForAnAdministrator) {
  EXPECT_EQ(ORLIMB(RunTime_Check)(), 1);
  EXPECT_EQ(ORLIMB(IfDbgAndKill)(), 0);
}

// Starts orlimb_probe.exe "runtime" with a token from which the
// administrators group is removed, answers its question and returns the exit code.
int RunTimeCheckWithoutAdministrators(int answer, std::wstring* question) {
  TempFolder folder;
  folder.Copy(BuildBin() + "\\orlimb_probe.exe");
  folder.Copy(BuildBin() + "\\Orlimb.dll");
  HANDLE token = nullptr, restricted = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ALL_ACCESS, &token)) return -100;
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  PSID admins = nullptr;
  AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &admins);
  SID_AND_ATTRIBUTES deny = {admins, 0};
  BOOL made = CreateRestrictedToken(token, 0, 1, &deny, 0, nullptr, 0, nullptr, &restricted);
  FreeSid(admins);
  CloseHandle(token);
  if (!made) return -101;
  std::string cmd = "\"" + folder.File("orlimb_probe.exe") + "\" \"" + folder.File("out.txt") + "\" runtime";
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  auto box = ClickMessageBox(L"Varnak:主引擎提示", answer, 15000);
  if (!CreateProcessAsUserA(restricted, nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
    CloseHandle(restricted);
    return -102;
  }
  CloseHandle(restricted);
  CloseHandle(pi.hThread);
  *question = box.get();
  DWORD code = 999;
  if (WaitForSingleObject(pi.hProcess, 15000) == WAIT_OBJECT_0) GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hProcess);
  return int(code);
}

TEST(EngineSystem, RunTimeCheckAsksANonAdministrator) {
  std::wstring question;
  EXPECT_EQ(RunTimeCheckWithoutAdministrators(IDYES, &question), 11);  // went on with result 1
  EXPECT_EQ(question, L"亲,我们是进程管理软件.请给我们管理员权限好么!\r\n点击'是'将强制启动.哪怕没有管理员权限");
  EXPECT_EQ(RunTimeCheckWithoutAdministrators(IDNO, &question), 0);  // ended at once with exit code 0
}

// A borderless white popup window on the test display.
class TestWindow {
 public:
  TestWindow(int x, int y, int w, int h, DWORD ex_style = 0) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = L"OrlimbTestWindow";
    RegisterClassW(&wc);
    hwnd = CreateWindowExW(ex_style | WS_EX_TOPMOST, L"OrlimbTestWindow", L"t", WS_POPUP | WS_VISIBLE, x, y, w, h,
                           nullptr, nullptr, wc.hInstance, nullptr);
    Pump();
  }
  ~TestWindow() {
    if (IsWindow(hwnd)) DestroyWindow(hwnd);
  }
  static void Pump() {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < 300) {
      MSG m;
      while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&m);
      Sleep(10);
    }
  }
  HWND hwnd;
};

COLORREF ScreenPixel(int x, int y) {
  HDC dc = GetDC(nullptr);
  COLORREF c = GetPixel(dc, x, y);
  ReleaseDC(nullptr, dc);
  return c;
}

TEST(EngineSystem, WindowFlashDrawsAFrameAndRestoresTheScreen) {
  TestWindow w(-20, 100, 220, 150);  // partly off the left edge: the frame starts at 0
  ASSERT_TRUE(w.hwnd);
  const COLORREF before_left = ScreenPixel(1, 175), before_top = ScreenPixel(100, 101);
  bool left_changed = false, top_changed = false;
  DWORD took = 0;
  volatile bool done = false;
  std::thread flash([&] {
    DWORD start = GetTickCount();
    EXPECT_EQ(ORLIMB(Window_flash)(w.hwnd), 1);
    took = GetTickCount() - start;
    done = true;
  });
  // sample the frame while it is shown
  while (!done) {
    left_changed = left_changed || ScreenPixel(1, 175) != before_left;
    top_changed = top_changed || ScreenPixel(100, 101) != before_top;
    Sleep(15);
  }
  flash.join();
  EXPECT_TRUE(left_changed);
  EXPECT_TRUE(top_changed);
  EXPECT_EQ(ScreenPixel(1, 175), before_left);
  EXPECT_EQ(ScreenPixel(100, 101), before_top);
  EXPECT_GE(took, 400u);
  // a window that no longer exists: nothing drawn, same timing, still 1
  HWND gone = w.hwnd;
  DestroyWindow(w.hwnd);
  DWORD start = GetTickCount();
  EXPECT_EQ(ORLIMB(Window_flash)(gone), 1);
  EXPECT_GE(GetTickCount() - start, 400u);
}

TEST(EngineSystem, MessageFilterAcceptsDroppedFiles) {
  TestWindow w(300, 300, 50, 50);
  EXPECT_EQ(GetWindowLongW(w.hwnd, GWL_EXSTYLE) & WS_EX_ACCEPTFILES, 0);
  EXPECT_EQ(ORLIMB(Message_filter_Add)(w.hwnd, WM_DROPFILES), 1);
  EXPECT_NE(GetWindowLongW(w.hwnd, GWL_EXSTYLE) & WS_EX_ACCEPTFILES, 0);
}

TEST(EngineSystem, TooltipWindowAndTools) {
  TestWindow parent(400, 400, 120, 60);
  HWND button = CreateWindowExW(0, L"BUTTON", L"b", WS_CHILD | WS_VISIBLE, 0, 0, 60, 30, parent.hwnd,
                                reinterpret_cast<HMENU>(1234), GetModuleHandleW(nullptr), nullptr);
  HWND tip = ORLIMB(CreateTipsControl)(parent.hwnd);
  ASSERT_NE(tip, nullptr);
  wchar_t cls[64] = {};
  GetClassNameW(tip, cls, 64);
  EXPECT_STREQ(cls, L"tooltips_class32");
  EXPECT_EQ(GetWindow(tip, GW_OWNER), parent.hwnd);
  EXPECT_NE(GetWindowLongW(tip, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
  EXPECT_EQ(ORLIMB(SetWindTips)(tip, button, "提示文字"), 1);
  EXPECT_EQ(SendMessageW(tip, TTM_GETTOOLCOUNT, 0, 0), 1);
  TTTOOLINFOW info = {};
  info.cbSize = TTTOOLINFOW_V2_SIZE;
  wchar_t text[300] = {};
  info.lpszText = text;
  ASSERT_TRUE(SendMessageW(tip, TTM_ENUMTOOLSW, 0, reinterpret_cast<LPARAM>(&info)));
  EXPECT_EQ(info.hwnd, button);
  EXPECT_EQ(info.uId, UINT_PTR(1234));
  EXPECT_STREQ(text, L"提示文字");
  EXPECT_EQ(ORLIMB(SetWindTips)(tip, parent.hwnd, nullptr), 1);  // null text: an empty tool
  EXPECT_EQ(SendMessageW(tip, TTM_GETTOOLCOUNT, 0, 0), 2);
  DestroyWindow(tip);
}

TEST(EngineSystem, FileIconIsDrawnOrSaved) {
  const std::string file = Fixture("orlimb_versioned.exe");
  TestWindow w(500, 200, 64, 64);
  ASSERT_EQ(ORLIMB(BitFileIconToWindow)(file.c_str(), w.hwnd, 0), 1);
  // the fixture icon is an opaque red square with a transparent border, scaled 2x
  HDC dc = GetWindowDC(w.hwnd);
  EXPECT_EQ(GetPixel(dc, 32, 32), RGB(255, 0, 0));
  EXPECT_EQ(GetPixel(dc, 2, 2), RGB(255, 255, 255));
  ReleaseDC(w.hwnd, dc);

  char exe[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, exe, MAX_PATH);
  std::string bmp = exe;
  bmp = bmp.substr(0, bmp.find_last_of('\\')) + "\\tmp.bmp";
  DeleteFileA(bmp.c_str());
  ASSERT_EQ(ORLIMB(BitFileIconToWindow)(file.c_str(), w.hwnd, 1), 1);
  std::string data;
  ASSERT_TRUE(ReadFileBytes(bmp, &data));
  ASSERT_GE(data.size(), 54u + 64 * 64 * 3);
  auto u32 = [&](size_t at) { return *reinterpret_cast<const uint32_t*>(data.data() + at); };
  auto u16 = [&](size_t at) { return *reinterpret_cast<const uint16_t*>(data.data() + at); };
  EXPECT_EQ(data.substr(0, 2), "BM");
  EXPECT_EQ(u32(2), data.size());
  EXPECT_EQ(u32(10), 54u);  // 24 bits: no colour table
  EXPECT_EQ(u32(14), 40u);
  EXPECT_EQ(int(u32(18)), 64);
  EXPECT_EQ(int(u32(22)), 64);
  EXPECT_EQ(u16(28), 24);
  // centre pixel (bottom-up rows of 64 * 3 bytes): red
  const size_t centre = 54 + 32 * 192 + 32 * 3;
  EXPECT_EQ(static_cast<unsigned char>(data[centre + 2]), 255);
  EXPECT_EQ(static_cast<unsigned char>(data[centre + 1]), 0);
  DeleteFileA(bmp.c_str());

  EXPECT_EQ(ORLIMB(BitFileIconToWindow)((BuildBin() + "\\no-such.exe").c_str(), w.hwnd, 0), 0);
  EXPECT_EQ(ORLIMB(BitFileIconToWindow)(file.c_str(), nullptr, 0), 0);
  EXPECT_EQ(ORLIMB(BitFileIconToWindow)(nullptr, w.hwnd, 0), 0);
  TestWindow flat(600, 200, 0, 10);
  EXPECT_EQ(ORLIMB(BitFileIconToWindow)(file.c_str(), flat.hwnd, 0), 0);
}

}  // namespace
}  // namespace varnak::test
