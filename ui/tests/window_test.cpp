// Real windows: mouse and keyboard dispatch, named events, buttons, check
// boxes and radio boxes, message and thread timers, and requests from worker
// threads, driven with window messages.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/controls/button.h"
#include "ui/render.h"
#include "ui/window.h"
#include "ui/xml_parser.h"

namespace varnak::ui {
namespace {

const char kSkin[] = R"(<Window Width="200" Height="100" ForceGdiplus="true">
 <StackPanel Name="Root" Orientation="Horizontal" AlignmentMajor="Left" Background="255,255,255">
  <Button Name="Ok" Width="60" Height="30" OnClick="ok" IsDefault="true"
     StateNormal="255,0,0" StateMouseOver="0,255,0" StatePressed="0,0,255"/>
  <CheckBox Name="Check" Width="40" Height="30" OnClick="check" AutoStateMax="Select"
     StateNormal="0,0,0" StateNormalSelect="255,255,0"/>
 </StackPanel>
</Window>)";

class RecordingWindow : public CWindowX {
 public:
  HRESULT OnEvent(const std::wstring& handler, CPanelX*, UINT, LRESULT*, WPARAM, LPARAM) override {
    events.push_back(handler);
    return ROUTE_HANDLED;
  }
  std::vector<std::wstring> events;
};

class TickPanel : public CPanelX {
 public:
  void OnThreadTimer(UINT id) override { thread_ticks += id == 7; }
  void OnMessageTimerAlt(UINT_PTR id) override { message_ticks += id == 3; }
  int thread_ticks = 0;
  int message_ticks = 0;
};

// Holds one reference, like the creator of an element.
template <typename T>
struct Ref {
  T* p;
  Ref() : p(new T()) { p->AddRef(); }
  ~Ref() { p->Release(); }
  Ref(const Ref&) = delete;
  Ref& operator=(const Ref&) = delete;
  T* operator->() const { return p; }
  T* get() const { return p; }
};

void Pump(DWORD ms) {
  const DWORD start = GetTickCount();
  do {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) continue;
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    Sleep(5);
  } while (GetTickCount() - start < ms);
}

CButtonX* FindButton(CWindowX* w, const wchar_t* name) {
  CPanelX* p = nullptr;
  if (!w->GetContent()->FindElementByName(name, &p)) return nullptr;
  p->Release();  // the tree keeps it
  return dynamic_cast<CButtonX*>(p);
}

uint32_t PixelAt(CWindowX* w, int x, int y) {
  std::vector<uint32_t> px;
  if (RenderToPixels(w->GetContent(), 200, 100, &px) != S_OK) return 0;
  return px[static_cast<size_t>(y) * 200 + x];
}

struct WindowInput : ::testing::Test {
  void SetUp() override {
    window = new RecordingWindow();
    window->AddRef();
    CWindowX* loaded = nullptr;
    ASSERT_EQ(CXmlParserX().LoadWindowFromBytes(kSkin, sizeof kSkin - 1, &loaded), S_OK);
    CPanelX* content = loaded->GetContent();
    content->AddRef();
    loaded->Release();  // drops its content
    ASSERT_EQ(window->SetContent(content), S_OK);
    content->Release();
    ASSERT_TRUE(window->CreateNativeWindow());
    SetWindowPos(window->hwnd(), nullptr, 0, 0, 200, 100, SWP_NOZORDER | SWP_NOACTIVATE);
    window->GetContent()->InvalidateLayout(false);
    RECT r;
    window->GetContent()->GetRect(&r, false);
    ok = FindButton(window, L"Ok");
    check = FindButton(window, L"Check");
    ASSERT_TRUE(ok && check);
  }
  void TearDown() override {
    if (window) {
      window->DestroyNativeWindow();
      window->Release();
    }
    Pump(0);
  }
  LRESULT Send(UINT message, int x, int y, WPARAM wparam = 0) {
    return SendMessageW(window->hwnd(), message, wparam, MAKELPARAM(x, y));
  }
  RecordingWindow* window = nullptr;
  CButtonX* ok = nullptr;
  CButtonX* check = nullptr;
};

