// Regular-expression search of the engine's CheckRegx: ECMAScript grammar,
// default options (case-sensitive), a match anywhere in the whole text.
// Platform-free.
#ifndef VARNAK_ENGINE_CORE_REGEX_CHECK_H
#define VARNAK_ENGINE_CORE_REGEX_CHECK_H

#include <string>

namespace varnak::engine {

enum class RegexResult { kMatch, kNoMatch, kBadPattern };

RegexResult RegexSearch(const std::string& text, const std::string& pattern);

}  // namespace varnak::engine

#endif
