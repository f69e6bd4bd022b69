// The demonstration window driven from a second process, as a user and
// other programs reach it: posted mouse messages, SendInput for the
// keyboard (Tab, Shift+Tab, Enter) and the mouse, named events read from the
// demo's standard output, and pixels read back from the screen after the
// repaint. Also the timing of a repeating button and its stop when the
// window loses the mouse capture.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "testsupport/winhost.h"

namespace varnak::ui {
namespace {

// Colours of the demo skin's state graphics.
constexpr COLORREF kNormal = RGB(200, 40, 40);
constexpr COLORREF kMouseOver = RGB(40, 180, 40);
constexpr COLORREF kPressed = RGB(40, 40, 200);
constexpr COLORREF kFocused = RGB(230, 150, 0);
constexpr COLORREF kDisabled = RGB(150, 150, 150);
constexpr COLORREF kBoxNormal = RGB(90, 90, 90);
constexpr COLORREF kBoxOverSelected = RGB(0, 160, 255);
constexpr COLORREF kBoxFocusedSelected = RGB(0, 200, 120);

// Client points inside each control, clear of its text.
constexpr POINT kOk = {20, 47};
constexpr POINT kApply = {20, 81};
constexpr POINT kRepeat = {20, 115};
constexpr POINT kOff = {20, 149};
constexpr POINT kCheckBox = {22, 182};
constexpr POINT kHint = {120, 290};

// One ui_demo.exe process with its standard output in a file.
class DemoProcess {
 public:
  DemoProcess() {
    output_ = folder_.File("demo.out");
    SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
    HANDLE out = CreateFileA(output_.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE) return;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = out;
    si.hStdError = out;
    std::string command = "\"" + test::BinDir() + "\\ui_demo.exe\"";
    if (CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &si,
                       &process_))
      CloseHandle(process_.hThread);
    else
      process_ = PROCESS_INFORMATION{};
    CloseHandle(out);
  }
  ~DemoProcess() {
    if (!process_.hProcess) return;
    if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
      if (hwnd_) PostMessageW(hwnd_, WM_CLOSE, 0, 0);
      if (WaitForSingleObject(process_.hProcess, 5000) == WAIT_TIMEOUT) TerminateProcess(process_.hProcess, 3);
    }
    CloseHandle(process_.hProcess);
  }
  DemoProcess(const DemoProcess&) = delete;
  DemoProcess& operator=(const DemoProcess&) = delete;

  // Waits for the demo's window: a top-level "Window" of the process.
  bool WaitReady() {
    if (!process_.hProcess || !WaitForLine("ready ", 15000)) return false;
    hwnd_ = test::FindProcessWindow(process_.dwProcessId, L"Window");
    if (!hwnd_) return false;
    thread_ = GetWindowThreadProcessId(hwnd_, nullptr);
    Sleep(200);  // the first paint
    return true;
  }

  HWND hwnd() const { return hwnd_; }
  DWORD thread() const { return thread_; }
  HANDLE process() const { return process_.hProcess; }

