// Real windows with the controls: scroll bars (step, page and drag, the
// markup position applied at creation, empty ranges), progress bars, text
// blocks, button texts and the scroll containers (overflow, offsets, hit
// testing of the bars, the wheel), driven with window messages and checked
// through named events and pixels of the rendered tree.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "ui/controls/button.h"
#include "ui/controls/progress_bar.h"
#include "ui/controls/scroll_bar.h"
#include "ui/controls/text_block.h"
#include "ui/globals.h"
#include "ui/render.h"
#include "ui/scroll_container.h"
#include "ui/tests/controls_skin.h"
#include "ui/window.h"
#include "ui/xml_parser.h"

namespace varnak::ui {
namespace {

constexpr int kWidth = 400, kHeight = 300;
constexpr uint32_t kRed = 0xFFFF0000u, kGreen = 0xFF00FF00u, kBlue = 0xFF0000FFu, kBlack = 0xFF000000u,
                   kWhite = 0xFFFFFFFFu, kYellow = 0xFFFFFF00u;

class ControlsTestWindow : public CWindowX {
 public:
  HRESULT OnEvent(const std::wstring& handler, CPanelX* sender, UINT, LRESULT*, WPARAM, LPARAM) override {
    events.push_back(handler);
    if (on_event) on_event(handler, sender);
    return ROUTE_HANDLED;
  }
  std::function<void(const std::wstring&, CPanelX*)> on_event;
  int Count(const wchar_t* handler) const {
    int n = 0;
    for (const std::wstring& e : events) n += e == handler;
    return n;
  }
  std::vector<std::wstring> events;
};

const bool kRegistered = RegisterClassOf<ControlsTestWindow>(L"ControlsTestWindow");

// Every control placed by its margin in a top-left aligned panel.
const char kSkin[] = "<ControlsTestWindow Width=\"400\" Height=\"300\" ForceGdiplus=\"true\">" VARNAK_CONTROLS_SKIN_BODY
    "</ControlsTestWindow>";

void Pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

struct ControlsInWindow : ::testing::Test {
  void SetUp() override {
    ASSERT_TRUE(kRegistered);
    CWindowX* loaded = nullptr;
    const HRESULT hr = CXmlParserX().LoadWindowFromBytes(kSkin, sizeof kSkin - 1, &loaded);
    ASSERT_EQ(hr, S_OK) << "last error " << GetLastError();
    window = dynamic_cast<ControlsTestWindow*>(loaded);
    ASSERT_NE(window, nullptr);
    RECT client;
    GetClientRect(window->hwnd(), &client);
    ASSERT_EQ(client.right, kWidth);
    ASSERT_EQ(client.bottom, kHeight);
  }
  void TearDown() override {
    if (window) {
      window->DestroyNativeWindow();
      window->Release();
    }
    Pump();
  }
  template <class T>
  T* Find(const wchar_t* name) {
    CPanelX* p = nullptr;
    if (!window->GetContent()->FindElementByName(name, &p)) return nullptr;
    p->Release();  // the tree keeps it
    return dynamic_cast<T*>(p);
  }
  uint32_t Pixel(int x, int y) {
    std::vector<uint32_t> px;
    if (RenderToPixels(window->GetContent(), kWidth, kHeight, &px) != S_OK) return 0;
    return px[static_cast<size_t>(y) * kWidth + x];
  }
  void Click(int x, int y) {
    SendMessageW(window->hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
    SendMessageW(window->hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    SendMessageW(window->hwnd(), WM_LBUTTONUP, 0, MAKELPARAM(x, y));
  }
  void Wheel(int x, int y, int delta, bool control) {
    POINT pt = {x, y};
    ClientToScreen(window->hwnd(), &pt);
    SendMessageW(window->hwnd(), WM_MOUSEWHEEL, MAKEWPARAM(control ? MK_CONTROL : 0, static_cast<WORD>(delta)),
                 MAKELPARAM(pt.x, pt.y));
  }
  ControlsTestWindow* window = nullptr;
};

// --- scroll bars --------------------------------------------------------------------

TEST_F(ControlsInWindow, ScrollBarAppliesMarkupPositionAtCreation) {
  auto* h = Find<CScrollBarX>(L"HBar");
  auto* v = Find<CScrollBarX>(L"VBar");
  ASSERT_TRUE(h && v);
  EXPECT_EQ(window->Count(L"hscroll"), 1);  // placed once, when the window was created
  EXPECT_EQ(h->GetPos(), 40);
  EXPECT_FALSE(h->IsStale());
  EXPECT_EQ(h->GetButtonSlide()->GetDragOffset().x, -6);  // 40 % of -30..30
  // the thumb covers 44..64: centred in the track 20..100 and moved by -6
  EXPECT_EQ(Pixel(43, 10), kBlue);
  EXPECT_EQ(Pixel(44, 10), kBlack);
  EXPECT_EQ(Pixel(63, 10), kBlack);
  EXPECT_EQ(Pixel(64, 10), kBlue);
  EXPECT_EQ(Pixel(10, 10), kRed);
  EXPECT_EQ(Pixel(110, 10), kGreen);
  // the vertical bar the same way down
  EXPECT_EQ(v->GetPos(), 40);
  EXPECT_EQ(Pixel(140, 43), kBlue);
  EXPECT_EQ(Pixel(140, 44), kBlack);
  EXPECT_EQ(Pixel(140, 63), kBlack);
  EXPECT_EQ(Pixel(140, 64), kBlue);
  // a thumb narrower than its vertical bar sits in the middle across it
  v->GetButtonSlide()->SetWidth(10);
  EXPECT_EQ(Pixel(134, 50), kBlue);
  EXPECT_EQ(Pixel(135, 50), kBlack);
  EXPECT_EQ(Pixel(144, 50), kBlack);
  EXPECT_EQ(Pixel(145, 50), kBlue);
}

TEST_F(ControlsInWindow, ScrollBarStepAndPageClicksMoveThePositionAndFireOnScroll) {
  auto* h = Find<CScrollBarX>(L"HBar");
  ASSERT_TRUE(h);
  window->events.clear();
  struct Case {
    const char* what;
    int before, x, after;
  } cases[] = {
      {"min button steps back", 40, 10, 35},
      {"max button steps forward", 40, 110, 45},
      {"a page click after the thumb's centre", 40, 90, 50},
      {"a page click before the thumb's centre", 40, 30, 30},
      {"a page click stops at the maximum", 95, 99, 100},
      {"a step below the minimum gives the minimum", 2, 10, 0},
      {"a page click before the start gives the minimum", 4, 21, 0},
      {"a step past the maximum gives the maximum", 98, 110, 100},
  };
  for (const Case& c : cases) {
    h->SetPos(c.before);
    const int events = window->Count(L"hscroll");
    Click(c.x, 10);
    EXPECT_EQ(h->GetPos(), c.after) << c.what;
    EXPECT_EQ(window->Count(L"hscroll"), events + 1) << c.what;
  }
  // the vertical bar pages along y
  auto* v = Find<CScrollBarX>(L"VBar");
  Click(140, 90);
  EXPECT_EQ(v->GetPos(), 50);
  EXPECT_EQ(window->Count(L"vscroll"), 1);
  // a disabled bar still moves but stays silent
  h->Disable();
  const int before = window->Count(L"hscroll");
  h->SetPos(10);
  EXPECT_EQ(window->Count(L"hscroll"), before);
  EXPECT_EQ(h->GetPos(), 10);
}

TEST_F(ControlsInWindow, DraggingTheThumbMovesThePositionWithinItsRange) {
  auto* h = Find<CScrollBarX>(L"HBar");
  ASSERT_TRUE(h);
  window->events.clear();
  HWND hwnd = window->hwnd();
  SendMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(54, 10));
  SendMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(54, 10));
  EXPECT_EQ(window->capture(), h->GetButtonSlide());
  SendMessageW(hwnd, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(69, 12));
  EXPECT_EQ(window->Count(L"hscroll"), 1);
  EXPECT_TRUE(h->IsStale());  // a user drag: the position follows the thumb
  EXPECT_EQ(h->GetButtonSlide()->GetDragOffset().x, 9);
  EXPECT_NEAR(h->GetPos(), 65, 1);
  EXPECT_FALSE(h->IsStale());
  EXPECT_EQ(Pixel(58, 10), kBlue);  // 50..70 at offset 0, moved by 9
  EXPECT_EQ(Pixel(59, 10), kBlack);
  // far past the end: the thumb stops at the end of its range
  SendMessageW(hwnd, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(300, 10));
  EXPECT_EQ(h->GetPos(), 100);
  EXPECT_EQ(Pixel(80, 10), kBlack);
  EXPECT_EQ(Pixel(99, 10), kBlack);
  // and back to the left of the window, read as a signed coordinate
  SendMessageW(hwnd, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(-40, 10));
  EXPECT_EQ(h->GetPos(), 0);
  SendMessageW(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(-40, 10));
  EXPECT_EQ(window->capture(), nullptr);
  EXPECT_EQ(window->Count(L"hscroll"), 3);
  EXPECT_EQ(Pixel(20, 10), kBlack);
  EXPECT_EQ(Pixel(40, 10), kBlue);
}

void PumpFor(DWORD ms) {
  const DWORD start = GetTickCount();
  do {
    Pump();
    Sleep(5);
  } while (GetTickCount() - start < ms);
}

TEST_F(ControlsInWindow, HeldRepeatingStepButtonScrollsUntilReleasedOrCaptureLost) {
  auto* h = Find<CScrollBarX>(L"HBar");
  ASSERT_TRUE(h);
  h->GetButtonMax()->SetRepeat(100, 30);
  h->SetScrollStep(1);
  HWND hwnd = window->hwnd();
  SendMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(110, 10));
  SendMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(110, 10));
  PumpFor(400);
  SendMessageW(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(110, 10));
  const int32_t held = h->GetPos();
  EXPECT_GE(held, 40 + 5);  // about one step per 30 ms after the first 100 ms
  PumpFor(150);
  EXPECT_EQ(h->GetPos(), held);  // released: no more steps
  // a capture taken away (a modal loop, another window) stops the repeat too
  SendMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(110, 10));
  PumpFor(200);
  SendMessageW(hwnd, WM_CANCELMODE, 0, 0);
  const int32_t cancelled = h->GetPos();
  EXPECT_GT(cancelled, held);
  PumpFor(150);
  EXPECT_EQ(h->GetPos(), cancelled);
}

