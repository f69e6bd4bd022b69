// The GDI+ renderer and off-screen rendering (see render.h).
#include "ui/render.h"

#include <gdiplus.h>

#include <algorithm>
#include <cmath>

#include "ui/graphic.h"
#include "ui/panel.h"
#include "ui/resource_manager.h"
#include "ui/globals.h"
#include "ui/core/rich_text.h"
#include "ui/window.h"

namespace varnak::ui {
namespace {

using namespace Gdiplus;

// The PNG encoder of GDI+: {557CF406-1A04-11D3-9A73-0000F81EF32E}
const CLSID kPngEncoder = {0x557CF406, 0x1A04, 0x11D3, {0x9A, 0x73, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};

}  // namespace

bool EnsureGdiplus() { return CGlobalsX::Get().StartGdiplus(); }

HRESULT CreateGdiplusRenderer(IRenderX** renderer) {
  *renderer = nullptr;
  if (!EnsureGdiplus()) return E_FAIL;
  IRenderX* made = new (std::nothrow) CGpRenderX();
  if (!made) return E_OUTOFMEMORY;
  made->AddRef();
  *renderer = made;
  return S_OK;
}

CGpRenderX::~CGpRenderX() { DropOwnTarget(); }

void CGpRenderX::DropOwnTarget() {
  if (own_) DllExports::GdipDeleteGraphics(own_);
  if (graphics_ == own_) graphics_ = nullptr;
  own_ = nullptr;
}

HRESULT CGpRenderX::SetTarget(void* target) {
  DropOwnTarget();
  bounded_ = false;
  graphics_ = static_cast<GpGraphics*>(target);
  return S_OK;
}

HRESULT CGpRenderX::CreateTargetFromDc(HDC dc, const RECT& bounds) {
  if (!dc) return E_INVALIDARG;
  if (bounds.right <= bounds.left || bounds.bottom <= bounds.top) return E_INVALIDARG;
  if (!EnsureGdiplus()) return E_FAIL;
  GpGraphics* made = nullptr;
  if (DllExports::GdipCreateFromHDC(dc, &made) != Ok) return E_FAIL;
  DllExports::GdipSetClipRectI(made, bounds.left, bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top,
                               CombineModeReplace);
  DropOwnTarget();
  graphics_ = own_ = made;
  bounds_ = bounds;
  bounded_ = true;
  return S_OK;
}

HRESULT CGpRenderX::CreateTargetFromWindow(HWND window, SIZE size) {
  if (!window || size.cx <= 0 || size.cy <= 0) return E_INVALIDARG;
  if (!EnsureGdiplus()) return E_FAIL;
  GpGraphics* made = nullptr;
  if (DllExports::GdipCreateFromHWND(window, &made) != Ok) return E_FAIL;
  DropOwnTarget();
  graphics_ = own_ = made;
  bounded_ = false;
  return S_OK;
}

HRESULT CGpRenderX::EndDraw() {
  if (!graphics_) return E_FAIL;
  DllExports::GdipFlush(graphics_, FlushIntentionSync);
  return S_OK;
}

HRESULT CGpRenderX::Clear(uint32_t argb) {
  if (!graphics_) return E_FAIL;
  return DllExports::GdipGraphicsClear(graphics_, argb) == Ok ? S_OK : E_FAIL;
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
  // a target made over part of a device context never draws outside it
  if (!rect && !bounded_) return DllExports::GdipResetClip(graphics_) == Ok ? S_OK : E_FAIL;
  RECT r = rect ? *rect : bounds_;
  // an inverted rectangle (a child outside its parent) lets nothing through;
  // GDI+ builds differ in whether they would normalise it instead
  if (r.right <= r.left || r.bottom <= r.top || (bounded_ && !IntersectRect(&r, &r, &bounds_)))
    r.right = r.left, r.bottom = r.top;
  return DllExports::GdipSetClipRectI(graphics_, r.left, r.top, r.right - r.left, r.bottom - r.top,
                                      CombineModeReplace) == Ok
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

// The texture of an image brush for a fill rectangle: the inner image drawn
// into a tile with its own options, wrapped, its origin at the rectangle.
static HRESULT MakeTexture(CImageBrushX* brush, const RECT& rect, GpTexture** texture) {
  CImageX* image = brush->image();
  int64_t tw = image->GetImageWidth(), th = image->GetImageHeight();
  if (brush->size_mode() == 1) {
    tw = rect.right - rect.left;
    th = rect.bottom - rect.top;
  } else if (brush->size_mode() == 2) {
    tw = brush->user_size().Int(0);
    th = brush->user_size().Int(1);
  }
  if (!image->native() || tw <= 0 || th <= 0 || tw > 16384 || th > 16384) return S_FALSE;
  GpBitmap* tile = nullptr;
  if (DllExports::GdipCreateBitmapFromScan0(static_cast<INT>(tw), static_cast<INT>(th), 0, PixelFormat32bppARGB,
                                            nullptr, &tile) != Ok)
    return E_FAIL;
  GpGraphics* graphics = nullptr;
  HRESULT hr = E_FAIL;
  if (DllExports::GdipGetImageGraphicsContext(tile, &graphics) == Ok) {
    CGpRenderX* inner = new CGpRenderX();
    inner->AddRef();
    inner->SetTarget(graphics);
    RECT whole = {0, 0, static_cast<LONG>(tw), static_cast<LONG>(th)};
    hr = inner->DrawImage(image, whole);
    inner->Release();
    DllExports::GdipDeleteGraphics(graphics);
  }
  if (SUCCEEDED(hr)) {
    const int32_t mode = brush->wrap_mode();
    const WrapMode wrap = mode >= 0 && mode <= 4 ? static_cast<WrapMode>(mode) : WrapModeTile;
    hr = DllExports::GdipCreateTexture(tile, wrap, texture) == Ok ? S_OK : E_FAIL;
    if (hr == S_OK)
      DllExports::GdipTranslateTextureTransform(*texture, static_cast<REAL>(rect.left), static_cast<REAL>(rect.top),
                                                MatrixOrderAppend);
  }
  DllExports::GdipDisposeImage(tile);
  return hr;
}

HRESULT CGpRenderX::FillRect(const RECT& rect, IGraphicX* brush, int stroke, float width) {
  if (!graphics_) return E_FAIL;
  if (!brush) return E_INVALIDARG;
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
  } else if (CImageBrushX* tiled = dynamic_cast<CImageBrushX*>(static_cast<IGraphicX*>(brush))) {
    GpTexture* texture = nullptr;
    HRESULT made = MakeTexture(tiled, rect, &texture);
    if (made != S_OK) return made;
    fill = texture;
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

// The drawing rule of a picture: drawn size by stretch, position by
// alignment, opacity through a colour matrix, the clip as source, and with
// stretch fill a nine-grid split.
HRESULT CGpRenderX::DrawImage(CImageX* image, const RECT& r) {
  if (!graphics_ || !image || !image->native()) return S_FALSE;
  GpBitmap* bitmap = static_cast<GpBitmap*>(image->native());
  const int64_t iw = image->GetImageWidth(), ih = image->GetImageHeight();
  if (iw <= 0 || ih <= 0) return S_FALSE;
  const int64_t rw = r.right - r.left, rh = r.bottom - r.top;
  int64_t dw = rw, dh = rh;
  switch (image->stretch()) {
    case 1:
      dw = iw;
      dh = ih;
      break;
    case 2:
    case 3: {
      const bool taller = static_cast<double>(iw) / ih <= static_cast<double>(rw) / std::max<int64_t>(rh, 1);
      const bool by_height = image->stretch() == 2 ? taller : !taller;
      if (by_height) {
        dh = rh;
        dw = static_cast<int64_t>(static_cast<double>(iw) * rh / ih);
      } else {
        dw = rw;
        dh = static_cast<int64_t>(static_cast<double>(ih) * rw / iw);
      }
      break;
    }
    default:
      break;
  }
  int64_t x = r.left, y = r.top;
  if (image->alignment_x() == 0) x += static_cast<int64_t>((rw - dw) * 0.5);
  else if (image->alignment_x() == 3) x = r.right - dw;
  if (image->alignment_y() == 0) y += static_cast<int64_t>((rh - dh) * 0.5);
  else if (image->alignment_y() == 4) y = r.bottom - dh;

  // source rectangle: the picture, or the clip cut at the picture's edges
  int64_t sx = 0, sy = 0, sw = iw, sh = ih;
  if (image->clip().set) {
    const Numbers& c = image->clip();
    sx = std::clamp<int64_t>(c.Int(0), 0, iw);
    sy = std::clamp<int64_t>(c.Int(1), 0, ih);
    const int64_t right = c.Int(2) == 0 ? iw : std::clamp<int64_t>(c.Int(2), sx, iw);
    const int64_t bottom = c.Int(3) == 0 ? ih : std::clamp<int64_t>(c.Int(3), sy, ih);
    sw = right - sx;
    sh = bottom - sy;
  }
  if (sw <= 0 || sh <= 0 || dw <= 0 || dh <= 0) return S_FALSE;

  GpImageAttributes* attributes = nullptr;
  if (image->opacity() > 0 && image->opacity() < 1 && DllExports::GdipCreateImageAttributes(&attributes) == Ok) {
    ColorMatrix m = {};
    for (int k = 0; k < 5; ++k) m.m[k][k] = 1;
    m.m[3][3] = image->opacity();
    DllExports::GdipSetImageAttributesColorMatrix(attributes, ColorAdjustTypeDefault, TRUE, &m, nullptr,
                                                  ColorMatrixFlagsDefault);
  }
  SmoothingMode previous = SmoothingModeDefault;
  DllExports::GdipGetSmoothingMode(graphics_, &previous);
  DllExports::GdipSetSmoothingMode(graphics_, static_cast<SmoothingMode>(image->quality()));
  auto draw = [&](int64_t dx0, int64_t dy0, int64_t dw0, int64_t dh0, int64_t sx0, int64_t sy0, int64_t sw0,
                  int64_t sh0) {
    if (dw0 <= 0 || dh0 <= 0 || sw0 <= 0 || sh0 <= 0) return Ok;
    return DllExports::GdipDrawImageRectRectI(graphics_, bitmap, static_cast<INT>(dx0), static_cast<INT>(dy0),
                                              static_cast<INT>(dw0), static_cast<INT>(dh0), static_cast<INT>(sx0),
                                              static_cast<INT>(sy0), static_cast<INT>(sw0), static_cast<INT>(sh0),
                                              UnitPixel, attributes, nullptr, nullptr);
  };
  GpStatus status = Ok;
  const Numbers& split = image->split();
  const bool nine = image->stretch() == 0 && split.set &&
                    (split.Int(0) || split.Int(1) || split.Int(2) || split.Int(3));
  if (nine) {
    const int64_t l = split.Int(0), t = split.Int(1), rr = split.Int(2), b = split.Int(3);
    const int64_t scol[3] = {sx, sx + l, sx + sw - rr}, swid[3] = {l, sw - l - rr, rr};
    const int64_t srow[3] = {sy, sy + t, sy + sh - b}, shei[3] = {t, sh - t - b, b};
    const int64_t dcol[3] = {x, x + l, x + dw - rr}, dwid[3] = {l, dw - l - rr, rr};
    const int64_t drow[3] = {y, y + t, y + dh - b}, dhei[3] = {t, dh - t - b, b};
    for (int i = 0; i < 3 && status == Ok; ++i)
      for (int j = 0; j < 3 && status == Ok; ++j)
        status = draw(dcol[j], drow[i], dwid[j], dhei[i], scol[j], srow[i], swid[j], shei[i]);
  } else {
    status = draw(x, y, dw, dh, sx, sy, sw, sh);
  }
  DllExports::GdipSetSmoothingMode(graphics_, previous);
  if (attributes) DllExports::GdipDisposeImageAttributes(attributes);
  return status == Ok ? S_OK : E_FAIL;
}

// --- CImageX --------------------------------------------------------------------

CImageX::~CImageX() { ClearImage(); }

STDMETHODIMP CImageX::QueryInterface(REFIID riid, void** object) {
  if (object && IsEqualIID(riid, IID_IImageX)) {
    *object = static_cast<IImageX*>(this);
    AddRef();
    return S_OK;
  }
  return CGraphicX::QueryInterface(riid, object);
}

void CImageX::ClearImage() {
  if (bitmap_) DllExports::GdipDisposeImage(static_cast<GpBitmap*>(bitmap_));
  bitmap_ = nullptr;
  if (stream_) stream_->Release();
  stream_ = nullptr;
}

bool CImageX::LoadFromStream(IStream* stream) {
  ClearImage();
  if (!stream || !EnsureGdiplus()) return false;
  LARGE_INTEGER zero = {};
  stream->Seek(zero, STREAM_SEEK_SET, nullptr);
  GpBitmap* decoded = nullptr;
  if (DllExports::GdipCreateBitmapFromStream(stream, &decoded) != Ok) return false;
  // Streams of one resource are shared by every image loaded from it, and a
  // decoder may read its stream again later: the picture is copied into a
  // bitmap of its own at once, so no later seek of another image can move
  // under it.
  UINT w = 0, h = 0;
  GpBitmap* bitmap = nullptr;
  DllExports::GdipGetImageWidth(decoded, &w);
  DllExports::GdipGetImageHeight(decoded, &h);
  const GpStatus copied = DllExports::GdipCloneBitmapAreaI(0, 0, static_cast<INT>(w), static_cast<INT>(h),
                                                           PixelFormat32bppARGB, decoded, &bitmap);
  DllExports::GdipDisposeImage(decoded);
  if (copied != Ok || !bitmap) return false;
  stream->AddRef();
  stream_ = stream;
  bitmap_ = bitmap;
  return true;
}

bool CImageX::LoadFromPath(const std::wstring& path) {
  if (path.size() >= 4 && EqualsNoCase(path.substr(path.size() - 4), L".exe")) return LoadFromProgram(path);
  CStream stream;
  if (FAILED(GetResourceManager().OpenStream(path, stream))) {
    ClearImage();
    return false;
  }
  return LoadFromStream(stream.stream());
}

int CImageX::GetImageWidth() const {
  UINT w = 0;
  if (bitmap_) DllExports::GdipGetImageWidth(static_cast<GpBitmap*>(bitmap_), &w);
  return static_cast<int>(w);
}

int CImageX::GetImageHeight() const {
  UINT h = 0;
  if (bitmap_) DllExports::GdipGetImageHeight(static_cast<GpBitmap*>(bitmap_), &h);
  return static_cast<int>(h);
}

HRESULT CImageX::LoadAttributes(const CXmlAttributesX& a) {
  static const EnumWord kStretch[] = {{L"Fill", 0}, {L"None", 1}, {L"Uniform", 2}, {L"UniformToFill", 3}};
  static const EnumWord kQuality[] = {{L"Default", 0}, {L"0", 0}, {L"Low", 1}, {L"1", 1}, {L"High", 2},
                                      {L"2", 2}, {L"AntiAlias8x4", 4}, {L"3", 4}, {L"AntiAlias8x8", 5}, {L"4", 5}};
  static const EnumWord kAlignX[] = {{L"Left", 1}, {L"Right", 3}, {L"Center", 0}, {L"Fill", 5}};
  static const EnumWord kAlignY[] = {{L"Top", 2}, {L"Bottom", 4}, {L"Center", 0}, {L"Fill", 5}};
  std::wstring text;
  // these give 0 for any other word
  if (a.GetText(L"ImageStretch", &text) && !ParseEnum(text, kStretch, std::size(kStretch), &stretch_)) stretch_ = 0;
  if (a.GetText(L"ImageQuality", &text) && !ParseEnum(text, kQuality, std::size(kQuality), &quality_)) quality_ = 0;
  double opacity = 0;
  if (a.GetReal(L"ImageOpacity", &opacity)) opacity_ = std::clamp(SaturateToFloat(opacity), 0.0f, 1.0f);
  a.GetFourNumbers(L"ImageClip", &clip_);
  a.GetFourNumbers(L"ImageSplit", &split_);
  a.GetEnum(L"AlignmentX", kAlignX, std::size(kAlignX), &alignment_x_);
  a.GetEnum(L"AlignmentY", kAlignY, std::size(kAlignY), &alignment_y_);
  if (a.GetText(L"ImageSource", &text)) LoadFromPath(text);
  return CGraphicX::LoadAttributes(a);
}

HRESULT CImageX::Draw(IRenderX* renderer, const RECT& rect, UINT) {
  RECT r;
  if (!renderer || !DrawingRect(rect, &r)) return S_FALSE;
  return renderer->DrawImage(this, r);
}

// --- CImageBrushX ----------------------------------------------------------------

CImageBrushX::CImageBrushX() : image_(new CImageX()) { image_->AddRef(); }

CImageBrushX::~CImageBrushX() { image_->Release(); }

STDMETHODIMP CImageBrushX::QueryInterface(REFIID riid, void** object) {
  if (object && IsEqualIID(riid, IID_IImageBrushX)) {
    *object = static_cast<IImageBrushX*>(this);
    AddRef();
    return S_OK;
  }
  return CBrushX::QueryInterface(riid, object);
}

HRESULT CImageBrushX::LoadAttributes(const CXmlAttributesX& a) {
  static const EnumWord kSize[] = {{L"FromImage", 0}, {L"Image", 0}, {L"0", 0}, {L"FromParam", 1}, {L"Param", 1},
                                   {L"1", 1},         {L"FromUser", 2}, {L"User", 2}, {L"2", 2}};
  static const EnumWord kWrap[] = {{L"Tile", 0},       {L"0", 0}, {L"TileFlipX", 1}, {L"X", 1}, {L"1", 1},
                                   {L"TileFlipY", 2},  {L"Y", 2}, {L"2", 2},         {L"TileFlipXY", 3},
                                   {L"XY", 3},         {L"3", 3}, {L"Clamp", 4},     {L"4", 4}};
  std::wstring word;
  // these give 0 for any other word
  if (a.GetText(L"DestSizeType", &word) && !ParseEnum(word, kSize, std::size(kSize), &size_mode_)) size_mode_ = 0;
  if (a.GetSize(L"DestSize", &user_size_)) size_mode_ = 2;
  if (a.GetText(L"WrapMode", &word) && !ParseEnum(word, kWrap, std::size(kWrap), &wrap_mode_)) wrap_mode_ = 0;
  HRESULT hr = image_->LoadAttributes(a);
  if (FAILED(hr)) return hr;
  return CBrushX::LoadAttributes(a);
}

// --- text -----------------------------------------------------------------------

FontSpec FontSpec::SystemDefault() {
  FontSpec f;
  LOGFONTW lf = {};
  if (GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof lf, &lf)) {
    f.family = lf.lfFaceName;
    f.size = static_cast<float>(lf.lfHeight < 0 ? -lf.lfHeight : lf.lfHeight);
    f.weight = lf.lfWeight ? static_cast<int32_t>(lf.lfWeight) : 400;
    f.style = lf.lfItalic ? 2 : 0;
    f.underline = lf.lfUnderline != 0;
    f.strikeout = lf.lfStrikeOut != 0;
  }
  if (f.size <= 0) f.size = 11;
  return f;
}

// The native font: the family by name, and where GDI+ does not know the
// family (as under Wine for most names), GDI font mapping through a LOGFONT,
// so a missing font never ends the render pass.
static GpFont* CreateGpFont(const FontSpec& spec) {
  if (spec.family.empty() || !(spec.size > 0)) return nullptr;
  INT style = (spec.weight >= 700 ? FontStyleBold : 0) | (spec.style == 2 ? FontStyleItalic : 0) |
              (spec.underline ? FontStyleUnderline : 0) | (spec.strikeout ? FontStyleStrikeout : 0);
  GpFontFamily* family = nullptr;
  GpFont* font = nullptr;
  if (DllExports::GdipCreateFontFamilyFromName(spec.family.c_str(), nullptr, &family) == Ok) {
    DllExports::GdipCreateFont(family, spec.size, style, UnitWorld, &font);
    DllExports::GdipDeleteFontFamily(family);
    if (font) return font;
  }
  LOGFONTW lf = {};
  lf.lfHeight = -SaturateToInt(spec.size);
  lf.lfWeight = spec.weight;
  lf.lfItalic = spec.style == 2;
  lf.lfUnderline = spec.underline;
  lf.lfStrikeOut = spec.strikeout;
  lf.lfCharSet = DEFAULT_CHARSET;
  lstrcpynW(lf.lfFaceName, spec.family.c_str(), LF_FACESIZE);
  HDC dc = GetDC(nullptr);
  DllExports::GdipCreateFontFromLogfontW(dc, &lf, &font);
  ReleaseDC(nullptr, dc);
  if (!font && DllExports::GdipGetGenericFontFamilySansSerif(&family) == Ok) {  // the last resort
    DllExports::GdipCreateFont(family, spec.size, style, UnitWorld, &font);
    DllExports::GdipDeleteFontFamily(family);
  }
  return font;
}

// Rich text with two runs or more: each run measured with its own font and
// drawn at a pen that moves right by the run's width; a run holding a line
// feed moves the pen down by the tallest run of the line.
static HRESULT DrawRuns(GpGraphics* graphics, CTextX* text, const std::vector<RichRun>& runs, const RECT& r,
                        uint32_t base_color) {
  REAL x = static_cast<REAL>(r.left), y = static_cast<REAL>(r.top), line = 0;
  for (const RichRun& run : runs) {
    FontSpec spec = text->font();
    const RichStyle& s = run.style;
    if (s.has_family) spec.family = s.family;
    if (s.has_size) spec.size = s.size;
    if (s.has_weight) spec.weight = s.weight;
    if (s.has_stretch) spec.stretch = s.stretch;
    if (s.has_italic) spec.style = s.italic ? 2 : 0;
    if (s.has_underline) spec.underline = s.underline;
    if (s.has_strikeout) spec.strikeout = s.strikeout;
    GpFont* font = CreateGpFont(spec);
    if (!font) continue;
    GpSolidFill* brush = nullptr;
    DllExports::GdipCreateSolidFill(s.has_color ? s.color : base_color, &brush);
    const RectF unlimited(x, y, 65535.0f, 65535.0f);
    RectF box;
    const INT n = static_cast<INT>(run.text.size());
    if (brush && DllExports::GdipMeasureString(graphics, run.text.c_str(), n, font, &unlimited, nullptr, &box,
                                               nullptr, nullptr) == Ok) {
      DllExports::GdipDrawString(graphics, run.text.c_str(), n, font, &unlimited, nullptr, brush);
      x += box.Width;
      line = std::max(line, box.Height);
      if (run.text.find(L'\n') != std::wstring::npos) {
        y += line;
        x = static_cast<REAL>(r.left);
        line = 0;
      }
    }
    if (brush) DllExports::GdipDeleteBrush(brush);
    DllExports::GdipDeleteFont(font);
  }
  return S_OK;
}

HRESULT CGpRenderX::DrawText(CTextX* text, const RECT& r) {
  if (!graphics_ || !text) return E_FAIL;
  if (text->text().empty()) return S_FALSE;
  if (text->rich()) {
    const std::vector<RichRun> runs = ParseRichText(text->text());
    if (runs.size() >= 2) {
      uint32_t color = 0xFF000000u;
      ISolidBrushX* solid = nullptr;
      if (text->foreground() &&
          SUCCEEDED(text->foreground()->QueryInterface(IID_ISolidBrushX, reinterpret_cast<void**>(&solid)))) {
        color = solid->GetColor();
        solid->Release();
      }
      return DrawRuns(graphics_, text, runs, r, color);
    }
  }
  // an empty family or a size <= 0 is a fault of the skin: the pass ends
  // (any family that merely is not installed is mapped to one that is)
  GpFont* font = CreateGpFont(text->font());
  if (!font) return E_FAIL;
  uint32_t color = 0xFF000000u;
  ISolidBrushX* solid = nullptr;
  if (text->foreground() &&
      SUCCEEDED(text->foreground()->QueryInterface(IID_ISolidBrushX, reinterpret_cast<void**>(&solid)))) {
    color = solid->GetColor();
    solid->Release();
  }
  GpSolidFill* brush = nullptr;
  GpStringFormat* format = nullptr;
  GpStatus status = DllExports::GdipCreateSolidFill(color, &brush);
  if (status == Ok) status = DllExports::GdipCreateStringFormat(static_cast<INT>(text->format_flags()), 0, &format);
  if (status == Ok) {
    const WCHAR* s = text->text().c_str();
    const INT n = static_cast<INT>(text->text().size());
    RectF layout(static_cast<REAL>(r.left), static_cast<REAL>(r.top), static_cast<REAL>(r.right - r.left),
                 static_cast<REAL>(r.bottom - r.top));
    RectF box;
    status = DllExports::GdipMeasureString(graphics_, s, n, font, &layout, format, &box, nullptr, nullptr);
    if (status == Ok) {
      RectF at(layout.X, layout.Y, box.Width, box.Height);
      if (text->alignment_x() == 0) at.X += (layout.Width - box.Width) * 0.5f;
      else if (text->alignment_x() == 3) at.X = layout.X + layout.Width - box.Width;
      if (text->alignment_y() == 0) at.Y += (layout.Height - box.Height) * 0.5f;
      else if (text->alignment_y() == 4) at.Y = layout.Y + layout.Height - box.Height;
      TextRenderingHint previous = TextRenderingHintSystemDefault;
      DllExports::GdipGetTextRenderingHint(graphics_, &previous);
      DllExports::GdipSetTextRenderingHint(graphics_, static_cast<TextRenderingHint>(text->quality()));
      status = DllExports::GdipDrawString(graphics_, s, n, font, &at, format, brush);
      DllExports::GdipSetTextRenderingHint(graphics_, previous);
    }
  }
  if (format) DllExports::GdipDeleteStringFormat(format);
  if (brush) DllExports::GdipDeleteBrush(brush);
  DllExports::GdipDeleteFont(font);
  return status == Ok ? S_OK : E_FAIL;
}

HRESULT CGpRenderX::DrawLine(POINT from, POINT to, IGraphicX* brush, float width) {
  if (!graphics_) return E_FAIL;
  if (!brush) return E_INVALIDARG;
  ISolidBrushX* solid = nullptr;
  if (FAILED(brush->QueryInterface(IID_ISolidBrushX, reinterpret_cast<void**>(&solid)))) return S_FALSE;
  const ARGB color = solid->GetColor();
  solid->Release();
  GpPen* pen = nullptr;
  if (DllExports::GdipCreatePen1(color, width, UnitWorld, &pen) != Ok) return E_FAIL;
  const GpStatus status = DllExports::GdipDrawLineI(graphics_, pen, from.x, from.y, to.x, to.y);
  DllExports::GdipDeletePen(pen);
  return status == Ok ? S_OK : E_FAIL;
}

// A string's size in a font, unlimited layout, rounded up to whole pixels.
static HRESULT MeasureWithFont(GpGraphics* graphics, const std::wstring& s, const FontSpec& spec, SIZE* size) {
  *size = SIZE{0, 0};
  if (!graphics) return E_FAIL;
  GpFont* font = CreateGpFont(spec);
  if (!font) return E_FAIL;
  if (s.empty()) {
    DllExports::GdipDeleteFont(font);
    return S_OK;
  }
  const RectF unlimited(0, 0, 65535.0f, 65535.0f);
  RectF box;
  const GpStatus status = DllExports::GdipMeasureString(graphics, s.c_str(), static_cast<INT>(s.size()), font,
                                                        &unlimited, nullptr, &box, nullptr, nullptr);
  DllExports::GdipDeleteFont(font);
  if (status != Ok) return E_FAIL;
  size->cx = SaturateToInt(std::ceil(box.Width));
  size->cy = SaturateToInt(std::ceil(box.Height));
  return S_OK;
}

HRESULT CGpRenderX::MeasureText(SIZE* size, CTextX* text) {
  *size = SIZE{0, 0};
  if (!graphics_ || !text) return E_FAIL;
  if (text->text().empty()) return S_OK;
  return MeasureWithFont(graphics_, text->text(), text->font(), size);
}

HRESULT CGpRenderX::MeasureString(SIZE* size, const std::wstring& text, const std::wstring& family, float font_size,
                                  int32_t weight, int32_t style) {
  FontSpec spec;
  spec.family = family;
  spec.size = font_size;
  spec.weight = weight;
  spec.style = style;
  return MeasureWithFont(graphics_, text, spec, size);
}

CTextX::CTextX() : font_(FontSpec::SystemDefault()) { SetForegroundColor(0xFF000000u); }

CTextX::~CTextX() { SafeRelease(&foreground_); }

STDMETHODIMP CTextX::QueryInterface(REFIID riid, void** object) {
  if (object && IsEqualIID(riid, IID_ITextX)) {
    *object = static_cast<ITextX*>(this);
    AddRef();
    return S_OK;
  }
  return CGraphicX::QueryInterface(riid, object);
}

void CTextX::SetForegroundColor(uint32_t argb) {
  CSolidBrushX* brush = new (std::nothrow) CSolidBrushX();
  if (!brush) return;
  brush->AddRef();
  brush->SetColor(argb);
  SafeRelease(&foreground_);
  foreground_ = static_cast<IGraphicX*>(brush);
}

HRESULT CTextX::LoadAttributes(const CXmlAttributesX& a) {
  static const EnumWord kAlignX[] = {{L"Left", 1}, {L"Right", 3}, {L"Center", 0}, {L"Fill", 5}};
  static const EnumWord kAlignY[] = {{L"Top", 2}, {L"Bottom", 4}, {L"Center", 0}, {L"Fill", 5}};
  static const EnumWord kQuality[] = {{L"Default", 0}, {L"SingleBitPerPixelGridFit", 1}, {L"SingleBitPerPixel", 2},
                                      {L"AntiAliasGridFit", 3}, {L"AntiAlias", 4}, {L"ClearTypeGridFit", 5},
                                      {L"0", 0}, {L"1", 1}, {L"2", 2}, {L"3", 3}, {L"4", 4}, {L"5", 5}};
  static const struct {
    const wchar_t* name;
    uint32_t flag;
  } kFlags[] = {{L"DirectionRightToLeft", 0x1},   {L"DirectionVertical", 0x2},   {L"NoFitBlackBox", 0x4},
                {L"DisplayFormatControl", 0x20},  {L"NoFontFallback", 0x400},    {L"MeasureTrailingSpaces", 0x800},
                {L"NoWrap", 0x1000},              {L"LineLimit", 0x2000},        {L"NoClip", 0x4000},
                {L"BypassGDI", 0x80000000u}};
  a.GetText(L"Text", &text_);
  uint32_t color = 0;
  if (a.GetColor(L"Foreground", &color)) SetForegroundColor(color);
  a.GetBool(L"Rich", &rich_);
  for (const auto& f : kFlags) {
    bool on = false;
    if (a.GetBool(f.name, &on) && on) format_flags_ |= f.flag;
  }
  a.GetEnum(L"TextQuality", kQuality, std::size(kQuality), &quality_);
  a.GetText(L"FontFamily", &font_.family);
  double size = 0;
  if (a.GetReal(L"FontSize", &size)) font_.size = SaturateToFloat(size);
  bool b = false;
  if (a.GetBool(L"FontBold", &b)) font_.weight = b ? 700 : 400;
  a.GetInt(L"FontWeight", &font_.weight);
  if (a.GetBool(L"FontItalic", &b)) font_.style = b ? 2 : 0;
  if (a.GetInt(L"FontStretch", &font_.stretch)) font_.stretch = std::clamp(font_.stretch, 0, 9);
  a.GetBool(L"FontUnderline", &font_.underline);
  a.GetBool(L"FontStrikeout", &font_.strikeout);
  a.GetEnum(L"AlignmentX", kAlignX, std::size(kAlignX), &alignment_x_);
  a.GetEnum(L"AlignmentY", kAlignY, std::size(kAlignY), &alignment_y_);
  return CGraphicX::LoadAttributes(a);
}

int CTextX::CreatePropertyElement(const std::wstring& property, const std::wstring& tag, IElementX** value) {
  if (value) *value = nullptr;
  if (property != L"Foreground") return CGraphicX::CreatePropertyElement(property, tag, value);
  if (tag.empty() || !value) return 1;
  IElementX* created = CreateByName(tag);
  if (!created) return 0;
  created->AddRef();
  *value = created;
  return 1;
}

HRESULT CTextX::SetPropertyElement(const std::wstring& property, const std::wstring& tag, IElementX* value) {
  if (property != L"Foreground") return CGraphicX::SetPropertyElement(property, tag, value);
  IGraphicX* brush = nullptr;
  if (!value || FAILED(value->QueryInterface(IID_IBrushX, reinterpret_cast<void**>(&brush)))) return E_INVALIDARG;
  SafeRelease(&foreground_);
  foreground_ = brush;
  return S_OK;
}

HRESULT CTextX::Draw(IRenderX* renderer, const RECT& rect, UINT) {
  // a text keeps its margin and is drawn into the rectangle it is given
  if (!renderer || rect.left >= rect.right || rect.top >= rect.bottom) return S_FALSE;
  return renderer->DrawText(this, rect);
}

COffscreenBuffer::~COffscreenBuffer() {
  Release();
  if (dc_) DeleteDC(dc_);
}

// Drops the bitmap (and the GDI+ surface over it); the device context stays.
void COffscreenBuffer::Release() {
  if (graphics_) DllExports::GdipDeleteGraphics(graphics_);
  if (bitmap_) DllExports::GdipDisposeImage(bitmap_);
  graphics_ = nullptr;
  bitmap_ = nullptr;
  if (dc_ && dc_old_) SelectObject(dc_, dc_old_);
  dc_old_ = nullptr;
  if (dib_) DeleteObject(dib_);
  dib_ = nullptr;
  bits_ = nullptr;
}

bool COffscreenBuffer::Resize(int width, int height, HDC reference) {
  if (width <= width_ && height <= height_ && graphics_) return true;
  if (width <= 0 || height <= 0 || width > 16384 || height > 16384 || !EnsureGdiplus()) return false;
  if (!dc_ && !(dc_ = CreateCompatibleDC(reference))) return false;
  const int w = std::max(width, width_), h = std::max(height, height_);
  BITMAPINFO bi = {};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;  // top-down: row 0 is the top row
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(dc_, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!dib) return false;
  GpBitmap* bitmap = nullptr;
  GpGraphics* graphics = nullptr;
  if (DllExports::GdipCreateBitmapFromScan0(w, h, w * 4, PixelFormat32bppARGB, static_cast<BYTE*>(bits), &bitmap) !=
          Ok ||
      DllExports::GdipGetImageGraphicsContext(bitmap, &graphics) != Ok) {
    if (bitmap) DllExports::GdipDisposeImage(bitmap);
    DeleteObject(dib);
    return false;
  }
  uint32_t* out = static_cast<uint32_t*>(bits);
  std::fill(out, out + static_cast<size_t>(w) * static_cast<size_t>(h), 0u);
  if (bits_) {  // what was shown stays
    GdiFlush();
    for (int y = 0; y < height_; ++y)
      std::copy_n(bits_ + static_cast<size_t>(y) * static_cast<size_t>(width_), width_,
                  out + static_cast<size_t>(y) * static_cast<size_t>(w));
  }
  Release();
  dib_ = dib;
  bits_ = out;
  bitmap_ = bitmap;
  graphics_ = graphics;
  dc_old_ = SelectObject(dc_, dib_);
  width_ = w;
  height_ = h;
  return true;
}

const uint32_t* COffscreenBuffer::bits() const {
  GdiFlush();
  return bits_;
}

std::vector<uint32_t> COffscreenBuffer::pixels() const {
  const uint32_t* p = bits();
  return p ? std::vector<uint32_t>(p, p + static_cast<size_t>(width_) * static_cast<size_t>(height_))
           : std::vector<uint32_t>();
}

bool COffscreenBuffer::CopyTo(HDC target, const RECT& area) const {
  RECT band;
  const RECT all = {0, 0, width_, height_};
  if (!dc_ || !target || !IntersectRect(&band, &area, &all)) return false;
  return BitBlt(target, band.left, band.top, band.right - band.left, band.bottom - band.top, dc_, band.left,
                band.top, SRCCOPY) != FALSE;
}

HRESULT COffscreenBuffer::Paint(CPanelX* content, const RECT* dirty, IRenderX* renderer) {
  if (!graphics_) return E_FAIL;
  RECT area = {0, 0, width_, height_};
  if (dirty && !IntersectRect(&area, &area, dirty)) return S_FALSE;
  if (content && renderer && renderer->IsDirect2D()) {
    bool drew = false;
    const HRESULT hr = PaintDirect2D(content, area, renderer, &drew);
    if (drew) return hr;
    renderer = nullptr;  // Direct2D cannot draw here at all: GDI+ serves this paint
  }
  GdiFlush();  // GDI drawing into the DIB lands before GDI+ touches it
  DllExports::GdipSetClipRectI(graphics_, area.left, area.top, area.right - area.left, area.bottom - area.top,
                               CombineModeReplace);
  DllExports::GdipGraphicsClear(graphics_, 0);
  HRESULT hr = S_FALSE;
  if (content) {
    IRenderX* gdiplus = renderer;
    if (gdiplus) gdiplus->AddRef();
    else if (FAILED(CreateGdiplusRenderer(&gdiplus))) return E_FAIL;
    void* previous = gdiplus->GetTarget();
    gdiplus->SetTarget(graphics_);
    hr = content->Render(gdiplus, &area);
    gdiplus->SetTarget(previous);
    gdiplus->Release();
  }
  DllExports::GdipFlush(graphics_, FlushIntentionSync);
  return hr;
}

// Direct2D's DC render target is bound to the buffer's DC over the dirty
// rectangle only, so nothing else of the DIB changes; the rectangle then
// gets its alpha taken out of the colours again.
HRESULT COffscreenBuffer::PaintDirect2D(CPanelX* content, const RECT& area, IRenderX* renderer, bool* drew) {
  *drew = false;
  GdiFlush();
  HRESULT hr = renderer->CreateTargetFromDc(dc_, area);
  if (SUCCEEDED(hr)) hr = renderer->BeginDraw();
  if (FAILED(hr)) return hr;
  renderer->Clear(0);
  hr = content->Render(renderer, &area);
  const HRESULT end = renderer->EndDraw();
  if (FAILED(end)) return end;  // nothing reached the DIB
  *drew = true;
  GdiFlush();
  for (LONG y = area.top; y < area.bottom; ++y) {
    uint32_t* row = bits_ + static_cast<size_t>(y) * static_cast<size_t>(width_);
    for (LONG x = area.left; x < area.right; ++x) {
      const uint32_t c = row[x];
      const uint32_t a = c >> 24;
      if (a == 255) continue;
      uint32_t straight = 0;
      if (a != 0) {
        auto un = [a](uint32_t v) { return std::min<uint32_t>(255, (v * 255 + a / 2) / a); };
        straight = a << 24 | un((c >> 16) & 255) << 16 | un((c >> 8) & 255) << 8 | un(c & 255);
      }
      row[x] = straight;
    }
  }
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
