// Host tests of the features library parser and lookup, and of the DNS
// probe's packets.
#include <gtest/gtest.h>

#include <map>

#include "engine/core/dns_packet.h"
#include "engine/core/features_lib.h"

namespace varnak::engine {
namespace {

struct Logged {
  std::vector<std::string> lines;
  LogSink sink() {
    return [this](const std::string& l) { lines.push_back(l); };
  }
  bool Has(const std::string& text) const {
    for (const auto& l : lines) {
      if (l.find(text) != std::string::npos) return true;
    }
    return false;
  }
};

FileFacts Facts(std::map<std::string, std::string> known, int* reads = nullptr) {
  auto reader = [known, reads](const char* key) {
    return [known, reads, key](std::string* out) {
      if (reads) ++*reads;
      auto it = known.find(key);
      if (it == known.end()) return false;
      *out = it->second;
      return true;
    };
  };
  return FileFacts{reader("company"), reader("signer"), reader("description")};
}

TEST(FeaturesLib, ParsesEntriesAndDnsList) {
  const std::string doc = "\xEF\xBB\xBF"  // a BOM is skipped
      R"({ // comments are allowed
    "LibName": "test edition",
    "lib": [
      {"PName": "QQ.EXE", "Sug": 3, "Rem": "聊天工具", "IsExt": true, "SigName": "Tencent", "CompanyName": "Tencent"},
      {"PName": "qq.exe", "Sug": 1, "Rem": "plain"},
      {"PName": "svchost.exe", "Sug": -2}
    ],
    "DnsLib": [{"Ip": "114.114.114.114"}, {"Ip": "8.8.8.8"}]
  })";
  FeatureTables t;
  Logged log;
  ASSERT_EQ(ParseFeaturesLib(doc, &t, log.sink()), ParseOutcome::kOk);
  ASSERT_EQ(t.entries.size(), 3u);
  EXPECT_STREQ(t.entries[0].name, "qq.exe");
  EXPECT_EQ(t.entries[0].suggestion, 3);
  EXPECT_EQ(t.entries[0].extended, 1);
  EXPECT_STREQ(t.entries[0].signer, "Tencent");
  EXPECT_STREQ(t.entries[0].company, "Tencent");
  EXPECT_STREQ(t.entries[0].description, "");
  EXPECT_EQ(t.entries[2].suggestion, -2);
  ASSERT_EQ(t.dns.size(), 2u);
  EXPECT_STREQ(t.dns[1].data(), "8.8.8.8");
  EXPECT_TRUE(log.Has("特征库:PRocessName:qq.exe 进程描述:聊天工具\r\n"));
  EXPECT_TRUE(log.Has("DNSIP:114.114.114.114\r\n"));
}

TEST(FeaturesLib, LengthLimitsCountBytes) {
  const std::string fifty(50, 'r'), fifty_one(51, 'r');
  const std::string chinese_26 = [] {
    std::string s;
    for (int i = 0; i < 26; ++i) s += "\xB3\xA4";  // 52 bytes in GBK
    return s;
  }();
  const std::string doc = R"({"lib": [
      {"PName": "a.exe", "Rem": ")" + fifty + R"("},
      {"PName": "b.exe", "Rem": ")" + fifty_one + R"("},
      {"PName": "c.exe", "Rem": ")" + chinese_26 + R"(", "IsExt": true, "CompanyName": ")" + fifty_one + R"("},
      {"PName": ")" + std::string(260, 'n') + R"("}
    ], "DnsLib": []})";
  FeatureTables t;
  Logged log;
  ASSERT_EQ(ParseFeaturesLib(doc, &t, log.sink()), ParseOutcome::kOk);
  EXPECT_EQ(std::string(t.entries[0].remark), fifty);
  EXPECT_STREQ(t.entries[1].remark, "");
  EXPECT_TRUE(log.Has("特征库建议项:b.exe Rem超过50"));
  EXPECT_STREQ(t.entries[2].remark, "");
  EXPECT_STREQ(t.entries[2].company, "");
  EXPECT_TRUE(log.Has("特征库建议项:c.exe CompanyName超过50"));
  EXPECT_STREQ(t.entries[3].name, "");  // refused, never cut: it can match nothing
  EXPECT_EQ(FindFeature(t, "C:\\x\\b.exe", Facts({}), log.sink()), 1);  // still matches
}

