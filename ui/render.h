// Drawing: the renderer interface IRenderX with its GDI+ back end
// CGpRenderX, the GDI+ start-up the drawing factories need, and rendering a
// panel tree into an off-screen 32-bit bitmap (for tests, benchmarks and
// skintool). Solid fills and outlines of rectangles so far.
#ifndef VARNAK_UI_RENDER_H
#define VARNAK_UI_RENDER_H

#include <cstdint>
#include <string>
#include <vector>

#include "ui/element.h"

namespace Gdiplus {
class GpGraphics;
class GpBitmap;
}

namespace varnak::ui {

class CPanelX;
class IGraphicX;

class IRenderX : public IUnknown {
 public:
  virtual int IsDirect2D() = 0;
  // null removes the clip
  virtual HRESULT SetClip(const RECT* rect) = 0;
  virtual HRESULT GetClip(RECT* rect) = 0;
  virtual bool HasTarget() = 0;
  // stroke 0 fills with the brush; otherwise an outline of the given width
  virtual HRESULT FillRect(const RECT& rect, IGraphicX* brush, int stroke, float width) = 0;
  virtual HRESULT DrawImage(class CImageX* image, const RECT& rect) = 0;
  virtual HRESULT DrawText(class CTextX* text, const RECT& rect) = 0;
  // A pen of the given width made from the brush.
  virtual HRESULT DrawLine(POINT from, POINT to, IGraphicX* brush, float width) = 0;
  // The plain text with the text's font, unlimited layout.
  virtual HRESULT MeasureText(SIZE* size, class CTextX* text) = 0;
  virtual ~IRenderX() = default;
};

class CGpRenderX : public IRenderX {
 public:
  CGpRenderX() = default;
  STDMETHODIMP QueryInterface(REFIID riid, void** object) override;
  STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&ref_)); }
  STDMETHODIMP_(ULONG) Release() override;
  int IsDirect2D() override { return 0; }
  HRESULT SetClip(const RECT* rect) override;
  HRESULT GetClip(RECT* rect) override;
  bool HasTarget() override { return graphics_ != nullptr; }
  HRESULT FillRect(const RECT& rect, IGraphicX* brush, int stroke, float width) override;
  HRESULT DrawImage(CImageX* image, const RECT& rect) override;
  HRESULT DrawText(CTextX* text, const RECT& rect) override;
  HRESULT DrawLine(POINT from, POINT to, IGraphicX* brush, float width) override;
  HRESULT MeasureText(SIZE* size, CTextX* text) override;
  // Attaches GDI+ graphics (not owned).
  void SetTarget(Gdiplus::GpGraphics* graphics) { graphics_ = graphics; }
  Gdiplus::GpGraphics* GetTarget() const { return graphics_; }

 private:
  volatile LONG ref_ = 0;
  Gdiplus::GpGraphics* graphics_ = nullptr;
};

// Starts GDI+ once for the process (on first use, not at static initialisation).
bool EnsureGdiplus();

// A 32-bit ARGB off-screen buffer that keeps its pixels between paints, so a
// paint redraws only the dirty rectangle (the rest stays as it was).
class COffscreenBuffer {
 public:
  COffscreenBuffer() = default;
  COffscreenBuffer(const COffscreenBuffer&) = delete;
  COffscreenBuffer& operator=(const COffscreenBuffer&) = delete;
  ~COffscreenBuffer();
  // Grows to at least width x height (never shrinks); false on failure.
  bool Resize(int width, int height);
  // Clears dirty (or everything) to transparent and renders content there.
  HRESULT Paint(CPanelX* content, const RECT* dirty);
  const std::vector<uint32_t>& pixels() const { return pixels_; }
  int width() const { return width_; }
  int height() const { return height_; }

 private:
  void Release();
  std::vector<uint32_t> pixels_;
  int width_ = 0, height_ = 0;
  Gdiplus::GpBitmap* bitmap_ = nullptr;
  Gdiplus::GpGraphics* graphics_ = nullptr;
};

// Lays content out for a client area of width x height and renders it into
// 32-bit ARGB pixels (row by row, top first), transparent where nothing is drawn.
HRESULT RenderToPixels(CPanelX* content, int width, int height, std::vector<uint32_t>* argb);

// The same with Direct2D (premultiplied pixels); E_NOTIMPL where D2D1.DLL is
// missing. Pictures and texts end the pass there (E_FAIL).
HRESULT RenderToPixelsDirect2D(CPanelX* content, int width, int height, std::vector<uint32_t>* argb,
                               const RECT* dirty = nullptr);
bool Direct2DAvailable();

// Writes 32-bit ARGB pixels as a PNG file.
HRESULT SavePng(const std::wstring& path, const std::vector<uint32_t>& argb, int width, int height);

}  // namespace varnak::ui

#endif
