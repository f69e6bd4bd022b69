// CElementX, the attribute reader, and the interface identifiers.
#include "ui/element.h"

#include <tinyxml2.h>

#include "ui/core/markup_rules.h"

namespace varnak::ui {

const IID IID_IElementX = {0x563B8085, 0xBF71, 0x4A92, {0xBB, 0x2A, 0x01, 0x48, 0x59, 0x9D, 0x45, 0x5A}};
const IID IID_IGraphicX = {0x9A5B8726, 0xED60, 0x4646, {0xBF, 0xF2, 0xD1, 0xC1, 0xAB, 0x25, 0x00, 0xF2}};
const IID IID_IBrushX = {0xFB36DF51, 0xB87A, 0x40B4, {0xAE, 0xE2, 0x7A, 0x91, 0xB8, 0x5B, 0x3F, 0x51}};
const IID IID_ISolidBrushX = {0x5077D944, 0x3A3A, 0x48C2, {0x89, 0xD5, 0x35, 0x6E, 0xC4, 0x15, 0x23, 0x8A}};
const IID IID_ILinearGradientBrushX = {0xC618A9BC, 0xA1DA, 0x4678, {0x8E, 0x21, 0xBD, 0x78, 0xFB, 0x68, 0x41, 0x27}};
const IID IID_IGradientStopX = {0x3B229A3C, 0x47FE, 0x4CA9, {0xA9, 0x18, 0xB0, 0x59, 0xE0, 0xDD, 0xF2, 0x97}};
const IID IID_IImageBrushX = {0x18CB852E, 0x1F3E, 0x4207, {0xBC, 0x39, 0xBE, 0xFD, 0xB1, 0x06, 0xD4, 0x37}};
const IID IID_IImageX = {0xD6F86745, 0x2172, 0x4020, {0xAB, 0x55, 0x61, 0x9B, 0x75, 0xF4, 0x3B, 0xD1}};
const IID IID_IMatrixX = {0x6D5C6D9C, 0xD615, 0x4416, {0xB4, 0x50, 0x1C, 0x07, 0x05, 0x2D, 0x23, 0x8E}};
const IID IID_ITextX = {0x2EE2393C, 0x834C, 0x405F, {0x83, 0xD6, 0xF4, 0xAD, 0x91, 0xA8, 0x9E, 0xE3}};
const IID IID_IFontX = {0xD860F27F, 0x4098, 0x4E61, {0x8A, 0x40, 0x79, 0x37, 0x42, 0x11, 0x72, 0xD5}};
const IID IID_IRenderX = {0xE67BA176, 0x7ECE, 0x44D0, {0x89, 0xA9, 0x23, 0xD1, 0xFF, 0x06, 0x45, 0x64}};
const IID IID_IGpRenderX = {0x30E89934, 0x98FE, 0x40D4, {0xBD, 0xCA, 0x34, 0xD4, 0x98, 0x3D, 0x00, 0xD8}};
const IID IID_IDxRenderX = {0x93CDCDFA, 0x89E0, 0x427E, {0x99, 0xB6, 0x35, 0x01, 0x2F, 0xF4, 0x4F, 0xE6}};
const IID IID_IGraphicAnimationX = {0xF22C9135, 0x9713, 0x427A, {0xAA, 0x86, 0x9C, 0x5D, 0x5D, 0xE3, 0xE9, 0x83}};
const IID IID_ITextBlockX = {0x48D020B4, 0x822F, 0x4689, {0x93, 0xA2, 0xC8, 0xC5, 0x77, 0x81, 0x6B, 0xEA}};

std::wstring Utf8ToWide(const char* text) {
  if (!text || !*text) return std::wstring();
  int n = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
  if (n <= 1) return std::wstring();
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text, -1, &out[0], n);
  out.resize(static_cast<size_t>(n - 1));
  return out;
}

std::string WideToUtf8(const std::wstring& text) {
  if (text.empty()) return std::string();
  int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
  if (n > 0)
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr, nullptr);
  return out;
}