TEST(FeaturesLib, WrongTypesReadAsMissingOrFailTheLoad) {
  FeatureTables t;
  Logged log;
  const std::string doc = R"({"LibName": 5, "lib": [
      {"PName": 7, "Sug": "3", "Rem": ["x"], "IsExt": "yes"},
      "not an object",
      {"PName": "ok.exe", "Sug": 99999999999}
    ], "DnsLib": [{"Ip": 8}]})";
  ASSERT_EQ(ParseFeaturesLib(doc, &t, log.sink()), ParseOutcome::kOk);
  ASSERT_EQ(t.entries.size(), 3u);
  EXPECT_STREQ(t.entries[0].name, "");
  EXPECT_EQ(t.entries[0].suggestion, 0);
  EXPECT_EQ(t.entries[0].extended, 0);
  EXPECT_STREQ(t.entries[2].name, "ok.exe");
  EXPECT_EQ(t.entries[2].suggestion, 0);  // out of range for 32 bits
  const char* bad[] = {"[1, 2]", R"({"lib": {"PName": "a.exe"}})", R"({"DnsLib": "8.8.8.8"})", "{ broken", ""};
  for (const char* d : bad) {
    FeatureTables keep;
    keep.entries.resize(1);
    EXPECT_EQ(ParseFeaturesLib(d, &keep, log.sink()), ParseOutcome::kBadDocument) << d;
    EXPECT_EQ(keep.entries.size(), 1u) << "a failed load leaves the tables alone";
  }
  EXPECT_TRUE(log.Has("reader.parse失败!"));
}

TEST(FeaturesLib, OverlongDnsAddressKeepsWhatWasFilled) {
  FeatureTables t;
  Logged log;
  const std::string doc =
      R"({"lib": [{"PName": "a.exe"}], "DnsLib": [{"Ip": "1.1.1.1"}, {"Ip": "111.111.111.1111x"}, {"Ip": "2.2.2.2"}]})";
  EXPECT_EQ(ParseFeaturesLib(doc, &t, log.sink()), ParseOutcome::kBadDnsAddress);
  EXPECT_TRUE(log.Has("DNS数据库IP长度错误"));
  ASSERT_EQ(t.dns.size(), 3u);  // the count is set; later slots stay empty
  EXPECT_STREQ(t.dns[0].data(), "1.1.1.1");
  EXPECT_STREQ(t.dns[1].data(), "");
  EXPECT_EQ(t.entries.size(), 1u);
}

TEST(FeaturesLib, LookupOrderAndExtendedChecks) {
  const std::string doc = R"({"lib": [
      {"PName": "Tool.exe", "Sug": 1, "Rem": "by company", "IsExt": true, "CompanyName": "Acme"},
      {"PName": "tool.exe", "Sug": 2, "Rem": "by signer and description", "IsExt": true,
       "SigName": "Acme Signing", "Description": "Updater"},
      {"PName": "tool.exe", "Sug": 3, "Rem": "fallback"},
      {"PName": "desc.exe", "Sug": 4, "IsExt": true, "Description": "Nope"}
    ]})";
  FeatureTables t;
  Logged log;
  ASSERT_EQ(ParseFeaturesLib(doc, &t, log.sink()), ParseOutcome::kOk);
  const struct {
    std::map<std::string, std::string> facts;
    std::string path;
    int want;
  } cases[] = {
      {{{"company", "Acme Corp"}}, "C:\\a\\TOOL.EXE", 0},
      {{{"company", "acme corp"}}, "C:\\a\\tool.exe", 2},  // containment is case-sensitive
      {{{"company", "Other"}, {"signer", "Acme Signing Ltd"}, {"description", "Updater 2"}}, "tool.exe", 1},
      {{{"signer", "Acme Signing Ltd"}, {"description", "Installer"}}, "D:/x/tool.exe", 2},
      {{{"signer", "Acme Signing Ltd"}}, "tool.exe", 2},  // unreadable description fails the entry
      {{}, "C:\\a\\tool.exe", 2},                           // nothing readable: the plain entry
      {{{"description", "Something"}}, "desc.exe", -1},   // only a description that is not contained
      {{}, "C:\\a\\other.exe", -1},
      {{}, "C:\\a\\" + std::string(300, 't') + ".exe", -1},
  };
  for (const auto& c : cases) {
    int reads = 0;
    EXPECT_EQ(FindFeature(t, c.path, Facts(c.facts, &reads), log.sink()), c.want) << c.path;
    EXPECT_LE(reads, 3);  // each fact read at most once
  }
  EXPECT_TRUE(log.Has("[GetFeaturesLibSuggest] 需要获取扩展信息\r\n"));
}

std::vector<uint8_t> Reply(std::vector<uint8_t> records, uint8_t count, const std::string& name = kDnsProbeName) {
  std::vector<uint8_t> query;
  BuildDnsQuery(name, &query);
  std::vector<uint8_t> r = query;
  r[2] = 0x81;
  r[3] = 0x80;
  r[7] = count;
  r.insert(r.end(), records.begin(), records.end());
  return r;
}

std::vector<uint8_t> A(uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
  return {0xC0, 0x0C, 0x00, 0x01, 0x00, 0x01, 0, 0, 0, 60, 0x00, 0x04, a, b, c, d};
}

