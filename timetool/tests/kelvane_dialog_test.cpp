// Kelvane.exe driven as a user would: the dialog found by its caption, its
// buttons and radios clicked, its time fields read, its message boxes
// answered, against the loopback NTP peers.
#include <gtest/gtest.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "testsupport/winhost.h"
#include "timetool/resource.h"
#include "timetool/tests/peers.h"

namespace kelvane::test {
namespace {

using varnak::test::BinDir;
using varnak::test::ClickMessageBox;

const wchar_t kCaption[] = L"时间校对器";

// One running Kelvane.exe and its dialog; ended on destruction.
class Kelvane {
 public:
  ~Kelvane() {
    if (process_.hProcess != nullptr) {
      if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
        TerminateProcess(process_.hProcess, 1);
        WaitForSingleObject(process_.hProcess, 5000);
      }
      CloseHandle(process_.hProcess);
      CloseHandle(process_.hThread);
    }
  }

  // Starts the tool with the four given servers and waits for its dialog.
  bool Start(const std::string& servers) {
    SetEnvironmentVariableA("KELVANE_NTP_SERVERS", servers.c_str());
    std::string command = "\"" + BinDir() + "\\Kelvane.exe\"";
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &process_))
      return false;
    for (int i = 0; i < 200 && dialog_ == nullptr; ++i) {
      for (HWND w = FindWindowExW(nullptr, nullptr, nullptr, kCaption); w != nullptr;
           w = FindWindowExW(nullptr, w, nullptr, kCaption)) {
        DWORD pid = 0;
        GetWindowThreadProcessId(w, &pid);
        if (pid == process_.dwProcessId && IsWindowVisible(w)) dialog_ = w;
      }
      if (dialog_ == nullptr) Sleep(50);
    }
    return dialog_ != nullptr;
  }

  HWND dialog() const { return dialog_; }
  HANDLE process() const { return process_.hProcess; }
  HWND Item(int id) const { return GetDlgItem(dialog_, id); }
  // WM_GETTEXT: GetWindowText does not ask another process's edit boxes
  std::wstring Text(int id) const {
    wchar_t text[260] = {};
    SendMessageW(Item(id), WM_GETTEXT, 260, reinterpret_cast<LPARAM>(text));
    return text;
  }
  void SetText(int id, const wchar_t* text) const {
    SendMessageW(Item(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
  }
  bool Enabled(int id) const { return IsWindowEnabled(Item(id)) != FALSE; }
  bool Checked(int id) const {
    return SendMessageW(Item(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
  }
  // A click that returns once the dialog has handled it.
  void Click(int id) const { SendMessageW(Item(id), BM_CLICK, 0, 0); }
  // A click for a handler that opens a message box on the dialog thread.
  void PostClick(int id) const { PostMessageW(Item(id), BM_CLICK, 0, 0); }

  // Waits until both buttons are enabled again.
  bool WaitIdle(DWORD timeout_ms = 15000) const {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < timeout_ms) {
      if (Enabled(IDOK) && Enabled(IDC_REFRESH)) return true;
      Sleep(20);
    }
    return false;
  }

 private:
  PROCESS_INFORMATION process_ = {};
  HWND dialog_ = nullptr;
};

// Seconds between a time field's text and the local clock now; a large
// figure when the text is not a time.
long long SecondsFromNow(const std::wstring& text, int year_offset = 0) {
  SYSTEMTIME shown = {};
  int y, mo, d, h, mi, s;
  if (std::swscanf(text.c_str(), L"%d-%d-%d %d:%d:%d", &y, &mo, &d, &h, &mi, &s) != 6)
    return 1LL << 40;
  shown.wYear = static_cast<WORD>(y - year_offset);
  shown.wMonth = static_cast<WORD>(mo);
  shown.wDay = static_cast<WORD>(d);
  shown.wHour = static_cast<WORD>(h);
  shown.wMinute = static_cast<WORD>(mi);
  shown.wSecond = static_cast<WORD>(s);
  SYSTEMTIME now;
  GetLocalTime(&now);
  FILETIME a, b;
  if (!SystemTimeToFileTime(&shown, &a) || !SystemTimeToFileTime(&now, &b)) return 1LL << 40;
  auto ticks = [](const FILETIME& f) {
    return static_cast<long long>((static_cast<unsigned long long>(f.dwHighDateTime) << 32) |
                                  f.dwLowDateTime);
  };
  const long long diff = (ticks(a) - ticks(b)) / 10000000LL;
  return diff < 0 ? -diff : diff;
}

class KelvaneDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    peers_ = LoadPeers();
    if (peers_.empty()) GTEST_SKIP() << "KELVANE_PEERS not set: the NTP peers are not running";
  }
  std::string Servers(const char* a, const char* b, const char* c, const char* d) {
    return peers_[a] + "," + peers_[b] + "," + peers_[c] + "," + peers_[d];
  }
  std::map<std::string, std::string> peers_;
};