HRESULT CXmlAttributesX::Get(const wchar_t* name, std::wstring* value) const {
  if (!node_) return E_FAIL;
  // attribute names of the toolkit are ASCII: compare the UTF-8 bytes with
  // ASCII case folding instead of converting every name of every element
  const std::string wanted = WideToUtf8(name);
  for (const tinyxml2::XMLAttribute* a = node_->FirstAttribute(); a; a = a->Next()) {
    if (EqualsNoCaseUtf8(a->Name(), wanted.c_str())) {
      *value = Utf8ToWide(a->Value());
      return S_OK;
    }
  }
  return E_FAIL;
}

bool CXmlAttributesX::Has(const wchar_t* name) const {
  std::wstring v;
  return SUCCEEDED(Get(name, &v));
}

bool CXmlAttributesX::GetBool(const wchar_t* name, bool* v) const {
  std::wstring t;
  if (FAILED(Get(name, &t))) return false;
  *v = ParseBoolean(t);
  return true;
}

bool CXmlAttributesX::GetInt(const wchar_t* name, int32_t* v) const {
  std::wstring t;
  if (FAILED(Get(name, &t))) return false;
  *v = IntegerOrZero(t);
  return true;
}

bool CXmlAttributesX::GetReal(const wchar_t* name, double* v) const {
  std::wstring t;
  if (FAILED(Get(name, &t))) return false;
  *v = ParseReal(t);
  return true;
}

bool CXmlAttributesX::GetColor(const wchar_t* name, uint32_t* argb) const {
  std::wstring t;
  if (FAILED(Get(name, &t))) return false;
  *argb = ParseColor(t);
  return true;
}

bool CXmlAttributesX::GetFourNumbers(const wchar_t* name, Numbers* v) const {
  std::wstring t;
  if (FAILED(Get(name, &t))) return false;
  *v = ParseFourNumbers(t);
  return true;
}

bool CXmlAttributesX::GetPoint(const wchar_t* name, Numbers* v) const {
  std::wstring t;
  if (FAILED(Get(name, &t))) return false;
  *v = ParsePoint(t);
  return true;
}

bool CXmlAttributesX::GetSize(const wchar_t* name, Numbers* v) const {
  std::wstring t;
  if (FAILED(Get(name, &t))) return false;
  *v = ParseSize(t);
  return true;
}

bool CXmlAttributesX::GetEnum(const wchar_t* name, const EnumWord* words, size_t count, int32_t* v) const {
  std::wstring t;
  if (FAILED(Get(name, &t))) return false;
  ParseEnum(t, words, count, v);
  return true;
}

HRESULT CElementX::QueryElement(REFIID riid, void** object) {
  if (!object) return E_POINTER;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IElementX)) {
    *object = static_cast<IElementX*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP CElementX::QueryInterface(REFIID riid, void** object) { return QueryElement(riid, object); }

STDMETHODIMP_(ULONG) CElementX::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&ref_)); }

STDMETHODIMP_(ULONG) CElementX::Release() {
  const LONG n = InterlockedDecrement(&ref_);
  if (n == 0) delete this;
  return static_cast<ULONG>(n);
}

HRESULT CElementX::SetName(const std::wstring& name) {
  name_ = name;
  return S_OK;
}

HRESULT CElementX::SetId(int32_t id) {
  id_ = id;
  return S_OK;
}

HRESULT CElementX::LoadAttributes(const CXmlAttributesX& attributes) {
  std::wstring name;
  if (attributes.GetText(L"Name", &name)) name_ = name;
  attributes.GetInt(L"ID", &id_);
  return S_OK;
}

void* CElementX::GetPropertyAddress(const std::wstring& property) {
  return EqualsNoCase(property, L"Name") ? &name_ : nullptr;
}

void CElementX::SetSource(const MarkupDocument& document, const tinyxml2::XMLElement* node) {
  document_ = document;
  node_ = node;
}

const tinyxml2::XMLElement* CElementX::GetSource(MarkupDocument* document) {
  if (document) *document = document_;
  return node_;
}

}  // namespace varnak::ui
