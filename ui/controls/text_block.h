// CTextBlockX ("TextBlock"): a control that shows one Text element, created
// with it and held for its whole life. The text reads the text block's
// attributes first and is offered every property element first; AutoWidth
// and AutoHeight size the block to the measured text.
#ifndef VARNAK_UI_CONTROLS_TEXT_BLOCK_H
#define VARNAK_UI_CONTROLS_TEXT_BLOCK_H

#include "ui/control_container.h"
#include "ui/graphic.h"

namespace varnak::ui {

class ITextBlockX : public IUnknown {};

class CTextBlockX : public CControlContainerX<CPanelX>, public ITextBlockX {
 public:
  using Container = CControlContainerX<CPanelX>;
  CTextBlockX();
  STDMETHODIMP QueryInterface(REFIID riid, void** object) override;
  STDMETHODIMP_(ULONG) AddRef() override { return CElementX::AddRef(); }
  STDMETHODIMP_(ULONG) Release() override { return CPanelX::Release(); }

  HRESULT LoadAttributes(const CXmlAttributesX& attributes) override;
  int CreatePropertyElement(const std::wstring& property, const std::wstring& tag, IElementX** value) override;
  HRESULT SetPropertyElement(const std::wstring& property, const std::wstring& tag, IElementX* value) override;
  HRESULT RenderContent(IRenderX* renderer, const RECT& rect, const RECT& clip) override;
  // With AutoWidth / AutoHeight: the measured text size in whole pixels.
  int32_t GetWidth() override;
  int32_t GetHeight() override;

  // The text element; the text block keeps the reference.
  CTextX* GetTextObject() { return text_; }
  HRESULT SetText(const std::wstring& text, bool rich);
  std::wstring GetText() { return text_ ? text_->text() : std::wstring(); }
  HRESULT SetFormatFlags(uint32_t flags);
  uint32_t GetFormatFlags() { return text_ ? text_->format_flags() : 0; }
  HRESULT SetForeground(IGraphicX* brush);
  HRESULT SetForegroundColor(uint32_t argb);
  HRESULT SetForegroundGradient(float sx, float sy, float ex, float ey, uint32_t start, uint32_t end);
  IGraphicX* GetForeground() { return text_ ? text_->foreground() : nullptr; }

 protected:
  ~CTextBlockX() override;

 private:
  // The text changed: measure again, and re-arrange when the size follows it.
  void Relayout();
  SIZE Measured();
  CTextX* text_ = nullptr;
  SIZE measured_ = {0, 0};
  bool measured_valid_ = false;
};

// Measures the plain text with its font on a screen-compatible GDI+
// context, so that a text can be measured before it is in a window.
HRESULT MeasureTextOnScreen(CTextX* text, SIZE* size);

}  // namespace varnak::ui

#endif