TEST_F(KelvaneDialog, ControlsTextsAndPositionsMatchTheResource) {
  Kelvane tool;
  ASSERT_TRUE(tool.Start(Servers("chrony", "slow", "kod", "era1")));
  struct Control {
    int id;
    const wchar_t* text;
    int x, y, cx, cy;
  };
  const Control controls[] = {
      {IDOK, L"校对时间", 93, 81, 44, 14},
      {-1, L"系统时间:", 5, 7, 31, 8},
      {IDC_SYSTEM_TIME, L"", 40, 5, 112, 12},
      {-1, L"网络时间:", 5, 19, 31, 8},
      {IDC_NETWORK_TIME, L"", 40, 17, 112, 12},
      {IDC_REFRESH, L"刷新时间", 20, 81, 42, 15},
      {-1, L"请选择同步时间用的服务器:", 5, 31, 51, 8},
      {IDC_SERVER_1, L"上海交通大学(推荐)", 9, 42, 74, 10},
      {IDC_SERVER_2, L"美国苹果公司", 92, 42, 57, 10},
      {IDC_SERVER_3, L"东北授时中心", 9, 54, 64, 10},
      {IDC_SERVER_4, L"中国东北大学", 92, 54, 53, 10},
      {IDC_SERVER_4_BSD, L"FreeBSD授时服务", 9, 67, 64, 10},
  };
  // the template's 159 x 101 dialog units are the client area
  RECT client;
  GetClientRect(tool.dialog(), &client);
  const double sx = client.right / 159.0, sy = client.bottom / 101.0;
  ASSERT_GT(sx, 1.0);
  for (const Control& c : controls) {
    HWND item = nullptr;
    if (c.id > 0) {
      item = tool.Item(c.id);
    } else {
      for (HWND w = FindWindowExW(tool.dialog(), nullptr, L"Static", nullptr); w && !item;
           w = FindWindowExW(tool.dialog(), w, L"Static", nullptr)) {
        wchar_t text[64] = {};
        GetWindowTextW(w, text, 64);
        if (std::wcscmp(text, c.text) == 0) item = w;
      }
    }
    ASSERT_NE(item, nullptr) << c.id;
    wchar_t text[64] = {};
    SendMessageW(item, WM_GETTEXT, 64, reinterpret_cast<LPARAM>(text));
    EXPECT_STREQ(text, c.text) << c.id;
    RECT r;
    GetWindowRect(item, &r);
    MapWindowPoints(nullptr, tool.dialog(), reinterpret_cast<POINT*>(&r), 2);
    EXPECT_NEAR(r.left, c.x * sx, 1.5) << c.id;
    EXPECT_NEAR(r.top, c.y * sy, 1.5) << c.id;
    EXPECT_NEAR(r.right - r.left, c.cx * sx, 1.5) << c.id;
    EXPECT_NEAR(r.bottom - r.top, c.cy * sy, 1.5) << c.id;
  }
  EXPECT_TRUE(tool.Checked(IDC_SERVER_1));
  for (int id : {IDC_SERVER_2, IDC_SERVER_3, IDC_SERVER_4, IDC_SERVER_4_BSD})
    EXPECT_FALSE(tool.Checked(id)) << id;
  for (int id : {IDC_SYSTEM_TIME, IDC_NETWORK_TIME})
    EXPECT_TRUE(GetWindowLongW(tool.Item(id), GWL_STYLE) & ES_READONLY) << id;
  EXPECT_TRUE(GetWindowLongW(tool.Item(IDOK), GWL_STYLE) & BS_DEFPUSHBUTTON);
  EXPECT_TRUE(tool.Enabled(IDOK) && tool.Enabled(IDC_REFRESH));
  EXPECT_NE(GetMenu(tool.dialog()), nullptr);
}

