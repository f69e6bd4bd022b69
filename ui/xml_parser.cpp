// The markup loader (see xml_parser.h).
#include "ui/xml_parser.h"

#include <tinyxml2.h>

#include <cstring>

#include "ui/core/markup_rules.h"
#include "ui/core/text_encoding.h"
#include "ui/globals.h"
#include "ui/panel.h"
#include "ui/resource_manager.h"
#include "ui/window.h"

namespace varnak::ui {
namespace {

constexpr uint64_t kMaxMarkupBytes = 64ull << 20;
// Elements one load may create: chains of duplicates grow exponentially.
constexpr size_t kMaxElementsPerLoad = 200000;

// Releases what it holds on every return path.
struct ElementRef {
  IElementX* p = nullptr;
  ~ElementRef() { SafeRelease(&p); }
  IElementX* detach() {
    IElementX* r = p;
    p = nullptr;
    return r;
  }
};

std::string WideToUtf8Bytes(const wchar_t* text, int units) {
  if (units <= 0) return std::string();
  int n = WideCharToMultiByte(CP_UTF8, 0, text, units, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
  if (n > 0) WideCharToMultiByte(CP_UTF8, 0, text, units, &out[0], n, nullptr, nullptr);
  return out;
}

}  // namespace

struct CXmlParserX::Context {
  MarkupDocument document;
  const tinyxml2::XMLElement* root;
  std::vector<const tinyxml2::XMLElement*> copying;  // Duplicate sources being copied
  size_t created = 0;
};

HRESULT ParseMarkup(const uint8_t* bytes, size_t size, MarkupDocument* document) {
  if (!bytes && size) return E_INVALIDARG;
  if (size > kMaxMarkupBytes) return E_OUTOFMEMORY;
  // two zero bytes after the text, as the encoding tests expect
  std::vector<uint8_t> buf(bytes, bytes + size);
  buf.push_back(0);
  buf.push_back(0);
  const int n = static_cast<int>(size);
  std::string utf8;
  const char* text = reinterpret_cast<const char*>(buf.data());
  size_t text_size = size;
  // the statistical Unicode test alone misreads some 8-bit text
  if (n >= 2 && IsTextUnicode(buf.data(), n, nullptr) && CanBeUtf16Markup(buf.data(), size)) {
    utf8 = WideToUtf8Bytes(reinterpret_cast<const wchar_t*>(buf.data()), n / 2);
    text = utf8.data();
    text_size = utf8.size();
  } else if (!IsUtf8Markup(buf.data(), size)) {
    int units = MultiByteToWideChar(CP_ACP, 0, text, n, nullptr, 0);
    std::wstring wide(static_cast<size_t>(units > 0 ? units : 0), L'\0');
    if (units > 0) MultiByteToWideChar(CP_ACP, 0, text, n, &wide[0], units);
    utf8 = WideToUtf8Bytes(wide.data(), units);
    text = utf8.data();
    text_size = utf8.size();
  }
  auto doc = std::make_shared<tinyxml2::XMLDocument>(true, tinyxml2::PRESERVE_WHITESPACE);
  if (!doc) return E_OUTOFMEMORY;
  if (doc->Parse(text, text_size) != tinyxml2::XML_SUCCESS) return E_FAIL;
  *document = std::move(doc);
  return S_OK;
}

HRESULT ApplyQualifiedAttributes(IElementX* parent, const tinyxml2::XMLElement* node, IElementX* element) {
  if (!parent || !node || !element) return S_FALSE;
  const tinyxml2::XMLElement* enclosing = node->Parent() ? node->Parent()->ToElement() : nullptr;
  if (!enclosing) return S_FALSE;
  for (const tinyxml2::XMLAttribute* a = node->FirstAttribute(); a; a = a->Next()) {
    if (!std::strchr(a->Name(), '.')) continue;
    std::string before, after;
    if (!SplitQualifiedName(a->Name(), &before, &after)) return E_FAIL;
    const std::wstring property = Utf8ToWide(after.c_str()), value = Utf8ToWide(a->Value());
    if (EqualsNoCase(Utf8ToWide(before.c_str()), Utf8ToWide(enclosing->Name()))) {
      HRESULT hr = parent->SetAttachedProperty(property, value, element);
      if (FAILED(hr)) return hr;
    } else {
      parent->SetForeignAttribute(Utf8ToWide(before.c_str()), property, value, element);
    }
  }
  return S_OK;
}

HRESULT CXmlParserX::CreateElement(const MarkupDocument& document, const tinyxml2::XMLElement* node,
                                   IElementX* parent, IElementX** out) {
  if (out) *out = nullptr;
  if (!document) return E_INVALIDARG;
  Context ctx{document, document->RootElement(), {}, 0};
  return Create(ctx, node, parent, out, 0);
}

HRESULT CXmlParserX::Create(Context& ctx, const tinyxml2::XMLElement* node, IElementX* parent, IElementX** out,
                            int depth) {
  if (!node) return E_INVALIDARG;
  if (depth > kMaxMarkupDepth) return E_FAIL;
  std::string owner, property;
  switch (ClassifyTag(node, &owner, &property)) {
    case TagKind::kOrdinary:
      return CreateOrdinary(ctx, node, parent, out, depth);
    case TagKind::kProperty:
      return CreateProperty(ctx, node, parent, property, depth);
    default:
      return E_FAIL;
  }
}

HRESULT CXmlParserX::CreateOrdinary(Context& ctx, const tinyxml2::XMLElement* node, IElementX* parent,
                                    IElementX** out, int depth) {
  if (++ctx.created > kMaxElementsPerLoad) return E_FAIL;
  ElementRef element;
  element.p = CreateByName(Utf8ToWide(node->Name()));
  if (!element.p) return E_FAIL;
  element.p->AddRef();
  element.p->SetSource(ctx.document, node);
  HRESULT hr = element.p->LoadAttributes(CXmlAttributesX(node));
  if (FAILED(hr)) return hr;
  hr = ApplyQualifiedAttributes(parent, node, element.p);
  if (FAILED(hr)) return hr;
  for (const tinyxml2::XMLElement* c = node->FirstChildElement(); c; c = c->NextSiblingElement()) {
    const char* tag = c->Name();
    if (std::strcmp(tag, "Template") == 0) continue;
    hr = std::strcmp(tag, "Duplicate") == 0 ? Duplicate(ctx, c, element.p, depth + 1)
                                            : Create(ctx, c, element.p, nullptr, depth + 1);
    if (FAILED(hr)) return hr;
  }
  if (parent) {
    // only panels nest in panels; anything else belongs in a property element
    CPanelX* parent_panel = dynamic_cast<CPanelX*>(parent);
    CPanelX* child_panel = dynamic_cast<CPanelX*>(element.p);
    if (!parent_panel || !child_panel) return E_FAIL;
    hr = parent_panel->InsertChild(child_panel, -1);
    if (FAILED(hr)) return hr;
  }
  if (out) *out = element.detach();
  return S_OK;
}

HRESULT CXmlParserX::CreateProperty(Context& ctx, const tinyxml2::XMLElement* node, IElementX* parent,
                                    const std::string& property_utf8, int depth) {
  if (!parent) return E_INVALIDARG;
  const std::wstring property = Utf8ToWide(property_utf8.c_str());
  if (!parent->CreatePropertyElement(property, L"", nullptr)) return S_FALSE;
  for (const tinyxml2::XMLElement* c = node->FirstChildElement(); c; c = c->NextSiblingElement()) {
    const std::wstring tag = Utf8ToWide(c->Name());
    ElementRef value;
    if (!parent->CreatePropertyElement(property, tag, &value.p) || !value.p) return E_FAIL;
    HRESULT hr = value.p->LoadAttributes(CXmlAttributesX(c));
    if (FAILED(hr)) return hr;
    for (const tinyxml2::XMLElement* g = c->FirstChildElement(); g; g = g->NextSiblingElement()) {
      hr = Create(ctx, g, value.p, nullptr, depth + 2);
      if (FAILED(hr)) return hr;
    }
    hr = parent->SetPropertyElement(property, tag, value.p);
    if (FAILED(hr)) return hr;
    hr = ApplyQualifiedAttributes(parent, c, value.p);
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

HRESULT CXmlParserX::Duplicate(Context& ctx, const tinyxml2::XMLElement* node, IElementX* current, int depth) {
  std::wstring source;
  if (FAILED(CXmlAttributesX(node).Get(L"Source", &source))) return S_OK;
  const tinyxml2::XMLElement* found = FindDuplicateSource(ctx.root, WideToUtf8(source).c_str());
  if (!found || IsSelfOrAncestor(found, node)) return S_OK;  // unknown, or inside its own source
  for (const tinyxml2::XMLElement* s : ctx.copying)
    if (s == found) return E_FAIL;  // a cycle through the chain of copies
  if (ctx.copying.size() >= static_cast<size_t>(kMaxDuplicateNesting)) return E_FAIL;
  ctx.copying.push_back(found);
  ElementRef copy;
  HRESULT hr = Create(ctx, found, current, &copy.p, depth);
  ctx.copying.pop_back();
  if (FAILED(hr)) return hr;
  if (!copy.p) return S_OK;  // a property element copies into its owner
  hr = copy.p->LoadAttributes(CXmlAttributesX(node));
  if (FAILED(hr)) return hr;
  return ApplyQualifiedAttributes(current, node, copy.p);
}

HRESULT CXmlParserX::CloneElement(IElementX* element, IElementX** copy) {
  if (!copy) return E_POINTER;
  *copy = nullptr;
  if (!dynamic_cast<CElementX*>(element)) return E_NOINTERFACE;
  MarkupDocument document;
  const tinyxml2::XMLElement* node = element->GetSource(&document);
  if (!node || !document) return E_INVALIDARG;
  Context ctx{document, document->RootElement(), {}, 0};
  ElementRef result;
  HRESULT hr = Create(ctx, node, nullptr, &result.p, 0);
  if (FAILED(hr)) return hr;
  if (!result.p) return E_FAIL;
  hr = result.p->LoadAttributes(CXmlAttributesX(node));
  if (FAILED(hr)) return hr;
  *copy = result.detach();
  return S_OK;
}

HRESULT CXmlParserX::BuildWindow(const MarkupDocument& document, CWindowX** window) {
  const tinyxml2::XMLElement* root = document->RootElement();
  if (!root) return E_FAIL;
  ElementRef created;
  created.p = CreateByName(Utf8ToWide(root->Name()));
  if (!created.p) return E_OUTOFMEMORY;
  created.p->AddRef();
  CWindowX* win = dynamic_cast<CWindowX*>(created.p);
  if (!win) return E_FAIL;
  win->SetSource(document, root);
  const tinyxml2::XMLElement* first = root->FirstChildElement();
  if (!first) return E_FAIL;
  ElementRef content;
  HRESULT hr = CreateElement(document, first, nullptr, &content.p);
  if (FAILED(hr)) return hr;
  CPanelX* panel = dynamic_cast<CPanelX*>(content.p);
  if (!panel) return E_FAIL;
  hr = win->SetContent(panel);
  if (FAILED(hr)) return hr;
  hr = win->LoadAttributes(CXmlAttributesX(root));
  if (FAILED(hr)) return hr;
  if (!win->CreateNativeWindow()) return E_FAIL;
  created.detach();
  *window = win;
  return S_OK;
}

HRESULT CXmlParserX::LoadWindowFromBytes(const void* bytes, size_t size, CWindowX** window) {
  if (!window) return E_POINTER;
  *window = nullptr;
  MarkupDocument document;
  HRESULT hr = ParseMarkup(static_cast<const uint8_t*>(bytes), size, &document);
  if (FAILED(hr)) return hr;
  return BuildWindow(document, window);
}

HRESULT CXmlParserX::LoadWindow(CWindowX** window) {
  if (!window) return E_POINTER;
  *window = nullptr;
  CStream stream;
  HRESULT hr = GetResourceManager().OpenStream(L"Xmls\\Default.xml", stream);
  if (FAILED(hr)) return hr;
  std::vector<uint8_t> bytes;
  hr = stream.ReadAll(&bytes, kMaxMarkupBytes);
  if (FAILED(hr)) return hr;
  return LoadWindowFromBytes(bytes.data(), bytes.size(), window);
}

}  // namespace varnak::ui
