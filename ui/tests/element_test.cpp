// The element model: tree ownership and its refusals, what removal and
// destruction must clear, invalidation of siblings, searches, cursors and
// requests from other threads.
#include <gtest/gtest.h>

#include <tinyxml2.h>

#include <thread>

#include "ui/graphic.h"
#include "ui/panel.h"
#include "ui/window.h"

namespace varnak::ui {
namespace {

// Holds one reference, like the creator of an element.
template <typename T>
struct Ref {
  T* p;
  Ref() : p(new T()) { p->AddRef(); }
  ~Ref() {
    if (p) p->Release();
  }
  T* operator->() const { return p; }
  T* get() const { return p; }
};

// A panel that reports its destruction.
class ProbePanel : public CPanelX {
 public:
  explicit ProbePanel(bool* destroyed = nullptr) : destroyed_(destroyed) {}
  int timer_ticks = 0;
  int OnWindowTimer(UINT_PTR) override {
    ++timer_ticks;
    return 1;
  }

 protected:
  ~ProbePanel() override {
    if (destroyed_) *destroyed_ = true;
  }

 private:
  bool* destroyed_;
};

ProbePanel* NewProbe(bool* destroyed) {
  ProbePanel* p = new ProbePanel(destroyed);
  p->AddRef();
  return p;
}

// A window that records named events.
class EventWindow : public CWindowX {
 public:
  std::vector<std::wstring> events;
  HRESULT OnEvent(const std::wstring& handler, CPanelX*, UINT, LRESULT*, WPARAM, LPARAM) override {
    events.push_back(handler);
    return ROUTE_HANDLED;
  }
};

TEST(ElementModel, QueryInterfaceAndReferenceCounts) {
  Ref<CSolidBrushX> brush;
  EXPECT_EQ(brush->GetRefCount(), 1);
  void* graphic = nullptr;
  ASSERT_EQ(brush->QueryInterface(IID_IGraphicX, &graphic), S_OK);
  EXPECT_EQ(brush->GetRefCount(), 2);
  static_cast<IUnknown*>(graphic)->Release();
  void* none = reinterpret_cast<void*>(1);
  EXPECT_EQ(brush->QueryInterface(IID_ITextX, &none), E_NOINTERFACE);
  EXPECT_EQ(none, nullptr);
}

TEST(ElementModel, InsertChildRefusesSecondParentsAndCycles) {
  Ref<CPanelX> root, a, b, other;
  ASSERT_EQ(root->InsertChild(a.get(), -1), S_OK);
  ASSERT_EQ(a->InsertChild(b.get(), -1), S_OK);
  EXPECT_EQ(a->GetRefCount(), 2);
  EXPECT_EQ(root->InsertChild(nullptr, 0), E_FAIL);
  EXPECT_EQ(root->InsertChild(a.get(), 0), E_FAIL);      // already a child
  EXPECT_EQ(other->InsertChild(a.get(), 0), E_FAIL);     // has another parent
  EXPECT_EQ(b->InsertChild(root.get(), 0), E_FAIL);      // an ancestor: a cycle
  EXPECT_EQ(b->InsertChild(b.get(), 0), E_FAIL);         // itself
  EXPECT_EQ(a->GetRefCount(), 2);                        // nothing changed
  Ref<CPanelX> c;
  ASSERT_EQ(root->InsertChild(c.get(), 0), S_OK);
  EXPECT_EQ(root->GetChild(0), c.get());
  EXPECT_EQ(root->GetChild(1), a.get());
}

TEST(ElementModel, RemovalClearsParentAndWindowSlots) {
  Ref<EventWindow> window;
  Ref<CPanelX> content, row, cell;
  ASSERT_EQ(window->SetContent(content.get()), S_OK);
  ASSERT_TRUE(window->CreateNativeWindow());
  ASSERT_EQ(content->InsertChild(row.get(), -1), S_OK);
  ASSERT_EQ(row->InsertChild(cell.get(), -1), S_OK);
  cell->SetTabStop(true);  // only tab stops take the focus
  cell->SetFocus();
  cell->SetCapture();
  window->SetHovered(cell.get());
  ASSERT_EQ(cell->StartWindowTimer(7, 1000), 1);
  ASSERT_EQ(window->focused(), cell.get());
  ASSERT_EQ(content->RemoveChildAt(0), S_OK);
  EXPECT_EQ(row->GetParent(), nullptr);
  EXPECT_EQ(window->focused(), nullptr);
  EXPECT_EQ(window->capture(), nullptr);
  EXPECT_EQ(window->hovered(), nullptr);
  EXPECT_EQ(window->TimerCount(), 0u);
  // the survivor is safe to use: it has no host any more
  EXPECT_EQ(cell->GetHostWindow(), nullptr);
  cell->InvalidateVisual(nullptr);
  EXPECT_EQ(cell->InvokeOnUiThread(WM_USER, 0, 0), -1);
}

TEST(ElementModel, ParentDestructionLeavesSurvivingChildrenDetached) {
  Ref<CPanelX> child;
  CPanelX* parent = new CPanelX();
  parent->AddRef();
  ASSERT_EQ(parent->InsertChild(child.get(), -1), S_OK);
  parent->Release();
  EXPECT_EQ(child->GetParent(), nullptr);
  EXPECT_EQ(child->GetRefCount(), 1);
}

TEST(ElementModel, MoveChildNeverReleasesTheOnlyReference) {
  Ref<CPanelX> root;
  bool destroyed = false;
  ProbePanel* only = NewProbe(&destroyed);
  Ref<CPanelX> second;
  ASSERT_EQ(root->InsertChild(only, -1), S_OK);
  only->Release();  // the panel now holds the only reference
  ASSERT_EQ(root->InsertChild(second.get(), -1), S_OK);
  ASSERT_EQ(root->MoveChild(only, -1), S_OK);
  EXPECT_FALSE(destroyed);
  EXPECT_EQ(root->GetChild(1), only);
  EXPECT_EQ(root->MoveChild(nullptr, 0), E_FAIL);
  EXPECT_EQ(root->RemoveChildAt(2), E_FAIL);
}

TEST(ElementModel, AttachedValuesFollowTheChildsLife) {
  Ref<CPanelX> root;
  Ref<CPanelX> kept;
  ASSERT_EQ(root->InsertChild(kept.get(), -1), S_OK);
  ASSERT_EQ(root->SetAttachedProperty(L"AlignmentX", L"Left", kept.get()), S_OK);
  ASSERT_EQ(root->SetAttachedProperty(L"AlignmentY", L"Center", kept.get()), S_OK);  // "Conter" only
  int32_t v = -1;
  EXPECT_TRUE(root->GetChildAlignmentX(kept.get(), &v));
  EXPECT_EQ(v, kAlignLeft);
  EXPECT_FALSE(root->GetChildAlignmentY(kept.get(), &v));
  EXPECT_EQ(root->SetAttachedProperty(L"Dock", L"Left", kept.get()), S_FALSE);
  // a live child keeps its values across removal
  ASSERT_EQ(root->RemoveChildAt(0), S_OK);
  EXPECT_TRUE(root->GetChildAlignmentX(kept.get(), &v));

  // a child destroyed by removal takes its values with it
  CPanelX* gone = new CPanelX();
  gone->AddRef();
  ASSERT_EQ(root->InsertChild(gone, -1), S_OK);
  root->SetAttachedProperty(L"AlignmentX", L"Right", gone);
  gone->Release();
  ASSERT_EQ(root->RemoveAllChildren(), S_OK);
  EXPECT_FALSE(root->GetChildAlignmentX(gone, &v));
}

TEST(ElementModel, GeometryChangesRelayoutSiblings) {
  Ref<CWindowX> window;
  Ref<CPanelX> content, a, b;
  ASSERT_EQ(window->SetContent(content.get()), S_OK);
  content->InsertChild(a.get(), -1);
  content->InsertChild(b.get(), -1);
  RECT r;
  b->GetRect(&r, false);
  a->GetRect(&r, false);
  ASSERT_FALSE(b->IsLayoutDirty());
  a->SetWidth(10);
  EXPECT_TRUE(b->IsLayoutDirty());  // a sibling's place may depend on it
  EXPECT_TRUE(a->IsLayoutDirty());
  b->GetRect(&r, false);
  a->SetMargin(1, 2, 3, 4);
  EXPECT_TRUE(b->IsLayoutDirty());
}

TEST(ElementModel, PlainPanelPlacesChildrenByMarginAndAlignment) {
  Ref<CWindowX> window;
  Ref<CPanelX> content, child;
  window->SetContent(content.get());
  ASSERT_TRUE(window->CreateNativeWindow());
  SetWindowPos(window->hwnd(), nullptr, 0, 0, 200, 100, SWP_NOMOVE | SWP_NOZORDER);
  content->InvalidateLayout(false);
  content->InsertChild(child.get(), -1);
  child->SetWidth(20);
  child->SetHeight(10);
  child->SetMargin(5, 6, 0, 0);
  content->SetAttachedProperty(L"AlignmentX", L"Left", child.get());
  content->SetAttachedProperty(L"AlignmentY", L"Top", child.get());
  RECT r;
  child->GetRect(&r, false);
  EXPECT_EQ(r.left, 5);
  EXPECT_EQ(r.top, 6);
  EXPECT_EQ(r.right, 25);
  EXPECT_EQ(r.bottom, 16);
  // a huge margin saturates instead of overflowing
  child->SetMargin(INT32_MAX, 0, INT32_MIN, 0);
  child->GetRect(&r, false);
  EXPECT_EQ(r.left, INT32_MAX);
}

TEST(ElementModel, Searches) {
  Ref<CPanelX> root, a, b, c;
  root->SetName(L"Root");
  a->SetName(L"Row");
  b->SetName(L"row");
  b->SetId(5);
  root->InsertChild(a.get(), -1);
  a->InsertChild(c.get(), -1);
  root->InsertChild(b.get(), -1);
  EXPECT_EQ(root->FindByName(L"ROOT"), root.get());
  EXPECT_EQ(root->FindByName(L""), nullptr);
  CPanelX* found = nullptr;
  EXPECT_EQ(root->FindElementByName(L"root", &found), 0);  // descendants only
  ASSERT_EQ(root->FindElementByName(L"ROW", &found), 1);
  EXPECT_EQ(found, a.get());
  found->Release();
  EXPECT_EQ(root->FindElementByName(L"", &found), 0);  // unnamed elements never match
  ASSERT_EQ(root->FindElementById(5, &found), 1);
  EXPECT_EQ(found, b.get());
  found->Release();
  std::vector<CPanelX*> all;
  root->CollectElementsByName(L"row", &all);
  ASSERT_EQ(all.size(), 2u);
  for (CPanelX* p : all) p->Release();
  all.clear();
  root->CollectElementsById(0, &all);
  ASSERT_EQ(all.size(), 2u);  // a, c: pre-order
  EXPECT_EQ(all[0], a.get());
  EXPECT_EQ(all[1], c.get());
  for (CPanelX* p : all) p->Release();
}

TEST(ElementModel, SettingTheSameCursorTwiceKeepsIt) {
  Ref<CPanelX> panel;
  HCURSOR own = CreateCursor(GetModuleHandleW(nullptr), 0, 0, 32, 32, std::vector<BYTE>(128, 0xFF).data(),
                             std::vector<BYTE>(128, 0).data());
  ASSERT_NE(own, nullptr);
  panel->SetCustomCursor(own);
  panel->SetCustomCursor(own);
  EXPECT_EQ(panel->GetCursorKind(), 16);
  ICONINFO info;
  ASSERT_TRUE(GetIconInfo(own, &info));  // still a live handle
  DeleteObject(info.hbmMask);
  if (info.hbmColor) DeleteObject(info.hbmColor);
  // a shared system cursor is never destroyed by the panel
  HCURSOR beam = LoadCursorW(nullptr, MAKEINTRESOURCEW(32513));
  panel->SetCustomCursor(beam, false);
  panel->SetCustomCursor(nullptr);
  EXPECT_EQ(panel->GetCursorKind(), 0);
}

TEST(ElementModel, InvokeOnUiThreadRoutesToNamedHandlers) {
  Ref<EventWindow> window;
  Ref<CPanelX> content, button;
  window->SetContent(content.get());
  content->InsertChild(button.get(), -1);
  EXPECT_EQ(button->InvokeOnUiThread(WM_LBUTTONUP, 0, 0), -1);  // no native window yet
  ASSERT_TRUE(window->CreateNativeWindow());
  tinyxml2::XMLDocument doc;
  ASSERT_EQ(doc.Parse("<Panel OnMessage=\"514-ReloadProcessList;0x201-Down;\"/>"), tinyxml2::XML_SUCCESS);
  ASSERT_EQ(button->LoadAttributes(CXmlAttributesX(doc.RootElement())), S_OK);
  EXPECT_EQ(button->InvokeOnUiThread(WM_LBUTTONDOWN, 0, 0), 0);
  LRESULT answer = 99;
  std::thread worker([&] { answer = button->InvokeOnUiThreadAlloc(WM_LBUTTONUP, 0, 0); });
  // the request is sent to this thread: pump until the worker's call returns
  for (int k = 0; k < 5000 && answer == 99; ++k) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    Sleep(1);
  }
  worker.join();
  EXPECT_EQ(answer, 0);
  EXPECT_EQ(window->events, (std::vector<std::wstring>{L"Down", L"ReloadProcessList"}));
  EXPECT_EQ(button->GetRefCount(), 2);  // the window released the request's reference
  // hidden panels handle no messages
  button->SetVisible(false);
  button->InvokeOnUiThread(WM_LBUTTONUP, 0, 0);
  EXPECT_EQ(window->events.size(), 2u);
}

TEST(ElementModel, DestroyedElementsLoseTheirTimers) {
  Ref<CWindowX> window;
  Ref<CPanelX> content;
  window->SetContent(content.get());
  ASSERT_TRUE(window->CreateNativeWindow());
  bool destroyed = false;
  ProbePanel* probe = NewProbe(&destroyed);
  content->InsertChild(probe, -1);
  ASSERT_EQ(probe->StartWindowTimer(1, 10), 1);
  ASSERT_EQ(probe->StartWindowTimerAlt(1, 10), 2);  // the next native id
  EXPECT_EQ(window->TimerCount(), 2u);
  probe->Release();
  content->RemoveChildAt(0);
  EXPECT_TRUE(destroyed);
  EXPECT_EQ(window->TimerCount(), 0u);
  // ticks already queued find no entry
  const DWORD end = GetTickCount() + 60;
  while (GetTickCount() < end) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    Sleep(5);
  }
}

}  // namespace
}  // namespace varnak::ui
