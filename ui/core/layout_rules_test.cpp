// Arrangement rules: the documented cases of each panel kind and the
// clamping that keeps grid indexes inside the grid.
#include "ui/core/layout_rules.h"

#include <gtest/gtest.h>

namespace varnak::ui {
namespace {

LayoutItem Item(int32_t w, int32_t h, int32_t margin = 0) {
  LayoutItem i;
  i.w = w;
  i.h = h;
  i.ml = i.mt = i.mr = i.mb = margin;
  return i;
}

void ExpectRect(const LRect& r, int64_t l, int64_t t, int64_t rr, int64_t b) {
  EXPECT_EQ(r.left, l);
  EXPECT_EQ(r.top, t);
  EXPECT_EQ(r.right, rr);
  EXPECT_EQ(r.bottom, b);
}

TEST(LayoutRules, PlainPanelAlignment) {
  const LRect r{0, 0, 300, 50};
  struct Case {
    int32_t align;
    int64_t left, right;
  } cases[] = {{1, 0, 100}, {3, 200, 300}, {0, 100, 200}, {5, 100, 200}};
  for (const Case& c : cases) {
    LayoutItem x = Item(100, -1);
    x.align_x = c.align;
    LRect o = ArrangePlain(r, x, 0, 0);
    EXPECT_EQ(o.left, c.left) << c.align;
    EXPECT_EQ(o.right, c.right) << c.align;
  }
  ExpectRect(ArrangePlain(r, Item(400, -1), 1, 0), 0, 0, 300, 50);  // too wide: full width
  LayoutItem m = Item(10, 10, 5);
  ExpectRect(ArrangePlain(r, m, 1, 2), 5, 5, 15, 15);  // the panel's own alignment applies
}

TEST(LayoutRules, StackEdgeMode) {
  const LRect r{0, 0, 100, 200};
  std::vector<LayoutItem> items = {Item(-1, 20, 2), Item(-1, 20, 2), Item(-1, 20, 2)};
  for (size_t k = 0; k < 3; ++k) EXPECT_EQ(ArrangeStack(r, items, k, 2, 0, 0).top, 2 + 24 * static_cast<int64_t>(k));
  // a stretched last child takes the rest; a stretched non-last child nothing
  items = {Item(-1, 20), Item(-1, -1), Item(-1, 30), Item(-1, -1)};
  ExpectRect(ArrangeStack(r, items, 1, 2, 0, 0), 0, 20, 100, 20);
  ExpectRect(ArrangeStack(r, items, 3, 2, 0, 0), 0, 50, 100, 200);
  // a hidden child takes no space unless counted
  items = {Item(-1, 20), Item(-1, 20), Item(-1, 20)};
  items[1].counted = false;
  EXPECT_EQ(ArrangeStack(r, items, 2, 2, 0, 0).top, 20);
  ExpectRect(ArrangeStack(r, items, 1, 2, 0, 0), 0, 0, 0, 0);
  // from the right edge, centred across
  items = {Item(30, 10), Item(40, 20)};
  ExpectRect(ArrangeStack(r, items, 1, 3, 0, 0), 30, 90, 70, 110);
  // rightwards with minor bottom
  ExpectRect(ArrangeStack(r, items, 1, 1, 4, 0), 30, 180, 70, 200);
  // fill mode
  ExpectRect(ArrangeStack(r, items, 0, 5, 0, 0), 0, 0, 100, 200);
  int64_t w = 0, h = 0;
  StackContentExtent(items, 1, 0, 0, &w, &h);
  EXPECT_EQ(w, 70);
  EXPECT_EQ(h, 20);
}

TEST(LayoutRules, StackCentredMode) {
  const LRect r{0, 0, 100, 100};
  std::vector<LayoutItem> items = {Item(20, 10), Item(40, 30)};
  // vertical (orientation 0, minor 0): block of 40 high starts at 30
  ExpectRect(ArrangeStack(r, items, 0, 0, 0, 0), 40, 30, 60, 40);
  ExpectRect(ArrangeStack(r, items, 1, 0, 0, 0), 30, 40, 70, 70);
  // horizontal with minor 2 (top): block of 60 wide starts at 20
  ExpectRect(ArrangeStack(r, items, 1, 0, 2, 1), 40, 0, 80, 30);
}

TEST(LayoutRules, DockPanel) {
  const LRect r{0, 0, 200, 100};
  std::vector<LayoutItem> items = {Item(-1, 20), Item(30, -1), Item(-1, -1)};
  items[0].major_dock = 2;
  items[1].major_dock = 1;
  ExpectRect(ArrangeDock(r, items, 0), 0, 0, 200, 20);
  ExpectRect(ArrangeDock(r, items, 1), 0, 20, 30, 100);
  ExpectRect(ArrangeDock(r, items, 2), 30, 20, 200, 100);  // the last child fills what is left
  // right docked with margins, minor top
  std::vector<LayoutItem> right = {Item(20, 10, 1)};
  right[0].major_dock = 3;
  right[0].minor_dock = 2;
  ExpectRect(ArrangeDock(r, right, 0), 179, 1, 199, 11);
}

TEST(LayoutRules, WrapPanel) {
  const LRect r{0, 0, 100, 100};
  std::vector<LayoutItem> items = {Item(40, 10), Item(40, 20), Item(40, 10)};
  ExpectRect(ArrangeWrap(r, items, 1, 1, false, false), 40, 0, 80, 20);
  ExpectRect(ArrangeWrap(r, items, 2, 1, false, false), 0, 20, 40, 30);  // a new row under the tallest
  ExpectRect(ArrangeWrap(r, items, 2, 1, true, true), 60, 70, 100, 80);
}

TEST(LayoutRules, GridEdgesAndCells) {
  std::vector<GridDefinition> cols = {ParseGridSize(L"100"), ParseGridSize(L"1*"), ParseGridSize(L"2*")};
  EXPECT_EQ(GridEdges(0, 400, cols), (std::vector<int64_t>{100, 200, 400}));
  EXPECT_EQ(GridEdges(0, 400, {ParseGridSize(L"100"), ParseGridSize(L"100")}),
            (std::vector<int64_t>{100, 200, 400}));  // an extra cell for the rest
  EXPECT_EQ(GridEdges(10, 400, {}), (std::vector<int64_t>{400}));
  EXPECT_EQ(GridEdges(0, 100, {ParseGridSize(L"1*"), ParseGridSize(L"1*"), ParseGridSize(L"1*")}),
            (std::vector<int64_t>{33, 66, 100}));
  GridDefinition star0 = ParseGridSize(L"0*");
  EXPECT_TRUE(star0.star);
  EXPECT_EQ(star0.value, 1u);
  EXPECT_EQ(ParseGridSize(L"-5").value, 0u);

  const LRect r{0, 0, 200, 200};
  const std::vector<int64_t> c = {100, 200}, rows = {100, 200};
  ExpectRect(GridCell(r, c, rows, GridPlace{5, 5, 1, 1}), 100, 100, 200, 200);  // clamped to the last cell
  // positions and spans that would index before the first edge
  for (GridPlace p : {GridPlace{-1, -1, 1, 1}, GridPlace{-3, 0, 1, 1}, GridPlace{0, 0, 0, -2}})
    ExpectRect(GridCell(r, c, rows, p), 0, 0, 100, 100);
  ExpectRect(GridCell(r, c, rows, GridPlace{0, 1, 9, 1}), 0, 100, 200, 200);  // span cut at the last edge
  ExpectRect(ArrangeInCell(LRect{0, 0, 100, 100}, Item(20, -1, 1)), 40, 1, 60, 99);
}

}  // namespace
}  // namespace varnak::ui
