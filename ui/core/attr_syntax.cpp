// Attribute syntaxes of the markup (see attr_syntax.h).
#include "ui/core/attr_syntax.h"

#include <cfloat>
#include <climits>
#include <cmath>
#include <cwchar>
#include <vector>

namespace varnak::ui {

int32_t SaturateToInt(double value) {
  if (std::isnan(value)) return 0;
  if (value >= 2147483647.0) return INT32_MAX;
  if (value <= -2147483648.0) return INT32_MIN;
  return static_cast<int32_t>(value);
}

float SaturateToFloat(double value) {
  if (std::isnan(value) || std::isinf(value)) return static_cast<float>(value);
  if (value > FLT_MAX) return FLT_MAX;
  if (value < -FLT_MAX) return -FLT_MAX;
  return static_cast<float>(value);
}

wchar_t UpperChar(wchar_t c) {
  if (c >= L'a' && c <= L'z') return static_cast<wchar_t>(c - L'a' + L'A');
  // Latin-1 and Greek/Cyrillic basics; markup names are ASCII in practice
  if ((c >= 0xE0 && c <= 0xFE && c != 0xF7) || (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) ||
      (c >= 0x430 && c <= 0x44F))
    return static_cast<wchar_t>(c - 0x20);
  return c;
}

bool EqualsNoCase(const std::wstring& a, const std::wstring& b) {
  if (a.size() != b.size()) return false;
  for (size_t k = 0; k < a.size(); ++k)
    if (UpperChar(a[k]) != UpperChar(b[k])) return false;
  return true;
}

bool ParseBoolean(const std::wstring& text) {
  return !(text == L"0" || EqualsNoCase(text, L"False"));
}

static int HexDigit(wchar_t c) {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'a' && c <= L'f') return c - L'a' + 10;
  if (c >= L'A' && c <= L'F') return c - L'A' + 10;
  return -1;
}

bool ParseInteger(const std::wstring& text, int32_t* value) {
  *value = 0;
  size_t p = 0;
  const size_t n = text.size();
  while (p < n && (text[p] == L' ' || text[p] == L'\t')) ++p;
  bool negative = false;
  if (p < n && (text[p] == L'-' || text[p] == L'+')) negative = text[p++] == L'-';
  uint32_t v = 0;  // unsigned, so long inputs wrap instead of overflowing
  bool any = false;
  if (p + 2 < n && text[p] == L'0' && (text[p + 1] == L'x' || text[p + 1] == L'X') &&
      HexDigit(text[p + 2]) >= 0) {
    for (p += 2; p < n && HexDigit(text[p]) >= 0; ++p) {
      v = v * 16u + static_cast<uint32_t>(HexDigit(text[p]));
      any = true;
    }
  } else {
    for (; p < n && text[p] >= L'0' && text[p] <= L'9'; ++p) {
      v = v * 10u + static_cast<uint32_t>(text[p] - L'0');
      any = true;
    }
  }
  if (!any) return false;
  if (negative) v = 0u - v;
  *value = static_cast<int32_t>(v);
  return true;
}

int32_t IntegerOrZero(const std::wstring& text) {
  int32_t v = 0;
  ParseInteger(text, &v);
  return v;
}

double ParseReal(const std::wstring& text) {
  const wchar_t* start = text.c_str();
  wchar_t* end = nullptr;
  double v = std::wcstod(start, &end);
  return end == start ? 0.0 : v;
}

// Non-empty comma-separated fields.
static std::vector<std::wstring> Fields(const std::wstring& text) {
  std::vector<std::wstring> out;
  size_t start = 0;
  while (start <= text.size()) {
    size_t comma = text.find(L',', start);
    if (comma == std::wstring::npos) comma = text.size();
    if (comma > start) out.push_back(text.substr(start, comma - start));
    start = comma + 1;
  }
  return out;
}

uint32_t ParseColor(const std::wstring& text) {
  if (text.find(L',') == std::wstring::npos) return static_cast<uint32_t>(IntegerOrZero(text));
  std::vector<std::wstring> f = Fields(text);
  auto byte = [&](size_t k) { return static_cast<uint32_t>(IntegerOrZero(f[k])) & 0xFFu; };
  if (f.size() == 3) return 0xFF000000u | byte(0) << 16 | byte(1) << 8 | byte(2);
  if (f.size() >= 4) return byte(0) << 24 | byte(1) << 16 | byte(2) << 8 | byte(3);
  return 0;
}

int32_t Numbers::Int(int k) const {
  if (!set) return 0;
  return real ? SaturateToInt(f[k]) : i[k];
}

float Numbers::Float(int k) const {
  if (!set) return 0.0f;
  return real ? f[k] : static_cast<float>(i[k]);
}

// wcstol/wcstoul with the 32-bit results of the Windows runtime: out-of-range
// values saturate (signed) or wrap by negation (unsigned), as there.
static int32_t ReadLong(const std::wstring& s) {
  long long v = std::wcstoll(s.c_str(), nullptr, 10);
  if (v > INT32_MAX) return INT32_MAX;
  if (v < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(v);
}

static int32_t ReadUnsignedLong(const std::wstring& s) {
  size_t p = 0;
  while (p < s.size() && (s[p] == L' ' || s[p] == L'\t')) ++p;
  bool negative = p < s.size() && s[p] == L'-';
  unsigned long long v = std::wcstoull(s.c_str() + p + (negative ? 1 : 0), nullptr, 10);
  uint32_t u = v > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<uint32_t>(v);
  if (negative && v <= 0xFFFFFFFFull) u = 0u - u;
  return static_cast<int32_t>(u);
}

static Numbers ParseNumberList(const std::wstring& text, size_t needed, bool unsigned_ints) {
  Numbers n;
  std::vector<std::wstring> f = Fields(text);
  if (f.size() < needed) return n;
  n.set = true;
  n.real = text.find(L'.') != std::wstring::npos;
  for (size_t k = 0; k < needed; ++k) {
    if (n.real)
      n.f[k] = SaturateToFloat(std::wcstod(f[k].c_str(), nullptr));
    else
      n.i[k] = unsigned_ints ? ReadUnsignedLong(f[k]) : ReadLong(f[k]);
  }
  return n;
}

Numbers ParseFourNumbers(const std::wstring& text) { return ParseNumberList(text, 4, false); }
Numbers ParsePoint(const std::wstring& text) { return ParseNumberList(text, 2, false); }
Numbers ParseSize(const std::wstring& text) { return ParseNumberList(text, 2, true); }

bool ParseEnum(const std::wstring& text, const EnumWord* words, size_t count, int32_t* value) {
  for (size_t k = 0; k < count; ++k) {
    if (EqualsNoCase(text, words[k].word)) {
      *value = words[k].value;
      return true;
    }
  }
  return false;
}

std::map<uint32_t, std::wstring> ParseOnMessage(const std::wstring& text) {
  std::map<uint32_t, std::wstring> out;
  size_t start = 0;
  for (;;) {
    size_t semi = text.find(L';', start);
    if (semi == std::wstring::npos) break;  // text after the last ";" is ignored
    std::wstring entry = text.substr(start, semi - start);
    start = semi + 1;
    size_t dash = entry.find(L'-');
    if (dash == std::wstring::npos) continue;
    uint32_t number = static_cast<uint32_t>(IntegerOrZero(entry.substr(0, dash)));
    std::wstring handler = entry.substr(dash + 1);
    if (number == 0 || handler.empty()) continue;
    out.emplace(number, handler);  // keeps the first entry of a number
  }
  return out;
}

}  // namespace varnak::ui
