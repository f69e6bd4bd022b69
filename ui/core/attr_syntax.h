// The typed attribute syntaxes of the markup: boolean, integer, real, colour,
// four numbers, point, size, enumeration and the OnMessage map, plus the one
// saturating real-to-integer conversion every caller uses. Platform-free.
#ifndef VARNAK_UI_CORE_ATTR_SYNTAX_H
#define VARNAK_UI_CORE_ATTR_SYNTAX_H

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

namespace varnak::ui {

// Reals become integers only through this: NaN gives 0, anything outside the
// 32-bit range is clamped, the rest is truncated toward zero.
int32_t SaturateToInt(double value);
// Doubles become 32-bit floats only through this: clamped to the float range
// (infinities and NaN pass through).
float SaturateToFloat(double value);

// Ordinal comparison that ignores the case of letters.
bool EqualsNoCase(const std::wstring& a, const std::wstring& b);
wchar_t UpperChar(wchar_t c);

// "0" and "False" (any case) are false; everything else, "" included, true.
bool ParseBoolean(const std::wstring& text);

// Decimal, or hexadecimal after "0x", with leading blanks and an optional
// sign; trailing text is ignored; the value wraps to 32 bits. False (and 0)
// when no digit follows.
bool ParseInteger(const std::wstring& text, int32_t* value);
int32_t IntegerOrZero(const std::wstring& text);

// Decimal floating point; 0.0 when nothing parses.
double ParseReal(const std::wstring& text);

// ARGB colour: "R,G,B", "A,R,G,B" or one integer holding the whole value.
uint32_t ParseColor(const std::wstring& text);

// Four numbers, a point or a size, remembering whether they were read as
// integers or as reals, and whether the text set them at all.
struct Numbers {
  bool set = false;
  bool real = false;
  int32_t i[4] = {0, 0, 0, 0};
  float f[4] = {0, 0, 0, 0};
  // The value in whole pixels (reals truncated, saturating); 0 when not set.
  int32_t Int(int k) const;
  // The value in device-independent units; 0 when not set.
  float Float(int k) const;
};
Numbers ParseFourNumbers(const std::wstring& text);
Numbers ParsePoint(const std::wstring& text);
Numbers ParseSize(const std::wstring& text);

struct EnumWord {
  const wchar_t* word;
  int32_t value;
};
// Looks the word up case-insensitively; false leaves *value alone.
bool ParseEnum(const std::wstring& text, const EnumWord* words, size_t count, int32_t* value);

// "number-handler;" entries; the first entry of a number wins.
std::map<uint32_t, std::wstring> ParseOnMessage(const std::wstring& text);

}  // namespace varnak::ui

#endif
