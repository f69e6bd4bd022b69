// The script library's platform-free rules.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "scripting/script_rules.h"

namespace seskel {
namespace {

TEST(ScriptRules, HandlesWrapModulo2To32) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    double in;
    int32_t out;
  } cases[] = {
      {0, 0},        {1.9, 1},           {-1.9, -1},         {nan, 0},
      {inf, 0},      {-inf, 0},          {2147483647.0, 2147483647},
      {2147483648.0, INT32_MIN},         {4294967295.0, -1}, {4294967296.0, 0},
      {4294967297.5, 1},                 {-4294967297.0, -1},
      {1e20, static_cast<int32_t>(1661992960u)},  // 10^20 mod 2^32
  };
  for (const Case& c : cases) EXPECT_EQ(ToWrapped32(c.in), c.out) << c.in;
}

TEST(ScriptRules, MillisecondsAreClamped) {
  EXPECT_EQ(ToMilliseconds(1.9), 1u);
  EXPECT_EQ(ToMilliseconds(-5), 0u);
  EXPECT_EQ(ToMilliseconds(std::nan("")), 0u);
  EXPECT_EQ(ToMilliseconds(4294967295.0), 0x7FFFFFFFu);  // never INFINITE
  EXPECT_EQ(ToMilliseconds(1e300), 0x7FFFFFFFu);
}

TEST(ScriptRules, IndexMustLieInRange) {
  size_t i = 99;
  EXPECT_TRUE(ToIndex(2.7, 3, &i));
  EXPECT_EQ(i, 2u);
  EXPECT_FALSE(ToIndex(3, 3, &i));
  EXPECT_FALSE(ToIndex(-1, 3, &i));
  EXPECT_FALSE(ToIndex(1e300, 3, &i));
  EXPECT_TRUE(ToIndex(-0.5, 3, &i));  // truncates toward zero
  EXPECT_EQ(i, 0u);
}

TEST(ScriptRules, RegistryRootsIgnoreLetterCase) {
  EXPECT_EQ(FindRegistryRoot("hkcu"), RegistryRoot::kCurrentUser);
  EXPECT_EQ(FindRegistryRoot("HKEY_LOCAL_MACHINE"), RegistryRoot::kLocalMachine);
  EXPECT_EQ(FindRegistryRoot("HkUs"), RegistryRoot::kUsers);
  EXPECT_EQ(FindRegistryRoot("HKU"), RegistryRoot::kNone);  // the short name is HKUS
  EXPECT_EQ(FindRegistryRoot("HKCR"), RegistryRoot::kClassesRoot);
  EXPECT_EQ(FindRegistryRoot("hkcc"), RegistryRoot::kCurrentConfig);
  EXPECT_EQ(FindRegistryRoot(""), RegistryRoot::kNone);
  EXPECT_EQ(FindRegistryRoot(nullptr), RegistryRoot::kNone);
}

TEST(ScriptRules, SpecialFoldersByNameOrAlias) {
  const SpecialFolder* desktop = FindSpecialFolder("desktop");
  ASSERT_NE(desktop, nullptr);
  EXPECT_STREQ(desktop->value, "Desktop");
  EXPECT_EQ(FindSpecialFolder("桌面"), desktop);
  EXPECT_EQ(FindSpecialFolder("\xD7\xC0\xC3\xE6"), desktop);  // the alias as GBK bytes
  const SpecialFolder* templates = FindSpecialFolder("Common_Templates");
  ASSERT_NE(templates, nullptr);
  EXPECT_EQ(templates->root, RegistryRoot::kLocalMachine);
  EXPECT_STREQ(templates->value, "Common Templates");
  EXPECT_STREQ(FindSpecialFolder("ie缓存")->value, "Cache");  // ASCII part of an alias folds too
  EXPECT_EQ(FindSpecialFolder("Downloads"), nullptr);
  EXPECT_EQ(FindSpecialFolder(""), nullptr);
}

TEST(ScriptRules, DownloadNamesStayInTheFolder) {
  for (const char* ok : {"UpTemp.exe", "LScript\\Upload.lua", "a.b\\c..d.txt", "乗\\x.txt", ".hidden"}) {
    EXPECT_TRUE(IsSafeLocalName(ok)) << ok;
  }
  for (const char* bad : {"", "..", "..\\x", "a\\..\\..\\x", "a/../x", "C:\\x", "C:x", "\\x", "/x",
                          "\\\\server\\share\\x", "a\\...\\x", "a\\.. \\x", "a\\.."}) {
    EXPECT_FALSE(IsSafeLocalName(bad)) << bad;
  }
  EXPECT_FALSE(IsSafeLocalName(nullptr));
}

TEST(ScriptRules, SeparatorsSkipGbkTrailBytes) {
  // "乗" is 0x81 0x5C in GBK: its trail byte is no separator
  EXPECT_EQ(LastSeparator("C:\\a\\乗"), 4);
  EXPECT_EQ(LastSeparator("乗"), -1);
  EXPECT_EQ(LastSeparator("C:\\"), 2);
  EXPECT_FALSE(EndsWithSeparator("C:\\乗"));
  EXPECT_TRUE(EndsWithSeparator("C:\\"));
  EXPECT_FALSE(EndsWithSeparator(""));
}

}  // namespace
}  // namespace seskel
