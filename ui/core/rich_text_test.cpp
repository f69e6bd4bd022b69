// Rich text segments and their style items.
#include "ui/core/rich_text.h"

#include <gtest/gtest.h>

namespace varnak::ui {
namespace {

TEST(RichText, Segments) {
  auto runs = ParseRichText(L"Free: [.]color=255,0,0;BOLD=true;size=14.5;nokey;stretch=99[/.]12 MB[.][/.] left");
  ASSERT_EQ(runs.size(), 3u);
  EXPECT_EQ(runs[0].text, L"Free: ");
  EXPECT_FALSE(runs[0].style.has_color);
  EXPECT_EQ(runs[1].text, L"12 MB");
  EXPECT_TRUE(runs[1].style.has_color);
  EXPECT_EQ(runs[1].style.color, 0xFFFF0000u);
  EXPECT_EQ(runs[1].style.weight, 700);
  EXPECT_FLOAT_EQ(runs[1].style.size, 14.5f);
  EXPECT_EQ(runs[1].style.stretch, 9);
  EXPECT_EQ(runs[2].text, L" left");
  EXPECT_FALSE(runs[2].style.has_weight);

  EXPECT_EQ(ParseRichText(L"plain").size(), 1u);
  EXPECT_EQ(ParseRichText(L"").size(), 0u);
  auto unclosed = ParseRichText(L"a[.]size=3");
  ASSERT_EQ(unclosed.size(), 1u);
  EXPECT_EQ(unclosed[0].text, L"a[.]size=3");
}

}  // namespace
}  // namespace varnak::ui
