// CXmlParserX: turns the skin's markup into a live element tree through the
// class registry, with property elements, attached attributes, Template and
// Duplicate. Stateless; create it on the stack of the window's thread.
#ifndef VARNAK_UI_XML_PARSER_H
#define VARNAK_UI_XML_PARSER_H

#include <vector>

#include "ui/element.h"

namespace varnak::ui {

class CWindowX;

class CXmlParserX {
 public:
  // Loads "Xmls\Default.xml" through the resource manager and creates the
  // window (native window hidden). One reference for the caller.
  HRESULT LoadWindow(CWindowX** window);
  // The same from markup bytes in any of the accepted encodings.
  HRESULT LoadWindowFromBytes(const void* bytes, size_t size, CWindowX** window);
  // A new, independent tree from the markup node element was created from.
  HRESULT CloneElement(IElementX* element, IElementX** copy);
  // The recursive step: creates node (and its subtree) under parent.
  HRESULT CreateElement(const MarkupDocument& document, const tinyxml2::XMLElement* node, IElementX* parent,
                        IElementX** out);

 private:
  struct Context;
  HRESULT Create(Context& ctx, const tinyxml2::XMLElement* node, IElementX* parent, IElementX** out, int depth);
  HRESULT CreateOrdinary(Context& ctx, const tinyxml2::XMLElement* node, IElementX* parent, IElementX** out,
                         int depth);
  HRESULT CreateProperty(Context& ctx, const tinyxml2::XMLElement* node, IElementX* parent,
                         const std::string& property, int depth);
  HRESULT Duplicate(Context& ctx, const tinyxml2::XMLElement* node, IElementX* current, int depth);
  HRESULT BuildWindow(const MarkupDocument& document, CWindowX** window);
};

// Decides the encoding (UTF-16, UTF-8 or the ANSI code page) and parses.
// E_FAIL for text that is not well-formed XML.
HRESULT ParseMarkup(const uint8_t* bytes, size_t size, MarkupDocument* document);

// Applies the attributes of attributes_node written Tag.Property to parent:
// SetAttachedProperty when Tag names the node's enclosing element, else
// SetForeignAttribute (whose answer is ignored).
HRESULT ApplyQualifiedAttributes(IElementX* parent, const tinyxml2::XMLElement* attributes_node,
                                 IElementX* element);

}  // namespace varnak::ui

#endif
