// Encoding decisions for markup files (see text_encoding.h).
#include "ui/core/text_encoding.h"

namespace varnak::ui {

bool IsUtf8Markup(const uint8_t* b, size_t n) {
  if (n < 2) return true;
  for (size_t k = 0; k + 2 <= n - 2; k += 2)  // units within the first n - 2 bytes
    if (b[k] == 0 && b[k + 1] == 0) return false;
  if ((b[0] == 0xFF && b[1] == 0xFE) || n < 3) return false;
  if (b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) return true;
  for (size_t k = 0; k < n; ++k)
    if (b[k] == 0xC0 || b[k] == 0xC1 || b[k] >= 0xF5) return false;
  if (n == 3) return false;
  bool seen = false;
  for (size_t k = 0; k < n - 3;) {
    uint8_t c = b[k];
    size_t follow = (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : 0;
    if (follow == 0) {
      ++k;
      continue;
    }
    // the two zero bytes after the buffer end any sequence that runs past it
    for (size_t j = 1; j <= follow; ++j)
      if (k + j >= n + 2 || (b[k + j] & 0xC0) != 0x80) return false;
    seen = true;
    k += follow + 1;
  }
  return seen;
}

bool CanBeUtf16Markup(const uint8_t* b, size_t n) {
  if (n >= 2 && b[0] == 0xFF && b[1] == 0xFE) return true;
  for (size_t k = 0; k < n; ++k)
    if (b[k] == 0) return true;
  return false;
}

}  // namespace varnak::ui
