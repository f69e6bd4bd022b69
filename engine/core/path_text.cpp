#include "engine/core/path_text.h"

#include "common/gbk_text.h"

namespace varnak::engine {

size_t GbkLastSeparator(const std::string& path) {
  size_t last = std::string::npos;
  for (size_t i = 0; i < path.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(path[i]);
    if (IsGbkLeadByte(c)) {
      ++i;
    } else if (c == '\\' || c == '/') {
      last = i;
    }
  }
  return last;
}

std::string GbkFileName(const std::string& path) {
  size_t sep = GbkLastSeparator(path);
  return sep == std::string::npos ? path : path.substr(sep + 1);
}

std::string GbkParentFolder(const std::string& path) {
  size_t sep = GbkLastSeparator(path);
  return sep == std::string::npos ? std::string() : path.substr(0, sep);
}

}  // namespace varnak::engine
