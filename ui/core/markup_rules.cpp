// Structural rules of the markup (see markup_rules.h).
#include "ui/core/markup_rules.h"

#include <tinyxml2.h>

#include <cstring>
#include <vector>

namespace varnak::ui {

bool EqualsNoCaseUtf8(const char* a, const char* b) {
  for (;; ++a, ++b) {
    unsigned char x = static_cast<unsigned char>(*a), y = static_cast<unsigned char>(*b);
    if (x >= 'a' && x <= 'z') x = static_cast<unsigned char>(x - 32);
    if (y >= 'a' && y <= 'z') y = static_cast<unsigned char>(y - 32);
    if (x != y) return false;
    if (x == 0) return true;
  }
}

bool SplitQualifiedName(const char* name, std::string* before, std::string* after) {
  const char* dot = std::strchr(name, '.');
  if (!dot) return false;
  before->assign(name, dot);
  after->assign(dot + 1);
  return !before->empty() && !after->empty();
}

TagKind ClassifyTag(const tinyxml2::XMLElement* node, std::string* owner, std::string* property) {
  const char* tag = node->Name();
  if (!std::strchr(tag, '.')) return TagKind::kOrdinary;
  if (!SplitQualifiedName(tag, owner, property)) return TagKind::kMalformed;
  const tinyxml2::XMLElement* parent = node->Parent() ? node->Parent()->ToElement() : nullptr;
  if (!parent || !EqualsNoCaseUtf8(owner->c_str(), parent->Name())) return TagKind::kMalformed;
  return TagKind::kProperty;
}

const tinyxml2::XMLElement* FindDuplicateSource(const tinyxml2::XMLElement* root, const char* source) {
  if (!root || !source) return nullptr;
  // iterative pre-order walk: no recursion on hostile depth
  std::vector<const tinyxml2::XMLElement*> stack;
  for (const tinyxml2::XMLElement* c = root->LastChildElement(); c; c = c->PreviousSiblingElement())
    stack.push_back(c);
  while (!stack.empty()) {
    const tinyxml2::XMLElement* e = stack.back();
    stack.pop_back();
    const char* name = e->Attribute("Name");
    if (!name) {
      // attribute names are case-insensitive in the markup
      for (const tinyxml2::XMLAttribute* a = e->FirstAttribute(); a; a = a->Next())
        if (EqualsNoCaseUtf8(a->Name(), "Name")) {
          name = a->Value();
          break;
        }
    }
    if (name && EqualsNoCaseUtf8(name, source)) return e;
    for (const tinyxml2::XMLElement* c = e->LastChildElement(); c; c = c->PreviousSiblingElement())
      stack.push_back(c);
  }
  return nullptr;
}

bool IsSelfOrAncestor(const tinyxml2::XMLElement* ancestor, const tinyxml2::XMLElement* node) {
  for (const tinyxml2::XMLNode* n = node; n; n = n->Parent())
    if (n == ancestor) return true;
  return false;
}

}  // namespace varnak::ui
