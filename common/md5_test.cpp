// MD5 against the RFC 1321 test suite, fed whole and in pieces.
#include "common/md5.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>

namespace varnak {
namespace {

TEST(Md5, Rfc1321Vectors) {
  const struct {
    const char* text;
    const char* digest;
  } cases[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"a", "0cc175b9c0f1b6a831c399e269772661"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"},
  };
  for (const auto& c : cases) EXPECT_EQ(Md5Hex(c.text, strlen(c.text)), c.digest) << c.text;
  // an empty buffer may come without storage (an empty vector's data())
  EXPECT_EQ(Md5Hex(nullptr, 0), "d41d8cd98f00b204e9800998ecf8427e");
}

TEST(Md5, PiecewiseFeedingEqualsOneShot) {
  std::string data(5000, '\0');
  std::mt19937 rng(7);
  for (char& ch : data) ch = char(rng());
  const std::string whole = Md5Hex(data.data(), data.size());
  // pieces that straddle the 64-byte block and the 56-byte padding boundary
  for (size_t piece : {1u, 55u, 56u, 63u, 64u, 65u, 1024u}) {
    Md5 md5;
    for (size_t i = 0; i < data.size(); i += piece) md5.Update(data.data() + i, std::min(piece, data.size() - i));
    uint8_t d[16];
    md5.Final(d);
    EXPECT_EQ(DigestHex(d), whole) << piece;
  }
}

}  // namespace
}  // namespace varnak
