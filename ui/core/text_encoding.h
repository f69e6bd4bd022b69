// Encoding decisions for markup files: the UTF-8 test and the guard that keeps
// 8-bit text from being taken for UTF-16. Platform-free.
#ifndef VARNAK_UI_CORE_TEXT_ENCODING_H
#define VARNAK_UI_CORE_TEXT_ENCODING_H

#include <cstddef>
#include <cstdint>

namespace varnak::ui {

// The markup's UTF-8 test over n bytes. The buffer must hold two readable
// bytes past n (the loader appends two zero bytes).
bool IsUtf8Markup(const uint8_t* bytes, size_t n);

// Real UTF-16 markup starts with FF FE or holds a zero byte ("<" is 3C 00);
// a statistical Unicode test is trusted only when this also holds.
bool CanBeUtf16Markup(const uint8_t* bytes, size_t n);

}  // namespace varnak::ui

#endif
