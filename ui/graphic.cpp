// Property-value elements (see graphic.h).
#include "ui/graphic.h"

#include <cmath>

#include "ui/render.h"

namespace varnak::ui {

void LoadTransform(const CXmlAttributesX& attributes, MatrixValues* values) {
  double a = 0, b = 0;
  if (attributes.GetReal(L"OffsetX", &a) && attributes.GetReal(L"OffsetY", &b)) {
    *values = MatrixValues();
    values->dx = SaturateToFloat(a);
    values->dy = SaturateToFloat(b);
  } else if (attributes.GetReal(L"ScaleX", &a) && attributes.GetReal(L"ScaleY", &b)) {
    *values = MatrixValues();
    values->m11 = SaturateToFloat(a);
    values->m22 = SaturateToFloat(b);
  } else if (attributes.GetReal(L"Rotation", &a)) {
    const double r = a * 3.14159265358979323846 / 180.0;
    const double c = std::cos(r), s = std::sin(r);
    double cx = 0, cy = 0;
    if (!(attributes.GetReal(L"CenterX", &cx) && attributes.GetReal(L"CenterY", &cy))) cx = cy = 0;
    values->m11 = static_cast<float>(c);
    values->m12 = static_cast<float>(s);
    values->m21 = static_cast<float>(-s);
    values->m22 = static_cast<float>(c);
    values->dx = SaturateToFloat(cx - cx * c + cy * s);
    values->dy = SaturateToFloat(cy - cx * s - cy * c);
  }
}

HRESULT CGraphicX::LoadAttributes(const CXmlAttributesX& attributes) {
  attributes.GetFourNumbers(L"Margin", &margin_);
  LoadTransform(attributes, &transform_);
  return CElementX::LoadAttributes(attributes);
}

int CGraphicX::CreatePropertyElement(const std::wstring& property, const std::wstring& tag, IElementX** value) {
  if (value) *value = nullptr;
  if (property != L"Matrix") return CElementX::CreatePropertyElement(property, tag, value);
  if (tag.empty() || !value) return 1;
  CMatrixX* m = new (std::nothrow) CMatrixX();
  if (!m) return 0;
  m->AddRef();
  *value = m;
  return 1;
}

HRESULT CGraphicX::SetPropertyElement(const std::wstring& property, const std::wstring& tag, IElementX* value) {
  if (property != L"Matrix") return CElementX::SetPropertyElement(property, tag, value);
  CMatrixX* m = dynamic_cast<CMatrixX*>(value);
  if (!m) return E_INVALIDARG;
  transform_ = m->values();
  return S_OK;
}

bool CGraphicX::DrawingRect(const RECT& rect, RECT* out) const {
  long long l = rect.left, t = rect.top, r = rect.right, b = rect.bottom;
  if (margin_.set) {
    l += margin_.Int(0);
    t += margin_.Int(1);
    r -= margin_.Int(2);
    b -= margin_.Int(3);
  }
  if (l >= r || t >= b) return false;
  *out = RECT{static_cast<LONG>(l), static_cast<LONG>(t), static_cast<LONG>(r), static_cast<LONG>(b)};
  return true;
}

STDMETHODIMP CGraphicX::QueryInterface(REFIID riid, void** object) {
  if (object && IsEqualIID(riid, IID_IGraphicX)) {
    *object = static_cast<IGraphicX*>(this);
    AddRef();
    return S_OK;
  }
  return QueryElement(riid, object);
}

STDMETHODIMP CBrushX::QueryInterface(REFIID riid, void** object) {
  if (object && IsEqualIID(riid, IID_IBrushX)) {
    *object = static_cast<IGraphicX*>(this);
    AddRef();
    return S_OK;
  }
  return CGraphicX::QueryInterface(riid, object);
}

HRESULT CBrushX::LoadAttributes(const CXmlAttributesX& attributes) {
  attributes.GetReal(L"RoundRectangeRadius", &round_radius_);
  return CGraphicX::LoadAttributes(attributes);
}

HRESULT CBrushX::Draw(IRenderX* renderer, const RECT& rect, UINT) {
  RECT r;
  if (!renderer || !DrawingRect(rect, &r)) return S_FALSE;
  return renderer->FillRect(r, this, 0, 0);
}

STDMETHODIMP CGradientStopX::QueryInterface(REFIID riid, void** object) {
  if (object && IsEqualIID(riid, IID_IGradientStopX)) {
    *object = static_cast<IGradientStopX*>(this);
    AddRef();
    return S_OK;
  }
  return QueryElement(riid, object);
}

HRESULT CGradientStopX::LoadAttributes(const CXmlAttributesX& attributes) {
  attributes.GetReal(L"OffsetF", &offset_);
  attributes.GetColor(L"Color", &color_);
  return CElementX::LoadAttributes(attributes);
}

CLinearGradientBrushX::~CLinearGradientBrushX() {
  for (CGradientStopX* s : stops_) s->Release();
}

STDMETHODIMP CLinearGradientBrushX::QueryInterface(REFIID riid, void** object) {
  if (object && IsEqualIID(riid, IID_ILinearGradientBrushX)) {
    *object = static_cast<ILinearGradientBrushX*>(this);
    AddRef();
    return S_OK;
  }
  return CBrushX::QueryInterface(riid, object);
}

HRESULT CLinearGradientBrushX::LoadAttributes(const CXmlAttributesX& a) {
  static const EnumWord kExtend[] = {{L"Clamp", 0}, {L"0", 0}, {L"Wrap", 1}, {L"1", 1}, {L"Mirror", 2}, {L"2", 2}};
  static const EnumWord kGamma[] = {{L"Gamma22", 0}, {L"Gamma10", 1}};
  Numbers n;
  if (a.GetPoint(L"PointStart", &n)) {
    sx_ = n.Float(0);
    sy_ = n.Float(1);
  }
  if (a.GetPoint(L"PointEnd", &n)) {
    ex_ = n.Float(0);
    ey_ = n.Float(1);
  }
  a.GetColor(L"ColorStart", &start_color_);
  a.GetColor(L"ColorEnd", &end_color_);
  std::wstring word;
  // these two give 0 for any other word
  if (a.GetText(L"ExtendMode", &word) && !ParseEnum(word, kExtend, std::size(kExtend), &extend_mode_)) extend_mode_ = 0;
  if (a.GetText(L"Gamma", &word) && !ParseEnum(word, kGamma, std::size(kGamma), &gamma_)) gamma_ = 0;
  return CBrushX::LoadAttributes(a);
}

int CLinearGradientBrushX::CreatePropertyElement(const std::wstring& property, const std::wstring& tag,
                                                 IElementX** value) {
  if (value) *value = nullptr;
  if (property != L"GradientStops") return CBrushX::CreatePropertyElement(property, tag, value);
  if (tag.empty() || !value) return 1;
  CGradientStopX* stop = new (std::nothrow) CGradientStopX();
  if (!stop) return 0;
  stop->AddRef();
  *value = stop;
  return 1;
}

HRESULT CLinearGradientBrushX::SetPropertyElement(const std::wstring& property, const std::wstring& tag,
                                                  IElementX* value) {
  if (property != L"GradientStops") return CBrushX::SetPropertyElement(property, tag, value);
  CGradientStopX* stop = dynamic_cast<CGradientStopX*>(value);
  if (tag != L"GradientStop" || !stop) return E_INVALIDARG;
  stop->AddRef();
  stops_.push_back(stop);
  return S_OK;
}

void CLinearGradientBrushX::SetLine(float sx, float sy, float ex, float ey, uint32_t start, uint32_t end) {
  sx_ = sx;
  sy_ = sy;
  ex_ = ex;
  ey_ = ey;
  start_color_ = start;
  end_color_ = end;
}

bool CLinearGradientBrushX::LinePoints(const RECT& rect, POINT* from, POINT* to) const {
  const double w = static_cast<double>(rect.right) - rect.left + 2, h = static_cast<double>(rect.bottom) - rect.top + 2;
  from->x = SaturateToInt(SaturateToInt(sx_ * w) + static_cast<double>(rect.left) - 1);
  from->y = SaturateToInt(SaturateToInt(sy_ * h) + static_cast<double>(rect.top) - 1);
  to->x = SaturateToInt(SaturateToInt(ex_ * w) + static_cast<double>(rect.left) - 1);
  to->y = SaturateToInt(SaturateToInt(ey_ * h) + static_cast<double>(rect.top) - 1);
  return from->x != to->x || from->y != to->y;
}

STDMETHODIMP CSolidBrushX::QueryInterface(REFIID riid, void** object) {
  if (object && IsEqualIID(riid, IID_ISolidBrushX)) {
    *object = static_cast<ISolidBrushX*>(this);
    AddRef();
    return S_OK;
  }
  return CBrushX::QueryInterface(riid, object);
}

HRESULT CSolidBrushX::LoadAttributes(const CXmlAttributesX& attributes) {
  attributes.GetColor(L"Color", &color_);
  return CBrushX::LoadAttributes(attributes);
}

void* CSolidBrushX::GetPropertyAddress(const std::wstring& property) {
  if (EqualsNoCase(property, L"Color")) return &color_;
  return CElementX::GetPropertyAddress(property);
}

STDMETHODIMP CMatrixX::QueryInterface(REFIID riid, void** object) {
  if (object && IsEqualIID(riid, IID_IMatrixX)) {
    *object = static_cast<IMatrixX*>(this);
    AddRef();
    return S_OK;
  }
  return QueryElement(riid, object);
}

HRESULT CMatrixX::LoadAttributes(const CXmlAttributesX& attributes) {
  LoadTransform(attributes, &values_);
  return CElementX::LoadAttributes(attributes);
}

MatrixValues MultiplyMatrices(const MatrixValues& a, const MatrixValues& b) {
  MatrixValues m;
  m.m11 = a.m11 * b.m11 + a.m12 * b.m21;
  m.m12 = a.m11 * b.m12 + a.m12 * b.m22;
  m.m21 = a.m21 * b.m11 + a.m22 * b.m21;
  m.m22 = a.m21 * b.m12 + a.m22 * b.m22;
  m.dx = a.dx * b.m11 + a.dy * b.m21 + b.dx;
  m.dy = a.dx * b.m12 + a.dy * b.m22 + b.dy;
  return m;
}

void CMatrixX::Multiply(const MatrixValues& other, int order) {
  values_ = order == kMatrixAppend ? MultiplyMatrices(values_, other) : MultiplyMatrices(other, values_);
}

void CMatrixX::Translate(float dx, float dy, int order) {
  MatrixValues t;
  t.dx = dx;
  t.dy = dy;
  Multiply(t, order);
}

void CMatrixX::Scale(float sx, float sy, int order) {
  MatrixValues s;
  s.m11 = sx;
  s.m22 = sy;
  Multiply(s, order);
}

void CMatrixX::Rotate(float degrees, int order) { RotateAt(degrees, 0, 0, order); }

// the same transform as the markup's Rotation about CenterX, CenterY
void CMatrixX::RotateAt(float degrees, float cx, float cy, int order) {
  const double r = degrees * 3.14159265358979323846 / 180.0;
  const double c = std::cos(r), s = std::sin(r);
  MatrixValues m;
  m.m11 = static_cast<float>(c);
  m.m12 = static_cast<float>(s);
  m.m21 = static_cast<float>(-s);
  m.m22 = static_cast<float>(c);
  m.dx = static_cast<float>(cx - cx * c + cy * s);
  m.dy = static_cast<float>(cy - cx * s - cy * c);
  Multiply(m, order);
}

bool CMatrixX::IsIdentity() {
  const MatrixValues& v = values_;
  return v.m11 == 1 && v.m12 == 0 && v.m21 == 0 && v.m22 == 1 && v.dx == 0 && v.dy == 0;
}

void CMatrixX::SetElements(float m11, float m12, float m21, float m22, float dx, float dy) {
  values_ = MatrixValues{m11, m12, m21, m22, dx, dy};
}

bool CEventListenerX::AcceptTarget(CPanelX* target) {
  if (target_ && target_ != target) return false;
  target_ = target;
  return true;
}

void CEventListenerX::Notify(CPanelX*, MouseEvent) { ++notifications_; }

}  // namespace varnak::ui
