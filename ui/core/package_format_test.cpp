// Package formats: the stored digest and name vectors, index bounds, and the
// content coder's refusal of wrong passwords and altered bytes.
#include "ui/core/package_format.h"

#include <gtest/gtest.h>

#include "ui/core/md5_rc4.h"

namespace varnak::ui {
namespace {

std::string Hex(const uint8_t* b, size_t n) {
  static const char k[] = "0123456789abcdef";
  std::string s;
  for (size_t i = 0; i < n; ++i) {
    s += k[b[i] >> 4];
    s += k[b[i] & 15];
  }
  return s;
}

std::string NameText(const std::u16string& name) {
  std::string s;
  for (char16_t c : name) {
    s += static_cast<char>(c & 0xFF);
    s += static_cast<char>(c >> 8);
  }
  return s;
}

TEST(PackageFormat, DigestsAndElementNames) {
  EXPECT_EQ(Hex(Md5("secret", 6).bytes, 16), "5ebe2294ecd0e0f08eab7690d2a6ee69");
  EXPECT_EQ(Hex(Md5("", 0).bytes, 16), "d41d8cd98f00b204e9800998ecf8427e");
  std::string long_text(1000, 'a');
  EXPECT_EQ(Hex(Md5(long_text.data(), long_text.size()).bytes, 16), "cabe45dcc9ae5b66ba86600cca6b8ba8");
  const std::u16string xmls = HashedElementName(u"Xmls");
  EXPECT_EQ(NameText(xmls), "29B570D454438F44170BEAC4DC510CE5");
  EXPECT_EQ(xmls[0], 0x3932);
  EXPECT_EQ(xmls[15], 0x3545);
  EXPECT_EQ(NameText(HashedElementName(u"Default.xml")), "55595E74FA88553A67DA242FCAA0AD13");
  EXPECT_EQ(NameText(HashedElementName(u"xmls")), "9943D7E63519894027E5AB608D4B4746");
}

TEST(PackageFormat, Rc4KnownAnswer) {
  uint8_t data[] = {'P', 'l', 'a', 'i', 'n', 't', 'e', 'x', 't'};
  Rc4(reinterpret_cast<const uint8_t*>("Key"), 3, data, sizeof data);
  EXPECT_EQ(Hex(data, sizeof data), "bbf316e8d940af0ad3");
}

TEST(PackageFormat, InfoRecordLayout) {
  InfoRecord r;
  for (int k = 0; k < 16; ++k) r.digest[k] = static_cast<uint8_t>(k);
  r.enciphered = 1;
  r.compressed = 2;
  r.attributes = 0x21;
  r.creation_time = 0x0102030405060708ull;
  r.access_time = 0x1112131415161718ull;
  r.write_time = 0x2122232425262728ull;
  r.file_size = 0x0000000500000007ull;
  uint8_t b[kInfoRecordSize];
  r.Write(b);
  EXPECT_EQ(b[28], 0x08);  // times little-endian at unaligned offsets
  EXPECT_EQ(b[35], 0x01);
  EXPECT_EQ(b[44], 0x28);
  EXPECT_EQ(Hex(b + 52, 8), "0500000007000000");  // size: high half first, each half little-endian
  InfoRecord back;
  back.Read(b);
  uint8_t again[kInfoRecordSize];
  back.Write(again);
  EXPECT_EQ(Hex(b, sizeof b), Hex(again, sizeof again));
  EXPECT_EQ(back.file_size, r.file_size);
}

TEST(PackageFormat, IndexRoundTripAndBounds) {
  std::vector<IndexEntry> in(2);
  in[0].name = u"Xmls";
  in[0].info.attributes = 0x10;
  in[1].name = u"默认.xml";
  in[1].info.file_size = 42;
  std::vector<uint8_t> bytes;
  SerializeIndex(in, &bytes);
  EXPECT_EQ(bytes.size(), 2 * 62 + 10 + 14u);
  std::vector<IndexEntry> out;
  ASSERT_EQ(ParseIndex(bytes.data(), bytes.size(), &out), IndexStatus::kOk);
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(out[1].name, u"默认.xml");
  EXPECT_EQ(out[1].info.file_size, 42u);
  EXPECT_EQ(ParseIndex(nullptr, 0, &out), IndexStatus::kOk);

  auto with_length = [&](uint16_t len, size_t name_bytes) {
    std::vector<uint8_t> b(kInfoRecordSize, 0);
    b.push_back(static_cast<uint8_t>(len));
    b.push_back(static_cast<uint8_t>(len >> 8));
    b.insert(b.end(), name_bytes, 'a');
    return b;
  };
  for (auto b : {with_length(0, 0), with_length(3, 3), with_length(522, 522), with_length(10, 4),
                 std::vector<uint8_t>(bytes.begin(), bytes.end() - 1), std::vector<uint8_t>(30, 0)}) {
    EXPECT_EQ(ParseIndex(b.data(), b.size(), &out), IndexStatus::kCorrupt) << b.size();
  }
  // a name without terminator keeps L/2 - 1 units
  auto unterminated = with_length(6, 6);
  ASSERT_EQ(ParseIndex(unterminated.data(), unterminated.size(), &out), IndexStatus::kOk);
  EXPECT_EQ(out[0].name.size(), 2u);
}

TEST(PackageFormat, ContentRoundTripsWithEveryOption) {
  const std::string text = "<Window><Panel Name=\"a\"/></Window>";
  const auto* p = reinterpret_cast<const uint8_t*>(text.data());
  for (bool compress : {false, true})
    for (std::string password : {"", "secret"}) {
      InfoRecord info;
      std::vector<uint8_t> stored;
      ASSERT_TRUE(EncodeContent(p, text.size(), password, compress, &info, &stored));
      EXPECT_EQ(info.compressed != 0, compress);
      EXPECT_EQ(info.enciphered != 0, !password.empty());
      ASSERT_EQ(DecodeContent(&stored, info, password), DecodeStatus::kOk);
      EXPECT_EQ(std::string(stored.begin(), stored.end()), text);
    }
}

TEST(PackageFormat, WrongPasswordAndAlteredContent) {
  const std::string text(500, 'z');
  const auto* p = reinterpret_cast<const uint8_t*>(text.data());
  InfoRecord info;
  std::vector<uint8_t> stored;
  ASSERT_TRUE(EncodeContent(p, text.size(), "secret", true, &info, &stored));
  auto copy = stored;
  EXPECT_EQ(DecodeContent(&copy, info, ""), DecodeStatus::kWrongPassword);
  copy = stored;
  EXPECT_EQ(DecodeContent(&copy, info, "Secret"), DecodeStatus::kWrongPassword);

  InfoRecord plain_info;
  ASSERT_TRUE(EncodeContent(p, text.size(), "", true, &plain_info, &stored));
  copy = stored;
  copy[7] ^= 1;
  EXPECT_EQ(DecodeContent(&copy, plain_info, ""), DecodeStatus::kWrongPassword);
  // a digest that matches crafted garbage is no defence: the decoder still checks
  std::vector<uint8_t> crafted = {0xFF, 0xFF, 0xFF, 0x7F, 8, 0, 1, 2, 3};
  InfoRecord crafted_info;
  crafted_info.compressed = 1;
  Md5Digest d = Md5(crafted.data(), crafted.size());
  std::copy(d.bytes, d.bytes + 16, crafted_info.digest);
  EXPECT_EQ(DecodeContent(&crafted, crafted_info, ""), DecodeStatus::kCorrupt);
}

}  // namespace
}  // namespace varnak::ui