std::vector<uint8_t> Cname(size_t data_len) {
  std::vector<uint8_t> r = {0xC0, 0x0C, 0x00, 0x05, 0x00, 0x01, 0, 0, 0, 60, 0x00, uint8_t(data_len)};
  r.insert(r.end(), data_len, 0x03);
  return r;
}

TEST(DnsPacket, QueryBytes) {
  std::vector<uint8_t> q;
  ASSERT_TRUE(BuildDnsQuery(kDnsProbeName, &q));
  ASSERT_EQ(std::string(kDnsProbeName).size(), 13u);
  EXPECT_EQ(q.size(), 31u);  // 13-character name: L = 15
  const std::vector<uint8_t> head = {8, 8, 1, 0, 0, 1, 0, 0, 0, 0, 0, 0, 3, 'w', 'w', 'w', 5};
  EXPECT_TRUE(std::equal(head.begin(), head.end(), q.begin()));
  const std::vector<uint8_t> tail = {3, 'c', 'o', 'm', 0, 0, 1, 0, 1};
  EXPECT_TRUE(std::equal(tail.begin(), tail.end(), q.end() - 9));
  for (const std::string& bad : std::vector<std::string>{"", "a..b", ".a", "a.", std::string(64, 'x')})
    EXPECT_FALSE(BuildDnsQuery(bad, &q)) << bad;
  std::string long_name;
  for (int i = 0; i < 20; ++i) long_name += "abcdefg.";
  long_name += "com";  // 164 bytes encoded
  EXPECT_FALSE(BuildDnsQuery(long_name, &q));
}

TEST(DnsPacket, ReplyRecords) {
  std::string ip;
  auto plain = Reply(A(1, 2, 3, 4), 1);
  ASSERT_TRUE(ParseDnsReply(plain.data(), plain.size(), &ip));
  EXPECT_EQ(ip, "1.2.3.4");
  auto records = Cname(9);
  auto a = A(10, 0, 0, 7);
  records.insert(records.end(), a.begin(), a.end());
  auto aliased = Reply(records, 2);
  ASSERT_TRUE(ParseDnsReply(aliased.data(), aliased.size(), &ip));
  EXPECT_EQ(ip, "10.0.0.7");
  EXPECT_TRUE(IsProbeReply(aliased.data(), aliased.size()));
  auto none = Reply({}, 0);
  EXPECT_FALSE(ParseDnsReply(none.data(), none.size(), &ip));
  // an unknown type: the next record is read from this record's data start
  std::vector<uint8_t> odd = {0xC0, 0x0C, 0x00, 0x10, 0x00, 0x01, 0, 0, 0, 60, 0x00, 0x04};
  auto a2 = A(9, 9, 9, 9);
  odd.insert(odd.end(), a2.begin(), a2.end());
  int unknown = 0;
  auto with_odd = Reply(odd, 2);
  ASSERT_TRUE(ParseDnsReply(with_odd.data(), with_odd.size(), &ip, [&](int t) { unknown = t; }));
  EXPECT_EQ(unknown, 16);
  EXPECT_EQ(ip, "9.9.9.9");
}

TEST(DnsPacket, HostileRepliesNeverReadPastTheReceivedBytes) {
  std::string ip = "unchanged";
  auto full = Reply(A(1, 2, 3, 4), 1);
  // every truncation of a valid reply fails (ASan catches any over-read:
  // each copy is exactly as long as the bytes "received")
  for (size_t n = 0; n < full.size(); ++n) {
    std::vector<uint8_t> cut(full.begin(), full.begin() + long(n));
    EXPECT_FALSE(ParseDnsReply(cut.data(), cut.size(), &ip)) << n;
  }
  // a question name without its zero byte
  std::vector<uint8_t> endless(12, 0);
  endless[7] = 1;
  endless.resize(1024, 'a');
  EXPECT_FALSE(ParseDnsReply(endless.data(), endless.size(), &ip));
  // counts claiming 255 + 255 + 255 records, an alias pointing far beyond
  auto many = Reply(Cname(250), 255);
  many[9] = 255;
  many[11] = 255;
  EXPECT_FALSE(ParseDnsReply(many.data(), many.size(), &ip));
  // unknown types repeated to the end
  std::vector<uint8_t> junk;
  for (int i = 0; i < 80; ++i) junk.insert(junk.end(), {0xC0, 0x0C, 0x00, 0x63, 0, 1, 0, 0, 0, 0, 0, 0});
  auto looping = Reply(junk, 200);
  EXPECT_FALSE(ParseDnsReply(looping.data(), looping.size(), &ip));
  EXPECT_EQ(ip, "unchanged");
  EXPECT_FALSE(IsProbeReply(full.data(), 1));
  full[0] = 0x12;
  EXPECT_FALSE(IsProbeReply(full.data(), full.size()));
}

}  // namespace
}  // namespace varnak::engine
