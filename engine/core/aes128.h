// AES-128 (FIPS-197, 10 rounds) in electronic-codebook mode with zero
// padding, the engine's block cipher. The key is the MD5 digest of the
// caller's key bytes, so keys of any length can be given. Platform-free.
#ifndef VARNAK_ENGINE_CORE_AES128_H
#define VARNAK_ENGINE_CORE_AES128_H

#include <cstddef>
#include <cstdint>

namespace varnak::engine {

class Aes128 {
 public:
  explicit Aes128(const uint8_t key[16]);
  void EncryptBlock(const uint8_t in[16], uint8_t out[16]) const;
  void DecryptBlock(const uint8_t in[16], uint8_t out[16]) const;

 private:
  uint8_t round_keys_[176];
};

// Length of the ciphertext of `length` bytes: rounded up to 16, at least 16
// for non-empty data (0 stays 0).
size_t AesPaddedLength(size_t length);

// Enciphers `length` bytes into `out` (AesPaddedLength(length) bytes), the
// last partial block padded with zeros. The key is MD5(key bytes).
void AesEcbEncrypt(const void* key, size_t key_length, const void* data, size_t length, void* out);
// Deciphers `length` bytes (a multiple of 16) into `out` (the same length);
// the padding zeros stay.
void AesEcbDecrypt(const void* key, size_t key_length, const void* data, size_t length, void* out);

}  // namespace varnak::engine

#endif