TEST(KelvaneResources, DialogMenuIconAndManifest) {
  const std::string exe = BinDir() + "\\Kelvane.exe";
  HMODULE image = LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(image, nullptr);
  EXPECT_NE(FindResourceW(image, MAKEINTRESOURCEW(IDD_KELVANE_DIALOG), MAKEINTRESOURCEW(5)),
            nullptr);  // RT_DIALOG
  for (int size : {16, 32}) {
    HANDLE icon = LoadImageW(image, MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON, size, size, 0);
    EXPECT_NE(icon, nullptr) << size << " error " << GetLastError();
    if (icon) DestroyIcon(static_cast<HICON>(icon));
  }

  HMENU menu = LoadMenuW(image, MAKEINTRESOURCEW(IDR_MENU_KELVANE));
  ASSERT_NE(menu, nullptr);
  auto text_of = [](HMENU m, UINT item, UINT flags) {
    wchar_t text[64] = {};
    GetMenuStringW(m, item, text, 64, flags);
    return std::wstring(text);
  };
  ASSERT_EQ(GetMenuItemCount(menu), 2);
  EXPECT_EQ(text_of(menu, 0, MF_BYPOSITION), L"文件");
  EXPECT_EQ(text_of(menu, 1, MF_BYPOSITION), L"帮助");
  HMENU file = GetSubMenu(menu, 0), help = GetSubMenu(menu, 1);
  EXPECT_EQ(GetMenuItemCount(file), 1);
  EXPECT_EQ(GetMenuItemID(file, 0), static_cast<UINT>(ID_FILE_EXIT));
  EXPECT_EQ(text_of(file, ID_FILE_EXIT, MF_BYCOMMAND), L"退出");
  EXPECT_EQ(GetMenuItemCount(help), 2);
  EXPECT_EQ(GetMenuItemID(help, 0), static_cast<UINT>(ID_HELP_WEBSITE));
  EXPECT_EQ(GetMenuItemID(help, 1), static_cast<UINT>(ID_HELP_ABOUT));
  EXPECT_EQ(text_of(help, ID_HELP_WEBSITE, MF_BYCOMMAND), L"访问官网");
  EXPECT_EQ(text_of(help, ID_HELP_ABOUT, MF_BYCOMMAND), L"关于");
  DestroyMenu(menu);

  // Wine runs everything as administrator; on Windows the manifest asks for it
  HRSRC found = FindResourceW(image, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));  // RT_MANIFEST
  ASSERT_NE(found, nullptr);
  const char* bytes = static_cast<const char*>(LockResource(LoadResource(image, found)));
  const std::string manifest(bytes, SizeofResource(image, found));
  EXPECT_NE(manifest.find("level=\"requireAdministrator\""), std::string::npos);
  FreeLibrary(image);
}

TEST_F(KelvaneDialog, AboutBox) {
  Kelvane tool;
  ASSERT_TRUE(tool.Start(Servers("chrony", "slow", "kod", "era1")));
  auto box = ClickMessageBox(L"关于时间校对器", IDOK);
  PostMessageW(tool.dialog(), WM_COMMAND, ID_HELP_ABOUT, 0);
  const std::wstring text = box.get();
  EXPECT_EQ(text.substr(text.rfind(L'\n') + 1), L" 版本:1.0.0.5");
  EXPECT_EQ(std::count(text.begin(), text.end(), L'\n'), 2) << "three lines";
}

