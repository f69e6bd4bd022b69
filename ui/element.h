// The toolkit's element contract: interface identifiers, routing codes,
// IElementX and its base CElementX, CAlignmentXY, and the attribute reader
// CXmlAttributesX. Elements belong to the thread that runs their window's
// message loop; only reference counts may change from other threads.
#ifndef VARNAK_UI_ELEMENT_H
#define VARNAK_UI_ELEMENT_H

#include <windows.h>
#include <objbase.h>

#include <memory>
#include <string>

#include "ui/core/attr_syntax.h"

namespace tinyxml2 {
class XMLDocument;
class XMLElement;
}  // namespace tinyxml2

namespace varnak::ui {

extern const IID IID_IElementX;
extern const IID IID_IGraphicX;
extern const IID IID_IBrushX;
extern const IID IID_ISolidBrushX;
extern const IID IID_ILinearGradientBrushX;
extern const IID IID_IGradientStopX;
extern const IID IID_IImageBrushX;
extern const IID IID_IImageX;
extern const IID IID_IMatrixX;
extern const IID IID_ITextX;
extern const IID IID_IFontX;
extern const IID IID_IRenderX;
extern const IID IID_IGpRenderX;
extern const IID IID_IDxRenderX;
extern const IID IID_IGraphicAnimationX;
extern const IID IID_ITextBlockX;

// Results of HandleMessage, HandleMessageLate and the window's OnEvent.
constexpr HRESULT ROUTE_CHILD_HANDLED = static_cast<HRESULT>(0x13890001);
constexpr HRESULT ROUTE_HANDLED = static_cast<HRESULT>(0x13890002);
constexpr HRESULT ROUTE_CONTINUE = static_cast<HRESULT>(0x13890003);

// The parsed markup, kept alive by every element created from it.
using MarkupDocument = std::shared_ptr<tinyxml2::XMLDocument>;

// A view of one markup element's attributes. Names compare case-insensitively
// in document order, the first match wins; values are UTF-16.
class CXmlAttributesX {
 public:
  explicit CXmlAttributesX(const tinyxml2::XMLElement* node) : node_(node) {}
  HRESULT Get(const wchar_t* name, std::wstring* value) const;
  bool Has(const wchar_t* name) const;
  const tinyxml2::XMLElement* node() const { return node_; }

  // Typed getters; each returns false when the attribute is absent.
  bool GetText(const wchar_t* name, std::wstring* v) const { return SUCCEEDED(Get(name, v)); }
  bool GetBool(const wchar_t* name, bool* v) const;
  bool GetInt(const wchar_t* name, int32_t* v) const;
  bool GetReal(const wchar_t* name, double* v) const;
  bool GetColor(const wchar_t* name, uint32_t* argb) const;
  bool GetFourNumbers(const wchar_t* name, Numbers* v) const;
  bool GetPoint(const wchar_t* name, Numbers* v) const;
  bool GetSize(const wchar_t* name, Numbers* v) const;
  // An unrecognised word leaves *v alone (and still returns true: present).
  bool GetEnum(const wchar_t* name, const EnumWord* words, size_t count, int32_t* v) const;

 private:
  const tinyxml2::XMLElement* node_;
};

std::wstring Utf8ToWide(const char* text);
std::string WideToUtf8(const std::wstring& text);

class IElementX : public IUnknown {
 public:
  virtual HRESULT SetName(const std::wstring& name) = 0;
  virtual std::wstring GetName() = 0;
  virtual HRESULT SetId(int32_t id) = 0;
  virtual int32_t GetId() = 0;
  virtual HRESULT SetForeignAttribute(const std::wstring& owner, const std::wstring& property,
                                      const std::wstring& value, IElementX* child) = 0;
  virtual HRESULT SetAttachedProperty(const std::wstring& property, const std::wstring& value,
                                      IElementX* child) = 0;
  virtual HRESULT LoadAttributes(const CXmlAttributesX& attributes) = 0;
  virtual HRESULT SetPropertyElement(const std::wstring& property, const std::wstring& tag, IElementX* value) = 0;
  // Non-zero when property belongs to this class; with a tag, also creates
  // the value element (one reference for the caller).
  virtual int CreatePropertyElement(const std::wstring& property, const std::wstring& tag, IElementX** value) = 0;
  virtual ~IElementX() = default;
  virtual LONG GetRefCount() = 0;
  virtual void* GetPropertyAddress(const std::wstring& property) = 0;
  virtual void SetSource(const MarkupDocument& document, const tinyxml2::XMLElement* node) = 0;
  virtual const tinyxml2::XMLElement* GetSourceElement() = 0;
  virtual const tinyxml2::XMLElement* GetSource(MarkupDocument* document) = 0;
  virtual MarkupDocument GetSourceDocument() = 0;
};

class CElementX : public IElementX {
 public:
  CElementX() = default;
  CElementX(const CElementX&) = delete;
  CElementX& operator=(const CElementX&) = delete;

