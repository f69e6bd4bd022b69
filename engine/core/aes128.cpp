// AES-128 with byte-oriented rounds: small and easy to check against the
// FIPS-197 vectors. The S-boxes are derived once from GF(2^8) arithmetic.
#include "engine/core/aes128.h"

#include <cstring>

#include "common/md5.h"

namespace varnak::engine {
namespace {

constexpr uint8_t XTime(uint8_t x) { return uint8_t((x << 1) ^ ((x & 0x80) ? 0x1b : 0)); }

constexpr uint8_t Mul(uint8_t a, uint8_t b) {
  uint8_t r = 0;
  while (b) {
    if (b & 1) r ^= a;
    a = XTime(a);
    b >>= 1;
  }
  return r;
}

// Computed at compile time: no run-time initialisation, and no thread-safe
// static guard (whose runtime support would import routines XP lacks).
struct Tables {
  uint8_t sbox[256] = {};
  uint8_t inv[256] = {};
  constexpr Tables() {
    for (int x = 0; x < 256; ++x) {
      uint8_t inverse = 0;
      for (int y = 1; y < 256 && x != 0; ++y) {
        if (Mul(uint8_t(x), uint8_t(y)) == 1) {
          inverse = uint8_t(y);
          break;
        }
      }
      uint8_t s = inverse;
      uint8_t r = inverse;
      for (int i = 0; i < 4; ++i) {
        r = uint8_t((r << 1) | (r >> 7));
        s ^= r;
      }
      s ^= 0x63;
      sbox[x] = s;
      inv[s] = uint8_t(x);
    }
  }
};

constexpr Tables kTables{};
static_assert(kTables.sbox[0] == 0x63 && kTables.sbox[0x53] == 0xed, "FIPS-197 S-box");

constexpr const Tables& T() { return kTables; }

void AddRoundKey(uint8_t s[16], const uint8_t* k) {
  for (int i = 0; i < 16; ++i) s[i] ^= k[i];
}

// State layout: s[column * 4 + row], as the input bytes come.
void ShiftRows(uint8_t s[16]) {
  uint8_t t[16];
  for (int c = 0; c < 4; ++c) {
    for (int r = 0; r < 4; ++r) t[c * 4 + r] = s[((c + r) % 4) * 4 + r];
  }
  memcpy(s, t, 16);
}

void InvShiftRows(uint8_t s[16]) {
  uint8_t t[16];
  for (int c = 0; c < 4; ++c) {
    for (int r = 0; r < 4; ++r) t[((c + r) % 4) * 4 + r] = s[c * 4 + r];
  }
  memcpy(s, t, 16);
}

void MixColumns(uint8_t s[16]) {
  for (int c = 0; c < 4; ++c) {
    uint8_t* col = s + c * 4;
    uint8_t a0 = col[0], a1 = col[1], a2 = col[2], a3 = col[3];
    col[0] = uint8_t(XTime(a0) ^ (XTime(a1) ^ a1) ^ a2 ^ a3);
    col[1] = uint8_t(a0 ^ XTime(a1) ^ (XTime(a2) ^ a2) ^ a3);
    col[2] = uint8_t(a0 ^ a1 ^ XTime(a2) ^ (XTime(a3) ^ a3));
    col[3] = uint8_t((XTime(a0) ^ a0) ^ a1 ^ a2 ^ XTime(a3));
  }
}

void InvMixColumns(uint8_t s[16]) {
  for (int c = 0; c < 4; ++c) {
    uint8_t* col = s + c * 4;
    uint8_t a0 = col[0], a1 = col[1], a2 = col[2], a3 = col[3];
    col[0] = uint8_t(Mul(a0, 14) ^ Mul(a1, 11) ^ Mul(a2, 13) ^ Mul(a3, 9));
    col[1] = uint8_t(Mul(a0, 9) ^ Mul(a1, 14) ^ Mul(a2, 11) ^ Mul(a3, 13));
    col[2] = uint8_t(Mul(a0, 13) ^ Mul(a1, 9) ^ Mul(a2, 14) ^ Mul(a3, 11));
    col[3] = uint8_t(Mul(a0, 11) ^ Mul(a1, 13) ^ Mul(a2, 9) ^ Mul(a3, 14));
  }
}

void DeriveKey(const void* key, size_t key_length, uint8_t out[16]) {
  Md5 md5;
  md5.Update(key, key_length);
  md5.Final(out);
}

}  // namespace

Aes128::Aes128(const uint8_t key[16]) {
  const Tables& t = T();
  memcpy(round_keys_, key, 16);
  uint8_t rcon = 1;
  for (int i = 16; i < 176; i += 4) {
    uint8_t w[4];
    memcpy(w, round_keys_ + i - 4, 4);
    if (i % 16 == 0) {
      uint8_t first = w[0];
      w[0] = uint8_t(t.sbox[w[1]] ^ rcon);
      w[1] = t.sbox[w[2]];
      w[2] = t.sbox[w[3]];
      w[3] = t.sbox[first];
      rcon = XTime(rcon);
    }
    for (int j = 0; j < 4; ++j) round_keys_[i + j] = uint8_t(round_keys_[i - 16 + j] ^ w[j]);
  }
}

void Aes128::EncryptBlock(const uint8_t in[16], uint8_t out[16]) const {
  const Tables& t = T();
  uint8_t s[16];
  memcpy(s, in, 16);
  AddRoundKey(s, round_keys_);
  for (int round = 1; round <= 10; ++round) {
    for (uint8_t& b : s) b = t.sbox[b];
    ShiftRows(s);
    if (round != 10) MixColumns(s);
    AddRoundKey(s, round_keys_ + round * 16);
  }
  memcpy(out, s, 16);
}

void Aes128::DecryptBlock(const uint8_t in[16], uint8_t out[16]) const {
  const Tables& t = T();
  uint8_t s[16];
  memcpy(s, in, 16);
  AddRoundKey(s, round_keys_ + 160);
  for (int round = 9; round >= 0; --round) {
    InvShiftRows(s);
    for (uint8_t& b : s) b = t.inv[b];
    AddRoundKey(s, round_keys_ + round * 16);
    if (round != 0) InvMixColumns(s);
  }
  memcpy(out, s, 16);
}

size_t AesPaddedLength(size_t length) { return (length + 15) / 16 * 16; }

void AesEcbEncrypt(const void* key, size_t key_length, const void* data, size_t length, void* out) {
  uint8_t k[16];
  DeriveKey(key, key_length, k);
  Aes128 aes(k);
  const uint8_t* in = static_cast<const uint8_t*>(data);
  uint8_t* o = static_cast<uint8_t*>(out);
  size_t whole = length / 16 * 16;
  for (size_t i = 0; i < whole; i += 16) aes.EncryptBlock(in + i, o + i);
  if (whole < length) {
    uint8_t last[16] = {};
    memcpy(last, in + whole, length - whole);
    aes.EncryptBlock(last, o + whole);
  }
}

void AesEcbDecrypt(const void* key, size_t key_length, const void* data, size_t length, void* out) {
  uint8_t k[16];
  DeriveKey(key, key_length, k);
  Aes128 aes(k);
  const uint8_t* in = static_cast<const uint8_t*>(data);
  uint8_t* o = static_cast<uint8_t*>(out);
  for (size_t i = 0; i + 16 <= length; i += 16) aes.DecryptBlock(in + i, o + i);
}

}  // namespace varnak::engine