TEST_F(KelvaneDialog, RefreshDisablesBothButtonsAndShowsBothTimes) {
  Kelvane tool;
  ASSERT_TRUE(tool.Start(Servers("chrony", "slow", "kod", "era1")));
  tool.Click(IDC_SERVER_2);  // answers after 1.5 s
  tool.Click(IDC_REFRESH);
  EXPECT_EQ(tool.Text(IDC_REFRESH), L"读取时间");
  EXPECT_EQ(tool.Text(IDOK), L"校对时间");
  EXPECT_FALSE(tool.Enabled(IDC_REFRESH));
  EXPECT_FALSE(tool.Enabled(IDOK));
  // the choice of server stays free while querying
  tool.Click(IDC_SERVER_3);
  EXPECT_TRUE(tool.Checked(IDC_SERVER_3));
  EXPECT_FALSE(tool.Checked(IDC_SERVER_2));
  ASSERT_TRUE(tool.WaitIdle());
  EXPECT_EQ(tool.Text(IDC_REFRESH), L"刷新时间");
  EXPECT_LE(SecondsFromNow(tool.Text(IDC_NETWORK_TIME)), 3);
  EXPECT_LE(SecondsFromNow(tool.Text(IDC_SYSTEM_TIME)), 3);

  // now slot 3: a kiss-o'-death reply
  auto box = ClickMessageBox(L"严重错误!", IDOK);
  const std::wstring network = tool.Text(IDC_NETWORK_TIME), system = tool.Text(IDC_SYSTEM_TIME);
  tool.Click(IDC_REFRESH);
  EXPECT_EQ(box.get(), L"从NTP服务器读取时间失败!!");
  ASSERT_TRUE(tool.WaitIdle());
  EXPECT_EQ(tool.Text(IDC_REFRESH), L"刷新时间");
  EXPECT_EQ(tool.Text(IDC_NETWORK_TIME), network);
  EXPECT_EQ(tool.Text(IDC_SYSTEM_TIME), system);
}

TEST_F(KelvaneDialog, SilentServerFailsAfterTheTenSecondWait) {
  // nothing listens on slot 3, and Wine passes on no port-unreachable error:
  // the tool waits its full 10 s, as with the network unplugged
  Kelvane tool;
  ASSERT_TRUE(tool.Start(Servers("chrony", "slow", "closed", "era1")));
  tool.Click(IDC_SERVER_3);
  const DWORD start = GetTickCount();
  auto box = ClickMessageBox(L"严重错误!", IDOK, 20000);
  tool.Click(IDC_REFRESH);
  EXPECT_EQ(box.get(), L"从NTP服务器读取时间失败!!");
  const DWORD waited = GetTickCount() - start;
  EXPECT_GE(waited, 9500u);
  EXPECT_LE(waited, 15000u);  // a loaded machine adds to the wait
  ASSERT_TRUE(tool.WaitIdle());
  EXPECT_EQ(tool.Text(IDC_REFRESH), L"刷新时间");
}

TEST_F(KelvaneDialog, BothNortheastButtonsQuerySlotFour) {
  Kelvane tool;
  ASSERT_TRUE(tool.Start(Servers("chrony", "slow", "kod", "era1")));
  for (int radio : {IDC_SERVER_4, IDC_SERVER_4_BSD}) {
    tool.SetText(IDC_NETWORK_TIME, L"");
    tool.Click(radio);
    tool.Click(IDC_REFRESH);
    ASSERT_TRUE(tool.WaitIdle());
    // the next NTP era, shown in local time (TZ=CST-8)
    EXPECT_EQ(tool.Text(IDC_NETWORK_TIME), L"2036-2-7 14:29:56") << radio;
  }
}

