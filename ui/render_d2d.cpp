// The Direct2D back end: filled and outlined rectangles with solid and
// linear gradient brushes, through a DC render target (or a window render
// target). D2D1.DLL is loaded at run time by CGlobalsX, never import-linked,
// so the program starts where Direct2D is missing (XP); lines, pictures and
// texts answer E_FAIL here, which ends the render pass as the skin format
// specifies (skins with them set ForceGdiplus).
#include <d2d1.h>

#include <algorithm>

#include "ui/globals.h"
#include "ui/graphic.h"
#include "ui/panel.h"
#include "ui/render.h"

namespace varnak::ui {
namespace {

D2D1_COLOR_F ColorOf(uint32_t argb) {
  return D2D1_COLOR_F{static_cast<float>((argb >> 16) & 0xFF) / 255.0f, static_cast<float>((argb >> 8) & 0xFF) / 255.0f,
                      static_cast<float>(argb & 0xFF) / 255.0f, static_cast<float>(argb >> 24) / 255.0f};
}

D2D1_RECT_F RectOf(const RECT& r) {
  return D2D1_RECT_F{static_cast<float>(r.left), static_cast<float>(r.top), static_cast<float>(r.right),
                     static_cast<float>(r.bottom)};
}

ID2D1Factory* Factory() { return static_cast<ID2D1Factory*>(CGlobalsX::Get().Direct2DFactory()); }

D2D1_RENDER_TARGET_PROPERTIES TargetProperties() {
  D2D1_RENDER_TARGET_PROPERTIES props = {};
  props.type = D2D1_RENDER_TARGET_TYPE_DEFAULT;
  props.pixelFormat.format = DXGI_FORMAT_B8G8R8A8_UNORM;
  props.pixelFormat.alphaMode = D2D1_ALPHA_MODE_PREMULTIPLIED;
  return props;  // default DPI
}

class CDxRenderX : public IRenderX {
 public:
  ~CDxRenderX() override {
    SafeRelease(&solid_);
    SafeRelease(&target_);
    SafeRelease(&dc_target_);
  }
  STDMETHODIMP QueryInterface(REFIID riid, void** object) override {
    if (!object) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IRenderX) || IsEqualIID(riid, IID_IDxRenderX)) {
      *object = static_cast<IRenderX*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&ref_)); }
  STDMETHODIMP_(ULONG) Release() override {
    const LONG n = InterlockedDecrement(&ref_);
    if (n == 0) delete this;
    return static_cast<ULONG>(n);
  }
  int IsDirect2D() override { return 1; }

  HRESULT SetClip(const RECT* rect) override {
    if (!target_) return E_FAIL;
    // pops the clip it pushed last, then pushes the new one
    PopClips();
    if (!rect) {
      has_clip_ = false;
      return S_OK;
    }
    clip_ = *rect;
    has_clip_ = true;
    D2D1_RECT_F r = RectOf(*rect);
    if (r.right <= r.left || r.bottom <= r.top) r.right = r.left, r.bottom = r.top;  // inverted: nothing through
    target_->PushAxisAlignedClip(&r, D2D1_ANTIALIAS_MODE_ALIASED);
    ++depth_;
    return S_OK;
  }
  HRESULT GetClip(RECT* rect) override {
    if (!target_) return E_FAIL;
    if (has_clip_) {
      *rect = clip_;
    } else {  // no clip: the whole target
      const D2D1_SIZE_F size = target_->GetSize();
      *rect = RECT{bounds_.left, bounds_.top, bounds_.left + static_cast<LONG>(size.width),
                   bounds_.top + static_cast<LONG>(size.height)};
    }
    return S_OK;
  }
  bool HasTarget() override { return target_ != nullptr; }

  HRESULT FillRect(const RECT& rect, IGraphicX* brush, int stroke, float width) override {
    if (!target_) return E_FAIL;
    if (!brush) return E_INVALIDARG;
    ID2D1Brush* native = nullptr;
    HRESULT hr = MakeBrush(rect, brush, &native);
    if (hr != S_OK) return hr;
    D2D1_RECT_F r = RectOf(rect);
    if (stroke == 0) {
      target_->FillRectangle(&r, native);
    } else {
      // GDI+ centres a pen on the middle of the pixels at integer
      // coordinates, Direct2D on their edges: move outlines half a pixel so
      // that both back ends draw the same border
      r.left += 0.5f;
      r.top += 0.5f;
      r.right += 0.5f;
      r.bottom += 0.5f;
      target_->DrawRectangle(&r, native, width, nullptr);
    }
    native->Release();
    return S_OK;
  }
  HRESULT DrawImage(CImageX*, const RECT&) override { return E_FAIL; }
  HRESULT DrawText(CTextX*, const RECT&) override { return E_FAIL; }
  HRESULT DrawLine(POINT, POINT, IGraphicX*, float) override { return E_FAIL; }
  HRESULT MeasureText(SIZE*, CTextX*) override { return E_FAIL; }
  HRESULT MeasureString(SIZE*, const std::wstring&, const std::wstring&, float, int32_t, int32_t) override {
    return E_FAIL;
  }

  HRESULT CreateTargetFromDc(HDC dc, const RECT& bounds) override {
    ID2D1Factory* factory = Factory();
    if (!factory) return E_NOTIMPL;
    if (!dc_target_) {
      const D2D1_RENDER_TARGET_PROPERTIES props = TargetProperties();
      HRESULT hr = factory->CreateDCRenderTarget(&props, &dc_target_);
      if (FAILED(hr)) return hr;
    }
    if (!dc) return S_OK;  // made, to be bound later
    if (bounds.right <= bounds.left || bounds.bottom <= bounds.top) return E_INVALIDARG;
    HRESULT hr = dc_target_->BindDC(dc, &bounds);
    if (FAILED(hr)) return hr;
    Attach(dc_target_);
    // the target's origin is the corner of bounds: shift drawing so that
    // callers keep the device context's coordinates
    bounds_ = bounds;
    D2D1_MATRIX_3X2_F shift = {};
    shift._11 = shift._22 = 1;
    shift._31 = static_cast<float>(-bounds.left);
    shift._32 = static_cast<float>(-bounds.top);
    target_->SetTransform(&shift);
    return S_OK;
  }

  HRESULT CreateTargetFromWindow(HWND window, SIZE size) override {
    ID2D1Factory* factory = Factory();
    if (!factory) return E_NOTIMPL;
    if (!window || size.cx <= 0 || size.cy <= 0) return E_INVALIDARG;
    const D2D1_RENDER_TARGET_PROPERTIES props = TargetProperties();
    D2D1_HWND_RENDER_TARGET_PROPERTIES hwnd_props = {};
    hwnd_props.hwnd = window;
    hwnd_props.pixelSize.width = static_cast<UINT32>(size.cx);
    hwnd_props.pixelSize.height = static_cast<UINT32>(size.cy);
    hwnd_props.presentOptions = D2D1_PRESENT_OPTIONS_NONE;
    ID2D1HwndRenderTarget* made = nullptr;
    HRESULT hr = factory->CreateHwndRenderTarget(&props, &hwnd_props, &made);
    if (FAILED(hr)) return hr;
    Attach(made);
    made->Release();
    bounds_ = RECT{0, 0, size.cx, size.cy};
    return S_OK;
  }

  HRESULT SetTarget(void* target) override {
    Attach(static_cast<ID2D1RenderTarget*>(target));
    SetRectEmpty(&bounds_);
    return S_OK;
  }
  void* GetTarget() override { return target_; }

  HRESULT BeginDraw() override {
    if (!target_) return E_FAIL;
    target_->BeginDraw();
    return S_OK;
  }
  HRESULT EndDraw() override {
    if (!target_) return E_FAIL;
    PopClips();
    has_clip_ = false;
    const HRESULT hr = target_->EndDraw(nullptr, nullptr);
    if (hr == static_cast<HRESULT>(D2DERR_RECREATE_TARGET) && target_ == dc_target_) {
      // the device went away: the next paint makes a new target
      SafeRelease(&solid_);
      SafeRelease(&target_);
      SafeRelease(&dc_target_);
    }
    return hr;
  }
  HRESULT Clear(uint32_t argb) override {
    if (!target_) return E_FAIL;
    const D2D1_COLOR_F c = ColorOf(argb);
    target_->Clear(&c);
    return S_OK;
  }

 private:
  void PopClips() {
    for (; depth_ > 0; --depth_) target_->PopAxisAlignedClip();
  }
  void Attach(ID2D1RenderTarget* target) {
    if (target_ && target_ != target) PopClips();
    depth_ = 0;
    has_clip_ = false;
    if (target) target->AddRef();
    if (target != target_) SafeRelease(&solid_);  // brushes belong to the target that made them
    SafeRelease(&target_);
    target_ = target;
    // aliased edges, as GDI+ draws by default
    if (target_) target_->SetAntialiasMode(D2D1_ANTIALIAS_MODE_ALIASED);
  }
  // The native brush for a fill rectangle: S_FALSE for a brush kind this
  // back end does not draw (skipped, not fatal).
  HRESULT MakeBrush(const RECT& rect, IGraphicX* brush, ID2D1Brush** out) {
    ISolidBrushX* solid = nullptr;
    if (SUCCEEDED(brush->QueryInterface(IID_ISolidBrushX, reinterpret_cast<void**>(&solid)))) {
      const D2D1_COLOR_F c = ColorOf(solid->GetColor());
      solid->Release();
      // one solid brush per target, recoloured for each fill
      if (!solid_) {
        HRESULT hr = target_->CreateSolidColorBrush(&c, nullptr, &solid_);
        if (FAILED(hr)) return hr;
      } else {
        solid_->SetColor(&c);
      }
      solid_->AddRef();
      *out = solid_;
      return S_OK;
    }
    if (auto* gradient = dynamic_cast<CLinearGradientBrushX*>(brush)) return MakeGradient(rect, gradient, out);
    return S_FALSE;
  }
  // The stops in order, or the start colour at 0 and the end colour at 1,
  // with the brush's gamma and extend mode; the line in fractions of the
  // fill rectangle.
  HRESULT MakeGradient(const RECT& rect, CLinearGradientBrushX* gradient, ID2D1Brush** out) {
    std::vector<D2D1_GRADIENT_STOP> stops;
    for (size_t k = 0; k < gradient->StopCount(); ++k) {
      const CGradientStopX* s = gradient->Stop(k);
      stops.push_back(D2D1_GRADIENT_STOP{static_cast<float>(s->offset()), ColorOf(s->color())});
    }
    if (stops.empty()) {
      stops.push_back(D2D1_GRADIENT_STOP{0.0f, ColorOf(gradient->start_color())});
      stops.push_back(D2D1_GRADIENT_STOP{1.0f, ColorOf(gradient->end_color())});
    }
    const D2D1_GAMMA gamma = gradient->gamma() == 1 ? D2D1_GAMMA_1_0 : D2D1_GAMMA_2_2;
    const int32_t extend = gradient->extend_mode();
    const D2D1_EXTEND_MODE mode = extend == 1 ? D2D1_EXTEND_MODE_WRAP
                                  : extend == 2 ? D2D1_EXTEND_MODE_MIRROR
                                                : D2D1_EXTEND_MODE_CLAMP;
    ID2D1GradientStopCollection* collection = nullptr;
    HRESULT hr = target_->CreateGradientStopCollection(stops.data(), static_cast<UINT>(stops.size()), gamma, mode,
                                                       &collection);
    if (FAILED(hr)) return hr;
    const float w = static_cast<float>(rect.right - rect.left), h = static_cast<float>(rect.bottom - rect.top);
    float sx, sy, ex, ey;
    gradient->GetLine(&sx, &sy, &ex, &ey);
    D2D1_LINEAR_GRADIENT_BRUSH_PROPERTIES line = {};
    line.startPoint = D2D1_POINT_2F{static_cast<float>(rect.left) + sx * w, static_cast<float>(rect.top) + sy * h};
    line.endPoint = D2D1_POINT_2F{static_cast<float>(rect.left) + ex * w, static_cast<float>(rect.top) + ey * h};
    ID2D1LinearGradientBrush* made = nullptr;
    hr = target_->CreateLinearGradientBrush(&line, nullptr, collection, &made);
    collection->Release();
    *out = made;
    return FAILED(hr) ? hr : S_OK;
  }

  volatile LONG ref_ = 0;
  ID2D1RenderTarget* target_ = nullptr;
  ID2D1DCRenderTarget* dc_target_ = nullptr;  // kept and bound again per paint
  ID2D1SolidColorBrush* solid_ = nullptr;     // of target_
  RECT bounds_{};
  int depth_ = 0;
  bool has_clip_ = false;
  RECT clip_{};
};

}  // namespace

