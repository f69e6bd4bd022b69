// Arrangement rules of the panel family, one child at a time: the plain
// panel, the stack panel (edge, fill and centred modes), the dock panel, the
// wrap panel and the grid panel with its edges and cells. Platform-free;
// coordinates are 64-bit here and clamped when a panel stores them.
#ifndef VARNAK_UI_CORE_LAYOUT_RULES_H
#define VARNAK_UI_CORE_LAYOUT_RULES_H

#include <cstdint>
#include <string>
#include <vector>

namespace varnak::ui {

struct LRect {
  int64_t left = 0, top = 0, right = 0, bottom = 0;
  int64_t Width() const { return right - left; }
  int64_t Height() const { return bottom - top; }
  bool operator==(const LRect& o) const {
    return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
  }
};

// Alignment values shared by both axes (0 centre, 1 left, 2 top, 3 right,
// 4 bottom, 5 fill); -1 where a child has no value.
constexpr int32_t kNoValue = -1;

// What a rule needs to know of one child.
struct LayoutItem {
  int32_t w = -1, h = -1;                  // fixed size, or -1 to stretch
  int32_t ml = 0, mt = 0, mr = 0, mb = 0;  // margin
  bool counted = true;                     // visible, or the panel keeps hidden children's place
  int32_t align_x = kNoValue, align_y = kNoValue;
  int32_t major_dock = kNoValue, minor_dock = kNoValue;
  int64_t Dx() const { return int64_t{ml} + mr + (w != -1 ? w : 0); }
  int64_t Dy() const { return int64_t{mt} + mb + (h != -1 ? h : 0); }
};

// The empty rectangle a child that is not counted gets.
LRect UncountedRect(const LRect& r);

LRect ArrangePlain(const LRect& r, const LayoutItem& x, int32_t panel_align_x, int32_t panel_align_y);

// orientation: 0 vertical, 1 horizontal.
LRect ArrangeStack(const LRect& r, const std::vector<LayoutItem>& items, size_t index, int32_t major, int32_t minor,
                   int32_t orientation);
// Along the stacking axis the sum of the desired sizes, across it the largest.
void StackContentExtent(const std::vector<LayoutItem>& items, int32_t major, int32_t minor, int32_t orientation,
                        int64_t* width, int64_t* height);

LRect ArrangeDock(const LRect& r, const std::vector<LayoutItem>& items, size_t index);

LRect ArrangeWrap(const LRect& r, const std::vector<LayoutItem>& items, size_t index, int32_t orientation,
                  bool reverse_x, bool reverse_y);

struct GridDefinition {
  bool star = true;
  uint32_t value = 1;
};
// "120" pixels, "2*" a star of 2; a star of 0 becomes 1; no number reads as 0.
GridDefinition ParseGridSize(const std::wstring& text);
// The far edge of every definition between start and end (see the grid rule).
std::vector<int64_t> GridEdges(int64_t start, int64_t end, const std::vector<GridDefinition>& definitions);

struct GridPlace {
  int32_t column = -1, row = -1;
  int32_t column_span = 1, row_span = 1;
};
// The cell of a place; positions and spans are clamped into the grid.
LRect GridCell(const LRect& r, const std::vector<int64_t>& columns, const std::vector<int64_t>& rows,
               const GridPlace& place);
LRect ArrangeInCell(const LRect& cell, const LayoutItem& x);

}  // namespace varnak::ui

#endif
