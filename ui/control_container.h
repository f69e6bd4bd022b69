// The control container template over any panel class: a border (brush and
// width; children are inset by its whole-pixel part) and dragging by mouse
// inside the parent, bounded by a drag-offset range.
#ifndef VARNAK_UI_CONTROL_CONTAINER_H
#define VARNAK_UI_CONTROL_CONTAINER_H

#include <windowsx.h>

#include <algorithm>
#include <climits>
#include <cmath>

#include "ui/globals.h"
#include "ui/graphic.h"
#include "ui/layout_panels.h"
#include "ui/render.h"

namespace varnak::ui {

using DragCallback = void (*)(void* user, int notify);

template <class Base>
class CControlContainerX : public Base {
 public:
  ~CControlContainerX() override { SafeRelease(&border_brush_); }

  HRESULT LoadAttributes(const CXmlAttributesX& a) override {
    uint32_t color = 0;
    if (a.GetColor(L"BorderBrush", &color)) SetBorderColor(color);
    bool drag = false;
    if (a.GetBool(L"DragCtrl", &drag)) {
      drag_ctrl_ = drag;
      range_ = RECT{INT_MIN, INT_MIN, INT_MAX, INT_MAX};  // unlimited once read, even for false
    }
    Numbers range;
    if (a.GetFourNumbers(L"DragOffsetRange", &range) && range.set)
      range_ = RECT{range.Int(0), range.Int(1), range.Int(2), range.Int(3)};
    double width = 0;
    if (a.GetReal(L"BorderWidth", &width)) border_width_ = SaturateToFloat(width);
    return Base::LoadAttributes(a);
  }

  int CreatePropertyElement(const std::wstring& property, const std::wstring& tag, IElementX** value) override {
    if (value) *value = nullptr;
    if (property != L"BorderBrush") return Base::CreatePropertyElement(property, tag, value);
    if (tag.empty() || !value) return 1;
    IElementX* created = CreateByName(tag);
    if (!created) return 0;
    created->AddRef();
    *value = created;
    return 1;
  }

  HRESULT SetPropertyElement(const std::wstring& property, const std::wstring& tag, IElementX* value) override {
    if (property != L"BorderBrush") return Base::SetPropertyElement(property, tag, value);
    IGraphicX* brush = nullptr;
    if (!value || FAILED(value->QueryInterface(IID_IBrushX, reinterpret_cast<void**>(&brush)))) return E_INVALIDARG;
    HRESULT hr = SetBorderBrush(brush);
    brush->Release();
    return hr;
  }

  HRESULT SetBorderBrush(IGraphicX* brush) {
    if (!brush) return E_INVALIDARG;
    brush->AddRef();
    SafeRelease(&border_brush_);
    border_brush_ = brush;
    this->InvalidateLayout(true);
    return S_OK;
  }
  HRESULT SetBorderColor(uint32_t argb) {
    CSolidBrushX* brush = new (std::nothrow) CSolidBrushX();
    if (!brush) return E_OUTOFMEMORY;
    brush->AddRef();
    brush->SetColor(argb);
    HRESULT hr = SetBorderBrush(static_cast<IGraphicX*>(brush));
    brush->Release();
    return hr;
  }
  IGraphicX* GetBorderBrush() const { return border_brush_; }
  void SetBorderWidth(float w) {
    border_width_ = w;
    this->InvalidateLayout(true);
  }
  float GetBorderWidth() const { return border_width_; }

  void SetDragCtrl(bool on) { drag_ctrl_ = on; }
  bool IsDraggable() { return drag_ctrl_ && !this->GetDragWindow() && !this->IsDetached(); }
  void SetDragOffsetRange(int32_t l, int32_t t, int32_t r, int32_t b) { range_ = RECT{l, t, r, b}; }
  RECT GetDragOffsetRange() const { return range_; }
  POINT GetDragOffset() const { return offset_; }
  void SetDragCallback(DragCallback callback, void* user) {
    callback_ = callback;
    callback_user_ = user;
  }