  std::vector<std::string> Lines() const {
    std::string bytes;
    HANDLE h = CreateFileA(output_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
      char buffer[4096];
      DWORD n = 0;
      while (ReadFile(h, buffer, sizeof buffer, &n, nullptr) && n > 0) bytes.append(buffer, n);
      CloseHandle(h);
    }
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = bytes.find('\n', start)) != std::string::npos; start = end + 1) {
      std::string line = bytes.substr(start, end - start);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      lines.push_back(line);
    }
    return lines;
  }
  // Lines that start with prefix, in order.
  std::vector<std::string> LinesStartingWith(const std::string& prefix) const {
    std::vector<std::string> out;
    for (const std::string& line : Lines())
      if (line.compare(0, prefix.size(), prefix) == 0) out.push_back(line);
    return out;
  }
  size_t Count(const std::string& prefix) const { return LinesStartingWith(prefix).size(); }
  bool WaitForLine(const std::string& prefix, DWORD timeout_ms, size_t count = 1) const {
    const DWORD start = GetTickCount();
    do {
      if (Count(prefix) >= count) return true;
      Sleep(5);
    } while (GetTickCount() - start < timeout_ms);
    return false;
  }

  void Post(UINT message, POINT at, WPARAM wparam = 0) const {
    PostMessageW(hwnd_, message, wparam, MAKELPARAM(at.x, at.y));
  }
  // Clicks with posted messages; waits for the window to have handled them.
  void PostClick(POINT at) {
    Post(WM_MOUSEMOVE, at);
    Post(WM_LBUTTONDOWN, at, MK_LBUTTON);
    Post(WM_LBUTTONUP, at);
    Sync();
  }
  // Returns once the window's thread has handled everything posted before:
  // the demo answers a posted sync request in order (a sent message would
  // overtake the posted ones).
  void Sync() {
    const std::string line = "sync " + std::to_string(++syncs_);
    PostMessageW(hwnd_, WM_APP + 0x100, syncs_, 0);
    WaitForLine(line, 5000);
  }

  // The screen pixel at a client point of the window.
  COLORREF Pixel(POINT at) const {
    POINT p = at;
    ClientToScreen(hwnd_, &p);
    HDC screen = GetDC(nullptr);
    const COLORREF c = GetPixel(screen, p.x, p.y);
    ReleaseDC(nullptr, screen);
    return c;
  }
  // Waits for the repaint to show colour at a client point.
  bool WaitForPixel(POINT at, COLORREF colour, DWORD timeout_ms = 3000) const {
    const DWORD start = GetTickCount();
    do {
      if (Pixel(at) == colour) return true;
      Sleep(5);
    } while (GetTickCount() - start < timeout_ms);
    return false;
  }

 private:
  test::TempFolder folder_;
  std::string output_;
  PROCESS_INFORMATION process_ = {};
  HWND hwnd_ = nullptr;
  DWORD thread_ = 0;
  unsigned syncs_ = 0;
};

std::string Hex(COLORREF c) {
  char text[16];
  std::snprintf(text, sizeof text, "%06lX", static_cast<unsigned long>(c));
  return text;
}

void SendKey(WORD vk, bool up) {
  INPUT in = {};
  in.type = INPUT_KEYBOARD;
  in.ki.wVk = vk;
  in.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, 0));
  in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  SendInput(1, &in, sizeof in);
}

void TapKey(WORD vk) {
  SendKey(vk, false);
  SendKey(vk, true);
}