TEST_F(WindowInput, HoverPressAndReleaseShowStatesAndClick) {
  EXPECT_EQ(PixelAt(window, 10, 50), 0xFFFF0000u);
  Send(WM_MOUSEMOVE, 10, 50);
  EXPECT_TRUE(ok->hovered());
  EXPECT_EQ(PixelAt(window, 10, 50), 0xFF00FF00u);
  Send(WM_LBUTTONDOWN, 10, 50, MK_LBUTTON);
  EXPECT_EQ(PixelAt(window, 10, 50), 0xFF0000FFu);
  EXPECT_EQ(window->focused(), ok);  // buttons are tab stops
  EXPECT_TRUE(window->events.empty());  // Release mode clicks on the button-up
  Send(WM_LBUTTONUP, 10, 50);
  ASSERT_EQ(window->events.size(), 1u);
  EXPECT_EQ(window->events[0], L"ok");
  // moving onto the check box leaves the button
  Send(WM_MOUSEMOVE, 70, 50);
  EXPECT_FALSE(ok->hovered());
  EXPECT_TRUE(check->hovered());
  // the disabled button does not click
  window->events.clear();
  ok->Disable();
  Send(WM_LBUTTONDOWN, 10, 50, MK_LBUTTON);
  Send(WM_LBUTTONUP, 10, 50);
  EXPECT_TRUE(window->events.empty());
}

TEST_F(WindowInput, CheckBoxCyclesAndSelectStatesAreBounded) {
  EXPECT_EQ(PixelAt(window, 70, 50), 0xFF000000u);
  Send(WM_LBUTTONDOWN, 70, 50, MK_LBUTTON);
  Send(WM_LBUTTONUP, 70, 50);
  EXPECT_EQ(check->GetCheck(), 1);
  EXPECT_EQ(PixelAt(window, 70, 50), 0xFFFFFF00u);
  Send(WM_LBUTTONDOWN, 70, 50, MK_LBUTTON);
  Send(WM_LBUTTONUP, 70, 50);
  EXPECT_EQ(check->GetCheck(), 0);
  EXPECT_EQ(check->SetCheck(3), E_INVALIDARG);
  EXPECT_EQ(check->SetCheck(-1), E_INVALIDARG);
  EXPECT_EQ(check->GetCheck(), 0);
  check->SetCheckMax(9);
  EXPECT_EQ(check->GetCheckMax(), 2);
  EXPECT_EQ(check->SetStateGraphic(nullptr, -1, 0), E_INVALIDARG);
  EXPECT_EQ(check->GetStateGraphic(0, 3), nullptr);
}

TEST_F(WindowInput, EnterClicksVisibleDefaultButtonAndTabCyclesFocus) {
  Send(WM_KEYDOWN, 0, 0, VK_RETURN);
  ASSERT_EQ(window->events.size(), 1u);
  EXPECT_EQ(window->events[0], L"ok");
  ok->SetVisible(false);
  Send(WM_KEYDOWN, 0, 0, VK_RETURN);
  EXPECT_EQ(window->events.size(), 1u);  // hidden default buttons stay quiet
  ok->SetVisible(true);
  EXPECT_EQ(window->focused(), nullptr);
  SendMessageW(window->hwnd(), WM_KEYDOWN, VK_TAB, 0);
  SendMessageW(window->hwnd(), WM_KEYUP, VK_TAB, 0);
  EXPECT_EQ(window->focused(), ok);
  SendMessageW(window->hwnd(), WM_KEYDOWN, VK_TAB, 0);
  SendMessageW(window->hwnd(), WM_KEYUP, VK_TAB, 0);
  EXPECT_EQ(window->focused(), check);
  SendMessageW(window->hwnd(), WM_KEYDOWN, VK_TAB, 0);
  SendMessageW(window->hwnd(), WM_KEYUP, VK_TAB, 0);
  EXPECT_EQ(window->focused(), ok);  // wraps
}

