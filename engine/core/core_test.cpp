// Host tests of the engine's platform-free logic: digests, cipher, zlib
// framing, regular expressions, path text and cloud URLs.
#include <gtest/gtest.h>

#include <zlib.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "engine/core/aes128.h"
#include "engine/core/cloud_endpoint.h"
#include "common/md5.h"
#include "engine/core/path_text.h"
#include "engine/core/regex_check.h"
#include "engine/core/zlib_frame.h"

namespace varnak::engine {
namespace {

std::string Hex(const uint8_t* p, size_t n) {
  static const char k[] = "0123456789abcdef";
  std::string s;
  for (size_t i = 0; i < n; ++i) {
    s += k[p[i] >> 4];
    s += k[p[i] & 15];
  }
  return s;
}

std::vector<uint8_t> Unhex(const std::string& hex) {
  std::vector<uint8_t> out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) out.push_back(uint8_t(std::stoi(hex.substr(i, 2), nullptr, 16)));
  return out;
}

TEST(Aes128, Fips197Vector) {
  auto key = Unhex("000102030405060708090a0b0c0d0e0f");
  auto plain = Unhex("00112233445566778899aabbccddeeff");
  Aes128 aes(key.data());
  uint8_t out[16], back[16];
  aes.EncryptBlock(plain.data(), out);
  EXPECT_EQ(Hex(out, 16), "69c4e0d86a7b0430d8cdb78070b4c55a");
  aes.DecryptBlock(out, back);
  EXPECT_EQ(Hex(back, 16), "00112233445566778899aabbccddeeff");
}

TEST(Aes128, KeyIsTheMd5OfTheKeyBytes) {
  const char key[] = "secret key of any length";
  uint8_t digest[16];
  Md5 md5;
  md5.Update(key, strlen(key));
  md5.Final(digest);
  Aes128 direct(digest);
  uint8_t block[16] = {'v', 'a', 'r', 'n', 'a', 'k'};
  uint8_t expected[16], got[16];
  direct.EncryptBlock(block, expected);
  AesEcbEncrypt(key, strlen(key), block, 16, got);
  EXPECT_EQ(Hex(got, 16), Hex(expected, 16));
}

TEST(Aes128, EcbZeroPaddingRoundTrip) {
  const char key[] = "k";
  std::string data = "twenty bytes of data";  // 20 bytes
  ASSERT_EQ(AesPaddedLength(data.size()), 32u);
  std::vector<uint8_t> enc(32), dec(32);
  AesEcbEncrypt(key, 1, data.data(), data.size(), enc.data());
  AesEcbDecrypt(key, 1, enc.data(), enc.size(), dec.data());
  EXPECT_EQ(std::string(dec.begin(), dec.begin() + 20), data);
  EXPECT_EQ(std::string(dec.begin() + 20, dec.end()), std::string(12, '\0'));
  // ECB: equal blocks give equal ciphertext; another key gives another one
  std::vector<uint8_t> twice(32, 'x'), enc2(32), other(32);
  AesEcbEncrypt(key, 1, twice.data(), 32, enc2.data());
  EXPECT_EQ(Hex(enc2.data(), 16), Hex(enc2.data() + 16, 16));
  AesEcbEncrypt("kk", 2, twice.data(), 32, other.data());
  EXPECT_NE(Hex(enc2.data(), 16), Hex(other.data(), 16));
}

TEST(Aes128, PaddedLengths) {
  const size_t cases[][2] = {{0, 0}, {1, 16}, {16, 16}, {17, 32}, {20, 32}, {32, 32}, {33, 48}};
  for (const auto& c : cases) EXPECT_EQ(AesPaddedLength(c[0]), c[1]) << c[0];
}

std::vector<uint8_t> Bytes(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

TEST(ZlibFrame, RoundTripIsAZlibStream) {
  std::string text;
  for (int i = 0; i < 2000; ++i) text += "line " + std::to_string(i * 7919 % 1000) + "\n";
  std::vector<uint8_t> z, back;
  ASSERT_TRUE(ZlibCompress(reinterpret_cast<const uint8_t*>(text.data()), text.size(), &z));
  // what zlib's own one-shot routine reads back
  std::vector<uint8_t> check(text.size());
  uLongf n = check.size();
  ASSERT_EQ(uncompress(check.data(), &n, z.data(), z.size()), Z_OK);
  EXPECT_EQ(n, text.size());
  ASSERT_LE(text.size(), z.size() * kMaxInflateRatio);
  ASSERT_EQ(ZlibInflateBounded(z.data(), z.size(), &back), InflateResult::kOk);
  EXPECT_EQ(std::string(back.begin(), back.end()), text);
}

TEST(ZlibFrame, RatioBoundIsTenTimesTheSource) {
  std::vector<uint8_t> plain(200000, 0), z, out;
  for (size_t i = 0; i < plain.size(); i += 97) plain[i] = uint8_t(i * 31);
  ASSERT_TRUE(ZlibCompress(plain.data(), plain.size(), &z));
  ASSERT_GT(plain.size(), z.size() * 10);
  EXPECT_EQ(ZlibInflateBounded(z.data(), z.size(), &out), InflateResult::kTooLarge);
  // Bytes after the stream count as source size, as for a file on disk:
  // exactly 10x is accepted, one byte less of source is refused.
  std::vector<uint8_t> at_bound = z, below = z;
  at_bound.resize(plain.size() / 10, 0);
  below.resize(plain.size() / 10 - 1, 0);
  EXPECT_EQ(ZlibInflateBounded(at_bound.data(), at_bound.size(), &out), InflateResult::kOk);
  EXPECT_EQ(out, plain);
  EXPECT_EQ(ZlibInflateBounded(below.data(), below.size(), &out), InflateResult::kTooLarge);
}

TEST(ZlibFrame, BadStreamsFail) {
  std::vector<uint8_t> out, z;
  auto plain = Bytes("plain text is not a zlib stream");
  EXPECT_EQ(ZlibInflateBounded(plain.data(), plain.size(), &out), InflateResult::kBadData);
  std::string text(3000, 'q');
  std::mt19937 rng(3);
  for (char& ch : text) ch = char('a' + rng() % 26);  // about 2:1, well inside the bound
  ASSERT_TRUE(ZlibCompress(reinterpret_cast<const uint8_t*>(text.data()), text.size(), &z));
  std::vector<uint8_t> cut(z.begin(), z.end() - 6);
  EXPECT_EQ(ZlibInflateBounded(cut.data(), cut.size(), &out), InflateResult::kBadData);
  std::vector<uint8_t> flipped = z;
  flipped[flipped.size() - 1] ^= 0xFF;  // Adler-32 mismatch
  EXPECT_EQ(ZlibInflateBounded(flipped.data(), flipped.size(), &out), InflateResult::kBadData);
}

TEST(RegexCheck, SearchAnywhereCaseSensitive) {
  const struct {
    const char* text;
    const char* pattern;
    RegexResult want;
  } cases[] = {
      {"abc123", "[0-9]+", RegexResult::kMatch},
      {"abc123", "^[0-9]+$", RegexResult::kNoMatch},
      {"Setup_ABC.exe", "abc", RegexResult::kNoMatch},
      {"Setup_ABC.exe", "ABC", RegexResult::kMatch},
      {"abc", "(unclosed", RegexResult::kBadPattern},
      {"abc", "[z-a]", RegexResult::kBadPattern},
  };
  for (const auto& c : cases) EXPECT_EQ(RegexSearch(c.text, c.pattern), c.want) << c.text << " / " << c.pattern;
}

TEST(RegexCheck, LongTextIsSearchedWhole) {
  std::string text(3000, 'x');
  text += "tail";
  EXPECT_EQ(RegexSearch(text, "tail$"), RegexResult::kMatch);
  EXPECT_EQ(RegexSearch(text, "x$"), RegexResult::kNoMatch);
}

TEST(PathText, SeparatorsOnlyAtCharacterStarts) {
  // "表" is B1 ED; "乗" (0x81 0x5C) has a trail byte equal to '\\'
  const std::string tricky = "C:\\dir\\\x81\x5C.exe";
  EXPECT_EQ(GbkFileName(tricky), "\x81\x5C.exe");
  EXPECT_EQ(GbkParentFolder(tricky), "C:\\dir");
  EXPECT_EQ(GbkFileName("C:/a/b.exe"), "b.exe");
  EXPECT_EQ(GbkFileName("plain.exe"), "plain.exe");
  EXPECT_EQ(GbkParentFolder("plain.exe"), "");
  EXPECT_EQ(GbkFileName("C:\\dir\\"), "");
}

TEST(CloudEndpoint, HostOverride) {
  EXPECT_EQ(CloudHostFrom(nullptr), kDefaultCloudHost);
  EXPECT_EQ(CloudHostFrom("127.0.0.1"), "127.0.0.1");
  EXPECT_EQ(CloudHostFrom("127.0.0.1:8080"), "127.0.0.1:8080");
  for (const char* bad : {"", "evil.example/x", "a b", "user@host", "host:", "host:0", "host:70000", "host:8x"})
    EXPECT_EQ(CloudHostFrom(bad), kDefaultCloudHost) << bad;
  std::string name;
  unsigned port = 0;
  SplitCloudHost("127.0.0.1:8080", &name, &port);
  EXPECT_EQ(name, "127.0.0.1");
  EXPECT_EQ(port, 8080u);
  SplitCloudHost("h.example", &name, &port);
  EXPECT_EQ(port, 80u);
}

TEST(CloudEndpoint, StatisticsTextNeverExtendsTheHost) {
  EXPECT_EQ(StatisticsUrl("h:81", "/tongji.php?a=1"), "http://h:81/tongji.php?a=1");
  EXPECT_EQ(StatisticsUrl("h", "?a=1"), "http://h?a=1");
  EXPECT_EQ(StatisticsUrl("h", ".evil.example/x"), "http://h/.evil.example/x");
  EXPECT_EQ(StatisticsUrl("h", ""), "http://h/");
  EXPECT_EQ(DownloadUrl("h", "up/UpTemp.exe"), "http://h/up/UpTemp.exe");
}

TEST(CloudEndpoint, LocalNamesStayInTheFolder) {
  for (const char* ok : {"UpTemp.exe", "\xB1\xED.txt", "\x81\x5C.exe"}) EXPECT_TRUE(IsPlainLocalName(ok)) << ok;
  for (const char* bad : {"", "..", "..\\x.exe", "a/b", "C:x", "\\\\server\\x", "a..b"})
    EXPECT_FALSE(IsPlainLocalName(bad)) << bad;
}

}  // namespace
}  // namespace varnak::engine
