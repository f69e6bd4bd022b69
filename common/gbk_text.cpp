// GBK text helpers: character-boundary cuts and DBCS-aware lower-casing.
#include "common/gbk_text.h"

#include <cstring>

namespace varnak {

size_t GbkPrefixLength(const char* text, size_t len, size_t max_bytes) {
  if (!text) return 0;
  size_t i = 0;
  while (i < len) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    // a lead byte with its trail byte missing is an incomplete character: stop
    size_t step = (IsGbkLeadByte(c) ? 2 : 1);
    if (step == 2 && (i + 1 >= len || text[i + 1] == '\0')) break;
    if (i + step > max_bytes) break;
    i += step;
  }
  return i;
}

size_t CutGbkText(char* dest, size_t dest_size, const char* text) {
  if (!dest || dest_size == 0) return 0;
  if (!text) text = "";
  const size_t n = GbkPrefixLength(text, std::strlen(text), dest_size - 1);
  std::memcpy(dest, text, n);
  dest[n] = '\0';
  return n;
}

bool CopyGbkWhole(char* dest, size_t dest_size, const char* text) {
  if (!dest || dest_size == 0) return false;
  if (!text) text = "";
  const size_t len = std::strlen(text);
  if (len + 1 > dest_size) {
    dest[0] = '\0';
    return false;
  }
  std::memcpy(dest, text, len + 1);
  return true;
}

std::string GbkLower(const std::string& text) {
  std::string out(text);
  for (size_t i = 0; i < out.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(out[i]);
    if (IsGbkLeadByte(c)) {
      ++i;  // skip the trail byte
    } else if (c >= 'A' && c <= 'Z') {
      out[i] = static_cast<char>(c - 'A' + 'a');
    }
  }
  return out;
}

}  // namespace varnak
