// Property-value elements (see graphic.h).
#include "ui/graphic.h"

#include <cmath>

#include "ui/render.h"

namespace varnak::ui {

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

HRESULT CBrushX::Draw(IRenderX* renderer, const RECT& rect, UINT) {
  if (!renderer || rect.left >= rect.right || rect.top >= rect.bottom) return S_FALSE;
  return renderer->FillRect(rect, this, 0, 0);
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
  return CElementX::LoadAttributes(attributes);
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
  // exactly one operation: translation, else scaling, else rotation
  double a = 0, b = 0;
  if (attributes.GetReal(L"OffsetX", &a) && attributes.GetReal(L"OffsetY", &b)) {
    values_ = MatrixValues();
    values_.dx = SaturateToFloat(a);
    values_.dy = SaturateToFloat(b);
  } else if (attributes.GetReal(L"ScaleX", &a) && attributes.GetReal(L"ScaleY", &b)) {
    values_ = MatrixValues();
    values_.m11 = SaturateToFloat(a);
    values_.m22 = SaturateToFloat(b);
  } else if (attributes.GetReal(L"Rotation", &a)) {
    const double r = a * 3.14159265358979323846 / 180.0;
    const double c = cos(r), s = sin(r);
    double cx = 0, cy = 0;
    if (!(attributes.GetReal(L"CenterX", &cx) && attributes.GetReal(L"CenterY", &cy))) cx = cy = 0;
    values_.m11 = static_cast<float>(c);
    values_.m12 = static_cast<float>(s);
    values_.m21 = static_cast<float>(-s);
    values_.m22 = static_cast<float>(c);
    values_.dx = SaturateToFloat(cx - cx * c + cy * s);
    values_.dy = SaturateToFloat(cy - cx * s - cy * c);
  }
  return CElementX::LoadAttributes(attributes);
}

bool CEventListenerX::AcceptTarget(CPanelX* target) {
  if (target_ && target_ != target) return false;
  target_ = target;
  return true;
}

void CEventListenerX::Notify(CPanelX*, MouseEvent) { ++notifications_; }

}  // namespace varnak::ui
