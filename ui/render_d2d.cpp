// The Direct2D back end: filled and outlined rectangles through a DC render
// target. D2D1.DLL is loaded at run time, never import-linked, so the program
// starts where Direct2D is missing (XP); lines, pictures and texts answer
// E_FAIL here, which ends the render pass as the skin format specifies.
#include <d2d1.h>

#include "ui/graphic.h"
#include "ui/panel.h"
#include "ui/render.h"

namespace varnak::ui {
namespace {

using CreateFactoryFn = HRESULT(WINAPI*)(D2D1_FACTORY_TYPE, REFIID, const D2D1_FACTORY_OPTIONS*, void**);

// {06152247-6f50-465a-9245-118bfd3b6007}
const IID kIID_ID2D1Factory = {0x06152247, 0x6f50, 0x465a, {0x92, 0x45, 0x11, 0x8b, 0xfd, 0x3b, 0x60, 0x07}};

D2D1_COLOR_F ColorOf(uint32_t argb) {
  return D2D1_COLOR_F{static_cast<float>((argb >> 16) & 0xFF) / 255.0f, static_cast<float>((argb >> 8) & 0xFF) / 255.0f,
                      static_cast<float>(argb & 0xFF) / 255.0f, static_cast<float>(argb >> 24) / 255.0f};
}

class CDxRenderX : public IRenderX {
 public:
  explicit CDxRenderX(ID2D1RenderTarget* target) : target_(target) { target_->AddRef(); }
  ~CDxRenderX() override { target_->Release(); }
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
    // pops the clip it pushed last, then pushes the new one
    PopClips();
    if (!rect) return S_OK;
    clip_ = *rect;
    target_->PushAxisAlignedClip(D2D1_RECT_F{static_cast<float>(rect->left), static_cast<float>(rect->top),
                                             static_cast<float>(rect->right), static_cast<float>(rect->bottom)},
                                 D2D1_ANTIALIAS_MODE_ALIASED);
    ++depth_;
    return S_OK;
  }
  HRESULT GetClip(RECT* rect) override {
    *rect = clip_;
    return S_OK;
  }
  bool HasTarget() override { return true; }
  HRESULT FillRect(const RECT& rect, IGraphicX* brush, int stroke, float width) override {
    ISolidBrushX* solid = nullptr;
    if (!brush || FAILED(brush->QueryInterface(IID_ISolidBrushX, reinterpret_cast<void**>(&solid)))) return S_FALSE;
    const uint32_t color = solid->GetColor();
    solid->Release();
    ID2D1SolidColorBrush* native = nullptr;
    const D2D1_COLOR_F c = ColorOf(color);
    HRESULT hr = target_->CreateSolidColorBrush(&c, nullptr, &native);
    if (FAILED(hr)) return hr;
    const D2D1_RECT_F r{static_cast<float>(rect.left), static_cast<float>(rect.top), static_cast<float>(rect.right),
                        static_cast<float>(rect.bottom)};
    if (stroke == 0) target_->FillRectangle(&r, native);
    else target_->DrawRectangle(&r, native, width, nullptr);
    native->Release();
    return S_OK;
  }
  HRESULT DrawImage(CImageX*, const RECT&) override { return E_FAIL; }
  HRESULT DrawText(CTextX*, const RECT&) override { return E_FAIL; }
  HRESULT DrawLine(POINT, POINT, IGraphicX*, float) override { return E_FAIL; }
  HRESULT MeasureText(SIZE*, CTextX*) override { return E_FAIL; }
  void PopClips() {
    for (; depth_ > 0; --depth_) target_->PopAxisAlignedClip();
  }

 private:
  volatile LONG ref_ = 0;
  ID2D1RenderTarget* target_;
  int depth_ = 0;
  RECT clip_{};
};

ID2D1Factory* Direct2DFactory() {
  static ID2D1Factory* volatile factory = nullptr;
  static volatile LONG tried = 0;
  if (InterlockedCompareExchange(&tried, 1, 0) == 0) {
    HMODULE d2d = LoadLibraryW(L"d2d1.dll");
    auto create = d2d ? reinterpret_cast<CreateFactoryFn>(
                            reinterpret_cast<void*>(GetProcAddress(d2d, "D2D1CreateFactory")))
                      : nullptr;
    void* made = nullptr;
    if (create && SUCCEEDED(create(D2D1_FACTORY_TYPE_SINGLE_THREADED, kIID_ID2D1Factory, nullptr, &made)))
      factory = static_cast<ID2D1Factory*>(made);
  }
  return factory;
}

}  // namespace

bool Direct2DAvailable() { return Direct2DFactory() != nullptr; }

HRESULT RenderToPixelsDirect2D(CPanelX* content, int width, int height, std::vector<uint32_t>* argb,
                               const RECT* dirty) {
  if (!content || width <= 0 || height <= 0 || width > 16384 || height > 16384) return E_INVALIDARG;
  ID2D1Factory* factory = Direct2DFactory();
  if (!factory) return E_NOTIMPL;
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
    return E_OUTOFMEMORY;
  }
  HGDIOBJ old = SelectObject(dc, dib);
  D2D1_RENDER_TARGET_PROPERTIES props = {};
  props.type = D2D1_RENDER_TARGET_TYPE_DEFAULT;
  props.pixelFormat.format = DXGI_FORMAT_B8G8R8A8_UNORM;
  props.pixelFormat.alphaMode = D2D1_ALPHA_MODE_PREMULTIPLIED;
  ID2D1DCRenderTarget* target = nullptr;
  HRESULT hr = factory->CreateDCRenderTarget(&props, &target);
  if (SUCCEEDED(hr)) {
    RECT bounds = {0, 0, width, height};
    hr = target->BindDC(dc, &bounds);
  }
  if (SUCCEEDED(hr)) {
    target->BeginDraw();
    const D2D1_COLOR_F clear = {0, 0, 0, 0};
    target->Clear(&clear);
    CDxRenderX* renderer = new CDxRenderX(target);
    renderer->AddRef();
    RECT clip = {0, 0, width, height};
    if (dirty && !IntersectRect(&clip, &clip, dirty)) SetRectEmpty(&clip);
    hr = IsRectEmpty(&clip) ? S_FALSE : content->Render(renderer, &clip);
    renderer->PopClips();
    renderer->Release();
    HRESULT end = target->EndDraw(nullptr, nullptr);
    if (SUCCEEDED(hr)) hr = end;
  }
  if (target) target->Release();
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
