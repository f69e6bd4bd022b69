// Elements that are property values rather than tree nodes: the drawable
// base CGraphicX with the brush base and the solid brush, the transform
// element CMatrixX, and the mouse event listener CEventListenerX.
#ifndef VARNAK_UI_GRAPHIC_H
#define VARNAK_UI_GRAPHIC_H

#include "ui/element.h"
#include "ui/panel.h"

namespace varnak::ui {

class IRenderX;

class IGraphicX : public IUnknown {
 public:
  // Draws into rect; S_FALSE when there is nothing to draw.
  virtual HRESULT Draw(IRenderX* renderer, const RECT& rect, UINT flags) = 0;
};
class IBrushX : public IGraphicX {};
class ISolidBrushX : public IUnknown {
 public:
  virtual void SetColor(uint32_t argb) = 0;
  virtual uint32_t GetColor() = 0;
};
class IMatrixX : public IUnknown {};

#define VARNAK_UI_FORWARD_IUNKNOWN()                                                          \
  STDMETHODIMP_(ULONG) AddRef() override { return CElementX::AddRef(); }                      \
  STDMETHODIMP_(ULONG) Release() override { return CElementX::Release(); }

class CGraphicX : public CElementX, public IGraphicX {
 public:
  STDMETHODIMP QueryInterface(REFIID riid, void** object) override;
  VARNAK_UI_FORWARD_IUNKNOWN()
  HRESULT Draw(IRenderX*, const RECT&, UINT) override { return S_FALSE; }
};

class CBrushX : public CGraphicX {
 public:
  STDMETHODIMP QueryInterface(REFIID riid, void** object) override;
  // Fills the rectangle; an empty one draws nothing.
  HRESULT Draw(IRenderX* renderer, const RECT& rect, UINT flags) override;
};

class CSolidBrushX : public CBrushX, public ISolidBrushX {
 public:
  STDMETHODIMP QueryInterface(REFIID riid, void** object) override;
  VARNAK_UI_FORWARD_IUNKNOWN()
  HRESULT LoadAttributes(const CXmlAttributesX& attributes) override;
  void* GetPropertyAddress(const std::wstring& property) override;
  void SetColor(uint32_t argb) override { color_ = argb; }
  uint32_t GetColor() override { return color_; }

 private:
  uint32_t color_ = 0xFE000000u;
};

class CMatrixX : public CElementX, public IMatrixX {
 public:
  STDMETHODIMP QueryInterface(REFIID riid, void** object) override;
  VARNAK_UI_FORWARD_IUNKNOWN()
  HRESULT LoadAttributes(const CXmlAttributesX& attributes) override;
  const MatrixValues& values() const { return values_; }

 private:
  MatrixValues values_;
};

// Forwards a panel's mouse events; it accepts one target panel.
class CEventListenerX : public CElementX {
 public:
  virtual bool AcceptTarget(CPanelX* target);
  virtual void Notify(CPanelX* sender, MouseEvent event);
  int notifications() const { return notifications_; }

 private:
  CPanelX* target_ = nullptr;  // the panel holds the listener, not the reverse
  int notifications_ = 0;
};

}  // namespace varnak::ui

#endif
