// Arrangement rules of the panel family (see layout_rules.h).
#include "ui/core/layout_rules.h"

#include <algorithm>
#include <cmath>

namespace varnak::ui {
namespace {

bool IsLast(const std::vector<LayoutItem>& items, size_t index) {
  for (size_t k = index + 1; k < items.size(); ++k)
    if (items[k].counted) return false;
  return true;
}

}  // namespace

LRect UncountedRect(const LRect& r) { return LRect{r.left, r.top, r.left, r.top}; }

LRect ArrangePlain(const LRect& r, const LayoutItem& x, int32_t panel_align_x, int32_t panel_align_y) {
  LRect o{r.left + x.ml, r.top + x.mt, r.right - x.mr, r.bottom - x.mb};
  const int32_t ax = x.align_x != kNoValue ? x.align_x : panel_align_x;
  const int32_t ay = x.align_y != kNoValue ? x.align_y : panel_align_y;
  if (x.w != -1 && x.w < o.Width()) {
    if (ax == 1) o.right = o.left + x.w;
    else if (ax == 3) o.left = o.right - x.w;
    else {
      const int64_t d = (o.Width() - x.w) / 2;
      o.left += d;
      o.right -= d;
    }
  }
  if (x.h != -1 && x.h < o.Height()) {
    if (ay == 2) o.bottom = o.top + x.h;
    else if (ay == 4) o.top = o.bottom - x.h;
    else {
      const int64_t d = (o.Height() - x.h) / 2;
      o.top += d;
      o.bottom -= d;
    }
  }
  return o;
}

static bool CentredVertical(int32_t minor, int32_t orientation) {
  if (minor == 1 || minor == 3) return true;
  if (minor == 0) return orientation == 0;
  return false;
}

LRect ArrangeStack(const LRect& r, const std::vector<LayoutItem>& items, size_t index, int32_t major, int32_t minor,
                   int32_t orientation) {
  const LayoutItem& x = items[index];
  if (!x.counted) return UncountedRect(r);
  if (major == 5) return r;
  if (major >= 1 && major <= 4) {
    LRect a = r;
    for (size_t k = 0; k < index; ++k) {
      const LayoutItem& c = items[k];
      if (!c.counted) continue;
      if (major == 1) a.left += c.Dx();
      else if (major == 2) a.top += c.Dy();
      else if (major == 3) a.right -= c.Dx();
      else a.bottom -= c.Dy();
    }
    const bool last = IsLast(items, index);
    LRect o;
    if (major == 1 || major == 2) {
      o.left = a.left + x.ml;
      o.top = a.top + x.mt;
      if (x.w != -1) o.right = std::min(o.left + x.w, r.right);
      else if (major == 1) o.right = last ? r.right - x.mr : o.left;
      else o.right = a.right - x.mr;
      if (x.h != -1) o.bottom = std::min(o.top + x.h, r.bottom);
      else if (major == 2) o.bottom = last ? r.bottom - x.mb : o.top;
      else o.bottom = a.bottom - x.mb;
    } else {
      o.right = a.right - x.mr;
      o.bottom = a.bottom - x.mb;
      if (x.w != -1) o.left = std::max(a.left, o.right - x.w);
      else if (major == 3) o.left = last ? r.left + x.ml : o.right;
      else o.left = a.left + x.ml;
      if (x.h != -1) o.top = std::max(a.top, o.bottom - x.h);
      else if (major == 4) o.top = last ? r.top + x.mt : o.bottom;
      else o.top = a.top + x.mt;
    }
    // across the stacking direction
    if (major == 1 || major == 3) {
      const int64_t free = x.h == -1 ? 0 : std::max<int64_t>(0, r.Height() - x.mt - x.mb - x.h);
      int64_t move = 0;
      if (major == 1) move = minor == 4 ? free : minor == 0 ? free / 2 : 0;
      else move = minor == 2 ? -free : minor == 0 ? -(free / 2) : 0;
      if (major == 3 && x.h != -1) {  // starts at the bottom
        o.bottom = r.bottom - x.mb;
        o.top = o.bottom - x.h;
      }
      o.top += move;
      o.bottom += move;
    } else {
      const int64_t free = x.w == -1 ? 0 : std::max<int64_t>(0, r.Width() - x.ml - x.mr - x.w);
      int64_t move = 0;
      if (major == 2) move = minor == 3 ? free : minor == 0 ? free / 2 : 0;
      else move = minor == 1 ? -free : minor == 0 ? -(free / 2) : 0;
      if (major == 4 && x.w != -1) {  // starts at the right
        o.right = r.right - x.mr;
        o.left = o.right - x.w;
      }
      o.left += move;
      o.right += move;
    }
    return o;
  }

  // centred mode
  int64_t sum_w = 0, sum_h = 0, ex = 0, ey = 0;
  for (size_t k = 0; k < items.size(); ++k) {
    const LayoutItem& c = items[k];
    if (!c.counted) continue;
    sum_w += c.Dx();
    sum_h += c.Dy();
    if (k <= index) {
      ex = sum_w;
      ey = sum_h;
    }
  }
  LRect o;
  auto across = [&](int64_t lo, int64_t hi, int32_t m_lo, int32_t m_hi, int32_t size, int32_t align_lo,
                    int32_t align_hi, int32_t word, int64_t* out_lo, int64_t* out_hi) {
    if (word == align_lo) {
      *out_lo = std::min(lo + m_lo, hi);
      *out_hi = size != -1 ? std::min(*out_lo + size, hi) : hi - m_hi;
    } else if (word == align_hi) {
      *out_hi = std::max(hi - m_hi, lo);
      *out_lo = size != -1 ? std::max(*out_hi - size, lo) : lo + m_lo;
    } else {
      const int64_t d = int64_t{m_lo} + m_hi + (size != -1 ? size : 0);
      const int64_t off = (hi - lo - d) / 2;
      *out_lo = std::min(lo + off + m_lo, hi);
      *out_hi = std::max(lo, hi - m_hi - off);
    }
  };
  if (CentredVertical(minor, orientation)) {
    const int64_t y0 = r.top + static_cast<int64_t>(std::trunc((static_cast<double>(r.Height()) - sum_h) / 2.0));
    o.bottom = y0 + ey - x.mb;
    o.top = x.h != -1 ? o.bottom - x.h : o.bottom;  // a stretched child keeps its place, no height
    across(r.left, r.right, x.ml, x.mr, x.w, 1, 3, minor, &o.left, &o.right);
  } else {
    const int64_t x0 = r.left + static_cast<int64_t>(std::trunc((static_cast<double>(r.Width()) - sum_w) / 2.0));
    o.right = x0 + ex - x.mr;
    o.left = x.w != -1 ? o.right - x.w : o.right;
    if (minor == 5) {
      o.top = r.top;
      o.bottom = r.bottom;
    } else {
      across(r.top, r.bottom, x.mt, x.mb, x.h, 2, 4, minor, &o.top, &o.bottom);
    }
  }
  return o;
}

void StackContentExtent(const std::vector<LayoutItem>& items, int32_t major, int32_t minor, int32_t orientation,
                        int64_t* width, int64_t* height) {
  bool horizontal;
  if (major == 1 || major == 3) horizontal = true;
  else if (major == 0) horizontal = !CentredVertical(minor, orientation);
  else horizontal = false;
  int64_t along = 0, cross = 0;
  for (const LayoutItem& c : items) {
    along += horizontal ? c.Dx() : c.Dy();
    cross = std::max(cross, horizontal ? c.Dy() : c.Dx());
  }
  *width = horizontal ? along : cross;
  *height = horizontal ? cross : along;
}

LRect ArrangeDock(const LRect& r, const std::vector<LayoutItem>& items, size_t index) {
  const LayoutItem& x = items[index];
  if (!x.counted) return UncountedRect(r);
  LRect f = r;
  for (size_t k = 0; k < index; ++k) {
    const LayoutItem& c = items[k];
    if (!c.counted) continue;
    switch (c.major_dock) {
      case 2: f.top = std::min(f.top + c.Dy(), f.bottom); break;
      case 3: f.right = std::max(f.right - c.Dx(), f.left); break;
      case 4: f.bottom = std::max(f.bottom - c.Dy(), f.top); break;
      default: f.left = std::min(f.left + c.Dx(), f.right); break;
    }
  }
  const bool last = IsLast(items, index);
  LRect s = f;
  const bool vertical_dock = x.major_dock == 2 || x.major_dock == 4;
  switch (x.major_dock) {
    case 3:
      if (x.w != -1) s.left = std::max(f.right - x.Dx(), f.left);
      else if (!last) s.left = s.right;
      break;
    case 2:
      if (x.h != -1) s.bottom = std::min(f.top + x.Dy(), f.bottom);
      else if (!last) s.bottom = s.top;
      break;
    case 4:
      if (x.h != -1) s.top = std::max(f.bottom - x.Dy(), f.top);
      else if (!last) s.top = s.bottom;
      break;
    default:
      if (x.w != -1) s.right = std::min(f.left + x.Dx(), f.right);
      else if (!last) s.right = s.left;
      break;
  }
  if (vertical_dock && x.w != -1) {
    if (x.minor_dock == 1) s.right = s.left + x.Dx();
    else if (x.minor_dock == 3) s.left = s.right - x.Dx();
    else if (x.Dx() < s.Width()) {
      s.left += (s.Width() - x.Dx()) / 2;
      s.right = s.left + x.Dx();
    }
  } else if (!vertical_dock && x.h != -1) {
    if (x.minor_dock == 2) s.bottom = s.top + x.Dy();
    else if (x.minor_dock == 4) s.top = s.bottom - x.Dy();
    else if (x.Dy() < s.Height()) {
      s.top += (s.Height() - x.Dy()) / 2;
      s.bottom = s.top + x.Dy();
    }
  }
  return LRect{s.left + x.ml, s.top + x.mt, s.right - x.mr, s.bottom - x.mb};
}

LRect ArrangeWrap(const LRect& r, const std::vector<LayoutItem>& items, size_t index, int32_t orientation,
                  bool reverse_x, bool reverse_y) {
  const LayoutItem& x = items[index];
  if (!x.counted) return UncountedRect(r);
  int64_t px = 0, py = 0, line = 0;
  for (size_t k = 0; k <= index; ++k) {
    const LayoutItem& c = items[k];
    if (!c.counted) continue;
    if (orientation == 1) {
      if (r.Width() < c.Dx() + px) {
        py += line;
        px = 0;
        line = 0;
      }
      if (k == index) break;
      px += c.Dx();
      line = std::max(line, c.Dy());
    } else {
      if (r.Height() < c.Dy() + py) {
        px += line;
        py = 0;
        line = 0;
      }
      if (k == index) break;
      py += c.Dy();
      line = std::max(line, c.Dx());
    }
  }
  const int64_t w = std::max<int32_t>(x.w, 0), h = std::max<int32_t>(x.h, 0);
  LRect o;
  if (!reverse_x) {
    o.left = std::min(r.left + x.ml + px, r.right);
    o.right = std::min(o.left + w, r.right);
  } else {
    o.right = std::max(r.left, r.right - x.mr - px);
    o.left = std::max(r.left, o.right - w);
  }
  if (!reverse_y) {
    o.top = std::min(r.top + x.mt + py, r.bottom);
    o.bottom = std::min(o.top + h, r.bottom);
  } else {
    o.bottom = std::max(r.top, r.bottom - x.mb - py);
    o.top = std::max(r.top, o.bottom - h);
  }
  return o;
}

GridDefinition ParseGridSize(const std::wstring& text) {
  GridDefinition d;
  d.star = text.find(L'*') != std::wstring::npos;
  size_t p = 0;
  while (p < text.size() && (text[p] == L' ' || text[p] == L'\t')) ++p;
  const bool negative = p < text.size() && text[p] == L'-';
  if (p < text.size() && (text[p] == L'-' || text[p] == L'+')) ++p;
  uint64_t v = 0;
  for (; p < text.size() && text[p] >= L'0' && text[p] <= L'9'; ++p) v = std::min<uint64_t>(v * 10 + (text[p] - L'0'), 0x7FFFFFFF);
  d.value = negative ? 0 : static_cast<uint32_t>(v);  // no negative sizes
  if (d.star && d.value == 0) d.value = 1;
  return d;
}

std::vector<int64_t> GridEdges(int64_t start, int64_t end, const std::vector<GridDefinition>& definitions) {
  std::vector<int64_t> edges;
  if (definitions.empty()) return {end};
  double pixels = 0, stars = 0;
  for (const GridDefinition& d : definitions) (d.star ? stars : pixels) += d.value;
  const double rest = static_cast<double>(end) - pixels - static_cast<double>(start);
  int64_t cursor = start;
  for (const GridDefinition& d : definitions) {
    if (d.star) {
      const double step = std::trunc(d.value / stars * rest);
      cursor += static_cast<int64_t>(std::max(-4e18, std::min(4e18, step)));
    } else {
      cursor += d.value;
    }
    edges.push_back(cursor);
  }
  if (stars > 0) edges.back() = end;
  else if (edges.back() < end) edges.push_back(end);
  return edges;
}

LRect GridCell(const LRect& r, const std::vector<int64_t>& columns, const std::vector<int64_t>& rows,
               const GridPlace& place) {
  if (columns.empty() || rows.empty()) return r;
  const int64_t nc = static_cast<int64_t>(columns.size()), nr = static_cast<int64_t>(rows.size());
  // clamped into the grid: no index before the first edge or past the last
  const int64_t column = std::clamp<int64_t>(place.column, 0, nc - 1);
  const int64_t row = std::clamp<int64_t>(place.row, 0, nr - 1);
  const int64_t cspan = std::clamp<int64_t>(place.column_span, 1, nc - column);
  const int64_t rspan = std::clamp<int64_t>(place.row_span, 1, nr - row);
  return LRect{column > 0 ? columns[column - 1] : r.left, row > 0 ? rows[row - 1] : r.top,
               columns[column + cspan - 1], rows[row + rspan - 1]};
}

LRect ArrangeInCell(const LRect& cell, const LayoutItem& x) {
  LRect o;
  if (x.w == -1) {
    o.left = cell.left + x.ml;
    o.right = cell.right - x.mr;
  } else {
    o.left = std::min(cell.left + x.ml + (cell.Width() - x.Dx()) / 2, cell.right - x.mr);
    o.right = std::min(o.left + x.w, cell.right - x.mr);
  }
  if (x.h == -1) {
    o.top = cell.top + x.mt;
    o.bottom = cell.bottom - x.mb;
  } else {
    o.top = std::min(cell.top + x.mt + (cell.Height() - x.Dy()) / 2, cell.bottom - x.mb);
    o.bottom = std::min(o.top + x.h, cell.bottom - x.mb);
  }
  return o;
}

}  // namespace varnak::ui
