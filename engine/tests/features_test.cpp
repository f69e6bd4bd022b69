// The features library through the real DLL: loading plain and compressed
// libraries, lookups with extended checks against PE fixtures, the DNS list
// and the stored user choices.
#include <gtest/gtest.h>

#include "engine/core/zlib_frame.h"
#include "engine/tests/engine_test_util.h"

namespace varnak::test {
namespace {

// The fixture's company, description and signer (make_fixtures.py).
const std::string kCompany = "瓦纳克测试公司";
const std::string kSigner = "瓦纳克测试签名";

class FeaturesLib : public testing::Test {
 protected:
  void SetUp() override { ORLIMB(FreeFeaturesLib)(); }
  void TearDown() override { ORLIMB(FreeFeaturesLib)(); }

  std::string Packed(const std::string& json) {
    std::vector<uint8_t> z;
    engine::ZlibCompress(reinterpret_cast<const uint8_t*>(json.data()), json.size(), &z);
    return std::string(z.begin(), z.end());
  }
  TempFolder dir_;
};

const char kLibrary[] = R"({
  "LibName": "fixture",
  "lib": [
    {"PName": "ORLIMB_VERSIONED.EXE", "Sug": 7, "Rem": "公司不符", "IsExt": true, "CompanyName": "别的公司"},
    {"PName": "orlimb_versioned.exe", "Sug": 8, "Rem": "公司和签名", "IsExt": true,
     "CompanyName": "瓦纳克", "SigName": "测试签名"},
    {"PName": "orlimb_versioned.exe", "Sug": 9, "Rem": "plain"},
    {"PName": "signed.exe", "Sug": 10, "Rem": "signed", "IsExt": true, "SigName": "瓦纳克测试签名"},
    {"PName": "tampered.exe", "Sug": 11, "IsExt": true, "Description": "不在描述里"}
  ],
  "DnsLib": [{"Ip": "223.5.5.5"}, {"Ip": "114.114.114.114"}]
})";

TEST_F(FeaturesLib, PlainAndCompressedLibrariesLoadAlike) {
  for (bool packed : {false, true}) {
    ORLIMB(FreeFeaturesLib)();
    ASSERT_TRUE(dir_.Write("FeaturesLib.qvx", packed ? Packed(kLibrary) : std::string(kLibrary)));
    ASSERT_EQ(ORLIMB(InitFeaturesLib)(dir_.File("FeaturesLib.qvx").c_str()), 1) << packed;
    EXPECT_EQ(GetFileAttributesA(dir_.File("Lib.tmp").c_str()), INVALID_FILE_ATTRIBUTES);  // decompressed in memory
    ASSERT_EQ(ORLIMB(GetDnsLibCount)(), 2);
    char ip[17] = "keep";
    EXPECT_EQ(ORLIMB(GetDnsByIndex)(1, ip), 1);
    EXPECT_STREQ(ip, "114.114.114.114");
    EXPECT_EQ(ORLIMB(GetDnsByIndex)(2, ip), 0);
    EXPECT_EQ(ORLIMB(GetDnsByIndex)(0, nullptr), 0);
  }
  // loaded: another path does nothing and answers 1
  EXPECT_EQ(ORLIMB(InitFeaturesLib)(dir_.File("missing.qvx").c_str()), 1);
  ORLIMB(FreeFeaturesLib)();
  EXPECT_EQ(ORLIMB(GetDnsLibCount)(), 0);
  EXPECT_EQ(ORLIMB(InitFeaturesLib)(dir_.File("missing.qvx").c_str()), 0);
  ASSERT_TRUE(dir_.Write("broken.qvx", "{ not json"));
  DebugCapture capture;
  EXPECT_EQ(ORLIMB(InitFeaturesLib)(dir_.File("broken.qvx").c_str()), 0);
  EXPECT_TRUE(capture.Contains("reader.parse失败!"));
}

TEST_F(FeaturesLib, SuggestionsWithExtendedChecks) {
  ASSERT_TRUE(dir_.Write("FeaturesLib.qvx", kLibrary));
  ASSERT_EQ(ORLIMB(InitFeaturesLib)(dir_.File("FeaturesLib.qvx").c_str()), 1);
  auto suggest = ORLIMB(GetFeaturesLibSuggest);
  // the versioned fixture is unsigned: the company+signer entry fails, the plain one answers
  char remark[51] = {};
  int sug = -1;
  ASSERT_EQ(suggest(Fixture("orlimb_versioned.exe").c_str(), remark, &sug), 1);
  EXPECT_EQ(sug, 9);
  EXPECT_STREQ(remark, "plain");
  // the signed copy of it is named signed.exe: its signer contains the part
  ASSERT_EQ(suggest(Fixture("signed.exe").c_str(), remark, &sug), 1);
  EXPECT_EQ(sug, 10);
  // a description that is not contained: never matches
  sug = -1;
  strcpy(remark, "keep");
  EXPECT_EQ(suggest(Fixture("tampered.exe").c_str(), remark, &sug), 0);
  EXPECT_EQ(sug, -1);
  EXPECT_STREQ(remark, "keep");
  EXPECT_EQ(suggest("C:\\nowhere\\unknown.exe", remark, &sug), 0);
  EXPECT_EQ(suggest(nullptr, remark, &sug), 0);
  EXPECT_EQ(suggest(Fixture("signed.exe").c_str(), nullptr, &sug), 0);
  EXPECT_EQ(suggest(Fixture("signed.exe").c_str(), remark, nullptr), 0);
}