TEST_F(WindowInput, InvokeFromWorkerThreadClicksWithoutFocusAndForgedRequestsAreIgnored) {
  struct Args {
    CButtonX* button;
  } args{ok};
  HANDLE t = CreateThread(
      nullptr, 0,
      [](void* p) -> DWORD {
        CButtonX* b = static_cast<Args*>(p)->button;
        b->InvokeOnUiThread(WM_LBUTTONDOWN, 0, 0);
        b->InvokeOnUiThreadAlloc(WM_LBUTTONUP, 0, 0);
        return 0;
      },
      &args, 0, nullptr);
  ASSERT_NE(t, nullptr);
  while (WaitForSingleObject(t, 0) == WAIT_TIMEOUT) Pump(10);
  CloseHandle(t);
  ASSERT_EQ(window->events.size(), 1u);
  EXPECT_EQ(window->focused(), nullptr);
  // a made-up record or element pointer is never followed
  EXPECT_EQ(SendMessageW(window->hwnd(), 0x17000, WM_LBUTTONUP, 0x12345678), 0);
  PostMessageW(window->hwnd(), 0x9000, 7, 0x12345678);
  Pump(50);
  EXPECT_EQ(window->events.size(), 1u);
}

TEST_F(WindowInput, ThreadAndMessageTimersTickAndStopWithTheirElement) {
  auto* panel = new TickPanel();
  panel->AddRef();
  ASSERT_EQ(window->GetContent()->InsertChild(panel, 0), S_OK);
  ASSERT_TRUE(panel->StartThreadTimer(7, 40, 3, nullptr, 0));
  ASSERT_GT(panel->StartMessageTimerAlt(3, 30), 0);
  EXPECT_EQ(panel->StartMessageTimerAlt(3, 30), 0);  // already running
  Pump(500);
  EXPECT_EQ(panel->thread_ticks, 3);
  EXPECT_GE(panel->message_ticks, 3);
  // removing the element purges its timers: no tick reaches it afterwards
  ASSERT_TRUE(panel->StartThreadTimer(7, 20, -1, nullptr, 0));
  ASSERT_EQ(window->GetContent()->RemoveChildAt(window->GetContent()->IndexOfChild(panel)), S_OK);
  const int thread_before = panel->thread_ticks, message_before = panel->message_ticks;
  Pump(200);
  EXPECT_EQ(panel->thread_ticks, thread_before);
  EXPECT_EQ(panel->message_ticks, message_before);
  panel->Release();
}

class WindowTimerPanel : public CPanelX {
 public:
  int OnWindowTimer(UINT_PTR id) override {
    ticks[0] += id == 5;
    return 1;
  }
  int OnWindowTimerAlt(UINT_PTR id) override {
    ticks[1] += id == 5;
    return 1;
  }
  int ticks[2] = {0, 0};
};

// A window class of the application: its own message handling comes first.
class AppWindow : public CWindowX {
 public:
  int app_timer_ticks = 0;

 protected:
  LRESULT WindowProc(UINT message, WPARAM wparam, LPARAM lparam) override {
    if (message == WM_TIMER && wparam == 123) ++app_timer_ticks;
    return CWindowX::WindowProc(message, wparam, lparam);
  }
};

int g_timer_proc_ticks = 0;
void CALLBACK CountTimerProc(HWND, UINT, UINT_PTR id, DWORD) { g_timer_proc_ticks += id == 124; }