  // Clamps into the range (an inverted axis is the single point 0), stores,
  // and returns the part cut off.
  POINT SetDragOffset(int32_t x, int32_t y, int notify) {
    auto clamp = [](int32_t v, LONG lo, LONG hi) -> int32_t { return lo > hi ? 0 : std::clamp<int32_t>(v, lo, hi); };
    const POINT clamped = {clamp(x, range_.left, range_.right), clamp(y, range_.top, range_.bottom)};
    const POINT excess = {static_cast<LONG>(static_cast<int64_t>(x) - clamped.x),
                          static_cast<LONG>(static_cast<int64_t>(y) - clamped.y)};
    offset_ = clamped;
    this->InvalidateLayout(false);
    if (callback_) callback_(callback_user_, notify);
    return excess;
  }
  void DragTo(int32_t x, int32_t y) {
    RECT before;
    this->GetRect(&before, false);
    SetDragOffset(x, y, 1);
    RepaintUnion(before);
  }

  void GetRect(RECT* rect, bool visible) override {
    Base::GetRect(rect, visible);
    if (IsDraggable()) OffsetRect(rect, offset_.x, offset_.y);
  }

  void ArrangeChild(RECT* rect, CPanelX* child) override {
    if (border_brush_) {
      const LONG inset = SaturateToInt(border_width_);
      InflateRect(rect, -inset, -inset);
    }
    Base::ArrangeChild(rect, child);
  }

  HRESULT RenderOverlay(IRenderX* renderer, const RECT& rect, const RECT& clip) override {
    HRESULT hr = Base::RenderOverlay(renderer, rect, clip);
    if (FAILED(hr) || !border_brush_ || !(border_width_ > 0)) return hr;
    // the outline of the outer rectangle inset by half the border width
    RECT drawn;
    this->GetRect(&drawn, false);
    const LONG half = SaturateToInt(std::floor(border_width_ / 2));
    InflateRect(&drawn, -half, -half);
    return renderer->FillRect(drawn, border_brush_, 1, border_width_);
  }

  HRESULT HandleMessage(int* handled, UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result,
                        UINT flags) override {
    HRESULT answer = ROUTE_CONTINUE;
    if (this->IsVisible() && !this->GetNoActive())
      answer = Base::HandleMessage(handled, message, wparam, lparam, result, flags);
    if (!IsDraggable()) return answer;
    // signed: while captured the pointer may be left of or above the client area
    const POINT pt = {GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
    if (message == WM_LBUTTONDOWN) {
      anchor_ = pt;
      this->SetCapture();
    } else if (message == WM_MOUSEMOVE && anchor_.x != -1) {
      RECT bounds = {INT_MIN, INT_MIN, INT_MAX, INT_MAX};
      if (CPanelX* parent = this->GetParent()) parent->GetRect(&bounds, false);
      const POINT clamped = {std::clamp<LONG>(pt.x, bounds.left, std::max(bounds.left, bounds.right)),
                             std::clamp<LONG>(pt.y, bounds.top, std::max(bounds.top, bounds.bottom))};
      RECT before;
      this->GetRect(&before, false);
      SetDragOffset(static_cast<int32_t>(clamped.x + offset_.x - anchor_.x),
                    static_cast<int32_t>(clamped.y + offset_.y - anchor_.y), 0);
      // the anchor follows the pointer: the part cut off by the range is not
      // owed back, so moving back moves the control at once
      anchor_ = clamped;
      RepaintUnion(before);
    } else if (message == WM_LBUTTONUP && anchor_.x != -1) {
      this->ReleaseCapture();
      anchor_ = POINT{-1, -1};
    }
    return answer;
  }

 private:
  void RepaintUnion(const RECT& before) {
    RECT after, both;
    this->GetRect(&after, false);
    UnionRect(&both, &before, &after);
    if (CPanelX* parent = this->GetParent()) parent->InvalidateVisual(&both);
  }

  IGraphicX* border_brush_ = nullptr;
  float border_width_ = 0;
  bool drag_ctrl_ = false;
  POINT anchor_ = {-1, -1};
  POINT offset_ = {0, 0};
  RECT range_ = {0, 0, 0, 0};
  DragCallback callback_ = nullptr;
  void* callback_user_ = nullptr;
};

}  // namespace varnak::ui

#endif
