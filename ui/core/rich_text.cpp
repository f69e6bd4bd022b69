// Rich text segments (see rich_text.h).
#include "ui/core/rich_text.h"

#include <algorithm>

#include "ui/core/attr_syntax.h"

namespace varnak::ui {
namespace {

RichStyle ParseStyle(const std::wstring& text) {
  RichStyle s;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(L';', start);
    if (end == std::wstring::npos) end = text.size();
    const std::wstring item = text.substr(start, end - start);
    start = end + 1;
    const size_t eq = item.find(L'=');
    if (eq == std::wstring::npos) continue;
    const std::wstring key = item.substr(0, eq), value = item.substr(eq + 1);
    if (EqualsNoCase(key, L"family")) {
      s.family = value;
      s.has_family = true;
    } else if (EqualsNoCase(key, L"size")) {
      s.size = SaturateToFloat(ParseReal(value));
      s.has_size = true;
    } else if (EqualsNoCase(key, L"color")) {
      s.color = ParseColor(value);
      s.has_color = true;
    } else if (EqualsNoCase(key, L"bold")) {
      s.weight = ParseBoolean(value) ? 700 : 400;
      s.has_weight = true;
    } else if (EqualsNoCase(key, L"weight")) {
      s.weight = IntegerOrZero(value);
      s.has_weight = true;
    } else if (EqualsNoCase(key, L"stretch")) {
      s.stretch = std::clamp(IntegerOrZero(value), 0, 9);
      s.has_stretch = true;
    } else if (EqualsNoCase(key, L"italic")) {
      s.italic = ParseBoolean(value);
      s.has_italic = true;
    } else if (EqualsNoCase(key, L"underline")) {
      s.underline = ParseBoolean(value);
      s.has_underline = true;
    } else if (EqualsNoCase(key, L"strikeout")) {
      s.strikeout = ParseBoolean(value);
      s.has_strikeout = true;
    }
  }
  return s;
}

}  // namespace

std::vector<RichRun> ParseRichText(const std::wstring& text) {
  static const std::wstring kOpen = L"[.]", kClose = L"[/.]";
  std::vector<RichRun> runs;
  size_t open = text.find(kOpen);
  const std::wstring lead = text.substr(0, open == std::wstring::npos ? text.size() : open);
  if (!lead.empty()) runs.push_back(RichRun{lead, RichStyle()});
  while (open != std::wstring::npos) {
    const size_t style_start = open + kOpen.size();
    const size_t close = text.find(kClose, style_start);
    if (close == std::wstring::npos) {
      // an unclosed style: the rest is text of the last style
      if (!runs.empty()) runs.back().text += text.substr(open);
      else runs.push_back(RichRun{text.substr(open), RichStyle()});
      break;
    }
    RichRun run;
    run.style = ParseStyle(text.substr(style_start, close - style_start));
    const size_t body = close + kClose.size();
    open = text.find(kOpen, body);
    run.text = text.substr(body, (open == std::wstring::npos ? text.size() : open) - body);
    runs.push_back(std::move(run));
  }
  return runs;
}

}  // namespace varnak::ui
