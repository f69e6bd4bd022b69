// The scroll container template over any panel class: the children are
// arranged in a page of PageSize at the container's top-left corner and
// moved by the positions of a horizontal bar along the bottom edge and a
// vertical bar along the right edge. The bars are not in the children array:
// the container is their parent, arranges, hit-tests, draws and invalidates
// them itself. The mouse wheel moves a bar by MouseWhellSpeed per notch.
#ifndef VARNAK_UI_SCROLL_CONTAINER_H
#define VARNAK_UI_SCROLL_CONTAINER_H

#include <windowsx.h>

#include <algorithm>
#include <climits>

#include "ui/controls/scroll_bar.h"
#include "ui/globals.h"
#include "ui/window.h"

namespace varnak::ui {

template <class Base>
class CScrollPanelContainerX : public Base {
 public:
  ~CScrollPanelContainerX() override {
    DetachBar(&hbar_);
    DetachBar(&vbar_);
  }

  HRESULT LoadAttributes(const CXmlAttributesX& a) override {
    Numbers page;
    if (a.GetSize(L"PageSize", &page) && page.set) {
      // reals are truncated to unsigned whole pixels
      auto whole = [&page](int k) -> int32_t {
        return page.real ? SaturateToInt(std::max(0.0, static_cast<double>(page.f[k]))) : std::max(0, page.i[k]);
      };
      SetPageSize(whole(0), whole(1));
    }
    a.GetInt(L"MouseWhellSpeed", &wheel_speed_);  // the skins' spelling
    return Base::LoadAttributes(a);
  }

  int CreatePropertyElement(const std::wstring& property, const std::wstring& tag, IElementX** value) override {
    if (value) *value = nullptr;
    if (property != L"ScrollBar") return Base::CreatePropertyElement(property, tag, value);
    if (tag.empty() || !value) return 1;
    IElementX* created = CreateByName(L"ScrollBar");
    if (!created) return 0;
    created->AddRef();
    *value = created;
    return 1;
  }

  HRESULT SetPropertyElement(const std::wstring& property, const std::wstring& tag, IElementX* value) override {
    if (property != L"ScrollBar") return Base::SetPropertyElement(property, tag, value);
    CScrollBarX* bar = dynamic_cast<CScrollBarX*>(value);
    if (!bar) return E_FAIL;
    return AttachScrollBar(bar);
  }

  // --- page and offsets ---------------------------------------------------------

  void SetPageSize(int32_t w, int32_t h) {
    page_ = SIZE{std::max(0, w), std::max(0, h)};  // a page is never inverted
    this->InvalidateLayout(true);
    UpdateScrollBars();
  }
  SIZE GetPageSize() const { return page_; }
  void SetHorizontalOffset(int32_t pos) { SetOffset(hbar_, pos); }
  void SetVerticalOffset(int32_t pos) { SetOffset(vbar_, pos); }
  int32_t GetHorizontalOffset() { return hbar_ ? hbar_->GetPos() : 0; }
  int32_t GetVerticalOffset() { return vbar_ ? vbar_->GetPos() : 0; }

  // Horizontal bars go along the bottom, the others along the right edge.
  HRESULT AttachScrollBar(CScrollBarX* bar) {
    if (!bar || bar->GetParent() || bar->owner()) return E_FAIL;
    CScrollBarX** slot = bar->GetOrientation() == 1 ? &hbar_ : &vbar_;
    DetachBar(slot);
    *slot = AddRefed(bar);
    bar->SetParent(this);
    bar->SetChangeCallback(&CScrollPanelContainerX::OnBarChanged, reinterpret_cast<intptr_t>(this));
    this->InvalidateLayout(true);
    return S_OK;
  }
  // 1 the horizontal bar, anything else the vertical one.
  CScrollBarX* GetScrollBar(int which) const { return which == 1 ? hbar_ : vbar_; }

