// LZW coder: the reference vector, round trips across table resets, and
// refusal of every kind of damaged stream.
#include "ui/core/lzw.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace varnak::ui {
namespace {

std::vector<uint8_t> Bytes(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

TEST(Lzw, ReferenceVector) {
  std::vector<uint8_t> out;
  ASSERT_TRUE(LzwCompress(reinterpret_cast<const uint8_t*>("ABABABA"), 7, &out));
  EXPECT_EQ(out, (std::vector<uint8_t>{0x07, 0, 0, 0, 0x08, 0x00, 0x83, 0x08, 0x11, 0x48, 0x30, 0x20}));
  std::vector<uint8_t> back;
  ASSERT_TRUE(LzwDecompress(out.data(), out.size(), &back));
  EXPECT_EQ(back, Bytes("ABABABA"));
}

TEST(Lzw, OneByteNeedsMoreThanTwiceItsSize) {
  std::vector<uint8_t> out;
  const uint8_t one = 'A';
  ASSERT_TRUE(LzwCompress(&one, 1, &out));
  EXPECT_EQ(out.size(), 9u);
}

TEST(Lzw, RoundTripsEveryShapeOfInput) {
  std::mt19937 rng(7);
  std::vector<std::vector<uint8_t>> inputs;
  inputs.push_back({});
  for (size_t n : {1u, 2u, 3u, 255u, 256u, 511u, 512u, 513u, 4096u}) {
    std::vector<uint8_t> v(n);
    for (auto& b : v) b = static_cast<uint8_t>(rng() % 3);
    inputs.push_back(v);
  }
  // random bytes fill the 4,096-entry table many times over
  std::vector<uint8_t> noise(300000);
  for (auto& b : noise) b = static_cast<uint8_t>(rng());
  inputs.push_back(noise);
  // long runs reach long strings and the 12-bit width
  inputs.push_back(std::vector<uint8_t>(200000, 'x'));
  std::vector<uint8_t> text;
  for (int k = 0; k < 20000; ++k) {
    std::string w = "<Panel Name=\"p" + std::to_string(k % 97) + "\" Width=\"" + std::to_string(k) + "\"/>\n";
    text.insert(text.end(), w.begin(), w.end());
  }
  inputs.push_back(text);
  for (const auto& in : inputs) {
    std::vector<uint8_t> packed, back;
    ASSERT_TRUE(LzwCompress(in.data(), in.size(), &packed));
    ASSERT_TRUE(LzwDecompress(packed.data(), packed.size(), &back)) << in.size();
    EXPECT_EQ(back, in) << in.size();
  }
}

TEST(Lzw, AcceptsClearBeforeTheCurrentByte) {
  // a clear in mid-stream right after a literal, as the common GIF order at a
  // full table writes it: clear, 'A', clear, 'B', end (9 bits each)
  std::vector<uint8_t> s = {2, 0, 0, 0, 8};
  uint32_t acc = 0;
  int bits = 0;
  for (int code : {256, 65, 256, 66, 257}) {
    acc |= static_cast<uint32_t>(code) << bits;
    bits += 9;
    while (bits >= 8) {
      s.push_back(static_cast<uint8_t>(acc));
      acc >>= 8;
      bits -= 8;
    }
  }
  if (bits) s.push_back(static_cast<uint8_t>(acc));
  std::vector<uint8_t> out;
  ASSERT_TRUE(LzwDecompress(s.data(), s.size(), &out));
  EXPECT_EQ(out, Bytes("AB"));
}

TEST(Lzw, RefusesDamagedStreams) {
  std::vector<uint8_t> good;
  const std::string text = "the quick brown fox jumps over the lazy dog, the quick brown fox";
  ASSERT_TRUE(LzwCompress(reinterpret_cast<const uint8_t*>(text.data()), text.size(), &good));
  std::vector<uint8_t> out;
  auto refuses = [&](std::vector<uint8_t> s, const char* what) {
    EXPECT_FALSE(LzwDecompress(s.data(), s.size(), &out)) << what;
  };
  {
    auto s = good;
    s[4] = 7;
    refuses(s, "root byte");
  }
  {
    auto s = good;
    s[0] += 1;
    refuses(s, "declared longer than the output");
  }
  {
    auto s = good;
    s[0] -= 1;
    refuses(s, "output beyond the declared length");
  }
  {
    auto s = good;
    s[0] = s[1] = s[2] = s[3] = 0xFF;
    refuses(s, "absurd declared length");
  }
  {
    auto s = good;
    s.resize(s.size() - 3);
    refuses(s, "truncated");
  }
  refuses({1, 0, 0, 0}, "no root byte");
  // clear then a code that is not a literal
  refuses({1, 0, 0, 0, 8, 0x00, 0x03, 0x04}, "first code not a literal");
  // clear, 'A', then code 300 far beyond the next free code
  {
    std::vector<uint8_t> s = {2, 0, 0, 0, 8};
    uint64_t acc = 256ull | 65ull << 9 | 300ull << 18 | 257ull << 27;
    for (int k = 0; k < 5; ++k) s.push_back(static_cast<uint8_t>(acc >> (8 * k)));
    refuses(s, "code beyond the table");
  }
  // flipping any single byte never crashes
  for (size_t k = 5; k < good.size(); ++k) {
    auto s = good;
    s[k] ^= 0x5A;
    LzwDecompress(s.data(), s.size(), &out);
  }
}

}  // namespace
}  // namespace varnak::ui
