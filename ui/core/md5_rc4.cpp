// MD5 (RFC 1321) and RC4 (see md5_rc4.h).
#include "ui/core/md5_rc4.h"

#include <cstring>

namespace varnak::ui {
namespace {

constexpr uint32_t kT[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};
constexpr int kShift[64] = {7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,
                            5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,
                            4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
                            6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21};

uint32_t Rotl(uint32_t x, int c) { return (x << c) | (x >> (32 - c)); }

void Block(uint32_t h[4], const uint8_t* p) {
  uint32_t m[16];
  for (int k = 0; k < 16; ++k)
    m[k] = static_cast<uint32_t>(p[4 * k]) | static_cast<uint32_t>(p[4 * k + 1]) << 8 |
           static_cast<uint32_t>(p[4 * k + 2]) << 16 | static_cast<uint32_t>(p[4 * k + 3]) << 24;
  uint32_t a = h[0], b = h[1], c = h[2], d = h[3];
  for (int k = 0; k < 64; ++k) {
    uint32_t f;
    int g;
    if (k < 16) {
      f = (b & c) | (~b & d);
      g = k;
    } else if (k < 32) {
      f = (d & b) | (~d & c);
      g = (5 * k + 1) % 16;
    } else if (k < 48) {
      f = b ^ c ^ d;
      g = (3 * k + 5) % 16;
    } else {
      f = c ^ (b | ~d);
      g = (7 * k) % 16;
    }
    const uint32_t t = d;
    d = c;
    c = b;
    b = b + Rotl(a + f + kT[k] + m[g], kShift[k]);
    a = t;
  }
  h[0] += a;
  h[1] += b;
  h[2] += c;
  h[3] += d;
}

}  // namespace

Md5Digest Md5(const void* data, size_t size) {
  uint32_t h[4] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};
  const uint8_t* p = static_cast<const uint8_t*>(data);
  size_t left = size;
  for (; left >= 64; left -= 64, p += 64) Block(h, p);
  uint8_t tail[128] = {};
  if (left) std::memcpy(tail, p, left);
  tail[left] = 0x80;
  const size_t tail_size = left < 56 ? 64 : 128;
  const uint64_t bits = static_cast<uint64_t>(size) * 8;
  for (int k = 0; k < 8; ++k) tail[tail_size - 8 + k] = static_cast<uint8_t>(bits >> (8 * k));
  Block(h, tail);
  if (tail_size == 128) Block(h, tail + 64);
  Md5Digest d;
  for (int k = 0; k < 16; ++k) d.bytes[k] = static_cast<uint8_t>(h[k / 4] >> (8 * (k % 4)));
  return d;
}

void Rc4(const uint8_t* key, size_t key_size, uint8_t* data, size_t size) {
  if (key_size == 0) return;
  uint8_t s[256];
  for (int k = 0; k < 256; ++k) s[k] = static_cast<uint8_t>(k);
  uint8_t j = 0;
  for (int k = 0; k < 256; ++k) {
    j = static_cast<uint8_t>(j + s[k] + key[k % key_size]);
    uint8_t t = s[k];
    s[k] = s[j];
    s[j] = t;
  }
  uint8_t i = 0;
  j = 0;
  for (size_t k = 0; k < size; ++k) {
    i = static_cast<uint8_t>(i + 1);
    j = static_cast<uint8_t>(j + s[i]);
    uint8_t t = s[i];
    s[i] = s[j];
    s[j] = t;
    data[k] ^= s[static_cast<uint8_t>(s[i] + s[j])];
  }
}

}  // namespace varnak::ui