TEST_F(ControlsInWindow, AHandlerMayRemoveTheBarItIsTold) {
  CPanelX* root = window->GetContent();
  auto* h = Find<CScrollBarX>(L"HBar");
  ASSERT_TRUE(h);
  window->on_event = [root](const std::wstring& handler, CPanelX* sender) {
    if (handler == L"hscroll") root->RemoveChildAt(root->IndexOfChild(sender));
  };
  HWND hwnd = window->hwnd();
  SendMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(54, 10));
  SendMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(54, 10));
  SendMessageW(hwnd, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(70, 10));  // the bar goes away here
  EXPECT_EQ(window->capture(), nullptr);
  EXPECT_EQ(window->hovered(), nullptr);
  EXPECT_EQ(Find<CScrollBarX>(L"HBar"), nullptr);
  SendMessageW(hwnd, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(80, 10));
  SendMessageW(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(80, 10));
  EXPECT_EQ(window->Count(L"hscroll"), 2);  // the one at creation and the drag
  // the same for a step click
  window->on_event = [root](const std::wstring& handler, CPanelX* sender) {
    if (handler == L"vscroll") root->RemoveChildAt(root->IndexOfChild(sender));
  };
  Click(140, 110);
  EXPECT_EQ(Find<CScrollBarX>(L"VBar"), nullptr);
  Click(140, 110);
  EXPECT_EQ(window->Count(L"vscroll"), 2);
}

