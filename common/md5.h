// MD5 (RFC 1321): streaming digest and its 32-character lowercase hex text.
// Platform-free; used for file and memory digests, cipher keys and the skin
// package digests.
#ifndef VARNAK_COMMON_MD5_H
#define VARNAK_COMMON_MD5_H

#include <cstddef>
#include <cstdint>
#include <string>

namespace varnak {

class Md5 {
 public:
  Md5();
  void Update(const void* data, size_t length);
  // Finishes the digest into 16 raw bytes; the object must not be updated afterwards.
  void Final(uint8_t digest[16]);

 private:
  void Block(const uint8_t* block);
  uint32_t state_[4];
  uint64_t length_ = 0;  // bytes fed so far
  uint8_t buffer_[64];
  size_t buffered_ = 0;
};

// 32 lowercase hexadecimal characters, two per byte, in digest order.
std::string DigestHex(const uint8_t digest[16]);
std::string Md5Hex(const void* data, size_t length);

}  // namespace varnak

#endif