TEST(WindowTimers, AnswersNativeIdsReusesGapsAndKeepsRunningTimers) {
  Ref<CWindowX> window;
  Ref<CPanelX> content;
  Ref<WindowTimerPanel> a, b;
  ASSERT_EQ(window->SetContent(content.get()), S_OK);
  ASSERT_TRUE(window->CreateNativeWindow());
  content->InsertChild(a.get(), -1);
  content->InsertChild(b.get(), -1);
  // bad input
  EXPECT_EQ(window->SetWindowTimer(nullptr, 5, 10, 0), E_INVALIDARG);
  EXPECT_EQ(window->SetWindowTimer(a.get(), 0, 10, 0), E_INVALIDARG);
  EXPECT_EQ(window->SetWindowTimer(a.get(), 5, 0, 0), E_INVALIDARG);
  EXPECT_EQ(window->TimerCount(), 0u);
  // native ids count up from 1; the other group is another timer
  EXPECT_EQ(a->StartWindowTimer(5, 20), 1);
  EXPECT_EQ(a->StartWindowTimerAlt(5, 20), 2);
  EXPECT_EQ(b->StartWindowTimer(5, 20), 3);
  // a running timer is not restarted and keeps its native id
  EXPECT_EQ(a->StartWindowTimer(5, 5000), 0);
  EXPECT_EQ(window->NativeTimerId(a.get(), 5, 0), 1u);
  EXPECT_EQ(window->TimerCount(), 3u);
  // the smallest free id is reused
  EXPECT_EQ(a->StopWindowTimer(5), 1);
  EXPECT_EQ(a->StopWindowTimer(5), 0);
  EXPECT_EQ(b->StartWindowTimerAlt(5, 20), 1);
  EXPECT_EQ(b->StartWindowTimerAlt(6, 20), 4);
  // ticks reach the group's hook with the element's id; the old interval of
  // the duplicate (20 ms, not 5000 ms) keeps running
  EXPECT_EQ(a->StartWindowTimer(5, 20), 5);
  EXPECT_EQ(a->StartWindowTimer(5, 5000), 0);
  Pump(300);
  EXPECT_GE(a->ticks[0], 3);
  EXPECT_GE(a->ticks[1], 3);
  EXPECT_GE(b->ticks[0], 3);
  EXPECT_GE(b->ticks[1], 3);
  window->DestroyNativeWindow();
  EXPECT_EQ(window->TimerCount(), 0u);
  Pump(0);
}

TEST(WindowTimers, TimersOfTheApplicationReachIt) {
  Ref<AppWindow> window;
  Ref<CPanelX> content;
  Ref<WindowTimerPanel> a;
  ASSERT_EQ(window->SetContent(content.get()), S_OK);
  ASSERT_TRUE(window->CreateNativeWindow());
  content->InsertChild(a.get(), -1);
  ASSERT_EQ(a->StartWindowTimer(5, 15), 1);
  // the application's own timers: one handled in its window class, one
  // with a timer procedure that the default processing calls
  ASSERT_TRUE(SetTimer(window->hwnd(), 123, 15, nullptr));
  ASSERT_TRUE(SetTimer(window->hwnd(), 124, 15, &CountTimerProc));
  g_timer_proc_ticks = 0;
  Pump(300);
  EXPECT_GE(window->app_timer_ticks, 3);
  EXPECT_GE(g_timer_proc_ticks, 3);
  EXPECT_GE(a->ticks[0], 3);
  KillTimer(window->hwnd(), 123);
  KillTimer(window->hwnd(), 124);
  window->DestroyNativeWindow();
  Pump(0);
}