TEST_F(ControlsInWindow, EmptyRangesAndLongThumbsNeverDivideByZero) {
  auto* e = Find<CScrollBarX>(L"EBar");
  ASSERT_TRUE(e);
  // the stored 40 does not fit 0..0: minimum, thumb at the start of its range
  EXPECT_EQ(e->GetPos(), 0);
  EXPECT_EQ(e->GetButtonSlide()->GetDragOffset().x, -30);
  EXPECT_EQ(Pixel(20, 40), kBlack);
  EXPECT_EQ(Pixel(40, 40), kBlue);
  Click(90, 40);  // a page click
  EXPECT_EQ(e->GetPos(), 0);
  Click(110, 40);  // a step
  EXPECT_EQ(e->GetPos(), 0);
  e->SetRange(10, 10);
  EXPECT_EQ(e->GetPos(), 10);
  EXPECT_EQ(e->ComputePosFromThumb(), 10);
  e->SetRange(20, 5);  // inverted: the minimum wins
  e->SetPos(12);
  EXPECT_EQ(e->GetPos(), 20);
  EXPECT_EQ(e->GetButtonSlide()->GetDragOffset().x, -30);
  // a thumb longer than its track does not move and keeps the position
  auto* l = Find<CScrollBarX>(L"LBar");
  ASSERT_TRUE(l);
  const RECT range = l->GetButtonSlide()->GetDragOffsetRange();
  EXPECT_EQ(range.left, 0);
  EXPECT_EQ(range.right, 0);
  l->SetPos(70);
  EXPECT_EQ(l->GetButtonSlide()->GetDragOffset().x, 0);
  EXPECT_EQ(l->ComputePosFromThumb(), 70);
  SendMessageW(window->hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(30, 270));
  SendMessageW(window->hwnd(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(50, 270));
  SendMessageW(window->hwnd(), WM_LBUTTONUP, 0, MAKELPARAM(50, 270));
  EXPECT_EQ(l->GetPos(), 70);
}

TEST_F(ControlsInWindow, ScrollBarPartsAndChildrenRules) {
  auto* h = Find<CScrollBarX>(L"HBar");
  ASSERT_TRUE(h);
  CButtonX* slide = h->GetButtonSlide();
  EXPECT_EQ(h->SetButtonSlide(slide, true), S_FALSE);  // the same button again changes nothing
  EXPECT_EQ(h->GetChildCount(), 3);
  EXPECT_EQ(h->GetChild(0), h->GetButtonMin());
  EXPECT_EQ(h->GetChild(2), slide);
  auto* panel = new CPanelX();
  panel->AddRef();
  EXPECT_EQ(h->InsertChild(panel, -1), E_FAIL);
  EXPECT_EQ(h->RemoveAllChildren(), E_FAIL);
  EXPECT_EQ(h->SetPropertyElement(L"Parts", L"ButtonMin", panel), E_INVALIDARG);
  auto* button = new CButtonX();
  button->AddRef();
  EXPECT_EQ(h->SetPropertyElement(L"Parts", L"ButtonMiddle", button), E_INVALIDARG);
  // a new min button replaces the old one among the children
  EXPECT_EQ(h->SetButtonMin(button, true), S_OK);
  EXPECT_EQ(h->GetChildCount(), 3);
  EXPECT_EQ(h->GetChild(0), button);
  // a scroll container takes only scroll bars
  auto* sp = Find<CScrollPanelContainerX<CPanelX>>(L"SP");
  ASSERT_TRUE(sp);
  EXPECT_EQ(sp->SetPropertyElement(L"ScrollBar", L"Panel", panel), E_FAIL);
  button->Release();
  panel->Release();
}

// --- progress bars ---------------------------------------------------------------

TEST_F(ControlsInWindow, ProgressFillFollowsValueOrientationAndReverse) {
  auto* ph = Find<CProgressBarX>(L"PH");
  auto* pv = Find<CProgressBarX>(L"PV");
  ASSERT_TRUE(ph && pv);
  double min = 0, max = 0;
  ph->GetRange(&min, &max);
  EXPECT_EQ(max, 200);  // MaximumF from the markup
  EXPECT_EQ(ph->GetValue(), 100);
  // 100 of 0..200 fills the left half
  EXPECT_EQ(Pixel(49, 65), kRed);
  EXPECT_EQ(Pixel(50, 65), kWhite);
  ph->SetReverse(true);
  EXPECT_EQ(Pixel(49, 65), kWhite);
  EXPECT_EQ(Pixel(50, 65), kRed);
  ph->SetValue(500);  // limited to the range
  EXPECT_EQ(ph->GetValue(), 200);
  EXPECT_EQ(Pixel(0, 65), kRed);
  EXPECT_EQ(ph->SetRange(10, 5), S_FALSE);
  ph->GetRange(&min, &max);
  EXPECT_EQ(min, 0);
  EXPECT_EQ(max, 200);
  // the vertical bar fills from the top, reversed from the bottom
  EXPECT_EQ(Pixel(165, 49), kRed);
  EXPECT_EQ(Pixel(165, 50), kWhite);
  pv->SetReverse(true);
  EXPECT_EQ(Pixel(165, 49), kWhite);
  EXPECT_EQ(Pixel(165, 50), kRed);
  pv->SetOrientation(1);  // a 10-wide bar half filled from the right
  EXPECT_EQ(Pixel(164, 20), kWhite);
  EXPECT_EQ(Pixel(165, 20), kRed);
  // an empty range fills nothing
  EXPECT_EQ(pv->SetRange(50, 50), S_OK);
  EXPECT_EQ(pv->GetValue(), 50);
  for (int x = 160; x < 170; ++x) EXPECT_EQ(Pixel(x, 20), kWhite) << x;
  const RECT r = pv->ComputeFillRect(RECT{0, 0, 10, 100});
  EXPECT_EQ(r.right - r.left, 0);
}

TEST(ProgressValueText, FormatsWithDecimalDigitsIntoAGrowableString) {
  auto* bar = new CProgressBarX();
  bar->AddRef();
  EXPECT_EQ(bar->FormatValue(), L"50");
  bar->SetDecimalDigits(2);
  EXPECT_EQ(bar->FormatValue(), L"50.00");
  bar->SetDecimalDigits(-1);  // printf: a negative precision is the default
  EXPECT_EQ(bar->FormatValue(), L"50.000000");
  bar->SetRange(0, 1e308);
  bar->SetValue(1e308);
  bar->SetDecimalDigits(1000000);
  const std::wstring huge = bar->FormatValue();
  EXPECT_GT(huge.size(), 309u);
  EXPECT_LT(huge.size(), 2000u);
  EXPECT_EQ(huge.substr(0, 3), L"100");
  // the value text follows the value when drawn
  CTextX* text = bar->GetValueText(true);
  ASSERT_NE(text, nullptr);
  bar->SetDecimalDigits(2);
  bar->SetValue(42.25);
  EXPECT_EQ(bar->RenderOverlay(nullptr, RECT{0, 0, 0, 0}, RECT{0, 0, 0, 0}), S_OK);
  EXPECT_EQ(text->text(), L"42.25");
  bar->SetAutoValueText(false);
  bar->SetValue(7);
  EXPECT_EQ(bar->RenderOverlay(nullptr, RECT{0, 0, 0, 0}, RECT{0, 0, 0, 0}), S_OK);
  EXPECT_EQ(text->text(), L"42.25");
  bar->Release();
}

// --- markup ------------------------------------------------------------------------

struct MarkupCase {
  const char* what;
  const char* body;  // inside a Panel of a window
  bool loads;
};

HRESULT LoadBody(const char* body, CWindowX** window) {
  const std::string skin = std::string("<Window Width=\"100\" Height=\"100\"><Panel>") + body + "</Panel></Window>";
  return CXmlParserX().LoadWindowFromBytes(skin.data(), skin.size(), window);
}

TEST(ControlsMarkup, PropertyElementsAndTheirRefusals) {
  const MarkupCase cases[] = {
      {"a text block's property goes to its text",
       "<TextBlock Name=\"X\"><TextBlock.Foreground><SolidBrush Color=\"1,2,3\"/></TextBlock.Foreground></TextBlock>",
       true},
      {"a progress bar's value text", "<ProgressBar Name=\"X\"><ProgressBar.Text><Text Text=\"t\"/></ProgressBar.Text></ProgressBar>",
       true},
      {"a progress bar's value text must be a text",
       "<ProgressBar><ProgressBar.Text><SolidBrush/></ProgressBar.Text></ProgressBar>", false},
      {"a progress bar's fill", "<ProgressBar Name=\"X\"><ProgressBar.Foreground><SolidBrush Color=\"1,2,3\"/>"
       "</ProgressBar.Foreground></ProgressBar>", true},
      {"a scroll bar part with another tag", "<ScrollBar><ScrollBar.Parts><ButtonMiddle/></ScrollBar.Parts></ScrollBar>",
       false},
      {"a scroll container's page size in reals", "<ScrollPanel Name=\"X\" PageSize=\"150.9,80.2\"/>", true},
  };
  for (const MarkupCase& c : cases) {
    CWindowX* window = nullptr;
    const HRESULT hr = LoadBody(c.body, &window);
    EXPECT_EQ(SUCCEEDED(hr), c.loads) << c.what;
    if (FAILED(hr)) continue;
    CPanelX* x = nullptr;
    ASSERT_TRUE(window->GetContent()->FindElementByName(L"X", &x)) << c.what;
    if (auto* tb = dynamic_cast<CTextBlockX*>(x)) {
      ISolidBrushX* solid = nullptr;
      ASSERT_EQ(tb->GetForeground()->QueryInterface(IID_ISolidBrushX, reinterpret_cast<void**>(&solid)), S_OK);
      EXPECT_EQ(solid->GetColor(), 0xFF010203u) << c.what;
      solid->Release();
    } else if (auto* pb = dynamic_cast<CProgressBarX*>(x)) {
      EXPECT_TRUE(pb->GetValueText(false) || pb->GetFill()) << c.what;
    } else if (auto* sp = dynamic_cast<CScrollPanelContainerX<CPanelX>*>(x)) {
      EXPECT_EQ(sp->GetPageSize().cx, 150) << c.what;
      EXPECT_EQ(sp->GetPageSize().cy, 80) << c.what;
    } else {
      ADD_FAILURE() << c.what;
    }
    x->Release();
    window->DestroyNativeWindow();
    window->Release();
  }
  Pump();
}

// --- text block and button text -----------------------------------------------------

TEST_F(ControlsInWindow, TextBlockAndButtonForwardTheirTextOperations) {
  auto* tb = Find<CTextBlockX>(L"TB");
  ASSERT_TRUE(tb);
  ASSERT_NE(tb->GetTextObject(), nullptr);
  EXPECT_EQ(tb->GetText(), L"Hello");
  const int32_t short_width = tb->GetWidth();
  EXPECT_GT(short_width, 0);
  EXPECT_GT(tb->GetHeight(), 0);
  EXPECT_EQ(tb->SetText(L"Hello, wider world", false), S_OK);
  EXPECT_GT(tb->GetWidth(), short_width);
  RECT r;
  tb->GetRect(&r, false);
  EXPECT_EQ(r.right - r.left, tb->GetWidth());  // the layout follows the measured text
  EXPECT_EQ(tb->SetFormatFlags(0x1000), S_OK);
  EXPECT_EQ(tb->GetTextObject()->format_flags(), 0x1000u);
  EXPECT_EQ(tb->GetText(), L"Hello, wider world");
  tb->SetForegroundColor(0xFF123456u);
  ISolidBrushX* solid = nullptr;
  ASSERT_EQ(tb->GetForeground()->QueryInterface(IID_ISolidBrushX, reinterpret_cast<void**>(&solid)), S_OK);
  EXPECT_EQ(solid->GetColor(), 0xFF123456u);
  solid->Release();
  EXPECT_EQ(tb->SetForeground(nullptr), E_INVALIDARG);
  EXPECT_EQ(tb->SetForegroundGradient(0, 0, 1, 1, kRed, kBlue), S_OK);
  ITextBlockX* itf = nullptr;
  EXPECT_EQ(tb->QueryInterface(IID_ITextBlockX, reinterpret_cast<void**>(&itf)), S_OK);
  if (itf) itf->Release();
  // a property element goes to the text first
  EXPECT_EQ(tb->CreatePropertyElement(L"Foreground", L"", nullptr), 1);

  // the button's Text attribute made a text content that read the button's attributes
  auto* btn = Find<CButtonX>(L"Btn");
  ASSERT_TRUE(btn);
  auto* content = dynamic_cast<CTextX*>(btn->GetContent());
  ASSERT_NE(content, nullptr);
  EXPECT_EQ(content->text(), L"OK");
  ASSERT_EQ(btn->GetTextForeground()->QueryInterface(IID_ISolidBrushX, reinterpret_cast<void**>(&solid)), S_OK);
  EXPECT_EQ(solid->GetColor(), kRed);
  solid->Release();
  EXPECT_EQ(btn->SetText(L"Cancel", false), S_OK);
  EXPECT_EQ(btn->GetText(), L"Cancel");
  // a button without content gets a text on the first text operation
  auto* bare = new CButtonX();
  bare->AddRef();
  EXPECT_EQ(bare->GetContent(), nullptr);
  EXPECT_EQ(bare->SetTextColor(kGreen), S_OK);
  EXPECT_NE(dynamic_cast<CTextX*>(bare->GetContent()), nullptr);
  bare->Release();
}

// --- scroll containers -----------------------------------------------------------

TEST_F(ControlsInWindow, ScrollContainerShowsBarsForOverflowAndOffsetsMoveChildren) {
  auto* sp = Find<CScrollPanelContainerX<CPanelX>>(L"SP");
  ASSERT_TRUE(sp);
  CScrollBarX* h = sp->GetScrollBar(1);
  CScrollBarX* v = sp->GetScrollBar(0);
  ASSERT_TRUE(h && v);
  EXPECT_TRUE(h->IsVisible());   // the page is 100 wider than the view
  EXPECT_FALSE(v->IsVisible());  // and exactly as high
  SIZE overflow;
  sp->GetScrollOverflow(&overflow);
  EXPECT_EQ(overflow.cx, 100);
  EXPECT_EQ(overflow.cy, 0);
  int32_t min = -1, max = -1;
  h->GetRange(&min, &max);
  EXPECT_EQ(min, 0);
  EXPECT_EQ(max, 100);
  EXPECT_EQ(h->GetPos(), 0);
  // the child at the page's corner; the bar along the bottom, full width
  EXPECT_EQ(Pixel(200, 5), kGreen);
  EXPECT_EQ(Pixel(249, 5), kGreen);
  EXPECT_EQ(Pixel(250, 5), kWhite);
  EXPECT_EQ(Pixel(205, 75), kRed);   // min button
  EXPECT_EQ(Pixel(295, 75), kGreen);  // max button
  EXPECT_EQ(Pixel(295, 40), kWhite);  // no vertical bar
  // an offset moves the children
  sp->SetHorizontalOffset(30);
  EXPECT_EQ(sp->GetHorizontalOffset(), 30);
  EXPECT_EQ(Pixel(219, 5), kGreen);
  EXPECT_EQ(Pixel(220, 5), kWhite);
  // hit testing: the visible bar takes its strip, the hidden one does not
  EXPECT_EQ(sp->HitTest(205, 75), h->GetButtonMin());
  EXPECT_EQ(sp->HitTest(295, 40), sp);
  Click(295, 75);  // a step of the bar
  EXPECT_EQ(sp->GetHorizontalOffset(), 31);
  EXPECT_EQ(Pixel(218, 5), kGreen);
  EXPECT_EQ(Pixel(219, 5), kWhite);
  // a bigger page shows the other bar too and starts over at 0
  sp->SetPageSize(200, 200);
  EXPECT_TRUE(v->IsVisible());
  EXPECT_EQ(sp->GetHorizontalOffset(), 0);
  EXPECT_EQ(Pixel(295, 5), kRed);     // the vertical bar's min button
  EXPECT_EQ(Pixel(295, 75), kWhite);  // the corner is neither bar's
  EXPECT_EQ(Pixel(285, 75), kGreen);  // the horizontal bar ends before it
}

TEST_F(ControlsInWindow, WheelScrollsTheVisibleContainerUnderTheCursor) {
  auto* ss = Find<CControlContainerX<CScrollPanelContainerX<CStackPanelX>>>(L"SS");
  auto* sp = Find<CScrollPanelContainerX<CPanelX>>(L"SP");
  ASSERT_TRUE(ss && sp);
  CScrollBarX* v = ss->GetScrollBar(0);
  ASSERT_TRUE(v && v->IsVisible());
  EXPECT_EQ(Pixel(250, 149), kYellow);
  EXPECT_EQ(Pixel(250, 150), kGreen);
  struct Case {
    const char* what;
    int x, y, delta;
    bool control;
    int vertical, horizontal;  // positions afterwards
  } cases[] = {
      {"one notch down", 250, 120, -120, false, 30, 0},
      {"half a notch moves nothing", 250, 120, -60, false, 30, 0},
      {"two notches up stop at the minimum", 250, 120, 240, false, 0, 0},
      {"outside the container", 100, 120, -120, false, 0, 0},
      {"Ctrl moves the horizontal bar of the other container", 250, 40, -120, true, 0, 30},
      {"without Ctrl its hidden vertical bar takes nothing", 250, 40, -120, false, 0, 30},
      {"far down stops at the end", 250, 120, -120 * 10, false, 120, 30},
  };
  for (const Case& c : cases) {
    Wheel(c.x, c.y, c.delta, c.control);
    EXPECT_EQ(ss->GetVerticalOffset(), c.vertical) << c.what;
    EXPECT_EQ(sp->GetHorizontalOffset(), c.horizontal) << c.what;
  }
  // moved up by 30: the children start at 70, the second at 120
  v->SetPos(30);
  EXPECT_EQ(Pixel(250, 100), kYellow);
  EXPECT_EQ(Pixel(250, 119), kYellow);
  EXPECT_EQ(Pixel(250, 120), kGreen);
  // a hidden container does not take the wheel
  ss->SetVisible(false);
  Wheel(250, 120, -120, false);
  EXPECT_EQ(ss->GetVerticalOffset(), 30);
}

// The shown window's pixels against a fresh render of the tree: whatever
// changed was repainted. Rows from 190 on hold texts and are left out.
int StaleScreenPixels(CWindowX* window, std::string* first) {
  std::vector<uint32_t> fresh;
  if (RenderToPixels(window->GetContent(), kWidth, kHeight, &fresh) != S_OK) return -1;
  BITMAPINFO bi = {};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = kWidth;
  bi.bmiHeader.biHeight = -kHeight;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HDC dc = GetDC(window->hwnd());
  HDC memory = CreateCompatibleDC(dc);
  HBITMAP dib = CreateDIBSection(memory, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, dib);
  BitBlt(memory, 0, 0, kWidth, kHeight, dc, 0, 0, SRCCOPY);
  GdiFlush();
  int stale = 0;
  const auto* screen = static_cast<const uint32_t*>(bits);
  for (int y = 0; y < 190; ++y)
    for (int x = 0; x < kWidth; ++x) {
      const size_t k = static_cast<size_t>(y) * kWidth + x;
      if ((screen[k] & 0xFFFFFF) == (fresh[k] & 0xFFFFFF)) continue;
      if (stale++ == 0) *first = std::to_string(x) + "," + std::to_string(y);
    }
  SelectObject(memory, old);
  DeleteObject(dib);
  DeleteDC(memory);
  ReleaseDC(window->hwnd(), dc);
  return stale;
}

TEST_F(ControlsInWindow, TheShownWindowRepaintsWhatScrollingMoved) {
  HWND hwnd = window->hwnd();
  SetWindowPos(hwnd, HWND_TOPMOST, 0, 0, kWidth, kHeight, SWP_NOACTIVATE | SWP_SHOWWINDOW);
  UpdateWindow(hwnd);
  PumpFor(200);
  std::string first;
  EXPECT_EQ(StaleScreenPixels(window, &first), 0) << "first at " << first;
  // drag the thumb of the standalone bar, step and wheel the containers
  SendMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(54, 10));
  SendMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(54, 10));
  SendMessageW(hwnd, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(90, 10));
  SendMessageW(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(90, 10));
  Click(295, 75);
  Click(295, 75);
  Click(140, 110);
  Wheel(250, 120, -120, false);
  Find<CProgressBarX>(L"PH")->SetValue(30);
  PumpFor(200);
  EXPECT_EQ(StaleScreenPixels(window, &first), 0) << "first at " << first;
  EXPECT_EQ(Find<CScrollPanelContainerX<CPanelX>>(L"SP")->GetHorizontalOffset(), 2);
}

}  // namespace
}  // namespace varnak::ui
