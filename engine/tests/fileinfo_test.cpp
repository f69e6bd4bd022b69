// File information and signatures through the real DLL, against PE fixtures
// built with windres and signed with osslsigncode.
#include <gtest/gtest.h>

#include "engine/tests/engine_test_util.h"

namespace varnak::test {
namespace {

// the fixtures' company and signer names (make_fixtures.py)
const char kCompany[] = "瓦纳克测试公司";
const char kSigner[] = "瓦纳克测试签名";

TEST(EngineFileInfo, VersionCompanyAndDescription) {
  const std::string file = Fixture("orlimb_versioned.exe");
  char out[260] = {};
  ASSERT_EQ(ORLIMB(GetFileVer)(file.c_str(), out), 1);
  EXPECT_STREQ(out, "1.2.3.4");  // the fixed version wins over the "9.9.9.9" string
  ASSERT_EQ(ORLIMB(GetFileCompanyName)(file.c_str(), out), 1);
  EXPECT_STREQ(out, kCompany);
  // a 400-byte description is cut to 258 bytes: 129 whole characters
  char big[400];
  memset(big, 'z', sizeof big);
  ASSERT_EQ(ORLIMB(GetFileDescription)(file.c_str(), big), 1);
  std::string expected;
  for (int i = 0; i < 129; ++i) expected += "长";
  EXPECT_EQ(std::string(big), expected);
  EXPECT_EQ(big[259], 'z');  // nothing beyond the 260-byte field
}

TEST(EngineFileInfo, FailuresLeaveTheBufferAlone) {
  const std::string bare = BuildBin() + "\\orlimb_victim.exe";
  const std::string missing = BuildBin() + "\\no-such-file.exe";
  const std::string too_long = "C:\\" + std::string(300, 'a') + ".exe";
  for (const std::string& file : {bare, missing, too_long}) {
    char out[260] = "keep";
    EXPECT_EQ(ORLIMB(GetFileVer)(file.c_str(), out), 0) << file;
    EXPECT_EQ(ORLIMB(GetFileCompanyName)(file.c_str(), out), 0) << file;
    EXPECT_EQ(ORLIMB(GetFileDescription)(file.c_str(), out), 0) << file;
    EXPECT_STREQ(out, "keep");
  }
  char out[260] = {};
  EXPECT_EQ(ORLIMB(GetFileVer)(nullptr, out), 0);
  EXPECT_EQ(ORLIMB(GetFileVer)(Fixture("orlimb_versioned.exe").c_str(), nullptr), 0);
  EXPECT_EQ(ORLIMB(GetFileCompanyName)(Fixture("orlimb_versioned.exe").c_str(), nullptr), 0);
}

TEST(EngineFileInfo, SignerAndHashCheck) {
  auto check = ORLIMB(CheckSigAndHashA);
  const struct {
    const char* file;
    int verify;
    int result;
    const char* signer;
  } cases[] = {
      {"signed.exe", 0, 1, kSigner},   {"signed.exe", 1, 1, kSigner},
      {"tampered.exe", 0, 1, kSigner},  // trusted without a check
      {"tampered.exe", 1, 0, kSigner},  // the hash no longer matches; the signer is still reported
      {"orlimb_versioned.exe", 0, 0, " "}, {"orlimb_versioned.exe", 1, 0, " "},
      {"no-such.exe", 0, 0, " "},
  };
  for (const auto& c : cases) {
    char signer[260] = "previous";
    EXPECT_EQ(check(c.verify, Fixture(c.file).c_str(), signer), c.result) << c.file << " " << c.verify;
    EXPECT_STREQ(signer, c.signer) << c.file;
  }
  EXPECT_EQ(check(1, Fixture("signed.exe").c_str(), nullptr), 1);  // a null signer still gives the result
  char signer[260] = "previous";
  EXPECT_EQ(check(0, nullptr, signer), 0);
  EXPECT_STREQ(signer, " ");
}

}  // namespace
}  // namespace varnak::test
