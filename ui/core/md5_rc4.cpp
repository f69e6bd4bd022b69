// The skin package's MD5 (one shot over the shared digest) and RC4.
#include "ui/core/md5_rc4.h"

#include "common/md5.h"

namespace varnak::ui {

Md5Digest Md5(const void* data, size_t size) {
  ::varnak::Md5 md5;
  md5.Update(data, size);
  Md5Digest d;
  md5.Final(d.bytes);
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
