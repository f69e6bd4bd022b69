#include "engine/core/regex_check.h"

// libstdc++'s <regex> trips a false -Wmaybe-uninitialized inside std::function at -O2.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <regex>

namespace varnak::engine {

RegexResult RegexSearch(const std::string& text, const std::string& pattern) {
  std::regex re;
  try {
    re.assign(pattern, std::regex::ECMAScript);
  } catch (const std::regex_error&) {
    return RegexResult::kBadPattern;
  }
  // A search can also throw (error_complexity, error_stack) on hostile input.
  try {
    return std::regex_search(text, re) ? RegexResult::kMatch : RegexResult::kNoMatch;
  } catch (const std::regex_error&) {
    return RegexResult::kNoMatch;
  }
}
#pragma GCC diagnostic pop

}  // namespace varnak::engine