TEST(WindowPlacement, MarkupPlacesTheNativeWindowAndTitleIsTheCaption) {
  struct Case {
    const char* attributes;
    RECT expected;
  } cases[] = {
      {R"(Rect="10,20,310,220")", {10, 20, 310, 220}},
      {R"(Rect="10.7,20.2,310.9,220")", {10, 20, 310, 220}},
      {R"(Rect="10,20,310,220" Left="100" Top="50")", {100, 50, 400, 250}},
      {R"(Rect="10,20,310,220" Left="100" Top="50" Width="400" Height="300")", {100, 50, 500, 350}},
      {R"(Width="400" Left="100" Height="300" Top="50")", {100, 50, 500, 350}},
      {R"(Width="120" Height="80")", {0, 0, 120, 80}},
      {"", {0, 0, 0, 0}},  // no size still creates
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.attributes);
    const std::string markup = std::string("<Window ") + c.attributes + R"( Title="Demo"><Panel/></Window>)";
    CWindowX* w = nullptr;
    ASSERT_EQ(CXmlParserX().LoadWindowFromBytes(markup.data(), markup.size(), &w), S_OK);
    RECT r;
    ASSERT_TRUE(w->GetWindowRect(&r));
    EXPECT_EQ(r.left, c.expected.left);
    EXPECT_EQ(r.top, c.expected.top);
    EXPECT_EQ(r.right, c.expected.right);
    EXPECT_EQ(r.bottom, c.expected.bottom);
    wchar_t caption[32] = {};
    GetWindowTextW(w->hwnd(), caption, 32);
    EXPECT_STREQ(caption, L"Demo");
    w->DestroyNativeWindow();
    w->Release();
  }
  // a caption given at creation wins over the stored title
  Ref<CWindowX> window;
  Ref<CPanelX> content;
  ASSERT_EQ(window->SetContent(content.get()), S_OK);
  ASSERT_TRUE(window->CreateNativeWindow(nullptr, L"Varnak"));
  wchar_t caption[32] = {};
  GetWindowTextW(window->hwnd(), caption, 32);
  EXPECT_STREQ(caption, L"Varnak");
  window->DestroyNativeWindow();
  Pump(0);
}

TEST(WindowOperations, NamedOperationsReachTheTreeAndTheNativeWindow) {
  const char markup[] = R"(<Window Width="120" Height="80"><Panel Name="Root"><Panel Name="Leaf" ID="7"/></Panel></Window>)";
  CWindowX* w = nullptr;
  ASSERT_EQ(CXmlParserX().LoadWindowFromBytes(markup, sizeof markup - 1, &w), S_OK);
  RECT client;
  ASSERT_TRUE(w->GetClientRect(&client));
  EXPECT_EQ(client.right, 120);
  EXPECT_EQ(client.bottom, 80);
  CPanelX* found = nullptr;
  ASSERT_TRUE(w->FindElementByName(L"Leaf", &found));
  found->Release();
  EXPECT_TRUE(w->FindElementById(7, &found));
  found->Release();
  EXPECT_FALSE(w->FindElementByName(L"Root", &found));  // descendants of the content only
  EXPECT_EQ(w->SetContent(w->GetContent()), S_OK);  // setting the same content again changes nothing
  EXPECT_EQ(w->GetContent()->owner(), w);
  // a deferred invalidation only collects the area
  w->ClearDirtyRect();
  EXPECT_EQ(w->InvalidateWindowRect(nullptr, false), 1);
  EXPECT_EQ(w->dirty_rect().right, 120);
  EXPECT_EQ(w->dirty_rect().bottom, 80);
  LRESULT result = 0;
  EXPECT_FALSE(w->OnWindowMessage(w->hwnd(), WM_ERASEBKGND, 0, 0, &result, 1));  // other maps are not ours
  EXPECT_TRUE(w->OnWindowMessage(w->hwnd(), WM_ERASEBKGND, 0, 0, &result, 0));
  EXPECT_EQ(result, 1);
  w->DestroyNativeWindow();
  RECT gone;
  EXPECT_FALSE(w->GetWindowRect(&gone));
  EXPECT_TRUE(IsRectEmpty(&gone));
  w->Release();
  Pump(0);
}