  void GetScrollOverflow(SIZE* size) {
    RECT r;
    GetRect(&r, false);
    const int64_t w = int64_t{r.right} - r.left, h = int64_t{r.bottom} - r.top;
    size->cx = static_cast<LONG>(std::clamp<int64_t>(page_.cx - w, 0, INT32_MAX));
    size->cy = static_cast<LONG>(std::clamp<int64_t>(page_.cy - h, 0, INT32_MAX));
  }

  // Shows exactly the bars that have something to scroll, each back at 0
  // with the range 0 .. overflow. Needs the window (the layout).
  void UpdateScrollBars() {
    if (!this->GetHostWindow()) return;
    SIZE overflow;
    GetScrollOverflow(&overflow);
    for (CScrollBarX* bar : {hbar_, vbar_}) {
      if (!bar) continue;
      const LONG amount = bar == hbar_ ? overflow.cx : overflow.cy;
      bar->SetVisible(amount > 0);
      if (amount > 0) {
        bar->SetRange(0, amount);
        bar->SetPos(0);
      }
    }
    InvalidateBars();
    this->InvalidateLayout(true);
  }

  // The strip of rect a bar occupies; the bar learns its track length.
  void ArrangeScrollBar(RECT* rect, CScrollBarX* bar) {
    SIZE h = {0, 0}, v = {0, 0};
    if (hbar_) hbar_->GetDesiredSize(&h);
    if (vbar_) vbar_->GetDesiredSize(&v);
    RECT strip = *rect;
    if (bar == hbar_) {
      strip.top = std::max(strip.top, static_cast<LONG>(strip.bottom - h.cy));
      if (vbar_ && vbar_->IsVisible()) strip.right = std::max(strip.left, static_cast<LONG>(strip.right - v.cx));
    } else {
      strip.left = std::max(strip.left, static_cast<LONG>(strip.right - v.cx));
      if (hbar_ && hbar_->IsVisible()) strip.bottom = std::max(strip.top, static_cast<LONG>(strip.bottom - h.cy));
    }
    *rect = strip;
    const SIZE size = {strip.right - strip.left, strip.bottom - strip.top};
    bar->UpdateThumbRange(&size);
  }

  // --- panel overrides ------------------------------------------------------------

  void ArrangeChild(RECT* rect, CPanelX* child) override {
    if (child && (child == hbar_ || child == vbar_)) {
      ArrangeScrollBar(rect, static_cast<CScrollBarX*>(child));
      return;
    }
    // the page at the top-left corner, moved by the visible bars' positions
    RECT page = {rect->left, rect->top, Clamp(int64_t{rect->left} + page_.cx), Clamp(int64_t{rect->top} + page_.cy)};
    Base::ArrangeChild(&page, child);
    const int64_t dx = hbar_ && hbar_->IsVisible() ? hbar_->GetPos() : 0;
    const int64_t dy = vbar_ && vbar_->IsVisible() ? vbar_->GetPos() : 0;
    *rect = RECT{Clamp(page.left - dx), Clamp(page.top - dy), Clamp(page.right - dx), Clamp(page.bottom - dy)};
  }

  void GetRect(RECT* rect, bool visible) override {
    // the bars are not in the children array: a new layout of the container
    // is a new layout of its bars too
    if (this->IsLayoutDirty()) InvalidateBars();
    Base::GetRect(rect, visible);
  }

  void InvalidateLayout(bool repaint) override {
    Base::InvalidateLayout(repaint);
    InvalidateBars();
  }

  CPanelX* HitTest(int x, int y) override {
    if (!this->IsVisible()) return nullptr;
    RECT own;
    GetRect(&own, true);
    const POINT pt = {x, y};
    if (!PtInRect(&own, pt)) return nullptr;
    // hidden bars keep a rectangle but take no clicks
    for (CScrollBarX* bar : {hbar_, vbar_}) {
      if (!bar || !bar->IsVisible()) continue;
      if (CPanelX* hit = bar->HitTest(x, y)) return hit;
    }
    return Base::HitTest(x, y);
  }

  HRESULT RenderChildren(IRenderX* renderer, const RECT& rect, const RECT& clip) override {
    HRESULT hr = Base::RenderChildren(renderer, rect, clip);
    if (FAILED(hr)) return hr;
    for (CScrollBarX* bar : {hbar_, vbar_}) {
      if (!bar) continue;
      hr = bar->Render(renderer, &clip);
      if (FAILED(hr)) return hr;
    }
    return S_OK;
  }

