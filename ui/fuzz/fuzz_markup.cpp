// Fuzz target: markup as the loader reads it. The text goes through the
// encoding test and tinyxml2 (entities on, whitespace preserved), then the
// structural pass the loader makes: tag classification, qualified
// attributes, Template skipping and Duplicate resolution with its cycle
// check and depth limits, without creating elements.
#include <tinyxml2.h>

#include <cstdint>
#include <string>
#include <vector>

#include "ui/core/markup_rules.h"
#include "ui/core/text_encoding.h"

using namespace varnak::ui;

namespace {

struct Walk {
  const tinyxml2::XMLElement* root;
  std::vector<const tinyxml2::XMLElement*> copying;  // sources being copied
  size_t visited = 0;

  bool Element(const tinyxml2::XMLElement* node, int depth) {
    if (depth > kMaxMarkupDepth || ++visited > 100000) return false;
    std::string owner, property;
    switch (ClassifyTag(node, &owner, &property)) {
      case TagKind::kMalformed:
        return false;
      case TagKind::kProperty:
        for (auto* c = node->FirstChildElement(); c; c = c->NextSiblingElement())
          for (auto* g = c->FirstChildElement(); g; g = g->NextSiblingElement())
            if (!Element(g, depth + 2)) return false;
        return true;
      case TagKind::kOrdinary:
        break;
    }
    for (auto* a = node->FirstAttribute(); a; a = a->Next()) {
      std::string before, after;
      if (std::string(a->Name()).find('.') != std::string::npos && !SplitQualifiedName(a->Name(), &before, &after))
        return false;
    }
    for (auto* c = node->FirstChildElement(); c; c = c->NextSiblingElement()) {
      const std::string tag = c->Name();
      if (tag == "Template") continue;
      if (tag == "Duplicate") {
        const char* source = c->Attribute("Source");
        const tinyxml2::XMLElement* found = source ? FindDuplicateSource(root, source) : nullptr;
        if (!found || IsSelfOrAncestor(found, c)) continue;
        for (auto* s : copying)
          if (s == found) return false;  // a cycle through the chain of copies
        if (copying.size() >= static_cast<size_t>(kMaxDuplicateNesting)) return false;
        copying.push_back(found);
        const bool ok = Element(found, depth + 1);
        copying.pop_back();
        if (!ok) return false;
        continue;
      }
      if (!Element(c, depth + 1)) return false;
    }
    return true;
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> buf(data, data + size);
  buf.push_back(0);
  buf.push_back(0);
  IsUtf8Markup(buf.data(), size);
  CanBeUtf16Markup(buf.data(), size);
  tinyxml2::XMLDocument doc(true, tinyxml2::PRESERVE_WHITESPACE);
  if (doc.Parse(reinterpret_cast<const char*>(buf.data()), size) != tinyxml2::XML_SUCCESS) return 0;
  const tinyxml2::XMLElement* root = doc.RootElement();
  if (!root || !root->FirstChildElement()) return 0;
  Walk walk{root, {}};
  walk.Element(root->FirstChildElement(), 1);
  return 0;
}