bool Direct2DAvailable() { return Factory() != nullptr; }

HRESULT CreateDirect2DRenderer(IRenderX** renderer) {
  *renderer = nullptr;
  if (!Factory()) return E_NOTIMPL;
  IRenderX* made = new (std::nothrow) CDxRenderX();
  if (!made) return E_OUTOFMEMORY;
  made->AddRef();
  *renderer = made;
  return S_OK;
}

IRenderX* ChooseRenderer(bool force_gdiplus) {
  IRenderX* renderer = nullptr;
  if (!force_gdiplus && SUCCEEDED(CreateDirect2DRenderer(&renderer))) {
    // the DC render target is tried now; a failure falls back to GDI+
    RECT none = {};
    if (SUCCEEDED(renderer->CreateTargetFromDc(nullptr, none))) return renderer;
    SafeRelease(&renderer);
  }
  return SUCCEEDED(CreateGdiplusRenderer(&renderer)) ? renderer : nullptr;
}

HRESULT RenderToPixelsDirect2D(CPanelX* content, int width, int height, std::vector<uint32_t>* argb,
                               const RECT* dirty) {
  if (!content || width <= 0 || height <= 0 || width > 16384 || height > 16384) return E_INVALIDARG;
  IRenderX* renderer = nullptr;
  HRESULT hr = CreateDirect2DRenderer(&renderer);
  if (FAILED(hr)) return hr;
  BITMAPINFO bi = {};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = width;
  bi.bmiHeader.biHeight = -height;  // top-down
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP dib = dc ? CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0) : nullptr;
  if (!dib) {
    if (dc) DeleteDC(dc);
    renderer->Release();
    return E_OUTOFMEMORY;
  }
  HGDIOBJ old = SelectObject(dc, dib);
  RECT bounds = {0, 0, width, height};
  hr = renderer->CreateTargetFromDc(dc, bounds);
  if (SUCCEEDED(hr)) hr = renderer->BeginDraw();
  if (SUCCEEDED(hr)) {
    renderer->Clear(0);
    RECT clip = bounds;
    if (dirty && !IntersectRect(&clip, &clip, dirty)) SetRectEmpty(&clip);
    hr = IsRectEmpty(&clip) ? S_FALSE : content->Render(renderer, &clip);
    const HRESULT end = renderer->EndDraw();
    if (SUCCEEDED(hr) && FAILED(end)) hr = end;
  }
  renderer->Release();
  if (SUCCEEDED(hr)) {
    const uint32_t* p = static_cast<const uint32_t*>(bits);
    argb->assign(p, p + static_cast<size_t>(width) * static_cast<size_t>(height));
  }
  SelectObject(dc, old);
  DeleteObject(dib);
  DeleteDC(dc);
  return hr;
}

}  // namespace varnak::ui
