// CScrollBarX (see scroll_bar.h).
#include "ui/controls/scroll_bar.h"

#include <windowsx.h>

#include <algorithm>
#include <climits>

#include "ui/globals.h"
#include "ui/render.h"
#include "ui/window.h"

namespace varnak::ui {
namespace {

const EnumWord kOrientationWords[] = {{L"Vertical", 0}, {L"Vert", 0}, {L"V", 0},
                                      {L"Horizontal", 1}, {L"Horz", 1}, {L"H", 1}};

SIZE DesiredOf(CPanelX* part) {
  SIZE s = {0, 0};
  if (part) part->GetDesiredSize(&s);
  return s;
}

int32_t ToInt32(int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }

}  // namespace

CScrollBarX::~CScrollBarX() {
  // the children array keeps its own references until the panel goes
  for (CButtonX* part : {min_button_, max_button_, slide_})
    if (part) {
      part->SetClickCallback(nullptr, 0);
      part->SetDragCallback(nullptr, nullptr);
    }
  SafeRelease(&min_button_);
  SafeRelease(&max_button_);
  SafeRelease(&slide_);
}

HRESULT CScrollBarX::LoadAttributes(const CXmlAttributesX& a) {
  a.GetEnum(L"Orientation", kOrientationWords, std::size(kOrientationWords), &orientation_);
  HRESULT hr = Container::LoadAttributes(a);
  if (FAILED(hr)) return hr;
  Numbers range;
  if (a.GetPoint(L"ScrollRange", &range) && range.set) {
    min_ = range.Int(0);
    max_ = range.Int(1);
  }
  a.GetInt(L"ScrollPos", &pos_);
  a.GetText(L"OnScroll", &scroll_handler_);
  a.GetInt(L"ScrollPageSize", &page_);
  a.GetInt(L"ScrollStep", &step_);
  DockButtons();
  UpdateThumbRange(nullptr);
  return hr;
}

int CScrollBarX::CreatePropertyElement(const std::wstring& property, const std::wstring& tag, IElementX** value) {
  if (value) *value = nullptr;
  if (property != L"Parts") return Container::CreatePropertyElement(property, tag, value);
  if (tag.empty() || !value) return 1;
  IElementX* created = CreateByName(L"Button");
  if (!created) return 0;
  created->AddRef();
  *value = created;
  return 1;
}

HRESULT CScrollBarX::SetPropertyElement(const std::wstring& property, const std::wstring& tag, IElementX* value) {
  if (property != L"Parts") return Container::SetPropertyElement(property, tag, value);
  CButtonX* button = dynamic_cast<CButtonX*>(value);
  if (!button) return E_INVALIDARG;
  HRESULT hr = E_INVALIDARG;
  if (tag == L"ButtonMin") hr = SetButtonMin(button, true);
  else if (tag == L"ButtonMax") hr = SetButtonMax(button, true);
  else if (tag == L"ButtonSlide") hr = SetButtonSlide(button, true);
  return FAILED(hr) ? hr : S_OK;
}

HRESULT CScrollBarX::InsertChild(CPanelX*, int) { return E_FAIL; }
HRESULT CScrollBarX::MoveChild(CPanelX*, int) { return E_FAIL; }
HRESULT CScrollBarX::RemoveAllChildren() { return E_FAIL; }

// --- parts ------------------------------------------------------------------

HRESULT CScrollBarX::SetPart(CButtonX** slot, CButtonX* button, bool repaint) {
  if (button == *slot) return S_FALSE;
  if (button && (button->GetParent() || button->owner())) return E_FAIL;
  CButtonX* old = *slot;
  *slot = AddRefed(button);
  if (old) {
    old->SetClickCallback(nullptr, 0);
    old->SetDragCallback(nullptr, nullptr);
    old->Release();  // the children array still holds it until RebuildParts
  }
  if (button && button == min_button_) button->SetClickCallback(&CScrollBarX::OnStepBack, reinterpret_cast<intptr_t>(this));
  if (button && button == max_button_) button->SetClickCallback(&CScrollBarX::OnStepForward, reinterpret_cast<intptr_t>(this));
  if (button && button == slide_) {
    button->SetDragCtrl(true);
    button->SetDragCallback(&CScrollBarX::OnThumbDragged, this);
  }
  DockButtons();
  RebuildParts();
  UpdateThumbRange(nullptr);
  if (repaint) InvalidateVisual(nullptr);
  return S_OK;
}

HRESULT CScrollBarX::SetButtonMin(CButtonX* button, bool repaint) { return SetPart(&min_button_, button, repaint); }
HRESULT CScrollBarX::SetButtonMax(CButtonX* button, bool repaint) { return SetPart(&max_button_, button, repaint); }
HRESULT CScrollBarX::SetButtonSlide(CButtonX* button, bool repaint) { return SetPart(&slide_, button, repaint); }

void CScrollBarX::RebuildParts() {
  CDockPanelX::RemoveAllChildren();
  for (CButtonX* part : {min_button_, max_button_, slide_})
    if (part) CDockPanelX::InsertChild(part, -1);
}

void CScrollBarX::DockButtons() {
  const bool horizontal = orientation_ == 1;
  if (min_button_) SetMajorDock(min_button_, horizontal ? kAlignLeft : kAlignTop);
  if (max_button_) SetMajorDock(max_button_, horizontal ? kAlignRight : kAlignBottom);
  if (slide_) SetMajorDock(slide_, kAlignCenter);
}

void CScrollBarX::SetOrientation(int32_t value) {
  orientation_ = value;
  DockButtons();
  UpdateThumbRange(nullptr);
  InvalidateLayout(true);
}

// The dock rule puts the thumb at the start of the free track; it sits
// centred there instead, so that drag offset 0 is the middle of the track.
void CScrollBarX::ArrangeChild(RECT* rect, CPanelX* child) {
  RECT track = *rect;
  Container::ArrangeChild(rect, child);
  if (!slide_ || child != slide_) return;
  if (GetBorderBrush()) {
    const LONG inset = SaturateToInt(GetBorderWidth());
    InflateRect(&track, -inset, -inset);
  }
  const SIZE before = DesiredOf(min_button_), after = DesiredOf(max_button_);
  const RECT m = slide_->GetMargin();
  if (orientation_ == 1) {
    const int64_t l = int64_t{track.left} + before.cx, r = int64_t{track.right} - after.cx;
    const int32_t w = slide_->GetWidth();
    if (w != -1) {
      const int64_t left = l + (r - l - (int64_t{m.left} + m.right + w)) / 2 + m.left;
      rect->left = ToInt32(left);
      rect->right = ToInt32(left + w);
    } else {
      rect->left = ToInt32(l + m.left);
      rect->right = ToInt32(r - m.right);
    }
  } else {
    const int64_t t = int64_t{track.top} + before.cy, b = int64_t{track.bottom} - after.cy;
    const int32_t h = slide_->GetHeight();
    if (h != -1) {
      const int64_t top = t + (b - t - (int64_t{m.top} + m.bottom + h)) / 2 + m.top;
      rect->top = ToInt32(top);
      rect->bottom = ToInt32(top + h);
    } else {
      rect->top = ToInt32(t + m.top);
      rect->bottom = ToInt32(b - m.bottom);
    }
    // across the track too, as the dock rule does for a horizontal bar
    const int32_t w = slide_->GetWidth();
    const int64_t free = int64_t{track.right} - track.left - (int64_t{m.left} + m.right + w);
    if (w != -1 && free > 0) {
      rect->left = ToInt32(track.left + free / 2 + m.left);
      rect->right = ToInt32(int64_t{rect->left} + w);
    }
  }
}

HRESULT CScrollBarX::RenderContent(IRenderX* renderer, const RECT&, const RECT& clip) {
  if (!IsVisible()) return S_OK;
  for (CButtonX* part : {min_button_, max_button_, slide_}) {
    if (!part) continue;
    HRESULT hr = part->Render(renderer, &clip);
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

// --- range and position -------------------------------------------------------

int CScrollBarX::UpdateThumbRange(const SIZE* size) {
  if (!slide_) return 1;
  int64_t w = size ? size->cx : GetWidth(), h = size ? size->cy : GetHeight();
  if (w == -1 || h == -1) return 1;
  if (GetBorderBrush()) {
    const int64_t inset = SaturateToInt(GetBorderWidth());
    w -= 2 * inset;
    h -= 2 * inset;
  }
  const SIZE before = DesiredOf(min_button_), after = DesiredOf(max_button_), thumb = DesiredOf(slide_);
  const bool horizontal = orientation_ == 1;
  const int64_t c = horizontal ? w - before.cx - after.cx : h - before.cy - after.cy;
  const int64_t d = horizontal ? thumb.cx : thumb.cy;
  // a thumb as long as its track or longer has nowhere to go
  const int32_t half = ToInt32(std::max<int64_t>(0, (c - d) / 2));
  if (horizontal) slide_->SetDragOffsetRange(-half, 0, half, 0);
  else slide_->SetDragOffsetRange(0, -half, 0, half);
  if (!stale_) {
    PlaceThumb();
  } else {
    // keep a dragged thumb inside the new range, quietly
    const POINT offset = slide_->GetDragOffset();
    placing_ = true;
    slide_->SetDragOffset(offset.x, offset.y, 0);
    placing_ = false;
  }
  return 0;
}

void CScrollBarX::TrackRange(int64_t* start, int64_t* end) const {
  *start = *end = 0;
  if (!slide_) return;
  const RECT r = slide_->GetDragOffsetRange();
  *start = orientation_ == 1 ? r.left : r.top;
  *end = orientation_ == 1 ? r.right : r.bottom;
}

int32_t CScrollBarX::OffsetForPos(int32_t pos) const {
  int64_t start, end;
  TrackRange(&start, &end);
  // an empty range or an empty track puts the thumb at the start
  if (max_ <= min_ || end <= start) return ToInt32(start);
  const double f = static_cast<double>(int64_t{pos} - min_) / static_cast<double>(int64_t{max_} - min_);
  return SaturateToInt(f * static_cast<double>(end - start) + static_cast<double>(start));
}

void CScrollBarX::PlaceThumb() {
  if (!slide_) return;
  const int32_t offset = OffsetForPos(pos_);
  placing_ = true;
  if (orientation_ == 1) slide_->SetDragOffset(offset, 0, 1);
  else slide_->SetDragOffset(0, offset, 1);
  placing_ = false;
  // no repaint here: this runs inside the layout of the bar
}

void CScrollBarX::SetRange(int32_t min, int32_t max) {
  min_ = min;
  max_ = max;
  pos_ = std::max(std::min(pos_, max_), min_);
  if (!stale_) PlaceThumb();
  InvalidateVisual(nullptr);
}

void CScrollBarX::SetPos(int32_t pos) {
  Hold hold(static_cast<IElementX*>(this));  // the event handler may remove the bar
  pos_ = std::max(std::min(pos, max_), min_);
  stale_ = false;  // cleared first: a handler reading the position sees this one
  dragged_ = false;
  if (slide_) {
    const int32_t offset = OffsetForPos(pos_);
    if (orientation_ == 1) slide_->DragTo(offset, 0);
    else slide_->DragTo(0, offset);
  } else {
    ThumbMoved(1);
  }
  InvalidateVisual(nullptr);
}

int32_t CScrollBarX::ComputePosFromThumb() {
  int64_t start, end;
  TrackRange(&start, &end);
  if (max_ <= min_) {
    pos_ = min_;
  } else if (!slide_ || end <= start) {
    pos_ = std::max(std::min(pos_, max_), min_);
  } else {
    const POINT offset = slide_->GetDragOffset();
    const double f = static_cast<double>((orientation_ == 1 ? offset.x : offset.y) - start) /
                     static_cast<double>(end - start);
    const int32_t p = SaturateToInt(static_cast<double>(int64_t{max_} - min_) * f + min_);
    pos_ = std::max(std::min(p, max_), min_);
  }
  stale_ = false;
  dragged_ = false;
  return pos_;
}

int32_t CScrollBarX::GetPos() {
  if (stale_ && dragged_) return ComputePosFromThumb();
  // before the window applies it, the stored position is the truth: the
  // thumb has not been placed yet
  return std::max(std::min(pos_, max_), min_);
}

void CScrollBarX::OnCreated() {
  Container::OnCreated();
  if (stale_) SetPos(GetPos());
}

// --- notifications --------------------------------------------------------------

void CScrollBarX::OnThumbDragged(void* user, int notify) { static_cast<CScrollBarX*>(user)->ThumbMoved(notify); }

void CScrollBarX::ThumbMoved(int notify) {
  if (placing_) return;
  Hold hold(static_cast<IElementX*>(this));
  if (notify == 0) {
    stale_ = true;  // a user drag: the position follows the thumb
    dragged_ = true;
  }
  CWindowX* host = GetHostWindow();
  if (host && IsEnabled(false) && !scroll_handler_.empty()) {
    Hold hold_host(static_cast<IElementX*>(host));
    host->OnEvent(scroll_handler_, this, 0, nullptr, 0, 0);
  }
  if (change_callback_) change_callback_(change_user_, this);
}

void CScrollBarX::OnStepBack(intptr_t user) {
  auto* bar = reinterpret_cast<CScrollBarX*>(user);
  Hold hold(static_cast<IElementX*>(bar));
  const int64_t target = int64_t{bar->GetPos()} - bar->step_;
  const int32_t pos = ToInt32(std::max<int64_t>(bar->min_, target));
  bar->pos_ = pos;
  bar->SetPos(pos);
}

void CScrollBarX::OnStepForward(intptr_t user) {
  auto* bar = reinterpret_cast<CScrollBarX*>(user);
  Hold hold(static_cast<IElementX*>(bar));
  const int64_t target = int64_t{bar->GetPos()} + bar->step_;
  const int32_t pos = ToInt32(std::max<int64_t>(bar->min_, target));
  bar->pos_ = pos;
  bar->SetPos(pos);  // limits it to the maximum
}

HRESULT CScrollBarX::HandleMessage(int* handled, UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result,
                                   UINT flags) {
  Hold hold(static_cast<IElementX*>(this));
  HRESULT hr = Container::HandleMessage(handled, message, wparam, lparam, result, flags);
  if (FAILED(hr) || hr == ROUTE_CHILD_HANDLED) return hr;
  // a page click: a press on the track itself, not on a part
  if (message != WM_LBUTTONDOWN || (flags & 1) || page_ == 0 || !slide_ || !IsVisible() || GetNoActive() ||
      !IsEnabled(true))
    return hr;
  const POINT pt = {GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
  RECT bar, thumb;
  GetRect(&bar, true);
  if (!PtInRect(&bar, pt)) return hr;
  slide_->GetRect(&thumb, false);
  const bool horizontal = orientation_ == 1;
  const int64_t centre = horizontal ? (int64_t{thumb.left} + thumb.right) / 2 : (int64_t{thumb.top} + thumb.bottom) / 2;
  const int64_t at = horizontal ? pt.x : pt.y;
  const int64_t pos = GetPos();
  const int64_t target = at >= centre ? pos + page_ : pos - page_;
  SetPos(ToInt32(std::max<int64_t>(min_, target)));
  return hr;
}

}  // namespace varnak::ui
