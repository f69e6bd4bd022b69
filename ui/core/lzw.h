// The package's LZW coder: a 32-bit little-endian length, the root code size
// byte 8, then GIF-style codes (clear 256, end 257, 9 to 12 bits, least
// significant bit first, no sub-blocks). Platform-free.
#ifndef VARNAK_UI_CORE_LZW_H
#define VARNAK_UI_CORE_LZW_H

#include <cstddef>
#include <cstdint>
#include <vector>

namespace varnak::ui {

// False only for inputs of 4 GiB or more.
bool LzwCompress(const uint8_t* input, size_t size, std::vector<uint8_t>* output);

// Checks everything it reads: the root byte, every code against the table,
// the output against the declared length. False on any violation.
bool LzwDecompress(const uint8_t* input, size_t size, std::vector<uint8_t>* output);

}  // namespace varnak::ui

#endif
