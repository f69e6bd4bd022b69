// MD5 and RC4 as the skin package uses them: element-name and content
// digests, and the content cipher keyed by MD5 of the password. The bytes are
// the same as the platform's cryptography service gives for a 128-bit RC4 key
// derived from an MD5 hash. Platform-free.
#ifndef VARNAK_UI_CORE_MD5_RC4_H
#define VARNAK_UI_CORE_MD5_RC4_H

#include <cstddef>
#include <cstdint>

namespace varnak::ui {

struct Md5Digest {
  uint8_t bytes[16];
};

Md5Digest Md5(const void* data, size_t size);

// RC4 over data in place, keyed by key[0..key_size); the cipher is its own inverse.
void Rc4(const uint8_t* key, size_t key_size, uint8_t* data, size_t size);

}  // namespace varnak::ui

#endif