TEST(Window, NativeClassAndStylesAndCentring) {
  CWindowX* w = nullptr;
  ASSERT_EQ(CXmlParserX().LoadWindowFromBytes(kSkin, sizeof kSkin - 1, &w), S_OK);
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof wc;
  ASSERT_TRUE(GetClassInfoExW(GetModuleHandleW(nullptr), L"Window", &wc));
  EXPECT_EQ(wc.style, 0x0Bu);
  const LONG_PTR ex = GetWindowLongPtrW(w->hwnd(), GWL_EXSTYLE);
  EXPECT_TRUE(ex & WS_EX_APPWINDOW);  // Wine drops WS_EX_WINDOWEDGE
  EXPECT_TRUE(GetWindowLongPtrW(w->hwnd(), GWL_STYLE) & WS_POPUP);
  SetWindowPos(w->hwnd(), nullptr, 0, 0, 200, 100, SWP_NOZORDER | SWP_NOACTIVATE);
  w->CenterWindow();
  MONITORINFO mi = {};
  mi.cbSize = sizeof mi;
  GetMonitorInfoW(MonitorFromWindow(w->hwnd(), MONITOR_DEFAULTTONEAREST), &mi);
  RECT r;
  GetWindowRect(w->hwnd(), &r);
  EXPECT_NEAR(r.left, (mi.rcWork.left + mi.rcWork.right) / 2 - 100, 1);
  EXPECT_NEAR(r.top, (mi.rcWork.top + mi.rcWork.bottom) / 2 - 50, 1);
  w->DestroyNativeWindow();
  w->Release();
  Pump(0);
}

// The size of the bitmap selected into a device context; also checks that it
// is a 32-bit DIB section.
SIZE BackBufferSize(HDC dc) {
  DIBSECTION ds = {};
  HGDIOBJ bitmap = GetCurrentObject(dc, OBJ_BITMAP);
  const int got = bitmap ? GetObjectW(bitmap, sizeof ds, &ds) : 0;
  if (got != static_cast<int>(sizeof ds) || ds.dsBm.bmBitsPixel != 32 || !ds.dsBm.bmBits) {
    ADD_FAILURE() << "no 32-bit DIB section: " << got << " " << ds.dsBm.bmBitsPixel << " " << ds.dsBmih.biHeight;
    return SIZE{-1, -1};
  }
  return SIZE{ds.dsBm.bmWidth, ds.dsBm.bmHeight};
}

