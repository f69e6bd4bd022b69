// CTextBlockX (see text_block.h).
#include "ui/controls/text_block.h"

#include <gdiplus.h>

#include "ui/render.h"

namespace varnak::ui {

HRESULT MeasureTextOnScreen(CTextX* text, SIZE* size) {
  *size = SIZE{0, 0};
  if (!text || !EnsureGdiplus()) return E_FAIL;
  HDC screen = GetDC(nullptr);
  if (!screen) return E_FAIL;
  Gdiplus::GpGraphics* graphics = nullptr;
  HRESULT hr = E_FAIL;
  if (Gdiplus::DllExports::GdipCreateFromHDC(screen, &graphics) == Gdiplus::Ok) {
    auto* renderer = new (std::nothrow) CGpRenderX();
    if (renderer) {
      renderer->AddRef();
      renderer->SetTarget(graphics);
      hr = renderer->MeasureText(size, text);
      renderer->Release();
    }
    Gdiplus::DllExports::GdipDeleteGraphics(graphics);
  }
  ReleaseDC(nullptr, screen);
  return hr;
}

CTextBlockX::CTextBlockX() {
  text_ = new (std::nothrow) CTextX();
  if (text_) text_->AddRef();
}

CTextBlockX::~CTextBlockX() { SafeRelease(&text_); }

STDMETHODIMP CTextBlockX::QueryInterface(REFIID riid, void** object) {
  if (object && IsEqualIID(riid, IID_ITextBlockX)) {
    *object = static_cast<ITextBlockX*>(this);
    AddRef();
    return S_OK;
  }
  return CElementX::QueryInterface(riid, object);
}

HRESULT CTextBlockX::LoadAttributes(const CXmlAttributesX& a) {
  if (!text_) return E_OUTOFMEMORY;
  HRESULT hr = text_->LoadAttributes(a);
  if (FAILED(hr)) return hr;
  measured_valid_ = false;
  return Container::LoadAttributes(a);
}

int CTextBlockX::CreatePropertyElement(const std::wstring& property, const std::wstring& tag, IElementX** value) {
  if (text_ && text_->CreatePropertyElement(property, L"", nullptr))
    return text_->CreatePropertyElement(property, tag, value);
  return Container::CreatePropertyElement(property, tag, value);
}

HRESULT CTextBlockX::SetPropertyElement(const std::wstring& property, const std::wstring& tag, IElementX* value) {
  if (text_ && text_->CreatePropertyElement(property, L"", nullptr)) {
    HRESULT hr = text_->SetPropertyElement(property, tag, value);
    InvalidateVisual(nullptr);
    return hr;
  }
  return Container::SetPropertyElement(property, tag, value);
}

HRESULT CTextBlockX::RenderContent(IRenderX* renderer, const RECT& rect, const RECT&) {
  if (!text_) return E_NOINTERFACE;
  return text_->Draw(renderer, rect, 0);
}

SIZE CTextBlockX::Measured() {
  if (!measured_valid_) {
    if (FAILED(MeasureTextOnScreen(text_, &measured_))) measured_ = SIZE{0, 0};
    measured_valid_ = true;
  }
  return measured_;
}

int32_t CTextBlockX::GetWidth() { return GetAutoWidth() ? Measured().cx : CPanelX::GetWidth(); }

int32_t CTextBlockX::GetHeight() { return GetAutoHeight() ? Measured().cy : CPanelX::GetHeight(); }

void CTextBlockX::Relayout() {
  measured_valid_ = false;
  if (GetAutoWidth() || GetAutoHeight()) InvalidateGeometry();
  InvalidateVisual(nullptr);
}

HRESULT CTextBlockX::SetText(const std::wstring& text, bool rich) {
  if (!text_) return E_NOINTERFACE;
  text_->SetTextState(text, rich, text_->format_flags());
  Relayout();
  return S_OK;
}

HRESULT CTextBlockX::SetFormatFlags(uint32_t flags) {
  if (!text_) return E_NOINTERFACE;
  text_->SetTextState(text_->text(), text_->rich(), flags);
  Relayout();
  return S_OK;
}

HRESULT CTextBlockX::SetForeground(IGraphicX* brush) {
  if (!text_) return E_NOINTERFACE;
  if (!brush) return E_INVALIDARG;
  IElementX* element = dynamic_cast<IElementX*>(brush);
  if (!element) return E_INVALIDARG;
  HRESULT hr = text_->SetPropertyElement(L"Foreground", L"", element);
  if (SUCCEEDED(hr)) InvalidateVisual(nullptr);
  return hr;
}

HRESULT CTextBlockX::SetForegroundColor(uint32_t argb) {
  if (!text_) return E_NOINTERFACE;
  text_->SetForegroundColor(argb);
  InvalidateVisual(nullptr);
  return S_OK;
}

HRESULT CTextBlockX::SetForegroundGradient(float sx, float sy, float ex, float ey, uint32_t start, uint32_t end) {
  auto* brush = new (std::nothrow) CLinearGradientBrushX();
  if (!brush) return E_OUTOFMEMORY;
  brush->AddRef();
  brush->SetLine(sx, sy, ex, ey, start, end);
  HRESULT hr = SetForeground(static_cast<IGraphicX*>(brush));
  brush->Release();
  return hr;
}

}  // namespace varnak::ui