TEST_F(FeaturesLib, SignedCopyMatchesTheCompanyAndSignerEntry) {
  // the signed fixture under the versioned name: company and signer both pass
  std::string copy = dir_.Copy(Fixture("signed.exe"), "orlimb_versioned.exe");
  ASSERT_FALSE(copy.empty());
  ASSERT_TRUE(dir_.Write("FeaturesLib.qvx", kLibrary));
  ASSERT_EQ(ORLIMB(InitFeaturesLib)(dir_.File("FeaturesLib.qvx").c_str()), 1);
  char remark[51] = {};
  int sug = 0;
  DebugCapture capture;
  ASSERT_EQ(ORLIMB(GetFeaturesLibSuggest)(copy.c_str(), remark, &sug), 1);
  EXPECT_EQ(sug, 8);
  EXPECT_STREQ(remark, "公司和签名");
  EXPECT_TRUE(capture.Contains("[GetFeaturesLibSuggest] 需要获取扩展信息\r\n"));
}

TEST_F(FeaturesLib, ARealisticLibraryCompressedBeyondTenToOne) {
  std::string json = "{\"LibName\":\"big\",\"lib\":[";
  for (int i = 0; i < 6000; ++i) {
    if (i) json += ",";
    json += "{\"PName\":\"process" + std::to_string(i) + ".exe\",\"Sug\":" + std::to_string(i % 5) +
            ",\"Rem\":\"常见的系统进程,建议保留\",\"IsExt\":false}";
  }
  json += "],\"DnsLib\":[{\"Ip\":\"8.8.8.8\"}]}";
  const std::string packed = Packed(json);
  ASSERT_GT(json.size(), packed.size() * 10) << "the library must compress beyond the UnZip export's ratio";
  ASSERT_TRUE(dir_.Write("FeaturesLib.qvx", packed));
  ASSERT_EQ(ORLIMB(InitFeaturesLib)(dir_.File("FeaturesLib.qvx").c_str()), 1);
  char remark[51] = {};
  int sug = -1;
  ASSERT_EQ(ORLIMB(GetFeaturesLibSuggest)("C:\\x\\PROCESS5999.EXE", remark, &sug), 1);
  EXPECT_EQ(sug, 5999 % 5);
  EXPECT_STREQ(remark, "常见的系统进程,建议保留");
}

TEST_F(FeaturesLib, FailedDnsListKeepsTheTables) {
  ASSERT_TRUE(dir_.Write("FeaturesLib.qvx",
                         R"({"lib":[{"PName":"a.exe","Sug":1}],"DnsLib":[{"Ip":"1.1.1.1"},{"Ip":"11111.11111.11111"}]})"));
  DebugCapture capture;
  EXPECT_EQ(ORLIMB(InitFeaturesLib)(dir_.File("FeaturesLib.qvx").c_str()), 0);
  EXPECT_TRUE(capture.Contains("DNS数据库IP长度错误"));
  EXPECT_EQ(ORLIMB(GetDnsLibCount)(), 2);
  EXPECT_EQ(ORLIMB(InitFeaturesLib)(dir_.File("FeaturesLib.qvx").c_str()), 1);  // counts set: "loaded"
  char remark[51];
  int sug = 0;
  EXPECT_EQ(ORLIMB(GetFeaturesLibSuggest)("a.exe", remark, &sug), 1);
}

TEST_F(FeaturesLib, UserChoices) {
  const std::string ini = dir_.File("conf.ini");
  auto get = ORLIMB(GetUserSelect);
  auto set = ORLIMB(SetUserSelect);
  int selection = 7;
  EXPECT_EQ(get("qq.exe", ini.c_str(), &selection), 0);
  set("qq.exe", ini.c_str(), 1);
  set("进程.exe", ini.c_str(), 0);
  EXPECT_EQ(get("QQ.EXE", ini.c_str(), &selection), 1);
  EXPECT_EQ(selection, 1);
  EXPECT_EQ(get("进程.exe", ini.c_str(), &selection), 1);
  EXPECT_EQ(selection, 0);
  WritePrivateProfileStringA("UserSelect", "odd.exe", "SelectXYZ", ini.c_str());
  selection = 5;
  EXPECT_EQ(get("odd.exe", ini.c_str(), &selection), 1);
  EXPECT_EQ(selection, 5);  // another value: 1, selection untouched
  // null or empty names do nothing: no whole-section deletion, no "=Select" line
  set(nullptr, ini.c_str(), 1);
  set("", ini.c_str(), 1);
  EXPECT_EQ(get("qq.exe", ini.c_str(), &selection), 1);
  EXPECT_EQ(get(nullptr, ini.c_str(), &selection), 0);
  EXPECT_EQ(get("", ini.c_str(), &selection), 0);
  std::string text;
  ReadFileBytes(ini, &text);
  EXPECT_EQ(text.find("\n=Select"), std::string::npos) << text;
}

}  // namespace
}  // namespace varnak::test