  void OnCreated() override {
    UpdateScrollBars();
    for (CScrollBarX* bar : {hbar_, vbar_})
      if (bar) bar->OnCreated();
    Base::OnCreated();
  }

  HRESULT HandleMessage(int* handled, UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result,
                        UINT flags) override {
    // messages sent to the whole tree reach the bars first; pointer messages
    // reach them directly, since hit testing tries them first
    if (flags & 1) {
      for (CScrollBarX* bar : {hbar_, vbar_}) {
        if (!bar) continue;
        bar->AddRef();
        HRESULT hr = bar->HandleMessage(handled, message, wparam, lparam, result, flags);
        bar->Release();
        if (hr != ROUTE_CONTINUE) return hr;
      }
    }
    if (!this->IsVisible() || this->GetNoActive()) return ROUTE_CONTINUE;
    HRESULT hr = Base::HandleMessage(handled, message, wparam, lparam, result, flags);
    if (FAILED(hr) || hr == ROUTE_CHILD_HANDLED) return hr;
    if (message != WM_MOUSEWHEEL || wheel_speed_ == 0) return hr;
    CWindowX* host = this->GetHostWindow();
    if (!host || !host->hwnd() || !VisibleToTheTop()) return hr;
    POINT pt = {GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
    if (!ScreenToClient(host->hwnd(), &pt)) return hr;
    RECT own;
    GetRect(&own, true);
    if (!PtInRect(&own, pt)) return hr;
    const int64_t delta = int64_t{GET_WHEEL_DELTA_WPARAM(wparam) / WHEEL_DELTA} * wheel_speed_;
    CScrollBarX* bar = (GET_KEYSTATE_WPARAM(wparam) & MK_CONTROL) ? hbar_ : vbar_;
    if (!bar || !bar->IsVisible()) return hr;
    bar->SetPos(static_cast<int32_t>(std::clamp<int64_t>(int64_t{bar->GetPos()} - delta, INT32_MIN, INT32_MAX)));
    this->InvalidateVisual(nullptr);
    if (handled) *handled = 1;
    return ROUTE_HANDLED;
  }

  int32_t GetMouseWheelSpeed() const { return wheel_speed_; }
  void SetMouseWheelSpeed(int32_t speed) { wheel_speed_ = speed; }

 private:
  static LONG Clamp(int64_t v) { return static_cast<LONG>(std::clamp<int64_t>(v, LONG_MIN, LONG_MAX)); }

  static void OnBarChanged(intptr_t user, CScrollBarX*) {
    reinterpret_cast<CScrollPanelContainerX*>(user)->InvalidateLayout(true);
  }

  void SetOffset(CScrollBarX* bar, int32_t pos) {
    if (!bar) return;
    bar->SetPos(pos);
    this->InvalidateVisual(nullptr);
  }

  void InvalidateBars() {
    for (CScrollBarX* bar : {hbar_, vbar_})
      if (bar) bar->InvalidateLayout(false);
  }

  // The wheel belongs to what the user can see: this container and every
  // ancestor up to the window's content visible, and not NoActive.
  bool VisibleToTheTop() {
    if (this->GetNoActive()) return false;
    for (CPanelX* p = this; p; p = p->GetParent())
      if (!p->IsVisible()) return false;
    return true;
  }

  void DetachBar(CScrollBarX** slot) {
    CScrollBarX* bar = *slot;
    if (!bar) return;
    *slot = nullptr;
    if (CWindowX* host = this->GetHostWindow()) host->ForgetElement(bar, true);
    bar->SetChangeCallback(nullptr, 0);
    bar->SetParent(nullptr);
    bar->Release();
  }

  SIZE page_ = {0, 0};
  CScrollBarX* hbar_ = nullptr;
  CScrollBarX* vbar_ = nullptr;
  int32_t wheel_speed_ = 0;
};

}  // namespace varnak::ui

#endif