void SendMouse(DWORD flags, POINT screen) {
  INPUT in = {};
  in.type = INPUT_MOUSE;
  in.mi.dx = MulDiv(screen.x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
  in.mi.dy = MulDiv(screen.y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
  in.mi.dwFlags = flags | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE;
  SendInput(1, &in, sizeof in);
}

// The focus line the demo prints when name takes the focus.
std::string FocusOf(const char* name) { return std::string("focus ") + name; }

TEST(WindowRemote, PostedMouseInputShowsHoverPressedAndDisabledStatesAndClicks) {
  DemoProcess demo;
  ASSERT_TRUE(demo.WaitReady());
  EXPECT_TRUE(demo.WaitForPixel(kOk, kNormal)) << Hex(demo.Pixel(kOk));
  EXPECT_EQ(demo.Pixel(kOff), kDisabled);
  // hover, press, release
  demo.Post(WM_MOUSEMOVE, kOk);
  EXPECT_TRUE(demo.WaitForPixel(kOk, kMouseOver)) << Hex(demo.Pixel(kOk));
  demo.Post(WM_LBUTTONDOWN, kOk, MK_LBUTTON);
  EXPECT_TRUE(demo.WaitForPixel(kOk, kPressed)) << Hex(demo.Pixel(kOk));
  EXPECT_TRUE(demo.WaitForLine(FocusOf("Ok"), 2000));
  EXPECT_EQ(demo.Count("event "), 0u);  // release mode: the click comes with the button-up
  demo.Post(WM_LBUTTONUP, kOk);
  EXPECT_TRUE(demo.WaitForLine("event Ok_OnClick Ok", 2000));
  EXPECT_TRUE(demo.WaitForPixel(kOk, kMouseOver)) << Hex(demo.Pixel(kOk));
  // moving onto the next button: the first one leaves and shows its focus
  demo.Post(WM_MOUSEMOVE, kApply);
  EXPECT_TRUE(demo.WaitForPixel(kApply, kMouseOver)) << Hex(demo.Pixel(kApply));
  EXPECT_TRUE(demo.WaitForPixel(kOk, kFocused)) << Hex(demo.Pixel(kOk));
  // the disabled button shows no hover or press and clicks nothing
  demo.PostClick(kOff);
  demo.PostClick(kApply);
  ASSERT_TRUE(demo.WaitForLine("event Apply_OnClick Apply", 2000));
  EXPECT_EQ(demo.Pixel(kOff), kDisabled);
  EXPECT_EQ(demo.Count("event Off_OnClick"), 0u);
  EXPECT_EQ(demo.Count("event "), 2u);
  // the check box checks and unchecks, and shows it
  demo.PostClick(kCheckBox);
  EXPECT_TRUE(demo.WaitForLine("event Check_OnClick Check check=1", 2000));
  EXPECT_TRUE(demo.WaitForPixel(kCheckBox, kBoxOverSelected)) << Hex(demo.Pixel(kCheckBox));
  demo.Post(WM_MOUSEMOVE, kHint);
  EXPECT_TRUE(demo.WaitForPixel(kCheckBox, kBoxFocusedSelected)) << Hex(demo.Pixel(kCheckBox));
  demo.PostClick(kCheckBox);
  EXPECT_TRUE(demo.WaitForLine("event Check_OnClick Check check=0", 2000));
  // closing the window ends the program
  PostMessageW(demo.hwnd(), WM_CLOSE, 0, 0);
  ASSERT_EQ(WaitForSingleObject(demo.process(), 10000), WAIT_OBJECT_0);
  DWORD code = 99;
  GetExitCodeProcess(demo.process(), &code);
  EXPECT_EQ(code, 0u);
  EXPECT_EQ(demo.Count("closed"), 1u);
}

TEST(WindowRemote, SendInputTabCyclesFocusShiftTabGoesBackEnterClicksDefaultMouseClicksCheckBox) {
  DemoProcess demo;
  ASSERT_TRUE(demo.WaitReady());
  SetForegroundWindow(demo.hwnd());
  Sleep(100);
  ASSERT_EQ(GetForegroundWindow(), demo.hwnd());
  // Tab order: the tab stops of the tree in order, disabled ones included
  const char* const order[] = {"Ok", "Apply", "Repeat", "Off", "Check", "RadioA", "RadioB", "Ok"};
  for (size_t k = 0; k < std::size(order); ++k) {
    TapKey(VK_TAB);
    demo.Sync();
    ASSERT_TRUE(demo.WaitForLine("focus ", 2000, k + 1)) << "after Tab " << k + 1;
    EXPECT_EQ(demo.LinesStartingWith("focus ").back(), FocusOf(order[k]));
  }
  EXPECT_TRUE(demo.WaitForPixel(kOk, kFocused)) << Hex(demo.Pixel(kOk));
  // Shift+Tab walks backward and wraps from the first to the last
  SendKey(VK_SHIFT, false);
  TapKey(VK_TAB);
  TapKey(VK_TAB);
  SendKey(VK_SHIFT, true);
  demo.Sync();
  ASSERT_TRUE(demo.WaitForLine("focus ", 2000, std::size(order) + 2));
  const std::vector<std::string> focus = demo.LinesStartingWith("focus ");
  EXPECT_EQ(focus[focus.size() - 2], FocusOf("RadioB"));
  EXPECT_EQ(focus.back(), FocusOf("RadioA"));
  EXPECT_TRUE(demo.WaitForPixel(kOk, kNormal)) << Hex(demo.Pixel(kOk));
  // Enter clicks the default button wherever the focus is
  TapKey(VK_RETURN);
  EXPECT_TRUE(demo.WaitForLine("event Ok_OnClick Ok", 2000));
  EXPECT_EQ(demo.Count("event "), 1u);
  // a real click on the check box: hover, focus and check
  POINT box = kCheckBox;
  ClientToScreen(demo.hwnd(), &box);
  SendMouse(0, box);
  SendMouse(MOUSEEVENTF_LEFTDOWN, box);
  SendMouse(MOUSEEVENTF_LEFTUP, box);
  EXPECT_TRUE(demo.WaitForLine("event Check_OnClick Check check=1", 2000));
  EXPECT_EQ(demo.LinesStartingWith("focus ").back(), FocusOf("Check"));
  EXPECT_TRUE(demo.WaitForPixel(kCheckBox, kBoxOverSelected)) << Hex(demo.Pixel(kCheckBox));
}

TEST(WindowRemote, ForgedPrivateMessagesFromAnotherProcessAreIgnored) {
  DemoProcess demo;
  ASSERT_TRUE(demo.WaitReady());
  // an invocation request and a thread-timer tick with made-up pointers
  DWORD_PTR answer = 99;
  ASSERT_TRUE(SendMessageTimeoutW(demo.hwnd(), 0x17000, WM_LBUTTONUP, 0x12345678, SMTO_NORMAL, 5000, &answer));
  EXPECT_EQ(answer, 0u);
  PostMessageW(demo.hwnd(), 0x9000, 7, 0x12345678);
  PostMessageW(demo.hwnd(), 0x9000, 7, 0);
  demo.Sync();
  EXPECT_EQ(WaitForSingleObject(demo.process(), 0), static_cast<DWORD>(WAIT_TIMEOUT));  // still running
  EXPECT_EQ(demo.Count("event "), 0u);
  // and the window still works
  demo.PostClick(kApply);
  EXPECT_TRUE(demo.WaitForLine("event Apply_OnClick Apply", 2000));
}

// Ticks of the repeat button's clicks, relative to the press, from the
// times the demo stamped on its event lines.
std::vector<long> RepeatTimes(const DemoProcess& demo, DWORD pressed_at) {
  std::vector<long> times;
  for (const std::string& line : demo.LinesStartingWith("event Repeat_OnClick")) {
    const size_t t = line.find(" t=");
    if (t != std::string::npos) times.push_back(static_cast<long>(std::strtoul(line.c_str() + t + 3, nullptr, 10) - pressed_at));
  }
  return times;
}

TEST(WindowRemote, RepeatButtonClicksAtItsIntervalsAndStopsWhenTheCaptureIsLost) {
  DemoProcess demo;
  ASSERT_TRUE(demo.WaitReady());
  SetForegroundWindow(demo.hwnd());  // the system reports the capture of the foreground thread
  demo.Post(WM_MOUSEMOVE, kRepeat);
  demo.Sync();
  const DWORD pressed_at = GetTickCount();
  demo.Post(WM_LBUTTONDOWN, kRepeat, MK_LBUTTON);
  demo.Sync();
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  ASSERT_TRUE(GetGUIThreadInfo(demo.thread(), &info));
  EXPECT_EQ(info.hwndCapture, demo.hwnd());  // the button holds the capture while pressed
  GUITHREADINFO mine = {}; mine.cbSize = sizeof mine; GetGUIThreadInfo(0, &mine);
  // start delay 400 ms, then every 100 ms: within 1,000 ms the clicks at
  // 400, 500, ... 1,000 ms (±150 ms)
  Sleep(1000);
  std::vector<long> times = RepeatTimes(demo, pressed_at);
  ASSERT_GE(times.size(), 5u);
  EXPECT_LE(times.size(), 8u);
  EXPECT_NEAR(times[0], 400, 150);
  for (size_t k = 1; k < times.size(); ++k) EXPECT_NEAR(times[k], 400 + 100 * static_cast<long>(k), 150) << k;
  // the system takes the capture away (as a modal loop does): no more clicks
  PostMessageW(demo.hwnd(), WM_CANCELMODE, 0, 0);
  demo.Sync();
  const size_t stopped = demo.Count("event Repeat_OnClick");
  Sleep(600);
  EXPECT_LE(demo.Count("event Repeat_OnClick"), stopped + 1);  // one tick may have been queued already
  const size_t later = demo.Count("event Repeat_OnClick");
  Sleep(400);
  EXPECT_EQ(demo.Count("event Repeat_OnClick"), later);
  ASSERT_TRUE(GetGUIThreadInfo(demo.thread(), &info));
  EXPECT_EQ(info.hwndCapture, nullptr);
}

}  // namespace
}  // namespace varnak::ui