TEST_F(KelvaneDialog, CalibrationSetsTheClock) {
  Kelvane tool;
  ASSERT_TRUE(tool.Start(Servers("chrony", "slow", "kod", "era1")));
  auto box = ClickMessageBox(L"成功!", IDOK, 15000);
  tool.Click(IDC_SERVER_2);  // answers after 1.5 s, half of it after its timestamp
  tool.Click(IDOK);
  EXPECT_EQ(tool.Text(IDOK), L"读取时间");
  EXPECT_EQ(tool.Text(IDC_REFRESH), L"刷新时间");
  EXPECT_FALSE(tool.Enabled(IDOK));
  EXPECT_FALSE(tool.Enabled(IDC_REFRESH));
  EXPECT_EQ(box.get(), L"校对完成!");
  ASSERT_TRUE(tool.WaitIdle());
  EXPECT_EQ(tool.Text(IDOK), L"校对时间");
  EXPECT_LE(SecondsFromNow(tool.Text(IDC_NETWORK_TIME)), 3);
  EXPECT_LE(SecondsFromNow(tool.Text(IDC_SYSTEM_TIME)), 3);

  // Enter presses the default button: another calibration, from chronyd
  tool.Click(IDC_SERVER_1);
  auto again = ClickMessageBox(L"成功!", IDOK);
  PostMessageW(tool.dialog(), WM_KEYDOWN, VK_RETURN, 0);
  EXPECT_EQ(again.get(), L"校对完成!");
  EXPECT_TRUE(tool.WaitIdle());
}

TEST_F(KelvaneDialog, RefusedClockChangeIsReported) {
  // a time a year away: the platform refuses to set it
  Kelvane tool;
  ASSERT_TRUE(tool.Start(Servers("year", "slow", "closed", "era1")));
  auto box = ClickMessageBox(L"严重错误!", IDOK);
  tool.Click(IDOK);
  EXPECT_EQ(box.get(), L"设置系统时间失败!");
  ASSERT_TRUE(tool.WaitIdle());
  EXPECT_EQ(tool.Text(IDOK), L"校对时间");
  EXPECT_LE(SecondsFromNow(tool.Text(IDC_NETWORK_TIME), 1), 2 * 86400) << "a year ahead";
  EXPECT_LE(SecondsFromNow(tool.Text(IDC_SYSTEM_TIME)), 3) << "the clock as read back";
}

TEST_F(KelvaneDialog, RejectedReplyLeavesTheClockAndFieldsAlone) {
  Kelvane tool;
  ASSERT_TRUE(tool.Start(Servers("kod", "unsync", "closed", "era1")));
  for (int radio : {IDC_SERVER_1, IDC_SERVER_2}) {
    tool.Click(radio);
    auto box = ClickMessageBox(L"严重错误!", IDOK);
    tool.Click(IDOK);
    EXPECT_EQ(box.get(), L"从NTP服务器读取时间失败!!") << radio;
    ASSERT_TRUE(tool.WaitIdle());
    EXPECT_EQ(tool.Text(IDC_NETWORK_TIME), L"") << radio;
    EXPECT_EQ(tool.Text(IDOK), L"校对时间");
  }
}

TEST_F(KelvaneDialog, NoServerChosen) {
  Kelvane tool;
  ASSERT_TRUE(tool.Start(Servers("chrony", "slow", "kod", "era1")));
  SendMessageW(tool.Item(IDC_SERVER_1), BM_SETCHECK, BST_UNCHECKED, 0);
  auto box = ClickMessageBox(L"严重错误!", IDOK);
  tool.PostClick(IDC_REFRESH);
  EXPECT_EQ(box.get(), L"请选择一个授时机构!");
  Sleep(200);
  EXPECT_TRUE(tool.Enabled(IDOK) && tool.Enabled(IDC_REFRESH));
  EXPECT_EQ(tool.Text(IDC_REFRESH), L"刷新时间");
}

TEST_F(KelvaneDialog, ExitCommandAndCloseBoxEndTheProgram) {
  for (UINT message : {static_cast<UINT>(WM_COMMAND), static_cast<UINT>(WM_CLOSE)}) {
    Kelvane tool;
    ASSERT_TRUE(tool.Start(Servers("chrony", "slow", "kod", "era1")));
    PostMessageW(tool.dialog(), message, message == WM_COMMAND ? ID_FILE_EXIT : 0, 0);
    ASSERT_EQ(WaitForSingleObject(tool.process(), 5000), WAIT_OBJECT_0) << message;
    DWORD code = 1;
    GetExitCodeProcess(tool.process(), &code);
    EXPECT_EQ(code, 0u) << message;
  }
}

}  // namespace
}  // namespace kelvane::test
