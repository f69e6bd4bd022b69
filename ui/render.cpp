// The GDI+ renderer and off-screen rendering (see render.h).
#include "ui/render.h"

#include <gdiplus.h>

#include <algorithm>

#include "ui/graphic.h"
#include "ui/panel.h"
#include "ui/window.h"

namespace varnak::ui {
namespace {

using namespace Gdiplus;

// The PNG encoder of GDI+: {557CF406-1A04-11D3-9A73-0000F81EF32E}
const CLSID kPngEncoder = {0x557CF406, 0x1A04, 0x11D3, {0x9A, 0x73, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};

}  // namespace

bool EnsureGdiplus() {
  static volatile LONG state = 0;  // 0 not started, 1 starting, 2 started, 3 failed
  if (InterlockedCompareExchange(&state, 1, 0) == 0) {
    GdiplusStartupInput input;
    ULONG_PTR token = 0;
    const bool ok = GdiplusStartup(&token, &input, nullptr) == Ok;
    InterlockedExchange(&state, ok ? 2 : 3);
  }
  while (state == 1) Sleep(0);
  return state == 2;
}

STDMETHODIMP CGpRenderX::QueryInterface(REFIID riid, void** object) {
  if (!object) return E_POINTER;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IRenderX) || IsEqualIID(riid, IID_IGpRenderX)) {
    *object = static_cast<IRenderX*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CGpRenderX::Release() {
  const LONG n = InterlockedDecrement(&ref_);
  if (n == 0) delete this;
  return static_cast<ULONG>(n);
}

HRESULT CGpRenderX::SetClip(const RECT* rect) {
  if (!graphics_) return E_FAIL;
  if (!rect) return DllExports::GdipResetClip(graphics_) == Ok ? S_OK : E_FAIL;
  return DllExports::GdipSetClipRectI(graphics_, rect->left, rect->top, rect->right - rect->left,
                                      rect->bottom - rect->top, CombineModeReplace) == Ok
             ? S_OK
             : E_FAIL;
}

HRESULT CGpRenderX::GetClip(RECT* rect) {
  if (!graphics_) return E_FAIL;
  GpRect r;
  if (DllExports::GdipGetClipBoundsI(graphics_, &r) != Ok) return E_FAIL;
  *rect = RECT{r.X, r.Y, r.X + r.Width, r.Y + r.Height};
  return S_OK;
}

HRESULT CGpRenderX::FillRect(const RECT& rect, IGraphicX* brush, int stroke, float width) {
  if (!graphics_ || !brush) return E_FAIL;
  GpBrush* fill = nullptr;
  ISolidBrushX* solid = nullptr;
  if (SUCCEEDED(brush->QueryInterface(IID_ISolidBrushX, reinterpret_cast<void**>(&solid)))) {
    const ARGB color = solid->GetColor();
    solid->Release();
    GpSolidFill* solid_fill = nullptr;
    if (DllExports::GdipCreateSolidFill(color, &solid_fill) != Ok) return E_FAIL;
    fill = solid_fill;
  } else if (CLinearGradientBrushX* gradient = dynamic_cast<CLinearGradientBrushX*>(static_cast<IGraphicX*>(brush))) {
    POINT from, to;
    if (!gradient->LinePoints(rect, &from, &to)) return S_FALSE;  // refused by GDI+: skipped, not fatal
    GpPoint a = {from.x, from.y}, b = {to.x, to.y};
    GpLineGradient* line = nullptr;
    if (DllExports::GdipCreateLineBrushI(&a, &b, gradient->start_color(), gradient->end_color(), WrapModeTile,
                                         &line) != Ok)
      return S_FALSE;
    fill = line;
  } else {
    return S_FALSE;  // a brush kind this back end does not draw yet
  }
  GpStatus status;
  if (stroke == 0) {
    status = DllExports::GdipFillRectangleI(graphics_, fill, rect.left, rect.top, rect.right - rect.left,
                                            rect.bottom - rect.top);
  } else {
    GpPen* pen = nullptr;
    status = DllExports::GdipCreatePen2(fill, width, UnitWorld, &pen);
    if (status == Ok) {
      status = DllExports::GdipDrawRectangle(graphics_, pen, static_cast<REAL>(rect.left),
                                             static_cast<REAL>(rect.top), static_cast<REAL>(rect.right - rect.left),
                                             static_cast<REAL>(rect.bottom - rect.top));
      DllExports::GdipDeletePen(pen);
    }
  }
  DllExports::GdipDeleteBrush(fill);
  return status == Ok ? S_OK : E_FAIL;
}

COffscreenBuffer::~COffscreenBuffer() { Release(); }

void COffscreenBuffer::Release() {
  if (graphics_) DllExports::GdipDeleteGraphics(graphics_);
  if (bitmap_) DllExports::GdipDisposeImage(bitmap_);
  graphics_ = nullptr;
  bitmap_ = nullptr;
}

bool COffscreenBuffer::Resize(int width, int height) {
  if (width <= width_ && height <= height_ && bitmap_) return true;
  if (width <= 0 || height <= 0 || width > 16384 || height > 16384 || !EnsureGdiplus()) return false;
  Release();
  width_ = std::max(width, width_);
  height_ = std::max(height, height_);
  pixels_.assign(static_cast<size_t>(width_) * static_cast<size_t>(height_), 0);
  if (DllExports::GdipCreateBitmapFromScan0(width_, height_, width_ * 4, PixelFormat32bppARGB,
                                            reinterpret_cast<BYTE*>(pixels_.data()), &bitmap_) != Ok ||
      DllExports::GdipGetImageGraphicsContext(bitmap_, &graphics_) != Ok) {
    Release();
    width_ = height_ = 0;
    return false;
  }
  return true;
}

HRESULT COffscreenBuffer::Paint(CPanelX* content, const RECT* dirty) {
  if (!graphics_ || !content) return E_FAIL;
  RECT area = {0, 0, width_, height_};
  if (dirty && !IntersectRect(&area, &area, dirty)) return S_FALSE;
  DllExports::GdipSetClipRectI(graphics_, area.left, area.top, area.right - area.left, area.bottom - area.top,
                               CombineModeReplace);
  DllExports::GdipGraphicsClear(graphics_, 0);
  CGpRenderX* renderer = new CGpRenderX();
  renderer->AddRef();
  renderer->SetTarget(graphics_);
  HRESULT hr = content->Render(renderer, &area);
  renderer->Release();
  DllExports::GdipFlush(graphics_, FlushIntentionSync);
  return hr;
}

HRESULT RenderToPixels(CPanelX* content, int width, int height, std::vector<uint32_t>* argb) {
  if (!content || width <= 0 || height <= 0 || width > 16384 || height > 16384) return E_INVALIDARG;
  if (!EnsureGdiplus()) return E_FAIL;
  argb->assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
  GpBitmap* bitmap = nullptr;
  if (DllExports::GdipCreateBitmapFromScan0(width, height, width * 4, PixelFormat32bppARGB,
                                            reinterpret_cast<BYTE*>(argb->data()), &bitmap) != Ok)
    return E_FAIL;
  GpGraphics* graphics = nullptr;
  HRESULT hr = E_FAIL;
  if (DllExports::GdipGetImageGraphicsContext(bitmap, &graphics) == Ok) {
    CGpRenderX* renderer = new CGpRenderX();
    renderer->AddRef();
    renderer->SetTarget(graphics);
    RECT clip = {0, 0, width, height};
    hr = content->Render(renderer, &clip);
    renderer->Release();
    DllExports::GdipFlush(graphics, FlushIntentionSync);
    DllExports::GdipDeleteGraphics(graphics);
  }
  DllExports::GdipDisposeImage(bitmap);
  return hr;
}

HRESULT SavePng(const std::wstring& path, const std::vector<uint32_t>& argb, int width, int height) {
  if (argb.size() != static_cast<size_t>(width) * static_cast<size_t>(height)) return E_INVALIDARG;
  if (!EnsureGdiplus()) return E_FAIL;
  std::vector<uint32_t> copy(argb);
  GpBitmap* bitmap = nullptr;
  if (DllExports::GdipCreateBitmapFromScan0(width, height, width * 4, PixelFormat32bppARGB,
                                            reinterpret_cast<BYTE*>(copy.data()), &bitmap) != Ok)
    return E_FAIL;
  const GpStatus status = DllExports::GdipSaveImageToFile(bitmap, path.c_str(), &kPngEncoder, nullptr);
  DllExports::GdipDisposeImage(bitmap);
  return status == Ok ? S_OK : E_FAIL;
}

}  // namespace varnak::ui