  STDMETHODIMP QueryInterface(REFIID riid, void** object) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

  HRESULT SetName(const std::wstring& name) override;
  std::wstring GetName() override { return name_; }
  HRESULT SetId(int32_t id) override;
  int32_t GetId() override { return id_; }
  HRESULT SetForeignAttribute(const std::wstring&, const std::wstring&, const std::wstring&, IElementX*) override {
    return S_FALSE;
  }
  HRESULT SetAttachedProperty(const std::wstring&, const std::wstring&, IElementX*) override { return S_FALSE; }
  HRESULT LoadAttributes(const CXmlAttributesX& attributes) override;
  HRESULT SetPropertyElement(const std::wstring&, const std::wstring&, IElementX*) override { return S_FALSE; }
  int CreatePropertyElement(const std::wstring&, const std::wstring&, IElementX**) override { return 0; }
  LONG GetRefCount() override { return ref_; }
  void* GetPropertyAddress(const std::wstring& property) override;
  void SetSource(const MarkupDocument& document, const tinyxml2::XMLElement* node) override;
  const tinyxml2::XMLElement* GetSourceElement() override { return node_; }
  const tinyxml2::XMLElement* GetSource(MarkupDocument* document) override;
  MarkupDocument GetSourceDocument() override { return document_; }

  const std::wstring& name() const { return name_; }

 protected:
  ~CElementX() override = default;
  // For classes with further interfaces: answers IElementX and IUnknown.
  HRESULT QueryElement(REFIID riid, void** object);

 private:
  volatile LONG ref_ = 0;
  std::wstring name_;
  int32_t id_ = 0;
  MarkupDocument document_;
  const tinyxml2::XMLElement* node_ = nullptr;
};

// Keeps one reference on an element for the scope it lives in: a dispatch
// step holds its target this way, so a handler that drops every other
// reference (removing the element from the tree) cannot free it mid-step.
template <class T>
class Hold {
 public:
  explicit Hold(T* p) : p_(p) {
    if (p_) p_->AddRef();
  }
  ~Hold() {
    if (p_) p_->Release();
  }
  Hold(const Hold&) = delete;
  Hold& operator=(const Hold&) = delete;

 private:
  T* p_;
};

// Horizontal and vertical alignment: 0 Center, 1 Left, 2 Top, 3 Right,
// 4 Bottom, 5 Fill.
enum Alignment : int32_t { kAlignCenter = 0, kAlignLeft = 1, kAlignTop = 2, kAlignRight = 3, kAlignBottom = 4, kAlignFill = 5 };

class CAlignmentXY {
 public:
  int32_t alignment_x() const { return alignment_x_; }
  int32_t alignment_y() const { return alignment_y_; }
  void SetAlignmentX(int32_t v) { alignment_x_ = v; }
  void SetAlignmentY(int32_t v) { alignment_y_ = v; }

 protected:
  int32_t alignment_x_ = kAlignCenter;
  int32_t alignment_y_ = kAlignCenter;
};

// Adds the reference the caller owns: the usual out-parameter convention.
template <typename T>
T* AddRefed(T* p) {
  if (p) p->AddRef();
  return p;
}

// Releases and clears a raw interface pointer.
template <typename T>
void SafeRelease(T** p) {
  if (*p) {
    T* old = *p;
    *p = nullptr;
    old->Release();
  }
}

}  // namespace varnak::ui

#endif
