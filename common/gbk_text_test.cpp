// Tests of the GBK text helpers: cuts never split a character, nothing overflows.
#include "common/gbk_text.h"

#include <gtest/gtest.h>

#include <cstring>

namespace varnak {
namespace {

// "进程" in GBK: BD F8 B3 CC
const char kJinCheng[] = "\xBD\xF8\xB3\xCC";

TEST(GbkText, CutKeepsWholeCharacters) {
  struct Case {
    const char* text;
    size_t dest_size;
    const char* expected;
  } cases[] = {
      {"abc", 4, "abc"},
      {"abcd", 4, "abc"},
      {kJinCheng, 5, kJinCheng},
      {kJinCheng, 4, "\xBD\xF8"},          // 3 bytes of room: one character
      {kJinCheng, 2, ""},                  // 1 byte of room: no half character
      {"a\xBD\xF8", 3, "a"},
      {"a\xBD", 8, "a"},                   // dangling lead byte dropped
      {"", 1, ""},
      {nullptr, 4, ""},
  };
  for (const Case& c : cases) {
    char buf[16];
    std::memset(buf, 'X', sizeof buf);
    const size_t n = CutGbkText(buf, c.dest_size, c.text);
    EXPECT_STREQ(buf, c.expected) << "size " << c.dest_size;
    EXPECT_EQ(n, std::strlen(c.expected));
    EXPECT_EQ(buf[c.dest_size], 'X') << "wrote past the field";
  }
}

TEST(GbkText, CutToleratesNoRoom) {
  EXPECT_EQ(CutGbkText(nullptr, 10, "abc"), 0u);
  char c = 'X';
  EXPECT_EQ(CutGbkText(&c, 0, "abc"), 0u);
  EXPECT_EQ(c, 'X');
}

TEST(GbkText, WholeCopyRefusesWhatDoesNotFit) {
  char buf[4];
  EXPECT_TRUE(CopyGbkWhole(buf, sizeof buf, "abc"));
  EXPECT_STREQ(buf, "abc");
  EXPECT_FALSE(CopyGbkWhole(buf, sizeof buf, "abcd"));
  EXPECT_STREQ(buf, "");
  EXPECT_TRUE(CopyGbkWhole(buf, sizeof buf, nullptr));
  EXPECT_STREQ(buf, "");
}

TEST(GbkText, LowerLeavesTrailBytesAlone) {
  // 0xB0 0x41 is a GBK character whose trail byte is 'A'
  EXPECT_EQ(GbkLower("ABC.EXE"), "abc.exe");
  EXPECT_EQ(GbkLower("\xB0\x41Z"), "\xB0\x41z");
  EXPECT_EQ(GbkLower(std::string(kJinCheng) + "QQ.Exe"), std::string(kJinCheng) + "qq.exe");
}

}  // namespace
}  // namespace varnak
