// Attribute syntaxes: the rules and fallbacks that stored skins rely on.
#include "ui/core/attr_syntax.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace varnak::ui {
namespace {

TEST(AttrSyntax, Boolean) {
  for (const wchar_t* f : {L"0", L"false", L"FALSE", L"False"}) EXPECT_FALSE(ParseBoolean(f)) << f;
  for (const wchar_t* t : {L"", L"no", L"off", L"1", L"true", L"00"}) EXPECT_TRUE(ParseBoolean(t)) << t;
}

TEST(AttrSyntax, Integer) {
  struct Case {
    const wchar_t* text;
    bool ok;
    int32_t value;
  } cases[] = {
      {L"12", true, 12},           {L" 12", true, 12},     {L"\t7", true, 7},
      {L"12abc", true, 12},        {L"-5", true, -5},      {L"+5", true, 5},
      {L"0x80FF0000", true, static_cast<int32_t>(0x80FF0000u)},
      {L"4278190080", true, static_cast<int32_t>(0xFF000000u)},
      {L"99999999999", true, 1215752191}, {L"0x1FFFFFFFF", true, -1},
      {L"-0x10", true, -16},       {L"0x", true, 0},       {L"", false, 0},
      {L"abc", false, 0},          {L"-", false, 0},
  };
  for (const Case& c : cases) {
    int32_t v = 99;
    EXPECT_EQ(ParseInteger(c.text, &v), c.ok) << c.text;
    EXPECT_EQ(v, c.value) << c.text;
  }
}

TEST(AttrSyntax, Color) {
  struct Case {
    const wchar_t* text;
    uint32_t argb;
  } cases[] = {
      {L"255,0,0", 0xFFFF0000u},     {L"128,255,0,0", 0x80FF0000u}, {L"0x80FF0000", 0x80FF0000u},
      {L"255,0", 0u},                {L"", 0u},                      {L"255,,0,0", 0xFFFF0000u},
      {L"1,2,3,4,5", 0x01020304u},   {L"256,257,258", 0xFF000102u}, {L"4278190335", 0xFF0000FFu},
      {L"red", 0u},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseColor(c.text), c.argb) << c.text;
}

TEST(AttrSyntax, FourNumbersRememberOriginAndNotSet) {
  Numbers three = ParseFourNumbers(L"1,2,3");
  EXPECT_FALSE(three.set);
  EXPECT_EQ(three.Int(0), 0);

  Numbers ints = ParseFourNumbers(L"1,,2,3,4,9");
  ASSERT_TRUE(ints.set);
  EXPECT_FALSE(ints.real);
  EXPECT_EQ(ints.Int(1), 2);
  EXPECT_EQ(ints.Int(3), 4);
  EXPECT_FLOAT_EQ(ints.Float(2), 3.0f);

  Numbers reals = ParseFourNumbers(L"1.9,2,-3.7,4");
  ASSERT_TRUE(reals.real);
  EXPECT_EQ(reals.Int(0), 1);
  EXPECT_EQ(reals.Int(2), -3);  // truncation toward zero
}

TEST(AttrSyntax, HugeAndNonFiniteRealsSaturate) {
  Numbers n = ParseFourNumbers(L"1e20,-1e40,nan,inf.");
  ASSERT_TRUE(n.set && n.real);
  EXPECT_EQ(n.Int(0), std::numeric_limits<int32_t>::max());
  EXPECT_EQ(n.Int(1), std::numeric_limits<int32_t>::min());
  EXPECT_EQ(n.Int(2), 0);
  EXPECT_EQ(n.Int(3), std::numeric_limits<int32_t>::max());
  EXPECT_EQ(SaturateToInt(-2.9), -2);
  EXPECT_EQ(SaturateToInt(std::nan("")), 0);
  Numbers big = ParseFourNumbers(L"99999999999,-99999999999,0,0");
  EXPECT_EQ(big.Int(0), std::numeric_limits<int32_t>::max());
  EXPECT_EQ(big.Int(1), std::numeric_limits<int32_t>::min());
}

TEST(AttrSyntax, PointAndSize) {
  Numbers p = ParsePoint(L"-3,4");
  ASSERT_TRUE(p.set);
  EXPECT_EQ(p.Int(0), -3);
  EXPECT_FALSE(ParsePoint(L"3").set);
  Numbers s = ParseSize(L"-1,7");
  ASSERT_TRUE(s.set);
  EXPECT_EQ(static_cast<uint32_t>(s.Int(0)), 0xFFFFFFFFu);
  EXPECT_EQ(s.Int(1), 7);
  EXPECT_TRUE(ParseSize(L"0.5,2").real);
}

TEST(AttrSyntax, EnumLeavesValueOnUnknownWord) {
  const EnumWord words[] = {{L"Left", 1}, {L"Conter", 0}};
  int32_t v = 7;
  EXPECT_TRUE(ParseEnum(L"left", words, 2, &v));
  EXPECT_EQ(v, 1);
  EXPECT_FALSE(ParseEnum(L"Center", words, 2, &v));
  EXPECT_EQ(v, 1);
}

TEST(AttrSyntax, OnMessage) {
  auto m = ParseOnMessage(L"514-ReloadProcessList;0x201-Down;514-Second;0-Zero;7-;nodash;8-X ;9-Tail");
  ASSERT_EQ(m.size(), 3u);
  EXPECT_EQ(m[514], L"ReloadProcessList");
  EXPECT_EQ(m[0x201], L"Down");
  EXPECT_EQ(m[8], L"X ");  // not trimmed: handler names compare exactly
  EXPECT_EQ(m.count(9), 0u);
}

TEST(AttrSyntax, EqualsNoCase) {
  EXPECT_TRUE(EqualsNoCase(L"AlignmentX", L"alignmentx"));
  EXPECT_FALSE(EqualsNoCase(L"Width", L"Widt"));
}

}  // namespace
}  // namespace varnak::ui
