// Rich text of the Text drawable: "[.]style[/.]text" segments, where a style
// is "key=value;" items (family, size, color, bold, weight, stretch, italic,
// underline, strikeout; keys in any case). Platform-free.
#ifndef VARNAK_UI_CORE_RICH_TEXT_H
#define VARNAK_UI_CORE_RICH_TEXT_H

#include <cstdint>
#include <string>
#include <vector>

namespace varnak::ui {

// What a segment changes; unset fields keep the element's own value.
struct RichStyle {
  bool has_family = false, has_size = false, has_color = false, has_weight = false, has_stretch = false,
       has_italic = false, has_underline = false, has_strikeout = false;
  std::wstring family;
  float size = 0;
  uint32_t color = 0;
  int32_t weight = 400;
  int32_t stretch = 5;  // clamped to 0..9
  bool italic = false, underline = false, strikeout = false;
};

struct RichRun {
  std::wstring text;
  RichStyle style;
};

// Text before the first "[.]" (when not empty) is a run in the element's own
// style; every "[.]style[/.]" starts a run with that style.
std::vector<RichRun> ParseRichText(const std::wstring& text);

}  // namespace varnak::ui

#endif
