// Drawing: the renderer interface IRenderX with its GDI+ back end
// CGpRenderX and its Direct2D back end (render_d2d.cpp), the back buffer a
// window paints from, and rendering a panel tree into an off-screen 32-bit
// bitmap (for tests, benchmarks and skintool).
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
  // A string in a font of that family, size (world units), weight and
  // style (0 normal, 2 italic), unlimited layout; GDI+ only.
  virtual HRESULT MeasureString(SIZE* size, const std::wstring& text, const std::wstring& family, float font_size,
                                int32_t weight, int32_t style) = 0;
  // Makes a drawing surface on the device context over bounds and attaches
  // it; drawing coordinates stay those of the device context and nothing
  // outside bounds is touched. GDI+: graphics on the DC, clipped to bounds;
  // Direct2D: its DC render target (B8G8R8A8, premultiplied alpha, made once
  // and bound again on every call).
  virtual HRESULT CreateTargetFromDc(HDC dc, const RECT& bounds) = 0;
  // A surface drawing straight into the window's client area.
  virtual HRESULT CreateTargetFromWindow(HWND window, SIZE size) = 0;
  // Attaches a surface made elsewhere (GDI+ graphics or a Direct2D render
  // target; the renderer does not delete it); null detaches.
  virtual HRESULT SetTarget(void* target) = 0;
  virtual void* GetTarget() = 0;
  // Brackets a pass: Direct2D begins and ends drawing (ending reports the
  // target's error), GDI+ flushes at the end.
  virtual HRESULT BeginDraw() = 0;
  virtual HRESULT EndDraw() = 0;
  // Clears what the current clip lets through to one colour.
  virtual HRESULT Clear(uint32_t argb) = 0;
  virtual ~IRenderX() = default;
};

class CGpRenderX : public IRenderX {
 public:
  CGpRenderX() = default;
  ~CGpRenderX() override;
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
  HRESULT MeasureString(SIZE* size, const std::wstring& text, const std::wstring& family, float font_size,
                        int32_t weight, int32_t style) override;
  HRESULT CreateTargetFromDc(HDC dc, const RECT& bounds) override;
  HRESULT CreateTargetFromWindow(HWND window, SIZE size) override;
  HRESULT SetTarget(void* target) override;
  void* GetTarget() override { return graphics_; }
  HRESULT BeginDraw() override { return graphics_ ? S_OK : E_FAIL; }
  HRESULT EndDraw() override;
  HRESULT Clear(uint32_t argb) override;

 private:
  void DropOwnTarget();
  volatile LONG ref_ = 0;
  Gdiplus::GpGraphics* graphics_ = nullptr;
  Gdiplus::GpGraphics* own_ = nullptr;  // made by CreateTargetFrom*
  RECT bounds_{};                       // of a target made from a device context
  bool bounded_ = false;
};

// A new renderer with one reference: Direct2D (E_NOTIMPL where D2D1.DLL, the
// DirectWrite or the imaging factory is missing) or GDI+.
HRESULT CreateDirect2DRenderer(IRenderX** renderer);
HRESULT CreateGdiplusRenderer(IRenderX** renderer);
// The back end a window uses: Direct2D when it is there and the skin does
// not force GDI+, else (or when Direct2D fails) GDI+; null only when neither works.
IRenderX* ChooseRenderer(bool force_gdiplus);

// Starts GDI+ once for the process (on first use, not at static initialisation).
bool EnsureGdiplus();

// The back buffer: a memory device context holding one top-down 32-bit DIB
// section (ARGB, straight alpha), so GDI, GDI+ and Direct2D all draw into the
// same pixels. It keeps its pixels between paints, so a paint redraws only
// the dirty rectangle (the rest stays as it was).
class COffscreenBuffer {
 public:
  COffscreenBuffer() = default;
  COffscreenBuffer(const COffscreenBuffer&) = delete;
  COffscreenBuffer& operator=(const COffscreenBuffer&) = delete;
  ~COffscreenBuffer();
  // Grows to at least width x height (never shrinks), keeping the pixels it
  // has; the first call makes the memory device context, compatible with
  // reference (null: the screen). False on failure.
  bool Resize(int width, int height, HDC reference = nullptr);
  // Clears dirty (or everything) to transparent and renders content there,
  // with GDI+, or with the given renderer when it is a Direct2D one (its DC
  // render target bound to dc() over the dirty rectangle only; the result
  // is turned back into straight alpha, like the GDI+ path). Where Direct2D
  // cannot draw at all (its target cannot be bound, or the device went away)
  // this paint is made with GDI+ instead. Without content the rectangle is
  // only cleared (S_FALSE).
  HRESULT Paint(CPanelX* content, const RECT* dirty, IRenderX* renderer = nullptr);
  // The memory device context with the DIB selected; null before Resize.
  HDC dc() const { return dc_; }
  // width() x height() pixels, rows top first, after pending GDI drawing is
  // flushed; null before Resize.
  const uint32_t* bits() const;
  // A copy of bits().
  std::vector<uint32_t> pixels() const;
  int width() const { return width_; }
  int height() const { return height_; }
  // The part of the buffer that is shown (the client area); Present copies it.
  const RECT& copy_rect() const { return copy_rect_; }
  void SetCopyRect(const RECT& rect) { copy_rect_ = rect; }
  // BitBlt of area (the same coordinates in both) to target; false on failure.
  bool CopyTo(HDC target, const RECT& area) const;

 private:
  void Release();
  // drew: false when Direct2D could not draw at all (no target, lost device)
  HRESULT PaintDirect2D(CPanelX* content, const RECT& area, IRenderX* renderer, bool* drew);
  int width_ = 0, height_ = 0;
  RECT copy_rect_{};
  HDC dc_ = nullptr;
  HBITMAP dib_ = nullptr;
  HGDIOBJ dc_old_ = nullptr;  // the DC's own bitmap, selected back before it goes
  uint32_t* bits_ = nullptr;
  // GDI+ draws straight into the DIB's bits
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
