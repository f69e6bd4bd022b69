// GBK (code page 936) text helpers shared by every deliverable.
// Platform-free: program text crosses module boundaries as GBK bytes, and
// fixed-size fields are filled only through these helpers so that no cut ever
// splits a double-byte character and no field overflows.
#ifndef VARNAK_COMMON_GBK_TEXT_H
#define VARNAK_COMMON_GBK_TEXT_H

#include <cstddef>
#include <string>

namespace varnak {

// True for a byte that starts a double-byte GBK character.
inline bool IsGbkLeadByte(unsigned char c) { return c >= 0x81 && c <= 0xFE; }

// Length in bytes of the longest prefix of text[0..len) that fits in
// max_bytes and ends on a character boundary.
size_t GbkPrefixLength(const char* text, size_t len, size_t max_bytes);

// Copies text into dest (capacity dest_size, including the terminator),
// cutting on a character boundary when it does not fit. Returns the number of
// bytes copied, not counting the terminator. A null text counts as empty; a
// null dest or zero dest_size copies nothing and returns 0.
size_t CutGbkText(char* dest, size_t dest_size, const char* text);

// Copies text into dest only when it fits whole (with its terminator).
// Returns false and leaves dest empty otherwise: for paths and names, where
// a shortened value would name something else.
bool CopyGbkWhole(char* dest, size_t dest_size, const char* text);

// ASCII letters A-Z lowered; trail bytes of double-byte characters, which
// may fall in 0x41-0x5A, are left alone.
std::string GbkLower(const std::string& text);

}  // namespace varnak

#endif
