// CRangeBaseX and CProgressBarX (see progress_bar.h).
#include "ui/controls/progress_bar.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "ui/globals.h"
#include "ui/render.h"

namespace varnak::ui {
namespace {

const EnumWord kOrientationWords[] = {{L"Vertical", 0}, {L"Vert", 0}, {L"V", 0},
                                      {L"Horizontal", 1}, {L"Horz", 1}, {L"H", 1}};
// Enough for every digit of the exact decimal expansion of any double.
constexpr int kMaxDecimalDigits = 1100;

}  // namespace

// --- CRangeBaseX ----------------------------------------------------------------

void CRangeBaseX::SetValue(double x) {
  value_ = std::max(std::min(x, max_), min_);
  InvalidateVisual(nullptr);
}

HRESULT CRangeBaseX::SetRange(double min, double max) {
  if (min > max) return S_FALSE;
  min_ = min;
  max_ = max;
  SetValue(value_);
  return S_OK;
}

// --- CProgressBarX --------------------------------------------------------------

CProgressBarX::CProgressBarX() : COrientationX(1) {
  small_ = 5;
  large_ = 10;
  min_ = 0;
  max_ = 100;
  value_ = 50;
}

CProgressBarX::~CProgressBarX() {
  SafeRelease(&value_text_);
  SafeRelease(&fill_);
}

HRESULT CProgressBarX::LoadAttributes(const CXmlAttributesX& a) {
  a.GetBool(L"AutoValueText", &auto_text_);
  if (a.Has(L"Text")) {
    // the value text reads the progress bar's attributes: Foreground colours it too
    auto* text = new (std::nothrow) CTextX();
    if (!text) return E_FAIL;
    text->AddRef();
    HRESULT hr = text->LoadAttributes(a);
    if (SUCCEEDED(hr)) hr = SetValueText(text);
    text->Release();
    if (FAILED(hr)) return E_FAIL;
  }
  uint32_t color = 0;
  if (a.GetColor(L"Foreground", &color)) {
    auto* brush = new (std::nothrow) CSolidBrushX();
    if (!brush) return E_FAIL;
    brush->AddRef();
    brush->SetColor(color);
    HRESULT hr = SetFill(static_cast<IGraphicX*>(brush));
    brush->Release();
    if (FAILED(hr)) return E_FAIL;
  }
  a.GetBool(L"Reverse", &reverse_);
  a.GetInt(L"DecimalDigits", &digits_);
  a.GetEnum(L"Orientation", kOrientationWords, std::size(kOrientationWords), &orientation_);
  // stored as read, without clamping
  a.GetReal(L"SmallChangeF", &small_);
  a.GetReal(L"LargeChangeF", &large_);
  a.GetReal(L"MinimumF", &min_);
  a.GetReal(L"MaximumF", &max_);
  a.GetReal(L"ValueF", &value_);
  return Container::LoadAttributes(a);
}

int CProgressBarX::CreatePropertyElement(const std::wstring& property, const std::wstring& tag, IElementX** value) {
  if (value) *value = nullptr;
  if (property != L"Text" && property != L"Foreground") return Container::CreatePropertyElement(property, tag, value);
  if (tag.empty() || !value) return 1;
  IElementX* created = CreateByName(tag);
  if (!created) return 0;
  created->AddRef();
  *value = created;
  return 1;
}

HRESULT CProgressBarX::SetPropertyElement(const std::wstring& property, const std::wstring& tag, IElementX* value) {
  if (property == L"Text") {
    CTextX* text = dynamic_cast<CTextX*>(value);
    return text ? SetValueText(text) : E_INVALIDARG;
  }
  if (property == L"Foreground") {
    IGraphicX* graphic = nullptr;
    if (!value || FAILED(value->QueryInterface(IID_IGraphicX, reinterpret_cast<void**>(&graphic))))
      return E_INVALIDARG;
    HRESULT hr = SetFill(graphic);
    graphic->Release();
    return hr;
  }
  return Container::SetPropertyElement(property, tag, value);
}

void CProgressBarX::SetOrientation(int32_t value) {
  orientation_ = value;
  InvalidateVisual(nullptr);
}

void CProgressBarX::SetReverse(bool on) {
  reverse_ = on;
  InvalidateVisual(nullptr);
}

void CProgressBarX::SetDecimalDigits(int32_t n) {
  digits_ = n;
  InvalidateVisual(nullptr);
}

HRESULT CProgressBarX::SetValueText(CTextX* text) {
  if (text) text->AddRef();
  SafeRelease(&value_text_);
  value_text_ = text;
  InvalidateVisual(nullptr);
  return S_OK;
}

CTextX* CProgressBarX::GetValueText(bool create) {
  if (!value_text_ && create) {
    auto* text = new (std::nothrow) CTextX();
    if (!text) return nullptr;
    text->AddRef();
    SetValueText(text);
    text->Release();
  }
  return value_text_;
}

HRESULT CProgressBarX::SetFill(IGraphicX* fill) {
  if (fill) fill->AddRef();
  SafeRelease(&fill_);
  fill_ = fill;
  InvalidateVisual(nullptr);
  return S_OK;
}

RECT CProgressBarX::ComputeFillRect(const RECT& rect) {
  // an empty (or inverted) range fills nothing; values outside the range are
  // stored as they are but fill at most the whole bar
  double f = 0;
  if (max_ > min_) f = (value_ - min_) / (max_ - min_);
  if (!(f > 0)) f = 0;  // also NaN
  if (f > 1) f = 1;
  RECT r = rect;
  if (orientation_ == 1) {
    const int32_t a = SaturateToInt(f * (static_cast<double>(rect.right) - rect.left));
    if (reverse_) r.left = r.right - a;
    else r.right = r.left + a;
  } else {
    const int32_t a = SaturateToInt(f * (static_cast<double>(rect.bottom) - rect.top));
    if (reverse_) r.top = r.bottom - a;
    else r.bottom = r.top + a;
  }
  return r;
}

std::wstring CProgressBarX::FormatValue() const {
  // printf semantics: a negative precision means the default of 6
  const int digits = digits_ < 0 ? 6 : std::min<int>(digits_, kMaxDecimalDigits);
  const int n = std::snprintf(nullptr, 0, "%.*f", digits, value_);
  if (n <= 0) return std::wstring();
  std::vector<char> text(static_cast<size_t>(n) + 1);
  if (std::snprintf(text.data(), text.size(), "%.*f", digits, value_) != n) return std::wstring();
  return std::wstring(text.begin(), text.begin() + n);
}

HRESULT CProgressBarX::RenderOverlay(IRenderX* renderer, const RECT& rect, const RECT& clip) {
  if (fill_) {
    const RECT r = ComputeFillRect(rect);
    if (r.right > r.left && r.bottom > r.top) {
      HRESULT hr = fill_->Draw(renderer, r, 0);
      if (FAILED(hr)) return hr;
    }
  }
  if (value_text_) {
    if (auto_text_) value_text_->SetTextState(FormatValue(), false, value_text_->format_flags());
    HRESULT hr = value_text_->Draw(renderer, rect, 0);
    if (FAILED(hr)) return hr;
  }
  return Container::RenderOverlay(renderer, rect, clip);
}

}  // namespace varnak::ui