TEST(Window, GdiDrawingIntoTheBackBufferShowsAndTheBufferGrowsWithTheClientArea) {
  for (const char* force : {"true", "false"}) {  // GDI+ and (where it exists) Direct2D
    SCOPED_TRACE(force);
    const std::string markup = std::string(R"(<Window Width="120" Height="80" ForceGdiplus=")") + force +
                               R"("><Panel Background="255,0,0"/></Window>)";
    CWindowX* w = nullptr;
    ASSERT_EQ(CXmlParserX().LoadWindowFromBytes(markup.data(), markup.size(), &w), S_OK);
    HWND hwnd = w->hwnd();
    HDC buffer = w->GetBackBufferDC();
    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(GetObjectType(buffer), static_cast<DWORD>(OBJ_MEMDC));
    SIZE size = BackBufferSize(buffer);
    EXPECT_EQ(size.cx, 120);
    EXPECT_EQ(size.cy, 80);
    SetWindowPos(hwnd, HWND_TOPMOST, 0, 0, 120, 80, SWP_NOACTIVATE | SWP_SHOWWINDOW);
    UpdateWindow(hwnd);
    Pump(150);
    HDC screen = GetDC(hwnd);
    EXPECT_EQ(GetPixel(screen, 60, 40), RGB(255, 0, 0));
    // GDI draws into the buffer; Present shows it, rows where they belong
    HBRUSH blue = CreateSolidBrush(RGB(0, 0, 255));
    const RECT part = {10, 50, 50, 70};
    FillRect(buffer, &part, blue);
    DeleteObject(blue);
    EXPECT_EQ(GetPixel(screen, 20, 60), RGB(255, 0, 0));  // not shown before Present
    ASSERT_TRUE(w->Present());
    for (int y : {50, 60, 69}) EXPECT_EQ(GetPixel(screen, 20, y), RGB(0, 0, 255)) << y;
    for (int y : {5, 30, 49, 70, 79}) EXPECT_EQ(GetPixel(screen, 20, y), RGB(255, 0, 0)) << y;
    EXPECT_EQ(GetPixel(screen, 60, 60), RGB(255, 0, 0));
    // Paint renders only the dirty rectangle and clears it
    w->ClearDirtyRect();
    const RECT top = {0, 0, 120, 20};
    w->InvalidateWindowRect(&top, false);
    EXPECT_EQ(w->Paint(screen), S_OK);
    EXPECT_TRUE(IsRectEmpty(&w->dirty_rect()));
    ASSERT_TRUE(w->Present());
    EXPECT_EQ(GetPixel(screen, 20, 60), RGB(0, 0, 255));  // outside: GDI's pixels stay
    // a device context of another window is refused, the dirty area kept
    Ref<CWindowX> other;
    Ref<CPanelX> content;
    ASSERT_EQ(other->SetContent(content.get()), S_OK);
    ASSERT_TRUE(other->CreateNativeWindow());
    HDC foreign = GetDC(other->hwnd());
    w->InvalidateWindowRect(&top, false);
    EXPECT_EQ(w->Paint(foreign), E_FAIL);
    EXPECT_FALSE(IsRectEmpty(&w->dirty_rect()));
    ReleaseDC(other->hwnd(), foreign);
    other->DestroyNativeWindow();
    ReleaseDC(hwnd, screen);
    // the bitmap grows with the client area and never shrinks; the DC stays
    SetWindowPos(hwnd, nullptr, 0, 0, 200, 150, SWP_NOZORDER | SWP_NOACTIVATE);
    Pump(150);
    EXPECT_EQ(w->GetBackBufferDC(), buffer);
    size = BackBufferSize(buffer);
    EXPECT_EQ(size.cx, 200);
    EXPECT_EQ(size.cy, 150);
    screen = GetDC(hwnd);
    EXPECT_EQ(GetPixel(screen, 190, 140), RGB(255, 0, 0));
    SetWindowPos(hwnd, nullptr, 0, 0, 100, 60, SWP_NOZORDER | SWP_NOACTIVATE);
    Pump(150);
    size = BackBufferSize(buffer);
    EXPECT_EQ(size.cx, 200);
    EXPECT_EQ(size.cy, 150);
    EXPECT_EQ(GetPixel(screen, 90, 50), RGB(255, 0, 0));
    ReleaseDC(hwnd, screen);
    w->DestroyNativeWindow();
    w->Release();
    Pump(0);
  }
}

TEST(Window, TheBackBufferComesWithTheNativeWindow) {
  // none before creation, and Paint has no renderer then
  Ref<CWindowX> fresh;
  EXPECT_EQ(fresh->GetBackBufferDC(), nullptr);
  EXPECT_EQ(fresh->Paint(nullptr), E_FAIL);
  EXPECT_FALSE(fresh->Present());
  // a window of no size still gets one pixel
  const char empty[] = "<Window><Panel/></Window>";
  CWindowX* w = nullptr;
  ASSERT_EQ(CXmlParserX().LoadWindowFromBytes(empty, sizeof empty - 1, &w), S_OK);
  ASSERT_NE(w->GetBackBufferDC(), nullptr);
  const SIZE size = BackBufferSize(w->GetBackBufferDC());
  EXPECT_EQ(size.cx, 1);
  EXPECT_EQ(size.cy, 1);
  w->DestroyNativeWindow();
  w->Release();
  // a client area no back buffer can cover fails the creation
  const char huge[] = R"(<Window Width="20000" Height="10"><Panel/></Window>)";
  w = nullptr;
  EXPECT_EQ(CXmlParserX().LoadWindowFromBytes(huge, sizeof huge - 1, &w), E_FAIL);
  if (w) w->Release();
  Pump(0);
}

}  // namespace
}  // namespace varnak::ui
