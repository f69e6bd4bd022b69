// CButtonBaseX and CButtonX (see button.h).
#include "ui/controls/button.h"

#include <iterator>

#include "ui/globals.h"
#include "ui/graphic.h"
#include "ui/window.h"

namespace varnak::ui {
namespace {

constexpr UINT_PTR kRepeatTimer = 1;

const EnumWord kClickModeWords[] = {{L"Release", kClickRelease}, {L"Press", kClickPress}, {L"Hover", kClickHover}};
const EnumWord kAlignmentWords[] = {{L"Left", kAlignLeft},     {L"Right", kAlignRight}, {L"Top", kAlignTop},
                                    {L"Bottom", kAlignBottom}, {L"Center", kAlignCenter}, {L"Fill", kAlignFill}};
const EnumWord kAutoStateWords[] = {{L"Select", 1}, {L"SelectAny", 2}, {L"NoSelect", 0}};
const wchar_t* const kVisualNames[] = {L"Normal", L"MouseOver", L"Pressed", L"Disabled", L"Focused"};
// the attribute order of the state colours within each select state
const int32_t kAttributeOrder[] = {kStateNormal, kStateMouseOver, kStatePressed, kStateFocused, kStateDisabled};
const wchar_t* const kSelectSuffixes[] = {L"", L"Select", L"SelectAny"};

bool VisibleToTheTop(CPanelX* p) {
  for (; p; p = p->GetParent())
    if (!p->IsVisible()) return false;
  return true;
}

// "State" + visual name + optional select suffix -> index; -1 when unknown.
int ParseStateProperty(const std::wstring& property) {
  if (property.compare(0, 5, L"State") != 0) return -1;
  const std::wstring rest = property.substr(5);
  for (int v = 0; v < 5; ++v) {
    const std::wstring name = kVisualNames[v];
    if (rest.compare(0, name.size(), name) != 0) continue;
    const std::wstring suffix = rest.substr(name.size());
    for (int s = 0; s < 3; ++s)
      if (suffix == kSelectSuffixes[s]) return s * 5 + v;
  }
  return -1;
}

}  // namespace

// --- CButtonBaseX --------------------------------------------------------------

CButtonBaseX::~CButtonBaseX() = default;

HRESULT CButtonBaseX::LoadAttributes(const CXmlAttributesX& a) {
  if (a.Has(L"ClickMode")) {
    int32_t mode = -1;
    a.GetEnum(L"ClickMode", kClickModeWords, std::size(kClickModeWords), &mode);
    click_mode_ = mode < 0 ? kClickRelease : mode;
  }
  a.GetInt(L"ClickContinuouslyStartInterval", &repeat_delay_);
  a.GetInt(L"ClickContinuouslyInterval", &repeat_interval_);
  a.GetText(L"OnClick", &click_handler_);
  return ButtonContainer::LoadAttributes(a);
}

void CButtonBaseX::StopRepeat() {
  waiting_ = false;
  if (repeat_running_) {
    repeat_running_ = false;
    StopMessageTimerAlt(kRepeatTimer);
  }
}

HRESULT CButtonBaseX::HandleMessage(int* handled, UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result,
                                    UINT flags) {
  if (!IsVisible() || GetNoActive()) return ROUTE_CONTINUE;
  Hold hold(static_cast<IElementX*>(this));  // a handler may remove this button
  HRESULT base = ButtonContainer::HandleMessage(handled, message, wparam, lparam, result, flags);
  if (FAILED(base) || base == ROUTE_CHILD_HANDLED) return base;
  if (!GetHostWindow()) return E_FAIL;
  int32_t event = -1;
  if (Repeating()) {
    switch (message) {
      case WM_LBUTTONDOWN:
        StopRepeat();  // a timer still running from an earlier press starts over
        if (StartMessageTimerAlt(kRepeatTimer, static_cast<UINT>(repeat_delay_)) <= 0) return E_FAIL;
        repeat_running_ = true;
        waiting_ = true;
        SetCapture();
        event = kClickPress;
        break;
      case WM_LBUTTONUP:
        StopRepeat();
        ReleaseCapture();
        event = kClickRelease;
        break;
      case WM_MOUSELEAVE:
        if (waiting_) {
          StopRepeat();
          ReleaseCapture();
        }
        return base;
      case WM_MOUSEMOVE:
        event = kClickHover;
        break;
      default:
        return base;
    }
  } else {
    switch (message) {
      case WM_LBUTTONUP: event = kClickRelease; break;
      case WM_LBUTTONDOWN: event = kClickPress; break;
      case WM_MOUSEMOVE: event = kClickHover; break;
      default: return base;
    }
  }
  if (event != click_mode_) return base;
  if (IsEnabled(false)) Click();
  if (handled) *handled = 1;
  return ROUTE_HANDLED;
}

void CButtonBaseX::OnMessageTimerAlt(UINT_PTR id) {
  if (id != kRepeatTimer) return;
  if (waiting_) {
    waiting_ = false;
    StopMessageTimerAlt(kRepeatTimer);
    if (StartMessageTimerAlt(kRepeatTimer, static_cast<UINT>(repeat_interval_)) <= 0) repeat_running_ = false;
    return;
  }
  Click();
}

void CButtonBaseX::OnCaptureLost() { StopRepeat(); }

HRESULT CButtonBaseX::SetVisible(bool visible) {
  if (!visible) StopRepeat();
  return ButtonContainer::SetVisible(visible);
}

HRESULT CButtonBaseX::Disable() {
  StopRepeat();
  return ButtonContainer::Disable();
}

void CButtonBaseX::Click() {
  Hold hold(static_cast<IElementX*>(this));
  if (callback_) callback_(callback_user_);
  if (CWindowX* host = GetHostWindow()) {
    Hold hold_host(static_cast<IElementX*>(host));
    if (!click_handler_.empty()) host->OnEvent(click_handler_, this, 0, nullptr, 0, 0);
  }
}

// --- CButtonX --------------------------------------------------------------------

CButtonX::CButtonX() { SetTabStop(true); }

CButtonX::~CButtonX() {
  StopRepeat();
  SafeRelease(&content_);
  for (IGraphicX*& g : states_) SafeRelease(&g);
}

HRESULT CButtonX::LoadAttributes(const CXmlAttributesX& a) {
  a.GetEnum(L"Alignment", kAlignmentWords, std::size(kAlignmentWords), &graphic_alignment_);
  if (a.Has(L"AutoStateMax")) {
    int32_t max = -1;
    a.GetEnum(L"AutoStateMax", kAutoStateWords, std::size(kAutoStateWords), &max);
    auto_max_ = max < 0 ? 0 : max;
  }
  Numbers n;
  if (a.GetSize(L"GraphicSize", &n) && n.set) graphic_size_ = SIZE{n.Int(0), n.Int(1)};
  if (a.GetFourNumbers(L"GraphicMargin", &n) && n.set) graphic_margin_ = RECT{n.Int(0), n.Int(1), n.Int(2), n.Int(3)};
  if (a.Has(L"Text")) {
    // the text reads the button's own attributes: Foreground, fonts, ...
    auto* text = new (std::nothrow) CTextX();
    if (!text) return E_FAIL;
    text->AddRef();
    HRESULT hr = text->LoadAttributes(a);
    if (SUCCEEDED(hr)) hr = SetContent(static_cast<IGraphicX*>(text));
    text->Release();
    if (FAILED(hr)) return E_FAIL;
  }
  a.GetBool(L"IsDefault", &is_default_);
  a.GetBool(L"IsCancel", &is_cancel_);
  for (int s = 0; s < 3; ++s) {
    for (int32_t v : kAttributeOrder) {
      const std::wstring name = std::wstring(L"State") + kVisualNames[v] + kSelectSuffixes[s];
      uint32_t argb = 0;
      if (!a.GetColor(name.c_str(), &argb)) continue;
      auto* brush = new (std::nothrow) CSolidBrushX();
      if (!brush) return E_FAIL;
      brush->AddRef();
      brush->SetColor(argb);
      SetStateGraphic(static_cast<IGraphicX*>(brush), v, s);
      brush->Release();
    }
  }
  return CButtonBaseX::LoadAttributes(a);
}

int CButtonX::CreatePropertyElement(const std::wstring& property, const std::wstring& tag, IElementX** value) {
  if (value) *value = nullptr;
  if (property != L"Content" && ParseStateProperty(property) < 0 && property.compare(0, 5, L"State") != 0)
    return CButtonBaseX::CreatePropertyElement(property, tag, value);
  if (tag.empty() || !value) return 1;
  IElementX* created = CreateByName(tag);
  if (!created) return 0;
  created->AddRef();
  *value = created;
  return 1;
}

HRESULT CButtonX::SetPropertyElement(const std::wstring& property, const std::wstring& tag, IElementX* value) {
  const bool content = property == L"Content";
  const int index = ParseStateProperty(property);
  if (!content && property.compare(0, 5, L"State") != 0) return CButtonBaseX::SetPropertyElement(property, tag, value);
  if (!content && index < 0) return E_FAIL;
  IGraphicX* graphic = nullptr;
  if (!value || FAILED(value->QueryInterface(IID_IGraphicX, reinterpret_cast<void**>(&graphic)))) return E_INVALIDARG;
  HRESULT hr = content ? SetContent(graphic) : SetStateGraphic(graphic, index % 5, index / 5);
  graphic->Release();
  return hr;
}

HRESULT CButtonX::SetStateGraphic(IGraphicX* graphic, int32_t visual, int32_t select) {
  if (static_cast<uint32_t>(visual) >= 5 || static_cast<uint32_t>(select) >= 3) return E_INVALIDARG;
  IGraphicX*& slot = states_[select * 5 + visual];
  if (graphic) graphic->AddRef();
  SafeRelease(&slot);
  slot = graphic;
  return S_OK;
}

IGraphicX* CButtonX::GetStateGraphic(int32_t visual, int32_t select) {
  if (static_cast<uint32_t>(visual) >= 5 || static_cast<uint32_t>(select) >= 3) return nullptr;
  return states_[select * 5 + visual];
}

HRESULT CButtonX::SetGraphicSize(int32_t cx, int32_t cy) {
  if (graphic_size_.cx == cx && graphic_size_.cy == cy) return S_OK;
  graphic_size_ = SIZE{cx, cy};
  InvalidateVisual(nullptr);
  return S_OK;
}

HRESULT CButtonX::SetSelectState(int32_t state) {
  if (state < 0 || state > 2) return E_INVALIDARG;
  if (state == select_) return S_OK;
  select_ = state;
  InvalidateVisual(nullptr);
  return S_OK;
}

void CButtonX::SetAutoStateMax(int32_t max) { auto_max_ = max < 0 ? 0 : (max > 2 ? 2 : max); }

HRESULT CButtonX::SetContent(IGraphicX* content) {
  if (content) content->AddRef();
  SafeRelease(&content_);
  content_ = content;
  InvalidateVisual(nullptr);
  return S_OK;
}

IGraphicX* CButtonX::GetContent(bool create) {
  if (!content_ && create) {
    auto* text = new (std::nothrow) CTextX();
    if (!text) return nullptr;
    text->AddRef();
    SetContent(static_cast<IGraphicX*>(text));
    text->Release();
  }
  return content_;
}

namespace {
CTextX* TextOf(IGraphicX* content) { return content ? dynamic_cast<CTextX*>(content) : nullptr; }
}  // namespace

HRESULT CButtonX::SetText(const std::wstring& text, bool rich) {
  CTextX* t = TextOf(GetContent(true));
  if (!t) return E_NOINTERFACE;
  t->SetTextState(text, rich, t->format_flags());
  InvalidateVisual(nullptr);
  return S_OK;
}

std::wstring CButtonX::GetText() {
  CTextX* t = TextOf(GetContent(true));
  return t ? t->text() : std::wstring();
}

HRESULT CButtonX::SetTextForeground(IGraphicX* brush) {
  CTextX* t = TextOf(GetContent(true));
  if (!t) return E_NOINTERFACE;
  if (!brush) return E_INVALIDARG;
  IElementX* element = dynamic_cast<IElementX*>(brush);
  if (!element) return E_INVALIDARG;
  HRESULT hr = t->SetPropertyElement(L"Foreground", L"", element);
  if (SUCCEEDED(hr)) InvalidateVisual(nullptr);
  return hr;
}

HRESULT CButtonX::SetTextColor(uint32_t argb) {
  CTextX* t = TextOf(GetContent(true));
  if (!t) return E_NOINTERFACE;
  t->SetForegroundColor(argb);
  InvalidateVisual(nullptr);
  return S_OK;
}

HRESULT CButtonX::SetTextGradient(float sx, float sy, float ex, float ey, uint32_t start, uint32_t end) {
  auto* brush = new (std::nothrow) CLinearGradientBrushX();
  if (!brush) return E_OUTOFMEMORY;
  brush->AddRef();
  brush->SetLine(sx, sy, ex, ey, start, end);
  HRESULT hr = SetTextForeground(static_cast<IGraphicX*>(brush));
  brush->Release();
  return hr;
}

IGraphicX* CButtonX::GetTextForeground() {
  CTextX* t = TextOf(GetContent(true));
  return t ? t->foreground() : nullptr;
}

int32_t CButtonX::GetVisualState() {
  if (!IsEnabled(false)) return kStateDisabled;
  if (pressed_) return kStatePressed;
  if (hovered_) return kStateMouseOver;
  if (IsFocusWithin()) return kStateFocused;
  return kStateNormal;
}

void CButtonX::Click() {
  Hold hold(static_cast<IElementX*>(this));
  if (auto_max_ != 0) {
    select_ = select_ >= auto_max_ ? 0 : select_ + 1;
    InvalidateVisual(nullptr);
  }
  CButtonBaseX::Click();
}

HRESULT CButtonX::HandleMessage(int* handled, UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result,
                                UINT flags) {
  if (!IsVisible() || GetNoActive()) return ROUTE_CONTINUE;
  Hold hold(static_cast<IElementX*>(this));
  if (message == WM_KEYDOWN && wparam == VK_RETURN && is_default_) {
    // Enter clicks the default button only where the user can see it
    const std::wstring handler = GetClickHandler();
    CWindowX* host = GetHostWindow();
    if (host && IsEnabled(false) && VisibleToTheTop(this) && !handler.empty()) {
      Hold hold_host(static_cast<IElementX*>(host));
      HRESULT hr = host->OnEvent(handler, this, 0, nullptr, 0, 0);
      if (hr != ROUTE_CONTINUE) {
        if (handled) *handled = 1;
        return ROUTE_HANDLED;
      }
      return ROUTE_CONTINUE;
    }
  }
  HRESULT hr = CButtonBaseX::HandleMessage(handled, message, wparam, lparam, result, flags);
  switch (message) {
    case WM_MOUSEMOVE:
      if (!hovered_) {
        hovered_ = true;
        InvalidateVisual(nullptr);
      }
      break;
    case WM_LBUTTONDOWN:
      if (!pressed_) {
        pressed_ = true;
        InvalidateVisual(nullptr);
      }
      break;
    case WM_LBUTTONUP:
      if (pressed_) {
        pressed_ = false;
        InvalidateVisual(nullptr);
      }
      break;
    case WM_MOUSELEAVE:
      pressed_ = false;
      if (hovered_) {
        hovered_ = false;
        InvalidateVisual(nullptr);
      }
      break;
    default:
      break;
  }
  return hr;
}

void CButtonX::ComputeLayout(const RECT& rect, RECT* graphic, RECT* content) {
  *graphic = rect;
  *content = rect;
  const LONG cx = graphic_size_.cx, cy = graphic_size_.cy;
  if (cx < 0 || cy < 0) return;
  const LONG w = rect.right - rect.left, h = rect.bottom - rect.top;
  const RECT& m = graphic_margin_;
  switch (graphic_alignment_) {
    case kAlignLeft:
    case kAlignRight: {
      const LONG t = (h - cy - m.bottom - m.top) / 2;
      graphic->top = rect.top + m.top + t;
      graphic->bottom = rect.bottom - m.bottom - t;
      if (graphic_alignment_ == kAlignLeft) {
        graphic->left = rect.left + m.left;
        graphic->right = graphic->left + cx;
        content->left += m.left + cx + m.right;
      } else {
        graphic->right = rect.right - m.right;
        graphic->left = graphic->right - cx;
        content->right -= m.left + cx + m.right;
      }
      break;
    }
    case kAlignTop:
    case kAlignBottom: {
      const LONG t = (w - cx - m.left - m.right) / 2;
      graphic->left = rect.left + m.left + t;
      graphic->right = rect.right - m.right - t;
      if (graphic_alignment_ == kAlignTop) {
        graphic->top = rect.top + m.top;
        graphic->bottom = graphic->top + cy;
        content->top += m.top + cy + m.bottom;
      } else {
        graphic->bottom = rect.bottom - m.bottom;
        graphic->top = graphic->bottom - cy;
        content->bottom -= m.top + cy + m.bottom;
      }
      break;
    }
    default: {
      const LONG tx = (w - m.left - cx - m.right) / 2, ty = (h - cy - m.bottom - m.top) / 2;
      *graphic = RECT{rect.left + m.left + tx, rect.top + m.top + ty, rect.right - m.right - tx,
                      rect.bottom - m.bottom - ty};
      break;
    }
  }
}

HRESULT CButtonX::RenderContent(IRenderX* renderer, const RECT& rect, const RECT&) {
  RECT graphic_area, content_area;
  ComputeLayout(rect, &graphic_area, &content_area);
  const int32_t visual = GetVisualState();
  const int32_t select = static_cast<uint32_t>(select_) < 3 ? select_ : 0;
  // fallbacks: the normal state of this select state, then select state 0
  IGraphicX* g = states_[select * 5 + visual];
  if (!g) g = states_[select * 5];
  if (!g) g = states_[visual];
  if (!g) g = states_[0];
  if (g) {
    HRESULT hr = g->Draw(renderer, graphic_area, 0);
    if (FAILED(hr)) return hr;
  }
  if (content_) return content_->Draw(renderer, content_area, 0);
  return S_OK;
}

}  // namespace varnak::ui
