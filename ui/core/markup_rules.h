// Structural rules of the markup that the loader applies while it builds the
// element tree: tag classification, qualified attribute names, the search for
// a Duplicate's source, and the loader's depth limits. Platform-free: they
// work on tinyxml2 nodes and UTF-8 text only.
#ifndef VARNAK_UI_CORE_MARKUP_RULES_H
#define VARNAK_UI_CORE_MARKUP_RULES_H

#include <string>

namespace tinyxml2 {
class XMLElement;
}

namespace varnak::ui {

// Element nesting the loader follows (tinyxml2 limits depth only while parsing).
constexpr int kMaxMarkupDepth = 200;
// Duplicates copied inside duplicates.
constexpr int kMaxDuplicateNesting = 64;

enum class TagKind { kOrdinary, kProperty, kMalformed };

// "Owner.Property" must name the enclosing element (case-insensitively) and
// have both parts; a tag without "." is ordinary.
TagKind ClassifyTag(const tinyxml2::XMLElement* node, std::string* owner, std::string* property);

// Splits "Tag.Property" at the first "."; false when either side is empty.
bool SplitQualifiedName(const char* name, std::string* before, std::string* after);

// ASCII case-insensitive comparison of UTF-8 names.
bool EqualsNoCaseUtf8(const char* a, const char* b);

// The first element below the document's root, in document order, whose
// Name attribute equals source case-insensitively; null when none.
const tinyxml2::XMLElement* FindDuplicateSource(const tinyxml2::XMLElement* root, const char* source);

// True when node is ancestor, or ancestor is node itself.
bool IsSelfOrAncestor(const tinyxml2::XMLElement* ancestor, const tinyxml2::XMLElement* node);

}  // namespace varnak::ui

#endif
